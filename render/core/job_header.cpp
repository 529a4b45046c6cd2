// The PJL job header that frames every job, the PCL job set-up that follows it, and the trailer.
#include <algorithm>
#include <cstring>
#include <string>
#include <string_view>
#include <vector>

#include "devmode/paper_tables.h"
#include "devmode/trace.h"
#include "pdev.h"
#include "platform/utf16.h"
#include "win/spooler.h"
#include "win/sysinfo.h"
#include "win/text.h"

namespace render {
namespace {

constexpr char kUniversalExit[] = "\x1b%-12345X";  // UEL: leave any language, start/end a job
constexpr char kPjlJobName[] = "@PJL JOB NAME=\"%s\"\r\n";
constexpr char kPjlComputer[] = "@PJL SET PCNAME=\"%s\"\r\n";
constexpr char kPjlDriverName[] = "@PJL SET DRIVERNAME=\"%s\"\r\n";
constexpr char kPjlSpoolTime[] = "@PJL SET SPOOLTIME=\"%s, %02d %s %d %02d:%02d%02d +%04d\"\r\n";
constexpr char kPjlPortrait[] = "@PJL SET ORIENTATION=PORTRAIT\r\n";
constexpr char kPjlLandscape[] = "@PJL SET ORIENTATION=LANDSCAPE\r\n";
constexpr char kPjlCopies[] = "@PJL SET COPIES=%d\r\n";
constexpr char kPjlResolution[] = "@PJL SET RESOLUTION=%d\r\n";
constexpr char kPjlRenderModel[] = "@PJL SET RENDERMODEL=G%d\r\n";
constexpr char kPjlToner[] =
    "@PJL SET TONERMODULUS=\"%02X%02X%02X%02X%02X%02X%02X%02X%02X%02X%02X%02X%02X%02X%02X%02X"
    "%02X%02X%02X%02X%02X%02X%02X%02X%02X%02X%02X%02X%02X%02X%02X%02X\"\r\n";
constexpr char kPjlCustomWidth[] = "@PJL SET CUSTOMWIDTH=%d\r\n";    // tenths of a millimetre
constexpr char kPjlCustomHeight[] = "@PJL SET CUSTOMHEIGHT=%d\r\n";  // tenths of a millimetre
constexpr char kPjlPaper[] = "@PJL SET PAPER=%s\r\n";
constexpr char kPjlPaperA5LongEdge[] = "A5L";
constexpr char kPjlPaperType[] = "@PJL SET PAPERTYPE=%s\r\n";
constexpr char kPjlOutputTray[] = "@PJL SET OUTPUTTRAY=OUTPUTTRAY%d\r\n";
constexpr char kPjlDensity[] = "@PJL SET DENSITY=LEVEL%d\r\n";
constexpr char kPjlDuplexOff[] = "@PJL SET DUPLEX=OFF\r\n";
constexpr char kPjlDuplexOn[] = "@PJL SET DUPLEX=ON\r\n";
constexpr char kPjlBindingShort[] = "@PJL SET BINDING=SHORTEDGE\r\n";
constexpr char kPjlBindingLong[] = "@PJL SET BINDING=LONGEDGE\r\n";
constexpr char kPjlEnterPcl[] = "@PJL ENTER LANGUAGE=PCL\r\n";

constexpr char kPclReset[] = "\x1b" "E";                   // printer reset
constexpr char kPclRasterResolution[] = "\x1b*t600R";      // raster graphics resolution
constexpr char kPclUnitOfMeasure[] = "\x1b&u600D";         // PCL units per inch
constexpr char kPclRasterPresentation[] = "\x1b*r0F";      // raster follows the logical page
constexpr char kPclDuplex[] = "\x1b&l%dS";                 // simplex / duplex binding

// Longest text put between the quotes of a PJL line: the job name's buffer less its NUL.
constexpr size_t kPjlTextMax = kJobNameBytes - 1;

constexpr const char* kDayNames[7] = {"Sun", "Mon", "Tue", "Wed", "Thu", "Fri", "Sat"};
constexpr const char* kMonthNames[12] = {"Jan", "Feb", "Mar", "Apr", "May", "Jun",
                                         "Jul", "Aug", "Sep", "Oct", "Nov", "Dec"};

// The toner value is the printer family's fixed key: the model tag in ASCII, padded with zeros
// to 32 bytes. It is assembled here so that no 32-byte literal sits in the binary.
constexpr char kTonerTag[] = "TALIRO-R7700-PCL5E-TM01";
constexpr uint8_t kTonerPad = 0x00;

// A quoted PJL value ends at its quote and its line at the line end, and an escape byte would leave
// PJL altogether; names from documents, the network and the spooler may hold any of them. A quote
// becomes an apostrophe and any control byte a space, so the name stays readable on the panel.
std::string PjlQuotedText(std::string_view text) {
  std::string out(text.substr(0, std::min(text.size(), kPjlTextMax)));
  for (char& c : out) {
    const auto b = static_cast<unsigned char>(c);
    if (c == '"') {
      c = '\'';
    } else if (b < 0x20 || b == 0x7F) {
      c = ' ';
    }
  }
  return out;
}

template <size_t N>
std::string_view FieldText(const char (&field)[N]) {
  return {field, static_cast<size_t>(std::find(field, field + N, '\0') - field)};
}

std::string DriverName(const Pdev& pdev) {
  DWORD needed = 0;
  GetPrinterDriverW(pdev.printer, nullptr, 2, nullptr, 0, &needed);
  if (needed >= sizeof(DRIVER_INFO_2W)) {
    std::vector<uint8_t> buffer(needed);
    if (GetPrinterDriverW(pdev.printer, nullptr, 2, buffer.data(), needed, &needed)) {
      DRIVER_INFO_2W info;
      std::memcpy(&info, buffer.data(), sizeof info);
      if (info.pName != nullptr) return platform::Utf16ToAnsi(platform::WideField(info.pName, needed / sizeof(WCHAR)));
    }
  }
  devmode::DebugTrace("MyGetPrinterDriver fail, level:%d\n", 2);
  return platform::Utf16ToAnsi(platform::WideField(pdev.settings.pub.dmDeviceName, CCHDEVICENAME));
}

}  // namespace

void TonerValue(uint8_t (&out)[32]) {
  std::memset(out, kTonerPad, sizeof out);
  std::memcpy(out, kTonerTag, sizeof kTonerTag - 1);
}

int WriteJobHeader(Pdev& pdev) {
  const DEVMODEW& dm = pdev.settings.pub;
  const devmode::RenderPrivate& p = pdev.settings.priv;
  WriteBytes(pdev, kUniversalExit, 9);
  WriteCommand(pdev, kPjlJobName, PjlQuotedText(FieldText(pdev.jobName)).c_str());

  char computer[256] = {};
  DWORD size = sizeof computer;
  if (!GetComputerNameA(computer, &size)) computer[0] = 0;
  WriteCommand(pdev, kPjlComputer, PjlQuotedText(FieldText(computer)).c_str());
  WriteCommand(pdev, kPjlDriverName, PjlQuotedText(DriverName(pdev)).c_str());

  SYSTEMTIME t{};
  GetLocalTime(&t);
  WriteCommand(pdev, kPjlSpoolTime, kDayNames[t.wDayOfWeek % 7], t.wDay, kMonthNames[(t.wMonth + 11) % 12], t.wYear,
               t.wHour, t.wMinute, t.wSecond, t.wMilliseconds);
  WriteCommand(pdev, pdev.doc.orientation == 1 ? kPjlPortrait : kPjlLandscape);
  // A chosen tray is locked, and it is the tray the page set-up selects: papers that are fed by
  // hand go to manual feed whatever tray was asked for.
  if (devmode::PjlTrayLine(dm.dmDefaultSource) != nullptr) {
    if (const char* tray = devmode::PjlTrayLineOfIndex(p.TrayIndex)) WriteCommand(pdev, tray, devmode::kPjlTrayLocked);
  }
  WriteCommand(pdev, kPjlCopies, CopyCount(pdev));
  WriteCommand(pdev, kPjlResolution, 600);
  WriteCommand(pdev, kPjlRenderModel, p.RenderModel);
  uint8_t toner[32];
  TonerValue(toner);
  WriteCommand(pdev, kPjlToner, toner[0], toner[1], toner[2], toner[3], toner[4], toner[5], toner[6], toner[7],
               toner[8], toner[9], toner[10], toner[11], toner[12], toner[13], toner[14], toner[15], toner[16],
               toner[17], toner[18], toner[19], toner[20], toner[21], toner[22], toner[23], toner[24], toner[25],
               toner[26], toner[27], toner[28], toner[29], toner[30], toner[31]);
  (void)FlushOutput(pdev);

  if (!devmode::IsTablePaper(dm.dmPaperSize)) {
    WriteCommand(pdev, kPjlCustomWidth, dm.dmPaperWidth);
    WriteCommand(pdev, kPjlCustomHeight, dm.dmPaperLength);
  } else if (dm.dmPaperSize == devmode::kPaperA5 && p.feedShortEdge == 0) {
    WriteCommand(pdev, kPjlPaper, kPjlPaperA5LongEdge);
  } else {
    WriteCommand(pdev, kPjlPaper, devmode::LookupPaper(dm.dmPaperSize).pjlName);
  }
  WriteCommand(pdev, kPjlPaperType, devmode::MediaOrPlain(dm.dmMediaType).name);
  WriteCommand(pdev, kPjlOutputTray, 0);
  WriteCommand(pdev, kPjlDensity, p.DensityLevel);
  if (p.TwoSided == 0) {
    WriteCommand(pdev, kPjlDuplexOff);
  } else {
    WriteCommand(pdev, kPjlDuplexOn);
    // Binding is named against the sheet as it is read: landscape turns it round.
    const bool shortEdge = pdev.doc.orientation == 1 ? p.FlipShortEdge == 1 : p.FlipShortEdge == 0;
    WriteCommand(pdev, shortEdge ? kPjlBindingShort : kPjlBindingLong);
  }
  return WriteCommand(pdev, kPjlEnterPcl);
}

int WriteJobSetup(Pdev& pdev) {
  const devmode::RenderPrivate& p = pdev.settings.priv;
  WriteCommand(pdev, kPclReset);
  WriteCommand(pdev, kPclRasterResolution);
  WriteCommand(pdev, kPclUnitOfMeasure);
  WriteCommand(pdev, kPclRasterPresentation);
  return WriteCommand(pdev, kPclDuplex, p.TwoSided == 0 ? 0 : (p.FlipShortEdge == 1 ? 2 : 1));
}

int WriteJobTrailer(Pdev& pdev) { return WriteBytes(pdev, kUniversalExit, 9); }

}  // namespace render

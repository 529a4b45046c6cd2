// PCL page setup of each sheet and the page transform (zoom or N-up cell) that maps device pixels
// onto the sheet, for PCL cursor positions and for the HP-GL/2 scaling alike.
#include <cstring>

#include "devmode/paper_tables.h"
#include "pdev.h"

namespace render {
namespace {

constexpr const char* kOrientationCommands[4] = {
    "\x1b&l0O",  // portrait
    "\x1b&l1O",  // landscape
    "\x1b&l2O",  // reverse portrait
    "\x1b&l3O",  // reverse landscape
};
constexpr char kPaperSource[] = "\x1b&l%dH";          // paper source
constexpr char kMediaType[] = "\x1b&n%dWd%s";         // media type by name
constexpr char kPageSize[] = "\x1b&l%dA";             // page size
constexpr char kCustomPageSize[] = "\x1b&f%di%dJ";    // custom page size, decipoints
// A combined escape stays in one group: "&k" and "&a" are two commands.
constexpr char kTopMargin[] = "\x1b&l%dc%dE";         // vertical motion index (1/48 in), top margin in lines
constexpr char kMotionIndex[] = "\x1b&k%dH";          // horizontal motion index (1/120 in)
constexpr char kLeftMargin[] = "\x1b&a%dL";           // left margin in columns
constexpr char kPrintDirection0[] = "\x1b&a0P";       // print direction 0
constexpr char kCursorPosition[] = "\x1b*p%dx%dY";    // cursor position in PCL units
constexpr char kAnchorPictureFrame[] = "\x1b*c0T";    // anchor the picture frame at the cursor
constexpr char kPictureFrameSize[] = "\x1b*c%dx%dY";  // picture frame size in decipoints
constexpr char kPrintDirection[] = "\x1b&a%dP";       // print direction in degrees
constexpr char kHpglInitPortrait[] = "WU;TR0;AC6,4;SP1;CF2;PP1;PW0;TD1;IW;";
constexpr char kHpglInitLandscape[] = "WU;TR0;AC14,4;SP1;CF2;PP1;PW0;TD1;IW;";
constexpr char kHpglScale[] = "SC-%d,%s,-%d,-%s,2";  // point-factor scaling, y down the page
constexpr char kHpglRotate[] = "RO%d";               // rotate the coordinate system
constexpr char kHpglInputRelative[] = "IR0,100,0,100";  // scaling points at the picture frame corners

// HP-GL/2 plotter units (1/1016 inch) per 600-dpi pixel.
constexpr double kBaseFactor = 1016.0 / 600.0;

int OrientationCode(const Pdev& pdev) { return pdev.doc.orientation + (pdev.settings.priv.Rotate180 ? 2 : 0); }

// value x 10000, truncated, as "integer.ffff".
void FactorText(double factor, char (&out)[32]) {
  auto v = static_cast<int64_t>(factor * 10000);
  auto whole = static_cast<int>(v / 10000), fraction = static_cast<int>(v % 10000);
  char digits[5] = {static_cast<char>('0' + fraction / 1000), static_cast<char>('0' + fraction / 100 % 10),
                    static_cast<char>('0' + fraction / 10 % 10), static_cast<char>('0' + fraction % 10), 0};
  char head[16];
  int n = 0;
  do {
    head[n++] = static_cast<char>('0' + whole % 10);
    whole /= 10;
  } while (whole > 0 && n < 15);
  int k = 0;
  while (n > 0) out[k++] = head[--n];
  out[k++] = '.';
  std::memcpy(out + k, digits, 5);
}

}  // namespace

void ResetPageTransform(Pdev& pdev) {
  const devmode::RenderPrivate& p = pdev.settings.priv;
  DocumentState& doc = pdev.doc;
  int scale = p.ScaleMode == 1 ? p.ScalePercent : 100;
  if (p.PagesPerSheet > 1) scale = 100;
  doc.scaleX = doc.scaleY = scale;
  devmode::GetPageGeometry(pdev.settings.pub.dmPaperSize, pdev.settings, &doc.outputPaper);
  doc.hpglRotation = 0;
  doc.lastTray = 255;
  doc.lastMedia = 255;
  doc.nupFactor = 1.0;
  doc.pclOffsetX = doc.pclOffsetY = doc.hpglOffsetX = doc.hpglOffsetY = 0;
  doc.orientation = pdev.settings.pub.dmOrientation;
}

int WriteOrientation(Pdev& pdev) {
  int code = OrientationCode(pdev);
  if (code < 1 || code > 4) code = 1;
  return WriteCommand(pdev, "%s", kOrientationCommands[code - 1]);
}

int WriteMargins(Pdev& pdev) {
  const devmode::PageGeometry& out = pdev.doc.outputPaper;
  WriteCommand(pdev, kTopMargin, out.top * 48 / 600, 1);
  WriteCommand(pdev, kMotionIndex, out.left * 120 / 600);
  return WriteCommand(pdev, kLeftMargin, 1);
}

int WritePageSetup(Pdev& pdev, int trayIndex) {
  DocumentState& doc = pdev.doc;
  const DEVMODEW& dm = pdev.settings.pub;
  const bool reverse = pdev.settings.priv.ReverseOrder != 0;
  EnterPcl(pdev, 0);
  WriteOrientation(pdev);
  // With reverse order, tray, paper and margins go out once per copy when the sheets are replayed.
  if (trayIndex != doc.lastTray && !reverse)
    WriteCommand(pdev, kPaperSource, devmode::PclPaperSource(static_cast<uint16_t>(trayIndex)));
  doc.lastTray = static_cast<int16_t>(trayIndex);
  const devmode::MediaEntry& media = devmode::MediaOrPlain(dm.dmMediaType);
  WriteCommand(pdev, kMediaType, media.byteCount, media.name);
  if (dm.dmPaperSize != doc.lastPaperSent && !reverse) WritePaperSize(pdev, dm.dmPaperSize);
  doc.lastPaperSent = dm.dmPaperSize;
  const int code = OrientationCode(pdev);
  if (code != doc.lastOrientationCodeSent && !reverse) WriteMargins(pdev);
  doc.lastOrientationCodeSent = code;
  return WritePictureFrame(pdev);
}

int WritePaperSize(Pdev& pdev, int paperNumber) {
  EnterPcl(pdev, 0);
  int code;
  if (paperNumber >= devmode::kFirstCustomPaper) {
    const devmode::RenderSettings& s = pdev.settings;
    devmode::CustomSizeValues v =
        devmode::CustomPaperCommandValues(s.pub.dmPaperWidth, s.pub.dmPaperLength, pdev.doc.orientation == 2);
    WriteCommand(pdev, kCustomPageSize, v.width, v.length);
    code = devmode::kPclPageSizeCustom;
  } else {
    code = devmode::PclPageSizeCode(paperNumber, pdev.settings.priv.feedShortEdge != 0);
  }
  return WriteCommand(pdev, kPageSize, code);
}

int WritePictureFrame(Pdev& pdev) {
  const devmode::PageGeometry& g = pdev.doc.outputPaper;
  EnterPcl(pdev, 0);
  WriteCommand(pdev, kPrintDirection0);
  WriteCommand(pdev, kCursorPosition, 0, 0);
  WriteCommand(pdev, kAnchorPictureFrame);
  WriteCommand(pdev, kPictureFrameSize, (g.width - g.left - g.right) * 6 / 5, (g.height - g.top - g.bottom) * 6 / 5);
  return WriteCommand(pdev, kCursorPosition, 0, static_cast<int>(g.top));
}

int WriteHpglPageInit(Pdev& pdev) {
  DocumentState& doc = pdev.doc;
  EnterHpgl2(pdev, 0);
  if (doc.orientation == 1) {
    WriteBytes(pdev, kHpglInitPortrait, sizeof kHpglInitPortrait - 1);
  } else {
    WriteBytes(pdev, kHpglInitLandscape, sizeof kHpglInitLandscape - 1);
  }
  double fx, fy;
  if (pdev.settings.priv.PagesPerSheet <= 1) {
    fx = kBaseFactor * doc.scaleX / 100;
    fy = kBaseFactor * doc.scaleY / 100;
  } else {
    EnterPcl(pdev, 0);
    WriteCommand(pdev, kPrintDirection, static_cast<int>(doc.hpglRotation));
    EnterHpgl2(pdev, 0);
    fx = fy = kBaseFactor * doc.nupFactor;
  }
  char xText[32], yText[32];
  FactorText(fx, xText);
  FactorText(fy, yText);
  WriteCommand(pdev, kHpglScale, doc.hpglOffsetX, xText, doc.hpglOffsetY, yText);
  WriteCommand(pdev, kHpglRotate, static_cast<int>(doc.hpglRotation));
  return WriteBytes(pdev, kHpglInputRelative, sizeof kHpglInputRelative - 1);
}

int MovePclCursor(Pdev& pdev, int x, int y) {
  const DocumentState& doc = pdev.doc;
  EnterPcl(pdev, 1);
  int64_t px, py;
  if (pdev.settings.priv.PagesPerSheet <= 1) {
    px = static_cast<int64_t>(x) * doc.scaleX / 100;
    py = static_cast<int64_t>(y) * doc.scaleY / 100;
  } else {
    px = static_cast<int64_t>(x * doc.nupFactor) + doc.pclOffsetX;
    py = static_cast<int64_t>(y * doc.nupFactor) + doc.pclOffsetY;
  }
  return WriteCommand(pdev, kCursorPosition, static_cast<int>(px), static_cast<int>(py));
}

}  // namespace render

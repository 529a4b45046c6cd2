// Printer-data values read and written through the spooler.
#include "store/printer_data.h"

#include <cstring>

#include "devmode/trace.h"
#include "platform/utf16.h"
#include "win/error.h"
#include "win/shell.h"
#include "win/spooler.h"

namespace ui {
namespace {

constexpr size_t kUserNameChars = 31;
constexpr char16_t kSleepTime[] = u"SleepTime";

std::u16string CurrentUserName() {
  WCHAR name[257] = {};
  DWORD size = 257;
  if (!GetUserNameW(name, &size)) return u"";
  std::u16string user(platform::WideField(name, 257));
  if (user.size() > kUserNameChars) user.resize(kUserNameChars);
  return user;
}

}  // namespace

PrinterDataNames NamesOf(PrinterDataPair pair) {
  switch (pair) {
    case PrinterDataPair::PrinterData: return {u"PrinterDataSize", u"PrinterData"};
    case PrinterDataPair::DeviceData: return {u"DeviceDataSize", u"DeviceData"};
    case PrinterDataPair::PrivateDevmodeData: {
      std::u16string user = CurrentUserName();
      return {u"PrivateDevmodeDataSize" + user, u"PrivateDevmodeData" + user};
    }
    case PrinterDataPair::CustomPaper: return {u"CustomPaperSize", u"CustomPaperData"};
    case PrinterDataPair::FontData: return {u"FontDataSize", u"FontData"};
    case PrinterDataPair::TrayInstall: return {u"TrayInstallSize", u"TrayInstall"};
  }
  return {};
}

std::optional<std::vector<uint8_t>> ReadPrinterDataPair(HANDLE printer, PrinterDataPair pair) {
  PrinterDataNames names = NamesOf(pair);
  DWORD size = 0, type = 0, needed = 0;
  if (GetPrinterDataW(printer, names.size.c_str(), &type, reinterpret_cast<BYTE*>(&size), sizeof size, &needed) !=
          ERROR_SUCCESS ||
      size == 0)
    return std::nullopt;
  // Ask for the data's real length first, so a damaged size value cannot make us allocate
  // what is not there.
  DWORD stored = 0;
  DWORD status = GetPrinterDataW(printer, names.data.c_str(), &type, nullptr, 0, &stored);
  if ((status != ERROR_SUCCESS && status != ERROR_MORE_DATA) || stored != size) {
    if (status == ERROR_SUCCESS || status == ERROR_MORE_DATA)
      devmode::DebugTrace("printer data: %s holds %u bytes, its size value says %u\n",
                          platform::Utf16ToUtf8(names.data).c_str(), static_cast<unsigned>(stored),
                          static_cast<unsigned>(size));
    return std::nullopt;
  }
  std::vector<uint8_t> bytes(size);
  if (GetPrinterDataW(printer, names.data.c_str(), &type, bytes.data(), size, &needed) != ERROR_SUCCESS)
    return std::nullopt;
  return bytes;
}

bool WritePrinterDataPair(HANDLE printer, PrinterDataPair pair, std::span<const uint8_t> bytes) {
  if (bytes.size() > UINT32_MAX) return false;
  PrinterDataNames names = NamesOf(pair);
  DWORD size = static_cast<DWORD>(bytes.size());
  if (SetPrinterDataW(printer, names.size.c_str(), REG_DWORD, reinterpret_cast<const BYTE*>(&size), sizeof size) !=
      ERROR_SUCCESS)
    return false;
  return SetPrinterDataW(printer, names.data.c_str(), REG_BINARY, bytes.data(), size) == ERROR_SUCCESS;
}

TrayInstallRecord ReadTrayInstall(HANDLE printer) {
  TrayInstallRecord record{};
  auto bytes = ReadPrinterDataPair(printer, PrinterDataPair::TrayInstall);
  if (bytes && bytes->size() == sizeof record) std::memcpy(&record, bytes->data(), sizeof record);
  return record;
}

bool WriteTrayInstall(HANDLE printer, const TrayInstallRecord& record) {
  return WritePrinterDataPair(printer, PrinterDataPair::TrayInstall,
                              {reinterpret_cast<const uint8_t*>(&record), sizeof record});
}

std::optional<int> ReadSleepTime(HANDLE printer) {
  WCHAR text[32] = {};
  DWORD type = 0, needed = 0;
  if (GetPrinterDataW(printer, kSleepTime, &type, reinterpret_cast<BYTE*>(text), sizeof text - sizeof(WCHAR),
                      &needed) != ERROR_SUCCESS)
    return std::nullopt;
  std::u16string_view digits = platform::WideField(text, 31);
  if (digits.empty() || digits.size() > 9) return std::nullopt;
  int value = 0;
  for (char16_t c : digits) {
    if (c < u'0' || c > u'9') return std::nullopt;
    value = value * 10 + (c - u'0');
  }
  return value;
}

bool WriteSleepTime(HANDLE printer, int minutes) {
  std::u16string text = platform::Widen(std::to_string(minutes));
  return SetPrinterDataW(printer, kSleepTime, REG_SZ, reinterpret_cast<const BYTE*>(text.c_str()),
                         static_cast<DWORD>((text.size() + 1) * sizeof(WCHAR))) == ERROR_SUCCESS;
}

}  // namespace ui

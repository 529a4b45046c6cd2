#include "pages/device_support.h"

#include <algorithm>
#include <chrono>
#include <cstdio>
#include <memory>
#include <thread>
#include <vector>

#include "win/error.h"
#include "win/fileapi.h"
#include "win/findfile.h"
#include "win/ports.h"
#include "win/registry.h"
#include "win/security.h"
#include "win/setupapi.h"
#include "win/spooler.h"

namespace ui::device {
namespace {

char16_t Lower(char16_t c) { return c >= u'A' && c <= u'Z' ? static_cast<char16_t>(c - u'A' + u'a') : c; }

bool SameText(std::u16string_view a, std::u16string_view b) {
  return a.size() == b.size() &&
         std::equal(a.begin(), a.end(), b.begin(), [](char16_t x, char16_t y) { return Lower(x) == Lower(y); });
}

bool Contains(std::u16string_view text, std::u16string_view part) {
  if (part.size() > text.size()) return false;
  for (size_t i = 0; i + part.size() <= text.size(); ++i)
    if (SameText(text.substr(i, part.size()), part)) return true;
  return false;
}

std::u16string Ascii(const char* text) {
  std::u16string out;
  for (; *text != 0; ++text) out.push_back(static_cast<char16_t>(static_cast<unsigned char>(*text)));
  return out;
}

std::u16string GuidText(const GUID& g) {
  char text[40];
  std::snprintf(text, sizeof text, "{%08X-%04X-%04X-%02X%02X-%02X%02X%02X%02X%02X%02X}", g.Data1, g.Data2, g.Data3,
                g.Data4[0], g.Data4[1], g.Data4[2], g.Data4[3], g.Data4[4], g.Data4[5], g.Data4[6], g.Data4[7]);
  return Ascii(text);
}

std::optional<DWORD> PortNumberOf(const std::u16string& devicePath) {
  std::u16string mangled = devicePath;
  std::replace(mangled.begin(), mangled.end(), u'\\', u'#');
  std::u16string key = u"SYSTEM\\CurrentControlSet\\Control\\DeviceClasses\\" + GuidText(GUID_DEVINTERFACE_USBPRINT) +
                       u"\\" + mangled + u"\\#\\Device Parameters";
  HKEY handle = nullptr;
  if (RegCreateKeyExW(HKEY_LOCAL_MACHINE, key.c_str(), 0, nullptr, 0, KEY_READ, nullptr, &handle, nullptr) !=
      ERROR_SUCCESS)
    return std::nullopt;
  DWORD number = 0, type = 0, size = sizeof number;
  LSTATUS r = RegQueryValueExW(handle, u"Port Number", nullptr, &type, reinterpret_cast<BYTE*>(&number), &size);
  RegCloseKey(handle);
  if (r != ERROR_SUCCESS || type != REG_DWORD || size != sizeof number) return std::nullopt;
  return number;
}

std::u16string InterfacePath(HDEVINFO set, SP_DEVICE_INTERFACE_DATA* data) {
  DWORD needed = 0;
  SetupDiGetDeviceInterfaceDetailW(set, data, nullptr, 0, &needed, nullptr);
  if (GetLastError() != ERROR_INSUFFICIENT_BUFFER || needed < sizeof(SP_DEVICE_INTERFACE_DETAIL_DATA_W)) return {};
  std::vector<uint64_t> storage((needed + 7) / 8);
  auto* detail = reinterpret_cast<SP_DEVICE_INTERFACE_DETAIL_DATA_W*>(storage.data());
  detail->cbSize = sizeof(SP_DEVICE_INTERFACE_DETAIL_DATA_W);
  if (!SetupDiGetDeviceInterfaceDetailW(set, data, detail, needed, nullptr, nullptr)) return {};
  size_t chars = (needed - offsetof(SP_DEVICE_INTERFACE_DETAIL_DATA_W, DevicePath)) / sizeof(WCHAR);
  const WCHAR* path = detail->DevicePath;
  size_t length = 0;
  while (length < chars && path[length] != 0) ++length;
  return std::u16string(path, length);
}

struct DeviceFile {
  HANDLE handle = INVALID_HANDLE_VALUE;
  explicit DeviceFile(const std::u16string& path)
      : handle(CreateFileW(path.c_str(), GENERIC_READ | GENERIC_WRITE, FILE_SHARE_READ | FILE_SHARE_WRITE, nullptr,
                           OPEN_EXISTING, 0, nullptr)) {}
  ~DeviceFile() {
    if (handle != INVALID_HANDLE_VALUE) CloseHandle(handle);
  }
  DeviceFile(const DeviceFile&) = delete;
  DeviceFile& operator=(const DeviceFile&) = delete;
  bool Write(const void* data, DWORD size) const {
    DWORD written = 0;
    return WriteFile(handle, data, size, &written, nullptr) && written == size;
  }
};

}  // namespace

std::u16string PrinterPort(HANDLE printer) {
  DWORD needed = 0;
  GetPrinterW(printer, 2, nullptr, 0, &needed);
  if (needed < sizeof(PRINTER_INFO_2W)) return {};
  std::vector<uint64_t> storage((needed + 7) / 8);
  if (!GetPrinterW(printer, 2, reinterpret_cast<LPBYTE>(storage.data()), needed, &needed)) return {};
  const auto* info = reinterpret_cast<const PRINTER_INFO_2W*>(storage.data());
  return info->pPortName != nullptr ? std::u16string(info->pPortName) : std::u16string();
}

std::optional<PortDescription> DescribePort(std::u16string_view port) {
  DWORD needed = 0, count = 0;
  EnumPortsW(nullptr, 2, nullptr, 0, &needed, &count);
  if (needed == 0) return std::nullopt;
  std::vector<uint64_t> storage((needed + 7) / 8);
  if (!EnumPortsW(nullptr, 2, reinterpret_cast<LPBYTE>(storage.data()), needed, &needed, &count)) return std::nullopt;
  const auto* ports = reinterpret_cast<const PORT_INFO_2W*>(storage.data());
  for (DWORD i = 0; i < count; ++i) {
    if (ports[i].pPortName == nullptr || !SameText(ports[i].pPortName, port)) continue;
    return PortDescription{ports[i].pMonitorName != nullptr ? ports[i].pMonitorName : u"",
                           ports[i].pDescription != nullptr ? ports[i].pDescription : u""};
  }
  return std::nullopt;
}

bool IsNetworkMonitor(std::u16string_view monitor) { return Contains(monitor, u"TCP") || Contains(monitor, u"WSD"); }

std::u16string FindUsbPrintDevice(std::u16string_view port) {
  HDEVINFO set =
      SetupDiGetClassDevsW(&GUID_DEVINTERFACE_USBPRINT, nullptr, nullptr, DIGCF_PRESENT | DIGCF_DEVICEINTERFACE);
  if (set == INVALID_HANDLE_VALUE) return {};
  std::u16string found;
  // Interfaces in batches of growing size until the class has no more.
  DWORD first = 0;
  bool more = true;
  for (size_t batch = 8; more && found.empty(); batch *= 2) {
    std::vector<SP_DEVICE_INTERFACE_DATA> interfaces(batch);
    size_t filled = 0;
    for (; filled < batch; ++filled) {
      interfaces[filled].cbSize = sizeof(SP_DEVICE_INTERFACE_DATA);
      if (!SetupDiEnumDeviceInterfaces(set, nullptr, &GUID_DEVINTERFACE_USBPRINT,
                                       first + static_cast<DWORD>(filled), &interfaces[filled])) {
        more = false;  // ERROR_NO_MORE_ITEMS, or a failure that would repeat
        break;
      }
    }
    first += static_cast<DWORD>(filled);
    for (size_t i = 0; i < filled && found.empty(); ++i) {
      std::u16string path = InterfacePath(set, &interfaces[i]);
      if (path.empty() || Contains(path, u"\\dot4\\") || Contains(path, u"#dot4#")) continue;
      std::optional<DWORD> number = PortNumberOf(path);
      if (!number) continue;
      char text[16];
      std::snprintf(text, sizeof text, "USB%03u", static_cast<unsigned>(*number));
      if (SameText(Ascii(text), port)) found = path;
    }
  }
  SetupDiDestroyDeviceInfoList(set);
  return found;
}

std::optional<SleepState> QueryPrinterSleepState(const std::u16string& devicePath) {
  if (devicePath.empty()) return std::nullopt;
  DeviceFile device(devicePath);
  if (device.handle == INVALID_HANDLE_VALUE) return std::nullopt;
  BYTE request[3] = {0, 0, 0};
  std::vector<BYTE> reply(3840);
  DWORD returned = 0;
  if (!DeviceIoControl(device.handle, IOCTL_USBPRINT_VENDOR_GET_COMMAND, request, sizeof request, reply.data(),
                       static_cast<DWORD>(reply.size()), &returned, nullptr) ||
      returned < 2)
    return std::nullopt;
  return SleepState{reply[0], reply[1] == 254 ? 480 : reply[1]};
}

bool ReadyForCommand(const SleepState& s) { return s.state == 2 || s.state == 4; }

bool SendSleepTime(const std::u16string& devicePath, int minutes) {
  DeviceFile device(devicePath);
  if (device.handle == INVALID_HANDLE_VALUE) return false;
  char enter[64];
  int length = std::snprintf(enter, sizeof enter, "%s%s", "\x1b%-12345X", "@PJL ENTER LANGUAGE=ACL\r\n");
  BYTE command[16] = {0x00, 0xAC, 0xFF, 0x82, static_cast<BYTE>((minutes >> 8) & 0xFF), static_cast<BYTE>(minutes & 0xFF)};
  static constexpr char kExit[] = "\x1b%-12345X";
  if (!device.Write(enter, static_cast<DWORD>(length)) || !device.Write(command, sizeof command) ||
      !device.Write(kExit, sizeof kExit - 1))
    return false;
  // The printer answers the command; nothing in the answer changes what the page does.
  std::this_thread::sleep_for(std::chrono::milliseconds(500));
  BYTE answer[16];
  DWORD read = 0;
  ReadFile(device.handle, answer, sizeof answer, &read, nullptr);
  return true;
}

std::u16string ReadDriverVersion() {
  WCHAR windows[260] = {};
  UINT length = GetWindowsDirectoryW(windows, 260);
  if (length == 0 || length >= 260) return {};
  std::u16string folder = std::u16string(windows, length) + u"\\inf";
  WIN32_FIND_DATAW found{};
  HANDLE search = FindFirstFileW((folder + u"\\oem*.inf").c_str(), &found);
  if (search == INVALID_HANDLE_VALUE) return {};
  std::u16string version;
  do {
    std::u16string file = folder + u"\\" + found.cFileName;
    WCHAR value[260] = {};
    GetPrivateProfileStringW(u"Taliro", u"Taliro R7700D Series PCL5e", u"", value, 260, file.c_str());
    if (std::u16string_view(value) != u"RT7700,USBPRINT\\TaliroR7700D_SeriesA3D7") continue;
    WCHAR driverVer[260] = {};
    GetPrivateProfileStringW(u"Version", u"DriverVer", u"", driverVer, 260, file.c_str());
    std::u16string_view text(driverVer);
    size_t comma = text.find(u',');
    if (comma != std::u16string_view::npos) version = std::u16string(text.substr(comma + 1, 127));
    break;
  } while (FindNextFileW(search, &found));
  FindClose(search);
  return version;
}

bool IsAdministrator() {
  HANDLE token = nullptr;
  if (!OpenProcessToken(GetCurrentProcess(), TOKEN_QUERY, &token)) return false;
  bool member = false;
  DWORD needed = 0;
  GetTokenInformation(token, TokenGroups, nullptr, 0, &needed);
  PSID administrators = nullptr;
  if (needed >= sizeof(TOKEN_GROUPS) &&
      AllocateAndInitializeSid(&SECURITY_NT_AUTHORITY, 2, SECURITY_BUILTIN_DOMAIN_RID, DOMAIN_ALIAS_RID_ADMINS, 0, 0,
                               0, 0, 0, 0, &administrators)) {
    std::vector<uint64_t> storage((needed + 7) / 8);
    auto* groups = reinterpret_cast<TOKEN_GROUPS*>(storage.data());
    if (GetTokenInformation(token, TokenGroups, groups, needed, &needed)) {
      const SID_AND_ATTRIBUTES* entries = groups->Groups;
      for (DWORD i = 0; i < groups->GroupCount && !member; ++i)
        member = EqualSid(entries[i].Sid, administrators) != FALSE;
    }
    FreeSid(administrators);
  }
  CloseHandle(token);
  return member;
}

}  // namespace ui::device

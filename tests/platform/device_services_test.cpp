// The machine services the printer properties use: the spooler's ports and their monitors, the
// USB printing class's interfaces and device files (fake printers), jobs on USB ports, the
// process token's groups, the Windows folder's searches and INF values.
#include <arpa/inet.h>
#include <gtest/gtest.h>
#include <netinet/in.h>
#include <sys/socket.h>
#include <unistd.h>

#include <cstring>
#include <filesystem>
#include <fstream>
#include <map>
#include <optional>
#include <string>
#include <thread>
#include <vector>

#include "platform/device_hooks.h"
#include "platform/spooler_admin.h"
#include "platform/test_hooks.h"
#include "platform/utf16.h"
#include "support/temp_dir.h"
#include "win/error.h"
#include "win/fileapi.h"
#include "win/findfile.h"
#include "win/ports.h"
#include "win/registry.h"
#include "win/security.h"
#include "win/setupapi.h"
#include "win/spooler.h"

namespace {

using platform::hooks::FakeUsbPrinter;
using Bytes = std::vector<uint8_t>;

class DeviceServices : public testing::Test {
 protected:
  void SetUp() override { platform::hooks::SetPlatformRoot(root_.str()); }

  static void AddPrinterOn(const std::u16string& name, const std::string& port) {
    ASSERT_TRUE(platform::spooler::AddPrinter({name, u"Taliro R7700 PCL5e", "", "", u"winprint", port, {}}));
  }

  static std::u16string InstallFake(DWORD port, std::optional<Bytes> reply = Bytes{2, 15}) {
    FakeUsbPrinter fake;
    fake.portNumber = port;
    fake.statusReply = std::move(reply);
    return platform::hooks::InstallFakeUsbPrinter(fake);
  }

  testsupport::TempDir root_;
};

// ---- ports ----

TEST_F(DeviceServices, EveryPortComesWithTheMonitorThatServesItsKind) {
  InstallFake(3);
  AddPrinterOn(u"Local", "FILE:/tmp/out.prn");
  AddPrinterOn(u"Usb", "USB003");
  AddPrinterOn(u"Tcp", "IP_10.0.0.5");
  AddPrinterOn(u"Socket", "socket://10.0.0.6:9100");
  AddPrinterOn(u"Wsd", "WSD-6c1f0a2e-0b1d-4c63-9a2f-2a1e4f1b0c11");
  DWORD needed = 0, returned = 7;
  ASSERT_FALSE(EnumPortsW(nullptr, 2, nullptr, 0, &needed, &returned));
  EXPECT_EQ(GetLastError(), ERROR_INSUFFICIENT_BUFFER);
  EXPECT_EQ(returned, 0u);
  ASSERT_GT(needed, 6 * sizeof(PORT_INFO_2W));
  // One byte short is still too small, and says the same size.
  std::vector<uint64_t> buffer(needed / 8 + 1);
  DWORD again = 0;
  ASSERT_FALSE(EnumPortsW(nullptr, 2, reinterpret_cast<LPBYTE>(buffer.data()), needed - 1, &again, &returned));
  EXPECT_EQ(GetLastError(), ERROR_INSUFFICIENT_BUFFER);
  EXPECT_EQ(again, needed);
  ASSERT_TRUE(EnumPortsW(nullptr, 2, reinterpret_cast<LPBYTE>(buffer.data()), needed, &again, &returned));
  ASSERT_EQ(returned, 6u);  // FILE:, the USB port once, and each printer's other port
  const auto* ports = reinterpret_cast<const PORT_INFO_2W*>(buffer.data());
  const auto* begin = reinterpret_cast<const uint8_t*>(buffer.data());
  std::map<std::u16string, std::u16string> monitors;
  for (DWORD i = 0; i < returned; ++i) {
    for (const WCHAR* s : {ports[i].pPortName, ports[i].pMonitorName, ports[i].pDescription}) {
      auto* at = reinterpret_cast<const uint8_t*>(s);
      ASSERT_GE(at, begin + returned * sizeof(PORT_INFO_2W));
      ASSERT_LE(at + (std::char_traits<char16_t>::length(s) + 1) * 2, begin + needed);
    }
    monitors[ports[i].pPortName] = ports[i].pMonitorName;
  }
  EXPECT_EQ(monitors[u"FILE:"], u"Local Port");
  EXPECT_EQ(monitors[u"FILE:/tmp/out.prn"], u"Local Port");
  EXPECT_EQ(monitors[u"USB003"], u"USB Monitor");
  EXPECT_EQ(monitors[u"IP_10.0.0.5"], u"Standard TCP/IP Port");
  EXPECT_EQ(monitors[u"socket://10.0.0.6:9100"], u"Standard TCP/IP Port");
  EXPECT_EQ(monitors[u"WSD-6c1f0a2e-0b1d-4c63-9a2f-2a1e4f1b0c11"], u"WSD Port Monitor");
  EXPECT_EQ(ports[0].fPortType & PORT_TYPE_WRITE, PORT_TYPE_WRITE);

  DWORD level1 = 0;
  EnumPortsW(nullptr, 1, nullptr, 0, &level1, &returned);
  EXPECT_LT(level1, needed);
  EXPECT_FALSE(EnumPortsW(nullptr, 3, nullptr, 0, &level1, &returned));
  EXPECT_EQ(GetLastError(), ERROR_INVALID_LEVEL);
}

// ---- the USB printing class ----

TEST_F(DeviceServices, InterfacesAreEnumeratedWithTheirPathsAndPortNumbers) {
  std::vector<std::u16string> installed{InstallFake(1), InstallFake(2), InstallFake(7)};
  HDEVINFO set = SetupDiGetClassDevsW(&GUID_DEVINTERFACE_USBPRINT, nullptr, nullptr,
                                      DIGCF_PRESENT | DIGCF_DEVICEINTERFACE);
  ASSERT_NE(set, INVALID_HANDLE_VALUE);
  SP_DEVICE_INTERFACE_DATA data{};
  data.cbSize = 8;
  EXPECT_FALSE(SetupDiEnumDeviceInterfaces(set, nullptr, &GUID_DEVINTERFACE_USBPRINT, 0, &data));
  EXPECT_EQ(GetLastError(), ERROR_INVALID_USER_BUFFER);
  data.cbSize = sizeof data;
  std::vector<std::u16string> paths;
  for (DWORD index = 0; SetupDiEnumDeviceInterfaces(set, nullptr, &GUID_DEVINTERFACE_USBPRINT, index, &data);
       ++index) {
    DWORD required = 0;
    ASSERT_FALSE(SetupDiGetDeviceInterfaceDetailW(set, &data, nullptr, 0, &required, nullptr));
    ASSERT_EQ(GetLastError(), ERROR_INSUFFICIENT_BUFFER);
    std::vector<uint64_t> storage(required / 8 + 1);
    auto* detail = reinterpret_cast<SP_DEVICE_INTERFACE_DETAIL_DATA_W*>(storage.data());
    detail->cbSize = sizeof *detail;
    ASSERT_FALSE(SetupDiGetDeviceInterfaceDetailW(set, &data, detail, required - 1, nullptr, nullptr));
    EXPECT_EQ(GetLastError(), ERROR_INSUFFICIENT_BUFFER);
    ASSERT_TRUE(SetupDiGetDeviceInterfaceDetailW(set, &data, detail, required, nullptr, nullptr));
    std::u16string path(detail->DevicePath);
    EXPECT_EQ(required, 4 + (path.size() + 1) * 2);
    paths.push_back(path);
  }
  EXPECT_EQ(GetLastError(), ERROR_NO_MORE_ITEMS);
  EXPECT_EQ(paths, installed);
  EXPECT_TRUE(SetupDiDestroyDeviceInfoList(set));
  EXPECT_FALSE(SetupDiDestroyDeviceInfoList(set));
  EXPECT_EQ(GetLastError(), ERROR_INVALID_HANDLE);

  // The USB monitor finds a port's device by the number under the interface's key.
  std::u16string key = installed[2];
  for (char16_t& c : key)
    if (c == u'\\') c = u'#';
  key = u"SYSTEM\\CurrentControlSet\\Control\\DeviceClasses\\{28D78FAD-5A12-11D1-AE5B-0000F803A8C2}\\" + key +
        u"\\#\\Device Parameters";
  HKEY handle = nullptr;
  ASSERT_EQ(RegOpenKeyExW(HKEY_LOCAL_MACHINE, key.c_str(), 0, KEY_READ, &handle), ERROR_SUCCESS);
  DWORD number = 0, type = 0, size = sizeof number;
  EXPECT_EQ(RegQueryValueExW(handle, u"Port Number", nullptr, &type, reinterpret_cast<BYTE*>(&number), &size),
            ERROR_SUCCESS);
  RegCloseKey(handle);
  EXPECT_EQ(type, REG_DWORD);
  EXPECT_EQ(number, 7u);
}

TEST_F(DeviceServices, OtherClassesAndHiddenPrintersHaveNoInterfaces) {
  InstallFake(1);
  GUID other = GUID_DEVINTERFACE_USBPRINT;
  other.Data1 ^= 1;
  SP_DEVICE_INTERFACE_DATA data{};
  data.cbSize = sizeof data;
  HDEVINFO set = SetupDiGetClassDevsW(&other, nullptr, nullptr, DIGCF_PRESENT | DIGCF_DEVICEINTERFACE);
  EXPECT_FALSE(SetupDiEnumDeviceInterfaces(set, nullptr, &other, 0, &data));
  EXPECT_EQ(GetLastError(), ERROR_NO_MORE_ITEMS);
  SetupDiDestroyDeviceInfoList(set);
  platform::hooks::HideUsbPrinters();
  set = SetupDiGetClassDevsW(&GUID_DEVINTERFACE_USBPRINT, nullptr, nullptr, DIGCF_PRESENT | DIGCF_DEVICEINTERFACE);
  EXPECT_FALSE(SetupDiEnumDeviceInterfaces(set, nullptr, &GUID_DEVINTERFACE_USBPRINT, 0, &data));
  EXPECT_EQ(GetLastError(), ERROR_NO_MORE_ITEMS);
  SetupDiDestroyDeviceInfoList(set);
}

TEST_F(DeviceServices, TheDeviceFileAnswersTheVendorRequestAndKeepsEveryWrite) {
  FakeUsbPrinter fake;
  fake.portNumber = 4;
  fake.statusReply = Bytes{4, 30, 9};
  fake.readReply = Bytes{1, 2, 3};
  std::u16string path = platform::hooks::InstallFakeUsbPrinter(fake);
  HANDLE device = CreateFileW(path.c_str(), GENERIC_READ | GENERIC_WRITE, 0, nullptr, OPEN_EXISTING, 0, nullptr);
  ASSERT_NE(device, INVALID_HANDLE_VALUE);
  BYTE in[3] = {0, 0, 0};
  BYTE out[3840];
  DWORD returned = 99;
  ASSERT_TRUE(DeviceIoControl(device, IOCTL_USBPRINT_VENDOR_GET_COMMAND, in, 3, out, sizeof out, &returned, nullptr));
  EXPECT_EQ(returned, 3u);
  EXPECT_EQ(Bytes(out, out + 3), (Bytes{4, 30, 9}));
  // A short buffer gets the start of the reply; never more than it holds.
  BYTE one[1];
  ASSERT_TRUE(DeviceIoControl(device, IOCTL_USBPRINT_VENDOR_GET_COMMAND, in, 3, one, 1, &returned, nullptr));
  EXPECT_EQ(returned, 1u);
  EXPECT_EQ(one[0], 4);
  EXPECT_FALSE(DeviceIoControl(device, IOCTL_USBPRINT_VENDOR_GET_COMMAND, in, 2, out, sizeof out, &returned, nullptr));
  EXPECT_EQ(GetLastError(), ERROR_INVALID_PARAMETER);
  EXPECT_FALSE(DeviceIoControl(device, 0x00220034, in, 3, out, sizeof out, &returned, nullptr));
  EXPECT_EQ(GetLastError(), ERROR_INVALID_FUNCTION);
  platform::hooks::SetUsbStatusReply(4, std::nullopt);
  EXPECT_FALSE(DeviceIoControl(device, IOCTL_USBPRINT_VENDOR_GET_COMMAND, in, 3, out, sizeof out, &returned, nullptr));
  EXPECT_EQ(GetLastError(), ERROR_GEN_FAILURE);
  EXPECT_EQ(platform::hooks::TakeUsbRequests(4).size(), 5u);

  DWORD written = 0;
  ASSERT_TRUE(WriteFile(device, "ab", 2, &written, nullptr));
  ASSERT_TRUE(WriteFile(device, "cde", 3, &written, nullptr));
  EXPECT_EQ(written, 3u);
  BYTE answer[16];
  DWORD read = 0;
  ASSERT_TRUE(ReadFile(device, answer, sizeof answer, &read, nullptr));
  EXPECT_EQ(Bytes(answer, answer + read), (Bytes{1, 2, 3}));
  ASSERT_TRUE(ReadFile(device, answer, sizeof answer, &read, nullptr));
  EXPECT_EQ(read, 0u);
  EXPECT_TRUE(CloseHandle(device));
  EXPECT_EQ(platform::hooks::TakeUsbWrites(4), (std::vector<Bytes>{{'a', 'b'}, {'c', 'd', 'e'}}));

  // Only present devices open; a plain file is no USB device.
  EXPECT_EQ(CreateFileW(u"\\\\?\\usb#vid_0000&pid_0000#gone#{28d78fad-5a12-11d1-ae5b-0000f803a8c2}", GENERIC_WRITE, 0,
                        nullptr, OPEN_EXISTING, 0, nullptr),
            INVALID_HANDLE_VALUE);
  EXPECT_EQ(GetLastError(), ERROR_FILE_NOT_FOUND);
  std::u16string file = platform::Utf8ToUtf16(root_.str() + "/plain");
  HANDLE plain = CreateFileW(file.c_str(), GENERIC_WRITE, 0, nullptr, CREATE_ALWAYS, 0, nullptr);
  ASSERT_NE(plain, INVALID_HANDLE_VALUE);
  EXPECT_FALSE(DeviceIoControl(plain, IOCTL_USBPRINT_VENDOR_GET_COMMAND, in, 3, out, sizeof out, &returned, nullptr));
  EXPECT_EQ(GetLastError(), ERROR_INVALID_FUNCTION);
  CloseHandle(plain);
}

// A job on USBnnn reaches the present printer with that port number.
TEST_F(DeviceServices, AJobOnAUsbPortGoesToThePrinterWithThatNumber) {
  InstallFake(2);
  InstallFake(12);
  for (auto [port, expectWrite] : {std::pair{"USB012", true}, std::pair{"usb003", false}}) {
    SCOPED_TRACE(port);
    AddPrinterOn(u"P", port);
    HANDLE h = nullptr;
    ASSERT_TRUE(OpenPrinterW(u"P", &h, nullptr));
    DOC_INFO_1W doc{const_cast<LPWSTR>(u"Job"), nullptr, nullptr};
    ASSERT_NE(StartDocPrinterW(h, 1, reinterpret_cast<LPBYTE>(&doc)), 0u);
    DWORD written = 0;
    EXPECT_EQ(WritePrinter(h, "PCL!", 4, &written) != FALSE, expectWrite);
    if (!expectWrite) {
      EXPECT_EQ(GetLastError(), ERROR_BAD_NETPATH);
    }
    EXPECT_EQ(EndDocPrinter(h) != FALSE, expectWrite);
    ClosePrinter(h);
  }
  Bytes all;
  for (const Bytes& w : platform::hooks::TakeUsbWrites(12)) all.insert(all.end(), w.begin(), w.end());
  EXPECT_EQ(all, (Bytes{'P', 'C', 'L', '!'}));
  EXPECT_TRUE(platform::hooks::TakeUsbWrites(2).empty());
}

// A standard TCP/IP port is named after the printer's address and prints raw on port 9100.
TEST_F(DeviceServices, AJobOnAnIpPortGoesToPort9100OfThatAddress) {
  int listener = socket(AF_INET, SOCK_STREAM | SOCK_CLOEXEC, 0);
  ASSERT_GE(listener, 0);
  int on = 1;
  setsockopt(listener, SOL_SOCKET, SO_REUSEADDR, &on, sizeof on);
  sockaddr_in address{};
  address.sin_family = AF_INET;
  address.sin_port = htons(9100);
  address.sin_addr.s_addr = inet_addr("127.0.0.87");
  if (bind(listener, reinterpret_cast<sockaddr*>(&address), sizeof address) != 0 || listen(listener, 1) != 0) {
    close(listener);
    GTEST_SKIP() << "127.0.0.87:9100 is taken";
  }
  std::string received;
  std::thread printer([&] {
    int connection = accept(listener, nullptr, nullptr);
    if (connection < 0) return;
    timeval bound{30, 0};  // bounds a hang, should the job never end
    setsockopt(connection, SOL_SOCKET, SO_RCVTIMEO, &bound, sizeof bound);
    char buffer[256];
    for (ssize_t n; (n = read(connection, buffer, sizeof buffer)) > 0;) received.append(buffer, static_cast<size_t>(n));
    close(connection);
  });
  AddPrinterOn(u"Tcp", "IP_127.0.0.87");
  HANDLE h = nullptr;
  ASSERT_TRUE(OpenPrinterW(u"Tcp", &h, nullptr));
  DOC_INFO_1W doc{const_cast<LPWSTR>(u"Job"), nullptr, nullptr};
  EXPECT_NE(StartDocPrinterW(h, 1, reinterpret_cast<LPBYTE>(&doc)), 0u);
  DWORD written = 0;
  EXPECT_TRUE(WritePrinter(h, "PCL!", 4, &written));
  EXPECT_TRUE(EndDocPrinter(h));
  ClosePrinter(h);
  shutdown(listener, SHUT_RDWR);
  printer.join();
  close(listener);
  EXPECT_EQ(received, "PCL!");
}

// ---- the token ----

TEST_F(DeviceServices, TheTokenHoldsTheAdministratorsOnlyForAnAdministrator) {
  PSID administrators = nullptr;
  ASSERT_TRUE(AllocateAndInitializeSid(&SECURITY_NT_AUTHORITY, 2, SECURITY_BUILTIN_DOMAIN_RID,
                                       DOMAIN_ALIAS_RID_ADMINS, 0, 0, 0, 0, 0, 0, &administrators));
  for (bool admin : {true, false}) {
    SCOPED_TRACE(admin);
    platform::hooks::SetAdministrator(admin);
    HANDLE token = nullptr;
    ASSERT_TRUE(OpenProcessToken(GetCurrentProcess(), TOKEN_QUERY, &token));
    DWORD needed = 0;
    ASSERT_FALSE(GetTokenInformation(token, TokenGroups, nullptr, 0, &needed));
    EXPECT_EQ(GetLastError(), ERROR_INSUFFICIENT_BUFFER);
    std::vector<uint64_t> storage(needed / 8 + 1);
    ASSERT_FALSE(GetTokenInformation(token, TokenGroups, storage.data(), needed - 1, &needed));
    ASSERT_TRUE(GetTokenInformation(token, TokenGroups, storage.data(), needed, &needed));
    const auto* groups = reinterpret_cast<const TOKEN_GROUPS*>(storage.data());
    const SID_AND_ATTRIBUTES* entries = groups->Groups;
    bool found = false;
    for (DWORD i = 0; i < groups->GroupCount; ++i) {
      const auto* at = static_cast<const uint8_t*>(entries[i].Sid);
      ASSERT_GE(at, reinterpret_cast<const uint8_t*>(storage.data()));
      ASSERT_LE(at + 8 + 4 * at[1], reinterpret_cast<const uint8_t*>(storage.data()) + needed);
      found = found || EqualSid(entries[i].Sid, administrators);
    }
    EXPECT_EQ(found, admin);
    EXPECT_GE(groups->GroupCount, 2u);
    BOOL member = !admin;
    ASSERT_TRUE(CheckTokenMembership(token, administrators, &member));
    EXPECT_EQ(member != FALSE, admin);
    ASSERT_TRUE(CheckTokenMembership(nullptr, administrators, &member));
    EXPECT_EQ(member != FALSE, admin);
    EXPECT_TRUE(CloseHandle(token));
  }
  FreeSid(administrators);
}

// ---- the Windows folder ----

TEST_F(DeviceServices, SearchesMatchTheLastPartWithoutCaseInNameOrder) {
  WCHAR windows[260];
  UINT length = GetWindowsDirectoryW(windows, 260);
  EXPECT_EQ(std::u16string(windows, length), platform::Utf8ToUtf16(root_.str() + "/windows"));
  EXPECT_EQ(GetWindowsDirectoryW(windows, length), length + 1);
  std::filesystem::path inf = root_.path() / "windows" / "inf";
  std::filesystem::create_directories(inf);
  for (const char* name : {"oem10.inf", "OEM2.INF", "oem.txt", "printer.inf", "oem1.inf.bak"}) std::ofstream(inf / name);
  WIN32_FIND_DATAW found{};
  std::u16string pattern = std::u16string(windows, length) + u"\\inf\\oem*.inf";
  HANDLE search = FindFirstFileW(pattern.c_str(), &found);
  ASSERT_NE(search, INVALID_HANDLE_VALUE);
  std::vector<std::u16string> names{found.cFileName};
  while (FindNextFileW(search, &found)) names.emplace_back(found.cFileName);
  EXPECT_EQ(GetLastError(), ERROR_NO_MORE_FILES);
  EXPECT_TRUE(FindClose(search));
  EXPECT_EQ(names, (std::vector<std::u16string>{u"OEM2.INF", u"oem10.inf"}));
  EXPECT_EQ(FindFirstFileW((std::u16string(windows, length) + u"/inf/none*.inf").c_str(), &found),
            INVALID_HANDLE_VALUE);
  EXPECT_EQ(GetLastError(), ERROR_FILE_NOT_FOUND);
}

TEST_F(DeviceServices, ProfileValuesAreReadFromTheirSection) {
  std::filesystem::path file = root_.path() / "driver.inf";
  std::ofstream(file) << "; comment\n[Version]\nDriverVer = 1/2/2026,1.2.3.4 ; the build\n"
                         "[Models]\n\"Quoted Model\" = \"install,hw\\id\"\nDriverVer=wrong section\n";
  std::u16string name = platform::Utf8ToUtf16(file.string());
  WCHAR value[64];
  EXPECT_EQ(GetPrivateProfileStringW(u"version", u"driverver", u"-", value, 64, name.c_str()), 16u);
  EXPECT_EQ(std::u16string(value), u"1/2/2026,1.2.3.4");
  GetPrivateProfileStringW(u"Models", u"Quoted Model", u"-", value, 64, name.c_str());
  EXPECT_EQ(std::u16string(value), u"install,hw\\id");
  EXPECT_EQ(GetPrivateProfileStringW(u"Models", u"Missing", u"none", value, 64, name.c_str()), 4u);
  EXPECT_EQ(std::u16string(value), u"none");
  // Cut to the buffer, terminated.
  EXPECT_EQ(GetPrivateProfileStringW(u"Version", u"DriverVer", u"", value, 5, name.c_str()), 4u);
  EXPECT_EQ(std::u16string(value), u"1/2/");

  // UTF-16 with its byte-order mark, as INF files often are.
  std::u16string text = u"[Version]\r\nDriverVer=3/3/2026,7.0\r\n";
  std::ofstream wide(root_.path() / "wide.inf", std::ios::binary);
  wide.write("\xFF\xFE", 2);
  for (char16_t c : text) wide.put(static_cast<char>(c & 0xFF)).put(static_cast<char>(c >> 8));
  wide.close();
  std::u16string wideName = platform::Utf8ToUtf16((root_.path() / "wide.inf").string());
  GetPrivateProfileStringW(u"Version", u"DriverVer", u"", value, 64, wideName.c_str());
  EXPECT_EQ(std::u16string(value), u"3/3/2026,7.0");
}

}  // namespace

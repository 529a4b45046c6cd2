// USB printers: the printing class's device interfaces (SetupDi*), their device files and the
// vendor status request. Real printers are the kernel's printer-class devices; their vendor
// requests go through libusb when the machine has it (loaded at run time, so it stays optional).
#include "devices/usb_printers.h"

#include <dlfcn.h>
#include <fcntl.h>
#include <poll.h>
#include <unistd.h>

#include <algorithm>
#include <cerrno>
#include <climits>
#include <cstdio>
#include <cstring>
#include <filesystem>
#include <fstream>
#include <mutex>
#include <set>
#include <utility>

#include "platform/device_hooks.h"
#include "platform/test_hooks.h"
#include "platform/utf16.h"
#include "system/file_handles.h"
#include "win/error.h"
#include "win/fileapi.h"
#include "win/registry.h"
#include "win/setupapi.h"
#include "win/spooler.h"

namespace fs = std::filesystem;

namespace {

using platform::files::FileObject;
using platform::files::HandleExtension;
using platform::hooks::FakeUsbPrinter;
using platform::hooks::UsbRequest;

constexpr char16_t kInterfaceClass[] = u"{28d78fad-5a12-11d1-ae5b-0000f803a8c2}";
constexpr char16_t kDeviceClassesKey[] = u"SYSTEM\\CurrentControlSet\\Control\\DeviceClasses\\";

struct FakeDevice {
  FakeUsbPrinter config;
  std::u16string path;
  std::vector<std::vector<uint8_t>> writes;
  std::vector<UsbRequest> requests;
  bool replied = false;  // the read reply is given once
};

struct DeviceState {
  std::mutex lock;
  std::vector<std::shared_ptr<FakeDevice>> fakes;
  bool hidden = false;
  int nextInstance = 0;
};

DeviceState& S() {
  static DeviceState s;
  return s;
}

[[maybe_unused]] const bool kRegistered = [] {
  platform::hooks::OnReset([] {
    std::lock_guard g(S().lock);
    S().fakes.clear();
    S().hidden = false;
    S().nextInstance = 0;
  });
  return true;
}();

char16_t Lower(char16_t c) { return c >= u'A' && c <= u'Z' ? static_cast<char16_t>(c - u'A' + u'a') : c; }

bool SameText(std::u16string_view a, std::u16string_view b) {
  return a.size() == b.size() && std::equal(a.begin(), a.end(), b.begin(), [](char16_t x, char16_t y) {
           return Lower(x) == Lower(y);
         });
}

// The device's key under the interface class, as the USB monitor finds it: the path with every
// '\' turned into '#'.
std::u16string ParametersKey(const std::u16string& path) {
  std::u16string mangled = path;
  std::replace(mangled.begin(), mangled.end(), u'\\', u'#');
  return std::u16string(kDeviceClassesKey) + kInterfaceClass + u"\\" + mangled + u"\\#\\Device Parameters";
}

std::optional<DWORD> ReadPortNumber(const std::u16string& path) {
  HKEY key = nullptr;
  if (RegOpenKeyExW(HKEY_LOCAL_MACHINE, ParametersKey(path).c_str(), 0, KEY_READ, &key) != ERROR_SUCCESS)
    return std::nullopt;
  DWORD value = 0, type = 0, size = sizeof value;
  LSTATUS r = RegQueryValueExW(key, u"Port Number", nullptr, &type, reinterpret_cast<BYTE*>(&value), &size);
  RegCloseKey(key);
  if (r != ERROR_SUCCESS || type != REG_DWORD || size != sizeof value) return std::nullopt;
  return value;
}

void WritePortNumber(const std::u16string& path, DWORD number) {
  HKEY key = nullptr;
  if (RegCreateKeyExW(HKEY_LOCAL_MACHINE, ParametersKey(path).c_str(), 0, nullptr, 0, KEY_WRITE, nullptr, &key,
                      nullptr) != ERROR_SUCCESS)
    return;
  RegSetValueExW(key, u"Port Number", 0, REG_DWORD, reinterpret_cast<const BYTE*>(&number), sizeof number);
  RegCloseKey(key);
}

std::u16string DevicePath(std::string_view vendor, std::string_view product, std::u16string_view instance) {
  return u"\\\\?\\usb#vid_" + platform::Utf8ToUtf16(vendor) + u"&pid_" + platform::Utf8ToUtf16(product) + u"#" +
         std::u16string(instance) + u"#" + kInterfaceClass;
}

// ---- real printers ----

struct RealPrinter {
  std::string deviceFile;  // /dev/usb/lpN
  std::u16string path;
  int bus = -1, address = -1, interfaceNumber = 0;
};

std::string ReadLine(const fs::path& file) {
  std::ifstream in(file);
  std::string line;
  std::getline(in, line);
  while (!line.empty() && (line.back() == '\n' || line.back() == '\r' || line.back() == ' ')) line.pop_back();
  return line;
}

int ReadNumber(const fs::path& file, int base) {
  std::string text = ReadLine(file);
  if (text.empty()) return -1;
  char* end = nullptr;
  long v = std::strtol(text.c_str(), &end, base);
  return end != nullptr && *end == 0 && v >= 0 && v <= INT_MAX ? static_cast<int>(v) : -1;
}

// Only characters a device path can hold; anything else in a serial number becomes '_'.
std::string PathSafe(std::string text) {
  for (char& c : text) {
    bool ok = (c >= '0' && c <= '9') || (c >= 'a' && c <= 'z') || (c >= 'A' && c <= 'Z') || c == '-' || c == '.';
    if (!ok) c = '_';
  }
  return text.substr(0, 64);
}

std::vector<RealPrinter> RealPrinters() {
  std::vector<RealPrinter> found;
  std::error_code ec;
  for (const auto& entry : fs::directory_iterator("/dev/usb", ec)) {
    std::string name = entry.path().filename().string();
    if (name.size() < 3 || name.compare(0, 2, "lp") != 0 ||
        !std::all_of(name.begin() + 2, name.end(), [](char c) { return c >= '0' && c <= '9'; }))
      continue;
    RealPrinter p;
    p.deviceFile = entry.path().string();
    fs::path interfaceDir = fs::canonical(fs::path("/sys/class/usbmisc") / name / "device", ec);
    std::string vendor = "0000", product = "0000", serial;
    if (!ec) {
      fs::path deviceDir = interfaceDir.parent_path();
      vendor = PathSafe(ReadLine(deviceDir / "idVendor"));
      product = PathSafe(ReadLine(deviceDir / "idProduct"));
      serial = PathSafe(ReadLine(deviceDir / "serial"));
      p.bus = ReadNumber(deviceDir / "busnum", 10);
      p.address = ReadNumber(deviceDir / "devnum", 10);
      p.interfaceNumber = std::max(0, ReadNumber(interfaceDir / "bInterfaceNumber", 16));
    }
    ec.clear();
    p.path = DevicePath(vendor.empty() ? "0000" : vendor, product.empty() ? "0000" : product,
                        platform::Utf8ToUtf16(serial.empty() ? name : serial));
    found.push_back(std::move(p));
  }
  std::sort(found.begin(), found.end(), [](const RealPrinter& a, const RealPrinter& b) { return a.path < b.path; });
  return found;
}

// libusb, when the machine has it: one vendor control transfer on the printer's interface.
class LibUsb {
 public:
  static LibUsb& Get() {
    static LibUsb instance;
    return instance;
  }
  // Bytes of the reply, or -1.
  int VendorGet(int bus, int address, int interfaceNumber, uint8_t request, uint16_t value, uint8_t* out,
                uint16_t size) {
    if (handle_ == nullptr || bus < 0 || address < 0) return -1;
    std::lock_guard g(lock_);
    void* context = nullptr;
    if (init_(&context) != 0) return -1;
    void** list = nullptr;
    long count = getDeviceList_(context, &list);
    int result = -1;
    for (long i = 0; i < count; ++i) {
      if (busNumber_(list[i]) != bus || deviceAddress_(list[i]) != address) continue;
      void* device = nullptr;
      if (open_(list[i], &device) == 0) {
        // device to host, vendor, interface
        result = controlTransfer_(device, 0xC1, request, value, static_cast<uint16_t>(interfaceNumber), out, size,
                                  5000);
        close_(device);
      }
      break;
    }
    if (list != nullptr) freeDeviceList_(list, 1);
    exit_(context);
    return result < 0 ? -1 : result;
  }

 private:
  LibUsb() {
    handle_ = ::dlopen("libusb-1.0.so.0", RTLD_NOW | RTLD_LOCAL);
    if (handle_ == nullptr) return;
    bool ok = Bind(init_, "libusb_init") && Bind(exit_, "libusb_exit") &&
              Bind(getDeviceList_, "libusb_get_device_list") && Bind(freeDeviceList_, "libusb_free_device_list") &&
              Bind(busNumber_, "libusb_get_bus_number") && Bind(deviceAddress_, "libusb_get_device_address") &&
              Bind(open_, "libusb_open") && Bind(close_, "libusb_close") &&
              Bind(controlTransfer_, "libusb_control_transfer");
    if (!ok) {
      ::dlclose(handle_);
      handle_ = nullptr;
    }
  }
  ~LibUsb() {
    if (handle_ != nullptr) ::dlclose(handle_);
  }
  LibUsb(const LibUsb&) = delete;
  LibUsb& operator=(const LibUsb&) = delete;
  template <typename F>
  bool Bind(F& f, const char* name) {
    f = reinterpret_cast<F>(::dlsym(handle_, name));
    return f != nullptr;
  }
  void* handle_ = nullptr;
  std::mutex lock_;
  int (*init_)(void**) = nullptr;
  void (*exit_)(void*) = nullptr;
  long (*getDeviceList_)(void*, void***) = nullptr;
  void (*freeDeviceList_)(void**, int) = nullptr;
  uint8_t (*busNumber_)(void*) = nullptr;
  uint8_t (*deviceAddress_)(void*) = nullptr;
  int (*open_)(void*, void**) = nullptr;
  void (*close_)(void*) = nullptr;
  int (*controlTransfer_)(void*, uint8_t, uint8_t, uint16_t, uint16_t, uint8_t*, uint16_t, unsigned) = nullptr;
};

// ---- device files ----

class UsbDeviceFile : public HandleExtension {
 public:
  virtual BOOL Control(DWORD code, const uint8_t* in, DWORD inSize, uint8_t* out, DWORD outSize,
                       DWORD* returned) = 0;
};

bool CheckVendorGet(DWORD code, const uint8_t* in, DWORD inSize, const uint8_t* out, DWORD outSize) {
  if (code != IOCTL_USBPRINT_VENDOR_GET_COMMAND) {
    SetLastError(ERROR_INVALID_FUNCTION);
    return false;
  }
  if (in == nullptr || inSize < 3 || (out == nullptr && outSize != 0)) {
    SetLastError(ERROR_INVALID_PARAMETER);
    return false;
  }
  return true;
}

class FakeDeviceFile : public UsbDeviceFile {
 public:
  explicit FakeDeviceFile(std::shared_ptr<FakeDevice> device) : device_(std::move(device)) {}
  std::optional<BOOL> Write(const void* data, DWORD size, DWORD* written) override {
    std::lock_guard g(S().lock);
    const auto* bytes = static_cast<const uint8_t*>(data);
    device_->writes.emplace_back(bytes, bytes + size);
    if (written != nullptr) *written = size;
    return TRUE;
  }
  std::optional<BOOL> Read(void* buffer, DWORD size, DWORD* read) override {
    std::lock_guard g(S().lock);
    DWORD n = 0;
    if (!device_->replied) {
      n = static_cast<DWORD>(std::min<size_t>(size, device_->config.readReply.size()));
      if (n > 0) std::memcpy(buffer, device_->config.readReply.data(), n);
      device_->replied = true;
    }
    if (read != nullptr) *read = n;
    return TRUE;
  }
  BOOL Control(DWORD code, const uint8_t* in, DWORD inSize, uint8_t* out, DWORD outSize, DWORD* returned) override {
    std::lock_guard g(S().lock);
    device_->requests.push_back({code, in != nullptr ? std::vector<uint8_t>(in, in + inSize) : std::vector<uint8_t>{},
                                 outSize});
    if (!CheckVendorGet(code, in, inSize, out, outSize)) return FALSE;
    if (!device_->config.statusReply) {
      SetLastError(ERROR_GEN_FAILURE);
      return FALSE;
    }
    const auto& reply = *device_->config.statusReply;
    DWORD n = static_cast<DWORD>(std::min<size_t>(outSize, reply.size()));
    if (n > 0) std::memcpy(out, reply.data(), n);
    if (returned != nullptr) *returned = n;
    return TRUE;
  }

 private:
  std::shared_ptr<FakeDevice> device_;
};

class RealDeviceFile : public UsbDeviceFile {
 public:
  RealDeviceFile(int fd, const RealPrinter& printer) : fd_(fd), printer_(printer) {}
  // A printer answers a read with what it has; never wait long for more.
  std::optional<BOOL> Read(void* buffer, DWORD size, DWORD* read) override {
    pollfd p{fd_, POLLIN, 0};
    ssize_t n = 0;
    if (::poll(&p, 1, 2000) > 0) n = ::read(fd_, buffer, size);
    if (read != nullptr) *read = n > 0 ? static_cast<DWORD>(n) : 0;
    return TRUE;
  }
  BOOL Control(DWORD code, const uint8_t* in, DWORD inSize, uint8_t* out, DWORD outSize, DWORD* returned) override {
    if (!CheckVendorGet(code, in, inSize, out, outSize)) return FALSE;
    auto value = static_cast<uint16_t>((in[1] << 8) | in[2]);
    int n = LibUsb::Get().VendorGet(printer_.bus, printer_.address, printer_.interfaceNumber, in[0], value, out,
                                    static_cast<uint16_t>(std::min<DWORD>(outSize, 0xFFFF)));
    if (n < 0) {
      SetLastError(ERROR_GEN_FAILURE);
      return FALSE;
    }
    if (returned != nullptr) *returned = static_cast<DWORD>(n);
    return TRUE;
  }

 private:
  int fd_;
  RealPrinter printer_;
};

// ---- device information sets ----

struct InterfaceSet {
  std::vector<std::u16string> paths;
};

std::mutex g_setsLock;
std::set<InterfaceSet*> g_sets;

InterfaceSet* FindSet(HDEVINFO handle) {
  std::lock_guard g(g_setsLock);
  auto* s = static_cast<InterfaceSet*>(handle);
  return g_sets.count(s) ? s : nullptr;
}

bool IsUsbPrintClass(const GUID* guid) {
  return guid != nullptr && std::memcmp(guid, &GUID_DEVINTERFACE_USBPRINT, sizeof(GUID)) == 0;
}

}  // namespace

namespace platform::devices {

std::vector<UsbPrinter> PresentUsbPrinters() {
  std::vector<UsbPrinter> printers;
  {
    std::lock_guard g(S().lock);
    if (S().hidden) return printers;
    for (const auto& fake : S().fakes) printers.push_back({fake->path, fake->config.portNumber});
  }
  if (!printers.empty()) {
    for (const UsbPrinter& p : printers) WritePortNumber(p.path, p.portNumber);
    return printers;
  }
  std::vector<RealPrinter> real = RealPrinters();
  std::set<DWORD> used;
  std::vector<size_t> unnumbered;
  for (const RealPrinter& r : real) {
    std::optional<DWORD> number = ReadPortNumber(r.path);
    if (number) used.insert(*number);
    else unnumbered.push_back(printers.size());
    printers.push_back({r.path, number.value_or(0)});
  }
  for (size_t index : unnumbered) {
    DWORD next = 1;
    while (used.count(next)) ++next;
    used.insert(next);
    printers[index].portNumber = next;
    WritePortNumber(printers[index].path, next);
  }
  return printers;
}

std::optional<DWORD> UsbPortNumber(std::u16string_view port) {
  if (port.size() != 6 || !SameText(port.substr(0, 3), u"USB")) return std::nullopt;
  DWORD n = 0;
  for (char16_t c : port.substr(3)) {
    if (c < u'0' || c > u'9') return std::nullopt;
    n = n * 10 + static_cast<DWORD>(c - u'0');
  }
  return n;
}

bool IsUsbDevicePath(LPCWSTR name) {
  std::u16string_view prefix = u"\\\\?\\usb#";
  std::u16string_view text = platform::WideField(name, prefix.size());
  return SameText(text, prefix);
}

HANDLE OpenUsbDevice(LPCWSTR name, DWORD access) {
  std::u16string path(platform::WideField(name, 32768));
  {
    std::lock_guard g(S().lock);
    if (!S().hidden) {
      for (const auto& fake : S().fakes) {
        if (!SameText(fake->path, path)) continue;
        auto* f = new FileObject{-1, false, -1, {}, std::make_unique<FakeDeviceFile>(fake)};
        SetLastError(ERROR_SUCCESS);
        return platform::files::Register(f);
      }
      if (!S().fakes.empty()) {
        SetLastError(ERROR_FILE_NOT_FOUND);
        return INVALID_HANDLE_VALUE;
      }
    }
  }
  bool hidden;
  {
    std::lock_guard g(S().lock);
    hidden = S().hidden;
  }
  if (!hidden) {
    for (const RealPrinter& r : RealPrinters()) {
      if (!SameText(r.path, path)) continue;
      int flags = O_CLOEXEC | ((access & GENERIC_WRITE) ? ((access & GENERIC_READ) ? O_RDWR : O_WRONLY) : O_RDONLY);
      int fd = ::open(r.deviceFile.c_str(), flags);
      if (fd < 0) {
        SetLastError(errno == EACCES || errno == EPERM ? ERROR_ACCESS_DENIED : ERROR_DEVICE_NOT_CONNECTED);
        return INVALID_HANDLE_VALUE;
      }
      auto* f = new FileObject{fd, false, -1, {}, std::make_unique<RealDeviceFile>(fd, r)};
      SetLastError(ERROR_SUCCESS);
      return platform::files::Register(f);
    }
  }
  SetLastError(ERROR_FILE_NOT_FOUND);
  return INVALID_HANDLE_VALUE;
}

namespace {

class UsbPortDelivery : public spooler::Delivery {
 public:
  explicit UsbPortDelivery(DWORD port) : port_(port) {}
  ~UsbPortDelivery() override { Close(); }
  bool Send(const uint8_t* data, size_t size) override {
    if (device_ == INVALID_HANDLE_VALUE && Error() == 0) {
      for (const UsbPrinter& p : PresentUsbPrinters()) {
        if (p.portNumber != port_) continue;
        device_ = CreateFileW(p.path.c_str(), GENERIC_WRITE, 0, nullptr, OPEN_EXISTING, 0, nullptr);
        break;
      }
      if (device_ == INVALID_HANDLE_VALUE) Fail(ERROR_BAD_NETPATH);
    }
    if (Error() != 0) return false;
    while (size > 0) {
      DWORD chunk = static_cast<DWORD>(std::min<size_t>(size, 1u << 20)), written = 0;
      if (!WriteFile(device_, data, chunk, &written, nullptr) || written == 0) return Fail(ERROR_WRITE_FAULT);
      data += written;
      size -= written;
    }
    return true;
  }
  bool Finish() override {
    Close();
    return Error() == 0;
  }
  void Abandon() override { Close(); }

 private:
  void Close() {
    if (device_ != INVALID_HANDLE_VALUE) CloseHandle(device_);
    device_ = INVALID_HANDLE_VALUE;
  }
  DWORD port_;
  HANDLE device_ = INVALID_HANDLE_VALUE;
};

}  // namespace

std::unique_ptr<spooler::Delivery> OpenUsbPortDelivery(DWORD portNumber) {
  return std::make_unique<UsbPortDelivery>(portNumber);
}

}  // namespace platform::devices

namespace platform::hooks {

std::u16string InstallFakeUsbPrinter(FakeUsbPrinter printer) {
  std::lock_guard g(S().lock);
  auto device = std::make_shared<FakeDevice>();
  int n = S().nextInstance++;
  std::u16string instance = printer.instance.empty() ? u"test" + platform::Widen(std::to_string(n)) : printer.instance;
  device->path = DevicePath("0000", "0000", instance);
  device->config = std::move(printer);
  S().fakes.push_back(device);
  return device->path;
}

void RemoveFakeUsbPrinters() {
  std::lock_guard g(S().lock);
  S().fakes.clear();
}

void HideUsbPrinters() {
  std::lock_guard g(S().lock);
  S().hidden = true;
}

namespace {
std::shared_ptr<FakeDevice> FakeOnPort(DWORD port) {
  for (const auto& fake : S().fakes)
    if (fake->config.portNumber == port) return fake;
  return nullptr;
}
}  // namespace

std::vector<std::vector<uint8_t>> TakeUsbWrites(DWORD portNumber) {
  std::lock_guard g(S().lock);
  auto fake = FakeOnPort(portNumber);
  if (fake == nullptr) return {};
  return std::exchange(fake->writes, {});
}

std::vector<UsbRequest> TakeUsbRequests(DWORD portNumber) {
  std::lock_guard g(S().lock);
  auto fake = FakeOnPort(portNumber);
  if (fake == nullptr) return {};
  return std::exchange(fake->requests, {});
}

void SetUsbStatusReply(DWORD portNumber, std::optional<std::vector<uint8_t>> reply) {
  std::lock_guard g(S().lock);
  if (auto fake = FakeOnPort(portNumber)) fake->config.statusReply = std::move(reply);
}

}  // namespace platform::hooks

// ---- the published calls ----

extern "C" HDEVINFO SetupDiGetClassDevsW(const GUID* classGuid, LPCWSTR, HWND, DWORD flags) {
  if (classGuid == nullptr && !(flags & DIGCF_ALLCLASSES)) {
    SetLastError(ERROR_INVALID_PARAMETER);
    return INVALID_HANDLE_VALUE;
  }
  auto* set = new InterfaceSet();
  // Only interfaces of the USB printing class exist here; every one of them is present.
  if ((flags & DIGCF_DEVICEINTERFACE) && (IsUsbPrintClass(classGuid) || (flags & DIGCF_ALLCLASSES))) {
    for (const auto& p : platform::devices::PresentUsbPrinters()) set->paths.push_back(p.path);
  }
  std::lock_guard g(g_setsLock);
  g_sets.insert(set);
  SetLastError(ERROR_SUCCESS);
  return set;
}

extern "C" BOOL SetupDiEnumDeviceInterfaces(HDEVINFO handle, SP_DEVINFO_DATA*, const GUID* interfaceGuid, DWORD index,
                                            SP_DEVICE_INTERFACE_DATA* data) {
  InterfaceSet* set = FindSet(handle);
  if (set == nullptr) {
    SetLastError(ERROR_INVALID_HANDLE);
    return FALSE;
  }
  if (data == nullptr || data->cbSize != sizeof(SP_DEVICE_INTERFACE_DATA)) {
    SetLastError(ERROR_INVALID_USER_BUFFER);
    return FALSE;
  }
  if (!IsUsbPrintClass(interfaceGuid) || index >= set->paths.size()) {
    SetLastError(ERROR_NO_MORE_ITEMS);
    return FALSE;
  }
  data->InterfaceClassGuid = GUID_DEVINTERFACE_USBPRINT;
  data->Flags = SPINT_ACTIVE;
  data->Reserved = index + 1;
  SetLastError(ERROR_SUCCESS);
  return TRUE;
}

extern "C" BOOL SetupDiGetDeviceInterfaceDetailW(HDEVINFO handle, SP_DEVICE_INTERFACE_DATA* data,
                                                 SP_DEVICE_INTERFACE_DETAIL_DATA_W* detail, DWORD detailSize,
                                                 DWORD* requiredSize, SP_DEVINFO_DATA*) {
  InterfaceSet* set = FindSet(handle);
  if (set == nullptr) {
    SetLastError(ERROR_INVALID_HANDLE);
    return FALSE;
  }
  if (data == nullptr || data->cbSize != sizeof(SP_DEVICE_INTERFACE_DATA) || data->Reserved == 0 ||
      data->Reserved > set->paths.size()) {
    SetLastError(ERROR_INVALID_PARAMETER);
    return FALSE;
  }
  const std::u16string& path = set->paths[data->Reserved - 1];
  DWORD needed = static_cast<DWORD>(offsetof(SP_DEVICE_INTERFACE_DETAIL_DATA_W, DevicePath) +
                                    (path.size() + 1) * sizeof(WCHAR));
  if (requiredSize != nullptr) *requiredSize = needed;
  if (detail == nullptr ? detailSize != 0 : detail->cbSize != sizeof(SP_DEVICE_INTERFACE_DETAIL_DATA_W)) {
    SetLastError(ERROR_INVALID_USER_BUFFER);
    return FALSE;
  }
  if (detail == nullptr || detailSize < needed) {
    SetLastError(ERROR_INSUFFICIENT_BUFFER);
    return FALSE;
  }
  std::memcpy(detail->DevicePath, path.c_str(), (path.size() + 1) * sizeof(WCHAR));
  SetLastError(ERROR_SUCCESS);
  return TRUE;
}

extern "C" BOOL SetupDiDestroyDeviceInfoList(HDEVINFO handle) {
  InterfaceSet* set = nullptr;
  {
    std::lock_guard g(g_setsLock);
    auto* candidate = static_cast<InterfaceSet*>(handle);
    if (g_sets.erase(candidate) == 1) set = candidate;
  }
  if (set == nullptr) {
    SetLastError(ERROR_INVALID_HANDLE);
    return FALSE;
  }
  delete set;
  return TRUE;
}

extern "C" BOOL DeviceIoControl(HANDLE device, DWORD code, LPVOID in, DWORD inSize, LPVOID out, DWORD outSize,
                                LPDWORD returned, OVERLAPPED*) {
  if (returned != nullptr) *returned = 0;
  FileObject* f = platform::files::Find(device);
  if (f == nullptr) {
    SetLastError(ERROR_INVALID_HANDLE);
    return FALSE;
  }
  auto* usb = dynamic_cast<UsbDeviceFile*>(f->extension.get());
  if (usb == nullptr) {
    SetLastError(ERROR_INVALID_FUNCTION);
    return FALSE;
  }
  return usb->Control(code, static_cast<const uint8_t*>(in), inSize, static_cast<uint8_t*>(out), outSize, returned);
}

// The spooler's ports with the monitor that serves each: "FILE:", the present USB printers' ports,
// and every port a printer names. How a port name relates to where its bytes go is in
// docs/architecture.md (spooler).
#include <algorithm>
#include <cstring>

#include "devices/usb_printers.h"
#include "platform/spooler_admin.h"
#include "platform/utf16.h"
#include "win/error.h"
#include "win/ports.h"

namespace {

struct Port {
  std::u16string name, monitor, description;
  DWORD type;
};

bool StartsWith(std::u16string_view text, std::u16string_view prefix) {
  if (text.size() < prefix.size()) return false;
  for (size_t i = 0; i < prefix.size(); ++i) {
    char16_t c = text[i];
    if (c >= u'a' && c <= u'z') c = static_cast<char16_t>(c - u'a' + u'A');
    if (c != prefix[i]) return false;
  }
  return true;
}

std::u16string Upper(std::u16string text) {
  for (char16_t& c : text)
    if (c >= u'a' && c <= u'z') c = static_cast<char16_t>(c - u'a' + u'A');
  return text;
}

Port Describe(std::u16string name) {
  if (platform::devices::UsbPortNumber(name))
    return {std::move(name), u"USB Monitor", u"Virtual printer port for USB", PORT_TYPE_WRITE | PORT_TYPE_READ};
  if (StartsWith(name, u"IP_") || StartsWith(name, u"SOCKET://"))
    return {std::move(name), u"Standard TCP/IP Port", u"Standard TCP/IP Port",
            PORT_TYPE_WRITE | PORT_TYPE_READ | PORT_TYPE_NET_ATTACHED};
  if (StartsWith(name, u"WSD"))
    return {std::move(name), u"WSD Port Monitor", u"WSD Port", PORT_TYPE_WRITE | PORT_TYPE_READ | PORT_TYPE_NET_ATTACHED};
  return {std::move(name), u"Local Port", u"Local Port", PORT_TYPE_WRITE};
}

std::vector<Port> AllPorts() {
  std::vector<std::u16string> names{u"FILE:"};
  std::vector<platform::devices::UsbPrinter> usb = platform::devices::PresentUsbPrinters();
  std::sort(usb.begin(), usb.end(), [](const auto& a, const auto& b) { return a.portNumber < b.portNumber; });
  for (const auto& p : usb) {
    if (p.portNumber > 999) continue;
    char16_t text[7] = u"USB000";
    text[3] = static_cast<char16_t>(u'0' + p.portNumber / 100);
    text[4] = static_cast<char16_t>(u'0' + p.portNumber / 10 % 10);
    text[5] = static_cast<char16_t>(u'0' + p.portNumber % 10);
    names.emplace_back(text);
  }
  for (const auto& printer : platform::spooler::ListPrinters())
    if (!printer.port.empty()) names.push_back(platform::Utf8ToUtf16(printer.port));
  std::vector<Port> ports;
  for (auto& name : names) {
    bool seen = std::any_of(ports.begin(), ports.end(),
                            [&](const Port& p) { return p.name.size() == name.size() && StartsWith(p.name, Upper(name)); });
    if (!seen) ports.push_back(Describe(std::move(name)));
  }
  return ports;
}

size_t Chars(const std::u16string& s) { return (s.size() + 1) * sizeof(WCHAR); }

}  // namespace

extern "C" BOOL EnumPortsW(LPWSTR name, DWORD level, LPBYTE buffer, DWORD cbBuf, LPDWORD needed, LPDWORD returned) {
  if (needed == nullptr || returned == nullptr) {
    SetLastError(ERROR_INVALID_PARAMETER);
    return FALSE;
  }
  *needed = 0;
  *returned = 0;
  if (level != 1 && level != 2) {
    SetLastError(ERROR_INVALID_LEVEL);
    return FALSE;
  }
  if (name != nullptr && name[0] != 0) {
    SetLastError(ERROR_INVALID_NAME);
    return FALSE;
  }
  std::vector<Port> ports = AllPorts();
  size_t record = level == 1 ? sizeof(PORT_INFO_1W) : sizeof(PORT_INFO_2W);
  size_t total = ports.size() * record;
  for (const Port& p : ports) total += Chars(p.name) + (level == 2 ? Chars(p.monitor) + Chars(p.description) : 0);
  *needed = static_cast<DWORD>(total);
  if (buffer == nullptr || cbBuf < total) {
    SetLastError(ERROR_INSUFFICIENT_BUFFER);
    return FALSE;
  }
  size_t text = ports.size() * record;
  auto put = [&](const std::u16string& s) {
    auto* at = reinterpret_cast<LPWSTR>(buffer + text);
    std::memcpy(at, s.c_str(), Chars(s));
    text += Chars(s);
    return at;
  };
  for (size_t i = 0; i < ports.size(); ++i) {
    if (level == 1) {
      auto* info = reinterpret_cast<PORT_INFO_1W*>(buffer + i * record);
      info->pName = put(ports[i].name);
    } else {
      auto* info = reinterpret_cast<PORT_INFO_2W*>(buffer + i * record);
      info->pPortName = put(ports[i].name);
      info->pMonitorName = put(ports[i].monitor);
      info->pDescription = put(ports[i].description);
      info->fPortType = ports[i].type;
      info->Reserved = 0;
    }
  }
  *returned = static_cast<DWORD>(ports.size());
  SetLastError(ERROR_SUCCESS);
  return TRUE;
}

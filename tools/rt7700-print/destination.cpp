#include "destination.h"

#include <arpa/inet.h>

#include <algorithm>
#include <cctype>

#include "win/error.h"

namespace rt7700print {
namespace {

constexpr char kScheme[] = "socket://";

// A whole number of at most `digits` digits within [low, high].
std::optional<int> Number(const std::string& text, size_t digits, int low, int high) {
  if (text.empty() || text.size() > digits || !std::all_of(text.begin(), text.end(), [](char c) { return c >= '0' && c <= '9'; }))
    return std::nullopt;
  int n = std::stoi(text);
  if (n < low || n > high) return std::nullopt;
  return n;
}

bool HostName(const std::string& host) {
  return !host.empty() && std::all_of(host.begin(), host.end(), [](char c) {
    return std::isalnum(static_cast<unsigned char>(c)) != 0 || c == '-' || c == '.' || c == '_';
  });
}

}  // namespace

bool IsSocketUri(const std::string& uri) { return uri.rfind(kScheme, 0) == 0; }

std::variant<SocketAddress, std::string> ParseSocketUri(const std::string& uri) {
  const std::string portExpected = "expected socket://HOST:PORT with a port from 1 to 65535";
  const std::string hostExpected =
      "expected socket://HOST:PORT with a host name, an IPv4 address or an IPv6 address in brackets";
  if (!IsSocketUri(uri)) return portExpected;
  std::string rest = uri.substr(sizeof kScheme - 1);
  SocketAddress address;
  if (size_t q = rest.find('?'); q != std::string::npos) {
    std::string query = rest.substr(q + 1);
    rest.resize(q);
    const std::string key = "timeout=";
    address.timeout = query.rfind(key, 0) == 0 ? Number(query.substr(key.size()), 4, kMinTimeout, kMaxTimeout)
                                               : std::nullopt;
    if (!address.timeout)
      return "expected socket://HOST:PORT or socket://HOST:PORT?timeout=SECONDS with " + std::to_string(kMinTimeout) +
             " to " + std::to_string(kMaxTimeout) + " seconds";
  }
  std::string port;
  if (!rest.empty() && rest[0] == '[') {
    size_t close = rest.find(']');
    if (close == std::string::npos) return hostExpected;
    address.host = rest.substr(1, close - 1);
    in6_addr v6{};
    if (inet_pton(AF_INET6, address.host.c_str(), &v6) != 1) return hostExpected;
    if (close + 1 >= rest.size() || rest[close + 1] != ':') return portExpected;
    port = rest.substr(close + 2);
  } else {
    size_t colon = rest.find(':');
    if (colon == std::string::npos) return portExpected;
    address.host = rest.substr(0, colon);
    port = rest.substr(colon + 1);
    if (!HostName(address.host)) return hostExpected;
  }
  auto number = Number(port, 5, 1, 65535);
  if (!number) return portExpected;
  address.port = *number;
  return address;
}

std::string HostPort(const SocketAddress& a) {
  bool v6 = a.host.find(':') != std::string::npos;
  return (v6 ? "[" + a.host + "]" : a.host) + ":" + std::to_string(a.port);
}

std::string FailureText(DWORD error, const Destination& d) {
  const bool socket = d.kind == Destination::Kind::Socket;
  const std::string printer = socket ? "the printer at " + HostPort(d.socket) : "the printer";
  switch (error) {
    case ERROR_CONNECTION_REFUSED: return printer + " refused the connection";
    case WSAHOST_NOT_FOUND: return "the printer's host name " + d.socket.host + " does not resolve";
    case ERROR_HOST_UNREACHABLE: return "the printer's host " + d.socket.host + " cannot be reached";
    case ERROR_TIMEOUT:
      return printer + " made no progress for " + std::to_string(d.socket.timeout.value_or(kDefaultTimeout)) +
             " seconds (see --timeout)";
    case ERROR_NETNAME_DELETED: return printer + " closed the connection before it took the whole job";
    case ERROR_DISK_FULL:
      return d.kind == Destination::Kind::StandardOutput ? "the disk of the temporary folder is full"
                                                         : "the disk is full: " + d.name;
    case ERROR_BAD_NETPATH: return d.name + " names nothing the job can be sent to";
    case ERROR_WRITE_FAULT: return "the printer did not take the whole job";
    case ERROR_PRINT_CANCELLED: return "the job was cancelled";
    case ERROR_MOD_NOT_FOUND: return "the driver library could not be loaded";
    case ERROR_PROC_NOT_FOUND: return "the driver library lacks an entry point";
    case ERROR_UNKNOWN_PRINTER_DRIVER: return "the driver library refused to start";
    case ERROR_INVALID_PRINTER_NAME: return "the printer is not set up";
    case ERROR_INVALID_PARAMETER: return "the driver refused the job";
    case ERROR_NOT_ENOUGH_MEMORY: return "out of memory";
    default: return "error " + std::to_string(error);
  }
}

}  // namespace rt7700print

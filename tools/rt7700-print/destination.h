// Where a job goes (a file, standard output, a device, a TCP printer) and what to tell the user
// when it did not get there.
#pragma once

#include <optional>
#include <string>
#include <variant>

#include "win/base.h"

namespace rt7700print {

// A raw TCP printer: socket://HOST:PORT, HOST a name, an IPv4 address or [an IPv6 address],
// optionally ?timeout=SECONDS.
struct SocketAddress {
  std::string host;  // without the brackets of an IPv6 address
  int port = 0;
  std::optional<int> timeout;
};

constexpr int kMinTimeout = 1;
constexpr int kMaxTimeout = 3600;
// What the spooler waits for a printer that makes no progress when the URI names no timeout.
constexpr int kDefaultTimeout = 60;

bool IsSocketUri(const std::string& uri);
// The address, or what was expected instead.
std::variant<SocketAddress, std::string> ParseSocketUri(const std::string& uri);
// "host:9100", "[::1]:9100".
std::string HostPort(const SocketAddress& address);

struct Destination {
  enum class Kind { File, StandardOutput, Device, Socket };
  Kind kind = Kind::File;
  std::string name;  // as the user wrote it
  SocketAddress socket;
};

// Why a job failed, from the error the print calls left; names the printer or file where it helps.
std::string FailureText(DWORD error, const Destination& destination);

}  // namespace rt7700print

// What rt7700-print accepts as a TCP printer, what it says when a delivery fails, and how text
// from the input is shown on a terminal.
#include <gtest/gtest.h>

#include <set>

#include "destination.h"
#include "terminal_text.h"
#include "win/error.h"

namespace {

using rt7700print::Destination;
using rt7700print::SocketAddress;

TEST(SocketUriTest, AcceptsNamesAddressesAndBracketedIPv6WithPortAndTimeout) {
  struct Case {
    const char* uri;
    const char* host;
    int port;
    std::optional<int> timeout;
    const char* hostPort;
  };
  const Case cases[] = {
      {"socket://printer.example:9100", "printer.example", 9100, std::nullopt, "printer.example:9100"},
      {"socket://192.0.2.7:1", "192.0.2.7", 1, std::nullopt, "192.0.2.7:1"},
      {"socket://[::1]:65535", "::1", 65535, std::nullopt, "[::1]:65535"},
      {"socket://[fe80::1:2]:9100?timeout=3600", "fe80::1:2", 9100, 3600, "[fe80::1:2]:9100"},
      {"socket://lp_1-a:9100?timeout=1", "lp_1-a", 9100, 1, "lp_1-a:9100"},
  };
  for (const auto& c : cases) {
    SCOPED_TRACE(c.uri);
    auto parsed = rt7700print::ParseSocketUri(c.uri);
    ASSERT_TRUE(std::holds_alternative<SocketAddress>(parsed)) << std::get<std::string>(parsed);
    const auto& a = std::get<SocketAddress>(parsed);
    EXPECT_EQ(a.host, c.host);
    EXPECT_EQ(a.port, c.port);
    EXPECT_EQ(a.timeout, c.timeout);
    EXPECT_EQ(rt7700print::HostPort(a), c.hostPort);
  }
  for (const char* bad : {"socket://", "socket://printer", "socket://printer:", "socket://printer:0",
                          "socket://printer:099999", "socket://printer:+80", "socket://[::1]9100", "socket://[::1",
                          "socket://[]:9100", "socket://[printer]:9100", "socket://pr inter:9100", "socket://a@b:9100",
                          "socket://printer:9100?", "socket://printer:9100?timeout=", "socket://printer:9100?timeout=10000",
                          "socket://printer:9100?timeout=5&x=1", "socket://printer:9100#x"}) {
    EXPECT_TRUE(std::holds_alternative<std::string>(rt7700print::ParseSocketUri(bad))) << bad;
  }
}

TEST(FailureTextTest, EachDeliveryErrorSaysWhatHappenedAndWhere) {
  Destination printer{Destination::Kind::Socket, "socket://lp.example:9100", {"lp.example", 9100, 7}};
  Destination file{Destination::Kind::File, "/var/out.prn", {}};
  const DWORD delivery[] = {ERROR_CONNECTION_REFUSED, WSAHOST_NOT_FOUND, ERROR_HOST_UNREACHABLE, ERROR_TIMEOUT,
                            ERROR_NETNAME_DELETED,    ERROR_DISK_FULL,   ERROR_BAD_NETPATH,      ERROR_WRITE_FAULT};
  std::set<std::string> texts;
  for (DWORD e : delivery) texts.insert(rt7700print::FailureText(e, printer));
  EXPECT_EQ(texts.size(), std::size(delivery));
  EXPECT_EQ(rt7700print::FailureText(ERROR_CONNECTION_REFUSED, printer), "the printer at lp.example:9100 refused the connection");
  EXPECT_EQ(rt7700print::FailureText(WSAHOST_NOT_FOUND, printer), "the printer's host name lp.example does not resolve");
  EXPECT_EQ(rt7700print::FailureText(ERROR_TIMEOUT, printer),
            "the printer at lp.example:9100 made no progress for 7 seconds (see --timeout)");
  printer.socket.timeout.reset();
  EXPECT_NE(rt7700print::FailureText(ERROR_TIMEOUT, printer).find(" 60 seconds"), std::string::npos);
  EXPECT_EQ(rt7700print::FailureText(ERROR_NETNAME_DELETED, printer),
            "the printer at lp.example:9100 closed the connection before it took the whole job");
  EXPECT_EQ(rt7700print::FailureText(ERROR_DISK_FULL, file), "the disk is full: /var/out.prn");
  EXPECT_EQ(rt7700print::FailureText(ERROR_BAD_NETPATH, printer), "socket://lp.example:9100 names nothing the job can be sent to");
}

TEST(PrintableTest, ControlCharactersAndBrokenUtf8ShowAsEscapes) {
  struct Case {
    std::string in, out;
  };
  const Case cases[] = {
      {"plain text, C:\\path", "plain text, C:\\path"},
      {"a\x1b[31mb", "a\\x1B[31mb"},
      {"line\nbreak\r\ttab\x7f", "line\\nbreak\\r\\ttab\\x7F"},
      {std::string("nul\0x", 5), "nul\\x00x"},
      {"\xc2\x9b" "2J", "\\xC2\\x9B2J"},                          // CSI as a C1 character
      {"\xc2\xa0\xc3\xa9\xe6\xbc\xa2\xf0\x9f\x96\xa8", "\xc2\xa0\xc3\xa9\xe6\xbc\xa2\xf0\x9f\x96\xa8"},  // kept
      {"\xff\xfe", "\\xFF\\xFE"},
      {"\xc0\xaf", "\\xC0\\xAF"},                                  // overlong
      {"\xed\xa0\x80", "\\xED\\xA0\\x80"},                         // a surrogate
      {"\xe6\xbc", "\\xE6\\xBC"},                                  // cut short
      {"\xf4\x90\x80\x80", "\\xF4\\x90\\x80\\x80"},                // past U+10FFFF
  };
  for (const auto& c : cases) EXPECT_EQ(rt7700print::Printable(c.in), c.out) << c.out;
}

}  // namespace

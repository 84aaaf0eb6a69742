// Address texts and error texts of the UDP transport.
#include <gtest/gtest.h>

#include <cerrno>
#include <cstring>

#include "foundation/log.h"
#include "foundation/udp.h"
#include "support/test_support.h"

namespace {

TEST(UdpText, AddressesPrintFirstByteFirst) {
  const uint8_t bytes[4] = {192, 168, 0, 255};
  uint32_t addr;
  std::memcpy(&addr, bytes, 4);
  char text[kNetAddrTextSize];
  NET_AddrToText(addr, text);
  EXPECT_STREQ(text, "192.168.0.255");
}

TEST(UdpText, ErrorLinesNameTheWinSockCode) {
  EXPECT_STREQ(UDP_ErrorDescription(UDP_SystemErrorCode(EXDEV)), "Not a WinSock error");
  tw_test::TempDir dir;
  Log_Open();
  UDP_ErrorText("WSA read", 42);
  Log_Close();
  EXPECT_NE(tw_test::ReadFile("log").find("WSA read: Not a WinSock error[42]\n"), std::string::npos);
}

}  // namespace

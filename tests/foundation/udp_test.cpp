// Address texts and error texts of the UDP transport.
#include <gtest/gtest.h>

#include <cerrno>
#include <cstring>

#include "foundation/log.h"
#include "foundation/udp.h"
#include "support/test_support.h"

namespace {

uint32_t Addr(uint8_t a, uint8_t b, uint8_t c, uint8_t d) {
  uint8_t bytes[4] = {a, b, c, d};
  uint32_t v;
  std::memcpy(&v, bytes, 4);
  return v;
}

TEST(UdpText, AddressesPrintFirstByteFirst) {
  char text[kNetAddrTextSize];
  NET_AddrToText(Addr(192, 168, 0, 7), text);
  EXPECT_STREQ(text, "192.168.0.7");
  NET_AddrToText(Addr(10, 0, 0, 1), text);
  EXPECT_STREQ(text, "10.0.0.1");
  NET_AddrToText(Addr(255, 255, 255, 255), text);
  EXPECT_STREQ(text, "255.255.255.255");
}

TEST(UdpText, ErrorDescriptionsAndSystemCodes) {
  EXPECT_STREQ(UDP_ErrorDescription(10035), "Operation would block");
  EXPECT_STREQ(UDP_ErrorDescription(10048), "Address already in use");
  EXPECT_STREQ(UDP_ErrorDescription(10059), "Too many references: can't splice");
  EXPECT_STREQ(UDP_ErrorDescription(11004), "No Data");
  EXPECT_STREQ(UDP_ErrorDescription(0), "Not a WinSock error");
  EXPECT_STREQ(UDP_ErrorDescription(10090), "Not a WinSock error");
  EXPECT_EQ(UDP_SystemErrorCode(EAGAIN), 10035);
  EXPECT_EQ(UDP_SystemErrorCode(EMSGSIZE), 10040);
  EXPECT_EQ(UDP_SystemErrorCode(EADDRINUSE), 10048);
  EXPECT_EQ(UDP_SystemErrorCode(EADDRNOTAVAIL), 10049);
  EXPECT_EQ(UDP_SystemErrorCode(ECONNREFUSED), 10061);
  EXPECT_EQ(UDP_SystemErrorCode(EACCES), 10013);
  EXPECT_STREQ(UDP_ErrorDescription(UDP_SystemErrorCode(EXDEV)), "Not a WinSock error");

  tw_test::TempDir dir;
  Log_Open();
  UDP_ErrorText("WSA bind socket error", 10048);
  UDP_ErrorText("WSA read", 42);
  Log_Close();
  std::string log = tw_test::ReadFile("log");
  EXPECT_NE(log.find("WSA bind socket error: Address already in use[10048]\n"), std::string::npos) << log;
  EXPECT_NE(log.find("WSA read: Not a WinSock error[42]\n"), std::string::npos);
}

TEST(UdpText, ClosedSocketSendsNothingAndReceivesNothing) {
  UDP_Close();
  EXPECT_EQ(UDP_IsUp(), 0);
  UDP_Send("x", 1, 0);
  char buf[8];
  uint32_t sender = 77;
  EXPECT_EQ(UDP_Receive(buf, sizeof buf, &sender), 0);
  EXPECT_EQ(sender, 77u);
  NET_Shutdown();
  NET_Shutdown();  // stopping twice is harmless
}

}  // namespace

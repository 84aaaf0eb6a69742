// The frame's network drain over loopback: every waiting datagram reaches the message handler
// with its own length and sender, and unknown types are refused.
#include <arpa/inet.h>
#include <gtest/gtest.h>
#include <unistd.h>

#include <cstdint>
#include <string>

#include "foundation/log.h"
#include "foundation/udp.h"
#include "support/test_support.h"
#include "world/net.h"

namespace {

uint32_t Loop(int last) { return htonl((127u << 24) | uint32_t(last)); }

class NetDrain : public ::testing::Test {
 protected:
  void SetUp() override {
    Log_Open();
    uint32_t local = 0;
    ASSERT_EQ(UDP_OpenOn(Loop(6), 0, &local), 1);
    NET_Up = 1;
  }
  void TearDown() override {
    NET_Up = 0;
    UDP_Close();
    Log_Close();
  }
  // Sends to the engine's own socket and waits (bounded) until the datagrams are queued.
  static void SendToSelf(const std::string& bytes) { UDP_Send(bytes.data(), int(bytes.size()), Loop(6)); }
  static int DrainUntil(int wanted) {
    int got = 0;
    for (int i = 0; i < 500 && got < wanted; i++) {
      got += NET_ReceiveAll();
      if (got < wanted) usleep(2000);
    }
    return got;
  }
  tw_test::TempDir dir_;
};

}  // namespace

TEST_F(NetDrain, EveryWaitingDatagramIsHandled) {
  SendToSelf(std::string("\x01hello", 6));
  SendToSelf(std::string("\x0c", 1));
  SendToSelf(std::string("\x63junk", 5));  // type 99: refused
  EXPECT_EQ(DrainUntil(3), 3);
  EXPECT_EQ(NET_ReceiveAll(), 0);
  std::string log = tw_test::ReadFile("log");
  EXPECT_NE(log.find("NET_HandlePacket: refused message 99 (5 bytes) from 127.0.0.6: unknown type"), std::string::npos) << log;
}

TEST(NetHandlePacket, EmptyPackets) {
  NET_Up = 1;
  const uint8_t known[] = {7, 1, 2};
  EXPECT_EQ(NET_HandlePacket(known, 0, 0), -1);
  EXPECT_EQ(NET_HandlePacket(nullptr, 5, 0), -1);
  NET_Up = 0;
}

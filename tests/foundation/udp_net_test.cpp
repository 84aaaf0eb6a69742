// The UDP socket on loopback addresses (127.0.0.x) only, and its address and error texts. Ports
// are picked by the system, so parallel runs never meet; the fixed port is tried without sending.
#include <arpa/inet.h>
#include <netinet/in.h>
#include <sched.h>
#include <sys/wait.h>
#include <sys/socket.h>
#include <unistd.h>

#include <gtest/gtest.h>

#include <cerrno>
#include <cstdlib>
#include <cstring>
#include <string>
#include <vector>

#include "foundation/log.h"
#include "foundation/udp.h"
#include "support/test_support.h"

namespace {

uint32_t Loop(int last) { return htonl((127u << 24) | uint32_t(last)); }

sockaddr_in SockAddr(uint32_t addr, int port) {
  sockaddr_in sin{};
  sin.sin_family = AF_INET;
  sin.sin_addr.s_addr = addr;
  sin.sin_port = htons(uint16_t(port));
  return sin;
}

// Waits (bounded) for a datagram on the engine's socket.
int ReceiveWait(void* buf, int cap, uint32_t* sender) {
  int n = 0;
  for (int i = 0; i < 500 && !n; i++)
    if (!(n = UDP_Receive(buf, cap, sender))) usleep(2000);
  return n;
}

class UdpNetTest : public ::testing::Test {
 protected:
  void SetUp() override { Log_Open(); }
  void TearDown() override {
    UDP_Close();
    if (peer_ >= 0) close(peer_);
    Log_Close();
  }
  // A plain socket of the test on a loopback address and port; returns the port (0: not bound).
  int OpenPeer(uint32_t addr, int port) {
    if (peer_ >= 0) close(peer_);
    peer_ = socket(AF_INET, SOCK_DGRAM, 0);
    sockaddr_in sin = SockAddr(addr, port);
    socklen_t len = sizeof sin;
    if (bind(peer_, reinterpret_cast<sockaddr*>(&sin), len) != 0) return 0;
    getsockname(peer_, reinterpret_cast<sockaddr*>(&sin), &len);
    return ntohs(sin.sin_port);
  }
  std::string Log() { return tw_test::ReadFile("log"); }

  tw_test::TempDir dir_;
  int peer_ = -1;
};

TEST_F(UdpNetTest, SendsToItselfNamesTheSenderSkipsEmptyAndReturnsOversizedDatagrams) {
  uint32_t local = 0;
  ASSERT_EQ(UDP_OpenOn(Loop(2), 0, &local), 1);
  EXPECT_EQ(local, Loop(2));
  EXPECT_NE(Log().find(",ip:127.0.0.2:" + std::to_string(UDP_Port())), std::string::npos) << Log();
  std::vector<char> buf(kNetPacketSize);
  uint32_t sender = 0;
  EXPECT_EQ(UDP_Receive(buf.data(), kNetPacketSize, &sender), 0);  // nothing waiting
  std::vector<char> big(65400, 'b');
  UDP_Send("", 0, Loop(2));
  UDP_Send(big.data(), int(big.size()), Loop(2));  // larger than the buffer: dropped whole
  UDP_Send("hello", 5, Loop(2));
  ASSERT_EQ(ReceiveWait(buf.data(), kNetPacketSize, &sender), -kUdpTooLong);  // for the caller to report
  EXPECT_EQ(sender, Loop(2));
  sender = 0;
  ASSERT_EQ(ReceiveWait(buf.data(), kNetPacketSize, &sender), 5);
  EXPECT_EQ(std::memcmp(buf.data(), "hello", 5), 0);
  EXPECT_EQ(sender, Loop(2));
  EXPECT_EQ(UDP_Receive(buf.data(), kNetPacketSize, &sender), 0);
  EXPECT_EQ(Log().find("WSA read"), std::string::npos);
}

TEST_F(UdpNetTest, APortInUseLeavesTheNetworkDownWithALineNamingTheCode) {
  int port = OpenPeer(Loop(3), 0);
  ASSERT_NE(port, 0);
  EXPECT_EQ(UDP_OpenOn(Loop(3), port, nullptr), 0);
  EXPECT_EQ(UDP_IsUp(), 0);
  EXPECT_NE(Log().find("WSA bind socket error: Address already in use[10048]\n"), std::string::npos) << Log();
  UDP_Send("x", 1, Loop(3));  // dropped in silence
  // Addresses print first byte first; error lines name the code.
  const uint8_t bytes[4] = {192, 168, 0, 255};
  uint32_t addr;
  std::memcpy(&addr, bytes, 4);
  char text[kNetAddrTextSize];
  NET_AddrToText(addr, text);
  EXPECT_STREQ(text, "192.168.0.255");
  EXPECT_STREQ(UDP_ErrorDescription(UDP_SystemErrorCode(EXDEV)), "Not a WinSock error");
  UDP_ErrorText("WSA read", 42);
  EXPECT_NE(Log().find("WSA read: Not a WinSock error[42]\n"), std::string::npos);
}

TEST_F(UdpNetTest, TheModuleEntryOpensTheFixedPortOrRunsWithout) {
  // Another copy of the game may hold the port: both outcomes are sound, neither sends. The
  // socket opens at the second stage, once the settings are read.
  NET_Init(0);
  EXPECT_EQ(NET_Up, 0);
  EXPECT_EQ(UDP_IsUp(), 0);
  NET_Init(1);
  EXPECT_EQ(NET_Up, UDP_IsUp());
  if (NET_Up) {
    EXPECT_EQ(UDP_Port(), kNetPort);
    EXPECT_NE(NET_LocalAddress, 0u);
  } else {
    EXPECT_NE(Log().find("WSA bind socket error"), std::string::npos);
  }
  NET_Shutdown();
  NET_Shutdown();  // stopping twice is harmless
}

// Broadcast needs a network: a private namespace of this test with a veth pair 10.77.0.1/24 -
// 10.77.0.2/24 and a default route over it. Nothing leaves the namespace. Skipped where
// namespaces cannot be made (no privilege, no "ip"). The child's exit code names the failed step.
int BroadcastInNamespace() {
  tw_test::TempDir dir;
  Log_Open();
  uint32_t local = 0, sender = 0;
  char buf[64];
  int result = 0;
  const uint32_t net = (10u << 16) | (77u << 8);
  if (!UDP_OpenOn(0, 0, &local))
    result = 2;
  else if (ntohl(local) >> 8 != net)  // the local address is an interface that is up, not the loopback
    result = 3;
  else if (UDP_Send("everyone", 8, 0), ReceiveWait(buf, sizeof buf, &sender) != 8 || std::memcmp(buf, "everyone", 8))
    result = 4;
  else if (ntohl(sender) >> 8 != net)
    result = 5;
  UDP_Close();
  Log_Close();
  return result;
}

TEST(UdpBroadcast, AddressZeroReachesEveryCopyOnThePort) {
  pid_t pid = fork();
  ASSERT_GE(pid, 0);
  if (pid == 0) {
    if (unshare(CLONE_NEWNET) != 0 ||
        std::system("ip link set lo up && ip link add tw0 type veth peer name tw1 && "
                    "ip addr add 10.77.0.1/24 dev tw0 && ip addr add 10.77.0.2/24 dev tw1 && "
                    "ip link set tw0 up && ip link set tw1 up && ip route add default dev tw0 "
                    ">/dev/null 2>&1") != 0)
      _exit(77);
    _exit(BroadcastInNamespace());
  }
  int status = 0;
  ASSERT_EQ(waitpid(pid, &status, 0), pid);
  ASSERT_TRUE(WIFEXITED(status));
  if (WEXITSTATUS(status) == 77) GTEST_SKIP() << "no private network namespace here";
  EXPECT_EQ(WEXITSTATUS(status), 0) << "step that failed: " << WEXITSTATUS(status);
}

}  // namespace

// Two copies of the game started together on one machine, each with its own "net_bindaddress"
// (the loopback recipe for a local match): neither may hold the fixed port on every address
// while the other binds its own, so both end up with a network.
#include <arpa/inet.h>
#include <netinet/in.h>
#include <sys/socket.h>
#include <sys/wait.h>
#include <unistd.h>

#include <gtest/gtest.h>

#include <cerrno>

#include "foundation/log.h"
#include "foundation/udp.h"
#include "foundation/var.h"
#include "support/test_support.h"

namespace {

uint32_t Loop(int last) { return htonl((127u << 24) | uint32_t(last)); }

// Whether something else on the machine holds the fixed port (then the test cannot tell).
bool PortTaken() {
  int s = socket(AF_INET, SOCK_DGRAM, IPPROTO_UDP);
  if (s < 0) return true;
  sockaddr_in addr{};
  addr.sin_family = AF_INET;
  addr.sin_addr.s_addr = Loop(4);
  addr.sin_port = htons(uint16_t(kNetPort));
  const bool taken = bind(s, reinterpret_cast<sockaddr*>(&addr), sizeof addr) != 0;
  close(s);
  return taken;
}

TEST(NetBind, TwoCopiesStartedTogetherEachBindTheirOwnAddress) {
  if (PortTaken()) GTEST_SKIP() << "another program holds UDP port " << kNetPort;
  tw_test::TempDir dir;
  Log_Open();
  int toChild[2], toParent[2];
  ASSERT_EQ(pipe(toChild), 0);
  ASSERT_EQ(pipe(toParent), 0);
  const pid_t pid = fork();
  ASSERT_GE(pid, 0);
  if (pid == 0) {  // the first copy: its first stage, then its second once the other has started
    char c = 0;
    NET_Init(0);
    if (write(toParent[1], "s", 1) != 1) _exit(2);
    if (read(toChild[0], &c, 1) != 1) _exit(3);
    Var_SetText(&net_bindaddress, "127.0.0.2");
    NET_Init(1);
    c = NET_Up && UDP_Port() == kNetPort && NET_LocalAddress == Loop(2) ? 'y' : 'n';
    if (write(toParent[1], &c, 1) != 1) _exit(4);
    NET_Shutdown();
    _exit(0);
  }
  char c = 0;
  ASSERT_EQ(read(toParent[0], &c, 1), 1);
  // The second copy starts whole while the first is between its stages.
  NET_Init(0);
  Var_SetText(&net_bindaddress, "127.0.0.3");
  NET_Init(1);
  const bool up = NET_Up && UDP_Port() == kNetPort && NET_LocalAddress == Loop(3);
  ASSERT_EQ(write(toChild[1], "g", 1), 1);
  char first = 0;
  ASSERT_EQ(read(toParent[0], &first, 1), 1);
  int status = 0;
  waitpid(pid, &status, 0);
  NET_Shutdown();
  Var_SetText(&net_bindaddress, "");
  EXPECT_TRUE(up) << tw_test::ReadFile("log");
  EXPECT_EQ(first, 'y');
  EXPECT_TRUE(WIFEXITED(status) && WEXITSTATUS(status) == 0);
  // A setting that is no address: every address, with a line.
  Var_SetText(&net_bindaddress, "near the window");
  NET_Init(1);
  EXPECT_NE(tw_test::ReadFile("log").find("NET_Init: net_bindaddress \"near the window\" is not an address"),
            std::string::npos);
  NET_Shutdown();
  Var_SetText(&net_bindaddress, "");
  for (int fd : {toChild[0], toChild[1], toParent[0], toParent[1]}) close(fd);
}

}  // namespace

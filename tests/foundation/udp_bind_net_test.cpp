// Two copies of the game started together on one machine, each with its own "net_bindaddress"
// (the loopback recipe for a local match): neither may hold the fixed port on every address
// while the other binds its own, so both end up with a network. The copies run in a private
// network namespace where one can be made, so no other program on the machine holds the port.
#include <arpa/inet.h>
#include <netinet/in.h>
#include <sched.h>
#include <sys/socket.h>
#include <sys/wait.h>
#include <unistd.h>

#include <gtest/gtest.h>

#include <cstdlib>
#include <string>

#include "foundation/log.h"
#include "foundation/udp.h"
#include "foundation/var.h"
#include "support/test_support.h"

namespace {

uint32_t Loop(int last) { return htonl((127u << 24) | uint32_t(last)); }

// Whether something else holds the fixed port (then the test cannot tell).
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

// The second copy starts whole while the first is between its two stages. Returns 0 when both
// have the fixed port on their own address, else the step that failed.
int TwoCopies() {
  tw_test::TempDir dir;
  Log_Open();
  int toChild[2], toParent[2];
  if (pipe(toChild) != 0 || pipe(toParent) != 0) return 2;
  const pid_t pid = fork();
  if (pid < 0) return 3;
  if (pid == 0) {  // the first copy
    char c = 0;
    NET_Init(0);
    if (write(toParent[1], "s", 1) != 1 || read(toChild[0], &c, 1) != 1) _exit(1);
    Var_SetText(&net_bindaddress, "127.0.0.2");
    NET_Init(1);
    c = NET_Up && UDP_Port() == kNetPort && NET_LocalAddress == Loop(2) ? 'y' : 'n';
    if (write(toParent[1], &c, 1) != 1) _exit(1);
    NET_Shutdown();
    _exit(0);
  }
  char c = 0;
  if (read(toParent[0], &c, 1) != 1) return 4;
  NET_Init(0);
  Var_SetText(&net_bindaddress, "127.0.0.3");
  NET_Init(1);
  const bool up = NET_Up && UDP_Port() == kNetPort && NET_LocalAddress == Loop(3);
  char first = 0;
  if (write(toChild[1], "g", 1) != 1 || read(toParent[0], &first, 1) != 1) return 5;
  int status = 0;
  waitpid(pid, &status, 0);
  NET_Shutdown();
  if (!up) return 6;  // the second copy has no network
  if (first != 'y') return 7;  // the first copy has none
  // A setting that is no address: every address, with a line.
  Var_SetText(&net_bindaddress, "near the window");
  NET_Init(1);
  NET_Shutdown();
  if (tw_test::ReadFile("log").find("NET_Init: net_bindaddress \"near the window\" is not an address") ==
      std::string::npos)
    return 8;
  return 0;
}

TEST(NetBind, TwoCopiesStartedTogetherEachBindTheirOwnAddress) {
  const pid_t pid = fork();
  ASSERT_GE(pid, 0);
  if (pid == 0) {
    if (unshare(CLONE_NEWNET) == 0) {
      if (std::system("ip link set lo up >/dev/null 2>&1") != 0) _exit(77);
    } else if (PortTaken()) {
      _exit(78);
    }
    _exit(TwoCopies());
  }
  int status = 0;
  ASSERT_EQ(waitpid(pid, &status, 0), pid);
  ASSERT_TRUE(WIFEXITED(status));
  if (WEXITSTATUS(status) == 77) GTEST_SKIP() << "a private network namespace without a loopback";
  if (WEXITSTATUS(status) == 78) GTEST_SKIP() << "another program holds UDP port " << kNetPort;
  EXPECT_EQ(WEXITSTATUS(status), 0) << "step that failed: " << WEXITSTATUS(status);
}

}  // namespace

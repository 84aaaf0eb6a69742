// Finding a server by broadcast and joining it, as two copies of the game on a local network do:
// two private network namespaces of this test joined by a veth pair (10.77.0.1/24 and
// 10.77.0.2/24), one game in each, both on every address and the game's port. Nothing leaves the
// namespaces. Skipped where namespaces cannot be made (no privilege, no "ip").
#include <gtest/gtest.h>
#include <sched.h>
#include <sys/wait.h>
#include <unistd.h>

#include <chrono>
#include <cstdlib>
#include <cstring>
#include <string>
#include <thread>

#include "foundation/log.h"
#include "foundation/udp.h"
#include "support/test_support.h"
#include "tools/arena_assets.h"
#include "world/game.h"
#include "world/gamevars.h"
#include "world/level.h"
#include "world/net.h"

namespace {

constexpr int kSkip = 77;
constexpr uint32_t kNet = (10u << 16) | (77u << 8);  // 10.77.0.0/24, in host order >> 8

bool OnTheLink(uint32_t address) {
  uint8_t b[4];
  std::memcpy(b, &address, 4);
  return ((uint32_t(b[0]) << 16) | (uint32_t(b[1]) << 8) | b[2]) == kNet;
}

// A game of its own in a fresh folder with the arena, its socket opened as in play.
bool StartGame() {
  Log_Open();
  for (const auto& [name, text] : Tool_SampleArenaFiles()) tw_test::WriteFile(name, text);
  GameVars_Init(1);
  NET_Init(0);
  return NET_Up && OnTheLink(NET_LocalAddress);
}

void Pause() { std::this_thread::sleep_for(std::chrono::milliseconds(20)); }
auto Deadline(int seconds) { return std::chrono::steady_clock::now() + std::chrono::seconds(seconds); }

// The host: serves until a client has joined (then a moment more). Exit codes 10..12.
int HostSide() {
  tw_test::TempDir dir;
  if (!StartGame()) return 10;
  if (!NET_HostGame(kSampleArenaName, 0, 0)) return 11;
  bool joined = false;
  for (auto until = Deadline(20); std::chrono::steady_clock::now() < until;) {
    NET_ReceiveAll();
    for (const FragRow& r : NET_FragTable) joined |= r.used && OnTheLink(r.id) && r.id != NET_LocalAddress;
    if (joined) until = std::min(until, Deadline(1));
    Pause();
  }
  return joined ? 0 : 12;
}

// The joiner: refreshes by broadcast until the server is listed, joins it, and waits for its
// arena. Exit codes 20..23.
int JoinSide() {
  tw_test::TempDir dir;
  if (!StartGame()) return 20;
  const ServerListEntry* row = nullptr;
  auto lastRefresh = Deadline(-1);
  for (auto until = Deadline(15); std::chrono::steady_clock::now() < until && !NET_GameRunning;) {
    if (!row && std::chrono::steady_clock::now() - lastRefresh > std::chrono::milliseconds(250)) {
      NET_SendRefreshServerList();
      lastRefresh = std::chrono::steady_clock::now();
    }
    NET_ReceiveAll();
    if (!row && NET_ServerList[0].used) {
      row = &NET_ServerList[0];
      if (!OnTheLink(row->address) || std::strcmp(row->levelName, kSampleArenaName) != 0) return 21;
      if (!NET_JoinServer(*row, 1)) return 22;
    }
    Pause();
  }
  if (!NET_GameRunning || Game_NetMode != 2 || std::strcmp(Level_Name, kSampleArenaName) != 0) return 23;
  std::string log = tw_test::ReadFile("log");
  return log.find("NET:send RefreshServerList to broadcast") != std::string::npos ? 0 : 24;
}

int Shell(const std::string& command) { return std::system((command + " >/dev/null 2>&1").c_str()); }

// The first namespace (the host's) makes the pair and hands one end to the second (the joiner's).
int TwoNamespaces() {
  int toHost[2], toJoiner[2];
  if (pipe(toHost) != 0 || pipe(toJoiner) != 0) return kSkip;
  if (unshare(CLONE_NEWNET) != 0 || Shell("ip link set lo up && ip link add tw0 type veth peer name tw1") != 0)
    return kSkip;
  pid_t joiner = fork();
  if (joiner < 0) return kSkip;
  char byte = 0;
  if (joiner == 0) {
    byte = unshare(CLONE_NEWNET) == 0 ? 'y' : 'n';
    if (write(toHost[1], &byte, 1) != 1 || byte != 'y' || read(toJoiner[0], &byte, 1) != 1 || byte != 'y') _exit(kSkip);
    if (Shell("ip link set lo up && ip addr add 10.77.0.2/24 dev tw1 && ip link set tw1 up && "
              "ip route add default dev tw1") != 0)
      _exit(kSkip);
    _exit(JoinSide());
  }
  bool ready = read(toHost[0], &byte, 1) == 1 && byte == 'y' &&
               Shell("ip link set tw1 netns " + std::to_string(joiner)) == 0 &&
               Shell("ip addr add 10.77.0.1/24 dev tw0 && ip link set tw0 up && ip route add default dev tw0") == 0;
  byte = ready ? 'y' : 'n';
  if (write(toJoiner[1], &byte, 1) != 1) ready = false;
  int host = ready ? HostSide() : kSkip;
  int status = 0;
  waitpid(joiner, &status, 0);
  int join = WIFEXITED(status) ? WEXITSTATUS(status) : 99;
  if (host == kSkip || join == kSkip) return kSkip;
  return host ? host : join;
}

TEST(NetBroadcast, AJoinerFindsTheServerByBroadcastAndJoinsItsArena) {
  pid_t pid = fork();
  ASSERT_GE(pid, 0);
  if (pid == 0) _exit(TwoNamespaces());
  int status = 0;
  ASSERT_EQ(waitpid(pid, &status, 0), pid);
  ASSERT_TRUE(WIFEXITED(status));
  if (WEXITSTATUS(status) == kSkip) GTEST_SKIP() << "no private network namespaces here";
  EXPECT_EQ(WEXITSTATUS(status), 0) << "step that failed: " << WEXITSTATUS(status)
                                    << " (10-12 the host, 20-24 the joiner)";
}

}  // namespace

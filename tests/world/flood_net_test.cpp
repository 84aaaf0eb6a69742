// A running host under floods over the loopback: 500,000 random datagrams from 1,000 source
// addresses (every type and more, lengths around each type's size, some with the game's stamp,
// some too long for the receive buffer), and a joined peer's shots as fast as it can send them.
// The host handles every datagram, ticks on, and its log and its memory stay small.
#include <arpa/inet.h>
#include <gtest/gtest.h>
#include <netinet/in.h>
#include <sys/resource.h>
#include <sys/socket.h>
#include <unistd.h>

#include <algorithm>
#include <cmath>
#include <cstring>
#include <random>
#include <string>
#include <vector>

#if defined(__SANITIZE_ADDRESS__)
extern "C" size_t __sanitizer_get_current_allocated_bytes();
#else
#include <malloc.h>
#endif

#include "characters/defs.h"
#include "foundation/log.h"
#include "foundation/timer.h"
#include "foundation/udp.h"
#include "tools/arena_assets.h"
#include "tools/def_writer.h"
#include "world/game.h"
#include "world/gamevars.h"
#include "world/level.h"
#include "world/net.h"
#include "world/net_fixture.h"
#include "world/netmsg.h"
#include "world/tick.h"
#include "world_fixture.h"

namespace {

uint32_t Loop(int a, int b, int c) { return htonl((127u << 24) | uint32_t(a) << 16 | uint32_t(b) << 8 | uint32_t(c)); }
const uint32_t kHost = Loop(0, 0, 4);

// Bytes the allocator holds for the program.
size_t HeapInUse() {
#if defined(__SANITIZE_ADDRESS__)
  return __sanitizer_get_current_allocated_bytes();
#else
  struct mallinfo2 m = mallinfo2();
  return m.uordblks + m.hblkhd;
#endif
}

int g_received;  // datagrams the host took off its socket, kept or dropped
int CountingReceive(void* buffer, int capacity, uint32_t* sender) {
  int n = NET_Receive(buffer, capacity, sender);
  g_received += n != 0;
  return n;
}

class Flood : public ::testing::Test {
 protected:
  void SetUp() override {
    Log_Open();
    tw_test::World_Reset();
    Timer_Init(0);
    Timer_Init(1);
    Timer_ResetFrame();
    GameVars_Init(0);
    for (const auto& [file, text] : Tool_SampleDefFiles()) tw_test::WriteFile("scripts/" + file, text);
    for (const DefTable& t : Def_Tables) Def_LoadTable(t);
    for (const auto& [name, text] : Tool_SampleArenaFiles()) tw_test::WriteFile(name, text);  // the sample's arena
    uint32_t local = 0;
    ASSERT_EQ(UDP_OpenOn(kHost, 0, &local), 1);  // a port of the system's choice
    NET_Up = 1;
    NET_LocalAddress = kHost;
    Game_NetMode = 1;
    ASSERT_EQ(Level_Load(kSampleArenaName), 1);
    ASSERT_EQ(Game_NetMode, 1);
    ASSERT_NE(NET_GameStamp, 0.0f);
    NET_ReceiveSource = CountingReceive;
    g_received = sent_ = 0;
    heapBefore_ = HeapInUse();
    clockBefore_ = Timer_FrameTime;
  }
  void TearDown() override {
    for (int s : sockets_) close(s);
    NET_ReceiveSource = nullptr;
    Level_Free();
    NET_Up = 0;
    UDP_Close();
    Log_Close();
  }
  // Sends from a source address of the loopback (a socket of its own each).
  void SendFrom(int source, const void* bytes, size_t length) {
    while (int(sockets_.size()) <= source) {
      int s = socket(AF_INET, SOCK_DGRAM, 0);
      sockaddr_in from{};
      from.sin_family = AF_INET;
      from.sin_addr.s_addr = Loop(1, int(sockets_.size()) / 250, 1 + int(sockets_.size()) % 250);
      ASSERT_GE(s, 0) << "sockets " << sockets_.size();
      ASSERT_EQ(bind(s, reinterpret_cast<sockaddr*>(&from), sizeof from), 0);
      sockets_.push_back(s);
    }
    sockaddr_in to{};
    to.sin_family = AF_INET;
    to.sin_addr.s_addr = kHost;
    to.sin_port = htons(uint16_t(UDP_Port()));
    sendto(sockets_[source], bytes, length, 0, reinterpret_cast<sockaddr*>(&to), sizeof to);
    sent_++;
  }
  void SendMessage(int source, NetMessage m) {
    m.stamp = NET_GameStamp;
    uint8_t bytes[kNetMaxMessageSize];
    SendFrom(source, bytes, size_t(NetMsg_Encode(m, bytes)));
  }
  // The host's frames until it took every datagram sent.
  void Drain() {
    for (int frames = 0; g_received < sent_ && frames < 50; frames++) Game_Frame();
    ASSERT_EQ(g_received, sent_) << "datagrams lost";
  }
  // The log stays under 1 MB, with at most the bounded lines about received datagrams a second
  // (the count of a second's left-out lines among them), and the memory within 50 MB.
  void ExpectBounded() {
    for (int i = 0; i < 10; i++) Game_Frame();
    EXPECT_LT(HeapInUse(), heapBefore_ + (50u << 20));
    double seconds = Timer_FrameTime - clockBefore_;
    std::string log = tw_test::ReadFile("log");
    EXPECT_LT(log.size(), 1u << 20);
    int lines = 0;
    for (size_t at = 0; (at = log.find('\n', at)) != std::string::npos; at++) lines++;
    EXPECT_LE(lines, 100 + (kNetLogLinesPerSecond + 1) * (int(std::ceil(seconds)) + 1)) << log.substr(0, 4000);
  }
  tw_test::TempDir dir_;
  std::vector<int> sockets_;
  int sent_ = 0;
  size_t heapBefore_ = 0;
  double clockBefore_ = 0;
};

TEST_F(Flood, AHostHandlesHalfAMillionRandomDatagramsFromAThousandSendersAndTicksOn) {
  rlimit files{};
  getrlimit(RLIMIT_NOFILE, &files);
  files.rlim_cur = std::max<rlim_t>(files.rlim_cur, std::min<rlim_t>(files.rlim_max, 2048));
  setrlimit(RLIMIT_NOFILE, &files);
  // The first datagram reaches the handler with its length and its sender; the second does not
  // fit the receive buffer.
  std::vector<uint8_t> bytes(kNetPacketSize + 120);
  SendFrom(0, "\x63junk", 5);
  SendFrom(1, bytes.data(), bytes.size());
  Drain();
  std::string log = tw_test::ReadFile("log");
  EXPECT_NE(log.find("NET_HandlePacket: refused message 99 (5 bytes) from 127.1.0.1: unknown type"), std::string::npos);
  EXPECT_NE(log.find("WSA read: Message too long[10040]"), std::string::npos);
  std::mt19937 rng(25);
  constexpr int kTotal = 500000, kBatch = 32, kSources = 1000;  // a batch stays within the socket's buffer
  uint32_t ticks = Game_TickCount;
  for (int n = 0; n < kTotal;) {
    for (int i = 0; i < kBatch; i++, n++) {
      int type = int(rng() % (kNetMsgTypes + 2));
      int size = type < kNetMsgTypes ? NetMsg_Sizes[type] : 16;
      int length = rng() % 8 == 0 ? int(rng() % (size + 1)) : size - 2 + int(rng() % 5);
      if (length < 1) length = 1;
      if (n % 1000 == 999) {  // one too long for the receive buffer, on its own in the socket's
        Drain();
        SendFrom(n % kSources, bytes.data(), bytes.size());
        Drain();
        continue;
      }
      for (int k = 0; k < std::min(length, 256); k++) bytes[k] = uint8_t(rng());
      bytes[0] = uint8_t(type);
      // Half carry the stamp and sane small numbers where the fields are (counts, teams, weapons).
      if (rng() % 2 && length >= 8) {
        std::memcpy(&bytes[4], &NET_GameStamp, 4);
        for (int k = 8; k + 4 <= std::min(length, 256); k += 4) {
          float f = float(int(rng() % 2000) - 1000);
          if (rng() % 2) std::memcpy(&bytes[k], &f, 4);
          else {
            int32_t v = int32_t(rng() % 40) - 2;
            std::memcpy(&bytes[k], &v, 4);
          }
        }
      }
      SendFrom(n % kSources, bytes.data(), size_t(length));
    }
    Drain();
    if (HasFatalFailure()) return;
  }
  EXPECT_GT(Game_TickCount - ticks, uint32_t(kTotal / kNetPacketsPerFrame));
  EXPECT_TRUE(Game_Running);
  EXPECT_EQ(Game_NetMode, 1);
  ExpectBounded();
  EXPECT_NE(tw_test::ReadFile("log").find("lines about received datagrams left out"), std::string::npos);
}

TEST_F(Flood, AJoinedPeersShotsAsFastAsItSendsStayBounded) {
  NetMessage join{};
  join.type = NETMSG_WANTCONNECT;
  SendMessage(0, join);
  Drain();
  uint32_t peer = Loop(1, 0, 1);
  ASSERT_NE(tw_test::NetBody(peer), nullptr);
  int shotgun = Def_FindWeaponByName("shotgun");
  ASSERT_GE(shotgun, 0);
  NetMessage state{};
  state.type = NETMSG_STATE;
  state.state = 1;
  state.shot = 1;
  state.weapon = shotgun;
  double start = Game_Time;
  for (int n = 0; n < 6000;) {
    for (int i = 0; i < 32; i++, n++) {
      state.clock = float(n + 1);
      SendMessage(0, state);
    }
    Drain();
    if (HasFatalFailure()) return;
  }
  // At most one shot per shot time of the weapon; the projectiles die away by themselves.
  const WeaponDef& w = Def_Weapons[shotgun];
  EXPECT_LE(tw_test::NetProjectiles(), w.pellets * (int((Game_Time - start) / w.shotTime) + 2));
  ExpectBounded();
}

}  // namespace

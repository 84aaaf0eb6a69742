// A running host under a flood: 1,000,000 random datagrams from another loopback address (every
// type and more, lengths around each type's size, some with the game's stamp). The host handles
// every one, ticks on, and its log stays small.
#include <arpa/inet.h>
#include <gtest/gtest.h>
#include <netinet/in.h>
#include <sys/socket.h>
#include <unistd.h>

#include <cstring>
#include <random>
#include <string>
#include <vector>

#include "characters/defs.h"
#include "foundation/log.h"
#include "foundation/timer.h"
#include "foundation/udp.h"
#include "tools/def_writer.h"
#include "tools/arena_assets.h"
#include "world/game.h"
#include "world/gamevars.h"
#include "world/level.h"
#include "world/net.h"
#include "world/netmsg.h"
#include "world/tick.h"
#include "world_fixture.h"

namespace {

uint32_t Loop(int last) { return htonl((127u << 24) | uint32_t(last)); }

int g_received;
int CountingReceive(void* buffer, int capacity, uint32_t* sender) {
  int n = NET_Receive(buffer, capacity, sender);
  g_received += n > 0;
  return n;
}

TEST(Flood, AHostHandlesAMillionRandomDatagramsAndTicksOn) {
  tw_test::TempDir dir;
  Log_Open();
  tw_test::World_Reset();
  Timer_Init(0);
  Timer_Init(1);
  GameVars_Init(0);
  for (const auto& [file, text] : Tool_SampleDefFiles()) tw_test::WriteFile("scripts/" + file, text);
  for (const DefTable& t : Def_Tables) Def_LoadTable(t);
  for (const auto& [name, text] : Tool_SampleArenaFiles()) tw_test::WriteFile(name, text);  // the sample's arena
  uint32_t local = 0;
  ASSERT_EQ(UDP_OpenOn(Loop(4), 0, &local), 1);  // a port of the system's choice
  NET_Up = 1;
  NET_LocalAddress = Loop(4);
  Game_NetMode = 1;
  ASSERT_EQ(Level_Load(kSampleArenaName), 1);
  ASSERT_EQ(Game_NetMode, 1);
  ASSERT_NE(NET_GameStamp, 0.0f);
  NET_ReceiveSource = CountingReceive;

  int out = socket(AF_INET, SOCK_DGRAM, 0);
  ASSERT_GE(out, 0);
  sockaddr_in from{}, to{};
  from.sin_family = to.sin_family = AF_INET;
  from.sin_addr.s_addr = Loop(5);
  to.sin_addr.s_addr = Loop(4);
  to.sin_port = htons(uint16_t(UDP_Port()));
  ASSERT_EQ(bind(out, reinterpret_cast<sockaddr*>(&from), sizeof from), 0);

  std::mt19937 rng(25);
  std::vector<uint8_t> bytes(kNetMaxMessageSize + 8);
  constexpr int kTotal = 1000000, kBatch = 32;  // within the socket's buffer
  uint32_t ticks = Game_TickCount;
  int sent = 0;
  g_received = 0;
  while (sent < kTotal) {
    for (int i = 0; i < kBatch; i++, sent++) {
      int type = int(rng() % (kNetMsgTypes + 2));
      int size = type < kNetMsgTypes ? NetMsg_Sizes[type] : 16;
      int length = rng() % 8 == 0 ? int(rng() % (size + 1)) : size - 2 + int(rng() % 5);
      if (length < 1) length = 1;
      for (int k = 0; k < length; k++) bytes[k] = uint8_t(rng());
      bytes[0] = uint8_t(type);
      // Half carry the stamp and sane small numbers where the fields are (counts, teams, weapons).
      if (rng() % 2 && length >= 8) {
        std::memcpy(&bytes[4], &NET_GameStamp, 4);
        for (int k = 8; k + 4 <= length; k += 4) {
          float f = float(int(rng() % 2000) - 1000);
          if (rng() % 2) std::memcpy(&bytes[k], &f, 4);
          else {
            int32_t v = int32_t(rng() % 40) - 2;
            std::memcpy(&bytes[k], &v, 4);
          }
        }
      }
      sendto(out, bytes.data(), size_t(length), 0, reinterpret_cast<sockaddr*>(&to), sizeof to);
    }
    // The host drains the batch in its frames.
    for (int frames = 0; g_received < sent && frames < 50; frames++) Game_Frame();
    ASSERT_EQ(g_received, sent) << "datagrams lost at " << sent;
  }
  close(out);
  for (int i = 0; i < 10; i++) Game_Frame();
  EXPECT_GT(Game_TickCount - ticks, uint32_t(kTotal / kNetPacketsPerFrame));
  EXPECT_TRUE(Game_Running);
  EXPECT_EQ(Game_NetMode, 1);
  NET_ReceiveSource = nullptr;
  Level_Free();
  NET_Up = 0;
  UDP_Close();
  Log_Close();
  size_t logSize = tw_test::ReadFile("log").size();
  EXPECT_LT(logSize, 256u * 1024) << tw_test::ReadFile("log").substr(0, 4000);
}

}  // namespace

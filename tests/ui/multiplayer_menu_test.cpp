// The multiplayer screens driven by key sequences: hosting the sample arena as a server, and
// joining a server heard by a refresh (the peer's datagrams made by the codec, this copy's own
// captured instead of sent).
#include <gtest/gtest.h>

#include <cstring>
#include <string>

#include "foundation/keys.h"
#include "foundation/udp.h"
#include "support/input_fixture.h"
#include "tools/arena_assets.h"
#include "ui/menu_net.h"
#include "ui/ui.h"
#include "world/frame2d.h"
#include "world/game.h"
#include "world/gamevars.h"
#include "world/level.h"
#include "world/net.h"
#include "world/net_fixture.h"
#include "world/object.h"
#include "world/start.h"

namespace {

using namespace tw_test;

constexpr uint32_t kServer = NetAddr(9);

class NetMenuTest : public tw_test::InputFixture {
 protected:
  void SetUp() override {
    InputFixture::SetUp();
    GameVars_Init(1);
    for (const auto& [name, text] : Tool_SampleArenaFiles()) tw_test::WriteFile(name, text);
    Level_Free();
    NetPeer_Start();
    Game_LocalTeam = 0;
  }
  void TearDown() override {
    Level_Free();
    NetPeer_Stop();
    UI_ClearMenuStack(UI_System);
    InputFixture::TearDown();
  }
  static void Press(std::initializer_list<int> codes) {
    for (int code : codes) {
      Queue(code, true);
      Game_FrameInput();
      Queue(code, false);
      Game_FrameInput();
    }
  }
  static std::string Top() { return UI_TopMenuName(UI_System); }
};

// A click on a row of the host screen chooses it and acts as Enter there; a click beside the rows
// does nothing.
TEST_F(NetMenuTest, AClickChoosesTheHostRowUnderThePointer) {
  Game_FrameInput();
  Press({KEY_DOWN, KEY_ENTER, KEY_ENTER});
  ASSERT_EQ(Top(), "hostgame");
  Game_CursorX = 320;
  Game_CursorY = kUiItemTop + kUiItemHeight + 5;  // "Game type"
  Press({kKeyMouseLeft});
  EXPECT_EQ(Menu_NetHostRow(), 1);
  EXPECT_EQ(Menu_NetHostGameType(), 1);
  Game_CursorX = 20;  // beside "Team"
  Game_CursorY = kUiItemTop + 2 * kUiItemHeight + 5;
  Press({kKeyMouseLeft});
  EXPECT_EQ(Menu_NetHostRow(), 1);
  EXPECT_EQ(Menu_NetHostGameType(), 1);
  Game_CursorX = 320;
  Press({kKeyMouseLeft});
  EXPECT_EQ(Menu_NetHostRow(), 2);
  EXPECT_EQ(Menu_NetTeam(), 1);
  Game_CentreCursor();
}

TEST_F(NetMenuTest, HostingLoadsTheChosenArenaAsServerWithItsTypeAndTeam) {
  Game_FrameInput();
  Press({KEY_DOWN, KEY_ENTER});
  ASSERT_EQ(Top(), "multiplayer");
  Press({KEY_ENTER});
  ASSERT_EQ(Top(), "hostgame");
  ASSERT_EQ(Menu_NetArenaCount(), 1);
  EXPECT_STREQ(Menu_NetArenaName(0), kSampleArenaName);
  // Row by row: the game type goes to capture the flag (Right twice), the team to blue (Left
  // wraps); Up from the first row wraps to "Start".
  struct Step {
    int key, row, type, team;
  } steps[] = {{KEY_DOWN, 1, 0, 0}, {KEY_RIGHT, 1, 1, 0}, {KEY_RIGHT, 1, 2, 0}, {KEY_DOWN, 2, 2, 0},
               {KEY_LEFT, 2, 2, 1}, {KEY_UP, 1, 2, 1},    {KEY_UP, 0, 2, 1},    {KEY_UP, 3, 2, 1}};
  for (const Step& s : steps) {
    Press({s.key});
    EXPECT_EQ(Menu_NetHostRow(), s.row) << s.key;
    EXPECT_EQ(Menu_NetHostGameType(), s.type) << s.key;
    EXPECT_EQ(Menu_NetTeam(), s.team) << s.key;
  }
  Press({KEY_ENTER});
  EXPECT_TRUE(Game_Running);
  EXPECT_FALSE(Game_MenuOpen);
  EXPECT_STREQ(Level_Name, kSampleArenaName);
  EXPECT_EQ(Game_NetMode, 1);
  EXPECT_EQ(Game_NetGameType, 2);
  EXPECT_EQ(NET_RosterTeam, 1);
  EXPECT_TRUE(NET_GameRunning);
  EXPECT_NE(NET_GameStamp, 0.0f);
  ASSERT_TRUE(Obj_Player);
  EXPECT_EQ(Obj_Player->person.team, 1);
  std::string log = tw_test::ReadFile("log");
  EXPECT_NE(log.find("createserver"), std::string::npos) << log;
  // Leaving the game tells nobody (no clients) and ends the server.
  Level_Free();
  EXPECT_EQ(Game_NetMode, 0);
  EXPECT_EQ(NET_GameStamp, 0.0f);
}

TEST_F(NetMenuTest, JoiningRefreshesListsTheServerAndJoinsItsArenaOnTheAnswer) {
  Game_FrameInput();
  Press({KEY_DOWN, KEY_ENTER, KEY_DOWN, KEY_ENTER});
  ASSERT_EQ(Top(), "joingame");
  ASSERT_EQ(g_netSent.size(), 1u);  // the refresh of opening
  EXPECT_EQ(g_netSent[0].msg.type, NETMSG_CLIENT);
  EXPECT_EQ(g_netSent[0].to, 0u);
  ASSERT_EQ(NetDeliver(NETMSG_SERVER, kServer, [](NetMessage& m) {
              m.stamp = 12.5f;
              std::strcpy(m.playerName, "Host");
              std::strcpy(m.levelName, kSampleArenaName);
              m.maxPlayers = 16, m.players = 1;
            }),
            NETMSG_SERVER);
  // Down to the team (Right: blue), Down to the server's row, Enter.
  Press({KEY_DOWN, KEY_RIGHT, KEY_DOWN});
  EXPECT_EQ(Menu_NetJoinRow(), 2);
  EXPECT_EQ(Menu_NetTeam(), 1);
  g_netSent.clear();
  Press({KEY_ENTER});
  ASSERT_EQ(g_netSent.size(), 1u);
  EXPECT_EQ(g_netSent[0].msg.type, NETMSG_WANTCONNECT);
  EXPECT_EQ(g_netSent[0].to, kServer);
  EXPECT_EQ(g_netSent[0].msg.stamp, 12.5f);
  EXPECT_EQ(g_netSent[0].msg.team, 1);
  EXPECT_EQ(Game_NetMode, 0);  // nothing changes before the answer
  EXPECT_EQ(Top(), "joingame");
  // The server's roster: itself and this copy, placed at the north start.
  ASSERT_EQ(NetDeliver(NETMSG_ACCEPTCLIENT, kServer, [](NetMessage& m) {
              std::strcpy(m.levelName, kSampleArenaName);
              m.count = 2, m.ids[0] = kServer, m.ids[1] = kNetSelf, m.teams[1] = 1;
              m.origins[1][1] = kSampleArena.north.y, m.anglesList[1][0] = 270;
            }),
            NETMSG_ACCEPTCLIENT);
  EXPECT_STREQ(Level_Name, kSampleArenaName);
  EXPECT_EQ(Game_NetMode, 2);
  EXPECT_TRUE(NET_GameRunning);
  EXPECT_EQ(NET_GameStamp, 12.5f);
  EXPECT_FALSE(Game_MenuOpen);
  EXPECT_EQ(UI_MenuDepth(UI_System), 0);
  ASSERT_TRUE(Obj_Player);
  EXPECT_EQ(Obj_Player->origin.y, kSampleArena.north.y);
  EXPECT_EQ(Obj_Player->person.team, 1);
  int bodies = 0;
  for (GameObject* o = Obj_ListHead; o; o = o->next) bodies += o->classNum == NETPLAYER;
  EXPECT_EQ(bodies, 1);
  // Leaving sends ClientQuit to the server.
  g_netSent.clear();
  Level_Free();
  ASSERT_EQ(g_netSent.size(), 1u);
  EXPECT_EQ(g_netSent[0].msg.type, NETMSG_CLIENTQUIT);
  EXPECT_EQ(Game_NetMode, 0);
}

TEST_F(NetMenuTest, LeavingAnUnansweredJoinGivesItUp) {
  Game_FrameInput();
  Press({KEY_DOWN, KEY_ENTER, KEY_DOWN, KEY_ENTER});
  ASSERT_EQ(NetDeliver(NETMSG_SERVER, kServer, [](NetMessage& m) { m.stamp = 3.0f; }), NETMSG_SERVER);
  Press({KEY_DOWN, KEY_DOWN, KEY_ENTER});
  EXPECT_EQ(NET_GameStamp, 3.0f);
  Press({KEY_ESCAPE});
  EXPECT_EQ(Top(), "multiplayer");
  EXPECT_EQ(NET_GameStamp, 0.0f);
  EXPECT_EQ(NET_ServerAddress, 0u);
  // A late answer is not taken.
  EXPECT_EQ(NetDeliver(NETMSG_ACCEPTCLIENT, kServer, [](NetMessage& m) {
              m.stamp = 3.0f;
              std::strcpy(m.levelName, kSampleArenaName);
            }),
            -1);
  EXPECT_EQ(Game_NetMode, 0);
}

}  // namespace

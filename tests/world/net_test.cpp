// The network message handler in one process: this copy plays the server (or a client) and the
// other peers are datagrams made by the codec; what it sends is captured.
#include <gtest/gtest.h>

#include <cstring>
#include <functional>
#include <string>
#include <vector>

#include "characters/actions.h"
#include "characters/defs.h"
#include "characters/player.h"
#include "foundation/random.h"
#include "foundation/var.h"
#include "world/entity.h"
#include "world/level.h"
#include "world/net.h"
#include "world/start.h"
#include "world/world_fixture.h"

namespace {

using namespace tw_test;

constexpr uint32_t Addr(int last) { return 0x0000000Au | uint32_t(last) << 24; }  // 10.0.0.last
constexpr uint32_t kSelf = Addr(1);

struct Sent {
  uint32_t to;
  NetMessage msg;
};
std::vector<Sent> g_sent;
void Capture(const void* data, int length, uint32_t address) {
  Sent s{address, {}};
  ASSERT_EQ(NetMsg_Decode(static_cast<const uint8_t*>(data), length, &s.msg), NETREF_NONE);
  g_sent.push_back(s);
}

class NetTest : public WorldTest {
 protected:
  void SetUp() override {
    WorldTest::SetUp();
    NET_Up = 1;
    NET_LocalAddress = kSelf;
    NET_SendSink = Capture;
    NET_EndGame();
    std::memset(NET_ServerList, 0, sizeof NET_ServerList);
    g_sent.clear();
    Level_PlayerStart = PlayerStartRecord{};
    Level_DmStartCount = 0;
    std::strcpy(Level_Name, "arenas\\yard");
    Game_NetGameType = 0;
    player_ = Obj_Alloc();
    player_->flags = OBJ_ACTIVE;
    player_->person.state = 1;
    Obj_Player = player_;
  }
  void TearDown() override {
    NET_EndGame();
    NET_SendSink = nullptr;
    NET_Up = 0;
    Obj_Player = nullptr;
    WorldTest::TearDown();
  }
  static int Deliver(int type, uint32_t from, const std::function<void(NetMessage&)>& edit = {}) {
    NetMessage m{};
    m.type = type;
    m.stamp = NET_GameStamp;
    std::memcpy(m.tag, kNetProtocolTag, 8);
    m.version = kNetProtocolVersion;
    std::strcpy(m.levelName, "yard");
    if (edit) edit(m);
    uint8_t bytes[kNetMaxMessageSize];
    return NET_HandlePacket(bytes, NetMsg_Encode(m, bytes), from);
  }
  static GameObject* Body(uint32_t id) {
    for (GameObject* o = Obj_ListHead; o; o = o->next)
      if (o->classNum == NETPLAYER && (o->flags & OBJ_ACTIVE) && !o->deleteQueued && uint32_t(o->prop.netId) == id)
        return o;
    return nullptr;
  }
  static int SentTo(uint32_t to, int type) {
    int n = 0;
    for (const Sent& s : g_sent) n += s.to == to && s.msg.type == type;
    return n;
  }
  static void Join(uint32_t from, int team = 0) {
    Deliver(NETMSG_WANTCONNECT, from, [&](NetMessage& m) {
      std::strcpy(m.playerName, "guest");
      m.team = team;
    });
  }
  static GameObject* Numbered(const char* name, int role, int team) {
    GameObject* o = Obj_Alloc();
    std::strcpy(o->person.name, name);
    o->flags = OBJ_ACTIVE;
    o->person.state = 1;
    o->person.ctfRole = role;
    o->person.team = team;
    o->person.respawnTime = 30;
    return o;
  }
  GameObject* player_ = nullptr;
};

}  // namespace

TEST_F(NetTest, DiscoveryAndServerList) {
  NET_StartServer(0);
  EXPECT_EQ(Deliver(NETMSG_CLIENT, Addr(2), [](NetMessage& m) { std::memcpy(m.tag, "vosknet", 8); }), -1);
  EXPECT_TRUE(g_sent.empty());
  Deliver(NETMSG_CLIENT, Addr(2));
  ASSERT_EQ(g_sent.size(), 1u);
  EXPECT_EQ(SentTo(Addr(2), NETMSG_SERVER), 1);
  EXPECT_EQ(g_sent[0].msg.players, 1);
  // A refreshing copy lists each server and stamp once.
  NET_EndGame();
  for (float stamp : {4.0f, 4.0f, 5.0f}) Deliver(NETMSG_SERVER, Addr(9), [&](NetMessage& m) { m.stamp = stamp; });
  EXPECT_EQ(NET_ServerList[1].stamp, 5.0f);
  EXPECT_EQ(NET_ServerList[2].used, 0);
  // A refresh empties the list and asks the listed addresses, or else everyone.
  g_sent.clear();
  Var_SetText(&net_refreshaddresses, " 10.0.0.5 10.0.0.256 1.2.3 10.0.0.6");
  NET_SendRefreshServerList();
  EXPECT_EQ(NET_ServerList[0].used, 0);
  ASSERT_EQ(g_sent.size(), 2u);  // the malformed addresses are skipped
  EXPECT_EQ(g_sent[1].to, Addr(6));
  Var_SetText(&net_refreshaddresses, "");
}

TEST_F(NetTest, JoinRosterFifteenClientsAndServerQuit) {
  NET_StartServer(0);
  Level_PlayerStart.origin = {100, 0, 0};
  for (int i = 0; i < 16; i++) Join(Addr(10 + i));
  // Fifteen clients; the sixteenth gets no row and no roster.
  EXPECT_EQ(SentTo(Addr(25), NETMSG_ACCEPTCLIENT), 0);
  EXPECT_EQ(Body(Addr(25)), nullptr);
  ASSERT_NE(Body(Addr(24)), nullptr);
  EXPECT_EQ(g_sent.back().msg.count, 16);
  EXPECT_EQ(g_sent.back().msg.origins[15][0], 100.0f);  // the newcomer at the default start
  EXPECT_EQ(SentTo(Addr(10), NETMSG_ACCEPTCLIENT), 15);
  g_sent.clear();
  NET_SendServerQuit();
  EXPECT_EQ(g_sent.size(), 15u);
  EXPECT_EQ(SentTo(Addr(24), NETMSG_SERVERQUIT), 1);
  // A client leaving: its row and body go, the others get the new roster.
  g_sent.clear();
  Deliver(NETMSG_CLIENTQUIT, Addr(10));
  EXPECT_EQ(Body(Addr(10)), nullptr);
  EXPECT_EQ(SentTo(Addr(11), NETMSG_ACCEPTCLIENT), 1);
}

TEST_F(NetTest, StateKillsFragsAndWrongSenders) {
  NET_StartServer(0);
  Join(Addr(2));
  Join(Addr(3));
  GameObject* b = Body(Addr(2));
  GameObject* c = Body(Addr(3));
  ASSERT_TRUE(b && c);
  auto state = [](uint32_t from, float clock, float x, int alive) {
    return Deliver(NETMSG_STATE, from, [&](NetMessage& m) {
      m.clock = clock;
      m.origin[0] = x;
      m.state = alive;
    });
  };
  state(Addr(2), 2.0f, 50, 1);
  state(Addr(2), 1.0f, 60, 1);  // older: ignored
  EXPECT_EQ(b->origin.x, 50.0f);
  // Shots: a weapon outside the table is dropped; a scattering one leaves the random sequence as
  // it was.
  Def_Weapons[3].kind = 1, Def_Weapons[3].pellets = 5, Def_Weapons[3].spread = 0.2f;
  int randIndex = Math_RandGetIndex();
  float clock = 3.0f;
  for (int weapon : {36, -1, 3})
    Deliver(NETMSG_STATE, Addr(2), [&](NetMessage& m) {
      m.clock = clock++, m.origin[0] = 50, m.state = 1, m.shot = 1, m.weapon = weapon;
    });
  EXPECT_EQ(b->prop.fireWeapon, 3);
  EXPECT_EQ(Math_RandGetIndex(), randIndex);
  Def_Weapons[3] = WeaponDef{};
  int lines = NET_RefusalLines;
  EXPECT_EQ(state(Addr(7), 3.0f, 1, 1), -1);  // no body
  // Killed only from the victim; refusal lines are not repeated for every datagram.
  for (int i = 0; i < 20; i++)
    EXPECT_EQ(Deliver(NETMSG_KILLED, Addr(2), [](NetMessage& m) { m.victim = Addr(3), m.killer = Addr(2); }), -1);
  EXPECT_EQ(NET_RefusalLines, lines + 2);
  NET_Flags[1] = {1, Addr(3), {}, 0};
  GameObject* flag = Numbered("#4", CTF_FLAG, 1);
  flag->person.state = 2;
  c->origin = {7, 8, 9};
  Deliver(NETMSG_KILLED, Addr(3), [](NetMessage& m) { m.victim = Addr(3), m.killer = Addr(2); });
  EXPECT_EQ(NET_FragTable[0].frags, 1);
  EXPECT_EQ(c->person.state, 2);
  EXPECT_EQ(NET_Flags[1].state, 2);
  EXPECT_EQ(flag->origin.z, 9.0f);  // dropped where the carrier fell
  Deliver(NETMSG_KILLED, Addr(2), [](NetMessage& m) { m.victim = Addr(2), m.killer = Addr(99); });
  EXPECT_EQ(NET_FragTable[0].frags, 0);  // killed by nobody listed: the victim pays
}

TEST_F(NetTest, CaptureTheFlagAndRespawnAtAFreeStart) {
  NET_StartServer(2);
  Game_NetGameType = 2;
  Numbered("#0", CTF_BASE, 0);
  Numbered("#1", CTF_BASE, 1);
  GameObject* medkit = Numbered("#2", 0, 0);
  GameObject* flag1 = Numbered("#3", CTF_FLAG, 1);
  Join(Addr(2), 1);
  auto touch = [](int object) { Deliver(NETMSG_TOUCHREQUEST, Addr(2), [&](NetMessage& m) { m.object = object; }); };
  touch(0);  // takes red's flag
  EXPECT_EQ(NET_Flags[0].carrier, Addr(2));
  touch(1);  // home: captures
  EXPECT_EQ(NET_Flags[1].score, 1);
  touch(2);
  EXPECT_EQ(medkit->person.state, 2);
  EXPECT_EQ(SentTo(Addr(2), NETMSG_TOUCHCONFIRM), 1);
  NET_Flags[1].state = 2;  // a dropped flag: its own team returns it
  touch(3);
  EXPECT_EQ(NET_Flags[1].state, 0);
  EXPECT_EQ(flag1->person.state, 2);
  // Respawn: blue's start where the server's player stands is taken; the other is free.
  Level_DmStarts[0] = {{0, 0, 0}, {}, 2};
  Level_DmStarts[1] = {{500, 0, 0}, {0, 1, 0}, 2};
  Level_DmStarts[2] = {{900, 0, 0}, {}, 1};  // red's
  Level_DmStartCount = 3;
  player_->origin = {10, 10, 10};
  GameObject* b = Body(Addr(2));
  b->person.state = 2;
  g_sent.clear();
  NET_SendRespawn(b);
  EXPECT_EQ(b->origin.x, 500.0f);
  EXPECT_EQ(SentTo(Addr(2), NETMSG_RESPAWN), 1);
}

TEST_F(NetTest, AJoinWhoseArenaDoesNotLoadLeavesTheGame) {
  NET_GameStamp = 6.0f;
  NET_SendWantConnect(Addr(2));
  NET_LoadLevel = [](const char*) { return 0; };
  g_sent.clear();
  Deliver(NETMSG_ACCEPTCLIENT, Addr(2), [](NetMessage& m) { m.count = 1, m.ids[0] = kSelf; });
  NET_LoadLevel = Level_Load;
  EXPECT_EQ(SentTo(Addr(2), NETMSG_CLIENTQUIT), 1);
  EXPECT_EQ(NET_GameRunning, 0);
  EXPECT_EQ(Game_NetMode, 0);
  EXPECT_EQ(NET_GameStamp, 0.0f);
}

TEST_F(NetTest, ClientTakesServerMessagesOnlyFromItsServer) {
  NET_GameStamp = 6.0f;  // the picked row's
  Game_LocalTeam = 1;
  NET_SendWantConnect(Addr(2));
  NET_LoadLevel = [](const char*) { return 1; };
  auto accept = [](uint32_t from, float x) {
    return Deliver(NETMSG_ACCEPTCLIENT, from, [&](NetMessage& m) {
      m.count = 3;
      m.ids[0] = Addr(2), m.ids[1] = kSelf, m.ids[2] = Addr(3);
      m.teams[1] = 1;
      m.origins[1][0] = x;
    });
  };
  EXPECT_EQ(accept(Addr(2), 40), NETMSG_ACCEPTCLIENT);
  NET_LoadLevel = Level_Load;
  EXPECT_EQ(player_->origin.x, 40.0f);
  EXPECT_NE(Body(Addr(3)), nullptr);
  EXPECT_EQ(Body(kSelf), nullptr);
  EXPECT_EQ(accept(Addr(3), 80), -1);  // not the server
  accept(Addr(2), 80);                 // a later roster does not move the player
  EXPECT_EQ(player_->origin.x, 40.0f);
  EXPECT_EQ(Deliver(NETMSG_FRAGS, Addr(3)), -1);
  EXPECT_EQ(Deliver(NETMSG_FRAGS, Addr(2), [](NetMessage& m) { m.stamp = 7.0f; }), -1);  // another game
  Deliver(NETMSG_FRAGS, Addr(2), [](NetMessage& m) {
    m.count = 2;
    m.ids[0] = Addr(3), m.frags[0] = 4, m.ids[1] = kSelf, m.frags[1] = 2;
  });
  EXPECT_EQ(Body(Addr(3))->frags, 4);
  EXPECT_EQ(player_->frags, 2);
}

// The saved frag table's round trip is in save_test; counts above the table and short tables are
// refused whole.
TEST_F(NetTest, DamagedFragTablesAreRefused) {
  NET_StartServer(0);
  Game_Running = 1;
  Join(Addr(2));
  player_->frags = 3;
  const std::string cases[] = {std::string("\x42\0\0\0", 4) + std::string(66 * 8, '\0'),
                               std::string("\x03\0\0\0\x0a\0\0\x02\x07\0\0\0", 12)};
  for (const std::string& bytes : cases)
    EXPECT_EQ(NET_ReadFrags(reinterpret_cast<const uint8_t*>(bytes.data()), bytes.size()), 0);
  EXPECT_EQ(player_->frags, 3);
}

TEST_F(NetTest, ThePlayersShotAndDeathReachTheServer) {
  // A client with the server's body; the player holds a three-pellet gun firing twice a second.
  Game_Running = 1;
  Game_NetMode = 2;
  NET_GameRunning = 1;
  NET_GameStamp = 1.0f;
  NET_ServerAddress = Addr(2);
  vec3 zero{};
  GameObject* host = NetPlayer_Spawn(nullptr, int32_t(Addr(2)), 0, "host", &zero, &zero, &zero);
  player_->classNum = MACHINEPLAYER;
  Load_ObjectX(player_);
  WeaponDef saved = Def_Weapons[5];
  Def_Weapons[5].kind = 1;
  Def_Weapons[5].pellets = 3;
  Def_Weapons[5].shotTime = 0.5f;
  player_->person.equippedKind = INV_WEAPON;
  player_->person.equippedIndex = 5;
  auto shots = [] {
    int n = 0;
    for (GameObject* o = Obj_ListHead; o; o = o->next) n += o->classNum == PULKA;
    return n;
  };
  for (double t : {1.0, 1.2, 1.6}) {  // the second pull comes too soon
    Game_Time = t;
    Game_TickFrame = DemoFrame{0.02f, 0, 0, CMD_FIRE};
    Player_Think(player_);
    NET_SendState();
  }
  EXPECT_EQ(shots(), 6);
  int fired = 0;
  for (const Sent& m : g_sent)
    if (m.to == Addr(2) && m.msg.type == NETMSG_STATE && m.msg.shot) fired += m.msg.weapon == 5;
  EXPECT_EQ(fired, 2);
  EXPECT_EQ(NET_PendingShot.flag, 0);
  Def_Weapons[5] = saved;
  // Killed by the host's projectile (its owner, not the body itself): the client reports it. The
  // kills by a body and their scoring on either side are in the match test.
  GameObject* bullet = Obj_Alloc();
  bullet->owner = host->id;
  player_->slots.Damage(player_, bullet, 500, 1, nullptr, 5, 0);
  ASSERT_EQ(SentTo(Addr(2), NETMSG_KILLED), 1);
  EXPECT_EQ(g_sent.back().msg.victim, kSelf);
  EXPECT_EQ(g_sent.back().msg.killer, Addr(2));
}

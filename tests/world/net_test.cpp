// The network message handler in one process: this copy plays the server (or a client) and the
// other peers are datagrams made by the codec; what it sends is captured.
#include <gtest/gtest.h>

#include <algorithm>
#include <cstdio>
#include <cstring>
#include <string>
#include <utility>

#include "characters/actions.h"
#include "characters/defs.h"
#include "characters/player.h"
#include "foundation/random.h"
#include "foundation/var.h"
#include "world/entity.h"
#include "world/level.h"
#include "world/net.h"
#include "world/net_fixture.h"
#include "world/start.h"
#include "world/world_fixture.h"

namespace {

using namespace tw_test;

class NetTest : public WorldTest {
 protected:
  void SetUp() override {
    WorldTest::SetUp();
    NetPeer_Start();
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
    NetPeer_Stop();
    Obj_Player = nullptr;
    WorldTest::TearDown();
  }
  // A server joined by the peers 10.0.0.2 and 10.0.0.3: their bodies.
  static std::pair<GameObject*, GameObject*> ServeTwoPeers() {
    NET_StartServer(0);
    NetJoin(NetAddr(2));
    NetJoin(NetAddr(3));
    return {NetBody(NetAddr(2)), NetBody(NetAddr(3))};
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
  const uint8_t known[] = {0, 1, 2};
  EXPECT_EQ(NET_HandlePacket(known, 0, NetAddr(2)), -1);  // nothing to handle
  EXPECT_EQ(NET_HandlePacket(nullptr, 5, NetAddr(2)), -1);
  EXPECT_EQ(NetDeliver(NETMSG_CLIENT, NetAddr(2), [](NetMessage& m) { std::memcpy(m.tag, "vosknet", 8); }), -1);
  EXPECT_TRUE(g_netSent.empty());
  NetDeliver(NETMSG_CLIENT, NetAddr(2));
  ASSERT_EQ(g_netSent.size(), 1u);
  EXPECT_EQ(NetSentTo(NetAddr(2), NETMSG_SERVER), 1);
  EXPECT_EQ(g_netSent[0].msg.players, 1);
  // A refreshing copy lists each server and stamp once.
  NET_EndGame();
  for (float stamp : {4.0f, 4.0f, 5.0f}) NetDeliver(NETMSG_SERVER, NetAddr(9), [&](NetMessage& m) { m.stamp = stamp; });
  EXPECT_EQ(NET_ServerList[1].stamp, 5.0f);
  EXPECT_EQ(NET_ServerList[2].used, 0);
  // A refresh empties the list and asks the listed addresses, or else everyone.
  g_netSent.clear();
  Var_SetText(&net_refreshaddresses, " 10.0.0.5 10.0.0.256 1.2.3 10.0.0.6");
  NET_SendRefreshServerList();
  EXPECT_EQ(NET_ServerList[0].used, 0);
  ASSERT_EQ(g_netSent.size(), 2u);  // the malformed addresses are skipped
  EXPECT_EQ(g_netSent[1].to, NetAddr(6));
  Var_SetText(&net_refreshaddresses, "");
}

TEST_F(NetTest, JoinRosterFifteenClientsAndServerQuit) {
  NET_StartServer(0);
  Level_PlayerStart.origin = {100, 0, 0};
  for (int i = 0; i < 16; i++) NetJoin(NetAddr(10 + i));
  // Fifteen clients; the sixteenth gets no row and no roster.
  EXPECT_EQ(NetSentTo(NetAddr(25), NETMSG_ACCEPTCLIENT), 0);
  EXPECT_EQ(NetBody(NetAddr(25)), nullptr);
  ASSERT_NE(NetBody(NetAddr(24)), nullptr);
  EXPECT_EQ(g_netSent.back().msg.count, 16);
  EXPECT_EQ(g_netSent.back().msg.origins[15][0], 100.0f);  // the newcomer at the default start
  EXPECT_EQ(NetSentTo(NetAddr(10), NETMSG_ACCEPTCLIENT), 15);
  g_netSent.clear();
  NET_SendServerQuit();
  EXPECT_EQ(g_netSent.size(), 15u);
  EXPECT_EQ(NetSentTo(NetAddr(24), NETMSG_SERVERQUIT), 1);
  // A quit from a peer not in the game changes nothing and is told to nobody.
  g_netSent.clear();
  EXPECT_EQ(NetDeliver(NETMSG_CLIENTQUIT, NetAddr(25)), -1);
  EXPECT_TRUE(g_netSent.empty());
  // A client leaving: its row and body go, the others get the new roster.
  NetDeliver(NETMSG_CLIENTQUIT, NetAddr(10));
  EXPECT_EQ(NetBody(NetAddr(10)), nullptr);
  EXPECT_EQ(NetSentTo(NetAddr(11), NETMSG_ACCEPTCLIENT), 1);
}

TEST_F(NetTest, StateKillsFragsAndWrongSenders) {
  auto [b, c] = ServeTwoPeers();
  ASSERT_TRUE(b && c);
  auto state = [](uint32_t from, float clock, float x, int alive) {
    return NetDeliver(NETMSG_STATE, from, [&](NetMessage& m) {
      m.clock = clock;
      m.origin[0] = x;
      m.state = alive;
    });
  };
  state(NetAddr(2), 2.0f, 50, 1);
  state(NetAddr(2), 1.0f, 60, 1);  // older: ignored
  EXPECT_EQ(b->origin.x, 50.0f);
  // Shots: a weapon outside the table is dropped; a scattering one leaves the random sequence as
  // it was.
  Def_Weapons[3].kind = 1, Def_Weapons[3].pellets = 5, Def_Weapons[3].spread = 0.2f;
  int randIndex = Math_RandGetIndex();
  float clock = 3.0f;
  for (int weapon : {36, -1, 3})
    NetDeliver(NETMSG_STATE, NetAddr(2), [&](NetMessage& m) {
      m.clock = clock++, m.origin[0] = 50, m.state = 1, m.shot = 1, m.weapon = weapon;
    });
  EXPECT_EQ(b->prop.fireWeapon, 3);
  EXPECT_EQ(Math_RandGetIndex(), randIndex);
  Def_Weapons[3] = WeaponDef{};
  int lines = NET_RefusalLines;
  EXPECT_EQ(state(NetAddr(7), 3.0f, 1, 1), -1);  // no body
  // Killed only from the victim; refusal lines are not repeated for every datagram.
  for (int i = 0; i < 20; i++)
    EXPECT_EQ(NetDeliver(NETMSG_KILLED, NetAddr(2), [](NetMessage& m) { m.victim = NetAddr(3), m.killer = NetAddr(2); }), -1);
  EXPECT_EQ(NET_RefusalLines, lines + 2);
  NET_Flags[1] = {1, NetAddr(3), {}, 0};
  GameObject* flag = Numbered("#4", CTF_FLAG, 1);
  flag->person.state = 2;
  c->origin = {7, 8, 9};
  NetDeliver(NETMSG_KILLED, NetAddr(3), [](NetMessage& m) { m.victim = NetAddr(3), m.killer = NetAddr(2); });
  EXPECT_EQ(NET_FragTable[0].frags, 1);
  EXPECT_EQ(c->person.state, 2);
  EXPECT_EQ(NET_Flags[1].state, 2);
  EXPECT_EQ(flag->origin.z, 9.0f);  // dropped where the carrier fell
  NetDeliver(NETMSG_KILLED, NetAddr(2), [](NetMessage& m) { m.victim = NetAddr(2), m.killer = NetAddr(99); });
  EXPECT_EQ(NET_FragTable[0].frags, 0);  // killed by nobody listed: the victim pays
}

// A peer's shot of every flying kind starts its projectile here: pellets, grenades, rockets and
// bullets alike; an instant-hit weapon (kind 0) starts none.
TEST_F(NetTest, APeersShotOfEveryFlyingKindFliesHere) {
  auto [b, c] = ServeTwoPeers();
  ASSERT_TRUE(b && c);
  const WeaponDef saved = Def_Weapons[3];
  float clock = 3.0f;
  for (int kind : {0, 1, 2, 4, 5}) {
    SCOPED_TRACE(kind);
    Def_Weapons[3] = WeaponDef{};
    Def_Weapons[3].kind = kind;
    const int before = NetProjectiles();
    Game_Time += 1.0;  // past the peer's shot interval
    NetDeliver(NETMSG_STATE, NetAddr(2), [&](NetMessage& m) {
      m.clock = clock++, m.origin[0] = 50, m.state = 1, m.shot = 1, m.weapon = 3;
    });
    EXPECT_EQ(NetProjectiles() - before, kind == 0 ? 0 : 1);
  }
  Def_Weapons[3] = saved;
}

// However many peers send, and whatever they send, at most kNetLogLinesPerSecond lines about
// received datagrams are written in a second; the rest are counted, and the count is written when
// the second ends. Every datagram is still handled.
TEST_F(NetTest, LinesAboutReceivedDatagramsAreBoundedWhateverTheSenders) {
  NET_StartServer(0);
  static int next;
  next = 0;
  // 1,000 peers, each sending junk, a server query and a datagram the socket found too long.
  NET_ReceiveSource = [](void* buffer, int, uint32_t* sender) {
    if (next >= 3000) return 0;
    int i = next++;
    *sender = NetAddr(0) | uint32_t(2 + i / 3) << 8;
    if (i % 3 == 2) return -kUdpTooLong;
    NetMessage m{};
    m.type = i % 3 ? NETMSG_CLIENT : 99;
    std::memcpy(m.tag, kNetProtocolTag, 8);
    m.version = kNetProtocolVersion;
    if (m.type == 99) return static_cast<uint8_t*>(buffer)[0] = 99, 16;
    return NetMsg_Encode(m, static_cast<uint8_t*>(buffer));
  };
  while (NET_ReceiveAll()) {
  }
  EXPECT_EQ(int(g_netSent.size()), 1000);  // every query answered
  auto lines = [] {
    std::string log = Log();
    return std::count(log.begin(), log.end(), '\n');
  };
  EXPECT_EQ(lines(), kNetLogLinesPerSecond) << Log();
  EXPECT_NE(Log().find("WSA read: Message too long[10040]"), std::string::npos);
  // The second ends: the count comes with the next frame's drain, traffic or not.
  Timer_FrameTime += 1.0;
  NET_ReceiveAll();
  EXPECT_EQ(lines(), kNetLogLinesPerSecond + 1);
  int left = 0;
  ASSERT_EQ(std::sscanf(Log().substr(Log().rfind("NET_ReceiveAll: ")).c_str(),
                        "NET_ReceiveAll: %d lines about received datagrams left out", &left), 1);
  EXPECT_GT(left, 3000 - kNetLogLinesPerSecond);
}

// A peer's shots are taken at most one per shot time of its weapon, whatever it sends, with its
// network's jitter allowed for; the projectiles of remote shots stay within their bound.
TEST_F(NetTest, RemoteShotsAreRateLimitedAndTheirProjectilesBounded) {
  auto [flooder, steady] = ServeTwoPeers();
  ASSERT_TRUE(flooder && steady);
  WeaponDef saved = Def_Weapons[3];
  Def_Weapons[3].kind = 2, Def_Weapons[3].pellets = 1, Def_Weapons[3].shotTime = 0.5f;
  auto shotsOf = [](const GameObject* body) {
    int n = 0;
    for (GameObject* o = Obj_ListHead; o; o = o->next) n += o->classNum == PULKA && o->owner == body->id;
    return n;
  };
  // 6,000 shots in 10 s from one peer; the other fires every half second, each shot up to 50 ms
  // early or late.
  float clock = 1;
  for (int i = 0; i < 6000; i++) {
    Game_Time = 1.0 + i / 600.0;
    NetShot(NetAddr(2), clock++, 3);
    if (i % 300 == 0) {
      Game_Time += (i / 300 % 2 ? 0.05 : -0.05);
      NetShot(NetAddr(3), clock++, 3);
    }
  }
  EXPECT_GE(shotsOf(flooder), 20);
  EXPECT_LE(shotsOf(flooder), 10 / 0.5 + 2);
  EXPECT_EQ(shotsOf(steady), 20);
  // A load puts the game's clock back: the peer shoots at once.
  Game_Time = 2.0;
  NetShot(NetAddr(3), clock++, 3);
  EXPECT_EQ(shotsOf(steady), 21);
  // Many pellets a shot, a shot time near zero: the projectiles stop at their bound.
  Def_Weapons[3].pellets = 64, Def_Weapons[3].shotTime = 0;
  for (int i = 0; i < 6000; i++) {
    Game_Time = 20.0 + i / 600.0;
    NetShot(NetAddr(2 + i % 2), clock++, 3);
  }
  EXPECT_EQ(NetProjectiles(), kNetRemoteProjectiles);
  Def_Weapons[3] = saved;
}

TEST_F(NetTest, CaptureTheFlagAndRespawnAtAFreeStart) {
  NET_StartServer(2);
  Game_NetGameType = 2;
  Numbered("#0", CTF_BASE, 0);
  Numbered("#1", CTF_BASE, 1);
  GameObject* medkit = Numbered("#2", 0, 0);
  GameObject* flag1 = Numbered("#3", CTF_FLAG, 1);
  NetJoin(NetAddr(2), 1);
  auto touch = [](int object) { NetDeliver(NETMSG_TOUCHREQUEST, NetAddr(2), [&](NetMessage& m) { m.object = object; }); };
  touch(0);  // takes red's flag
  EXPECT_EQ(NET_Flags[0].carrier, NetAddr(2));
  touch(1);  // home: captures
  EXPECT_EQ(NET_Flags[1].score, 1);
  touch(2);
  EXPECT_EQ(medkit->person.state, 2);
  EXPECT_EQ(NetSentTo(NetAddr(2), NETMSG_TOUCHCONFIRM), 1);
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
  GameObject* b = NetBody(NetAddr(2));
  b->person.state = 2;
  g_netSent.clear();
  NET_SendRespawn(b);
  EXPECT_EQ(b->origin.x, 500.0f);
  EXPECT_EQ(NetSentTo(NetAddr(2), NETMSG_RESPAWN), 1);
}

TEST_F(NetTest, AJoinWhoseArenaDoesNotLoadLeavesTheGame) {
  NET_GameStamp = 6.0f;
  NET_SendWantConnect(NetAddr(2));
  NET_LoadLevel = [](const char*) { return 0; };
  g_netSent.clear();
  NetDeliver(NETMSG_ACCEPTCLIENT, NetAddr(2), [](NetMessage& m) { m.count = 1, m.ids[0] = kNetSelf; });
  NET_LoadLevel = Level_Load;
  EXPECT_EQ(NetSentTo(NetAddr(2), NETMSG_CLIENTQUIT), 1);
  EXPECT_EQ(NET_GameRunning, 0);
  EXPECT_EQ(Game_NetMode, 0);
  EXPECT_EQ(NET_GameStamp, 0.0f);
}

TEST_F(NetTest, ClientTakesServerMessagesOnlyFromItsServer) {
  NET_GameStamp = 6.0f;  // the picked row's
  Game_LocalTeam = 1;
  NET_SendWantConnect(NetAddr(2));
  NET_LoadLevel = [](const char*) { return 1; };
  auto accept = [](uint32_t from, float x) {
    return NetDeliver(NETMSG_ACCEPTCLIENT, from, [&](NetMessage& m) {
      m.count = 3;
      m.ids[0] = NetAddr(2), m.ids[1] = kNetSelf, m.ids[2] = NetAddr(3);
      m.teams[1] = 1;
      m.origins[1][0] = x;
    });
  };
  EXPECT_EQ(accept(NetAddr(2), 40), NETMSG_ACCEPTCLIENT);
  NET_LoadLevel = Level_Load;
  EXPECT_EQ(player_->origin.x, 40.0f);
  EXPECT_NE(NetBody(NetAddr(3)), nullptr);
  EXPECT_EQ(NetBody(kNetSelf), nullptr);
  EXPECT_EQ(accept(NetAddr(3), 80), -1);  // not the server
  accept(NetAddr(2), 80);                 // a later roster does not move the player
  EXPECT_EQ(player_->origin.x, 40.0f);
  EXPECT_EQ(NetDeliver(NETMSG_FRAGS, NetAddr(3)), -1);
  EXPECT_EQ(NetDeliver(NETMSG_FRAGS, NetAddr(2), [](NetMessage& m) { m.stamp = 7.0f; }), -1);  // another game
  NetDeliver(NETMSG_FRAGS, NetAddr(2), [](NetMessage& m) {
    m.count = 2;
    m.ids[0] = NetAddr(3), m.frags[0] = 4, m.ids[1] = kNetSelf, m.frags[1] = 2;
  });
  EXPECT_EQ(NetBody(NetAddr(3))->frags, 4);
  EXPECT_EQ(player_->frags, 2);
}

// The saved frag table's round trip is in save_test; counts above the table and short tables are
// refused whole.
TEST_F(NetTest, DamagedFragTablesAreRefused) {
  NET_StartServer(0);
  Game_Running = 1;
  NetJoin(NetAddr(2));
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
  NET_ServerAddress = NetAddr(2);
  vec3 zero{};
  GameObject* host = NetPlayer_Spawn(nullptr, int32_t(NetAddr(2)), 0, "host", &zero, &zero, &zero);
  player_->classNum = MACHINEPLAYER;
  Load_ObjectX(player_);
  WeaponDef saved = Def_Weapons[5];
  Def_Weapons[5].kind = 1;
  Def_Weapons[5].pellets = 3;
  Def_Weapons[5].shotTime = 0.5f;
  player_->person.equippedKind = INV_WEAPON;
  player_->person.equippedIndex = 5;
  for (double t : {1.0, 1.2, 1.6}) {  // the second pull comes too soon
    Game_Time = t;
    Game_TickFrame = DemoFrame{0.02f, 0, 0, CMD_FIRE};
    Player_Think(player_);
    NET_SendState();
  }
  EXPECT_EQ(NetProjectiles(), 6);
  int fired = 0;
  for (const NetSent& m : g_netSent)
    if (m.to == NetAddr(2) && m.msg.type == NETMSG_STATE && m.msg.shot) fired += m.msg.weapon == 5;
  EXPECT_EQ(fired, 2);
  EXPECT_EQ(NET_PendingShot.flag, 0);
  Def_Weapons[5] = saved;
  // Killed by the host's projectile (its owner, not the body itself): the client reports it. The
  // kills by a body and their scoring on either side are in the match test.
  GameObject* bullet = Obj_Alloc();
  bullet->owner = host->id;
  player_->slots.Damage(player_, bullet, 500, 1, nullptr, 5, 0);
  ASSERT_EQ(NetSentTo(NetAddr(2), NETMSG_KILLED), 1);
  EXPECT_EQ(g_netSent.back().msg.victim, kNetSelf);
  EXPECT_EQ(g_netSent.back().msg.killer, NetAddr(2));
}

// Fuzz target: the network message handler in each role (none, server, client), with and without
// a game, over one datagram; byte 0 of the input picks the role, the rest is the datagram.
#include <cstring>

#include "foundation/udp.h"
#include "fuzz.h"
#include "world/game.h"
#include "world/net.h"
#include "world/object.h"
#include "world/start.h"

static void Discard(const void*, int, uint32_t) {}

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, size_t size) {
  if (size < 2) return 0;
  NET_Up = 1;
  NET_LocalAddress = 0x0100000A;
  NET_SendSink = Discard;
  if (!Obj_Player) {  // again after a ServerQuit freed the level
    GameObject* player = Obj_Alloc();
    player->flags = OBJ_ACTIVE;
    player->person.state = 1;
    Obj_Player = player;
    vec3 zero{};
    NetPlayer_Spawn(nullptr, 0x0200000A, 0, "peer", &zero, &zero, &zero);
  }
  int role = data[0] % 6;  // none, server, client; each without and with a game
  NET_GameRunning = role >= 3;
  Game_NetMode = role % 3;
  NET_GameStamp = 1.0f;
  NET_ServerAddress = 0x0200000A;
  NET_LoadLevel = nullptr;
  NET_HandlePacket(data + 1, int(size - 1), 0x0200000A);
  Obj_FlushDeleted();
  int bodies = 0;
  for (GameObject* o = Obj_ListHead; o; o = o->next) bodies += o->classNum == NETPLAYER;
  if (bodies > kNetRoster + 1) __builtin_trap();  // rosters replace bodies, never pile them up
  return 0;
}

void Fuzz_MakeSeeds(std::vector<std::vector<uint8_t>>& seeds) {
  for (int type = 0; type < kNetMsgTypes; type++) {
    NetMessage m{};
    m.type = type;
    m.stamp = 1.0f;
    std::memcpy(m.tag, kNetProtocolTag, 8);
    m.version = kNetProtocolVersion;
    std::strcpy(m.playerName, "peer");
    std::strcpy(m.levelName, "arenas\\yard");
    m.count = 2;
    m.ids[0] = 0x0200000A, m.ids[1] = 0x0300000A;
    m.victim = 0x0200000A, m.killer = 0x0100000A;
    m.shot = 1, m.weapon = 3, m.state = 2, m.clock = 2.0f, m.world[1] = 2;
    uint8_t bytes[kNetMaxMessageSize];
    int n = NetMsg_Encode(m, bytes);
    for (int role = 0; role < 6; role++) {
      std::vector<uint8_t> seed(1, uint8_t(role));
      seed.insert(seed.end(), bytes, bytes + n);
      seeds.push_back(seed);
    }
  }
}

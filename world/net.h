// The local-network messages: each received datagram is handled by its first byte. One copy is the
// server (Game_NetMode 1) and keeps the frag table, pick-ups and flags; the others are clients (2).
#pragma once
#include <cstddef>
#include <cstdint>
#include <vector>

#include "foundation/udp.h"  // kNetPacketSize, the frame's receive buffer
#include "foundation/vecmath.h"
#include "world/netmsg.h"

struct GameObject;

// Datagrams handled in one frame at most; the rest wait for the next frame, so a flooding peer
// cannot hold the frame.
constexpr int kNetPacketsPerFrame = 256;

// Servers heard by the last refresh.
constexpr int kServerListRows = 128;
struct ServerListEntry {
  int32_t used;
  uint32_t address;
  float stamp;
  char playerName[kNetMsgNameSize];
  char levelName[kNetLevelNameSize];
  float receiptTime;  // frame clock
  int32_t maxPlayers, players, gameType;
};
extern ServerListEntry NET_ServerList[kServerListRows];

constexpr int kNetMaxClients = kNetRoster - 1;  // the server is roster entry 0

// Capture the flag, one entry per team.
struct TeamFlag {
  int32_t state;  // 0 at its base, 1 carried, 2 dropped
  uint32_t carrier;
  vec3 dropped;
  int32_t score;
};
extern TeamFlag NET_Flags[2];

// The local player's shot of this frame, sent with the next state message and then cleared.
struct PendingShot {
  int32_t flag;
  vec3 origin, angles;
  int32_t weapon;
  int32_t word;
};
extern PendingShot NET_PendingShot;

// The game's wire stamp: set by the server when it creates its game and by a client when it picks
// a server row; zero outside network play. Messages of types 1..12 must carry it exactly.
extern float NET_GameStamp;
extern int32_t NET_GameRunning;  // a network game runs on this copy
extern uint32_t NET_ServerAddress;
extern int32_t NET_RosterTeam;  // the team this copy asked for

// Loads the level an AcceptClient names into a copy not yet in a network game (Level_Load; tests
// replace it); 1 when loaded.
extern int (*NET_LoadLevel)(const char* name);

// Handles one datagram of `length` bytes from `sender` (IPv4, first number in the lowest byte).
// Returns the message type handled, or -1 for a refused or ignored datagram.
int NET_HandlePacket(const uint8_t* packet, int length, uint32_t sender);
// Receives and handles the waiting datagrams while the network is up. Returns how many.
int NET_ReceiveAll();
// Lines about received datagrams (refusals, handled messages and their replies, datagrams the
// socket dropped) written in one second at most, whatever their senders; the rest are counted and
// the count is logged when the second ends.
constexpr int kNetLogLinesPerSecond = 32;
// Refusal lines written to the log (the first of each kind from each sender, then a count a
// second, within the lines of the second).
extern int32_t NET_RefusalLines;

// Senders; each does nothing while the network is down.
void NET_SendRefreshServerList();
void NET_SendWantConnect(uint32_t server);
void NET_SendRespawn(GameObject* body);
void NET_SendState();
void NET_SendTouchRequest(int32_t object);
void NET_SendTouchConfirm(uint32_t client, int32_t object);
void NET_SendServerQuit();
void NET_SendKilled(uint32_t killer);
void NET_AddFrag(uint32_t id);
void NET_SendFrags();
// The server's respawns of the frame: every body dead for 5 s (NET_SendRespawn), and its own
// player, put back alive at a free start like a client.
void NET_RespawnDead();
void NET_SendClientQuit();
// Starts a game as server (stamp = the frame clock) and ends any network game (tables emptied).
void NET_StartServer(int32_t gameType);
void NET_EndGame();
// Hosts a match: any running network game ends, the arena "arenas\<level>" loads with this copy
// as its server (game type 0 deathmatch, 1 team deathmatch, 2 capture the flag; `team` 0 red or
// 1 blue) and the stamp is the new game's clock ("createserver %f"). 0 (logged) while the network
// is down or when the level does not load.
int NET_HostGame(const char* level, int32_t gameType, int32_t team);
// Asks to join the server of a server-list row as `team`: the row's stamp becomes this copy's,
// and WantConnect goes to its address; the server's AcceptClient then loads its arena. 0 (logged)
// for an unused row or while the network is down.
int NET_JoinServer(const ServerListEntry& row, int32_t team);

// Projectiles of other copies' shots in the world at most; a peer's shot beyond them only sounds.
// Each peer's shots are taken at most one per shot time of its weapon.
constexpr int kNetRemoteProjectiles = 512;

// A shot of the weapon (0..35) from `from` along the angles `aim`: projectile kind 1 scatters
// its pellets (two draws each, sideways then up, the random index restored after), kind 2 sends
// them straight; then the weapon's fire sound. Used for peers' shots and the player's own.
void NET_SpawnShot(uint32_t owner, int32_t weapon, const vec3* from, const vec3* aim);

// Start-point choice for a team: the default start, else a random allowed start nobody alive
// stands on.
void NET_ChooseStart(int32_t team, vec3* origin, vec3* angles);

// Tests replace the datagram source and sink; null is the network.
extern int (*NET_ReceiveSource)(void* buffer, int capacity, uint32_t* sender);
extern void (*NET_SendSink)(const void* data, int length, uint32_t address);

// The server's frag table: one row per client (the server's own frags are its player's).
constexpr int kFragRows = 64;
constexpr int kNetNameSize = 64;
struct FragRow {
  int32_t used;
  uint32_t id;  // the client's network id
  char name[kNetNameSize];
  int32_t frags;
  int32_t team;
};
extern FragRow NET_FragTable[kFragRows];
// The frag body of a server's saved game: int32 count, then {network id, frags} pairs, the
// server's own first, then every used row. Both do nothing unless a server game runs with a
// player. Reading checks the whole body first; 1 when it was taken.
void NET_WriteFrags(std::vector<uint8_t>& out);
int NET_ReadFrags(const uint8_t* bytes, size_t size);

#include "world/net.h"

#include <cmath>
#include <cstdio>
#include <cstdlib>
#include <cstring>

#include "characters/defs.h"
#include "characters/person.h"
#include "foundation/bytereader.h"
#include "foundation/log.h"
#include "foundation/random.h"
#include "foundation/sound.h"
#include "foundation/timer.h"
#include "foundation/udp.h"
#include "foundation/var.h"
#include "world/entity.h"
#include "world/game.h"
#include "world/level.h"
#include "world/object.h"
#include "world/projectile.h"
#include "world/start.h"

extern VarRecord game_playername;

ServerListEntry NET_ServerList[kServerListRows];
TeamFlag NET_Flags[2];
PendingShot NET_PendingShot;
float NET_GameStamp;
int32_t NET_GameRunning;
uint32_t NET_ServerAddress;
int32_t NET_RosterTeam;
int (*NET_LoadLevel)(const char* name) = Level_Load;
int32_t NET_RefusalLines;
int (*NET_ReceiveSource)(void* buffer, int capacity, uint32_t* sender);
void (*NET_SendSink)(const void* data, int length, uint32_t address);

namespace {

constexpr float kRespawnDelay = 5.0f;
constexpr float kFlagHidden = 1000000.0f;
constexpr float kShotSpeed = 400.0f;
constexpr int kNetPelletsMax = 64;  // projectiles one state message may start

const char* AddrText(uint32_t address) {
  static char text[4][kNetAddrTextSize];
  static int slot;
  slot = (slot + 1) & 3;
  NET_AddrToText(address, text[slot]);
  return text[slot];
}

void Send(NetMessage& msg, uint32_t address) {
  static uint8_t bytes[kNetMaxMessageSize];
  msg.stamp = NET_GameStamp;
  int size = NetMsg_Encode(msg, bytes);
  if (NET_SendSink) NET_SendSink(bytes, size, address);
  else NET_Send(bytes, size, address);
}

NetMessage& Fresh(NetMsgType type) {
  static NetMessage msg;
  std::memset(&msg, 0, sizeof msg);
  msg.type = type;
  return msg;
}

// Lines about received datagrams (refusals, handled messages, their replies, datagrams the socket
// dropped): at most kNetLogLinesPerSecond in a second whatever their senders; the rest are
// counted, and the count is written when the second ends.
struct LogWindow {
  double start;
  int32_t lines, dropped;
};
LogWindow g_window;
int g_receiving;  // inside the drain or the handler

void EndLogWindow() {
  double age = Timer_FrameTime - g_window.start;
  if (age >= 0 && age < 1.0) return;
  if (g_window.dropped)
    Log_Printf("NET_ReceiveAll: %i lines about received datagrams left out\n", int(g_window.dropped));
  g_window = {Timer_FrameTime, 0, 0};
}

template <typename... Args>
bool ReceiveLine(const char* format, Args... args) {
  EndLogWindow();
  if (g_window.lines >= kNetLogLinesPerSecond) {
    g_window.dropped++;
    return false;
  }
  g_window.lines++;
  Log_Printf(format, args...);
  return true;
}

// Marks the handling of received datagrams, nested or not.
struct Receiving {
  Receiving() { g_receiving++; }
  ~Receiving() { g_receiving--; }
};

// Refusal lines: the first of each kind from each sender, then how many more once a second.
struct RefusalTally {
  uint32_t sender;
  int32_t kind;
  int32_t pending;
  double lastLine;
};
RefusalTally g_tallies[64];
int g_tallyNext;

void Refuse(NetMsgRefusal kind, int type, int length, uint32_t sender) {
  RefusalTally* t = nullptr;
  for (RefusalTally& r : g_tallies)
    if (r.kind == kind && r.sender == sender) t = &r;
  if (!t) {
    t = &g_tallies[g_tallyNext];
    g_tallyNext = (g_tallyNext + 1) % 64;
    *t = {sender, kind, 0, Timer_FrameTime};
    NET_RefusalLines += ReceiveLine("NET_HandlePacket: refused message %i (%i bytes) from %s: %s\n", type, length,
                                    AddrText(sender), NetMsg_RefusalText[kind]);
    return;
  }
  t->pending++;
  if (Timer_FrameTime - t->lastLine >= 1.0) {
    NET_RefusalLines += ReceiveLine("NET_HandlePacket: %i more refused from %s: %s\n", t->pending, AddrText(sender),
                                    NetMsg_RefusalText[kind]);
    t->pending = 0;
    t->lastLine = Timer_FrameTime;
  }
}

// Lines about handled messages: a peer's messages of one type are logged line by line up to
// kLinesPerSecond a second; the rest of that second are only counted, and the count is written
// with the next one after it. A message not logged has its replies' lines left out too.
constexpr int kLinesPerSecond = 4;
struct LineTally {
  uint32_t sender;
  int32_t type;
  int32_t lines, quiet;
  double start;
};
LineTally g_lineTallies[64];
int g_lineNext;
bool g_quiet;

bool MayLog(int type, uint32_t sender) {
  LineTally* t = nullptr;
  for (LineTally& l : g_lineTallies)
    if (l.lines && l.type == type && l.sender == sender) t = &l;
  if (!t) {
    t = &g_lineTallies[g_lineNext];
    g_lineNext = (g_lineNext + 1) % 64;
    *t = {sender, type, 0, 0, Timer_FrameTime};
  }
  if (Timer_FrameTime - t->start >= 1.0) {
    if (t->quiet) ReceiveLine("NET_HandlePacket: %i more messages %i from %s\n", t->quiet, type, AddrText(sender));
    t->start = Timer_FrameTime;
    t->lines = t->quiet = 0;
  }
  if (t->lines < kLinesPerSecond) {
    t->lines++;
    return true;
  }
  t->quiet++;
  return false;
}

template <typename... Args>
void Say(const char* format, Args... args) {
  if (g_quiet) return;
  if (g_receiving) ReceiveLine(format, args...);
  else Log_Printf(format, args...);
}

// Handling ends: the next message decides for itself.
struct QuietEnd {
  ~QuietEnd() { g_quiet = false; }
};

bool Active(const GameObject* o) { return (o->flags & OBJ_ACTIVE) && !o->deleteQueued; }

FragRow* RowOf(uint32_t id) {
  for (FragRow& r : NET_FragTable)
    if (r.used && r.id == id) return &r;
  return nullptr;
}

// The pick-up or flag "#n", n in 0..31, else -1.
int ObjectNumber(const GameObject* o) {
  const char* name = o->person.name;
  if (name[0] != '#' || name[1] < '0' || name[1] > '9') return -1;
  char* end = nullptr;
  long n = std::strtol(name + 1, &end, 10);
  return n >= 0 && n < kNetWorldBytes ? int(n) : -1;
}

// The bodies and the numbered objects in list order, looked up again when the list changed
// (objects get their class, name and network id when they are made). Drains use it; a message
// handled on its own looks afresh.
struct NetIndex {
  bool valid;
  uint32_t version;
  std::vector<GameObject*> bodies;
  std::vector<GameObject*> numbered[kNetWorldBytes];
};
NetIndex g_index;
bool g_draining;

NetIndex& Index() {
  NetIndex& x = g_index;
  if (x.valid && x.version == Obj_ListVersion) return x;
  x.bodies.clear();
  for (auto& list : x.numbered) list.clear();
  for (GameObject* o = Obj_ListHead; o; o = o->next) {
    if (o->classNum == NETPLAYER) x.bodies.push_back(o);
    int n = ObjectNumber(o);
    if (n >= 0) x.numbered[n].push_back(o);
  }
  x.valid = true;
  x.version = Obj_ListVersion;
  return x;
}

GameObject* BodyOf(uint32_t id) {
  if (!id) return nullptr;
  for (GameObject* o : Index().bodies)
    if (Active(o) && uint32_t(o->prop.netId) == id) return o;
  return nullptr;
}

GameObject* NumberedObject(int n) {
  if (n < 0 || n >= kNetWorldBytes) return nullptr;
  for (GameObject* o : Index().numbered[n])
    if (Active(o)) return o;
  return nullptr;
}

// Bodies for the roster, and none for peers that left it.
void MatchBodies(const NetMessage& roster) {
  int count = roster.count < kNetRoster ? roster.count : kNetRoster;
  for (GameObject* o = Obj_ListHead; o; o = o->next) {
    if (o->classNum != NETPLAYER || !Active(o)) continue;
    bool listed = false;
    for (int i = 0; i < count; i++) listed |= roster.ids[i] == uint32_t(o->prop.netId);
    if (!listed) {
      Say("kill\n");
      Obj_RequestDelete(o);
    }
  }
  for (int i = 0; i < count; i++) {
    uint32_t id = roster.ids[i];
    if (!id || id == NET_LocalAddress || BodyOf(id)) continue;
    vec3 origin{roster.origins[i][0], roster.origins[i][1], roster.origins[i][2]};
    vec3 angles{roster.anglesList[i][0], roster.anglesList[i][1], roster.anglesList[i][2]};
    vec3 still{};
    NetPlayer_Spawn(nullptr, int32_t(id), roster.teams[i], roster.names[i], &origin, &still, &angles);
  }
}

// Roster entry 0 is the server; then the used rows, at most 15.
void BuildRoster(NetMessage& m, bool placed) {
  m.count = 1;
  m.ids[0] = NET_LocalAddress;
  m.teams[0] = NET_RosterTeam;
  std::snprintf(m.names[0], kNetNameSize, "%s", game_playername.text);
  if (placed && Obj_Player) {
    m.origins[0][0] = Obj_Player->origin.x;
    m.origins[0][1] = Obj_Player->origin.y;
    m.origins[0][2] = Obj_Player->origin.z;
  }
  for (const FragRow& r : NET_FragTable) {
    if (!r.used || m.count >= kNetRoster) continue;
    int i = m.count++;
    m.ids[i] = r.id;
    std::snprintf(m.names[i], kNetNameSize, "%s", r.name);
    if (!placed) continue;
    m.teams[i] = r.team;
    if (GameObject* body = BodyOf(r.id)) {
      m.origins[i][0] = body->origin.x;
      m.origins[i][1] = body->origin.y;
      m.origins[i][2] = body->origin.z;
    }
  }
  std::snprintf(m.levelName, kNetLevelNameSize, "%s", Level_Name);
  m.gameType = Game_NetGameType;
}

void SendRoster(NetMessage& m) {
  for (int i = 0; i < m.count; i++)
    if (m.ids[i] && m.ids[i] != NET_LocalAddress) Send(m, m.ids[i]);
}

void DropFlagsOf(GameObject* body) {
  for (int t = 0; t < 2; t++) {
    if (NET_Flags[t].state != 1 || NET_Flags[t].carrier != uint32_t(body->prop.netId)) continue;
    NET_Flags[t].state = 2;
    NET_Flags[t].dropped = body->origin;
    for (GameObject* o = Obj_ListHead; o; o = o->next) {
      if (!Active(o) || o->person.ctfRole != CTF_FLAG || o->person.team != t) continue;
      o->person.state = 1;
      o->origin = body->origin;
      o->angles = {};
    }
  }
}

void HandleTouch(const NetMessage& m, uint32_t sender) {
  GameObject* body = BodyOf(sender);
  if (!body) return;
  GameObject* o = NumberedObject(m.object);
  if (!o || o->person.state != 1) return;
  int32_t team = body->person.team;
  PersonStats& ps = o->person;
  if (ps.ctfRole == CTF_FLAG) {
    int t = ps.team & 1;
    if (NET_Flags[t].state != 2) return;
    if (team != t) {
      NET_Flags[t].state = 1;
      NET_Flags[t].carrier = sender;
    } else {
      NET_Flags[t].state = 0;
    }
    ps.state = 2;
    ps.hiddenUntil = float(Game_Time) + kFlagHidden;
  } else if (ps.ctfRole == CTF_BASE) {
    int t = ps.team & 1;
    if (team == t) {
      if (NET_Flags[t].state != 0) return;
      for (int other = 0; other < 2; other++) {
        if (other == t || NET_Flags[other].state != 1 || NET_Flags[other].carrier != sender) continue;
        NET_Flags[other].state = 0;
        NET_Flags[t].score++;
      }
    } else if (NET_Flags[t].state == 0) {
      NET_Flags[t].state = 1;
      NET_Flags[t].carrier = sender;
      Say("incoming server flagbody %i\n", int(t));
    }
  } else {
    ps.state = 2;
    ps.hiddenUntil = float(Game_Time) + ps.respawnTime;
    NET_SendTouchConfirm(sender, m.object);
  }
}

// A peer's shots are taken at most one per shot time of its weapon (game time on this copy). A
// shot that arrived late lets the next one in up to half a shot time early, so the peer's rate
// holds through the network's jitter and never rises above it. One gate per body that shot.
constexpr double kMinShotTime = 0.01;
struct ShotGate {
  uint32_t body;  // object id
  double due;     // the game time of the next shot at the peer's rate
};
ShotGate g_shotGates[2 * kNetRoster];

bool TakeShot(const GameObject* body, float shotTime) {
  double period = shotTime > kMinShotTime ? shotTime : kMinShotTime;
  ShotGate* gate = nullptr;
  for (ShotGate& g : g_shotGates)
    if (g.body == body->id) gate = &g;
  if (!gate) {  // a body's first shot takes over the gate due soonest
    gate = &g_shotGates[0];
    for (ShotGate& g : g_shotGates)
      if (g.due < gate->due) gate = &g;
    *gate = {body->id, Game_Time};
  }
  if (gate->due > Game_Time + 2 * period) gate->due = Game_Time;  // the game's clock went back (a load)
  if (Game_Time < gate->due - period / 2) return false;
  gate->due = (gate->due > Game_Time ? gate->due : Game_Time) + period;
  return true;
}

// Projectiles in the world from other copies' shots (any owner but the local player).
int RemoteProjectiles() {
  uint32_t own = Obj_Player ? Obj_Player->id : 0;
  int n = 0;
  for (GameObject* o = Obj_ListHead; o; o = o->next) n += o->classNum == PULKA && Active(o) && o->owner != own;
  return n;
}

void SpawnShot(uint32_t owner, int32_t weapon, const vec3* from, const vec3* aim, int room);

// A peer's shot seen on this copy: its projectiles (within kNetRemoteProjectiles) and its sound.
void RemoteShot(GameObject* body, const NetMessage& m) {
  if (m.weapon < 0 || m.weapon >= kWeaponDefs || !TakeShot(body, Def_Weapons[m.weapon].shotTime)) return;
  body->prop.fireTime = float(Game_Time);
  body->prop.fireWeapon = m.weapon;
  vec3 from{m.shotOrigin[0], m.shotOrigin[1], m.shotOrigin[2]};
  vec3 aim{m.shotAngles[0], m.shotAngles[1], m.shotAngles[2]};
  SpawnShot(body->id, m.weapon, &from, &aim, kNetRemoteProjectiles - RemoteProjectiles());
}

void HandleState(const NetMessage& m, uint32_t sender) {
  for (GameObject* o : Index().bodies) {
    if (!Active(o) || uint32_t(o->prop.netId) != sender) continue;
    if (o->prop.lastClock != 0 && !(o->prop.lastClock < m.clock)) continue;
    o->prop.receiptTime = Timer_FrameTime;
    o->prop.lastClock = m.clock;
    o->origin = {m.origin[0], m.origin[1], m.origin[2]};
    o->angles = {m.angles[0], m.angles[1], m.angles[2]};
    if (o->person.state == 2 && m.state == 1) o->person.state = 1;
    if (o->person.state == 1 && m.state == 2) {
      o->person.state = 2;
      o->deathTime = float(Game_Time);
    }
    if (m.shot) RemoteShot(o, m);
  }
}

void HandleFrags(const NetMessage& m) {
  for (GameObject* o : Index().bodies) {
    if (!Active(o)) continue;
    for (int i = 0; i < m.count; i++)
      if (m.ids[i] == uint32_t(o->prop.netId)) o->frags = m.frags[i];
  }
  for (int t = 0; t < 2; t++) {
    NET_Flags[t].state = m.flagState[t];
    NET_Flags[t].carrier = m.flagCarrier[t];
    NET_Flags[t].dropped = {m.flagPos[t][0], m.flagPos[t][1], m.flagPos[t][2]};
    NET_Flags[t].score = m.teamScore[t];
  }
  for (GameObject* o = Obj_ListHead; o; o = o->next) {
    if (!Active(o) || o->person.ctfRole != CTF_FLAG) continue;
    int t = o->person.team & 1;
    if (NET_Flags[t].state == 2) {
      o->person.state = 1;
      o->origin = NET_Flags[t].dropped;
      o->angles = {};
    } else {
      o->person.state = 2;
    }
  }
  if (Obj_Player)
    for (int i = 0; i < m.count; i++)
      if (m.ids[i] == NET_LocalAddress) Obj_Player->frags = m.frags[i];
}

void HandleAccept(const NetMessage& m, uint32_t sender) {
  bool firstJoin = !NET_GameRunning;
  if (firstJoin) {
    Game_NetMode = 2;
    Game_NetGameType = m.gameType;
    float stamp = NET_GameStamp;  // kept through the level load
    const bool loaded = NET_LoadLevel && NET_LoadLevel(m.levelName);
    NET_GameStamp = stamp;
    NET_GameRunning = 1;
    NET_ServerAddress = sender;
    if (!loaded) {
      // No arena, no game: the server hears that this copy left and it stays out of the match.
      ReceiveLine("NET_HandlePacket: level \"%s\" not loaded; leaving the game\n", m.levelName);
      NET_SendClientQuit();
      NET_EndGame();
      return;
    }
  }
  if (!Obj_Player) return;
  Game_NetMode = 2;
  Game_NetGameType = m.gameType;
  NET_ServerAddress = sender;
  Game_MenuOpen = 0;
  if (firstJoin) {
    for (int i = 0; i < m.count; i++) {
      if (m.ids[i] != NET_LocalAddress) continue;
      Obj_Player->origin = {m.origins[i][0], m.origins[i][1], m.origins[i][2]};
      Obj_Player->angles = {m.anglesList[i][0], m.anglesList[i][1], m.anglesList[i][2]};
      Obj_Player->person.team = m.teams[i];
    }
  }
  MatchBodies(m);
}

void HandleWantConnect(const NetMessage& m, uint32_t sender) {
  if (!RowOf(sender)) {
    int clients = 0;
    FragRow* free = nullptr;
    for (FragRow& r : NET_FragTable) {
      clients += r.used;
      if (!r.used && !free) free = &r;
    }
    if (!free || clients >= kNetMaxClients) {
      Say("NET_HandlePacket: no room for %s\n", AddrText(sender));
      return;
    }
    *free = {1, sender, {}, 0, m.team};
    std::snprintf(free->name, kNetNameSize, "%s", m.playerName);
  }
  NetMessage& r = Fresh(NETMSG_ACCEPTCLIENT);
  BuildRoster(r, true);
  MatchBodies(r);
  for (int i = 0; i < r.count; i++) {
    if (r.ids[i] != sender) continue;
    vec3 origin = Level_PlayerStart.origin, angles = Level_PlayerStart.angles;
    NET_ChooseStart(m.team, &origin, &angles);
    r.origins[i][0] = origin.x, r.origins[i][1] = origin.y, r.origins[i][2] = origin.z;
    r.anglesList[i][0] = angles.x, r.anglesList[i][1] = angles.y, r.anglesList[i][2] = angles.z;
  }
  SendRoster(r);
  Say("NET:send AcceptClient to %s\n", AddrText(sender));
}

void HandleKilled(const NetMessage& m) {
  FragRow* victim = m.victim ? RowOf(m.victim) : nullptr;
  if (!victim) return;
  if (FragRow* killer = RowOf(m.killer)) killer->frags++;
  else if (m.killer == NET_LocalAddress && Obj_Player) Obj_Player->frags++;
  else victim->frags--;
  if (GameObject* body = BodyOf(m.victim)) {
    DropFlagsOf(body);
    body->person.state = 2;
    body->deathTime = float(Game_Time);
  }
}

void HandleClientQuit(uint32_t sender) {
  FragRow* r = RowOf(sender);
  if (!r) return;
  r->used = 0;
  NetMessage& roster = Fresh(NETMSG_ACCEPTCLIENT);
  BuildRoster(roster, false);
  SendRoster(roster);
  if (GameObject* body = BodyOf(sender)) Obj_RequestDelete(body);
}

const char* const kIncoming[kNetMsgTypes] = {
    "Client from", "Server from", "WantConnect from", "AcceptClient from", nullptr, "TouchRequest from",
    "TouchConfirm from", nullptr, "ServerQuit from", "Killed from", nullptr, "ClientQuit from",
    "Respawn from server"};

}  // namespace

int NET_HandlePacket(const uint8_t* packet, int length, uint32_t sender) {
  if (!NET_Up || !packet || length <= 0) return -1;
  Receiving receiving;
  static NetMessage m;
  NetMsgRefusal why = NetMsg_Decode(packet, length, &m);
  if (why != NETREF_NONE) {
    Refuse(why, packet[0], length, sender);
    return -1;
  }
  if (!g_draining) g_index.valid = false;
  int type = m.type;
  int mode = Game_NetMode;
  bool server = mode == 1, client = mode == 2;
  // Who may send what; the rest is ignored without a line.
  // Game messages carry this copy's stamp; a copy that neither serves nor joins takes none.
  if (type >= NETMSG_WANTCONNECT && (NET_GameStamp == 0 || m.stamp != NET_GameStamp)) return -1;
  if (type >= NETMSG_WANTCONNECT && type != NETMSG_ACCEPTCLIENT && !NET_GameRunning) return -1;
  switch (type) {
    case NETMSG_ACCEPTCLIENT:
      if (server) return -1;
      break;
    case NETMSG_CLIENT: case NETMSG_WANTCONNECT: case NETMSG_TOUCHREQUEST: case NETMSG_KILLED:
    case NETMSG_CLIENTQUIT:
      if (!server) return -1;
      break;
    case NETMSG_TOUCHCONFIRM: case NETMSG_WORLD: case NETMSG_FRAGS: case NETMSG_RESPAWN:
      if (!client) return -1;
      break;
    default:
      break;
  }
  bool fromServer = sender == NET_ServerAddress;
  bool wrongSender = false;
  if (!server) {  // a client, or a copy that asked to join
    switch (type) {
      case NETMSG_ACCEPTCLIENT: case NETMSG_TOUCHCONFIRM: case NETMSG_WORLD: case NETMSG_SERVERQUIT:
      case NETMSG_FRAGS: case NETMSG_RESPAWN:
        wrongSender = !fromServer;
        break;
      default:
        break;
    }
  }
  if (type == NETMSG_KILLED && m.victim != sender) wrongSender = true;
  if (type == NETMSG_STATE && !BodyOf(sender)) wrongSender = true;
  if (type == NETMSG_CLIENTQUIT && !RowOf(sender)) wrongSender = true;  // only a member's quit changes the roster
  if (wrongSender) {
    Refuse(NETREF_SENDER, type, length, sender);
    return -1;
  }
  QuietEnd quietEnd;
  g_quiet = kIncoming[type] && !MayLog(type, sender);
  if (kIncoming[type]) Say("NET:incoming %s %s\n", kIncoming[type], AddrText(sender));
  switch (type) {
    case NETMSG_CLIENT: {
      if (std::memcmp(m.tag, kNetProtocolTag, 8) != 0 || m.version != kNetProtocolVersion) return -1;
      NetMessage& r = Fresh(NETMSG_SERVER);
      r.stamp = NET_GameStamp;
      std::snprintf(r.playerName, kNetNameSize, "%s", game_playername.text);
      std::snprintf(r.levelName, kNetLevelNameSize, "%s", Level_Name);
      r.maxPlayers = kNetRoster;
      r.players = 1;
      for (const FragRow& row : NET_FragTable) r.players += row.used;
      r.gameType = Game_NetGameType;
      Send(r, sender);
      Say("NET:send Server to %s\n", AddrText(sender));
      break;
    }
    case NETMSG_SERVER: {
      ServerListEntry* free = nullptr;
      for (ServerListEntry& e : NET_ServerList) {
        if (e.used && e.address == sender && e.stamp == m.stamp) return type;
        if (!e.used && !free) free = &e;
      }
      if (!free) return type;
      *free = {1, sender, m.stamp, {}, {}, float(Timer_FrameTime), m.maxPlayers, m.players, m.gameType};
      std::memcpy(free->playerName, m.playerName, kNetNameSize);
      std::memcpy(free->levelName, m.levelName, kNetLevelNameSize);
      break;
    }
    case NETMSG_WANTCONNECT: HandleWantConnect(m, sender); break;
    case NETMSG_ACCEPTCLIENT: HandleAccept(m, sender); break;
    case NETMSG_STATE: HandleState(m, sender); break;
    case NETMSG_TOUCHREQUEST: HandleTouch(m, sender); break;
    case NETMSG_TOUCHCONFIRM:
      if (GameObject* o = NumberedObject(m.object); o && Obj_Player) {
        std::memcpy(Obj_Player->person.itemText, o->person.itemText, sizeof o->person.itemText);
        Person_CollectPickup(Obj_Player);
      }
      break;
    case NETMSG_WORLD:
    {
      NetIndex& index = Index();
      for (int n = 0; n < kNetWorldBytes; n++)
        if (m.world[n] == 1 || m.world[n] == 2)
          for (GameObject* o : index.numbered[n])
            if (o->person.state != m.world[n] && Active(o)) o->person.state = m.world[n];
    }
      break;
    case NETMSG_SERVERQUIT:
      Say("client ServerQuit %f %f\n", m.stamp, NET_GameStamp);
      if (client) {
        NET_EndGame();
        Level_Free();
      }
      break;
    case NETMSG_KILLED: HandleKilled(m); break;
    case NETMSG_FRAGS: HandleFrags(m); break;
    case NETMSG_CLIENTQUIT:
      Say("server ClientQuit %f %f\n", m.stamp, NET_GameStamp);
      HandleClientQuit(sender);
      break;
    case NETMSG_RESPAWN:
      if (GameObject* p = Obj_Player) {
        p->person.health = 100;
        p->person.state = 1;
        p->flags |= 12u;
        p->origin = {m.origin[0], m.origin[1], m.origin[2]};
        p->angles = {m.angles[0], m.angles[1], m.angles[2]};
        p->person.velocity[0] = p->person.velocity[1] = p->person.velocity[2] = 0;
      }
      break;
  }
  return type;
}

void NET_SpawnShot(uint32_t owner, int32_t weapon, const vec3* from, const vec3* aim) {
  SpawnShot(owner, weapon, from, aim, kNetPelletsMax);
}

namespace {

// The shot with at most `room` projectiles.
void SpawnShot(uint32_t owner, int32_t weapon, const vec3* from, const vec3* aim, int room) {
  if (weapon < 0 || weapon >= kWeaponDefs || !from || !aim) return;
  const WeaponDef& w = Def_Weapons[weapon];
  if (w.kind == 1 || w.kind == 2 || w.kind == 4 || w.kind == 5) {
    static const float kBox[6] = {-10, -10, -10, 10, 10, 10};
    vec3 forward, right, up;
    Mat_AxesFromAngles(aim, &forward, &right, &up);
    int pellets = w.pellets < 1 ? 1 : w.pellets > kNetPelletsMax ? kNetPelletsMax : w.pellets;
    if (pellets > room) pellets = room;
    // The shared random sequence is left where it was.
    int saved = Math_RandGetIndex();
    for (int i = 0; i < pellets; i++) {
      float side = 0, lift = 0;
      if (w.kind == 1) {
        side = (Math_RandNext() - 0.5f) * w.spread;
        lift = (Math_RandNext() - 0.5f) * w.spread;
      }
      vec3 dir{forward.x + right.x * side + up.x * lift, forward.y + right.y * side + up.y * lift,
               forward.z + right.z * side + up.z * lift};
      float len = std::sqrt(dir.x * dir.x + dir.y * dir.y + dir.z * dir.z);
      if (len > 0) dir = {dir.x / len, dir.y / len, dir.z / len};
      vec3 velocity{dir.x * kShotSpeed, dir.y * kShotSpeed, dir.z * kShotSpeed};
      Pulka_Spawn("pulka", kBox, 0, nullptr, owner, from, 0, &velocity, aim, weapon);
    }
    Math_RandSetIndex(saved);
  }
  if (w.fireSound[0]) Sound_Play(w.fireSound, 1.0f, 5.0f, &from->x, 0, SOUND_CAT_EFFECTS);
}

}  // namespace

void NET_ChooseStart(int32_t team, vec3* origin, vec3* angles) {
  *origin = Level_PlayerStart.origin;
  *angles = Level_PlayerStart.angles;
  Start_ChooseFree(team, Game_NetGameType == 2, nullptr, origin, angles);
}

void NET_StartServer(int32_t gameType) {
  NET_EndGame();
  Game_NetMode = 1;
  Game_NetGameType = gameType;
  NET_GameStamp = float(Timer_FrameTime);
  if (NET_GameStamp == 0) NET_GameStamp = 1.0f / 1024;  // zero means no game
  NET_GameRunning = 1;
}

int NET_HostGame(const char* level, int32_t gameType, int32_t team) {
  if (!NET_Up || !level) {
    Log_Printf("NET_HostGame: the network is down; no game hosted\n");
    return 0;
  }
  if (NET_GameRunning) Level_Free();
  NET_EndGame();
  Game_NetMode = 1;  // the arena folder, and the server's starts
  Game_NetGameType = gameType < 0 || gameType > 2 ? 0 : gameType;
  Game_LocalTeam = NET_RosterTeam = team & 1;
  if (!Level_Load(level)) {
    NET_EndGame();
    return 0;
  }
  return NET_GameRunning;
}

int NET_JoinServer(const ServerListEntry& row, int32_t team) {
  if (!NET_Up || !row.used || row.stamp == 0) {
    Log_Printf("NET_JoinServer: no server to join\n");
    return 0;
  }
  if (NET_GameRunning) Level_Free();
  NET_EndGame();
  NET_GameStamp = row.stamp;
  Game_LocalTeam = team & 1;
  NET_SendWantConnect(row.address);
  return 1;
}

void NET_EndGame() {
  std::memset(NET_FragTable, 0, sizeof NET_FragTable);
  std::memset(g_shotGates, 0, sizeof g_shotGates);
  std::memset(NET_Flags, 0, sizeof NET_Flags);
  std::memset(&NET_PendingShot, 0, sizeof NET_PendingShot);
  NET_GameStamp = 0;
  NET_GameRunning = 0;
  NET_ServerAddress = 0;
  Game_NetMode = 0;
}

void NET_SendRefreshServerList() {
  if (!NET_Up) return;
  std::memset(NET_ServerList, 0, sizeof NET_ServerList);
  NetMessage& m = Fresh(NETMSG_CLIENT);
  std::memcpy(m.tag, kNetProtocolTag, 8);
  m.version = kNetProtocolVersion;
  // Listed addresses are asked one by one instead of the broadcast.
  const char* list = net_refreshaddresses.text;
  bool asked = false;
  for (const char* p = list; *p;) {
    while (*p == ' ') p++;
    char word[kNetAddrTextSize + 1] = {};
    int n = 0;
    while (p[n] && p[n] != ' ') n++;
    std::snprintf(word, sizeof word, "%.*s", n < kNetAddrTextSize ? n : kNetAddrTextSize, p);
    p += n;
    uint32_t address = 0;
    if (!n) continue;
    if (!NET_TextToAddr(word, &address)) {
      Say("NET_SendRefreshServerList: \"%s\" is not an address\n", word);
      continue;
    }
    Send(m, address);
    Say("NET:send RefreshServerList to %s\n", AddrText(address));
    asked = true;
  }
  if (asked) return;
  Send(m, 0);
  Say("NET:send RefreshServerList to broadcast\n");
}

void NET_SendWantConnect(uint32_t server) {
  if (!NET_Up) return;
  NetMessage& m = Fresh(NETMSG_WANTCONNECT);
  std::snprintf(m.playerName, kNetNameSize, "%s", game_playername.text);
  m.team = Game_LocalTeam & 1;
  NET_RosterTeam = m.team;
  NET_ServerAddress = server;
  Send(m, server);
  Say("NET:send WantConnect to %s\n", AddrText(server));
}

void NET_SendRespawn(GameObject* body) {
  if (!NET_Up || Game_NetMode != 1 || !body || !body->prop.netId) return;
  vec3 origin, angles;
  NET_ChooseStart(body->person.team, &origin, &angles);
  body->origin = origin;
  body->angles = angles;
  body->person.velocity[0] = body->person.velocity[1] = body->person.velocity[2] = 0;
  body->flags |= 12u;
  body->person.health = 100;
  body->person.state = 1;
  NetMessage& m = Fresh(NETMSG_RESPAWN);
  m.origin[0] = origin.x, m.origin[1] = origin.y, m.origin[2] = origin.z;
  m.angles[0] = angles.x, m.angles[1] = angles.y, m.angles[2] = angles.z;
  Send(m, uint32_t(body->prop.netId));
  Say("NET:send Respawn to client %s\n", AddrText(uint32_t(body->prop.netId)));
}

void NET_RespawnDead() {
  if (!NET_Up || Game_NetMode != 1) return;
  for (GameObject* o : Index().bodies)
    if (Active(o) && o->person.state == 2 && o->deathTime + kRespawnDelay < Game_Time) NET_SendRespawn(o);
  GameObject* p = Obj_Player;
  if (!p || p->person.state != 2 || !(p->deathTime + kRespawnDelay < Game_Time)) return;
  vec3 origin, angles;
  NET_ChooseStart(p->person.team, &origin, &angles);
  p->origin = p->prevOrigin = origin;
  p->angles = angles;
  p->person.velocity[0] = p->person.velocity[1] = p->person.velocity[2] = 0;
  p->flags |= 12u;
  p->person.health = 100;
  p->person.state = 1;
}

void NET_SendState() {
  if (!NET_Up || Game_NetMode == 0 || !Obj_Player) return;
  static NetMessage world;
  bool server = Game_NetMode == 1;
  NetIndex& index = Index();
  if (server) {
    std::memset(&world, 0, sizeof world);
    world.type = NETMSG_WORLD;
    for (int n = 0; n < kNetWorldBytes; n++)
      for (GameObject* o : index.numbered[n])
        if (Active(o) && (o->person.state == 1 || o->person.state == 2)) world.world[n] = uint8_t(o->person.state);
  }
  NetMessage& m = Fresh(NETMSG_STATE);
  const GameObject* p = Obj_Player;
  m.clock = float(Timer_FrameTime);
  m.origin[0] = p->origin.x, m.origin[1] = p->origin.y, m.origin[2] = p->origin.z;
  m.angles[0] = p->angles.x, m.angles[1] = p->angles.y, m.angles[2] = p->angles.z;
  m.state = p->person.state;
  const PendingShot& s = NET_PendingShot;
  m.shot = s.flag;
  m.shotOrigin[0] = s.origin.x, m.shotOrigin[1] = s.origin.y, m.shotOrigin[2] = s.origin.z;
  m.shotAngles[0] = s.angles.x, m.shotAngles[1] = s.angles.y, m.shotAngles[2] = s.angles.z;
  m.weapon = s.weapon;
  m.shotWord = s.word;
  for (GameObject* o : index.bodies) {
    if (!Active(o) || !o->prop.netId) continue;
    Send(m, uint32_t(o->prop.netId));
    if (server) Send(world, uint32_t(o->prop.netId));
  }
  NET_PendingShot.flag = 0;
}

void NET_SendTouchRequest(int32_t object) {
  if (!NET_Up || Game_NetMode != 2) return;
  NetMessage& m = Fresh(NETMSG_TOUCHREQUEST);
  m.object = object;
  Send(m, NET_ServerAddress);
  Say("NET:send TouchRequest to server %s\n", AddrText(NET_ServerAddress));
}

void NET_SendTouchConfirm(uint32_t client, int32_t object) {
  if (!NET_Up || Game_NetMode != 1) return;
  NetMessage& m = Fresh(NETMSG_TOUCHCONFIRM);
  m.object = object;
  Send(m, client);
  Say("NET:send TouchConfirm to %s\n", AddrText(client));
}

void NET_SendServerQuit() {
  if (!NET_Up || Game_NetMode != 1 || !NET_GameRunning) return;
  // Every client hears that the game is over.
  for (const FragRow& r : NET_FragTable) {
    if (!r.used) continue;
    NetMessage& m = Fresh(NETMSG_SERVERQUIT);
    Send(m, r.id);
  }
  Say("server ServerQuit %f\n", NET_GameStamp);
}

void NET_SendKilled(uint32_t killer) {
  if (!NET_Up || Game_NetMode != 2) return;
  NetMessage& m = Fresh(NETMSG_KILLED);
  m.victim = NET_LocalAddress;
  m.killer = killer;
  Send(m, NET_ServerAddress);
  Say("NET:send Killed to server %s\n", AddrText(NET_ServerAddress));
}

void NET_AddFrag(uint32_t id) {
  if (!NET_Up || Game_NetMode != 1) return;
  if (FragRow* r = id ? RowOf(id) : nullptr) r->frags++;
  else if (Obj_Player) Obj_Player->frags--;
}

void NET_SendFrags() {
  if (!NET_Up || Game_NetMode != 1 || !NET_GameRunning || !Obj_Player) return;
  NetMessage& m = Fresh(NETMSG_FRAGS);
  m.count = 1;
  m.ids[0] = NET_LocalAddress;
  m.frags[0] = Obj_Player->frags;
  for (const FragRow& r : NET_FragTable) {
    if (!r.used || m.count >= kNetRoster) continue;
    m.ids[m.count] = r.id;
    m.frags[m.count++] = r.frags;
  }
  for (int t = 0; t < 2; t++) {
    m.flagState[t] = NET_Flags[t].state;
    m.flagCarrier[t] = NET_Flags[t].carrier;
    m.flagPos[t][0] = NET_Flags[t].dropped.x;
    m.flagPos[t][1] = NET_Flags[t].dropped.y;
    m.flagPos[t][2] = NET_Flags[t].dropped.z;
    m.teamScore[t] = NET_Flags[t].score;
  }
  for (int i = 1; i < m.count; i++) Send(m, m.ids[i]);
}

void NET_SendClientQuit() {
  if (!NET_Up || Game_NetMode != 2 || !NET_GameRunning) return;
  Say("client ClientQuit %f\n", NET_GameStamp);
  NetMessage& m = Fresh(NETMSG_CLIENTQUIT);
  Send(m, NET_ServerAddress);
  Say("NET:send ClientQuit to %s\n", AddrText(NET_ServerAddress));
}

int NET_ReceiveAll() {
  if (!NET_Up) return 0;
  static uint8_t packet[kNetPacketSize];
  int handled = 0;
  Receiving receiving;
  EndLogWindow();  // the count of a quiet second is written without waiting for more traffic
  g_draining = true;
  while (handled < kNetPacketsPerFrame) {
    uint32_t sender = 0;
    int length = NET_ReceiveSource ? NET_ReceiveSource(packet, kNetPacketSize, &sender)
                                   : NET_Receive(packet, kNetPacketSize, &sender);
    if (length < 0) {
      ReceiveLine("WSA read: %s[%d]\n", UDP_ErrorDescription(-length), -length);
      if (length != -kUdpTooLong) break;
      handled++;
      continue;
    }
    if (length == 0) break;
    NET_HandlePacket(packet, length, sender);
    handled++;
  }
  g_draining = false;
  return handled;
}

FragRow NET_FragTable[kFragRows];

static bool NET_ServerWithPlayer() { return Game_Running && Game_NetMode == 1 && Obj_Player; }

void NET_WriteFrags(std::vector<uint8_t>& out) {
  if (!NET_ServerWithPlayer()) return;
  ByteWriter w;
  int32_t count = 1;
  for (const FragRow& r : NET_FragTable) count += r.used != 0;
  w.I32(count);
  w.U32(NET_LocalAddress);
  w.I32(Obj_Player->frags);
  for (const FragRow& r : NET_FragTable) {
    if (!r.used) continue;
    w.U32(r.id);
    w.I32(r.frags);
  }
  out.insert(out.end(), w.bytes.begin(), w.bytes.end());
}

int NET_ReadFrags(const uint8_t* bytes, size_t size) {
  if (!NET_ServerWithPlayer()) return 0;
  ByteReader r(bytes, size);
  uint32_t count = r.U32();
  if (!r.ok || count > uint32_t(kFragRows) + 1 || r.Left() != size_t(count) * 8) {
    Say("NET_ReadFrags: a frag table of %u rows does not fit its %zu bytes; nothing changed\n", count, size);
    return 0;
  }
  Obj_Player->frags = 0;
  for (FragRow& row : NET_FragTable) row.frags = 0;
  for (uint32_t i = 0; i < count; i++) {
    uint32_t id = r.U32();
    int32_t frags = r.I32();
    if (id == NET_LocalAddress) Obj_Player->frags = frags;
    else
      for (FragRow& row : NET_FragTable)
        if (row.used && row.id == id) row.frags = frags;
  }
  return 1;
}

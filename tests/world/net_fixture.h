// This copy as one peer of a network game in one process: the other peers are datagrams made by
// the codec and handed to the message handler, and what this copy sends is captured instead of
// sent. Shared by the handler, flood and multiplayer-menu tests.
#pragma once
#include <gtest/gtest.h>

#include <cstring>
#include <functional>
#include <vector>

#include "foundation/timer.h"
#include "foundation/udp.h"
#include "world/net.h"
#include "world/netmsg.h"
#include "world/object.h"

namespace tw_test {

constexpr uint32_t NetAddr(int last) { return 0x0000000Au | uint32_t(last) << 24; }  // 10.0.0.last
constexpr uint32_t kNetSelf = NetAddr(1);

struct NetSent {
  uint32_t to;
  NetMessage msg;
};
inline std::vector<NetSent> g_netSent;
inline void NetCapture(const void* data, int length, uint32_t address) {
  NetSent s{address, {}};
  ASSERT_EQ(NetMsg_Decode(static_cast<const uint8_t*>(data), length, &s.msg), NETREF_NONE);
  g_netSent.push_back(s);
}

// The network up on this copy's address with sends captured, no game, and a fresh second for the
// log lines of received datagrams.
inline void NetPeer_Start() {
  NET_Up = 1;
  NET_LocalAddress = kNetSelf;
  NET_SendSink = NetCapture;
  NET_EndGame();
  std::memset(NET_ServerList, 0, sizeof NET_ServerList);
  g_netSent.clear();
  Timer_FrameTime += 2.0;
}
inline void NetPeer_Stop() {
  NET_EndGame();
  NET_SendSink = nullptr;
  NET_ReceiveSource = nullptr;
  NET_Up = 0;
}

// A message of the type from a peer, with this copy's stamp, the protocol tag and version and the
// level "yard", changed by `edit`. Returns what the handler returned.
inline int NetDeliver(int type, uint32_t from, const std::function<void(NetMessage&)>& edit = {}) {
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

// The active body of a peer.
inline GameObject* NetBody(uint32_t id) {
  for (GameObject* o = Obj_ListHead; o; o = o->next)
    if (o->classNum == NETPLAYER && (o->flags & OBJ_ACTIVE) && !o->deleteQueued && uint32_t(o->prop.netId) == id)
      return o;
  return nullptr;
}

// Messages of the type sent to the address.
inline int NetSentTo(uint32_t to, int type) {
  int n = 0;
  for (const NetSent& s : g_netSent) n += s.to == to && s.msg.type == type;
  return n;
}

// A peer asks this server to join.
inline int NetJoin(uint32_t from, int team = 0) {
  return NetDeliver(NETMSG_WANTCONNECT, from, [&](NetMessage& m) {
    std::strcpy(m.playerName, "guest");
    m.team = team;
  });
}

// A peer's state message with a shot of the weapon.
inline int NetShot(uint32_t from, float clock, int weapon) {
  return NetDeliver(NETMSG_STATE, from, [&](NetMessage& m) {
    m.clock = clock, m.state = 1, m.shot = 1, m.weapon = weapon;
  });
}

// Projectiles in the world.
inline int NetProjectiles() {
  int n = 0;
  for (GameObject* o = Obj_ListHead; o; o = o->next) n += o->classNum == PULKA && !o->deleteQueued;
  return n;
}

}  // namespace tw_test

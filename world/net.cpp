#include "world/net.h"

#include "foundation/bytereader.h"
#include "foundation/log.h"
#include "foundation/udp.h"
#include "world/game.h"
#include "world/object.h"

// Message types 0 to 12. No match is running yet (the multiplayer set-up and the players' network
// state are not built), so a valid message has nothing to act on; damaged ones are refused.
constexpr int kNetMessageTypes = 13;

int NET_HandlePacket(const uint8_t* packet, int length, uint32_t sender) {
  if (!packet || length <= 0) return -1;
  int type = packet[0];
  if (type >= kNetMessageTypes) {
    char from[32];
    NET_AddrToText(sender, from);
    Log_Printf("NET_HandlePacket: unknown message %i (%i bytes) from %s\n", type, length, from);
    return -1;
  }
  return type;
}

int (*NET_ReceiveSource)(void* buffer, int capacity, uint32_t* sender);

// The match state arrives with network play.
void NET_SendRespawn(GameObject*) {}
void NET_SendState() {}
void NET_SendFrags() {}

int NET_ReceiveAll() {
  if (!NET_Up) return 0;
  static uint8_t packet[kNetPacketSize];
  int handled = 0;
  while (handled < kNetPacketsPerFrame) {
    uint32_t sender = 0;
    int length = NET_ReceiveSource ? NET_ReceiveSource(packet, kNetPacketSize, &sender)
                                   : NET_Receive(packet, kNetPacketSize, &sender);
    if (length <= 0) break;
    NET_HandlePacket(packet, length, sender);
    handled++;
  }
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
    Log_Printf("NET_ReadFrags: a frag table of %u rows does not fit its %zu bytes; nothing changed\n", count, size);
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

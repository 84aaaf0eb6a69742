#include "world/net.h"

#include "foundation/log.h"
#include "foundation/udp.h"

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

// The local-network messages: each received datagram is handled by its first byte.
#pragma once
#include <cstddef>
#include <cstdint>
#include <vector>

#include "foundation/udp.h"  // kNetPacketSize, the frame's receive buffer

// Datagrams handled in one frame at most; the rest wait for the next frame, so a flooding peer
// cannot hold the frame.
constexpr int kNetPacketsPerFrame = 256;

// Handles one datagram of `length` bytes from `sender` (IPv4, first number in the lowest byte).
// Returns the message type handled, or -1 for a refused datagram.
int NET_HandlePacket(const uint8_t* packet, int length, uint32_t sender);
// Receives and handles the waiting datagrams while the network is up. Returns how many.
int NET_ReceiveAll();

struct GameObject;
// Network play (server and client roles decide what they send).
void NET_SendRespawn(GameObject* player);
void NET_SendState();
void NET_SendFrags();

// Tests replace the datagram source; null is the network (NET_Receive).
extern int (*NET_ReceiveSource)(void* buffer, int capacity, uint32_t* sender);

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

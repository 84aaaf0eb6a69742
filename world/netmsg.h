// The thirteen local-network messages: one flat record for every type, written to and read from
// the datagram bytes field by field at fixed offsets, little-endian.
#pragma once
#include <cstdint>

enum NetMsgType : int32_t {
  NETMSG_CLIENT = 0,
  NETMSG_SERVER = 1,
  NETMSG_WANTCONNECT = 2,
  NETMSG_ACCEPTCLIENT = 3,
  NETMSG_STATE = 4,
  NETMSG_TOUCHREQUEST = 5,
  NETMSG_TOUCHCONFIRM = 6,
  NETMSG_WORLD = 7,
  NETMSG_SERVERQUIT = 8,
  NETMSG_KILLED = 9,
  NETMSG_FRAGS = 10,
  NETMSG_CLIENTQUIT = 11,
  NETMSG_RESPAWN = 12,
};
constexpr int kNetMsgTypes = 13;
constexpr int kNetRoster = 16;  // roster and frag-message entries
constexpr int kNetMsgNameSize = 64;  // player names
constexpr int kNetLevelNameSize = 128;
constexpr int kNetWorldBytes = 32;
constexpr int kNetMaxMessageSize = 1680;
constexpr char kNetProtocolTag[8] = "VOSKNET";
constexpr float kNetProtocolVersion = 0.13f;

// The byte count of each type.
extern const int NetMsg_Sizes[kNetMsgTypes];

// Every field of every type; a message uses the fields of its type.
struct NetMessage {
  int32_t type;
  float stamp;  // types 1..12
  // 0 Client
  char tag[8];
  float version;
  // 1 Server, 2 WantConnect (name, team), 3 AcceptClient (level, game type, roster)
  char playerName[kNetMsgNameSize];
  char levelName[kNetLevelNameSize];
  int32_t maxPlayers, players, gameType;
  int32_t team;
  int32_t count;  // roster (3) and frag (10) entries
  uint32_t ids[kNetRoster];
  int32_t teams[kNetRoster];
  float origins[kNetRoster][3];
  float anglesList[kNetRoster][3];
  char names[kNetRoster][kNetMsgNameSize];
  // 4 player state (origin and angles also of 12 Respawn)
  float clock;
  float origin[3], angles[3];
  int32_t shot;
  float shotOrigin[3], shotAngles[3];
  int32_t weapon, shotWord, state;
  // 5, 6 touch
  int32_t object;
  // 7 world state
  uint8_t world[kNetWorldBytes];
  // 9 Killed
  uint32_t victim, killer;
  // 10 frags
  int32_t frags[kNetRoster];
  int32_t flagState[2];
  uint32_t flagCarrier[2];
  float flagPos[2][3];
  int32_t teamScore[2];
};

// Why a datagram was refused.
enum NetMsgRefusal : int32_t {
  NETREF_NONE = 0,
  NETREF_UNKNOWN_TYPE,
  NETREF_SHORT,
  NETREF_COUNT,
  NETREF_TEAM,
  NETREF_NONFINITE,
  NETREF_LEVEL_NAME,
  NETREF_SENDER,  // set by the handler: a message from a peer that may not send it
  NETREF_KINDS
};
extern const char* const NetMsg_RefusalText[NETREF_KINDS];

// Writes the message of msg.type into out (room for kNetMaxMessageSize). Returns its size, 0 for
// an unknown type. Texts are cut to their slot less one byte and always end in a NUL.
int NetMsg_Encode(const NetMessage& msg, uint8_t* out);
// Reads a datagram into msg: its type, stamp and every field of its type (the fields of other
// types keep what they held). Extra bytes past the type's size are ignored. Returns NETREF_NONE
// or why the datagram is refused; texts always end in a NUL.
NetMsgRefusal NetMsg_Decode(const uint8_t* data, int length, NetMessage* msg);
// A level name a peer may ask to load: letters, digits, "_", "-", space and "\\" between parts.
bool NetMsg_LevelNameOk(const char* name);

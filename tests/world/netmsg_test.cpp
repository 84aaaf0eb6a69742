// The message codec: sizes, fields at their offsets, texts bounded by their slots, and the
// refusals of damaged datagrams.
#include <gtest/gtest.h>

#include <cmath>
#include <cstring>
#include <string>

#include "world/netmsg.h"

namespace {

uint32_t U32At(const uint8_t* b, int at) {
  return uint32_t(b[at]) | uint32_t(b[at + 1]) << 8 | uint32_t(b[at + 2]) << 16 | uint32_t(b[at + 3]) << 24;
}
float F32At(const uint8_t* b, int at) {
  uint32_t u = U32At(b, at);
  float f;
  std::memcpy(&f, &u, 4);
  return f;
}

}  // namespace

TEST(NetMsg, SizesOffsetsRoundTripTextsAndDamagedDatagrams) {
  const int sizes[kNetMsgTypes] = {16, 212, 76, 1680, 76, 12, 12, 40, 8, 16, 188, 8, 32};
  for (int type = 0; type < kNetMsgTypes; type++) {
    NetMessage m{};
    m.type = type;
    m.stamp = 12.5f;
    std::memcpy(m.tag, kNetProtocolTag, 8);
    m.version = kNetProtocolVersion;
    std::strcpy(m.playerName, "Wren");
    std::strcpy(m.levelName, "arenas\\yard");
    m.maxPlayers = 16, m.players = 3, m.gameType = 2, m.team = 1, m.count = 16;
    for (int i = 0; i < kNetRoster; i++) {
      m.ids[i] = 0x0100007Fu + i;
      m.teams[i] = i & 1;
      m.origins[i][2] = float(i);
      m.anglesList[i][1] = float(-i);
      m.frags[i] = 100 + i;
      std::snprintf(m.names[i], kNetMsgNameSize, "p%i", i);
    }
    m.clock = 3.0f, m.origin[1] = 7.0f, m.angles[2] = 0.5f, m.shot = 1, m.shotOrigin[0] = 9.0f;
    m.shotAngles[2] = 1.5f, m.weapon = 4, m.shotWord = 77, m.state = 2, m.object = 31;
    m.world[31] = 2, m.victim = 11, m.killer = 22;
    m.flagState[1] = 2, m.flagCarrier[0] = 33, m.flagPos[1][2] = 64.0f, m.teamScore[1] = 5;
    uint8_t bytes[kNetMaxMessageSize + 8];
    std::memset(bytes, 0xEE, sizeof bytes);
    ASSERT_EQ(NetMsg_Encode(m, bytes), sizes[type]) << type;
    EXPECT_EQ(bytes[sizes[type]], 0xEE) << type;  // nothing written past the message
    EXPECT_EQ(bytes[0], type);
    if (type > 0) {
      EXPECT_EQ(F32At(bytes, 4), 12.5f) << type;
    }
    if (type == NETMSG_STATE) {
      EXPECT_EQ(F32At(bytes, 16), 7.0f);
      EXPECT_EQ(U32At(bytes, 64), 4u);
    }
    if (type == NETMSG_ACCEPTCLIENT) {
      EXPECT_STREQ(reinterpret_cast<char*>(bytes + 656 + 15 * 64), "p15");
    }
    NetMessage back;
    // Extra bytes past the type's size are ignored.
    ASSERT_EQ(NetMsg_Decode(bytes, sizes[type] + 4, &back), NETREF_NONE) << type;
    uint8_t again[kNetMaxMessageSize];
    ASSERT_EQ(NetMsg_Encode(back, again), sizes[type]);
    EXPECT_EQ(std::memcmp(bytes, again, sizes[type]), 0) << type;
  }
  // Texts fill their slots and end in a NUL.
  NetMessage m{};
  m.type = NETMSG_SERVER;
  std::memset(m.playerName, 'a', sizeof m.playerName);  // not terminated
  std::memset(m.levelName, 'b', sizeof m.levelName - 1);
  uint8_t bytes[kNetMaxMessageSize];
  NetMsg_Encode(m, bytes);
  EXPECT_EQ(bytes[8 + 62], 'a');
  EXPECT_EQ(bytes[8 + 63], 0);
  EXPECT_EQ(bytes[72 + 126], 'b');
  EXPECT_EQ(bytes[72 + 127], 0);
  std::memset(bytes + 8, 'c', 64 + 128);  // both slots without a NUL on the wire
  NetMessage back;
  ASSERT_EQ(NetMsg_Decode(bytes, 212, &back), NETREF_NONE);
  EXPECT_EQ(std::strlen(back.playerName), 63u);
  EXPECT_EQ(std::strlen(back.levelName), 127u);
  // Damaged datagrams are refused.
  auto make = [](int type, auto edit) {
    NetMessage m{};
    m.type = type;
    std::strcpy(m.levelName, "yard");
    m.count = 1;
    edit(m);
    std::string bytes(kNetMaxMessageSize, '\0');
    bytes.resize(NetMsg_Encode(m, reinterpret_cast<uint8_t*>(bytes.data())));
    return bytes;
  };
  struct Case {
    std::string bytes;
    NetMsgRefusal why;
  };
  std::string shortState = make(NETMSG_STATE, [](NetMessage&) {});
  shortState.pop_back();
  const Case cases[] = {
      {std::string("\x0d", 1), NETREF_UNKNOWN_TYPE},
      {shortState, NETREF_SHORT},
      {make(NETMSG_ACCEPTCLIENT, [](NetMessage& m) { m.count = 17; }), NETREF_COUNT},
      {make(NETMSG_WANTCONNECT, [](NetMessage& m) { m.team = 2; }), NETREF_TEAM},
      {make(NETMSG_ACCEPTCLIENT, [](NetMessage& m) { m.teams[0] = -1; }), NETREF_TEAM},
      {make(NETMSG_STATE, [](NetMessage& m) { m.origin[1] = NAN; }), NETREF_NONFINITE},
      {make(NETMSG_ACCEPTCLIENT, [](NetMessage& m) { std::strcpy(m.levelName, "..\\x"); }), NETREF_LEVEL_NAME},
      {make(NETMSG_ACCEPTCLIENT, [](NetMessage& m) { m.levelName[0] = 0; }), NETREF_LEVEL_NAME},
      {make(NETMSG_ACCEPTCLIENT, [](NetMessage& m) { std::strcpy(m.levelName, "arenas\\big yard-2_b"); }),
       NETREF_NONE},
  };
  for (const Case& c : cases) {
    NetMessage decoded;
    EXPECT_EQ(NetMsg_Decode(reinterpret_cast<const uint8_t*>(c.bytes.data()), int(c.bytes.size()), &decoded), c.why)
        << int(uint8_t(c.bytes[0])) << " " << c.bytes.size();
  }
}


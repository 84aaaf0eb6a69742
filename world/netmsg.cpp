#include "world/netmsg.h"

#include <cmath>
#include <cstring>

const int NetMsg_Sizes[kNetMsgTypes] = {16, 212, 76, 1680, 76, 12, 12, 40, 8, 16, 188, 8, 32};

const char* const NetMsg_RefusalText[NETREF_KINDS] = {
    "", "unknown type", "short datagram", "bad count", "bad team", "non-finite number", "bad level name",
    "wrong sender"};

namespace {

// The datagram's bytes with offset-addressed little-endian fields. Writes and reads stay inside
// `size` (the type's size); callers never pass an offset past it.
struct Wire {
  uint8_t* w;
  const uint8_t* r;
  int size;
  bool finite = true;

  void U32(int at, uint32_t v) {
    if (at + 4 > size) return;
    for (int i = 0; i < 4; i++) w[at + i] = uint8_t(v >> (8 * i));
  }
  void F32(int at, float f) {
    uint32_t u;
    std::memcpy(&u, &f, 4);
    U32(at, u);
  }
  void F32s(int at, const float* f, int n) {
    for (int i = 0; i < n; i++) F32(at + 4 * i, f[i]);
  }
  void U32s(int at, const uint32_t* v, int n) {
    for (int i = 0; i < n; i++) U32(at + 4 * i, v[i]);
  }
  void I32s(int at, const int32_t* v, int n) {
    for (int i = 0; i < n; i++) U32(at + 4 * i, uint32_t(v[i]));
  }
  void Text(int at, const char* s, int slot) {
    if (at + slot > size) return;
    size_t len = strnlen(s, slot - 1);
    std::memcpy(w + at, s, len);
    std::memset(w + at + len, 0, slot - len);
  }

  uint32_t GetU32(int at) const {
    if (at + 4 > size) return 0;
    return uint32_t(r[at]) | uint32_t(r[at + 1]) << 8 | uint32_t(r[at + 2]) << 16 | uint32_t(r[at + 3]) << 24;
  }
  int32_t GetI32(int at) const { return int32_t(GetU32(at)); }
  float GetF32(int at) {
    uint32_t u = GetU32(at);
    float f;
    std::memcpy(&f, &u, 4);
    if (!std::isfinite(f)) finite = false;
    return f;
  }
  void GetF32s(int at, float* f, int n) {
    for (int i = 0; i < n; i++) f[i] = GetF32(at + 4 * i);
  }
  void GetU32s(int at, uint32_t* v, int n) const {
    for (int i = 0; i < n; i++) v[i] = GetU32(at + 4 * i);
  }
  void GetI32s(int at, int32_t* v, int n) const {
    for (int i = 0; i < n; i++) v[i] = GetI32(at + 4 * i);
  }
  void GetText(int at, char* out, int slot) const {
    if (at + slot > size) return;
    std::memcpy(out, r + at, slot);
    out[slot - 1] = 0;
  }
};

// One description of every layout serves both directions.
template <bool kWrite, typename M>
void Layout(Wire& b, M& m) {
  auto u32 = [&](int at, auto& v) {
    if constexpr (kWrite) b.U32(at, uint32_t(v)); else v = decltype(+v)(b.GetU32(at));
  };
  auto f32 = [&](int at, auto& v) {
    if constexpr (kWrite) b.F32(at, v); else v = b.GetF32(at);
  };
  auto f32s = [&](int at, auto* v, int n) {
    if constexpr (kWrite) b.F32s(at, v, n); else b.GetF32s(at, v, n);
  };
  auto u32s = [&](int at, auto* v, int n) {
    if constexpr (kWrite) b.U32s(at, v, n); else b.GetU32s(at, v, n);
  };
  auto i32s = [&](int at, auto* v, int n) {
    if constexpr (kWrite) b.I32s(at, v, n); else b.GetI32s(at, v, n);
  };
  auto text = [&](int at, auto* s, int slot) {
    if constexpr (kWrite) b.Text(at, s, slot); else b.GetText(at, s, slot);
  };
  if (m.type == NETMSG_CLIENT) {
    text(1, m.tag, 8);
    f32(12, m.version);
    return;
  }
  f32(4, m.stamp);
  switch (m.type) {
    case NETMSG_SERVER:
      text(8, m.playerName, kNetMsgNameSize);
      text(72, m.levelName, kNetLevelNameSize);
      u32(200, m.maxPlayers);
      u32(204, m.players);
      u32(208, m.gameType);
      break;
    case NETMSG_WANTCONNECT:
      text(8, m.playerName, kNetMsgNameSize);
      u32(72, m.team);
      break;
    case NETMSG_ACCEPTCLIENT:
      text(8, m.levelName, kNetLevelNameSize);
      u32(136, m.gameType);
      u32(140, m.count);
      u32s(144, m.ids, kNetRoster);
      i32s(208, m.teams, kNetRoster);
      f32s(272, &m.origins[0][0], kNetRoster * 3);
      f32s(464, &m.anglesList[0][0], kNetRoster * 3);
      for (int i = 0; i < kNetRoster; i++) text(656 + kNetMsgNameSize * i, m.names[i], kNetMsgNameSize);
      break;
    case NETMSG_STATE:
      f32(8, m.clock);
      f32s(12, m.origin, 3);
      f32s(24, m.angles, 3);
      u32(36, m.shot);
      f32s(40, m.shotOrigin, 3);
      f32s(52, m.shotAngles, 3);
      u32(64, m.weapon);
      u32(68, m.shotWord);
      u32(72, m.state);
      break;
    case NETMSG_TOUCHREQUEST:
    case NETMSG_TOUCHCONFIRM:
      u32(8, m.object);
      break;
    case NETMSG_WORLD:
      if constexpr (kWrite) std::memcpy(b.w + 8, m.world, kNetWorldBytes);
      else std::memcpy(m.world, b.r + 8, kNetWorldBytes);
      break;
    case NETMSG_KILLED:
      u32(8, m.victim);
      u32(12, m.killer);
      break;
    case NETMSG_FRAGS:
      u32(8, m.count);
      u32s(12, m.ids, kNetRoster);
      i32s(76, m.frags, kNetRoster);
      i32s(140, m.flagState, 2);
      u32s(148, m.flagCarrier, 2);
      f32s(156, &m.flagPos[0][0], 6);
      i32s(180, m.teamScore, 2);
      break;
    case NETMSG_RESPAWN:
      f32s(8, m.origin, 3);
      f32s(20, m.angles, 3);
      break;
    default:  // 8 ServerQuit, 11 ClientQuit: the stamp only
      break;
  }
}

bool NameChar(char c) {
  return (c >= 'a' && c <= 'z') || (c >= 'A' && c <= 'Z') || (c >= '0' && c <= '9') || c == '_' || c == '-' ||
         c == ' ';
}

}  // namespace

int NetMsg_Encode(const NetMessage& msg, uint8_t* out) {
  if (msg.type < 0 || msg.type >= kNetMsgTypes) return 0;
  int size = NetMsg_Sizes[msg.type];
  std::memset(out, 0, size);
  out[0] = uint8_t(msg.type);
  Wire b{out, nullptr, size};
  Layout<true>(b, msg);
  return size;
}

bool NetMsg_LevelNameOk(const char* name) {
  if (!name[0]) return false;
  char prev = '\\';
  for (const char* p = name; *p; p++) {
    if (*p == '\\') {
      if (prev == '\\') return false;  // no empty part, no leading separator
    } else if (!NameChar(*p)) {
      return false;
    }
    prev = *p;
  }
  return prev != '\\';
}

NetMsgRefusal NetMsg_Decode(const uint8_t* data, int length, NetMessage* msg) {
  // Only the fields of the type are written: clearing the whole record costs more than the
  // handling of a small message.
  msg->type = 0;
  msg->stamp = 0;
  if (!data || length <= 0) return NETREF_SHORT;
  int type = data[0];
  if (type >= kNetMsgTypes) return NETREF_UNKNOWN_TYPE;
  msg->type = type;
  int size = NetMsg_Sizes[type];
  if (length < size) return NETREF_SHORT;
  Wire b{nullptr, data, size};
  Layout<false>(b, *msg);
  if (!b.finite) return NETREF_NONFINITE;
  if ((type == NETMSG_ACCEPTCLIENT || type == NETMSG_FRAGS) && (msg->count < 0 || msg->count > kNetRoster))
    return NETREF_COUNT;
  if (type == NETMSG_WANTCONNECT && (msg->team < 0 || msg->team > 1)) return NETREF_TEAM;
  if (type == NETMSG_ACCEPTCLIENT) {
    for (int i = 0; i < msg->count; i++)
      if (msg->teams[i] < 0 || msg->teams[i] > 1) return NETREF_TEAM;
    if (!NetMsg_LevelNameOk(msg->levelName)) return NETREF_LEVEL_NAME;
  }
  return NETREF_NONE;
}

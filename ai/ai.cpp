// The AI's world step: characters walk over the navigation areas and along the car lanes,
// engage the player when hurt or when they see it, form teams; and the AI block of saved games.
#include <algorithm>
#include <cmath>
#include <cstdio>
#include <cstring>
#include <strings.h>

#include "ai/bot.h"
#include "foundation/bytereader.h"
#include "foundation/file.h"
#include "foundation/log.h"
#include "foundation/random.h"
#include "foundation/var.h"
#include "world/game.h"
#include "world/object.h"
#include "world/tick.h"
#include "world/trace.h"

namespace {

struct AiTeam {
  char name[kObjTeamNameSize];
  std::vector<GameObject*> members;
};

struct AiWorld {
  int32_t setUp;          // the level's AI runs
  int32_t resetRequested;  // the next step drops every memory
  int32_t dmRespawns;
  AiTeam teams[kAiTeams];
  int32_t teamCount;
  int32_t playerTeam;  // row, -1 none
  int32_t fullLogged;  // the table's being full was logged in this run
};
AiWorld g_ai = {0, 0, 0, {}, 0, -1, 0};

// `BotState::team` of a character whose team found no row: it is not tried again in this run.
constexpr int32_t kNoTeamRow = -1;

VarRecord ai_dmrespawns = {"ai_dmrespawns", 0, VAR_NUMERIC | VAR_SETTABLE, 0.0f, "0", 0, nullptr};
VarRecord* g_dmSetting = &ai_dmrespawns;

constexpr uint32_t kBlockMark = 0x4B424941;  // "AIBK"
constexpr uint32_t kBlockVersion = 2;
constexpr size_t kBlockHeader = 16;                          // mark, version, respawns, count
constexpr size_t kBlockRecordV1 = 4 + 4 + 4 + 24 + 4 + 4 + kBotScriptSize;  // per character
constexpr size_t kBlockRecord = kBlockRecordV1 + 11 * 4;
constexpr size_t kBlockLimit = 64u << 20;

uint32_t CheckWord(const uint8_t* bytes, size_t size) {
  uint32_t h = 2166136261u;
  for (size_t i = 0; i < size; i++) h = (h ^ bytes[i]) * 16777619u;
  return h;
}

bool HasBot(const GameObject* o) { return o->bot.setUp != 0; }

// ---- teams ----------------------------------------------------------------------------------

int Team_Find(const char* name) {
  for (int t = 0; t < g_ai.teamCount; t++)
    if (strcasecmp(g_ai.teams[t].name, name) == 0) return t;
  return -1;
}

// The player's own team when it names none.
constexpr const char* kPlayerTeam = "player";

const char* TeamNameOf(const GameObject* o) {
  if (!std::memchr(o->teamName, 0, sizeof o->teamName)) return "";
  return o == Obj_Player && !o->teamName[0] ? kPlayerTeam : o->teamName;
}

// Puts the object in the team of its name (made when new); nothing for an empty name.
void Team_Join(GameObject* o) {
  if (!o || o->bot.team) return;
  const char* name = TeamNameOf(o);
  if (!name[0]) return;
  int t = Team_Find(name);
  if (t < 0) {
    if (g_ai.teamCount >= kAiTeams) {
      if (!g_ai.fullLogged)
        Log_Printf("ai_StartLevel: more than %d teams; [%s] and any further new team join none\n", kAiTeams, name);
      g_ai.fullLogged = 1;
      o->bot.team = kNoTeamRow;
      return;
    }
    t = g_ai.teamCount++;
    std::snprintf(g_ai.teams[t].name, sizeof g_ai.teams[t].name, "%s", name);
    g_ai.teams[t].members.clear();
  }
  g_ai.teams[t].members.push_back(o);
  o->bot.team = t + 1;
}

void Team_Leave(GameObject* o) {
  int t = o->bot.team - 1;
  o->bot.team = 0;
  if (t < 0 || t >= g_ai.teamCount) return;
  std::vector<GameObject*>& m = g_ai.teams[t].members;
  m.erase(std::remove(m.begin(), m.end(), o), m.end());
}

void Teams_Clear() {
  for (int t = 0; t < kAiTeams; t++) {
    g_ai.teams[t].members.clear();
    g_ai.teams[t].members.shrink_to_fit();
    g_ai.teams[t].name[0] = 0;
  }
  g_ai.teamCount = 0;
  g_ai.playerTeam = -1;
  g_ai.fullLogged = 0;
  for (GameObject* o = Obj_ListHead; o; o = o->next) o->bot.team = 0;
}

// Every character in the team of its name, and the player's row.
void Teams_Build() {
  Teams_Clear();
  for (GameObject* o = Obj_ListHead; o; o = o->next)
    if (o->classNum == NPC || o == Obj_Player) Team_Join(o);
  g_ai.playerTeam = Obj_Player && Obj_Player->bot.team > 0 ? Obj_Player->bot.team - 1 : -1;
}

// ---- geometry -------------------------------------------------------------------------------

float Dist2D(const vec3& a, const vec3& b) { return std::hypot(a.x - b.x, a.y - b.y); }
bool Finite(const vec3& v) { return std::isfinite(v.x) && std::isfinite(v.y) && std::isfinite(v.z); }

int32_t Across(const NavSegment& s, const NavEdge& e) { return e.side == 0 ? s.areaB : s.areaA; }
// The edge's ends in the order the street population's lanes use.
void EdgeEnds(const AreaSet& set, const NavEdge& e, vec3* first, vec3* second) {
  const NavSegment& s = set.segments[size_t(e.segment)];
  *first = set.vertices[size_t(e.side == 0 ? s.v1 : s.v0)];
  *second = set.vertices[size_t(e.side == 0 ? s.v0 : s.v1)];
}
vec3 Lerp(const vec3& a, const vec3& b, float t) {
  return vec3{a.x + (b.x - a.x) * t, a.y + (b.y - a.y) * t, a.z + (b.z - a.z) * t};
}
bool AreaIndex(const AreaSet& set, int a) { return a >= 0 && size_t(a) < set.areas.size(); }

// The area's portal edge whose segment passes within `tolerance` of the point (x and y), -1 none.
int PortalAt(const AreaSet& set, int area, const vec3& p, float tolerance) {
  const NavArea& ar = set.areas[size_t(area)];
  for (int e = 0; e < ar.edgeCount; e++) {
    int edge = ar.firstEdge + e;
    const NavEdge& ed = set.edges[size_t(edge)];
    if (Across(set.segments[size_t(ed.segment)], ed) < 0) continue;
    vec3 a, b;
    EdgeEnds(set, ed, &a, &b);
    double dx = double(b.x) - a.x, dy = double(b.y) - a.y, len2 = dx * dx + dy * dy;
    double t = len2 > 0 ? ((double(p.x) - a.x) * dx + (double(p.y) - a.y) * dy) / len2 : 0;
    t = t < 0 ? 0 : t > 1 ? 1 : t;
    if (std::hypot(a.x + t * dx - p.x, a.y + t * dy - p.y) <= tolerance) return edge;
  }
  return -1;
}

// The area whose centre lies nearest the point, -1 for an empty set.
int NearestArea(const AreaSet& set, const vec3& p) {
  int best = -1;
  float bestDist = 0;
  for (size_t a = 0; a < set.areas.size(); a++) {
    float d = Dist2D(set.areas[a].centre, p);
    if (best < 0 || d < bestDist) best = int(a), bestDist = d;
  }
  return best;
}

int RandomBelow(int count) {
  int i = int(Math_RandNext() * float(count));
  return i < 0 ? 0 : i >= count ? count - 1 : i;
}

// ---- walking --------------------------------------------------------------------------------

constexpr uint32_t kMoveMask = TRACE_ANIMS | TRACE_CHARACTERS | TRACE_STATE1;
constexpr uint32_t kSceneryMask = TRACE_ANIMS | TRACE_STATE1;  // the level and props, not characters
constexpr float kStepHeight = 18.0f;
constexpr float kGroundNormal = 0.7f;
constexpr float kRoomProbe = 200.0f;  // how far above a spot the room test starts
constexpr int kCrossingPoints = 7;    // places tried along a portal

// Nothing of the level or its props (people move on; with `mask` kMoveMask, people too) in the way
// of the character's box from one point to the other.
bool SceneryClear(GameObject* o, const vec3& from, const vec3& to, uint32_t mask = kSceneryMask) {
  TraceResult r;
  Obj_Trace(&r, o, &from, &o->mins, &o->maxs, &to, mask);
  return r.fraction >= 1.0f;
}

// Room for the character's box at the spot: nothing between high above it and a step above it
// (the ground and kerbs do not count).
bool RoomAt(GameObject* o, const vec3& spot) {
  return SceneryClear(o, vec3{spot.x, spot.y, spot.z + kRoomProbe}, vec3{spot.x, spot.y, spot.z + kStepHeight});
}

// A straight way for the character's box from where it stands to the spot, a step above the ground.
bool ClearWayTo(GameObject* o, const vec3& spot, uint32_t mask = kSceneryMask) {
  const float z = o->origin.z + kStepHeight;
  return SceneryClear(o, vec3{o->origin.x, o->origin.y, z}, vec3{spot.x, spot.y, z}, mask);
}

// Places to head for, ranked: 2 with room and a clear way there, 1 with room only, 0 neither. The
// goal a walker was held up on is not offered again, and after a hold-up a clear way is one that
// no one stands in either.
struct GoalChoice {
  vec3 spots[64 * kCrossingPoints];
  int ranks[64 * kCrossingPoints];
  int count = 0;
  const vec3* failed = nullptr;
  void Add(GameObject* o, const vec3& spot) {
    if (count >= int(sizeof spots / sizeof spots[0])) return;
    if (failed && Dist2D(*failed, spot) < 8.0f) return;
    spots[count] = spot;
    ranks[count++] = RoomAt(o, spot) ? (ClearWayTo(o, spot, failed ? kMoveMask : kSceneryMask) ? 2 : 1) : 0;
  }
  // A random one of the best rank of at least `least`; false when there is none.
  bool Pick(int least, vec3* out) const {
    int best = -1, n = 0;
    for (int i = 0; i < count; i++) best = std::max(best, ranks[i]);
    if (best < least) return false;
    for (int i = 0; i < count; i++) n += ranks[i] == best;
    int k = RandomBelow(n);
    for (int i = 0; i < count; i++)
      if (ranks[i] == best && k-- == 0) *out = spots[i];
    return true;
  }
};

// Places along a portal where the character's box fits between its ends, the middle first.
void AddCrossings(GameObject* o, const AreaSet& set, const NavEdge& e, GoalChoice* choice) {
  vec3 p0, p1;
  EdgeEnds(set, e, &p0, &p1);
  const float length = std::hypot(p1.x - p0.x, p1.y - p0.y);
  const float half = std::max(std::max(-o->mins.x, o->maxs.x), std::max(-o->mins.y, o->maxs.y)) + 1.0f;
  const float margin = length > 2 * half ? half / length : 0.5f;
  choice->Add(o, Lerp(p0, p1, 0.5f));
  if (margin >= 0.5f) return;
  for (int i = 0; i < kCrossingPoints; i++) {
    float t = margin + (1.0f - 2 * margin) * float(i) / float(kCrossingPoints - 1);
    if (std::fabs(t - 0.5f) > 1e-4f) choice->Add(o, Lerp(p0, p1, t));
  }
}

// Spots inside the area towards each of its corners, for a walker that turns about.
void AddInnerSpots(GameObject* o, const AreaSet& set, int area, GoalChoice* choice) {
  const NavArea& ar = set.areas[size_t(area)];
  for (int e = 0; e < ar.edgeCount && e < 64; e++) {
    vec3 p0, p1;
    EdgeEnds(set, set.edges[size_t(ar.firstEdge + e)], &p0, &p1);
    vec3 spot = Lerp(ar.centre, p0, 0.75f);
    if (ai_FindAreaAtPoint(&set, &spot.x, area) == area) choice->Add(o, spot);
  }
}

// The next goal of a walker that reached its goal: through a portal of its area into the next
// (not straight back to the area it came from), else to a spot inside its area; a car turns
// about at the end of its road. People cross a portal where their box fits, by preference where
// they see a clear way to it; one held up on its way to `failed` goes elsewhere: across where it
// sees a clear way, else about inside its area. A car held up on its way to `failed` leaves by
// another portal of its piece of road, which turns it about on a road.
void NextGoal(GameObject* o, const vec3* failed = nullptr) {
  BotState& b = o->bot;
  const bool car = b.walk == BOT_WALK_CAR;
  const AreaSet& set = Nav_Level.sets[car ? NAV_CARS : NAV_CIVILIAN];
  int32_t& area = car ? b.carArea : b.civilianArea;
  if (set.areas.empty()) {
    b.goals[0] = b.goals[1] = o->origin;
    return;
  }
  // The area it walks in changes only here; one it left otherwise (pushed, or running away) is
  // found again from where it stands.
  if (!AreaIndex(set, area) || PortalAt(set, area, b.goals[0], 4.0f) < 0) {
    int here = ai_FindAreaAtPoint(&set, &o->origin.x, AreaIndex(set, area) ? area : -1);
    if (here >= 0 || !AreaIndex(set, area)) area = here;
  }
  if (area < 0) {
    // Outside every area: back to the nearest one.
    int a = NearestArea(set, o->origin);
    b.goals[0] = b.goals[1] = set.areas[size_t(a)].centre;
    b.fromArea = -1;
    return;
  }
  // Arrived on a portal: it steps into the area across.
  int at = PortalAt(set, area, b.goals[0], 4.0f);
  if (at >= 0) {
    const NavEdge& e = set.edges[size_t(at)];
    b.fromArea = area;
    area = Across(set.segments[size_t(e.segment)], e);
  } else {
    b.fromArea = -1;
  }
  const NavArea& ar = set.areas[size_t(area)];
  const int blocked = car && failed ? PortalAt(set, area, *failed, 4.0f) : -1;
  int choices[64];
  int count = 0, back = -1;
  for (int e = 0; e < ar.edgeCount; e++) {
    const NavEdge& ed = set.edges[size_t(ar.firstEdge + e)];
    int32_t other = Across(set.segments[size_t(ed.segment)], ed);
    if (other < 0) continue;
    if (other == b.fromArea || ar.firstEdge + e == blocked) {
      back = ar.firstEdge + e;
      continue;
    }
    if (count < 64) choices[count++] = ar.firstEdge + e;
  }
  vec3 goal = ar.centre;
  if (car) {
    // Cars keep to the right-hand lane: 80 % along the portal they leave by.
    if (count > 0 || back >= 0) {
      vec3 p0, p1;
      EdgeEnds(set, set.edges[size_t(count > 0 ? choices[RandomBelow(count)] : back)], &p0, &p1);
      goal = Lerp(p0, p1, 0.8f);
    }
  } else {
    static GoalChoice choice;
    choice.count = 0;
    choice.failed = failed;
    for (int i = 0; i < count; i++) AddCrossings(o, set, set.edges[size_t(choices[i])], &choice);
    if (!choice.Pick(failed ? 2 : 0, &goal)) {
      // A dead end, or held up with no clear way across: a spot inside the area, then on.
      choice.count = 0;
      AddInnerSpots(o, set, area, &choice);
      if (!choice.Pick(0, &goal)) goal = ar.centre;
    }
  }
  goal.z += 2.0f;  // goals stand just above the areas, as the street population sets them
  b.goals[0] = b.goals[1] = goal;
  b.headwayAt = goal;
  b.headwayLeft = Dist2D(o->origin, goal);
}

// Moves the character by `dist` along the unit direction on x and y: across (up a step first
// when the way is blocked), sliding along what stops it, then down onto the ground. A move that
// finds no ground below is refused. Returns the share of the distance made (0..1).
float Bot_Move(GameObject* o, float dx, float dy, float dist) {
  if (!(dist > 0)) return 1.0f;
  const vec3 start = o->origin;
  TraceResult r;
  vec3 across{start.x + dx * dist, start.y + dy * dist, start.z};
  Obj_Trace(&r, o, &start, &o->mins, &o->maxs, &across, kMoveMask);
  float made = r.fraction;
  vec3 moved = r.end, normal = r.normal;
  if (made < 1.0f) {
    vec3 up{start.x, start.y, start.z + kStepHeight};
    Obj_Trace(&r, o, &start, &o->mins, &o->maxs, &up, kMoveMask);
    const vec3 raised = r.end;
    vec3 over{raised.x + dx * dist, raised.y + dy * dist, raised.z};
    Obj_Trace(&r, o, &raised, &o->mins, &o->maxs, &over, kMoveMask);
    if (r.fraction > made) {
      made = r.fraction;
      moved = r.end;
      normal = r.normal;
    }
  }
  if (made < 1.0f) {
    // Along the face that stopped it, with what is left of the step.
    float into = dx * normal.x + dy * normal.y;
    float sx = dx - normal.x * into, sy = dy - normal.y * into, slide = std::hypot(sx, sy);
    if (into < 0 && slide > 0.05f) {
      float rest = dist * (1.0f - made) * slide;
      vec3 along{moved.x + sx / slide * rest, moved.y + sy / slide * rest, moved.z};
      Obj_Trace(&r, o, &moved, &o->mins, &o->maxs, &along, kMoveMask);
      made += (1.0f - made) * slide * r.fraction;
      moved = r.end;
    }
  }
  vec3 down{moved.x, moved.y, moved.z - 2 * kStepHeight - 1.0f};
  Obj_Trace(&r, o, &moved, &o->mins, &o->maxs, &down, kMoveMask);
  if (r.fraction >= 1.0f || r.normal.z < kGroundNormal) return 0;
  o->prevOrigin = o->origin;
  o->origin = r.end;
  return made;
}

void FaceTowards(GameObject* o, float dx, float dy, float dt) {
  if (dx == 0 && dy == 0) return;
  float want = std::atan2(dx, dy), yaw = o->angles.x;
  float diff = std::remainder(want - yaw, 2 * kMathPi);
  const float turn = 8.0f * dt;  // radians a tick may turn
  yaw += diff > turn ? turn : diff < -turn ? -turn : diff;
  o->angles.x = std::remainder(yaw, 2 * kMathPi);
}

// Walks the character `dist` towards the point; on foot over the civilian areas a walker never
// steps out of the set (one already outside, led away or pushed, walks back in). Returns the
// share made.
float WalkTowards(GameObject* o, const vec3& to, float dist, float dt, bool keepToSet) {
  float dx = to.x - o->origin.x, dy = to.y - o->origin.y, len = std::hypot(dx, dy);
  if (!(len > 0)) return 1.0f;
  dx /= len, dy /= len;
  FaceTowards(o, dx, dy, dt);
  if (dist > len) dist = len;
  const vec3 before = o->origin;
  float made = Bot_Move(o, dx, dy, dist);
  BotState& b = o->bot;
  const bool car = b.walk == BOT_WALK_CAR;
  if (keepToSet && (b.walk == BOT_WALK_CIVILIAN || car)) {
    const AreaSet& set = Nav_Level.sets[car ? NAV_CARS : NAV_CIVILIAN];
    const int32_t area = car ? b.carArea : b.civilianArea;
    if (!set.areas.empty() && AreaIndex(set, area) && ai_FindAreaAtPoint(&set, &o->origin.x, area) < 0 &&
        ai_FindAreaAtPoint(&set, &before.x, area) >= 0) {
      o->origin = before;  // the step would leave the set
      return 0;
    }
  }
  return made;
}

// A clear line from the character's eye to the player's, through level and props only.
bool SeesPlayer(GameObject* o, const GameObject* player) {
  vec3 from{o->origin.x, o->origin.y, o->origin.z + o->maxs.z - 8.0f};
  vec3 to{player->origin.x, player->origin.y, player->origin.z + player->maxs.z - 8.0f};
  vec3 zero{0, 0, 0};
  TraceResult r;
  Obj_Trace(&r, o, &from, &zero, &zero, &to, TRACE_ANIMS | TRACE_STATE1);
  return r.fraction >= 1.0f;
}

bool InCone(const GameObject* o, float dx, float dy, float fov) {
  if (fov >= 360.0f) return true;
  float len = std::hypot(dx, dy);
  if (!(len > 0)) return true;
  float fx = std::sin(o->angles.x), fy = std::cos(o->angles.x);
  float c = (fx * dx + fy * dy) / len;
  return c >= std::cos(fov * 0.5f * kMathPi / 180.0f);
}

bool IsCivilian(const GameObject* o) {
  return !o->person.name[0] && !o->teamName[0] && !o->person.carIndex && !o->person.vehicleState;
}

void Engage(GameObject* o, GameObject* player) {
  BotState& b = o->bot;
  if (!b.engaged) b.fleeWay = 0;
  b.engaged = IsCivilian(o) ? BOT_ENGAGE_FLEE : BOT_ENGAGE_FOLLOW;
  b.target = player->id;
  b.lastSeen = float(Game_Time);
  b.blockedTime = 0;
  b.headwayAt = o->origin;
}

void Disengage(BotState& b) {
  b.engaged = BOT_ENGAGE_NONE;
  b.target = 0;
  b.fleeWay = 0;
  b.blockedTime = 0;
}

// Somewhere to run to over the civilian areas, away from the player: of the crossings and inner
// spots of its area (the one across, when it stands at its goal on a portal) that have room and
// lie beyond it as the player sees it, the farthest from the player. False when there is none.
bool FleeGoal(GameObject* o, const GameObject* player, vec3* out) {
  BotState& b = o->bot;
  const AreaSet& set = Nav_Level.sets[NAV_CIVILIAN];
  if (set.areas.empty()) return false;
  int area = ai_FindAreaAtPoint(&set, &o->origin.x, AreaIndex(set, b.civilianArea) ? b.civilianArea : -1);
  if (area < 0) return false;
  if (b.fleeWay && Dist2D(o->origin, b.goals[0]) <= 0.5f) {
    int at = PortalAt(set, area, b.goals[0], 4.0f);
    if (at >= 0) area = Across(set.segments[size_t(set.edges[size_t(at)].segment)], set.edges[size_t(at)]);
  }
  b.civilianArea = area;
  static GoalChoice choice;
  choice.count = 0;
  choice.failed = nullptr;
  const NavArea& ar = set.areas[size_t(area)];
  for (int e = 0; e < ar.edgeCount && e < 64; e++) {
    const NavEdge& ed = set.edges[size_t(ar.firstEdge + e)];
    if (Across(set.segments[size_t(ed.segment)], ed) >= 0) AddCrossings(o, set, ed, &choice);
  }
  AddInnerSpots(o, set, area, &choice);
  const float ax = o->origin.x - player->origin.x, ay = o->origin.y - player->origin.y;
  float best = 0;
  bool found = false;
  for (int i = 0; i < choice.count; i++) {
    const vec3& p = choice.spots[i];
    if (choice.ranks[i] < 1 || (p.x - o->origin.x) * ax + (p.y - o->origin.y) * ay <= 0) continue;
    float d = Dist2D(p, player->origin);
    if (!found || d > best) best = d, *out = p, found = true;
  }
  if (found) out->z += 2.0f;
  return found;
}

// A fleeing character's step: straight away from the player (along the pavement when cornered).
// Running on the spot, or to and fro, is being held up: it then runs over the areas to a spot away
// from the player, and when that too makes no headway, or it gets there with nowhere further to
// run, the flight ends and it walks on from where it stands.
void Bot_Flee(GameObject* o, GameObject* player, float dx, float dy, float dt) {
  BotState& b = o->bot;
  const float step = kBotRunSpeed * dt;
  if (b.fleeWay) {
    WalkTowards(o, b.goals[0], step, dt, true);
  } else {
    vec3 away{o->origin.x - dx, o->origin.y - dy, o->origin.z};
    if (WalkTowards(o, away, step, dt, true) < 0.05f) {
      // Cornered: along the pavement instead.
      vec3 side{o->origin.x + dy, o->origin.y - dx, o->origin.z};
      WalkTowards(o, side, step, dt, true);
    }
  }
  const bool arrived = b.fleeWay && Dist2D(o->origin, b.goals[0]) <= 0.5f;
  if (!arrived) {
    if (Dist2D(o->origin, b.headwayAt) > kBotFleeHeadway) {
      b.headwayAt = o->origin;
      b.blockedTime = 0;
      return;
    }
    b.blockedTime += dt;
    if (b.blockedTime <= kBotGiveUpTime) return;
  }
  b.blockedTime = 0;
  b.headwayAt = o->origin;
  vec3 goal;
  if ((!b.fleeWay || arrived) && FleeGoal(o, player, &goal)) {
    b.fleeWay = 1;
    b.goals[0] = b.goals[1] = goal;
    return;
  }
  Disengage(b);
  b.goals[0] = b.goals[1] = o->origin;
  b.fromArea = -1;
}

// One character's step.
void Bot_Step(GameObject* o, GameObject* player, float dt) {
  BotState& b = o->bot;
  PersonStats& ps = o->person;
  if (ps.state != 1) {
    if (b.engaged) Disengage(b);
    return;
  }
  const float dx = player->origin.x - o->origin.x, dy = player->origin.y - o->origin.y;
  const float dist = std::hypot(dx, dy);
  const bool playerAlive = player->person.state == 1;
  const float reach = b.detectDist;
  // Sight: a template that is hostile to a visible player engages it within its distance and
  // field of view (never its own team's player).
  if (!b.engaged && playerAlive && dist <= reach && !ps.vehicleState &&
      (b.aggression == BOT_AGGRESSIVE_VISIBLE || b.aggression == BOT_AGGRESSIVE_IN_ZONE) &&
      !(o->teamName[0] && !ai_IsHostile(o)) &&
      (b.aggression == BOT_AGGRESSIVE_IN_ZONE || (InCone(o, dx, dy, b.detectFov) && SeesPlayer(o, player))))
    Engage(o, player);
  if (b.engaged) {
    if (b.target != player->id || !playerAlive) {
      Disengage(b);
    } else {
      if (dist <= reach) b.lastSeen = float(Game_Time);
      if (float(Game_Time) - b.lastSeen > kBotForgetTime) Disengage(b);
    }
  }
  if (b.engaged == BOT_ENGAGE_FOLLOW) {
    if (dist > b.minDist) WalkTowards(o, player->origin, std::min(kBotRunSpeed * dt, dist - b.minDist), dt, false);
    else FaceTowards(o, dx / (dist > 0 ? dist : 1), dy / (dist > 0 ? dist : 1), dt);
    return;
  }
  if (b.engaged == BOT_ENGAGE_FLEE) {
    Bot_Flee(o, player, dx, dy, dt);
    return;
  }
  if (b.walk == BOT_WALK_NONE) return;
  if (!Finite(b.goals[0])) b.goals[0] = b.goals[1] = o->origin;
  if (b.walk == BOT_WALK_CIVILIAN || b.walk == BOT_WALK_CAR) {
    // A walker placed without its area (a new car) looks it up where it stands.
    const AreaSet& set = Nav_Level.sets[b.walk == BOT_WALK_CAR ? NAV_CARS : NAV_CIVILIAN];
    int32_t& area = b.walk == BOT_WALK_CAR ? b.carArea : b.civilianArea;
    if (!AreaIndex(set, area)) area = ai_FindAreaAtPoint(&set, &o->origin.x, -1);
  }
  const float speed = b.walk == BOT_WALK_CAR ? kBotCarSpeed : (b.aiFlags & BOT_RUN) ? kBotRunSpeed : kBotWalkSpeed;
  const float step = speed * dt;
  float left = Dist2D(o->origin, b.goals[0]);
  if (left <= 0.5f) {
    if (b.walk == BOT_WALK_POINTS) {
      if (b.aiFlags & BOT_PATROL) std::swap(b.goals[0], b.goals[1]);
      else b.walk = BOT_WALK_NONE;
      return;
    }
    NextGoal(o);
    left = Dist2D(o->origin, b.goals[0]);
    if (left <= 0.5f) return;
  }
  WalkTowards(o, b.goals[0], step, dt, true);
  // Headway is getting closer to the goal: a walker that slides to and fro, or not at all, is held
  // up however much it moves.
  left = Dist2D(o->origin, b.goals[0]);
  if (Dist2D(b.headwayAt, b.goals[0]) > 0.5f) {
    b.headwayAt = b.goals[0];  // a new goal
    b.headwayLeft = left;
    return;
  }
  if (left < b.headwayLeft - kBotHeadway) {
    b.headwayLeft = left;
    b.blockedTime = 0;
    return;
  }
  b.blockedTime += dt;
  if (b.blockedTime <= kBotGiveUpTime) return;
  // A car waits in its lane for people to move on, for a while; held up by something that does not
  // move (the level or a prop in its way), it turns about without waiting longer. People walk round.
  if (b.walk == BOT_WALK_CAR && b.blockedTime <= kBotCarPatience && ClearWayTo(o, b.goals[0])) return;
  b.blockedTime = 0;
  if (b.walk == BOT_WALK_POINTS) {
    std::swap(b.goals[0], b.goals[1]);
  } else {
    // Another way: it may lead back where it came from.
    const vec3 failed = b.goals[0];
    b.fromArea = -1;
    b.goals[0] = o->origin;
    NextGoal(o, &failed);
  }
}

}  // namespace

void ai_RegisterVars() { g_dmSetting = Var_Register(&ai_dmrespawns); }

int ai_IsSetUp() { return g_ai.setUp; }

void bot_Setup(GameObject* obj, const char* script) {
  if (!obj) return;
  BotState& b = obj->bot;
  const char* name = script && script[0] ? script : "*";
  if (std::strlen(name) >= sizeof b.script) {
    Log_Printf("bot_Setup: the script name \"%.32s...\" is too long; the default is used\n", name);
    name = "*";
  }
  uint32_t flags = b.acfFlags;
  int32_t team = b.team;
  b = BotState{};
  b.acfFlags = flags;
  b.team = team;
  b.setUp = 1;
  std::snprintf(b.script, sizeof b.script, "%s", name);
  b.goals[0] = b.goals[1] = obj->origin;
  b.civilianArea = ai_FindAreaAtPoint(&Nav_Level.sets[NAV_CIVILIAN], &obj->origin.x, -1);
  b.carArea = ai_FindAreaAtPoint(&Nav_Level.sets[NAV_CARS], &obj->origin.x, -1);
  b.fromArea = -1;
  b.aggression = BOT_AGGRESSIVE_SHOT;
  b.detectFov = 90.0f;
  b.detectDist = 1600.0f;
  b.minDist = kBotMinDistDefault;
  if (g_ai.setUp) Team_Join(obj);
}

int bot_SetTemplate(GameObject* obj, int32_t aggression, float detectFov, float detectDist, float minDist) {
  if (!obj) return 0;
  BotState& b = obj->bot;
  int ok = 1;
  if (aggression >= BOT_AGGRESSIVE_NONE && aggression <= BOT_AGGRESSIVE_IN_ZONE) {
    b.aggression = aggression;
  } else {
    Log_Printf("bot_SetTemplate: aggression trigger %d refused\n", aggression);
    ok = 0;
  }
  if (std::isfinite(detectFov) && detectFov > 0 && detectFov <= 360.0f) {
    b.detectFov = detectFov;
  } else {
    Log_Printf("bot_SetTemplate: a field of view of %g degrees refused\n", double(detectFov));
    ok = 0;
  }
  if (std::isfinite(detectDist) && detectDist >= 0 && detectDist <= 100000.0f) {
    b.detectDist = detectDist;
  } else {
    Log_Printf("bot_SetTemplate: a detection distance of %g refused\n", double(detectDist));
    ok = 0;
  }
  if (minDist == 0) {
    b.minDist = kBotMinDistDefault;
  } else if (std::isfinite(minDist) && minDist > 0 && minDist <= 10000.0f) {
    b.minDist = minDist;
  } else {
    Log_Printf("bot_SetTemplate: a minimum distance of %g refused\n", double(minDist));
    ok = 0;
  }
  return ok;
}

void bot_SetWalk(GameObject* obj, int32_t walk) {
  if (!obj) return;
  if (walk < BOT_WALK_NONE || walk >= kBotWalkKinds) {
    Log_Printf("bot_SetWalk: walking kind %d refused\n", walk);
    return;
  }
  obj->bot.walk = walk;
  obj->bot.blockedTime = 0;
  obj->bot.headwayAt = obj->bot.goals[0];
  obj->bot.headwayLeft = Dist2D(obj->origin, obj->bot.goals[0]);
}

void bot_Hurt(GameObject* obj, GameObject* attacker) {
  GameObject* player = Obj_Player;
  if (!obj || !attacker || !player || !g_ai.setUp || obj->person.state != 1) return;
  if (obj->person.carIndex || obj->person.vehicleState) return;  // a car does not turn on anyone
  bool byPlayer = attacker == player || (attacker->owner && attacker->owner == player->id);
  if (!byPlayer || obj == player) return;
  Engage(obj, player);
}

void ai_UnregisterObject(GameObject* obj) {
  if (!obj) return;
  Team_Leave(obj);
  obj->bot.setUp = 0;
}

void ai_StartLevel() {
  g_ai.setUp = 1;
  g_ai.dmRespawns = g_dmSetting && g_dmSetting->value != 0 ? 1 : 0;
  Teams_Build();
}

void ai_Tick() {
  if (g_ai.resetRequested) {
    g_ai.resetRequested = 0;
    for (GameObject* o = Obj_ListHead; o; o = o->next) {
      o->bot.engaged = 0;
      o->bot.target = 0;
    }
  }
  GameObject* player = Obj_Player;
  const float dt = float(Game_Step);
  if (!g_ai.setUp || !player || !(dt > 0)) return;
  // Characters made since the level started join their teams.
  for (int i = 0; i < Tick_NearList.count; i++) {
    GameObject* o = Tick_NearList.items[i];
    if (o->classNum != NPC || !(o->flags & OBJ_ACTIVE) || !o->bot.setUp) continue;
    if (!o->bot.team && o->teamName[0]) Team_Join(o);
    Bot_Step(o, player, dt);
  }
}

void ai_Invalidate() {
  g_ai.setUp = 0;
  Teams_Clear();
}
void ai_RequestFullReset() { g_ai.resetRequested = 1; }
int ai_GetDmRespawns() {
  if (g_ai.setUp) return g_ai.dmRespawns;
  return g_dmSetting && g_dmSetting->value != 0 ? 1 : 0;
}

int ai_TeamCount() { return g_ai.teamCount; }
const char* ai_TeamName(int team) { return team >= 0 && team < g_ai.teamCount ? g_ai.teams[team].name : nullptr; }
int ai_TeamMembers(int team, GameObject* const** members) {
  if (team < 0 || team >= g_ai.teamCount) {
    if (members) *members = nullptr;
    return 0;
  }
  if (members) *members = g_ai.teams[team].members.data();
  return int(g_ai.teams[team].members.size());
}
int ai_PlayerTeam() { return g_ai.playerTeam; }

bool ai_IsHostile(const GameObject* obj) {
  if (!obj || obj == Obj_Player) return false;
  const char* name = TeamNameOf(obj);
  if (!name[0]) return false;
  return !Obj_Player || strcasecmp(name, TeamNameOf(Obj_Player)) != 0;
}

void ai_KillAllEnemies() {
  // The members are gathered first: a Damage operation may change the teams.
  std::vector<GameObject*> victims;
  for (int t = 0; t < g_ai.teamCount; t++)
    for (GameObject* o : g_ai.teams[t].members) {
      if (o->classNum != NPC || !(o->flags & OBJ_ACTIVE) || o->person.state != 1) continue;
      if (o->person.carIndex || o->person.vehicleState || !ai_IsHostile(o)) continue;
      victims.push_back(o);
    }
  for (GameObject* o : victims) {
    float lethal = o->person.health > 0 ? o->person.health + 1.0f : 1.0f;
    o->slots.Damage(o, Obj_Player, lethal, 1.0f, &o->origin, 0, 0);
  }
}

std::vector<uint8_t> ai_BlockBytes() {
  ByteWriter w;
  uint32_t count = 0;
  for (GameObject* o = Obj_ListHead; o; o = o->next) count += HasBot(o);
  w.U32(kBlockMark);
  w.U32(kBlockVersion);
  w.I32(g_ai.dmRespawns);
  w.U32(count);
  for (GameObject* o = Obj_ListHead; o; o = o->next) {
    if (!HasBot(o)) continue;
    const BotState& b = o->bot;
    w.U32(o->id);
    w.I32(b.engaged);
    w.U32(b.acfFlags);
    for (const vec3& g : b.goals) {
      w.F32(g.x);
      w.F32(g.y);
      w.F32(g.z);
    }
    w.I32(b.civilianArea);
    w.I32(b.carArea);
    w.Text(b.script, kBotScriptSize - 1);
    w.Zeros(1);
    w.I32(b.walk);
    w.U32(b.aiFlags);
    w.I32(b.fromArea);
    w.I32(b.aggression);
    w.F32(b.detectFov);
    w.F32(b.detectDist);
    w.F32(b.minDist);
    w.U32(b.target);
    w.F32(b.lastSeen);
    w.F32(b.blockedTime);
    w.Zeros(4);
  }
  w.U32(CheckWord(reinterpret_cast<const uint8_t*>(w.bytes.data()), w.bytes.size()));
  return std::vector<uint8_t>(w.bytes.begin(), w.bytes.end());
}

namespace {
struct LoadedBot {
  uint32_t id;
  BotState bot;
};

size_t RecordSize(uint32_t version) { return version == 1 ? kBlockRecordV1 : kBlockRecord; }

bool Finite(float v) { return std::isfinite(v); }

// Reads and checks a whole block (this version's, or the first one, whose records end after
// the script name). `known` tells whether an object id may be named; with `areaCounts`, every
// area must lie below the level's count of its set.
template <class Known>
int ParseBlock(const uint8_t* bytes, size_t size, Known known, const int32_t areaCounts[kNavSets],
               std::vector<LoadedBot>* out, uint32_t* respawnsOut, uint32_t* versionOut) {
  if (!bytes || size < kBlockHeader + 4) {
    Log_Printf("ai_LoadBlock: the AI block is cut short; nothing loaded\n");
    return 0;
  }
  ByteReader r(bytes, size - 4);
  ByteReader tail(bytes + size - 4, 4);
  if (tail.U32() != CheckWord(bytes, size - 4)) {
    Log_Printf("ai_LoadBlock: the AI block is damaged; nothing loaded\n");
    return 0;
  }
  uint32_t mark = r.U32(), version = r.U32(), respawns = r.U32(), count = r.U32();
  if (mark != kBlockMark || (version != kBlockVersion && version != 1)) {
    Log_Printf("ai_LoadBlock: not an AI block of version 1 or %u; nothing loaded\n", kBlockVersion);
    return 0;
  }
  const size_t record = RecordSize(version);
  if (count != r.Left() / record || r.Left() % record) {
    Log_Printf("ai_LoadBlock: %u characters do not fill the block; nothing loaded\n", count);
    return 0;
  }
  out->reserve(count);
  for (uint32_t i = 0; i < count; i++) {
    uint32_t id = r.U32();
    if (!known(id)) {
      Log_Printf("ai_LoadBlock: no object %u for its AI record; nothing loaded\n", id);
      return 0;
    }
    BotState b{};
    b.setUp = 1;
    b.engaged = r.I32();
    b.acfFlags = r.U32();
    for (vec3& g : b.goals) g = vec3{r.F32(), r.F32(), r.F32()};
    b.civilianArea = r.I32();
    b.carArea = r.I32();
    r.Take(b.script, sizeof b.script);
    if (std::memchr(b.script, 0, sizeof b.script) == nullptr) {
      Log_Printf("ai_LoadBlock: an unterminated script name; nothing loaded\n");
      return 0;
    }
    b.fromArea = -1;
    b.aggression = BOT_AGGRESSIVE_SHOT;
    b.detectFov = 90.0f;
    b.detectDist = 1600.0f;
    b.minDist = kBotMinDistDefault;
    if (version >= 2) {
      b.walk = r.I32();
      b.aiFlags = r.U32();
      b.fromArea = r.I32();
      b.aggression = r.I32();
      b.detectFov = r.F32();
      b.detectDist = r.F32();
      b.minDist = r.F32();
      b.target = r.U32();
      b.lastSeen = r.F32();
      b.blockedTime = r.F32();
      r.Skip(4);
    }
    if (b.walk < 0 || b.walk >= kBotWalkKinds || (b.aiFlags & ~kBotFlagsKnown) || b.aggression < 0 ||
        b.aggression > BOT_AGGRESSIVE_IN_ZONE) {
      Log_Printf("ai_LoadBlock: object %u has an unknown AI state; nothing loaded\n", id);
      return 0;
    }
    bool numbers = Finite(b.detectFov) && b.detectFov > 0 && b.detectFov <= 360 && Finite(b.detectDist) &&
                   b.detectDist >= 0 && Finite(b.minDist) && b.minDist > 0 && Finite(b.lastSeen) &&
                   Finite(b.blockedTime);
    for (const vec3& g : b.goals) numbers = numbers && Finite(g.x) && Finite(g.y) && Finite(g.z);
    if (!numbers) {
      Log_Printf("ai_LoadBlock: object %u has numbers out of range; nothing loaded\n", id);
      return 0;
    }
    if (b.target && !known(b.target)) {
      Log_Printf("ai_LoadBlock: object %u was engaged with object %u, which is gone; it is not\n", id, b.target);
      b.target = 0;
    }
    if (areaCounts && (b.civilianArea < -1 || b.civilianArea >= areaCounts[NAV_CIVILIAN] || b.carArea < -1 ||
                       b.carArea >= areaCounts[NAV_CARS] || b.fromArea < -1 ||
                       b.fromArea >= std::max(areaCounts[NAV_CIVILIAN], areaCounts[NAV_CARS]))) {
      Log_Printf("ai_LoadBlock: an area the level does not have; nothing loaded\n");
      return 0;
    }
    out->push_back(LoadedBot{id, b});
  }
  *respawnsOut = respawns;
  *versionOut = version;
  return r.ok ? 1 : 0;
}
}  // namespace

uint32_t ai_BlockVersion(const uint8_t* bytes, size_t size) {
  if (!bytes || size < 8) return 0;
  ByteReader r(bytes + 4, 4);
  return r.U32();
}

size_t ai_BlockLength(const uint8_t* bytes, size_t size) {
  if (!bytes || size < kBlockHeader) return 0;
  ByteReader r(bytes + 4, 12);
  uint32_t version = r.U32();
  r.U32();
  uint64_t count = r.U32();
  uint64_t length = kBlockHeader + count * RecordSize(version) + 4;
  return length <= size ? size_t(length) : 0;
}

int ai_CheckBlock(const uint8_t* bytes, size_t size, const uint32_t* ids, size_t idCount,
                  const int32_t areaCounts[kNavSets]) {
  std::vector<uint32_t> sorted(ids, ids + idCount);
  std::sort(sorted.begin(), sorted.end());
  std::vector<LoadedBot> loaded;
  uint32_t respawns = 0, version = 0;
  auto known = [&](uint32_t id) { return std::binary_search(sorted.begin(), sorted.end(), id); };
  return ParseBlock(bytes, size, known, areaCounts, &loaded, &respawns, &version);
}

int ai_ApplyBlock(const uint8_t* bytes, size_t size) {
  // Every record is read and its object found before anything is changed.
  std::vector<LoadedBot> loaded;
  uint32_t respawns = 0, version = 0;
  auto known = [](uint32_t id) { return Obj_FindById(id) != nullptr; };
  const int32_t counts[kNavSets] = {int32_t(Nav_Level.sets[NAV_CIVILIAN].areas.size()),
                                    int32_t(Nav_Level.sets[NAV_CARS].areas.size())};
  if (!ParseBlock(bytes, size, known, counts, &loaded, &respawns, &version)) return 0;
  Teams_Clear();
  for (GameObject* o = Obj_ListHead; o; o = o->next) o->bot.setUp = 0;
  for (const LoadedBot& l : loaded) {
    GameObject* o = Obj_FindById(l.id);
    uint32_t flags = o->bot.acfFlags;
    o->bot = l.bot;
    if (version == 1) o->bot.acfFlags = l.bot.acfFlags | flags;
  }
  if (version == 1) {
    // The first version carried only the player: the street's people and drivers walk on.
    for (GameObject* o = Obj_ListHead; o; o = o->next) {
      if (o->classNum != NPC || o->bot.setUp) continue;
      bot_Setup(o, "*");
      if (!o->person.name[0]) bot_SetWalk(o, o->person.vehicleState ? BOT_WALK_CAR : BOT_WALK_CIVILIAN);
    }
  }
  g_ai.dmRespawns = int32_t(respawns);
  g_ai.setUp = 1;
  Teams_Build();
  return 1;
}

int ai_SaveBlock(FileHandle* file) {
  if (!file) return 0;
  std::vector<uint8_t> bytes = ai_BlockBytes();
  if (File_Write(bytes.data(), 1, bytes.size(), file) != bytes.size()) {
    Log_Printf("ai_SaveBlock: the AI block was not written whole\n");
    return 0;
  }
  return 1;
}

int ai_LoadBlock(FileHandle* file) {
  if (!file) return 0;
  std::vector<uint8_t> bytes;
  uint8_t chunk[4096];
  for (;;) {
    size_t n = File_Read(chunk, 1, sizeof chunk, file);
    bytes.insert(bytes.end(), chunk, chunk + n);
    if (n < sizeof chunk) break;
    if (bytes.size() > kBlockLimit) {
      Log_Printf("ai_LoadBlock: the AI block is larger than %zu bytes; nothing loaded\n", kBlockLimit);
      return 0;
    }
  }
  return ai_ApplyBlock(bytes.data(), bytes.size());
}

#include "world/population.h"

#include <algorithm>
#include <cmath>
#include <cstdio>
#include <vector>

#include "ai/bot.h"
#include "foundation/log.h"
#include "foundation/random.h"
#include "world/entity.h"
#include "world/game.h"
#include "world/object.h"
#include "world/tick.h"
#include "world/trace.h"

namespace {

// What a set gives the step, prepared once per loaded level: the segments or lanes to cut with
// the ring, in visiting order, and a grid over them so that a tick looks only at those near the
// ring. The grid changes which items are looked at, never their order.
struct PopItem {
  vec3 p0, p1;  // an edge's segment (civilians) or a lane from start to end (cars)
  int32_t area;
};
struct PopIndex {
  uint32_t generation = 0;
  bool built = false;
  std::vector<PopItem> items;
  std::vector<int32_t> portalStart;  // per area (and one past the last) into portalMids
  std::vector<vec3> portalMids;      // civilians: the midpoints of each area's portals, edge order
  float x0 = 0, y0 = 0, cell = 256;
  int w = 0, h = 0;
  std::vector<int32_t> cellStart;  // w x h + 1 into cellItems
  std::vector<int32_t> cellItems;
  std::vector<float> cellZ;  // lowest and highest z of the cell's items
  float zlo = 0, zhi = 0;    // of all items
  std::vector<uint64_t> picked;  // one bit an item: those near the ring this tick
};
PopIndex g_index[kNavSets];

// An area whose edges, segments and vertices all lie inside the set.
bool Pop_AreaValid(const AreaSet& set, const NavArea& area) {
  if (area.firstEdge < 0 || area.edgeCount < 0 || size_t(area.firstEdge) + size_t(area.edgeCount) > set.edges.size())
    return false;
  for (int e = 0; e < area.edgeCount; e++) {
    const NavEdge& edge = set.edges[size_t(area.firstEdge + e)];
    if (edge.segment < 0 || size_t(edge.segment) >= set.segments.size() || (edge.side != 0 && edge.side != 1))
      return false;
    const NavSegment& s = set.segments[size_t(edge.segment)];
    if (s.v0 < 0 || s.v1 < 0 || size_t(s.v0) >= set.vertices.size() || size_t(s.v1) >= set.vertices.size())
      return false;
  }
  return true;
}

// The area across the edge (-1 none) and the edge's ends in the area's walking order.
int32_t Pop_Across(const NavSegment& s, const NavEdge& e) { return e.side == 0 ? s.areaB : s.areaA; }
void Pop_EdgeEnds(const AreaSet& set, const NavEdge& e, vec3* first, vec3* second) {
  const NavSegment& s = set.segments[size_t(e.segment)];
  *first = set.vertices[size_t(e.side == 0 ? s.v1 : s.v0)];
  *second = set.vertices[size_t(e.side == 0 ? s.v0 : s.v1)];
}

vec3 Pop_Mix(float a, const vec3& p, float b, const vec3& q) {
  return vec3{a * p.x + b * q.x, a * p.y + b * q.y, a * p.z + b * q.z};
}

void Pop_BuildItems(const AreaSet& set, int kind, PopIndex& ix) {
  ix.portalStart.assign(set.areas.size() + 1, 0);
  int refused = 0;
  for (size_t a = 0; a < set.areas.size(); a++) {
    ix.portalStart[a] = int32_t(ix.portalMids.size());
    const NavArea& area = set.areas[a];
    if (!Pop_AreaValid(set, area)) {
      refused++;
      continue;
    }
    vec3 ends[2][2];
    int portals = 0;
    for (int e = 0; e < area.edgeCount; e++) {
      const NavEdge& edge = set.edges[size_t(area.firstEdge + e)];
      const NavSegment& s = set.segments[size_t(edge.segment)];
      if (kind == NAV_CIVILIAN) ix.items.push_back(PopItem{set.vertices[size_t(s.v0)], set.vertices[size_t(s.v1)], int32_t(a)});
      if (Pop_Across(s, edge) == -1) continue;
      vec3 first, second;
      Pop_EdgeEnds(set, edge, &first, &second);
      if (kind == NAV_CIVILIAN)
        ix.portalMids.push_back(vec3{(first.x + second.x) * 0.5f, (first.y + second.y) * 0.5f, (first.z + second.z) * 0.5f});
      if (portals < 2) {
        ends[portals][0] = first;
        ends[portals][1] = second;
      }
      portals++;
    }
    // A piece of road between two others carries a lane each way, 20 % in from the portals' ends.
    if (kind == NAV_CARS && portals == 2) {
      const vec3 *A0 = &ends[0][0], *A1 = &ends[0][1], *B0 = &ends[1][0], *B1 = &ends[1][1];
      ix.items.push_back(PopItem{Pop_Mix(0.8f, *A0, 0.2f, *A1), Pop_Mix(0.2f, *B0, 0.8f, *B1), int32_t(a)});
      ix.items.push_back(PopItem{Pop_Mix(0.8f, *B0, 0.2f, *B1), Pop_Mix(0.2f, *A0, 0.8f, *A1), int32_t(a)});
    }
  }
  ix.portalStart[set.areas.size()] = int32_t(ix.portalMids.size());
  if (refused) Log_Printf("Pop_Update: %d areas with indices outside their set are left out\n", refused);
}

void Pop_BuildGrid(PopIndex& ix) {
  if (ix.items.empty()) return;
  float lo[2] = {ix.items[0].p0.x, ix.items[0].p0.y}, hi[2] = {lo[0], lo[1]};
  for (const PopItem& it : ix.items)
    for (const vec3* p : {&it.p0, &it.p1}) {
      lo[0] = std::min(lo[0], p->x), hi[0] = std::max(hi[0], p->x);
      lo[1] = std::min(lo[1], p->y), hi[1] = std::max(hi[1], p->y);
    }
  if (!(std::isfinite(lo[0]) && std::isfinite(lo[1]) && std::isfinite(hi[0]) && std::isfinite(hi[1]))) return;
  // Cells about as long as the items, so that a cell the ring crosses holds few it misses.
  double length = 0;
  for (const PopItem& it : ix.items) length += std::hypot(double(it.p1.x) - it.p0.x, double(it.p1.y) - it.p0.y);
  length /= double(ix.items.size());
  length *= 0.5;
  ix.cell = float(length < 32 ? 32 : length > 4096 ? 4096 : length);
  while ((double(hi[0]) - lo[0]) / ix.cell > 1024 || (double(hi[1]) - lo[1]) / ix.cell > 1024) ix.cell *= 2;
  ix.x0 = lo[0];
  ix.y0 = lo[1];
  ix.w = int((double(hi[0]) - lo[0]) / ix.cell) + 1;
  ix.h = int((double(hi[1]) - lo[1]) / ix.cell) + 1;
  auto cellOf = [&](float v, float origin, int count) {
    int c = int((double(v) - origin) / ix.cell);
    return c < 0 ? 0 : c >= count ? count - 1 : c;
  };
  // Two passes: count, then fill (each item in every cell its box covers).
  std::vector<int32_t> counts(size_t(ix.w) * ix.h + 1, 0);
  ix.cellZ.assign(size_t(ix.w) * ix.h * 2, 0);
  std::vector<uint8_t> used(size_t(ix.w) * ix.h, 0);
  for (int pass = 0; pass < 2; pass++) {
    for (size_t i = 0; i < ix.items.size(); i++) {
      const PopItem& it = ix.items[i];
      int cx0 = cellOf(std::min(it.p0.x, it.p1.x), ix.x0, ix.w), cx1 = cellOf(std::max(it.p0.x, it.p1.x), ix.x0, ix.w);
      int cy0 = cellOf(std::min(it.p0.y, it.p1.y), ix.y0, ix.h), cy1 = cellOf(std::max(it.p0.y, it.p1.y), ix.y0, ix.h);
      float zlo = std::min(it.p0.z, it.p1.z), zhi = std::max(it.p0.z, it.p1.z);
      for (int cy = cy0; cy <= cy1; cy++)
        for (int cx = cx0; cx <= cx1; cx++) {
          size_t c = size_t(cy) * ix.w + cx;
          if (pass == 0) {
            counts[c]++;
            float* z = &ix.cellZ[c * 2];
            z[0] = used[c] ? std::min(z[0], zlo) : zlo;
            z[1] = used[c] ? std::max(z[1], zhi) : zhi;
            used[c] = 1;
          } else {
            ix.cellItems[size_t(counts[c]++)] = int32_t(i);
          }
        }
    }
    if (pass == 0) {
      ix.cellStart.assign(counts.size(), 0);
      int32_t total = 0;
      for (size_t c = 0; c < counts.size(); c++) {
        ix.cellStart[c] = total;
        total += counts[c];
        counts[c] = ix.cellStart[c];
      }
      ix.cellItems.assign(size_t(total), 0);
    }
  }
  ix.picked.assign((ix.items.size() + 63) / 64, 0);
  ix.zlo = ix.zhi = ix.items[0].p0.z;
  for (const PopItem& it : ix.items) {
    ix.zlo = std::min({ix.zlo, it.p0.z, it.p1.z});
    ix.zhi = std::max({ix.zhi, it.p0.z, it.p1.z});
  }
}

PopIndex& Pop_Index(int kind) {
  PopIndex& ix = g_index[kind];
  if (!ix.built || ix.generation != Nav_Level.generation) {
    ix = PopIndex{};
    ix.generation = Nav_Level.generation;
    ix.built = true;
    Pop_BuildItems(Nav_Level.sets[kind], kind, ix);
    Pop_BuildGrid(ix);
  }
  return ix;
}

// Marks the items of the cells the ring may cross; returns the range of words marked
// (first > last when none).
void Pop_MarkItemsNearRing(PopIndex& ix, const vec3& c, size_t* first, size_t* last) {
  *first = ix.picked.size();
  *last = 0;
  if (!ix.w) return;
  // One unit either side of the ring keeps every crossing the solver can find.
  const double rIn = kPopRingRadius - 1.0, rOut = kPopRingRadius + 1.0;
  // Rows of cells across the ring; in each, the cells of the ring's outer span less those lying
  // wholly inside its inner circle (wherever their items stand in z).
  double lo = std::floor((c.y - rOut - ix.y0) / ix.cell), hi = std::floor((c.y + rOut - ix.y0) / ix.cell);
  int cy0 = lo < 0 ? 0 : lo >= ix.h ? ix.h : int(lo), cy1 = hi < 0 ? -1 : hi >= ix.h ? ix.h - 1 : int(hi);
  const double zFar = std::max(std::fabs(double(ix.zlo) - c.z), std::fabs(double(ix.zhi) - c.z));
  auto column = [&](double x) {
    double v = std::floor((x - ix.x0) / ix.cell);
    return v < 0 ? -1 : v >= ix.w ? ix.w : int(v);
  };
  for (int cy = cy0; cy <= cy1; cy++) {
    double y0 = ix.y0 + double(cy) * ix.cell, y1 = y0 + ix.cell;
    double ny = c.y < y0 ? y0 - c.y : c.y > y1 ? c.y - y1 : 0, fy = std::max(std::fabs(c.y - y0), std::fabs(c.y - y1));
    if (ny > rOut) continue;
    double half = std::sqrt(rOut * rOut - ny * ny);
    int xa = std::max(column(c.x - half), 0), xb = std::min(column(c.x + half), ix.w - 1);
    // Columns wholly inside: from the first whose left side and to the last whose right side lie
    // within the inner span.
    int ha = xb + 1, hb = xb;
    double inner2 = rIn * rIn - fy * fy - zFar * zFar;
    if (inner2 > 0) {
      double inner = std::sqrt(inner2);
      ha = column(c.x - inner) + 1;
      hb = column(c.x + inner) - 1;
    }
    for (int cx = xa; cx <= xb; cx++) {
      if (cx >= ha && cx <= hb) {
        cx = hb;
        continue;
      }
      size_t cell = size_t(cy) * ix.w + cx;
      if (ix.cellStart[cell] == ix.cellStart[cell + 1]) continue;
      double x0 = ix.x0 + double(cx) * ix.cell, x1 = x0 + ix.cell;
      double nx = c.x < x0 ? x0 - c.x : c.x > x1 ? c.x - x1 : 0, fx = std::max(std::fabs(c.x - x0), std::fabs(c.x - x1));
      double zlo = ix.cellZ[cell * 2], zhi = ix.cellZ[cell * 2 + 1];
      double nz = c.z < zlo ? zlo - c.z : c.z > zhi ? c.z - zhi : 0, fz = std::max(std::fabs(c.z - zlo), std::fabs(c.z - zhi));
      if (nx * nx + ny * ny + nz * nz > rOut * rOut || fx * fx + fy * fy + fz * fz < rIn * rIn) continue;
      for (int32_t k = ix.cellStart[cell]; k < ix.cellStart[cell + 1]; k++) {
        size_t item = size_t(ix.cellItems[size_t(k)]), word = item / 64;
        ix.picked[word] |= uint64_t(1) << (item % 64);
        *first = std::min(*first, word);
        *last = std::max(*last, word);
      }
    }
  }
}

// The active near objects bucketed by clearance-sized cells around the player, so that a spot
// asks only the nine cells about it.
struct NearBuckets {
  double x0 = 0, y0 = 0, cell = 1;
  int n = 0;
  std::vector<int32_t> start;
  std::vector<const GameObject*> objects;

  void Build(const vec3& c, double clearance, GameObject* const* near, int count) {
    // A spot lies within the ring radius (plus the raise) of the player; objects beyond the
    // clearance from that box cannot be close to one.
    double reach = kPopRingRadius + kPopCivilianRaise + 8 + clearance;
    cell = clearance;
    x0 = c.x - reach;
    y0 = c.y - reach;
    n = int(std::ceil(2 * reach / cell)) + 1;
    start.assign(size_t(n) * n + 1, 0);
    objects.resize(size_t(count > 0 ? count : 0));
    auto slot = [&](const GameObject* o) -> int {
      if (!(o->flags & OBJ_ACTIVE)) return -1;
      double fx = std::floor((o->origin.x - x0) / cell), fy = std::floor((o->origin.y - y0) / cell);
      if (!(fx >= 0 && fx < n && fy >= 0 && fy < n)) return -1;  // also NaN
      return int(fy) * n + int(fx);
    };
    for (int i = 0; i < count; i++) {
      int s = slot(near[i]);
      if (s >= 0) start[size_t(s) + 1]++;
    }
    for (size_t s = 1; s < start.size(); s++) start[s] += start[s - 1];
    std::vector<int32_t>& fill = scratch;
    fill.assign(start.begin(), start.end() - 1);
    for (int i = 0; i < count; i++) {
      int s = slot(near[i]);
      if (s >= 0) objects[size_t(fill[size_t(s)]++)] = near[i];
    }
  }
  bool Blocked(const vec3& p, double clearance) const {
    int cx = int(std::floor((p.x - x0) / cell)), cy = int(std::floor((p.y - y0) / cell));
    for (int y = std::max(cy - 1, 0); y <= std::min(cy + 1, n - 1); y++)
      for (int x = std::max(cx - 1, 0); x <= std::min(cx + 1, n - 1); x++) {
        size_t s = size_t(y) * n + x;
        for (int32_t k = start[s]; k < start[s + 1]; k++) {
          const GameObject* o = objects[size_t(k)];
          double dx = double(o->origin.x) - p.x, dy = double(o->origin.y) - p.y, dz = double(o->origin.z) - p.z;
          if (dx * dx + dy * dy + dz * dz < clearance * clearance) return true;
        }
      }
    return false;
  }
  std::vector<int32_t> scratch;
};
NearBuckets g_near;

// One unit from the spot towards the area's centre.
vec3 Pop_Inward(const vec3& p, const vec3& centre) {
  vec3 d, out;
  Vec_Subtract(&centre, &p, &d);
  Vec_Normalize(&d);
  Vec_Add(&p, &d, &out);
  return out;
}

// (a - p) . (b - p) on x and y.
bool Pop_Towards(const vec3& p, const vec3& a, const vec3& b) {
  return (double(a.x) - p.x) * (double(b.x) - p.x) + (double(a.y) - p.y) * (double(b.y) - p.y) > 0;
}

// The candidates of one segment or lane, appended to out[count..]; returns the new count.
int Pop_ItemCandidates(const AreaSet& set, const PopIndex& ix, const PopItem& it, bool civilians, const vec3& c,
                       double clearance, PopCandidate* out, int count) {
  float t[2];
  int roots = Math_SegmentSphere(&it.p0, &it.p1, &c, kPopRingRadius, t);
  for (int r = 0; r < roots; r++) {
    vec3 p{it.p0.x + t[r] * (it.p1.x - it.p0.x), it.p0.y + t[r] * (it.p1.y - it.p0.y),
           it.p0.z + t[r] * (it.p1.z - it.p0.z)};
    if (civilians) p.z += kPopCivilianRaise;
    if (g_near.Blocked(p, clearance)) continue;
    const vec3& centre = set.areas[size_t(it.area)].centre;
    if (civilians) {
      for (int32_t m = ix.portalStart[size_t(it.area)]; m < ix.portalStart[size_t(it.area) + 1]; m++) {
        const vec3& mid = ix.portalMids[size_t(m)];
        if (!Pop_Towards(p, c, mid)) continue;
        out[count++] = PopCandidate{Pop_Inward(p, centre), mid};
        if (count == kPopCandidates) return count;
      }
    } else if (Pop_Towards(p, it.p1, c)) {
      out[count++] = PopCandidate{Pop_Inward(p, centre), it.p1};
      if (count == kPopCandidates) return count;
    }
  }
  return count;
}

int Pop_RandomIndex(int count) {
  int i = int(Math_RandNext() * float(count));
  return i < 0 ? 0 : i > count - 1 ? count - 1 : i;
}

// Loads the template (".scn" added); the object it made, or null when it made none.
GameObject* Pop_LoadTemplate(const char* name) {
  char file[kNavTemplateSize + 8];
  std::snprintf(file, sizeof file, "%s.scn", name);
  uint32_t before = Obj_LastId();
  LoadObjects(file);
  if (Obj_LastId() == before) return nullptr;
  GameObject* made = nullptr;
  for (GameObject* o = Obj_ListHead; o; o = o->next)
    if (!made || o->id > made->id) made = o;
  return made;
}

// A random template of the list loaded; null when the list is empty or the template made nothing.
GameObject* Pop_LoadRandom(int list) {
  int count = std::min(Nav_Level.templateCounts[list], kNavTemplates);
  return count > 0 ? Pop_LoadTemplate(Nav_Level.templates[list][Pop_RandomIndex(count)]) : nullptr;
}

// Heading for the target, set down on the ground below the spot, and one of the near objects.
void Pop_Place(GameObject* o, const vec3* position, const vec3* target) {
  o->origin = vec3{position->x, position->y, position->z + 2.0f};
  o->angles = vec3{0, 0, 0};
  o->bot.goals[0] = o->bot.goals[1] = vec3{target->x, target->y, target->z + 2.0f};
}

// A passer-by appears with its whole box over its pavement, not in the wall the pavement meets:
// pushed in, a few units at a time, from each side of its box that sticks out of the civilian set
// (towards the area's centre when only a corner does).
void Pop_FitBox(GameObject* o, int area) {
  const AreaSet& set = Nav_Level.sets[NAV_CIVILIAN];
  if (area < 0 || size_t(area) >= set.areas.size()) return;
  constexpr float kNudge = 4.0f;
  auto out = [&](float x, float y) {
    const float p[3] = {o->origin.x + x, o->origin.y + y, o->origin.z};
    return ai_FindAreaAtPoint(&set, p, area) < 0;
  };
  const float x0 = o->mins.x - 1, x1 = o->maxs.x + 1, y0 = o->mins.y - 1, y1 = o->maxs.y + 1;
  for (int i = 0; i < 32; i++) {
    float dx = (out(x0, 0) ? kNudge : 0) - (out(x1, 0) ? kNudge : 0);
    float dy = (out(0, y0) ? kNudge : 0) - (out(0, y1) ? kNudge : 0);
    if (dx == 0 && dy == 0) {
      if (!out(x0, y0) && !out(x1, y0) && !out(x0, y1) && !out(x1, y1)) return;
      const vec3 centre = set.areas[size_t(area)].centre;
      const float cx = centre.x - o->origin.x, cy = centre.y - o->origin.y, d = std::hypot(cx, cy);
      if (!(d > kNudge)) return;
      dx = cx / d * kNudge;
      dy = cy / d * kNudge;
    }
    o->origin.x += dx;
    o->origin.y += dy;
  }
}

void Pop_Ground(GameObject* o) {
  vec3 start{o->origin.x, o->origin.y, o->origin.z + kPopGroundProbe};
  vec3 end{o->origin.x, o->origin.y, o->origin.z - kPopGroundProbe};
  TraceResult tr;
  Obj_Trace(&tr, o, &start, &o->mins, &o->maxs, &end, kPopGroundMask);
  float f = tr.fraction;
  o->origin = vec3{start.x + f * (end.x - start.x), start.y + f * (end.y - start.y), start.z + f * (end.z - start.z)};
  o->prevOrigin = o->origin;
  for (vec3& h : o->history) h = o->origin;
  if (Tick_NearList.count < kPopNearLimit && Tick_NearList.count < Tick_NearList.capacity)
    Tick_NearList.items[Tick_NearList.count++] = o;
}

}  // namespace

bool Pop_IsDay(double clock) {
  double d = clock / 60.0;
  double frac = d - std::floor(d);
  return frac > 0 && frac < 0.5;
}

static bool Pop_NightList(double clock) {
  return !Pop_IsDay(clock) && Nav_Level.templateCounts[NAV_TEMPLATE_NIGHT] > 0 && Nav_Level.caps[2] != 0;
}

int Pop_CivilianCap(double clock) { return Pop_NightList(clock) ? Nav_Level.caps[2] : Nav_Level.caps[1]; }

int Pop_Candidates(int setKind, const vec3* player, GameObject* const* near, int nearCount, PopCandidate* out) {
  if (setKind != NAV_CIVILIAN && setKind != NAV_CARS) return 0;
  if (!player || !out || !std::isfinite(player->x) || !std::isfinite(player->y) || !std::isfinite(player->z)) return 0;
  const AreaSet& set = Nav_Level.sets[setKind];
  PopIndex& ix = Pop_Index(setKind);
  const bool civilians = setKind == NAV_CIVILIAN;
  const double clearance = civilians ? kPopCivilianClearance : kPopCarClearance;
  const vec3 c = *player;
  g_near.Build(c, clearance, near, near ? nearCount : 0);
  size_t first, last;
  Pop_MarkItemsNearRing(ix, c, &first, &last);
  int count = 0;
  // Items in visiting order: word by word, bit by bit; each word is cleared as it is taken.
  for (size_t word = first; word <= last && word < ix.picked.size(); word++) {
    uint64_t bits = ix.picked[word];
    ix.picked[word] = 0;
    for (; bits && count < kPopCandidates; bits &= bits - 1) {
      const PopItem& it = ix.items[word * 64 + size_t(__builtin_ctzll(bits))];
      count = Pop_ItemCandidates(set, ix, it, civilians, c, clearance, out, count);
    }
  }
  return count;
}

void Pop_Update() {
  GameObject* player = Obj_Player;
  if (!player || Game_NetMode != 0) return;
  static PopCandidate table[kPopCandidates];
  const vec3 at = player->origin;
  if (!Nav_Level.sets[NAV_CIVILIAN].areas.empty() && Tick_CiviliansNear < Pop_CivilianCap(player->person.clock)) {
    int n = Pop_Candidates(NAV_CIVILIAN, &at, Tick_NearList.items, Tick_NearList.count, table);
    if (n > 0) {
      const PopCandidate& pick = table[Pop_RandomIndex(n)];
      Pop_SpawnCivilian(&pick.position, &pick.target);
    }
  }
  if (Obj_Player && !Nav_Level.sets[NAV_CARS].areas.empty() && Tick_CarsNear < Nav_Level.caps[0]) {
    int n = Pop_Candidates(NAV_CARS, &at, Tick_NearList.items, Tick_NearList.count, table);
    if (n > 0) {
      const PopCandidate& pick = table[Pop_RandomIndex(n)];
      Pop_SpawnCar(&pick.position, &pick.target);
    }
  }
}

void Pop_SpawnCivilian(const vec3* position, const vec3* target) {
  if (!Obj_Player || !position || !target) return;
  GameObject* o = Pop_LoadRandom(Pop_NightList(Obj_Player->person.clock) ? NAV_TEMPLATE_NIGHT : NAV_TEMPLATE_DAY);
  if (!o) return;
  Pop_Place(o, position, target);
  o->person.speedFrame *= 0.75f + 0.5f * Math_RandNext();
  o->person.animTime += (1.0f - 2.0f * Math_RandNext()) * 0.1f;
  o->bot.civilianArea = ai_FindAreaAtPoint(&Nav_Level.sets[NAV_CIVILIAN], &o->origin.x, -1);
  o->bot.fromArea = -1;
  Pop_FitBox(o, o->bot.civilianArea);
  bot_SetWalk(o, BOT_WALK_CIVILIAN);
  Pop_Ground(o);
}

void Pop_SpawnCar(const vec3* position, const vec3* target) {
  if (!Obj_Player || !position || !target) return;
  GameObject* o = Pop_LoadRandom(NAV_TEMPLATE_CARS);
  if (!o) return;
  Pop_Place(o, position, target);
  o->bot.carArea = -1;
  o->bot.fromArea = -1;
  bot_SetWalk(o, BOT_WALK_CAR);
  Pop_Ground(o);
}

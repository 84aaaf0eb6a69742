// The ".nav" file: navigation areas, the population's templates and caps, and the street props.
#include <cmath>
#include <cstdio>
#include <cstdlib>
#include <cstring>
#include <memory>
#include <string>
#include <unordered_map>

#include "ai/bot.h"
#include "foundation/file.h"
#include "foundation/log.h"
#include "foundation/mem.h"
#include "foundation/partoken.h"

StreetPropGrid Props_Grid;
NavLevel Nav_Level;
AreaSet* ai_CivilianAreas;

namespace {

constexpr int kNavMaxGrid = 4096;       // cells along a side
constexpr int kNavMaxItems = 1 << 20;   // vertices, areas or props in one file
constexpr int kNavMaxAreaVertices = 256;

// What a file gives before it is checked and built.
struct NavParse {
  std::vector<vec3> vertices[kNavSets];
  std::vector<std::vector<int32_t>> polygons[kNavSets];
  std::vector<std::string> kinds;
  std::vector<StreetProp> props;
  bool haveGrid = false;
  float grid[4] = {0, 0, 0, 0};
  int set = NAV_CIVILIAN;
  bool refused = false;
};

// Whole numbers or decimals separated by blanks into out; the count read, -1 for a bad number.
int ReadNumbers(const char* token, double* out, int most) {
  const char* p = token;
  int n = 0;
  for (;;) {
    while (*p == ' ' || *p == '\t') p++;
    if (!*p) return n;
    if (n == most) return -1;
    char* end = nullptr;
    double v = std::strtod(p, &end);
    if (end == p || !std::isfinite(v) || (*end && *end != ' ' && *end != '\t')) return -1;
    out[n++] = v;
    p = end;
  }
}

bool IsIndex(double v, size_t count) { return v >= 0 && v < double(count) && v == std::floor(v); }

void Take(NavParse& st, NavLevel& out, const char* key, const char* value, const char* name) {
  double v[kNavMaxAreaVertices];
  auto numbers = [&](int want, int most) {
    int n = ReadNumbers(value, v, most);
    if (n < want) {
      Log_Printf("LoadAreas: %s: bad numbers for \"%s\": \"%.40s\"; skipped\n", name, key, value);
      return false;
    }
    return true;
  };
  auto name255 = [&](size_t size) {
    if (std::strlen(value) >= size || !value[0]) {
      Log_Printf("LoadAreas: %s: the name of \"%s\" is empty or too long; skipped\n", name, key);
      return false;
    }
    return true;
  };
  if (std::strcmp(key, "set") == 0) {
    if (std::strcmp(value, "civilian") == 0)
      st.set = NAV_CIVILIAN;
    else if (std::strcmp(value, "car") == 0)
      st.set = NAV_CARS;
    else
      Log_Printf("LoadAreas: %s: no area set \"%.40s\"; skipped\n", name, value);
  } else if (std::strcmp(key, "vertex") == 0) {
    if (!numbers(3, 3)) return;
    if (st.vertices[st.set].size() >= size_t(kNavMaxItems)) return void(st.refused = true);
    st.vertices[st.set].push_back(vec3{float(v[0]), float(v[1]), float(v[2])});
  } else if (std::strcmp(key, "area") == 0) {
    if (!numbers(3, kNavMaxAreaVertices)) return;
    int n = ReadNumbers(value, v, kNavMaxAreaVertices);
    std::vector<int32_t> polygon;
    for (int i = 0; i < n; i++) {
      if (!IsIndex(v[i], st.vertices[st.set].size())) {
        Log_Printf("LoadAreas: %s: area vertex %.0f is not a vertex of its set; the file is refused\n", name, v[i]);
        st.refused = true;
        return;
      }
      polygon.push_back(int32_t(v[i]));
    }
    if (st.polygons[st.set].size() >= size_t(kNavMaxItems)) return void(st.refused = true);
    st.polygons[st.set].push_back(std::move(polygon));
  } else if (std::strcmp(key, "cartemplate") == 0 || std::strcmp(key, "daytemplate") == 0 ||
             std::strcmp(key, "nighttemplate") == 0) {
    int list = key[0] == 'c' ? NAV_TEMPLATE_CARS : key[0] == 'd' ? NAV_TEMPLATE_DAY : NAV_TEMPLATE_NIGHT;
    if (!name255(kNavTemplateSize)) return;
    if (out.templateCounts[list] >= kNavTemplates) {
      Log_Printf("LoadAreas: %s: more than %d \"%s\" names; skipped\n", name, kNavTemplates, key);
      return;
    }
    std::snprintf(out.templates[list][out.templateCounts[list]++], kNavTemplateSize, "%s", value);
  } else if (std::strcmp(key, "caps") == 0) {
    if (!numbers(3, 3)) return;
    for (int i = 0; i < 3; i++) out.caps[i] = v[i] < 0 ? 0 : v[i] > 1e6 ? 1000000 : int32_t(v[i]);
  } else if (std::strcmp(key, "propkind") == 0) {
    if (!name255(kPropNameSize)) return;
    if (st.kinds.size() >= 4096) return void(st.refused = true);
    st.kinds.emplace_back(value);
  } else if (std::strcmp(key, "propgrid") == 0) {
    if (!numbers(4, 4)) return;
    if (!(v[2] >= 1 && v[2] <= kNavMaxGrid && v[3] >= 1 && v[3] <= kNavMaxGrid) || v[2] != std::floor(v[2]) ||
        v[3] != std::floor(v[3])) {
      Log_Printf("LoadAreas: %s: a prop grid of %.0f x %.0f cells; skipped\n", name, v[2], v[3]);
      return;
    }
    st.haveGrid = true;
    for (int i = 0; i < 4; i++) st.grid[i] = float(v[i]);
  } else if (std::strcmp(key, "prop") == 0) {
    if (!numbers(5, 5)) return;
    if (v[0] < 0 || v[0] != std::floor(v[0]) || v[0] > 1e6) {
      Log_Printf("LoadAreas: %s: prop kind %.0f; the file is refused\n", name, v[0]);
      st.refused = true;
      return;
    }
    if (st.props.size() >= size_t(kNavMaxItems)) return void(st.refused = true);
    st.props.push_back(StreetProp{float(v[1]), float(v[2]), float(v[3]), float(v[4]), nullptr, int32_t(v[0])});
  } else {
    Log_Printf("LoadAreas: %s: unknown key \"%s\"; skipped\n", name, key);
  }
}

// Segments shared by two areas become one segment with an area on each side.
void BuildSet(const std::vector<vec3>& vertices, const std::vector<std::vector<int32_t>>& polygons, AreaSet* out) {
  out->vertices = vertices;
  // Segments with one area so far, by their ends as that area walks them.
  std::unordered_map<uint64_t, int32_t> open;
  auto keyOf = [](int32_t a, int32_t b) { return uint64_t(uint32_t(a)) << 32 | uint32_t(b); };
  for (size_t a = 0; a < polygons.size(); a++) {
    const std::vector<int32_t>& poly = polygons[a];
    NavArea area{int32_t(out->edges.size()), int32_t(poly.size()), vec3{0, 0, 0}};
    for (size_t i = 0; i < poly.size(); i++) {
      int32_t v0 = poly[i], v1 = poly[(i + 1) % poly.size()];
      const vec3& p = vertices[size_t(v0)];
      area.centre.x += p.x / float(poly.size());
      area.centre.y += p.y / float(poly.size());
      area.centre.z += p.z / float(poly.size());
      auto shared = open.find(keyOf(v1, v0));
      if (shared != open.end()) {
        out->segments[size_t(shared->second)].areaB = int32_t(a);
        out->edges.push_back(NavEdge{shared->second, 1});
        open.erase(shared);
      } else {
        out->segments.push_back(NavSegment{v0, v1, int32_t(a), -1});
        out->edges.push_back(NavEdge{int32_t(out->segments.size() - 1), 0});
        open[keyOf(v0, v1)] = int32_t(out->segments.size() - 1);
      }
    }
    out->areas.push_back(area);
  }
}

}  // namespace

void Props_Free() {
  if (Props_Grid.cells) {
    for (int32_t i = 0; i < Props_Grid.width * Props_Grid.height; i++)
      for (StreetProp* p = Props_Grid.cells[i]; p;) {
        StreetProp* next = p->next;
        delete p;
        p = next;
      }
  }
  delete[] Props_Grid.cells;
  delete[] Props_Grid.kindNames;
  Props_Grid = StreetPropGrid{};
}

void ai_FreeAreas() {
  ai_CivilianAreas = nullptr;
  Nav_Level.generation++;
  for (AreaSet& set : Nav_Level.sets) set = AreaSet{};
  std::memset(Nav_Level.templates, 0, sizeof Nav_Level.templates);
  for (int32_t& c : Nav_Level.templateCounts) c = 0;
  for (int32_t& c : Nav_Level.caps) c = 0;
  Props_Free();
}

namespace {
// Reads a file's text into `st` and the templates and caps of `out`; false when it is refused.
bool Nav_Parse(const char* text, size_t size, const char* name, NavParse& st, NavLevel& out) {
  std::string source(text, strnlen(text, size));
  const char* rest = source.c_str();
  char key[64], value[kParTokenSize];
  while (rest && !st.refused) {
    if (!Par_NextBracketTokenTo(rest, &rest, key, sizeof key)) break;
    if (!rest || !Par_NextBracketTokenTo(rest, &rest, value, sizeof value)) {
      Log_Printf("LoadAreas: %s: \"%s\" has no value; skipped\n", name, key);
      break;
    }
    Take(st, out, key, value, name);
  }
  for (const StreetProp& p : st.props)
    if (size_t(p.kind) >= st.kinds.size()) {
      Log_Printf("LoadAreas: %s: prop kind %d of %zu kinds; the file is refused\n", name, p.kind, st.kinds.size());
      st.refused = true;
      break;
    }
  return !st.refused;
}
}  // namespace

int Nav_ReadText(const char* text, size_t size, const char* name) {
  ai_FreeAreas();
  if (!text) return 0;
  NavParse st;
  NavLevel& out = Nav_Level;
  if (!Nav_Parse(text, size, name, st, out)) {
    ai_FreeAreas();
    return 0;
  }
  for (int s = 0; s < kNavSets; s++) BuildSet(st.vertices[s], st.polygons[s], &out.sets[s]);
  if (!out.sets[NAV_CIVILIAN].areas.empty()) ai_CivilianAreas = &out.sets[NAV_CIVILIAN];
  if (st.haveGrid) {
    StreetPropGrid& g = Props_Grid;
    g.kindCount = int32_t(st.kinds.size());
    g.kindNames = new char[st.kinds.size() ? st.kinds.size() : 1][kPropNameSize]();
    for (size_t k = 0; k < st.kinds.size(); k++) std::snprintf(g.kindNames[k], kPropNameSize, "%s", st.kinds[k].c_str());
    g.originX = st.grid[0];
    g.originY = st.grid[1];
    g.width = int32_t(st.grid[2]);
    g.height = int32_t(st.grid[3]);
    g.cells = new StreetProp*[size_t(g.width) * size_t(g.height)]();
    for (const StreetProp& p : st.props) {
      double cx = std::floor((double(p.x) - g.originX) / kPropCellSize);
      double cy = std::floor((double(p.y) - g.originY) / kPropCellSize);
      if (!(cx >= 0 && cx < g.width && cy >= 0 && cy < g.height)) {
        Log_Printf("LoadAreas: %s: a prop at (%.0f, %.0f) lies outside the grid; skipped\n", name, double(p.x),
                   double(p.y));
        continue;
      }
      StreetProp*& head = g.cells[size_t(cy) * size_t(g.width) + size_t(cx)];
      head = new StreetProp{p.x, p.y, p.z, p.yaw, head, p.kind};
    }
  } else if (!st.props.empty()) {
    Log_Printf("LoadAreas: %s: props without a \"propgrid\"; skipped\n", name);
  }
  return 1;
}

int Nav_CountAreas(const char* path, int32_t counts[kNavSets]) {
  for (int s = 0; s < kNavSets; s++) counts[s] = 0;
  if (!path) return 0;
  char name[512];
  std::snprintf(name, sizeof name, "%s.nav", path);
  uint32_t size = 0;
  char* text = static_cast<char*>(File_LoadWhole(name, &size, "NAV"));
  if (!text) return 0;
  NavParse st;
  auto scratch = std::make_unique<NavLevel>();
  if (Nav_Parse(text, size, name, st, *scratch))
    for (int s = 0; s < kNavSets; s++) counts[s] = int32_t(st.polygons[s].size());
  Global_Free(text);
  return 1;
}

int LoadAreas(const char* path) {
  ai_FreeAreas();
  if (!path) return 0;
  char name[512];
  std::snprintf(name, sizeof name, "%s.nav", path);
  uint32_t size = 0;
  char* text = static_cast<char*>(File_LoadWhole(name, &size, "NAV"));
  if (!text) {
    Log_Printf("LoadAreas: no areas in %s\n", name);
    return 0;
  }
  int ok = Nav_ReadText(text, size, name);
  Global_Free(text);
  return ok;
}

int ai_FindAreaAtPoint(const AreaSet* set, const float pointXyz[3], int hint) {
  if (!set || !pointXyz) return -1;
  const vec3 at{pointXyz[0], pointXyz[1], pointXyz[2]};
  const vec3* point = &at;
  auto inside = [&](int a) {
    const NavArea& area = set->areas[size_t(a)];
    bool in = false;
    for (int e = 0; e < area.edgeCount; e++) {
      const NavSegment& seg = set->segments[size_t(set->edges[size_t(area.firstEdge + e)].segment)];
      // Each segment is measured from its lower end, so both areas of a shared segment see the
      // same crossing and a point on it falls into exactly one of them.
      vec3 a0 = set->vertices[size_t(seg.v0)], a1 = set->vertices[size_t(seg.v1)];
      if (a0.y > a1.y || (a0.y == a1.y && a0.x > a1.x)) std::swap(a0, a1);
      if ((a0.y > point->y) == (a1.y > point->y)) continue;
      double x = double(a0.x) + (double(point->y) - a0.y) * (double(a1.x) - a0.x) / (double(a1.y) - a0.y);
      if (double(point->x) < x) in = !in;
    }
    return in;
  };
  int count = int(set->areas.size());
  if (hint >= 0 && hint < count && inside(hint)) return hint;
  for (int a = 0; a < count; a++)
    if (a != hint && inside(a)) return a;
  return -1;
}

// Fuzz target: navigation files through the reader LoadAreas uses, then area look-ups at points of
// the input, which must stay inside what was built.
#include <cstring>
#include <string>

#include "ai/bot.h"
#include "fuzz.h"
#include "tools/nav_writer.h"

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, size_t size) {
  Nav_ReadText(reinterpret_cast<const char*>(data), size, "fuzz.nav");
  for (const AreaSet& set : Nav_Level.sets) {
    for (const NavEdge& e : set.edges)
      if (e.segment < 0 || size_t(e.segment) >= set.segments.size()) __builtin_trap();
    for (const NavSegment& s : set.segments)
      if (size_t(s.v0) >= set.vertices.size() || size_t(s.v1) >= set.vertices.size()) __builtin_trap();
    for (size_t i = 0; i + 8 <= size && i < 256; i += 8) {
      float p[3] = {0, 0, 0};
      std::memcpy(&p[0], data + i, 4);
      std::memcpy(&p[1], data + i + 4, 4);
      int a = ai_FindAreaAtPoint(&set, p, int(i) - 1);
      if (a < -1 || a >= int(set.areas.size())) __builtin_trap();
    }
    for (const NavArea& area : set.areas) {
      int a = ai_FindAreaAtPoint(&set, &area.centre.x, -1);
      if (a < -1 || a >= int(set.areas.size())) __builtin_trap();
    }
  }
  const StreetPropGrid& g = Props_Grid;
  for (int32_t i = 0; g.cells && i < g.width * g.height; i++)
    for (const StreetProp* p = g.cells[i]; p; p = p->next)
      if (p->kind < 0 || p->kind >= g.kindCount) __builtin_trap();
  return 0;
}

static std::vector<uint8_t> Bytes(const std::string& s) { return std::vector<uint8_t>(s.begin(), s.end()); }

void Fuzz_MakeSeeds(std::vector<std::vector<uint8_t>>& seeds) {
  seeds.push_back(Bytes(NavWriter_Text(NavWriter_SampleStreet())));
  NavWriterFile concave;
  concave.sets[0].vertices = {{0, 0, 0}, {10, 0, 0}, {10, 10, 0}, {5, 10, 0}, {5, 20, 0}, {0, 20, 0}, {20, 0, 0}, {20, 10, 0}};
  concave.sets[0].areas = {{0, 1, 2, 3, 4, 5}, {1, 6, 7, 2}};
  seeds.push_back(Bytes(NavWriter_Text(concave)));
  seeds.push_back(Bytes("[propgrid] [0 0 1 1][propkind] [a][prop] [0 1 1 1 1][prop] [0 -9999 1 1 1][area] [0 0 0]"));
}

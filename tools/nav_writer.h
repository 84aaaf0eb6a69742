// Writer of navigation files ("<level>.nav"): bracketed key and value pairs, read by LoadAreas.
//   [set] [civilian|car]      the set the following vertices and areas belong to
//   [vertex] [x y z]          the next vertex of the set (numbered from 0)
//   [area] [i j k ...]        an area: at least three vertex numbers of its set, in order around it
//   [cartemplate] [name], [daytemplate] [name], [nighttemplate] [name]   population templates
//   [caps] [cars day night]   population caps
//   [propkind] [model]        the next street prop kind (numbered from 0)
//   [propgrid] [x y w h]      the prop grid's corner and its size in 500-unit cells
//   [prop] [kind x y z yaw]   a street prop (yaw in radians)
#pragma once
#include <array>
#include <string>
#include <vector>

struct NavWriterSet {
  std::vector<std::array<float, 3>> vertices;
  std::vector<std::vector<int>> areas;
};
struct NavWriterProp {
  int kind;
  float x, y, z, yaw;  // yaw in radians
};
struct NavWriterFile {
  NavWriterSet sets[2];  // civilian, car
  std::vector<std::string> templates[3];  // cars, day, night
  int caps[3] = {0, 0, 0};
  std::vector<std::string> propKinds;
  bool haveGrid = false;
  float grid[4] = {0, 0, 0, 0};
  std::vector<NavWriterProp> props;
};

std::string NavWriter_Text(const NavWriterFile& file);
// Adds nx x ny rectangles of w x h from the corner (x0, y0) at height z, neighbours sharing their
// sides (and so their segments once loaded).
void NavWriter_AddGrid(NavWriterSet& set, float x0, float y0, float w, float h, int nx, int ny, float z);
// The sample street's areas: the two pavements (each two areas sharing a segment at x = 0) for
// passers-by, the road as a chain of pieces for cars, the population's templates and caps, and
// lamps and crates along the pavements.
NavWriterFile NavWriter_SampleStreet();

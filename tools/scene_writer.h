// Writers of the scene formats (".sk" skeletons, ".am" animations, ".hmp_cache" trees, the
// surface list) and triangle soups, for tests, fuzz seeds, benchmarks and the sample game.
#pragma once
#include <cstdint>
#include <string>
#include <vector>

#include "scene/tritree.h"

struct SceneToolBone {
  std::string name;
  std::string parent;  // empty or unmatched: a root
  float rotation[4] = {0, 0, 0, 1};
  float position[3] = {0, 0, 0};
};
// A ".sk" file: header words 0 and 1, the bone count the bones
// (`countOverride` stands in for it unless it is INT32_MIN) (names written in their 28 bytes, cut and unterminated when longer), the bind pose and the
// second pose array (a copy of the bind pose).
std::string SceneTool_SkBytes(const std::vector<SceneToolBone>& bones, uint32_t word0 = 0,
                              uint32_t word1 = 0, int32_t countOverride = INT32_MIN);

// A ".am" file. positions: (L + 1) keys, or (L + 1) x bones when allBones (bone-major);
// rotations: (L + 1) x bones quaternions (bone-major).
struct SceneToolAnim {
  int32_t boneCount = 1;
  int32_t lastFrame = 0;
  int32_t allBonesPositions = 0;
  uint32_t words[3] = {0, 0, 0};  // header words 0, 1 and 4
  std::vector<float> positions;   // three floats a key
  std::vector<float> rotations;   // four floats a key
};
std::string SceneTool_AmBytes(const SceneToolAnim& anim);

// A ".hmp_cache" from given nodes and indices (sound or not).
std::string SceneTool_HmpCacheBytes(int32_t triangleCount, const std::vector<TriTreeNode>& nodes,
                                    const std::vector<int32_t>& indices, const float boundsMin[3],
                                    const float boundsMax[3], uint32_t magic = 0x18181818u,
                                    uint32_t version = 2);

// "scripts\surfaces\list": one bracketed key and value per field.
struct SceneToolSurface {
  std::string id, step, shot, ricochetSound;
  float ricochet = 0, soft = 0, glass = 0;
};
std::string SceneTool_SurfaceList(const std::vector<SceneToolSurface>& surfaces);

// Triangle soups (surface word = a small number per triangle, object index 0).
// A grid of n x n cells of `cell` units with bumps, two triangles a cell.
std::vector<TriTreeTriangle> SceneTool_BumpyGrid(int n, float cell, uint32_t seed);
// `count` random triangles of up to `size` units inside a cube of `extent` units.
std::vector<TriTreeTriangle> SceneTool_RandomSoup(int count, float extent, float size, uint32_t seed);
// `rooms` closed boxes of `size` units in a row, each wall two triangles facing inward.
std::vector<TriTreeTriangle> SceneTool_ClosedRooms(int rooms, float size);
// A city block of about 100,000 triangles: a bumpy ground and tessellated buildings.
std::vector<TriTreeTriangle> SceneTool_CityBlock();

// Hostile levels for the triangle tree, where every triangle reaches every part of the level:
// a ".du" whose one surface repeats a 4,000-unit square's two triangles until it has `triangles`
// (four vertices, about 6 bytes a triangle), and a ".may" of `triangles` stacked 4,000-unit
// triangles (0, 0, z) (4000, 0, z) (0, 4000, z), z = 0.5 apart.
std::vector<uint8_t> SceneTool_OverlappingDu(int triangles);
std::vector<uint8_t> SceneTool_StackedMay(int triangles);

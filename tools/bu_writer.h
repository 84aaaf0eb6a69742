// Writer of BU model files (".bu") with the welded shadow-volume mesh, and builders of small
// models, for tests, fuzz seeds and the sample game.
#pragma once
#include <cstdint>
#include <string>
#include <vector>

struct BuToolVertex {
  float position[3] = {};
  float frame[9] = {1, 0, 0, 0, 1, 0, 0, 0, 1};
  struct {
    int32_t slot;  // into the object's bone list
    float weight;
  } influences[4] = {};
  float uv[4] = {};
};

struct BuToolObject {
  int32_t shader = 0;
  bool blendVertices = false;  // written as BuBlendVertex records
  std::vector<BuToolVertex> vertices;
  std::vector<uint16_t> indices;  // the triangles, three each
  std::vector<uint16_t> strips;   // non-empty: the object is drawn as this strip
  std::vector<int32_t> bones;     // the object's bone list, indices into the model's bones
};

struct BuToolShader {
  std::string name;
  std::string textures[4];  // 0 diffuse, 1 specular, 2 reflection cube, 3 normal map
};

struct BuToolBone {
  std::string name;
  // The bind transform as the file holds it: from the model's bind-pose space into the bone's own
  // (the inverse of the bone's bind pose), rows; a drawn bone is this followed by its pose.
  float bindRotation[9] = {1, 0, 0, 0, 1, 0, 0, 0, 1};
  float bindPosition[3] = {};
};

struct BuToolModel {
  std::string textureFolder;
  std::vector<BuToolShader> shaders;
  std::vector<BuToolBone> bones;
  std::vector<BuToolObject> objects;
};

// The shadow-volume mesh of the file.
struct BuToolVolume {
  std::vector<float> weights;     // 4 per reference: {w p, w}, p the bind-pose position
  std::vector<int32_t> refs;      // per volume vertex its bones, then -1; one more -1 at the end
  std::vector<uint32_t> indices;  // 3 per triangle of the objects, in their order
  std::vector<float> vertices;    // 4 per vertex: bind-pose position and 1
};

// Welds the objects' vertices by position: one volume vertex per distinct position (the first
// vertex there gives its bone references), the objects' triangles over them.
BuToolVolume BuTool_WeldVolume(const BuToolModel& model);
// The file's bytes with the given volume mesh. `boundaries`, when given, receives the end offset
// of every record and array.
std::vector<uint8_t> BuTool_Write(const BuToolModel& model, const BuToolVolume& volume,
                                  std::vector<size_t>* boundaries = nullptr);
// The same with the welded volume mesh.
std::vector<uint8_t> BuTool_Write(const BuToolModel& model);

struct SceneToolBone;
// Sets each bone's bind transform to the inverse of the model-space transform of the skeleton
// bone of the same name in the skeleton's bind pose (as the skeleton writer writes it); other
// bones keep theirs.
void BuTool_BindToSkeleton(BuToolModel& model, const std::vector<SceneToolBone>& skeleton);

// A rigid cube of side 2 x half centred on the origin: one object, 24 vertices (four per face),
// 12 triangles, no bones; one shader with the four textures.
BuToolModel BuTool_Cube(float half, const std::string& textureFolder, const std::string textures[4]);
// A rigid quad from (x0, y0) to (x1, y1) in the plane z = 0 facing +Z: one object of four vertices
// (corner i at x1 when i & 1, y1 when i & 2; texture pair 0 to 1 across it), two triangles.
BuToolModel BuTool_Quad(float x0, float y0, float x1, float y1, const std::string& textureFolder,
                        const std::string textures[4]);
// A skinned bar of two bones ("root" at the origin, "tip" bound at (0, 0, length / 2)) along +Z: the
// lower half a BuVertex object drawn as a strip, the upper half a BuBlendVertex object drawn as a
// list, sharing the edge at the middle, whose vertices the two bones share.
BuToolModel BuTool_Bar(float length, const std::string& textureFolder, const std::string textures[4]);

bool BuTool_Save(const std::string& path, const BuToolModel& model);

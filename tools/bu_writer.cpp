#include "tools/bu_writer.h"

#include <cstring>
#include <map>
#include <tuple>

#include "scene/skeleton.h"
#include "tools/image_writer.h"
#include "tools/model_bytes.h"
#include "tools/scene_writer.h"

namespace {

using Position = std::tuple<float, float, float>;

void Vertex(ByteWriter& o, const BuToolVertex& v, bool blend) {
  if (blend) o.Zeros(4);
  Bytes_Floats(o, v.position, 3);
  Bytes_Floats(o, v.frame, 9);
  o.Zeros(blend ? 724 : 4);
  for (const auto& in : v.influences) {
    o.I32(in.slot);
    o.F32(in.weight);
  }
  o.Zeros(32);
  Bytes_Floats(o, v.uv, 4);
  o.Zeros(20);
}

BuToolVertex MakeVertex(float x, float y, float z, float u, float v) {
  BuToolVertex out;
  out.position[0] = x;
  out.position[1] = y;
  out.position[2] = z;
  out.uv[0] = out.uv[2] = u;
  out.uv[1] = out.uv[3] = v;
  return out;
}

BuToolShader Shader(const std::string& name, const std::string textures[4]) {
  BuToolShader s;
  s.name = name;
  for (int i = 0; i < 4; ++i) s.textures[i] = textures[i];
  return s;
}

}  // namespace

BuToolVolume BuTool_WeldVolume(const BuToolModel& model) {
  BuToolVolume vol;
  std::map<Position, uint32_t> ids;
  for (const BuToolObject& obj : model.objects)
    for (const BuToolVertex& v : obj.vertices) {
      Position p{v.position[0], v.position[1], v.position[2]};
      if (ids.count(p)) continue;
      ids[p] = uint32_t(vol.vertices.size() / 4);
      vol.vertices.insert(vol.vertices.end(), {v.position[0], v.position[1], v.position[2], 1.0f});
      for (const auto& in : v.influences) {
        if (in.weight == 0.0f || in.slot < 0 || size_t(in.slot) >= obj.bones.size()) continue;
        vol.refs.push_back(obj.bones[size_t(in.slot)]);
        for (int c = 0; c < 3; ++c) vol.weights.push_back(in.weight * v.position[c]);
        vol.weights.push_back(in.weight);
      }
      vol.refs.push_back(-1);
      vol.weights.insert(vol.weights.end(), 4, 0.0f);
    }
  vol.refs.push_back(-1);
  vol.weights.insert(vol.weights.end(), 4, 0.0f);
  for (const BuToolObject& obj : model.objects)
    for (size_t i = 0; i + 3 <= obj.indices.size(); i += 3)
      for (int k = 0; k < 3; ++k) {
        const float* p = obj.vertices[obj.indices[i + size_t(k)]].position;
        vol.indices.push_back(ids[Position{p[0], p[1], p[2]}]);
      }
  return vol;
}

std::vector<uint8_t> BuTool_Write(const BuToolModel& model, const BuToolVolume& volume,
                                  std::vector<size_t>* boundaries) {
  ByteWriter o;
  auto mark = [&] {
    if (boundaries) boundaries->push_back(o.bytes.size());
  };
  o.U32(0x18181818);
  o.U32(8);
  o.Zeros(32);
  Bytes_Name(o, model.textureFolder, 32);
  for (size_t count : {model.shaders.size(), model.bones.size(), model.objects.size()}) {
    o.I32(int32_t(count));
    o.U32(0);
  }
  for (size_t count : {volume.weights.size() / 4, volume.refs.size(), volume.indices.size(),
                       volume.vertices.size() / 4}) {
    o.U32(0);
    o.I32(int32_t(count));
  }
  o.U32(0);
  mark();
  for (const BuToolShader& s : model.shaders) {
    Bytes_Name(o, s.name, 60);
    o.U32(0);
    for (const std::string& t : s.textures) {
      Bytes_Name(o, t, 60);
      o.U32(0);
    }
    o.Zeros(192);
  }
  mark();
  for (const BuToolBone& b : model.bones) {
    Bytes_Name(o, b.name, 64);
    o.I32(-2);
    o.Zeros(48);
    Bytes_Floats(o, b.bindRotation, 9);
    Bytes_Floats(o, b.bindPosition, 3);
  }
  mark();
  for (const BuToolObject& obj : model.objects) {
    o.Zeros(32);
    o.I32(obj.shader);
    o.I32(obj.blendVertices ? 1 : 0);
    o.I32(int32_t(obj.vertices.size()));
    o.Zeros(8);
    o.I32(int32_t(obj.indices.size()));
    o.U32(0);
    o.I32(int32_t(obj.strips.size()));
    o.Zeros(12);
    o.I32(int32_t(obj.bones.size()));
    for (size_t i = 0; i < 20; ++i) o.I32(i < obj.bones.size() ? obj.bones[i] : 0);
  }
  mark();
  for (const BuToolObject& obj : model.objects) {
    for (const BuToolVertex& v : obj.vertices) Vertex(o, v, obj.blendVertices);
    mark();
    for (uint16_t i : obj.indices) Bytes_U16(o, i);
    mark();
    for (uint16_t i : obj.strips) Bytes_U16(o, i);
    mark();
  }
  Bytes_Floats(o, volume.weights.data(), volume.weights.size() / 4 * 4);
  mark();
  for (int32_t r : volume.refs) o.I32(r);
  mark();
  for (uint32_t i : volume.indices) o.U32(i);
  mark();
  Bytes_Floats(o, volume.vertices.data(), volume.vertices.size() / 4 * 4);
  return Bytes_Vector(o);
}

std::vector<uint8_t> BuTool_Write(const BuToolModel& model) {
  return BuTool_Write(model, BuTool_WeldVolume(model));
}

void BuTool_BindToSkeleton(BuToolModel& model, const std::vector<SceneToolBone>& skeleton) {
  std::vector<SkeletonBone> bones(skeleton.size());
  std::vector<BonePose> bind(skeleton.size());
  for (size_t i = 0; i < skeleton.size(); ++i) {
    bones[i].parent = -1;
    for (size_t j = 0; j < i; ++j)
      if (skeleton[j].name == skeleton[i].parent) bones[i].parent = int32_t(j);
    std::memcpy(bind[i].rotation, skeleton[i].rotation, sizeof bind[i].rotation);
    std::memcpy(bind[i].position, skeleton[i].position, sizeof bind[i].position);
  }
  Skeleton skel{};
  skel.boneCount = int32_t(bones.size());
  skel.bones = bones.data();
  skel.bindPose = bind.data();
  for (BuToolBone& b : model.bones)
    for (size_t i = 0; i < skeleton.size(); ++i) {
      if (skeleton[i].name != b.name) continue;
      mat3 rotation, inverse;
      vec3 position, origin;
      Skel_GetBoneTransform(&skel, bind.data(), bind.data(), 1.0f, int(i), &rotation, &position);
      Mat_InvertTransform(&rotation, &position, &inverse, &origin);
      for (int r = 0; r < 3; ++r)
        for (int c = 0; c < 3; ++c) b.bindRotation[3 * r + c] = inverse.m[r][c];
      b.bindPosition[0] = origin.x;
      b.bindPosition[1] = origin.y;
      b.bindPosition[2] = origin.z;
    }
}

BuToolModel BuTool_Cube(float half, const std::string& textureFolder, const std::string textures[4]) {
  BuToolModel m;
  m.textureFolder = textureFolder;
  m.shaders.push_back(Shader("cube", textures));
  BuToolObject obj;
  // Corners of each face, counter-clockwise seen from outside.
  static const int kFaces[6][4] = {{0, 2, 3, 1}, {4, 5, 7, 6}, {0, 1, 5, 4},
                                   {2, 6, 7, 3}, {0, 4, 6, 2}, {1, 3, 7, 5}};
  for (const auto& f : kFaces) {
    uint16_t base = uint16_t(obj.vertices.size());
    for (int k = 0; k < 4; ++k) {
      int c = f[k];
      obj.vertices.push_back(MakeVertex(c & 1 ? half : -half, c & 2 ? half : -half, c & 4 ? half : -half,
                                        float(k == 1 || k == 2), float(k >= 2)));
    }
    for (int i : {0, 1, 2, 0, 2, 3}) obj.indices.push_back(uint16_t(base + i));
  }
  m.objects.push_back(obj);
  return m;
}

BuToolModel BuTool_Quad(float x0, float y0, float x1, float y1, const std::string& textureFolder,
                        const std::string textures[4]) {
  BuToolModel m;
  m.textureFolder = textureFolder;
  m.shaders.push_back(Shader("quad", textures));
  BuToolObject obj;
  for (int i = 0; i < 4; ++i) obj.vertices.push_back(MakeVertex(i & 1 ? x1 : x0, i & 2 ? y1 : y0, 0, float(i & 1), float(i >> 1)));
  obj.indices = {0, 1, 3, 0, 3, 2};
  m.objects.push_back(obj);
  return m;
}

BuToolModel BuTool_Bar(float length, const std::string& textureFolder, const std::string textures[4]) {
  BuToolModel m;
  m.textureFolder = textureFolder;
  m.shaders.push_back(Shader("figure", textures));
  BuToolBone root, tip;
  root.name = "root";
  tip.name = "tip";
  tip.bindPosition[2] = -length / 2;
  m.bones = {root, tip};
  float h = length / 2;
  for (int part = 0; part < 2; ++part) {
    BuToolObject obj;
    obj.blendVertices = part == 1;
    obj.bones = {0, 1};
    for (int row = 0; row < 2; ++row)
      for (int side = 0; side < 2; ++side) {
        float z = h * float(part + row);
        BuToolVertex v = MakeVertex(side ? 0.5f : -0.5f, 0, z, float(side), z / length);
        // Bottom row of the lower half: root only; the middle: both; the top: tip only.
        int level = part + row;
        v.influences[0] = {0, level == 0 ? 1.0f : level == 1 ? 0.5f : 0.0f};
        v.influences[1] = {1, level == 0 ? 0.0f : level == 1 ? 0.5f : 1.0f};
        obj.vertices.push_back(v);
      }
    obj.indices = {0, 1, 2, 2, 1, 3};
    if (part == 0) obj.strips = {0, 1, 2, 3};
    m.objects.push_back(obj);
  }
  return m;
}

bool BuTool_Save(const std::string& path, const BuToolModel& model) {
  return ImageTool_Save(path, BuTool_Write(model));
}

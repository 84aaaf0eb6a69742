#include "tools/du_writer.h"

#include <algorithm>
#include <cstdio>

#include "tools/image_writer.h"
#include "tools/model_bytes.h"

namespace {

void Bounds(const DuToolSurface& s, float out[6]) {
  for (int k = 0; k < 3; ++k) {
    out[k] = s.vertices.empty() ? 0.0f : s.vertices[0].position[k];
    out[k + 3] = out[k];
  }
  for (const DuToolVertex& v : s.vertices)
    for (int k = 0; k < 3; ++k) {
      out[k] = std::min(out[k], v.position[k]);
      out[k + 3] = std::max(out[k + 3], v.position[k]);
    }
}

DuToolVertex Vertex(float x, float y, float z, float u, float v) {
  DuToolVertex out;
  out.position[0] = x;
  out.position[1] = y;
  out.position[2] = z;
  out.uv0[0] = out.uv1[0] = u;
  out.uv0[1] = out.uv1[1] = v;
  return out;
}

// Appends the quad a, b, c, d (counter-clockwise seen from the side it faces).
void AddQuad(DuToolSurface& s, const float a[3], const float b[3], const float c[3], const float d[3]) {
  uint16_t base = uint16_t(s.vertices.size());
  s.vertices.push_back(Vertex(a[0], a[1], a[2], 0, 0));
  s.vertices.push_back(Vertex(b[0], b[1], b[2], 1, 0));
  s.vertices.push_back(Vertex(c[0], c[1], c[2], 1, 1));
  s.vertices.push_back(Vertex(d[0], d[1], d[2], 0, 1));
  for (int i : {0, 1, 2, 0, 2, 3}) s.indices.push_back(uint16_t(base + i));
}

}  // namespace

std::vector<uint8_t> DuTool_Write(const DuToolLevel& level, std::vector<size_t>* boundaries) {
  ByteWriter o;
  auto mark = [&] {
    if (boundaries) boundaries->push_back(o.bytes.size());
  };
  o.U32(0x18181818);
  o.U32(1);
  o.Zeros(32);
  Bytes_Name(o, level.textureFolder, 32);
  for (size_t count : {level.shaders.size(), level.models.size(), level.portals.size(), level.nodes.size(),
                       level.areaModels.size()}) {
    o.I32(int32_t(count));
    o.U32(0);
  }
  o.Zeros(8);
  mark();
  for (const DuToolShader& s : level.shaders) {
    Bytes_Name(o, s.name, 64);
    o.Zeros(200);
    for (const std::string& t : s.textures) {
      Bytes_Name(o, t, 64);
      o.Zeros(16);
    }
    o.Zeros(80);
  }
  mark();
  for (const auto& model : level.models) {
    o.Zeros(128);
    o.I32(int32_t(model.size()));
    o.Zeros(16);
    mark();
    for (const DuToolSurface& s : model) {
      o.I32(s.shader);
      o.I32(int32_t(s.vertices.size()));
      o.I32(int32_t(s.indices.size()));
      o.Zeros(24);
      float b[6];
      Bounds(s, b);
      Bytes_Floats(o, b, 6);
      o.Zeros(12);
      mark();
      for (const DuToolVertex& v : s.vertices) {
        Bytes_Floats(o, v.position, 3);
        Bytes_Floats(o, v.frame, 9);
        Bytes_Floats(o, v.uv0, 2);
        Bytes_Floats(o, v.uv1, 2);
      }
      mark();
      for (uint16_t i : s.indices) Bytes_U16(o, i);
      mark();
    }
  }
  for (const DuToolPortal& p : level.portals) {
    o.I32(int32_t(p.points.size() / 3));
    o.I32(p.areas[0]);
    o.I32(p.areas[1]);
    o.Zeros(28);
    mark();
    Bytes_Floats(o, p.points.data(), p.points.size() / 3 * 3);
    mark();
  }
  for (const DuToolNode& n : level.nodes) {
    Bytes_Floats(o, n.normal, 3);
    o.F32(n.term);
    o.I32(n.children[0]);
    o.I32(n.children[1]);
  }
  mark();
  for (int32_t m : level.areaModels) {
    o.I32(m);
    o.Zeros(8);
  }
  return Bytes_Vector(o);
}

std::string DuTool_HmpText(float maxBoxSize, int maxTriangles) {
  char text[64];
  std::snprintf(text, sizeof text, "%g %d\n", double(maxBoxSize), maxTriangles);
  return text;
}

DuToolSurface DuTool_Quad(float x0, float y0, float x1, float y1, float z, int32_t shader) {
  DuToolSurface s;
  s.shader = shader;
  const float a[3] = {x0, y0, z}, b[3] = {x1, y0, z}, c[3] = {x1, y1, z}, d[3] = {x0, y1, z};
  AddQuad(s, a, b, c, d);
  return s;
}

DuToolSurface DuTool_Room(const float mins[3], const float maxs[3], int32_t shader) {
  DuToolSurface s;
  s.shader = shader;
  auto corner = [&](int i, float out[3]) {
    out[0] = i & 1 ? maxs[0] : mins[0];
    out[1] = i & 2 ? maxs[1] : mins[1];
    out[2] = i & 4 ? maxs[2] : mins[2];
  };
  // Corners of each face, wound to face into the box.
  static const int kFaces[6][4] = {{0, 1, 3, 2}, {4, 6, 7, 5}, {0, 4, 5, 1},
                                   {2, 3, 7, 6}, {0, 2, 6, 4}, {1, 5, 7, 3}};
  for (const auto& f : kFaces) {
    float c[4][3];
    for (int k = 0; k < 4; ++k) corner(f[k], c[k]);
    AddQuad(s, c[0], c[1], c[2], c[3]);
  }
  return s;
}

DuToolLevel DuTool_TwoRooms(const std::string& textureFolder, const std::string textures[6]) {
  DuToolLevel level;
  level.textureFolder = textureFolder;
  DuToolShader shader;
  shader.name = "room";
  for (int i = 0; i < 6; ++i) shader.textures[i] = textures[i];
  level.shaders.push_back(shader);
  const float min0[3] = {-256, -128, 0}, max0[3] = {0, 128, 128};
  const float min1[3] = {0, -128, 0}, max1[3] = {256, 128, 128};
  level.models.push_back({DuTool_Room(min0, max0, 0)});
  level.models.push_back({DuTool_Room(min1, max1, 0)});
  DuToolPortal portal;
  portal.points = {0, -32, 0, 0, 32, 0, 0, 32, 96, 0, -32, 96};
  portal.areas[0] = 0;
  portal.areas[1] = 1;
  level.portals.push_back(portal);
  DuToolNode node;
  node.normal[0] = 1;
  node.children[0] = -2;  // x > 0: area 1
  node.children[1] = -1;  // x < 0: area 0
  level.nodes.push_back(node);
  level.areaModels = {0, 1};
  return level;
}

bool DuTool_Save(const std::string& name, const DuToolLevel& level, const std::string* hmp) {
  if (!ImageTool_Save(name + ".du", DuTool_Write(level))) return false;
  if (!hmp) return true;
  return ImageTool_Save(name + ".hmp", std::vector<uint8_t>(hmp->begin(), hmp->end()));
}

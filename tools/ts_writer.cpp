#include "tools/ts_writer.h"

#include "foundation/bytereader.h"
#include "tools/image_writer.h"
#include "tools/sound_files.h"

namespace {

void Name(ByteWriter& w, const std::string& s) { w.Text(s.c_str(), 64); }

}  // namespace

std::vector<uint8_t> TsTool_Write(const TsToolFile& file) {
  ByteWriter w;
  w.Put("TWTS", 4);
  w.U32(file.version);
  w.U32(file.districtCount >= 0 ? uint32_t(file.districtCount) : uint32_t(file.districts.size()));
  w.U32(file.mapCount >= 0 ? uint32_t(file.mapCount) : uint32_t(file.maps.size()));
  for (const TsToolDistrict& d : file.districts) {
    Name(w, d.name);
    Name(w, d.model);
    w.U32(d.access);
    w.U32(d.placeCount >= 0 ? uint32_t(d.placeCount) : uint32_t(d.places.size()));
    for (const TsToolPlace& p : d.places) {
      Name(w, p.name);
      Name(w, p.level);
      for (float f : {p.origin.x, p.origin.y, p.origin.z, p.angles.x, p.angles.y, p.angles.z}) w.F32(f);
    }
  }
  for (const TsToolMap& m : file.maps) {
    Name(w, m.level);
    Name(w, m.picture);
    for (float f : {m.minX, m.minY, m.maxX, m.maxY}) w.F32(f);
  }
  return std::vector<uint8_t>(w.bytes.begin(), w.bytes.end());
}

MayToolLevel TsTool_MapModel(const std::string& texture, float x0, float y0, float x1, float y1, float z) {
  MayToolLevel l;
  l.folder = "TS\\";
  l.shaders.resize(1);
  l.shaders[0].name = texture;
  l.shaders[0].slots[0].name = texture;
  l.objects = {{"area"}};
  std::vector<MayToolVertex> v;
  std::vector<uint16_t> t;
  MayTool_Quad({x0, y0, z}, {x1, y0, z}, {x1, y1, z}, {x0, y1, z}, 1, 1, v, t);
  MayTool_AddTriangles(l, 0, 0, v, t);
  MayTool_GroupSets(l);
  return l;
}

bool TsTool_PutMapModel(const std::string& root, const std::string& name, float x0, float y0, float x1, float y1,
                        float z, uint8_t r, uint8_t g, uint8_t b) {
  const std::string hmp = MayTool_HmpText(4096, 16);
  return Tool_PutStaged(root, "maps/TS/" + name + ".may", MayTool_Write(TsTool_MapModel(name, x0, y0, x1, y1, z))) &&
         Tool_PutStaged(root, "maps/TS/" + name + ".hmp", std::vector<uint8_t>(hmp.begin(), hmp.end())) &&
         Tool_PutStaged(root, "textures/TS/" + name + ".tga", ImageTool_WriteTGA(ImageTool_Solid(8, 8, b, g, r, 255), 24));
}

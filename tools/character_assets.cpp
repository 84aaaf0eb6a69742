#include "tools/character_assets.h"

#include <unistd.h>

#include <cmath>
#include <cstdio>
#include <filesystem>

#include "foundation/vecmath.h"
#include "scene/skeleton.h"
#include "tools/def_writer.h"
#include "tools/image_writer.h"
#include "tools/model_writer.h"
#include "tools/scene_writer.h"
#include "tools/sound_files.h"

namespace fs = std::filesystem;

namespace {

bool Put(const std::string& stage, const std::string& name, const std::vector<uint8_t>& bytes) {
  return Tool_PutStaged(stage, name, bytes);
}

bool PutText(const std::string& stage, const std::string& name, const std::string& text) {
  return Put(stage, name, std::vector<uint8_t>(text.begin(), text.end()));
}

// The first hero's skeleton as read back by the engine: names, parents, model-space positions.
struct Biped {
  std::vector<SceneToolBone> bones;
  std::vector<vec3> positions;
  std::vector<int> parents;
  int Find(const std::string& name) const {
    for (size_t i = 0; i < bones.size(); i++)
      if (bones[i].name == name) return int(i);
    return -1;
  }
};

bool ReadBiped(const std::string& stage, const char* name, Biped* out) {
  char previous[4096];
  if (!getcwd(previous, sizeof previous) || chdir(stage.c_str()) != 0) return false;
  Skeleton* s = Skel_Load(name);
  if (s) {
    std::vector<mat3> rot(size_t(s->boneCount));
    out->positions.resize(size_t(s->boneCount));
    Skel_BuildMatrices(s, s->bindPose, s->bindPose, 1.0f, rot.data(), out->positions.data());
    for (int i = 0; i < s->boneCount; i++) {
      SceneToolBone b;
      b.name = s->bones[i].name;
      b.parent = s->bones[i].parent >= 0 ? s->bones[s->bones[i].parent].name : "";
      std::copy(s->bindPose[i].rotation, s->bindPose[i].rotation + 4, b.rotation);
      std::copy(s->bindPose[i].position, s->bindPose[i].position + 3, b.position);
      out->bones.push_back(b);
      out->parents.push_back(s->bones[i].parent);
    }
    Skel_Free(&s);
  }
  std::remove("log");
  bool ok = chdir(previous) == 0 && !out->bones.empty();
  if (!ok) std::fprintf(stderr, "make_sample: the skeleton %s does not load\n", name);
  return ok;
}

// A pose of the biped at a phase 0..1: a turn about x of each bone, and the root's height.
struct PoseFn {
  float (*turn)(const std::string& bone, double phase);
  float rootHeight;   // 0: the bind height
  float rootTurn;     // radians about x of the whole body
  float rootTravel;   // how far the root moves along +y from the first frame to the last
};

float Swing(const std::string& n, double s, double legs, double knees, double arms) {
  if (n == "Bip01 L Thigh") return float(legs * s);
  if (n == "Bip01 R Thigh") return float(-legs * s);
  if (n == "Bip01 L Calf") return float(-knees * std::max(0.0, -s));
  if (n == "Bip01 R Calf") return float(-knees * std::max(0.0, s));
  if (n == "Bip01 L UpperArm") return float(-arms * s);
  if (n == "Bip01 R UpperArm") return float(arms * s);
  return 0.0f;
}
float Idle(const std::string& n, double p) { return n == "Bip01 Spine1" ? 0.04f * float(std::sin(2 * kMathPi * p)) : 0.0f; }
float Walk(const std::string& n, double p) { return Swing(n, std::sin(2 * kMathPi * p), 0.5, 0.4, 0.4); }
float Run(const std::string& n, double p) {
  return n == "Bip01 Spine" ? 0.25f : Swing(n, std::sin(2 * kMathPi * p), 0.9, 1.1, 0.8);
}
float Jump(const std::string& n, double) {
  if (n == "Bip01 L Thigh" || n == "Bip01 R Thigh") return 0.9f;
  if (n == "Bip01 L Calf" || n == "Bip01 R Calf") return -1.2f;
  if (n == "Bip01 L UpperArm" || n == "Bip01 R UpperArm") return -1.4f;
  return 0.0f;
}
float Crouch(const std::string& n, double) {
  if (n == "Bip01 L Thigh" || n == "Bip01 R Thigh") return 1.3f;
  if (n == "Bip01 L Calf" || n == "Bip01 R Calf") return -1.6f;
  if (n == "Bip01 Spine") return 0.4f;
  return 0.0f;
}
float Dead(const std::string& n, double p) {
  return (n == "Bip01 L UpperArm" || n == "Bip01 R UpperArm") ? float(-1.5 * std::min(1.0, p * 2)) : 0.0f;
}

SceneToolAnim MakeAnim(const Biped& b, int frames, const PoseFn& fn) {
  SceneToolAnim a;
  a.boneCount = int32_t(b.bones.size());
  a.lastFrame = frames - 1;
  const float* root = b.bones[0].position;
  for (int f = 0; f < frames; f++) {
    double p = double(f) / frames;
    float z = fn.rootHeight > 0 ? root[2] + float(p) * (fn.rootHeight - root[2]) : root[2];
    float y = root[1] + fn.rootTravel * float(f) / float(frames - 1);
    a.positions.insert(a.positions.end(), {root[0], y, z});
  }
  for (size_t i = 0; i < b.bones.size(); i++)
    for (int f = 0; f < frames; f++) {
      double p = double(f) / frames;
      float t = fn.turn(b.bones[i].name, p) + (i == 0 ? fn.rootTurn * float(std::min(1.0, p * 2)) : 0.0f);
      float q[4] = {std::sin(t / 2), 0, 0, std::cos(t / 2)};
      a.rotations.insert(a.rotations.end(), q, q + 4);
    }
  return a;
}

// A body over the biped's bones with one picture and one empty object for the boxes.
MpToolModel BodyModel(const Biped& b, const std::string& skin) {
  MpToolModel body;
  body.name = "body";
  body.shaders.resize(1);
  body.shaders[0].name = "skin";
  body.shaders[0].slots[0].name = skin;
  body.objects.resize(1);
  mat3 identity;
  Mat_Identity(&identity);
  for (size_t i = 0; i < b.bones.size(); i++) body.frames.push_back(MpTool_BindFrame(b.bones[i].name, identity, b.positions[i]));
  return body;
}

// A body of boxes along the bones (each riding on the bone it starts from), `girth` thick.
MpToolModel MakeBody(const Biped& b, const std::string& skin, float girth) {
  MpToolModel body = BodyModel(b, skin);
  for (size_t i = 0; i < b.bones.size(); i++) {
    int p = b.parents[i];
    if (p <= 0) continue;
    const vec3 &u = b.positions[size_t(p)], &w = b.positions[i];
    vec3 lo{std::fmin(u.x, w.x) - girth, std::fmin(u.y, w.y) - girth, std::fmin(u.z, w.z) - girth};
    vec3 hi{std::fmax(u.x, w.x) + girth, std::fmax(u.y, w.y) + girth, std::fmax(u.z, w.z) + girth};
    std::vector<MpToolVertex> v;
    std::vector<uint16_t> t;
    MpTool_Box(lo, hi, v, t);
    for (auto& x : v) x.influences = {MpToolInfluence{p, 1.0f}};
    MpTool_AddPie(body.objects[0], 2, 0, v, t);
  }
  return body;
}

// The second hero's figure: boxes placed in the model space of the first hero's bind pose (scaled
// to her build), each riding on its bone and textured from one band of her skin picture.
enum FigureBand { kHairBand, kSkinBand, kJacketBand, kTrousersBand, kFigureBands };
const struct {
  const char* bone;
  vec3 lo, hi;
  FigureBand band;
} kMiraParts[] = {
    {"Bip01 Pelvis", {-5, -3, 29}, {5, 3, 37}, kTrousersBand},
    {"Bip01 Spine", {-5, -3, 37}, {5, 3, 45}, kJacketBand},
    {"Bip01 Spine1", {-6, -3.5f, 45}, {6, 3.5f, 54}, kJacketBand},
    {"Bip01 Neck", {-1.5f, -1.5f, 54}, {1.5f, 1.5f, 57}, kSkinBand},
    {"Bip01 Head", {-3.5f, -4, 57}, {3.5f, 3.5f, 64}, kSkinBand},
    {"Bip01 Head", {-3.9f, -4.4f, 60.5f}, {3.9f, 3, 64.8f}, kHairBand},  // the hair over the top
    {"Bip01 Head", {-3.9f, -4.6f, 51}, {3.9f, -3.2f, 61}, kHairBand},    // and down the back
    {"Bip01 EyeL", {-2.3f, 3.5f, 59.5f}, {-0.7f, 4.2f, 60.8f}, kHairBand},
    {"Bip01 EyeR", {0.7f, 3.5f, 59.5f}, {2.3f, 4.2f, 60.8f}, kHairBand},
    {"Bip01 L UpperArm", {-9.6f, -1.7f, 42}, {-6.4f, 1.7f, 53}, kJacketBand},
    {"Bip01 L Forearm", {-9.5f, -1.5f, 32}, {-6.5f, 1.5f, 42}, kJacketBand},
    {"Bip01 L Hand", {-9.3f, -1.3f, 28}, {-6.7f, 1.3f, 32}, kSkinBand},
    {"Bip01 R UpperArm", {6.4f, -1.7f, 42}, {9.6f, 1.7f, 53}, kJacketBand},
    {"Bip01 R Forearm", {6.5f, -1.5f, 32}, {9.5f, 1.5f, 42}, kJacketBand},
    {"Bip01 R Hand", {6.7f, -1.3f, 28}, {9.3f, 1.3f, 32}, kSkinBand},
    {"Bip01 L Thigh", {-5.3f, -2.4f, 17}, {-0.7f, 2.4f, 32}, kTrousersBand},
    {"Bip01 L Calf", {-4.8f, -2.1f, 3}, {-1.2f, 2.1f, 17}, kTrousersBand},
    {"Bip01 L Foot", {-4.8f, -2, 0}, {-1.2f, 6, 3}, kHairBand},
    {"Bip01 R Thigh", {0.7f, -2.4f, 17}, {5.3f, 2.4f, 32}, kTrousersBand},
    {"Bip01 R Calf", {1.2f, -2.1f, 3}, {4.8f, 2.1f, 17}, kTrousersBand},
    {"Bip01 R Foot", {1.2f, -2, 0}, {4.8f, 6, 3}, kHairBand},
};

MpToolModel MakeFigure(const Biped& b, float scale) {
  MpToolModel body = BodyModel(b, "npc\\mirasolvek\\skin");
  for (const auto& part : kMiraParts) {
    const int bone = b.Find(part.bone);
    if (bone < 0) continue;
    std::vector<MpToolVertex> v;
    std::vector<uint16_t> t;
    MpTool_Box(vec3{part.lo.x * scale, part.lo.y * scale, part.lo.z * scale},
               vec3{part.hi.x * scale, part.hi.y * scale, part.hi.z * scale}, v, t);
    for (auto& x : v) {
      x.influences = {MpToolInfluence{bone, 1.0f}};
      x.u = 0.1f + 0.8f * x.u;
      x.v = (float(part.band) + 0.1f + 0.8f * x.v) / kFigureBands;
    }
    MpTool_AddPie(body.objects[0], 2, 0, v, t);
  }
  return body;
}

// Her skin picture: four bands along v (hair and shoes, skin, a teal jacket with seams, plum
// trousers), each with a grain so that the light shows the faces apart.
ToolImage FigureSkin() {
  const int size = 64;
  ToolImage img = ImageTool_Solid(size, size, 0, 0, 0, 255);
  const double colours[kFigureBands][3] = {{70, 38, 28}, {225, 182, 152}, {35, 125, 135}, {80, 50, 100}};
  for (int y = 0; y < size; y++)
    for (int x = 0; x < size; x++) {
      const int band = y * kFigureBands / size;
      const double grain = 0.85 + 0.15 * std::sin(x * 1.7 + y * 0.9) * std::cos(x * 0.6 - y * 1.3);
      const bool seam = band == kJacketBand && (x % 16 == 0 || y % 16 == 8);
      uint8_t* p = img.At(x, y);
      for (int k = 0; k < 3; k++)
        p[2 - k] = uint8_t(std::fmin(255.0, colours[band][k] * grain * (seam ? 1.35 : 1.0)));
    }
  return img;
}

const struct {
  const char* suffix;
  int frames;
  PoseFn fn;
} kAnims[] = {
    {"idle", 8, {Idle, 0, 0, 0}},   {"walk", 16, {Walk, 0, 0, 0}},   {"run", 12, {Run, 0, 0, kSampleRunCycleLength}},
    {"jump", 4, {Jump, 0, 0, 0}},   {"crouch", 4, {Crouch, 20, 0, 0}}, {"dead", 8, {Dead, 4, -1.5707964f, 0}},
};

bool WriteAnims(const std::string& stage, const Biped& b, const std::string& hero, int first) {
  for (int i = first; i < int(sizeof kAnims / sizeof kAnims[0]); i++)
    if (!PutText(stage, "anim/" + hero + "/" + hero + "_" + kAnims[i].suffix + ".am",
                 SceneTool_AmBytes(MakeAnim(b, kAnims[i].frames, kAnims[i].fn))))
      return false;
  return true;
}

bool WriteSkin(const std::string& stage, const std::string& who, uint8_t b, uint8_t g, uint8_t r) {
  return Put(stage, "textures/npc/" + who + "/skin.tga", ImageTool_WriteTGA(ImageTool_Solid(8, 8, b, g, r, 255), 24));
}

// The body other players of a network game see: four levels of detail, plain and in each team's
// colour, over the first hero's bones, and the muzzle flash riding on the right hand.
bool WriteNetBody(const std::string& stage, const Biped& b) {
  const struct {
    const char* suffix;
    uint8_t bgr[3];
  } kColours[] = {{"", {90, 110, 160}}, {"r", {40, 40, 220}}, {"b", {220, 80, 40}}};
  for (const auto& c : kColours) {
    std::string skin = std::string("netbody") + c.suffix;
    if (!WriteSkin(stage, "jaxtorvin/" + skin, c.bgr[0], c.bgr[1], c.bgr[2])) return false;
    for (int level = 0; level < 4; level++) {
      MpToolModel m = MakeBody(b, "npc\\jaxtorvin\\" + skin + "\\skin", 3.2f - 0.4f * float(level));
      std::string name = "anim/jaxtorvin/jaxtorvin_" + std::to_string(level) + c.suffix + ".mp";
      if (!Put(stage, name, MpTool_Write(m))) return false;
    }
  }
  int hand = b.Find("Bip01 R Hand");
  if (hand < 0) return false;
  MpToolModel fire;
  fire.name = "fire";
  fire.shaders.resize(1);
  fire.shaders[0].name = "fire_ADD";
  fire.shaders[0].slots[0].name = "npc\\jaxtorvin\\fire\\skin";
  fire.objects.resize(1);
  mat3 identity;
  Mat_Identity(&identity);
  for (size_t i = 0; i < b.bones.size(); i++) fire.frames.push_back(MpTool_BindFrame(b.bones[i].name, identity, b.positions[i]));
  const vec3& h = b.positions[size_t(hand)];
  std::vector<MpToolVertex> v;
  std::vector<uint16_t> t;
  MpTool_Box({h.x - 3, h.y + 4, h.z - 3}, {h.x + 3, h.y + 16, h.z + 3}, v, t);
  for (auto& x : v) x.influences = {MpToolInfluence{hand, 1.0f}};
  MpTool_AddPie(fire.objects[0], 2, 0, v, t);
  return Put(stage, "anim/jaxtorvin/jaxtorvin_fire.mp", MpTool_Write(fire)) &&
         WriteSkin(stage, "jaxtorvin/fire", 120, 230, 255);
}

}  // namespace

bool CharacterAssets_Write(const std::string& stage) {
  for (const auto& [file, text] : Tool_SampleDefFiles())
    if (!PutText(stage, "scripts/" + file, text)) return false;
  Biped first;
  if (!ReadBiped(stage, "anim\\jaxtorvin\\jaxtorvin_stand", &first)) return false;
  // The first hero has idle and walk; the rest of its animations.
  if (!WriteAnims(stage, first, "jaxtorvin", 2) || !WriteNetBody(stage, first)) return false;
  // The second hero: a slighter build of the same bones, every animation.
  Biped second = first;
  for (size_t i = 0; i < second.bones.size(); i++) {
    for (float& c : second.bones[i].position) c *= 0.94f;
    second.positions[i] = vec3{first.positions[i].x * 0.94f, first.positions[i].y * 0.94f, first.positions[i].z * 0.94f};
  }
  if (!PutText(stage, "anim/mirasolvek/mirasolvek_stand.sk", SceneTool_SkBytes(second.bones)) ||
      !Put(stage, "npc/mirasolvek/body.mp", MpTool_Write(MakeFigure(second, 0.94f))) ||
      !Put(stage, "textures/npc/mirasolvek/skin.tga", ImageTool_WriteTGA(FigureSkin(), 24)) ||
      !WriteAnims(stage, second, "mirasolvek", 0))
    return false;
  // A townsman on the first hero's bones.
  if (!Put(stage, "npc/townsman/body.mp", MpTool_Write(MakeBody(first, "npc\\townsman\\skin", 3.0f))) ||
      !WriteSkin(stage, "townsman", 60, 140, 90))
    return false;
  // Pain and death cries.
  return Put(stage, "sound/pain1.wav", Tool_WavBytes(1, 22050, 16, Tool_Sine(1, 22050, 4410, 440, 0.5))) &&
         Put(stage, "sound/death1.wav", Tool_WavBytes(1, 22050, 16, Tool_Sine(1, 22050, 11025, 150, 0.5)));
}

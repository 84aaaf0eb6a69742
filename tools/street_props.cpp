#include "tools/street_props.h"

#include <cmath>
#include <filesystem>
#include <string>

#include "tools/image_writer.h"
#include "tools/model_writer.h"
#include "tools/sound_files.h"

namespace {

// A box of a rigid model, drawn with picture `picture` of the model's list.
struct PropBox {
  vec3 lo, hi;
  int picture = 0;
};

// A rigid model of boxes, one shader for each picture below "textures\".
std::vector<uint8_t> BoxModel(const char* name, std::initializer_list<const char*> pictures,
                              const std::vector<PropBox>& boxes) {
  MpToolModel m;
  m.name = name;
  m.frames.push_back(MpToolFrame{"root", {}, {0, 0, 0}});
  for (const char* picture : pictures) {
    m.shaders.emplace_back();
    m.shaders.back().name = name + std::to_string(m.shaders.size());
    m.shaders.back().slots[0].name = picture;
  }
  for (const PropBox& box : boxes) {
    m.objects.emplace_back();
    m.objects.back().shader = box.picture;
    std::vector<MpToolVertex> v;
    std::vector<uint16_t> t;
    MpTool_Box(box.lo, box.hi, v, t);
    MpTool_AddPie(m.objects.back(), 1, 0, v, t);
  }
  return MpTool_Write(m);
}

// The runabout, its front along +y as every model's: a closed hull whose top hides the seated
// driver's legs, a windscreen and a boot; and four wheels.
const std::vector<PropBox> kRunaboutBody = {
    {{-30, -60, 10}, {30, 60, 30}}, {{-28, 14, 30}, {28, 17, 50}}, {{-30, -60, 30}, {30, -26, 38}}};
const std::vector<PropBox> kRunaboutWheels = {{{28, 28, 0}, {36, 52, 24}},
                                              {{-36, 28, 0}, {-28, 52, 24}},
                                              {{28, -52, 0}, {36, -28, 24}},
                                              {{-36, -52, 0}, {-28, -28, 24}}};

// A picture of `size` texels whose colour and alpha come from (u, v) in 0..1.
template <typename Fn>
std::vector<uint8_t> Picture(int size, Fn shade) {
  ToolImage img = ImageTool_Solid(size, size, 0, 0, 0, 255);
  for (int y = 0; y < size; y++)
    for (int x = 0; x < size; x++) {
      double c[4];
      shade((x + 0.5) / size, (y + 0.5) / size, c);
      uint8_t* p = img.At(x, y);
      for (int k = 0; k < 4; k++) p[k == 3 ? 3 : 2 - k] = uint8_t(std::lround(std::fmin(1.0, std::fmax(0.0, c[k])) * 255));
    }
  return ImageTool_WriteTGA(img, 32);
}

// A soft disc: 1 in the middle, 0 at the rim.
double Disc(double u, double v) { return std::fmax(0.0, 1 - std::hypot(u - 0.5, v - 0.5) * 2); }

}  // namespace

std::vector<std::pair<std::string, std::vector<uint8_t>>> StreetProps_Files() {
  std::vector<std::pair<std::string, std::vector<uint8_t>>> files;
  files.emplace_back("anim/props/door.mp", BoxModel("door", {"props\\door"}, {{{-48, -4, 0}, {48, 4, 128}}}));
  files.emplace_back("anim/props/lift.mp", BoxModel("lift", {"props\\metal"}, {{{-48, -48, 0}, {48, 48, 8}}}));
  // A lever: a post and a wide striped handle above the hero's head, so it shows over him while he
  // faces it.
  files.emplace_back("anim/props/lever.mp", BoxModel("lever", {"props\\metal", "props\\lever"},
                                                     {{{-3, -3, 0}, {3, 3, 64}}, {{-16, -5, 56}, {16, 5, 96}, 1}}));
  // A pickup: its crate on a post at the height of the hero's eye, where his use ray meets it and
  // he sees it over his shoulder.
  files.emplace_back("anim/props/pickup.mp",
                     BoxModel("pickup", {"props\\metal", "props\\crate"},
                              {{{-4, -4, 0}, {4, 4, 44}}, {{-16, -16, 44}, {16, 16, 76}, 1}}));
  std::vector<PropBox> parked = kRunaboutBody;
  for (PropBox wheel : kRunaboutWheels) {
    wheel.picture = 1;
    parked.push_back(wheel);
  }
  files.emplace_back("anim/props/car.mp", BoxModel("car", {"props\\car", "cars\\runabout\\tyre"}, parked));
  files.emplace_back("cars/runabout/body.mp", BoxModel("runabout", {"props\\car"}, kRunaboutBody));
  files.emplace_back("cars/runabout/wheels.mp", BoxModel("wheels", {"cars\\runabout\\tyre"}, kRunaboutWheels));
  files.emplace_back("textures/cars/runabout/tyre.tga", Picture(16, [](double u, double v, double* c) {
                       double hub = std::hypot(u - 0.5, v - 0.5) < 0.2 ? 0.45 : 0.08;
                       c[0] = c[1] = c[2] = hub, c[3] = 1;
                     }));
  // Yellow and black stripes.
  files.emplace_back("textures/props/lever.tga", Picture(32, [](double u, double v, double* c) {
                       bool yellow = std::fmod((u + v) * 4, 1.0) < 0.5;
                       c[0] = yellow ? 0.95 : 0.1, c[1] = yellow ? 0.8 : 0.1, c[2] = 0.1, c[3] = 1;
                     }));
  // A green door with planks, so that it stands out against the street's greys, reds and blues.
  files.emplace_back("textures/props/door.tga", Picture(64, [](double u, double, double* c) {
                       double plank = std::fmod(u * 4, 1.0) < 0.06 ? 0.5 : 1.0;
                       c[0] = 0.15 * plank, c[1] = 0.75 * plank, c[2] = 0.25 * plank, c[3] = 1;
                     }));
  files.emplace_back("textures/props/car.tga", Picture(32, [](double, double v, double* c) {
                       c[0] = 0.2, c[1] = 0.3, c[2] = 0.7 + 0.2 * v, c[3] = 1;
                     }));
  // The shots' puffs: a hot flash and a dark red splash, both fading at the rim.
  files.emplace_back("textures/explod.tga", Picture(32, [](double u, double v, double* c) {
                       double k = Disc(u, v);
                       c[0] = 1, c[1] = 0.5 + 0.5 * k, c[2] = 0.2 * k, c[3] = k;
                     }));
  files.emplace_back("textures/blood.tga", Picture(32, [](double u, double v, double* c) {
                       double k = Disc(u, v);
                       c[0] = 0.5 + 0.2 * k, c[1] = 0.02, c[2] = 0.02, c[3] = std::fmin(1.0, k * 2);
                     }));
  // A blast (a falling low tone) and the rocket's flight hum.
  std::vector<int16_t> blast = Tool_Sine(1, 22050, 11025, 70, 0.8);
  for (size_t i = 0; i < blast.size(); i++) blast[i] = int16_t(blast[i] * (1.0 - double(i) / blast.size()));
  files.emplace_back("sound/blast.wav", Tool_WavBytes(1, 22050, 16, blast));
  files.emplace_back("sound/rocket.wav", Tool_WavBytes(1, 22050, 16, Tool_Sine(1, 22050, 22050, 180, 0.3)));
  return files;
}

std::vector<EntityToolPairs> StreetProps_Blocks() {
  const EntityToolPairs solid{{"blocked", "1"}, {"drawed", "1"}, {"solidbox", "1"}};
  auto with = [&](EntityToolPairs pairs, const char* clipbox) {
    pairs.insert(pairs.end(), solid.begin(), solid.end());
    pairs.emplace_back("clipbox", clipbox);
    return pairs;
  };
  // The levers stand at y -400, their clip boxes clear of the cars' lane at y -360 (a car's box
  // reaches 16 units either side of it), so that the traffic passes them.
  const char* lever = "-16 -5 0 16 5 96";
  const char* door = "-48 -4 0 48 4 128";
  return {
      // A lift that stops at three heights: its levers send it to the top and back to the ground.
      with({{"classname", "func_door"}, {"id", "lift_1"}, {"name", "anim\\props\\lift"}, {"begin", "700 -450 0"},
            {"begin1", "700 -450 120"}, {"begin2", "700 -450 240"}, {"wait", "2"}, {"trigger", "lift_down"},
            {"door_trigger", "lift_up"}, {"triggercommandtext", "lever"}},
           "-48 -48 0 48 48 8"),
      with({{"classname", "world"}, {"id", "lift_up"}, {"name", "anim\\props\\lever"}, {"origin", "780 -400 0"},
            {"trigger", "lift_up"}, {"triggercommand", "[door] [2]"}},
           lever),
      with({{"classname", "world"}, {"id", "lift_down"}, {"name", "anim\\props\\lever"}, {"origin", "620 -400 0"},
            {"trigger", "lift_down"}, {"triggercommand", "[door] [0]"}},
           lever),
      // A door that opens only for a hacking skill of 50; others get the refusal line.
      with({{"classname", "func_door"}, {"id", "hack_door"}, {"name", "anim\\props\\door"}, {"begin", "1000 -450 0"},
            {"end", "1000 -450 400"}, {"wait", "0.5"}, {"pause", "3"}, {"conditions", "[skill_hack] [50]"}},
           door),
      // A gate that slides aside when its lever is used; using the gate itself does nothing.
      with({{"classname", "func_door"}, {"id", "gate_1"}, {"name", "anim\\props\\door"}, {"begin", "1300 -450 0"},
            {"end", "1400 -450 0"}, {"wait", "1"}, {"pause", "5"}, {"door_trigger", "gate_lever"},
            {"triggercommandtext", "lever"}},
           door),
      with({{"classname", "world"}, {"id", "gate_lever"}, {"name", "anim\\props\\lever"}, {"origin", "1200 -400 0"},
            {"trigger", "gate_lever"}, {"triggercommand", "[door] [100]"}},
           lever),
      // A lamp that smokes: one puff a tenth of a second from its top.
      {{"classname", "anim"}, {"id", "smoke_1"}, {"name", "anim\\props\\lamp"}, {"origin", "-800 -400 0"},
       {"speedframe", "2"}, {"particlestexture", "textures\\explod"}, {"particlesorigin", "0 0 160"},
       {"particlesscale", "10"}, {"particlescolor", "255 255 255 128"}},
      // The door of the north-west house is the corner shop's: the use key opens the shop.
      {{"classname", "world"}, {"id", "corner_shop"}, {"origin", "-1300 790 8"}, {"command", "[shop] [corner shop]"},
       {"clipbox", "-50 -10 0 50 10 182"}},
      // A parked car: the use key enters it with the gate key.
      with({{"classname", "world"}, {"id", "parked_car"}, {"name", "anim\\props\\car"}, {"origin", "-1200 -450 0"},
            {"command", "[car] [runabout] [gate key]"}},
           kStreetCarClipBox),
  };
}

bool StreetProps_Write(const std::string& stage) {
  for (const auto& [name, bytes] : StreetProps_Files()) {
    if (!Tool_PutStaged(stage, name, bytes)) return false;
  }
  return true;
}

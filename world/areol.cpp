#include "world/areol.h"

#include <cmath>
#include <cstdio>
#include <cstring>

#include "hud/hud.h"
#include "render/draw2d.h"
#include "render/render.h"
#include "scene/view.h"
#include "world/game.h"
#include "world/props.h"
#include "world/trace.h"

const AreolFlare Areol_Flares[kAreolFlares] = {{17, -1.37f}, {71, -0.82f}, {99, -0.54f}, {19, -0.25f}, {26, -0.05f},
                                               {21, 0.17f},  {52, 0.26f},  {12, 0.61f},  {14, 0.68f}};

namespace {

constexpr double kPi = 3.14159265358979323846;
constexpr float kSunDistance = 100.0f;
constexpr float kFadeRate = 2.0f;       // visibility per second: a full fade takes half a second
constexpr uint32_t kSunTraceMask = 27;  // collision models, props and every state

// Pictures looked up once per name (and again after the level's materials are released).
struct PictureCache {
  char lens[256];
  Picture flares[kAreolFlares];
  char glare[256];
  Picture glarePicture;
  bool lensLoaded, glareLoaded;
} g_pictures;

const Picture* FlarePictures(const char* lens) {
  if (!g_pictures.lensLoaded || std::strcmp(g_pictures.lens, lens) != 0) {
    std::snprintf(g_pictures.lens, sizeof g_pictures.lens, "%s", lens);
    for (int i = 0; i < kAreolFlares; i++) {
      char name[300];
      std::snprintf(name, sizeof name, "%s%i", lens, i);
      g_pictures.flares[i] = Picture{};
      Draw2D_LoadPicture(name, &g_pictures.flares[i]);
    }
    g_pictures.lensLoaded = true;
  }
  return g_pictures.flares;
}

const Picture* GlarePicture(const char* glare) {
  if (!g_pictures.glareLoaded || std::strcmp(g_pictures.glare, glare) != 0) {
    std::snprintf(g_pictures.glare, sizeof g_pictures.glare, "%s", glare);
    g_pictures.glarePicture = Picture{};
    Draw2D_LoadPicture(glare, &g_pictures.glarePicture);
    g_pictures.glareLoaded = true;
  }
  return &g_pictures.glarePicture;
}

float Clamp(float v, float lo, float hi) { return v < lo ? lo : (v > hi ? hi : v); }

uint8_t Grey(float v) { return v <= 0 ? 0 : (v >= 255 ? 255 : uint8_t(v)); }

}  // namespace

void Areol_ForgetPictures() { g_pictures = PictureCache{}; }

vec3 Areol_SunDirection(double clock, float dayLength) {
  if (!(dayLength > 0) || !std::isfinite(dayLength)) dayLength = 60.0f;
  double a = 2 * kPi * clock / dayLength;
  return vec3{0, float(kSunDistance * std::cos(a)), float(kSunDistance * std::sin(a))};
}

float Areol_GlareStrength(const vec3& v, float sx, float sy) {
  float near = Clamp(1 - (float(Vec_Length(&v)) - kSunDistance) * 0.0025f, 0, 1);
  // Each screen factor counts only inside the screen: two outside ones must not make light.
  float k = near * std::fmax(0.0f, 1 - std::fabs(sy)) * std::fmax(0.0f, 1 - std::fabs(sx)) * 0.4f;
  return Clamp(k, 0, 0.4f);
}

void Areol_Think(GameObject* o) {
  if (!(o->flags & OBJ_ACTIVE)) return;
  GameObject* player = Obj_Player;
  const double clock = player ? player->person.clock : 0.0;
  const float day = Hud_DayLength();
  o->origin = Areol_SunDirection(clock, day);
  const double a = 2 * kPi * clock / (day > 0 && std::isfinite(day) ? day : 60.0f);
  o->angles = vec3{0, float(a - kPi / 2), 0};
  if (player) {
    const vec3 eye{player->person.eye[0], player->person.eye[1], player->person.eye[2]};
    o->prop.poseOrigin = eye;
    o->prop.poseAngles = o->angles;
    o->prop.poseScale = vec3{1, 1, 1};
    const vec3 far{eye.x + o->origin.x * 1000, eye.y + o->origin.y * 1000, eye.z + o->origin.z * 1000};
    const vec3 zero{0, 0, 0};
    TraceResult tr;
    Obj_Trace(&tr, o, &eye, &zero, &zero, &far, kSunTraceMask);
    const float step = kFadeRate * float(Game_Step);
    o->visibility = tr.fraction == 1.0f ? std::fmin(o->visibility + step, 1.0f) : std::fmax(o->visibility - step, 0.0f);
  }
  if (o->prop.spawnTime + o->prop.lifetime < Game_Time) {
    o->person.state = 0;
    Obj_RequestDelete(o);
  }
}

void Areol_Draw(GameObject* o, ViewParams* view) {
  if (!(o->flags & OBJ_ACTIVE) || !o->prop.visible || view->pass != 3) return;
  const vec3 p{view->position.x + o->origin.x * 1000, view->position.y + o->origin.y * 1000,
               view->position.z + o->origin.z * 1000};
  for (int i = 0; i < 5; i++)
    if (Vec_Dot(&view->planes[i].normal, &p) - view->planes[i].dist <= 0) return;

  Render_SetDepthWrite(0);
  Render_SetDepthTest(0);
  static const float kZero[3] = {0, 0, 0};
  Render_SetCamera(kZero, kZero);
  Render_SetBlend(1);

  vec3 forward, right, up;
  Mat_AxesFromAngles(&view->angles, &forward, &right, &up);
  const vec3 v{float(Vec_Dot(&o->origin, &right)), float(Vec_Dot(&o->origin, &forward)),
               float(Vec_Dot(&o->origin, &up))};
  const float widthPx = Render_ScreenWidth > 0 ? float(Render_ScreenWidth) : kScreen2DWidth;
  const float heightPx = Render_ScreenHeight > 0 ? float(Render_ScreenHeight) : kScreen2DHeight;
  const float sx = v.x / v.y;
  const float sy = (widthPx / v.y) * v.z / heightPx;
  const float W = kScreen2DWidth, H = kScreen2DHeight;

  if (o->prop.lens[0]) {
    const Picture* pictures = FlarePictures(o->prop.lens);
    const uint8_t g = Grey(o->visibility * 255);
    for (int i = 0; i < kAreolFlares; i++) {
      const AreolFlare& f = Areol_Flares[i];
      const float x = W / 2 - f.size / 2 + W * f.position * sx / 2;
      const float y = H / 2 - f.size / 2 - H * f.position * sy / 2;
      Draw2D_PictureSized(x, y, f.size, f.size, &pictures[i], 1, Color8{g, g, g, 255});
    }
  }
  if (o->prop.glare[0]) {
    const uint8_t g = Grey(Areol_GlareStrength(v, sx, sy) * o->visibility * 255);
    Draw2D_PictureSized(0, 0, W, H, GlarePicture(o->prop.glare), 1, Color8{g, g, g, 255});
  }

  Render_SetBlend(0);
  Render_SetCamera(&view->angles.x, &view->position.x);
  Render_SetDepthTest(1);
  Render_SetDepthWrite(1);
}

void Areol_Info(GameObject* o, const void* request, void* reply) { Obj_InfoReply(o, request, reply, "AREOL", true); }

void Effect_Init(GameObject* o) { Prop_InitModels(o); }

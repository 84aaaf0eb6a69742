// The view and the world pass: camera set-up and frustum, dialogue camera, sky, visible objects
// and street props in four passes, effect sprites, and the render state left for the 2D layer.
#include "scene/view.h"

#include <cmath>
#include <cstring>
#include <vector>

#include "ai/bot.h"
#include "characters/person.h"
#include "foundation/var.h"
#include "quests/dialog.h"
#include "render/material.h"
#include "render/render.h"
#include "render/texture.h"
#include "scene/model.h"
#include "scene/skeleton.h"
#include "world/fx.h"
#include "world/game.h"
#include "world/level.h"
#include "world/object.h"

ViewDialogueEyes View_DialogueEyes;

namespace {

constexpr float kPi = 3.14159265358979323846f;
constexpr float kFarPlane = 32000.0f;
constexpr int kMaxViewObjects = 1024;
constexpr float kPropRange = 1500.0f;
constexpr float kPropBox[6] = {-100, -100, -32, 100, 100, 100};
constexpr float kSkyFar = 3200000.0f;

struct TakenProp {
  const StreetProp* prop;
  ModelObject* model;
};

GameObject* g_taken[kMaxViewObjects];
std::vector<TakenProp> g_props;
std::vector<ModelObject*> g_kindModels;
ModelDrawParams g_params;  // one record a draw: rigid instances only (sky, suns, props)

void ResetParams(ModelDrawParams* p) {
  std::memset(p, 0, sizeof *p);
  Vec_Set(&p->scale, 1, 1, 1);
}

float Distance(const vec3& a, const vec3& b) {
  vec3 d;
  Vec_Subtract(&a, &b, &d);
  return float(Vec_Length(&d));
}

// The weapon's camera kick and field-of-view wobble t seconds after the last shot.
void View_WeaponKick(ViewParams* view, const WeaponDef& w, float t) {
  if (!(t >= 0)) return;  // a shot stamped in the future (network time) kicks nothing
  float a = render_fov.value / 90.0f;
  float rise = w.fovDelta2Time, fall = w.fovDeltaTime;
  float* angles = &view->angles.x;
  if (rise > 0 && t < rise) {
    for (int k = 0; k < 3; ++k) angles[k] += w.fovDelta[k] * a * (t / rise) * kPi / 180.0f;
  } else {
    float u = t - (rise > 0 ? rise : 0);
    if (fall > 0 && u < fall)
      for (int k = 0; k < 3; ++k) angles[k] += w.fovDelta[k] * a * ((fall - u) / fall) * kPi / 180.0f;
  }
  if (w.fovPeriod != 0) {
    float s = t / w.fovPeriod;
    if (s > 0 && s < 1) view->fov += std::sin(w.fovCycles * s * 2 * kPi) * w.fovOffset;
  }
}

void SetPlane(ViewPlane* p, const vec3& cameraNormal, const mat3& r, const vec3& position) {
  Vec_Rotate(&cameraNormal, &r, &p->normal);
  Vec_Normalize(&p->normal);
  p->dist = float(Vec_Dot(&p->normal, &position));
}

void SetCorners(ViewPlane* p) {
  const float* n = &p->normal.x;
  for (int k = 0; k < 3; ++k) {
    p->corner[k] = n[k] >= 0 ? k : k + 3;
    p->corner[k + 3] = n[k] >= 0 ? k + 3 : k;
  }
}

int BoneIndex(const Skeleton* s, const char* name) {
  for (int i = 0; i < s->boneCount; ++i)
    if (!std::strcmp(s->bones[i].name, name)) return i;
  return -1;
}

// Places the camera before the dialogue partner's face and keeps the eye and head data.
void View_DialogueCamera(ViewParams* view) {
  GameObject* partner = Dialog_Partner;
  if (!Dialog_Open || !partner) return;
  float yaw = Obj_Player ? Obj_Player->angles.x : 0.0f;
  view->angles = {yaw + std::sin(float(Game_Time) * 0.1f) * 0.31415927f, 0, 0};
  view->zoom = 1;
  const Skeleton* s = partner->skeleton;
  const BonePose* pose = partner->pose;
  vec3 partnerYaw{partner->angles.x, 0, 0};
  mat3 p;
  Mat_FromAngles(&p, &partnerYaw);
  const char* names[3] = {"Bip01 Head", "Bip01 EyeL", "Bip01 EyeR"};
  vec3 world[3];
  mat3 headRot;
  for (int i = 0; i < 3; ++i) {
    mat3 rot;
    vec3 pos, turned;
    Skel_GetBoneTransform(s, pose, pose, 0.0f, s && pose ? BoneIndex(s, names[i]) : -1, &rot, &pos);
    Vec_Rotate(&pos, &p, &turned);
    Vec_Add(&turned, &partner->origin, &world[i]);
    if (i == 0) Mat_Multiply(&rot, &p, &headRot);
  }
  mat3 look;
  Mat_FromAngles(&look, &view->angles);
  const vec3 back{0, -40, 4};
  vec3 offset;
  Vec_Rotate(&back, &look, &offset);
  Vec_Add(&world[0], &offset, &view->position);
  View_DialogueEyes.viewPosition = view->position;
  for (int e = 0; e < 2; ++e) Vec_Subtract(&view->position, &world[1 + e], &View_DialogueEyes.eyeToView[e]);
  Mat_Inverse(&headRot, &View_DialogueEyes.headInverse);
}

// One sky layer: four draws with the sky view's pass number.
void View_DrawSkyModel(ModelObject* model, ViewParams* sky, float yaw, float pitch) {
  if (!model) return;
  ResetParams(&g_params);
  g_params.angles = {yaw, pitch, 0};
  g_params.farDistance = kSkyFar;
  for (int pass = 0; pass < 4; ++pass) {
    sky->pass = pass;
    model->Draw(model, &g_params, sky);
  }
}

void View_DrawSky(ViewParams* view) {
  const char* layer1 = Level_SkyName[0];
  const char* layer2 = Level_SkyName[1];
  if (!layer1[0] && !layer2[0]) return;
  ViewParams sky{};
  sky.angles = view->angles;
  sky.zoom = 1;
  sky.poseBlend = 1.0f;
  View_Setup(&sky, 1);
  Render_SetCamera(&sky.angles.x, &sky.position.x);
  if (Level_FogFlag) Render_SetFogEnable(0);
  Render_SetDepthWrite(0);
  Render_SetDepthTest(0);
  float clock = Obj_Player ? float(Obj_Player->person.clock) : 0.0f;
  View_DrawSkyModel(Model_Find(layer1), &sky, kPi / 2, 0);
  View_DrawSkyModel(Model_Find("maps\\sky\\suns"), &sky, 0, 2 * kPi * clock / 60.0f - kPi / 2);
  View_DrawSkyModel(Model_Find(layer2), &sky, kPi / 2, 0);
  if (Level_FogFlag) Render_SetFogEnable(1);
  Render_SetDepthWrite(1);
  Render_SetDepthTest(1);
  view->statVertices += sky.statVertices;
  view->statTriangles += sky.statTriangles;
  view->statDrawCalls += sky.statDrawCalls;
}

bool BoxInView(const ViewParams* view, const float box[6], const vec3& origin) {
  for (int i = 0; i < 5; ++i)
    if (View_BoxOutside(&view->planes[i], box, &origin)) return false;
  return true;
}

int View_CollectObjects(const ViewParams* view) {
  int count = 0;
  for (GameObject* o = Obj_ListHead; o && count < kMaxViewObjects; o = o->next) {
    if (o->classNum == NPC && o->viewFar != 0 &&
        (Distance(o->origin, view->position) > o->viewFar || !BoxInView(view, o->viewBox, o->origin)))
      continue;
    g_taken[count++] = o;
  }
  return count;
}

void View_CollectProps(const ViewParams* view) {
  g_props.clear();
  const StreetPropGrid& g = Props_Grid;
  if (!g.cells || g.width <= 0 || g.height <= 0 || g.kindCount <= 0 || !g.kindNames) return;
  // A view that is nowhere (not a finite place) is near no prop.
  if (!std::isfinite(view->position.x) || !std::isfinite(view->position.y)) return;
  g_kindModels.resize(size_t(g.kindCount));
  for (int k = 0; k < g.kindCount; ++k) {
    char name[kPropNameSize];
    std::memcpy(name, g.kindNames[k], sizeof name);
    name[kPropNameSize - 1] = '\0';
    g_kindModels[size_t(k)] = Model_Find(name);
  }
  auto cell = [](float v, float origin, int size) {
    // Places off the grid take its edge cell (a value that is not a number, the first).
    float c = std::floor((v - origin) / kPropCellSize);
    return !(c >= 0) ? 0 : (c > float(size - 1) ? size - 1 : int(c));
  };
  int x0 = cell(view->position.x - kPropRange, g.originX, g.width);
  int x1 = cell(view->position.x + kPropRange, g.originX, g.width);
  int y0 = cell(view->position.y - kPropRange, g.originY, g.height);
  int y1 = cell(view->position.y + kPropRange, g.originY, g.height);
  for (int y = y0; y <= y1; ++y)
    for (int x = x0; x <= x1; ++x)
      for (const StreetProp* p = g.cells[size_t(y) * size_t(g.width) + size_t(x)]; p; p = p->next) {
        if (p->kind < 0 || p->kind >= g.kindCount || !g_kindModels[size_t(p->kind)]) continue;
        vec3 at{p->x, p->y, p->z}, d;
        Vec_Subtract(&at, &view->position, &d);
        if (!(Vec_Dot(&d, &d) < kPropRange * kPropRange)) continue;
        if (!BoxInView(view, kPropBox, at)) continue;
        g_props.push_back({p, g_kindModels[size_t(p->kind)]});
      }
}

}  // namespace

int View_BoxOutside(const ViewPlane* plane, const float box[6], const vec3* origin) {
  vec3 far{box[plane->corner[3]] + origin->x, box[plane->corner[4]] + origin->y,
           box[plane->corner[5]] + origin->z};
  return Vec_Dot(&plane->normal, &far) - plane->dist <= 0;
}

void View_Setup(ViewParams* view, int useFov) {
  view->time = float(Game_Time);
  view->frameTime = float(Game_Step);
  if (useFov) view->fov = render_fov.value * view->zoom;
  if (const GameObject* player = Obj_Player) {
    const PersonStats& ps = player->person;
    if (ps.cameraState == 2) view->fov = 60.0f;
    if (ps.equippedKind == 1 && ps.state == 1 && ps.actionState == 2 && ps.equippedIndex >= 0 &&
        ps.equippedIndex < kWeaponDefs)
      View_WeaponKick(view, Def_Weapons[ps.equippedIndex], view->time - ps.lastShotTime);
  }
  float h = std::tan(view->fov * kPi / 360.0f);
  view->farDistance = kFarPlane;
  mat3 r;
  Mat_FromAngles(&r, &view->angles);
  float w = Render_ScreenWidth > 0 ? float(Render_ScreenWidth) : 640.0f;
  float hh = Render_ScreenHeight > 0 ? float(Render_ScreenHeight) : 480.0f;
  SetPlane(&view->planes[0], {w / 2, h * w / 2, 0}, r, view->position);
  SetPlane(&view->planes[1], {-w / 2, h * w / 2, 0}, r, view->position);
  SetPlane(&view->planes[2], {0, h * hh / 2, w / 2}, r, view->position);
  SetPlane(&view->planes[3], {0, h * hh / 2, -w / 2}, r, view->position);
  SetPlane(&view->planes[4], {0, 1, 0}, r, view->position);
  ViewPlane& back = view->planes[5];
  back.normal = {-r.m[1][0], -r.m[1][1], -r.m[1][2]};
  Vec_Normalize(&back.normal);
  back.dist = float(Vec_Dot(&back.normal, &view->position)) - kFarPlane;
  for (ViewPlane& p : view->planes) SetCorners(&p);
}

void View_RenderWorld(ViewParams* view) {
  View_DialogueCamera(view);
  View_Setup(view, 1);
  if (Level_FogFlag) Render_SetFogEnable(1);
  Render_SetPerspective(view->fov, view->farDistance, render_scale.value);
  Render_SetCamera(&view->angles.x, &view->position.x);
  const float eye[4] = {view->position.x, view->position.y, view->position.z, 1};
  const float ambient[4] = {0.3f, 0.3f, 0.3f, 1}, diffuse[4] = {0.7f, 0.7f, 0.7f, 1}, specular[4] = {0, 0, 0, 1};
  Render_SetLight(0, eye, ambient, diffuse, specular);
  const VarRecord* wire = Var_Find("render_wireframe");
  Render_SetPolygonMode(wire && wire->value != 0 ? 1 : 2);

  View_DrawSky(view);

  Render_SetCamera(&view->angles.x, &view->position.x);
  int objects = View_CollectObjects(view);
  View_CollectProps(view);
  for (int pass = 0; pass < 4; ++pass) {
    view->pass = pass;
    for (int zone = 0; zone < 2; ++zone)
      for (int i = 0; i < objects; ++i) {
        GameObject* o = g_taken[i];
        if (o->drawZone == zone && (o->flags & OBJ_ACTIVE) && o->slots.Draw) o->slots.Draw(o, view);
      }
    for (const TakenProp& t : g_props) {
      ResetParams(&g_params);
      g_params.position = {t.prop->x, t.prop->y, t.prop->z};
      g_params.angles = {t.prop->yaw, 0, 0};
      g_params.lightingMode = 1;
      g_params.farDistance = 1000.0f;
      t.model->Draw(t.model, &g_params, view);
    }
  }
  View_DrawEffects(view);
}

void View_DrawEffects(ViewParams* view) {
  Render_SetDepthWrite(0);
  Render_SetCull(0);
  Render_SetLighting(0);
  vec3 forward, right, up;
  Mat_AxesFromAngles(&view->angles, &forward, &right, &up);
  static FxRecord* buckets[kMaxTextures];
  bool any = false;
  for (FxRecord* fx = Fx_ActiveList; fx; fx = fx->next) {
    if (!fx->active) continue;
    vec3 d;
    Vec_Subtract(&fx->position, &view->position, &d);
    if (!(Vec_Dot(&d, &forward) >= 25.0)) continue;
    uint32_t texture = 0;
    if (fx->material < uint32_t(kMaxMaterials)) {
      int frame = Material_GetFrame(int(fx->material), double(view->time) - fx->startTime);
      texture = Material_Table[fx->material].frameTexture[frame];
    }
    if (texture >= uint32_t(kMaxTextures)) texture = 0;
    fx->drawBucket = texture;
    fx->drawNext = buckets[texture];
    buckets[texture] = fx;
    any = true;
  }
  for (int t = 0; any && t < kMaxTextures; ++t) {
    if (!buckets[t]) continue;
    Tex_Bind(0, t, 2);
    // Records that share a texture may blend differently; the blend state is cached.
    for (FxRecord* fx = buckets[t]; fx; fx = fx->drawNext) {
      Render_SetBlend(int(fx->blendMode));
      float size = fx->size * (fx->life < 0.1f ? fx->life * 10.0f : 1.0f);
      float shade = fx->fade ? 1.0f - fx->life : 1.0f;
      auto byte = [](float v) { return uint8_t(v <= 0 ? 0 : (v >= 255 ? 255 : v)); };
      ImmVertex c[4];
      const float su[4] = {-1, 1, 1, -1}, sv[4] = {-1, -1, 1, 1};
      for (int k = 0; k < 4; ++k) {
        c[k].x = fx->position.x + (right.x * su[k] + up.x * sv[k]) * size;
        c[k].y = fx->position.y + (right.y * su[k] + up.y * sv[k]) * size;
        c[k].z = fx->position.z + (right.z * su[k] + up.z * sv[k]) * size;
        c[k].r = byte(fx->color[0] * shade);
        c[k].g = byte(fx->color[1] * shade);
        c[k].b = byte(fx->color[2] * shade);
        c[k].a = byte(fx->color[3]);
        c[k].u = su[k] > 0 ? 1.0f : 0.0f;
        c[k].v = sv[k] > 0 ? 1.0f : 0.0f;
      }
      Render_DrawTriangle(&c[0], &c[1], &c[2]);
      Render_DrawTriangle(&c[0], &c[2], &c[3]);
    }
    buckets[t] = nullptr;
  }
  Render_SetBlend(0);
  Render_SetDepthWrite(1);
}

void View_ResetRenderState() {
  Material_Bind(1, 0, 0.0, 2);
  Material_Bind(0, 0, 0.0, 2);
  Render_SetPolygonMode(2);
  Render_SetCull(0);
  Render_SetLighting(0);
  Render_SetFogEnable(0);
  Level_FogFlag = 0;
  Render_SetPerspective(90.0f, 32000.0f, 1.0f);
  static const float kZero[3] = {0, 0, 0};
  Render_SetCamera(kZero, kZero);
  Render_SetBlend(5);
}

#include "quests/ts.h"

#include <strings.h>

#include <cmath>
#include <cstdio>
#include <cstring>

#include "characters/actions.h"
#include "characters/player.h"
#include "foundation/bytereader.h"
#include "foundation/file.h"
#include "foundation/input.h"
#include "foundation/keys.h"
#include "foundation/log.h"
#include "foundation/mem.h"
#include "foundation/sound.h"
#include "foundation/text.h"
#include "hud/hud.h"
#include "quests/minigame.h"
#include "quests/state.h"
#include "render/draw2d.h"
#include "render/render.h"
#include "render/text.h"
#include "render/texture.h"
#include "scene/model.h"
#include "scene/view.h"
#include "ui/ui.h"
#include "world/frame2d.h"
#include "world/game.h"
#include "world/gameinput.h"
#include "world/level.h"
#include "world/object.h"
#include "world/personage.h"
#include "world/trace.h"

TsData TS_Data;
TsScreenState TS_State;
uint32_t MapScreen_Open;
const char* const Help_PictureNames[kHelpPictures] = {"sprites\\help\\keys", "sprites\\help\\play"};

// ---- The file ------------------------------------------------------------------------------------

namespace {

constexpr char kTsMagic[4] = {'T', 'W', 'T', 'S'};
constexpr uint32_t kTsVersion = 1;

// A fixed text field: it must end within its bytes, and a name used to find files must be a
// plain relative name (no "..", no leading slash, printable characters).
bool TakeName(ByteReader& r, char (&out)[kTsNameSize], bool fileName, bool mayBeEmpty) {
  char field[kTsNameSize];
  r.Take(field, sizeof field);
  if (!r.ok || !std::memchr(field, 0, sizeof field)) return false;
  if (!mayBeEmpty && !field[0]) return false;
  for (const char* p = field; *p; p++)
    if (uint8_t(*p) < 32 || uint8_t(*p) > 126) return false;
  if (fileName && (std::strstr(field, "..") || field[0] == '\\' || field[0] == '/' || std::strchr(field, ':')))
    return false;
  std::memcpy(out, field, sizeof field);
  return true;
}

bool Finite(const float* v, int n) {
  for (int i = 0; i < n; i++)
    if (!std::isfinite(v[i]) || std::fabs(v[i]) > 1e6f) return false;
  return true;
}

}  // namespace

int TS_ReadData(const void* bytes, size_t size, const char* fileName, TsData* out) {
  if (!out) return 0;
  if (!bytes) size = 0;
  ByteReader r(bytes, size);
  char magic[4];
  r.Take(magic, 4);
  const uint32_t version = r.U32();
  if (!r.ok || std::memcmp(magic, kTsMagic, 4) != 0 || version != kTsVersion) {
    Log_Printf("TS_Init: %s is not a Transport System file of version %u\n", fileName, kTsVersion);
    return 0;
  }
  // Large enough records stay off the stack.
  auto* data = static_cast<TsData*>(Global_MallocZero(sizeof(TsData), "TSDATA"));
  if (!data) return 0;
  auto refuse = [&](const char* what, int index) {
    Log_Printf("TS_Init: %s refused: %s %d\n", fileName, what, index);
    Global_Free(data);
    return 0;
  };
  const uint32_t districts = r.U32(), maps = r.U32();
  if (!r.ok || districts > uint32_t(kTsDistricts)) return refuse("district count", int(districts));
  if (maps > uint32_t(kTsMaps)) return refuse("map count", int(maps));
  data->districtCount = int32_t(districts);
  data->mapCount = int32_t(maps);
  for (uint32_t d = 0; d < districts; d++) {
    TsDistrict& dist = data->districts[d];
    if (!TakeName(r, dist.name, false, false) || !TakeName(r, dist.model, true, false))
      return refuse("bad name in district", int(d));
    dist.access = r.U32();
    const uint32_t places = r.U32();
    if (!r.ok || places > uint32_t(kTsPlaces)) return refuse("place count of district", int(d));
    dist.placeCount = int32_t(places);
    dist.usable = 1;
    for (uint32_t p = 0; p < places; p++) {
      TsPlace& place = dist.places[p];
      if (!TakeName(r, place.name, false, false) || !TakeName(r, place.level, true, false))
        return refuse("bad name in a place of district", int(d));
      r.F32s(&place.origin.x, 3);
      r.F32s(&place.angles.x, 3);
      if (!r.ok || !Finite(&place.origin.x, 3) || !Finite(&place.angles.x, 3))
        return refuse("bad start in a place of district", int(d));
      place.usable = 1;
    }
  }
  for (uint32_t m = 0; m < maps; m++) {
    TsMap& map = data->maps[m];
    if (!TakeName(r, map.level, true, false) || !TakeName(r, map.picture, true, false))
      return refuse("bad name in map", int(m));
    r.F32s(&map.minX, 4);
    if (!r.ok || !Finite(&map.minX, 4) || !(map.maxX > map.minX) || !(map.maxY > map.minY))
      return refuse("bad extent of map", int(m));
  }
  if (!r.ok) return refuse("short file at byte", int(r.pos));
  if (r.Left() != 0) return refuse("bytes after the end:", int(r.Left()));
  std::memcpy(out, data, sizeof *out);
  Global_Free(data);
  return 1;
}

namespace {

bool FileThere(const char* name) {
  FileHandle* f = File_Open(name, "rb");
  if (!f) return false;
  File_Close(f);
  return true;
}

// A map model: a ".may" (traced through its triangle tree) or a ".du" level file.
bool MapModelThere(const char* model) {
  char name[160];
  for (const char* ext : {".may", ".du"}) {
    std::snprintf(name, sizeof name, "%s%s%s", kTsModelFolder, model, ext);
    if (FileThere(name)) return true;
  }
  return false;
}

}  // namespace

void TS_Init() {
  TS_Data = TsData{};
  TS_State = TsScreenState{};
  uint32_t size = 0;
  void* bytes = File_LoadWhole(kTsFile, &size, "TSFILE");
  if (!bytes) {
    Log_Printf("TS_Init: no %s; the Transport System has no districts\n", kTsFile);
    return;
  }
  TsData* data = static_cast<TsData*>(Global_MallocZero(sizeof(TsData), "TSDATA"));
  if (data && TS_ReadData(bytes, size, kTsFile, data)) {
    for (int d = 0; d < data->districtCount; d++) {
      TsDistrict& dist = data->districts[d];
      if (!MapModelThere(dist.model)) {
        Log_Printf("TS_Init: district %s: no map model %s%s\n", dist.name, kTsModelFolder, dist.model);
        dist.usable = 0;
      }
      for (int p = 0; p < dist.placeCount; p++) {
        TsPlace& place = dist.places[p];
        char name[160];
        std::snprintf(name, sizeof name, "scenes\\%s.scn", place.level);
        if (!FileThere(name)) {
          Log_Printf("TS_Init: place %s: no level %s\n", place.name, place.level);
          place.usable = 0;
          continue;
        }
        char entry[kTsNameSize + 8];
        std::snprintf(entry, sizeof entry, "%s_%d", dist.model, p + 1);
        if (!MapModelThere(entry)) {
          Log_Printf("TS_Init: place %s: no entry model %s%s\n", place.name, kTsModelFolder, entry);
          place.usable = 0;
        }
      }
    }
    TS_Data = *data;
    Log_Printf("TS_Init: %d districts\n", TS_Data.districtCount);
  }
  Global_Free(data);
  Global_Free(bytes);
}

uint32_t TS_InitialAccess(int district) {
  if (district < 0 || district >= TS_Data.districtCount) return 0;
  return TS_Data.districts[district].access;
}

// ---- What the screen offers ------------------------------------------------------------------------

namespace {

bool LevelBlocked(const char* level) {
  for (const LockedExit& e : Que_State.lockedExits)
    if (e.name[0] && strncasecmp(e.name, level, sizeof e.name) == 0) return true;
  return false;
}

bool LevelLocked(const char* level) {
  for (const PlaceRecord& p : Game_Places)
    if (p.name[0] && strcasecmp(p.name, level) == 0) return p.lock != 0;
  return false;
}

}  // namespace

int TS_DistrictOffered(int district) {
  if (district < 0 || district >= TS_Data.districtCount || district >= kDistricts) return 0;
  return TS_Data.districts[district].usable && Que_State.districts[district] == 0;
}

int TS_PlaceOffered(int district, int place) {
  if (district < 0 || district >= TS_Data.districtCount) return 0;
  const TsDistrict& d = TS_Data.districts[district];
  if (place < 0 || place >= d.placeCount) return 0;
  const TsPlace& p = d.places[place];
  return p.usable && !LevelBlocked(p.level) && !LevelLocked(p.level);
}

int TS_HasDistricts() { return TS_Data.districtCount > 0; }

int TS_Open() {
  if (!TS_HasDistricts()) {
    Log_Printf("TS: the Transport System has no districts; not opened\n");
    return 0;
  }
  TS_State = TsScreenState{};
  Game_CentreCursor();
  Game_FullScreenMode = FULLSCREEN_TRANSPORT;
  return 1;
}

// ---- The map models: hover ray and drawing ---------------------------------------------------------

namespace {

// The eye above the screen's centre: a 90-degree view from this height shows 10 units a layout
// pixel in the plane z = 0.
constexpr float kEyeHeight = 3200.0f;
constexpr float kUnitsPerPixel = 10.0f;
// Where the screen's boxes lie on the 640 x 480 layout.
constexpr float kLeaveBox[4] = {525, 388, 587, 408};
constexpr float kGoBox[4] = {501, 221, 581, 261};

ModelDrawParams g_mapParams;

// Units a layout pixel stands for vertically: 10 on a 4:3 screen; the 3D view keeps square pixels
// on the real screen, so on another shape the layout's rows stand for more or fewer units.
float UnitsPerRow() {
  if (Render_ScreenWidth <= 0 || Render_ScreenHeight <= 0) return kUnitsPerPixel;
  return kUnitsPerPixel * 4.0f * float(Render_ScreenHeight) / (3.0f * float(Render_ScreenWidth));
}

ModelObject* MapModel(const char* model, int entry) {
  char name[kTsNameSize + 32];
  if (entry > 0) std::snprintf(name, sizeof name, "%s%s_%d", kTsModelFolder, model, entry);
  else std::snprintf(name, sizeof name, "%s%s", kTsModelFolder, model);
  return Model_Get(name);
}

ModelDrawParams* MapParams() {
  std::memset(&g_mapParams, 0, sizeof g_mapParams);
  Vec_Set(&g_mapParams.scale, 1, 1, 1);
  g_mapParams.drawValues[0] = 1;
  return &g_mapParams;
}

// The fraction along the pointer's ray at which it meets the model (1 or more: it misses). A ray
// that runs exactly along the edge between two triangles meets neither, so two rays a small part
// of a unit apart are traced and the nearer hit counts.
float RayFraction(ModelObject* model, float x, float y) {
  if (!model) return 1.0f;
  const float px = (x - kScreen2DWidth / 2) * kUnitsPerPixel, py = (kScreen2DHeight / 2 - y) * UnitsPerRow();
  const float nudges[2][2] = {{0.013f, 0.029f}, {-0.021f, 0.017f}};
  float best = 1.0f;
  for (const auto& n : nudges) {
    TraceRequest rq{};
    rq.start = vec3{0, 0, kEyeHeight};
    rq.end = vec3{2 * (px + n[0]), 2 * (py + n[1]), -kEyeHeight};  // through the plane and on below it
    Vec_Subtract(&rq.end, &rq.start, &rq.delta);
    Vec_Cross(&rq.start, &rq.end, &rq.moment);
    rq.fraction = 1.0f;
    rq.factor = 1.0f;
    rq.mask = 15;
    model->Trace(model, MapParams(), &rq);
    if (rq.fraction < best) best = rq.fraction;
  }
  return best;
}

bool Inside(const float box[4], float x, float y) { return x >= box[0] && x <= box[2] && y >= box[1] && y <= box[3]; }

bool PlayerOnFoot() { return Obj_Player && Obj_Player->person.carIndex == 0; }

}  // namespace

void TS_UpdateHover(float x, float y) {
  TS_State.hover = 0;
  float best = 1.0f;
  if (TS_State.district > 0) {
    const int d = TS_State.district - 1;
    if (d >= TS_Data.districtCount || !PlayerOnFoot()) return;
    const TsDistrict& dist = TS_Data.districts[d];
    for (int p = 0; p < dist.placeCount; p++) {
      if (!TS_PlaceOffered(d, p)) continue;
      float f = RayFraction(MapModel(dist.model, p + 1), x, y);
      if (f < best) best = f, TS_State.hover = p + 1;
    }
    return;
  }
  for (int d = 0; d < TS_Data.districtCount; d++) {
    if (!TS_DistrictOffered(d)) continue;
    float f = RayFraction(MapModel(TS_Data.districts[d].model, 0), x, y);
    if (f < best) best = f, TS_State.hover = d + 1;
  }
}

namespace {

void TS_Leave() {
  TS_State = TsScreenState{};
  Game_FullScreenMode = FULLSCREEN_NONE;
  Player_ClearInput();
  Input_Reset();
}

// The day and night buttons: health and energy full, the clock to that time of the day.
void TS_SetDayTime(double partOfDay, const char* sound) {
  GameObject* player = Obj_Player;
  if (!player) return;
  PersonStats& ps = player->person;
  ps.health = ps.maxHealth;
  ps.energy = ps.maxEnergy;
  const double day = Hud_DayLength();
  ps.clock = (std::floor(ps.clock / day) + partOfDay) * day;
  Sound_Play(sound, 1.0f, 100.0f, nullptr, 0, 0);
}

void TS_Go() {
  const TsDistrict& dist = TS_Data.districts[TS_State.district - 1];
  const TsPlace& place = dist.places[TS_State.place - 1];
  const float k = kMathPi / 180.0f;
  std::snprintf(Game_PendingLevel, sizeof Game_PendingLevel, "%s", place.level);
  Game_NextStartOrigin = place.origin;
  Game_NextStartAngles = vec3{place.angles.x * k, place.angles.y * k, place.angles.z * k};
  Game_NextStartGiven = 1;
  Log_Printf("TS: to %s\n", place.level);
  TS_State = TsScreenState{};
  Game_FullScreenMode = FULLSCREEN_NONE;
  Input_Reset();
}

bool PlaceSelected() {
  const int d = TS_State.district - 1, p = TS_State.place - 1;
  return TS_State.district > 0 && TS_State.place > 0 && TS_PlaceOffered(d, p);
}

}  // namespace

void TS_Input() {
  TS_UpdateHover(Game_CursorX, Game_CursorY);
  if (Input_KeyPressed(KEY_ESCAPE) | Input_KeyPressed(kKeyMouseRight)) {
    TS_Leave();
    return;
  }
  if (!Input_KeyPressed(kKeyMouseLeft)) return;
  const float x = Game_CursorX, y = Game_CursorY;
  if (Inside(kLeaveBox, x, y)) {
    TS_Leave();
  } else if (Inside(Hud_Settings.dayButton, x, y)) {
    TS_SetDayTime(0.15, "sound\\day");
  } else if (Inside(Hud_Settings.nightButton, x, y)) {
    TS_SetDayTime(0.65, "sound\\night");
  } else if (Inside(kGoBox, x, y) && PlaceSelected()) {
    TS_Go();
  } else if (TS_State.district > 0) {
    if (TS_State.hover > 0) TS_State.place = TS_State.hover;
  } else if (TS_State.hover > 0 && TS_DistrictOffered(TS_State.hover - 1)) {
    TS_State.district = TS_State.hover;
    TS_State.place = 0;
    TS_State.hover = 0;
  }
}

// ---- Drawing ---------------------------------------------------------------------------------------

namespace {

struct NamedPicture {
  char name[kTsNameSize + 16];
  Picture picture;
  uint32_t generation;
  bool tried;
};

const Picture* LoadPicture(NamedPicture& p, const char* name) {
  const uint32_t generation = Tex_GetGeneration();
  if (std::strcmp(p.name, name) != 0 || !p.tried || p.generation != generation) {
    std::snprintf(p.name, sizeof p.name, "%s", name);
    p.picture = Picture{};
    p.tried = true;
    p.generation = generation;
    Draw2D_LoadPicture(name, &p.picture);
  }
  return p.picture.material ? &p.picture : nullptr;
}

NamedPicture g_pointer, g_mapPicture, g_help[kHelpPictures];

void Label(const char* key, const char* fallback, float l, float t, float r, float b, float size, float red,
           float green, float blue) {
  Print_SetBackgroundColor(0, 0, 0, 0);
  Print_SetAlign(1);
  Print_SetSize(size);
  Print_SetWidthScale(size);
  Print_SetColor(red, green, blue, 1);
  UI_DrawText(key, fallback, l, t, r, b);
}

void Pointer() {
  if (const Picture* p = LoadPicture(g_pointer, "sprites\\Menu\\cursor"))
    Draw2D_PictureAt(Game_CursorX, Game_CursorY, p, 1, Color8{255, 255, 255, 255});
  else
    UI_FillRect(Game_CursorX, Game_CursorY, Game_CursorX + 6, Game_CursorY + 6, 255, 255, 255, 255);
}

// The map models from the eye above the centre, the later ones over the earlier.
void DrawMapModels() {
  ModelObject* models[1 + kTsPlaces];
  int count = 0;
  if (TS_State.district > 0) {
    const int d = TS_State.district - 1;
    const TsDistrict& dist = TS_Data.districts[d];
    models[count++] = MapModel(dist.model, 0);
    if (PlayerOnFoot())
      for (int p = 0; p < dist.placeCount; p++)
        if (TS_PlaceOffered(d, p)) models[count++] = MapModel(dist.model, p + 1);
  } else {
    for (int d = 0; d < TS_Data.districtCount && count < 1 + kTsPlaces; d++)
      if (TS_DistrictOffered(d)) models[count++] = MapModel(TS_Data.districts[d].model, 0);
  }
  ViewParams view{};
  view.position = vec3{0, 0, kEyeHeight};
  view.angles = vec3{0, -kMathPi / 2, 0};
  view.zoom = 1;
  view.fov = 90.0f;
  View_Setup(&view, 0);
  view.fov = 90.0f;
  Render_SetPerspective(90.0f, 2 * kEyeHeight, 1.0f);
  Render_SetCamera(&view.angles.x, &view.position.x);
  Render_SetDepthTest(0);
  Render_SetDepthWrite(0);
  for (int i = 0; i < count; i++)
    if (models[i]) {
      view.pass = 0;
      models[i]->Draw(models[i], MapParams(), &view);
    }
  View_ResetRenderState();
  Render_SetDepthTest(0);
  Render_SetDepthWrite(1);
}

const char* DistrictName(int index) { return TS_Data.districts[index].name; }

// A frame around a map model: the box of its object "area", when it has one.
void Outline(ModelObject* model, uint8_t r, uint8_t g, uint8_t b) {
  if (!model) return;
  uint8_t request[4 + 8] = {1, 0, 0, 0, 'a', 'r', 'e', 'a', 0};
  uint8_t answer[4 + 24] = {};
  model->Query(model, MapParams(), request, answer);
  int32_t found;
  float box[6];
  std::memcpy(&found, answer, 4);
  std::memcpy(box, answer + 4, sizeof box);
  if (found != 1) return;
  const float l = kScreen2DWidth / 2 + box[0] / kUnitsPerPixel, rr = kScreen2DWidth / 2 + box[3] / kUnitsPerPixel;
  const float t = kScreen2DHeight / 2 - box[4] / UnitsPerRow(), bb = kScreen2DHeight / 2 - box[1] / UnitsPerRow();
  UI_FillRect(l - 2, t - 2, rr + 2, t, r, g, b, 255);
  UI_FillRect(l - 2, bb, rr + 2, bb + 2, r, g, b, 255);
  UI_FillRect(l - 2, t, l, bb, r, g, b, 255);
  UI_FillRect(rr, t, rr + 2, bb, r, g, b, 255);
}

void DrawTransportSystem() {
  DrawMapModels();
  // The selected place in green, what the pointer is on in white.
  if (TS_State.district > 0) {
    const TsDistrict& dist = TS_Data.districts[TS_State.district - 1];
    if (PlaceSelected()) Outline(MapModel(dist.model, TS_State.place), 60, 255, 90);
    if (TS_State.hover > 0 && TS_State.hover != TS_State.place) Outline(MapModel(dist.model, TS_State.hover), 255, 255, 255);
  } else if (TS_State.hover > 0) {
    Outline(MapModel(TS_Data.districts[TS_State.hover - 1].model, 0), 255, 255, 255);
  }
  // The panel on the right: the district, what the pointer is on, the selected place.
  UI_FillRect(440, 20, 630, 210, 20, 30, 50, 200);
  if (TS_State.district > 0) {
    Label(DistrictName(TS_State.district - 1), DistrictName(TS_State.district - 1), 440, 24, 630, 50, 20, 1, 0.9f,
          0.6f);
    if (TS_State.hover > 0) {
      const char* n = TS_Data.districts[TS_State.district - 1].places[TS_State.hover - 1].name;
      Label(n, n, 440, 60, 630, 90, 16, 1, 1, 1);
    }
  } else {
    Label("ts\\choose", "Choose a district", 440, 24, 630, 50, 20, 1, 0.9f, 0.6f);
    if (TS_State.hover > 0) Label(DistrictName(TS_State.hover - 1), DistrictName(TS_State.hover - 1), 440, 60, 630, 90, 16, 1, 1, 1);
  }
  const bool selected = PlaceSelected();
  if (selected) {
    const char* n = TS_Data.districts[TS_State.district - 1].places[TS_State.place - 1].name;
    Label(n, n, 440, 150, 630, 200, 18, 0.6f, 1, 0.6f);
  }
  UI_FillRect(kGoBox[0], kGoBox[1], kGoBox[2], kGoBox[3], selected ? 40 : 50, selected ? 150 : 50,
              selected ? 60 : 50, 255);
  Label("ts\\go", "Go", kGoBox[0], kGoBox[1] + 8, kGoBox[2], kGoBox[3], 20, 1, 1, 1);
  UI_FillRect(kLeaveBox[0], kLeaveBox[1], kLeaveBox[2], kLeaveBox[3], 150, 40, 40, 255);
  Label("ts\\exit", "Exit", kLeaveBox[0], kLeaveBox[1] + 1, kLeaveBox[2], kLeaveBox[3], 16, 1, 1, 1);
  const float* day = Hud_Settings.dayButton;
  const float* night = Hud_Settings.nightButton;
  UI_FillRect(day[0], day[1], day[2], day[3], 200, 170, 60, 255);
  Label("ts\\day", "Day", day[0], day[1] + 8, day[2], day[3], 18, 0, 0, 0);
  UI_FillRect(night[0], night[1], night[2], night[3], 40, 60, 140, 255);
  Label("ts\\night", "Night", night[0], night[1] + 8, night[2], night[3], 18, 1, 1, 1);
  Pointer();
}

void DrawHelp() {
  bool any = false;
  const float height = kScreen2DHeight / kHelpPictures;
  for (int i = 0; i < kHelpPictures; i++)
    if (const Picture* p = LoadPicture(g_help[i], Help_PictureNames[i])) {
      Draw2D_PictureSized(0, float(i) * height, kScreen2DWidth, height, p, 1, Color8{255, 255, 255, 255});
      any = true;
    }
  if (!any) Label("help\\none", "Help: F1, Escape, Space or Enter return to the game", 0, 220, 640, 260, 20, 1, 1, 1);
}

}  // namespace

void TS_Draw() {
  switch (Game_FullScreenMode) {
    case FULLSCREEN_TRANSPORT:
      DrawTransportSystem();
      break;
    case FULLSCREEN_MINIGAME:
      MiniGame_Frame();
      if (Game_FullScreenMode == FULLSCREEN_MINIGAME) Pointer();
      break;
    case FULLSCREEN_HELP:
      DrawHelp();
      break;
    default:
      break;
  }
}

// ---- The map screen ----------------------------------------------------------------------------------

namespace {

const TsMap* LevelMap(const char* level) {
  if (!level || !level[0]) return nullptr;
  for (int i = 0; i < TS_Data.mapCount; i++)
    if (strcasecmp(TS_Data.maps[i].level, level) == 0) return &TS_Data.maps[i];
  return nullptr;
}

// The map's picture fills this box of the layout.
constexpr float kMapBox[4] = {80, 0, 560, 480};

void Marker(float x, float y, float size, uint8_t r, uint8_t g, uint8_t b) {
  UI_FillRect(x - size, y - size, x + size, y + size, r, g, b, 255);
}

GameObject* ObjectNamed(const char* name) {
  for (GameObject* o = Obj_ListHead; o; o = o->next)
    if ((o->flags & OBJ_ACTIVE) && o->person.name[0] && strcasecmp(o->person.name, name) == 0) return o;
  return nullptr;
}

uint32_t g_mapHeld;

}  // namespace

bool MapScreen_Project(const char* level, float x, float y, float* sx, float* sy) {
  const TsMap* map = LevelMap(level);
  if (!map) return false;
  *sx = kMapBox[0] + (x - map->minX) / (map->maxX - map->minX) * (kMapBox[2] - kMapBox[0]);
  *sy = kMapBox[1] + (map->maxY - y) / (map->maxY - map->minY) * (kMapBox[3] - kMapBox[1]);
  return true;
}

void MapScreen_Command(uint32_t command) {
  const uint32_t held = command & CMD_MAP;
  if (held && !g_mapHeld) {
    MapScreen_Open ^= 1;
    if (MapScreen_Open && !LevelMap(Level_Name)) Log_Printf("MapScreen: no map of level %s\n", Level_Name);
  }
  g_mapHeld = held;
}

void MapScreen_Draw() {
  const TsMap* map = LevelMap(Level_Name);
  UI_FillRect(kMapBox[0], kMapBox[1], kMapBox[2], kMapBox[3], 10, 10, 20, 230);
  if (!map) {
    Label("map\\none", "No map of this place", kMapBox[0], 220, kMapBox[2], 260, 20, 1, 1, 1);
    return;
  }
  if (const Picture* p = LoadPicture(g_mapPicture, map->picture))
    Draw2D_PictureSized(kMapBox[0], kMapBox[1], kMapBox[2] - kMapBox[0], kMapBox[3] - kMapBox[1], p, 1,
                        Color8{255, 255, 255, 255});
  float sx, sy;
  // Tracked locations of this level at their places, tracked characters where they stand.
  for (const TrackedLocation& loc : Que_State.locations)
    if (loc.name[0] && strncasecmp(loc.level, Level_Name, sizeof loc.level) == 0 &&
        MapScreen_Project(Level_Name, loc.origin[0], loc.origin[1], &sx, &sy))
      Marker(sx, sy, 5, 60, 140, 255);
  for (const TrackedName& npc : Que_State.tracked)
    if (npc.name[0])
      if (GameObject* o = ObjectNamed(npc.name))
        if (MapScreen_Project(Level_Name, o->origin.x, o->origin.y, &sx, &sy)) Marker(sx, sy, 5, 255, 200, 40);
  // The player: a square with a short line of squares ahead of it.
  if (GameObject* player = Obj_Player)
    if (MapScreen_Project(Level_Name, player->origin.x, player->origin.y, &sx, &sy)) {
      Marker(sx, sy, 6, 255, 40, 40);
      const float yaw = player->angles.x;
      for (int i = 1; i <= 3; i++)
        Marker(sx + std::sin(yaw) * 6.0f * float(i + 1), sy - std::cos(yaw) * 6.0f * float(i + 1), 2, 255, 90, 90);
    }
}

#include "world/tick.h"

#include <strings.h>

#include <cmath>
#include <cstring>

#include "ai/bot.h"
#include "foundation/log.h"
#include "foundation/mem.h"
#include "physics/physics.h"
#include "quests/quest.h"
#include "world/fx.h"
#include "world/game.h"
#include "world/gamevars.h"
#include "world/level.h"
#include "world/object.h"
#include "world/population.h"

double Game_Time;
double Game_Step;
DemoFrame Game_CurrentFrame;
DemoFrame Game_TickFrame;
DemoFrame Game_InputRing[kInputRing];
int32_t Game_RingWrite;
int32_t Game_RingRead;
uint32_t Game_TickCount;
int32_t Tick_NearThinkers;
int32_t Tick_EngagedNear;
int32_t Tick_IdleUnnamedNear;
int32_t Tick_CiviliansNear;
int32_t Tick_CarsNear;
uint32_t Tick_AiStarted;

static GameObject* g_traceFixed[kTickListSize];
static GameObject* g_nearFixed[kTickListSize];
static GameObject* g_thinkFixed[kTickListSize];
TickList Tick_TraceList = {g_traceFixed, 0, kTickListSize};
TickList Tick_NearList = {g_nearFixed, 0, kTickListSize};
TickList Tick_ThinkList = {g_thinkFixed, 0, kTickListSize};

GridCell Tick_Grid[kGridCells][kGridCells];
vec3 Tick_GridCentre;
static bool g_gridValid;
static uint32_t g_collectStamp;

// A full list doubles (once grown it stays grown, so later ticks allocate nothing).
static void TickList_Grow(TickList* list, GameObject* obj, const char* which) {
  {
    int capacity = list->capacity * 2;
    auto* grown = static_cast<GameObject**>(Global_Malloc(sizeof(GameObject*) * capacity, "TICKL"));
    if (!grown) return;  // out of memory: left out of this tick's list
    std::memcpy(grown, list->items, sizeof(GameObject*) * list->count);
    static bool logged;
    if (!logged) {
      logged = true;
      Log_Printf("Game_Tick: more than %i objects in the %s list; the lists grow\n", list->capacity, which);
    }
    if (list->items != g_traceFixed && list->items != g_nearFixed && list->items != g_thinkFixed)
      Global_Free(list->items);
    list->items = grown;
    list->capacity = capacity;
  }
  list->items[list->count++] = obj;
}

static inline void TickList_Add(TickList* list, GameObject* obj, const char* which) {
  if (list->count < list->capacity)
    list->items[list->count++] = obj;
  else
    TickList_Grow(list, obj, which);
}

void Tick_ForgetObjects() {
  Tick_TraceList.count = Tick_NearList.count = Tick_ThinkList.count = 0;
  g_gridValid = false;
  // Emptied too: a cell whose stamp matches a tick count seen again (a cleared world starts its
  // count afresh) must not hand out released objects.
  for (auto& row : Tick_Grid)
    for (GridCell& cell : row) cell.count = 0;
}

static int Grid_Index(float c, float centre) {
  double i = std::floor((double(c) - centre) / kGridCellSize + kGridCells / 2);
  if (!(i >= 0)) return 0;  // also NaN
  if (i > kGridCells - 1) return kGridCells - 1;
  return int(i);
}

static void Grid_Insert(GameObject* obj) {
  float minX = obj->origin.x + obj->mins.x, maxX = obj->origin.x + obj->maxs.x;
  float minY = obj->origin.y + obj->mins.y, maxY = obj->origin.y + obj->maxs.y;
  if (minY > maxY || minX > maxX) return;
  int x0 = Grid_Index(minX, Tick_GridCentre.x), x1 = Grid_Index(maxX, Tick_GridCentre.x);
  int y0 = Grid_Index(minY, Tick_GridCentre.y), y1 = Grid_Index(maxY, Tick_GridCentre.y);
  for (int y = y0; y <= y1; y++) {
    for (int x = x0; x <= x1; x++) {
      GridCell& cell = Tick_Grid[y][x];
      if (cell.stamp != Game_TickCount) {
        cell.stamp = Game_TickCount;
        cell.count = 1;
        cell.objects[0] = obj;
      } else if (cell.count >= kGridCellObjects) {
        Log_Printf("clip_ceil overflow\n");
      } else {
        cell.objects[cell.count++] = obj;
      }
    }
  }
}

int Tick_GridCollect(const vec3* mins, const vec3* maxs, GameObject** out, int capacity) {
  if (!g_gridValid || !mins || !maxs || !out) return 0;
  if (mins->x > maxs->x || mins->y > maxs->y) return 0;
  g_collectStamp++;
  int x0 = Grid_Index(mins->x, Tick_GridCentre.x), x1 = Grid_Index(maxs->x, Tick_GridCentre.x);
  int y0 = Grid_Index(mins->y, Tick_GridCentre.y), y1 = Grid_Index(maxs->y, Tick_GridCentre.y);
  int n = 0;
  for (int y = y0; y <= y1; y++) {
    for (int x = x0; x <= x1; x++) {
      const GridCell& cell = Tick_Grid[y][x];
      if (cell.stamp != Game_TickCount) continue;
      for (int i = 0; i < cell.count; i++) {
        GameObject* obj = cell.objects[i];
        if (obj->traceStamp == g_collectStamp) continue;
        obj->traceStamp = g_collectStamp;
        if (n < capacity) out[n++] = obj;
      }
    }
  }
  return n;
}

static bool Tick_IsEngaged(const GameObject* obj) { return obj->npcControl == 12 || obj->bot.engaged != 0; }

static inline void Tick_Classify(GameObject* obj, const vec3& centre, bool thornhelm) {
  if (Game_SpecialFlag) {
    if (obj->classNum == NPC) return;
    TickList_Add(&Tick_TraceList, obj, "trace");
    TickList_Add(&Tick_ThinkList, obj, "think");
    return;
  }
  switch (obj->classNum) {
    case MACHINEPLAYER:
    case NPC: {
      double dx = double(obj->origin.x) - centre.x;
      double dy = double(obj->origin.y) - centre.y;
      double dz = double(obj->origin.z) - centre.z;
      if (dx * dx + dy * dy + dz * dz < double(kNearRadius) * kNearRadius) {
        TickList_Add(&Tick_NearList, obj, "near");
      } else if (!obj->person.name[0] || (thornhelm && obj->physicsBody)) {
        Obj_RequestDelete(obj);
      } else {
        if (obj->physicsBody) {
          Physics_FreeRagdoll(obj);
          obj->bodyReleased = 1;
        }
        if (obj->flags & OBJ_FAR_THINK) TickList_Add(&Tick_ThinkList, obj, "think");
      }
      return;
    }
    case ANIM:
      if (obj->removeRequest == 1) {
        Obj_RequestDelete(obj);
        return;
      }
      break;
    case PULKA:
      TickList_Add(&Tick_ThinkList, obj, "think");
      return;
    default:
      break;
  }
  TickList_Add(&Tick_TraceList, obj, "trace");
  TickList_Add(&Tick_ThinkList, obj, "think");
}

// The tick's sorting step: copies the bodies' poses into their objects, fills the per-tick lists
// (a far unnamed character is queued for deletion, a far named one loses its body) and builds the
// grid.
static void Tick_BuildLists() {
  GameObject* player = Obj_Player;
  if (!player) return;
  const bool thornhelm = strcasecmp(game_name.text, "thornhelm") == 0;
  // Every body's pose is copied into its object before the object is classified; the player's
  // first, since its origin centres the grid. (Syncing one object touches no other.)
  if (player->physicsBody) Physics_SyncObject(player);
  Tick_TraceList.count = Tick_NearList.count = Tick_ThinkList.count = 0;
  Tick_GridCentre = player->origin;
  const vec3 centre = Tick_GridCentre;
  int count = 0;
  GameObject* const* all = Obj_ListArray(&count);
  for (int i = 0; i < count; i++) {
    GameObject* o = all[i];
    if (o->physicsBody && o != player) Physics_SyncObject(o);
    Tick_Classify(o, centre, thornhelm);
  }
  Tick_BuildGrid();
}

void Tick_BuildGrid() {
  Game_TickCount++;  // the new stamp: every cell of an earlier build counts as empty
  g_gridValid = true;
  for (int i = 0; i < Tick_NearList.count; i++) Grid_Insert(Tick_NearList.items[i]);
}

void Game_Tick() {
  Game_Step = Game_TickFrame.step;
  Game_Time += Game_Step;
  if (!Game_Running || !Obj_Player) return;

  Obj_Player->person.clock += Game_Step;
  if (!Tick_AiStarted) {
    ai_StartLevel();
    Tick_AiStarted = 1;
  }
  Que_Tick();
  Obj_FlushDeleted();
  Physics_Frame(Game_Step);
  if (!Obj_Player) return;  // the player was released by the flush
  Tick_BuildLists();

  // Slots may append objects to the list, never remove them: the lists stay valid here.
  for (int i = 0; i < Tick_NearList.count; i++) {
    GameObject* o = Tick_NearList.items[i];
    if (!(o->flags & OBJ_ACTIVE)) continue;
    o->slots.Think(o);
    o->slots.Animate(o);
    Tick_NearThinkers++;
  }
  for (int i = 0; i < Tick_ThinkList.count; i++) {
    GameObject* o = Tick_ThinkList.items[i];
    if (!(o->flags & OBJ_ACTIVE)) continue;
    o->slots.Think(o);
    o->slots.Animate(o);
  }

  Tick_EngagedNear = Tick_IdleUnnamedNear = Tick_CiviliansNear = Tick_CarsNear = 0;
  for (int i = 0; i < Tick_NearList.count; i++) {
    const GameObject* o = Tick_NearList.items[i];
    if (o->classNum != NPC) continue;
    if (o->person.vehicleState)
      Tick_CarsNear++;
    else if (!o->person.name[0])
      Tick_CiviliansNear++;
    if (Tick_IsEngaged(o))
      Tick_EngagedNear++;
    else if (!o->person.name[0])
      Tick_IdleUnnamedNear++;
  }

  if (!Game_SpecialFlag) Pop_Update();
  ai_Tick();
  Fx_Update();
  Obj_KeepInWorld();
}

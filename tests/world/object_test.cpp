// Game objects: the list, deferred deletion, classes outside the binding table, use groups.
#include <gtest/gtest.h>

#include <cstring>
#include <vector>

#include "world/props.h"
#include "world_fixture.h"

namespace {

using tw_test::WorldTest;
using ObjectList = WorldTest;

int g_freed;
GameObject* g_chained;
void CountingFree(GameObject*) { g_freed++; }
void ChainingFree(GameObject*) {
  g_freed++;
  if (g_chained) Obj_RequestDelete(g_chained);
  g_chained = nullptr;
}

TEST_F(ObjectList, DeferredDeletionReleasesOnceSparesTheRevivedAndFlushesChainedRequests) {
  g_freed = 0;
  std::vector<GameObject*> objs;
  for (int i = 0; i < 5; i++) objs.push_back(Spawn(WORLD));
  for (GameObject* o : objs) o->slots.Free = CountingFree;
  Obj_RequestDelete(objs[1]);
  Obj_RequestDelete(objs[1]);  // twice before one flush: released once
  Obj_RequestDelete(objs[2]);
  objs[2]->flags |= OBJ_ACTIVE;  // revived before the flush
  objs[3]->slots.Free = ChainingFree;
  g_chained = objs[4];
  Obj_RequestDelete(objs[3]);
  EXPECT_EQ(Obj_Count(), 5);  // nothing leaves before the flush
  Obj_FlushDeleted();
  EXPECT_EQ(g_freed, 3);  // 1, 3, and 4 queued by 3's Free
  EXPECT_EQ(objs[0]->next, objs[2]);
  EXPECT_EQ(Obj_ListTail, objs[2]);
  int count = 0;
  GameObject* const* all = Obj_ListArray(&count);  // the array the tick walks follows the list
  ASSERT_EQ(count, 2);
  EXPECT_EQ(all[1], objs[2]);
  // The revived object can be queued again.
  objs[2]->slots.Free = CountingFree;
  Obj_RequestDelete(objs[2]);
  Obj_FlushDeleted();
  EXPECT_EQ(g_freed, 4);
  EXPECT_EQ(Obj_ListTail, objs[0]);
  // The queue grows beyond any fixed size.
  for (int i = 0; i < 3000; i++) Spawn(WORLD);
  for (GameObject* o = Obj_ListHead; o; o = o->next) Obj_RequestDelete(o);
  Obj_FlushDeleted();
  EXPECT_EQ(Obj_ListTail, nullptr);
}

TEST_F(ObjectList, ClassesOutsideOneToNineBindNothingAndUseGroupsHoldThirtyTwo) {
  for (int cls : {0, 10, -1}) {
    GameObject* o = Obj_Alloc();
    o->classNum = cls;
    ObjectClassSlots before = o->slots;
    EXPECT_EQ(Load_ObjectX(o), 0);
    EXPECT_EQ(std::memcmp(&before, &o->slots, sizeof before), 0);
  }
  EXPECT_NE(Log().find("Load_ObjectX: object 2 has class 10, outside 1..9; not bound"), std::string::npos);
  // Use groups hold thirty-two; a full table refuses.
  GameObject* o = Obj_Alloc();
  int first = ObjGroup_Add("gate", o);
  for (int i = 1; i < 32; i++) EXPECT_EQ(ObjGroup_Add("GATE", o), first);
  int second = ObjGroup_Add("gate", o);
  EXPECT_NE(second, first);
  EXPECT_EQ(ObjGroup_Table[second].count, 1);
  EXPECT_NE(ObjGroup_Add("", o), ObjGroup_Add("", o));  // an empty name always makes a new group
  while (ObjGroup_Count < kObjGroups) ObjGroup_Add("", o);
  EXPECT_EQ(ObjGroup_Add("late", o), 0);
  EXPECT_NE(Log().find("ObjGroup_Add: all 128 use groups taken"), std::string::npos);
  ObjGroup_Reset();
}

// A clear empties the list and starts the ids again at 1; new objects stand in creation order
// and every slot of a new object is callable before a class binds it.
TEST_F(ObjectList, IdsRestartAfterClearAndObjectsStandInCreationOrder) {
  for (int i = 0; i < 3; i++) Obj_Alloc();
  Obj_ClearAll();
  EXPECT_EQ(Obj_FindById(1), nullptr);
  EXPECT_EQ(Obj_Count(), 0);
  EXPECT_EQ(Obj_ListHead, nullptr);
  EXPECT_EQ(Obj_ListTail, nullptr);
  GameObject* a = Obj_Alloc();
  GameObject* b = Obj_Alloc();
  EXPECT_EQ(a->id, 1u);
  EXPECT_EQ(b->id, 2u);
  EXPECT_EQ(Obj_ListHead, a);
  EXPECT_EQ(a->next, b);
  EXPECT_EQ(b->prev, a);
  EXPECT_EQ(Obj_ListTail, b);
  EXPECT_EQ(Obj_FindById(2), b);
  EXPECT_EQ(Obj_FindById(3), nullptr);
  EXPECT_EQ(Obj_Count(), 2);
  int32_t request[8] = {0};
  char reply[kObjInfoReplyBytes] = {0};
  a->slots.Animate(a);
  a->slots.Think(a);
  a->slots.Damage(a, b, 1, 1, nullptr, 0, 0);
  a->slots.Use(a, b, "");
  a->slots.Info(a, request, reply);
  a->slots.PreSave(a);
  a->slots.PostLoad(a);
  a->slots.Init(a);
  EXPECT_EQ(Obj_Count(), 2);
}

}  // namespace

namespace {

// Ids are never 0 and never one an object holds: a counter set near its end (as a loaded game
// sets it) wraps past 0 and past the ids in use, and one set below the ids in use skips them.
TEST_F(ObjectList, NewIdsSkipZeroAndIdsInUse) {
  std::vector<GameObject*> objs;
  for (int i = 0; i < 3; i++) objs.push_back(Spawn(WORLD));
  EXPECT_EQ(objs[2]->id, 3u);
  objs[1]->id = 0xFFFFFFFEu;  // as a loaded object may hold
  Obj_SetLastId(0xFFFFFFFDu);
  std::vector<uint32_t> ids;
  for (int i = 0; i < 4; i++) ids.push_back(Spawn(WORLD)->id);
  EXPECT_EQ(ids, (std::vector<uint32_t>{0xFFFFFFFFu, 2, 4, 5}));
  Obj_SetLastId(0);  // below every id in use
  EXPECT_EQ(Spawn(WORLD)->id, 6u);
  // After a clear the counter starts again at 1.
  Obj_ClearAll();
  EXPECT_EQ(Spawn(WORLD)->id, 1u);
  EXPECT_EQ(Spawn(WORLD)->id, 2u);
}

}  // namespace

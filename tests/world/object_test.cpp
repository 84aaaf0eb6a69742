// Game objects: the list and its ids, deferred deletion, the class binding table, use groups.
#include <gtest/gtest.h>

#include <cstring>
#include <vector>

#include "characters/npc.h"
#include "characters/player.h"
#include "world/areol.h"
#include "world/netplayer.h"
#include "world/projectile.h"
#include "world/props.h"
#include "world_fixture.h"

namespace {

using tw_test::WorldTest;
using ObjectList = WorldTest;

TEST_F(ObjectList, IdsRestartAfterClearAndObjectsStandInCreationOrder) {
  EXPECT_EQ(Obj_FindById(1), nullptr);
  EXPECT_EQ(Obj_Count(), 0);
  GameObject* a = Obj_Alloc();
  GameObject* b = Obj_Alloc();
  EXPECT_EQ(a->id, 1u);
  EXPECT_EQ(b->id, 2u);
  EXPECT_EQ(Obj_ListHead, a);
  EXPECT_EQ(a->next, b);
  EXPECT_EQ(b->prev, a);
  EXPECT_EQ(Obj_ListTail, b);
  EXPECT_EQ(Obj_FindById(2), b);
  EXPECT_EQ(Obj_Count(), 2);
  // Every slot of a new object is callable.
  a->slots.Think(a);
  a->slots.Damage(a, b, 1, 1, nullptr, 0, 0);
}

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
  for (int i = 0; i < 5; i++) {
    objs.push_back(Spawn(WORLD));
    objs.back()->slots.Free = CountingFree;
  }
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
  EXPECT_EQ(Obj_Count(), 2);
  EXPECT_EQ(Obj_ListHead, objs[0]);
  EXPECT_EQ(objs[0]->next, objs[2]);
  EXPECT_EQ(Obj_ListTail, objs[2]);
  Obj_FlushDeleted();  // the queue is empty: nothing more
  EXPECT_EQ(g_freed, 3);
  int count = 0;
  GameObject* const* all = Obj_ListArray(&count);  // the array the tick walks follows the list
  ASSERT_EQ(count, 2);
  EXPECT_EQ(all[0], objs[0]);
  EXPECT_EQ(all[1], objs[2]);
  GameObject* late = Spawn(WORLD);
  all = Obj_ListArray(&count);
  ASSERT_EQ(count, 3);
  EXPECT_EQ(all[2], late);
  Obj_RequestDelete(late);
  Obj_FlushDeleted();
  // The revived object can be queued again.
  objs[2]->slots.Free = CountingFree;
  Obj_RequestDelete(objs[2]);
  Obj_FlushDeleted();
  EXPECT_EQ(g_freed, 4);
  EXPECT_EQ(Obj_ListTail, objs[0]);
}

TEST_F(ObjectList, QueueGrowsBeyondAnyFixedSize) {
  for (int i = 0; i < 3000; i++) Spawn(WORLD);
  for (GameObject* o = Obj_ListHead; o; o = o->next) Obj_RequestDelete(o);
  Obj_FlushDeleted();
  EXPECT_EQ(Obj_Count(), 0);
  EXPECT_EQ(Obj_ListHead, nullptr);
  EXPECT_EQ(Obj_ListTail, nullptr);
}

TEST_F(ObjectList, ClassesOutsideOneToNineBindNothing) {
  for (int cls : {0, 10, -1}) {
    GameObject* o = Obj_Alloc();
    o->classNum = cls;
    ObjectClassSlots before = o->slots;
    EXPECT_EQ(Load_ObjectX(o), 0);
    EXPECT_EQ(std::memcmp(&before, &o->slots, sizeof before), 0);
  }
  EXPECT_NE(Log().find("Load_ObjectX: object 2 has class 10, outside 1..9; not bound"), std::string::npos);
}

// The binding table: each class's operations, and which are shared between classes.
TEST(ObjectClasses, BindingTableNamesEveryOperationAndItsSharing) {
  const ObjectClassSlots& none = Obj_ClassSlots[0];
  struct Row {
    int cls;
    ObjectClassSlots want;
  };
  const Row rows[] = {
      {MACHINEPLAYER,
       {Player_Animate, Player_Draw, Player_Clip, Player_Free, Player_Think, Player_Damage, Player_Contact, none.Use,
        Player_Info, Player_Init, none.PreSave, Player_PostLoad}},
      {NETPLAYER,
       {NetPlayer_Animate, NetPlayer_Draw, NetPlayer_Clip, NetPlayer_Free, none.Think, NetPlayer_Damage, none.Contact,
        none.Use, NetPlayer_Info, NetPlayer_Init, none.PreSave, none.PostLoad}},
      {WORLD,
       {Prop_Animate, World_Draw, World_Clip, none.Free, World_Think, none.Damage, none.Contact, World_Use, World_Info,
        World_Init, none.PreSave, none.PostLoad}},
      {ANIM,
       {AnimObj_Animate, AnimObj_Draw, AnimObj_Clip, AnimObj_Free, AnimObj_Think, none.Damage, none.Contact, none.Use,
        AnimObj_Info, AnimObj_Init, none.PreSave, none.PostLoad}},
      {AREOL,
       {none.Animate, Areol_Draw, none.Clip, none.Free, Areol_Think, none.Damage, none.Contact, none.Use, Areol_Info,
        Effect_Init, none.PreSave, none.PostLoad}},
      {PULKA,
       {Prop_Animate, Pulka_Draw, none.Clip, none.Free, Pulka_Think, none.Damage, none.Contact, none.Use, Pulka_Info,
        Effect_Init, none.PreSave, none.PostLoad}},
      {GILZA,
       {Prop_Animate, Gilza_Draw, none.Clip, none.Free, Gilza_Think, none.Damage, Gilza_Contact, none.Use, Gilza_Info,
        Effect_Init, none.PreSave, none.PostLoad}},
      {FUNC_DOOR,
       {Door_Animate, Door_Draw, AnimObj_Clip, none.Free, Door_Think, none.Damage, none.Contact, Door_Use, Door_Info,
        Door_Init, none.PreSave, none.PostLoad}},
      {NPC,
       {Npc_Animate, Npc_Draw, Npc_Clip, Npc_Free, Npc_Think, Npc_Damage, none.Contact, Npc_Use, Npc_Info, Npc_Init,
        Npc_PreSave, Npc_PostLoad}},
  };
  for (const Row& r : rows) {
    const ObjectClassSlots& got = Obj_ClassSlots[r.cls];
    SCOPED_TRACE(r.cls);
    EXPECT_EQ(got.Animate, r.want.Animate);
    EXPECT_EQ(got.Draw, r.want.Draw);
    EXPECT_EQ(got.Clip, r.want.Clip);
    EXPECT_EQ(got.Free, r.want.Free);
    EXPECT_EQ(got.Think, r.want.Think);
    EXPECT_EQ(got.Damage, r.want.Damage);
    EXPECT_EQ(got.Contact, r.want.Contact);
    EXPECT_EQ(got.Use, r.want.Use);
    EXPECT_EQ(got.Info, r.want.Info);
    EXPECT_EQ(got.Init, r.want.Init);
    EXPECT_EQ(got.PreSave, r.want.PreSave);
    EXPECT_EQ(got.PostLoad, r.want.PostLoad);
  }
  // The class operations are distinct from the empty ones.
  EXPECT_NE(Obj_ClassSlots[WORLD].Animate, none.Animate);
  EXPECT_NE(Obj_ClassSlots[AREOL].Init, none.Init);
}

TEST_F(ObjectList, UseGroupsHoldThirtyTwoAndAFullTableRefuses) {
  GameObject* o = Obj_Alloc();
  int first = ObjGroup_Add("gate", o);
  for (int i = 1; i < 32; i++) EXPECT_EQ(ObjGroup_Add("GATE", o), first);
  int second = ObjGroup_Add("gate", o);
  EXPECT_NE(second, first);
  EXPECT_EQ(ObjGroup_Table[first].count, 32);
  EXPECT_EQ(ObjGroup_Table[second].count, 1);
  EXPECT_NE(ObjGroup_Add("", o), ObjGroup_Add("", o));  // an empty name always makes a new group
  while (ObjGroup_Count < kObjGroups) ObjGroup_Add("", o);
  EXPECT_EQ(ObjGroup_Add("late", o), 0);
  EXPECT_EQ(ObjGroup_Count, kObjGroups);
  EXPECT_NE(Log().find("ObjGroup_Add: all 128 use groups taken"), std::string::npos);
  ObjGroup_Reset();
  EXPECT_EQ(ObjGroup_Count, 1);
}

}  // namespace

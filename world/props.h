// World props, animated props and doors (classes WORLD, ANIM, FUNC_DOOR). Prop_Animate is shared by
// world props, projectiles and casings; doors clip like animated props.
#pragma once
#include <cstdint>

#include "world/object.h"

// The shared model init: the draw, clip and second clip models from the object's names.
void Prop_InitModels(GameObject*);
void Prop_Animate(GameObject*);

// The Info operation of the scenery and shot classes. The request and reply are 32-bit words;
// request word 0 = 0 asks for the object's line: reply word 0 = 1 and, from word 7 on,
// "id:name[CLASS]:[x,y,z][pitch,yaw,roll]" (angles in whole degrees), at most kObjInfoReplyBytes
// bytes in all. Request word 0 = 1 is answered by the draw model's Query operation.
constexpr int kObjInfoReplyBytes = 256;
void Obj_InfoReply(GameObject* obj, const void* request, void* reply, const char* className, bool withPlace);

// True when the object's view box lies behind one of the view's side or near planes, or
// begins beyond its view distance ahead of the camera. Objects with a view distance of 0 are
// never culled.
bool Obj_BoxCulled(const GameObject* obj, const ViewParams* view);

// Capture the flag: the team flag table is the network's (NET_Flags, world/net.h); carriers are
// recorded by network address (NET_LocalAddress for this host). Empties the table.
void Ctf_Reset();

// The hero's hacking skill, asked by doors with a "skill_hack" requirement.
extern float Player_HackSkill;

void World_Draw(GameObject*, ViewParams*);
void World_Clip(GameObject*, TraceRequest*);
void World_Think(GameObject*);
void World_Use(GameObject*, GameObject*, const char*);
void World_Info(GameObject*, const void*, void*);
void World_Init(GameObject*);
// The object's "physics" name: a traced level becomes the physics level, any other model makes
// the object a loose box body from its clip box (both only while "game_physics" is not 0). Run by
// the Init of a placed object (a load) and by the spawner once the object is placed.
void World_InitPhysics(GameObject*);
void AnimObj_Animate(GameObject*);
void AnimObj_Draw(GameObject*, ViewParams*);
void AnimObj_Clip(GameObject*, TraceRequest*);
void AnimObj_Free(GameObject*);
void AnimObj_Think(GameObject*);
void AnimObj_Info(GameObject*, const void*, void*);
void AnimObj_Init(GameObject*);

// Doors: point numbers 0..7 (table A) and 100..107 (table B); 0 is closed, 100 open.
constexpr int kDoorOpen = 100;
constexpr int kDoorMaxSubSteps = 16;
// The position of a point number, or null for a number outside both tables.
const vec3* Door_Point(const GameObject* door, int number);
void Door_Animate(GameObject*);
void Door_Draw(GameObject*, ViewParams*);
void Door_Think(GameObject*);
// A plain use (null text) opens the door when its requirements are met; a trigger's text is
// obeyed instead ("[door] [n]" sets the target point, "[objective] [condition] [script] [time]").
void Door_Use(GameObject*, GameObject*, const char*);
void Door_Info(GameObject*, const void*, void*);
void Door_Init(GameObject*);

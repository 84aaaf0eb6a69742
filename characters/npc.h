// Non-player characters (class NPC): their operations arrive with the characters.
#pragma once
#include <cstdint>

#include "world/object.h"

void Npc_Animate(GameObject*);
void Npc_Draw(GameObject*, ViewParams*);
void Npc_Clip(GameObject*, TraceRequest*);
void Npc_Free(GameObject*);
void Npc_Think(GameObject*);
void Npc_Damage(GameObject*, GameObject*, float, float, const vec3*, int32_t, int32_t);
void Npc_Use(GameObject*, GameObject*, int32_t);
void Npc_Info(GameObject*, const void*, void*);
void Npc_Init(GameObject*);
void Npc_PreSave(GameObject*);
void Npc_PostLoad(GameObject*);

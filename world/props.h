// World props, animated props and doors (classes WORLD, ANIM, FUNC_DOOR). Prop_Animate is shared by
// world props, projectiles and casings; doors clip like animated props.
#pragma once
#include <cstdint>

#include "world/object.h"

// The shared model init: the draw, clip and second clip models from the object's names.
void Prop_InitModels(GameObject*);
void Prop_Animate(GameObject*);
void World_Draw(GameObject*, ViewParams*);
void World_Clip(GameObject*, TraceRequest*);
void World_Think(GameObject*);
void World_Use(GameObject*, GameObject*, int32_t);
void World_Info(GameObject*, const void*, void*);
void World_Init(GameObject*);
void AnimObj_Animate(GameObject*);
void AnimObj_Draw(GameObject*, ViewParams*);
void AnimObj_Clip(GameObject*, TraceRequest*);
void AnimObj_Free(GameObject*);
void AnimObj_Think(GameObject*);
void AnimObj_Info(GameObject*, const void*, void*);
void AnimObj_Init(GameObject*);
void Door_Animate(GameObject*);
void Door_Draw(GameObject*, ViewParams*);
void Door_Think(GameObject*);
void Door_Use(GameObject*, GameObject*, int32_t);
void Door_Info(GameObject*, const void*, void*);
void Door_Init(GameObject*);

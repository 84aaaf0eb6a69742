#include "world/areol.h"

#include "world/props.h"

// Empty until the class is built.
void Areol_Draw(GameObject*, ViewParams*) {}
void Areol_Think(GameObject*) {}
void Areol_Info(GameObject*, const void*, void*) {}
void Effect_Init(GameObject* o) { Prop_InitModels(o); }

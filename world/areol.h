// Area effects (class AREOL) and the Init shared by effects, projectiles and casings.
#pragma once
#include <cstdint>

#include "world/object.h"

void Areol_Draw(GameObject*, ViewParams*);
void Areol_Think(GameObject*);
void Areol_Info(GameObject*, const void*, void*);
void Effect_Init(GameObject*);

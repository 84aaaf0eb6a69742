// Projectiles (class PULKA) and shell casings (class GILZA).
#pragma once
#include <cstdint>

#include "world/object.h"

void Pulka_Draw(GameObject*, ViewParams*);
void Pulka_Think(GameObject*);
void Pulka_Info(GameObject*, const void*, void*);
void Gilza_Draw(GameObject*, ViewParams*);
void Gilza_Think(GameObject*);
void Gilza_Contact(GameObject*, PhysicsContact*);
void Gilza_Info(GameObject*, const void*, void*);

#include "world/projectile.h"

// Empty until the class is built.
void Pulka_Draw(GameObject*, ViewParams*) {}
void Pulka_Think(GameObject*) {}
void Pulka_Info(GameObject*, const void*, void*) {}
void Gilza_Draw(GameObject*, ViewParams*) {}
void Gilza_Think(GameObject*) {}
void Gilza_Contact(GameObject*, PhysicsContact*) {}
void Gilza_Info(GameObject*, const void*, void*) {}

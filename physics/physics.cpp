#include "physics/physics.h"

// The physics world arrives later; no object has a body until then.
void Physics_Frame(double) {}
void Physics_SyncObject(GameObject*) {}
void Physics_FreeRagdoll(GameObject*) {}

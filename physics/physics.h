// Rigid-body physics: bodies of objects and ragdolls.
#pragma once

struct GameObject;

// Advances the physics world by one step (seconds).
void Physics_Frame(double step);
// Copies the body's pose into its object.
void Physics_SyncObject(GameObject* obj);
// Releases a character's ragdoll body.
void Physics_FreeRagdoll(GameObject* obj);

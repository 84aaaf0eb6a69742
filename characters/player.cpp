#include "characters/player.h"

// Empty until the class is built.
void Player_Animate(GameObject*) {}
void Player_Draw(GameObject*, ViewParams*) {}
void Player_Clip(GameObject*, TraceRequest*) {}
void Player_Free(GameObject*) {}
void Player_Think(GameObject*) {}
void Player_Damage(GameObject*, GameObject*, float, float, const vec3*, int32_t, int32_t) {}
void Player_Contact(GameObject*, PhysicsContact*) {}
void Player_Info(GameObject*, const void*, void*) {}
void Player_Init(GameObject*) {}
void Player_PostLoad(GameObject*) {}

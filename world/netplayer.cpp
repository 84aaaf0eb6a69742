#include "world/netplayer.h"

// Empty until the class is built.
void NetPlayer_Animate(GameObject*) {}
void NetPlayer_Draw(GameObject*, ViewParams*) {}
void NetPlayer_Clip(GameObject*, TraceRequest*) {}
void NetPlayer_Free(GameObject*) {}
void NetPlayer_Damage(GameObject*, GameObject*, float, float, const vec3*, int32_t, int32_t) {}
void NetPlayer_Info(GameObject*, const void*, void*) {}
void NetPlayer_Init(GameObject*) {}

#include "world/netplayer.h"

#include "characters/person.h"
#include "foundation/sound.h"
#include "world/trace.h"
#include "world/game.h"

// Empty until the class is built.
void NetPlayer_Animate(GameObject*) {}
void NetPlayer_Draw(GameObject*, ViewParams*) {}
void NetPlayer_Clip(GameObject* o, TraceRequest* tr) { Obj_ClipCharacter(o, tr); }
void NetPlayer_Free(GameObject*) {}
// A remote player's body only cries out: its health belongs to its own machine.
void NetPlayer_Damage(GameObject* self, GameObject*, float, float, const vec3*, int32_t, int32_t) {
  if (!(self->flags & OBJ_ACTIVE) || Game_NetMode != 0) return;
  const char* cry = self->person.soundPain[0] ? self->person.soundPain : "sound\\pain1";
  self->person.voices[0] = Sound_Play(cry, 1.0f, 100.0f, &self->origin.x, 0, SOUND_CAT_VOICES);
}
void NetPlayer_Info(GameObject*, const void*, void*) {}
void NetPlayer_Init(GameObject*) {}

#include "world/image.h"

#include <cstring>

#include "world/object.h"
#include "world/personage.h"

// The characters' fields of the person block: the block's image is the record's own layout
// (every field behind the clock is a 4-byte word or text), placed at kPersonBlockOffset.
#define PERSON_FIELD(f, kind) \
  {"person." #f, uint32_t(kPersonBlockOffset + offsetof(PersonStats, f)), uint32_t(sizeof(PersonStats::f)), kind, \
   ptrdiff_t(offsetof(GameObject, person) + offsetof(PersonStats, f))}
#define PERSON_TEXT(f) \
  {"person." #f, uint32_t(kPersonBlockOffset + offsetof(PersonStats, f)), uint32_t(sizeof(PersonStats{}.f)), IMG_TEXT, \
   ptrdiff_t(offsetof(GameObject, person) + offsetof(PersonStats, f))}
// The voices are handles of this run: stored as zero, like pointers.
#define PERSON_VOICE(i) \
  {"person.voices[" #i "]", uint32_t(kPersonBlockOffset + offsetof(PersonStats, voices) + 4 * i), 4, IMG_PTR, \
   ptrdiff_t(offsetof(GameObject, person) + offsetof(PersonStats, voices) + 4 * i)}
constexpr uint32_t kPersonTailOffset = kPersonBlockOffset + offsetof(PersonStats, heldCommands) + 4;
static_assert(offsetof(PersonStats, maxHealth) + kPersonBlockOffset == 236, "the characters' fields follow the view's");

// The scenery block's fields, each at its place in the image. A field added to PropState needs its
// row here (and in world/README.md), or saved games lose it.
static_assert(sizeof(PropState) == 6496, "PropState changed: give the new fields their rows in ObjImage_Fields");
#define PROP_FIELD(f, at, kind) \
  {"prop." #f, at, uint32_t(sizeof(PropState{}.f)), kind, ptrdiff_t(offsetof(GameObject, prop.f))}

// Every field of the object in record order. The person block's inner layout and the camera and
// AI spans belong to the characters and the AI, which name their bytes inside the reserved parts.
const ImageField ObjImage_Fields[] = {
    {"next", 0, 4, IMG_PTR, offsetof(GameObject, next)},
    {"prev", 4, 4, IMG_PTR, offsetof(GameObject, prev)},
    {"slots.Animate", 8, 4, IMG_PTR, offsetof(GameObject, slots.Animate)},
    {"slots.Draw", 12, 4, IMG_PTR, offsetof(GameObject, slots.Draw)},
    {"slots.Clip", 16, 4, IMG_PTR, offsetof(GameObject, slots.Clip)},
    {"slots.Free", 20, 4, IMG_PTR, offsetof(GameObject, slots.Free)},
    {"slots.Think", 24, 4, IMG_PTR, offsetof(GameObject, slots.Think)},
    {"slots.Damage", 28, 4, IMG_PTR, offsetof(GameObject, slots.Damage)},
    {"slots.Contact", 32, 4, IMG_PTR, offsetof(GameObject, slots.Contact)},
    {"slots.Use", 36, 4, IMG_PTR, offsetof(GameObject, slots.Use)},
    {"slots.Info", 40, 4, IMG_PTR, offsetof(GameObject, slots.Info)},
    {"slots.Init", 44, 4, IMG_PTR, offsetof(GameObject, slots.Init)},
    {"slots.PreSave", 48, 4, IMG_PTR, offsetof(GameObject, slots.PreSave)},
    {"slots.PostLoad", 52, 4, IMG_PTR, offsetof(GameObject, slots.PostLoad)},
    {"person.name", 56, 64, IMG_TEXT, offsetof(GameObject, person.name)},
    {"person.clock", 120, 8, IMG_F64, offsetof(GameObject, person.clock)},
    {"person.state", 128, 4, IMG_I32, offsetof(GameObject, person.state)},
    {"person.health", 132, 4, IMG_F32, offsetof(GameObject, person.health)},
    {"person.money", 136, 4, IMG_I32, offsetof(GameObject, person.money)},
    {"person.dialogueCue", 140, 64, IMG_TEXT, offsetof(GameObject, person.dialogueCue)},
    {"person.carIndex", 204, 4, IMG_I32, offsetof(GameObject, person.carIndex)},
    {"person.equippedKind", 208, 4, IMG_I32, offsetof(GameObject, person.equippedKind)},
    {"person.equippedIndex", 212, 4, IMG_I32, offsetof(GameObject, person.equippedIndex)},
    {"person.actionState", 216, 4, IMG_I32, offsetof(GameObject, person.actionState)},
    {"person.lastShotTime", 220, 4, IMG_F32, offsetof(GameObject, person.lastShotTime)},
    {"person.cameraState", 224, 4, IMG_I32, offsetof(GameObject, person.cameraState)},
    {"person.stealthLevel", 228, 4, IMG_F32, offsetof(GameObject, person.stealthLevel)},
    {"person.slowMotionLevel", 232, 4, IMG_F32, offsetof(GameObject, person.slowMotionLevel)},
    PERSON_FIELD(maxHealth, IMG_F32),
    PERSON_FIELD(equipped2Kind, IMG_I32),
    PERSON_FIELD(equipped2Index, IMG_I32),
    PERSON_FIELD(ammo, IMG_I32),
    PERSON_FIELD(magazine, IMG_I32),
    PERSON_FIELD(items, IMG_I32),
    PERSON_FIELD(stash, IMG_I32),
    PERSON_FIELD(team, IMG_I32),
    PERSON_FIELD(carReentry, IMG_I32),
    PERSON_FIELD(parked, IMG_I32),
    PERSON_FIELD(moveMode, IMG_I32),
    PERSON_FIELD(thinkStamp, IMG_F32),
    PERSON_FIELD(skills, IMG_F32),
    PERSON_FIELD(groundId, IMG_U32),
    PERSON_FIELD(eye, IMG_F32),
    PERSON_FIELD(vehicleState, IMG_I32),
    PERSON_FIELD(velocity, IMG_F32),
    PERSON_FIELD(onGround, IMG_I32),
    PERSON_FIELD(crouched, IMG_I32),
    PERSON_FIELD(jumpHeld, IMG_I32),
    PERSON_FIELD(anim, IMG_I32),
    PERSON_FIELD(animTime, IMG_F32),
    PERSON_FIELD(respawnTime, IMG_F32),
    PERSON_FIELD(hiddenUntil, IMG_F32),
    PERSON_VOICE(0),
    PERSON_VOICE(1),
    PERSON_VOICE(2),
    PERSON_TEXT(itemText),
    PERSON_TEXT(skelName),
    PERSON_TEXT(animName),
    PERSON_TEXT(deathAnimName),
    PERSON_TEXT(deadName),
    PERSON_TEXT(lodModels[0]),
    PERSON_TEXT(lodModels[1]),
    PERSON_TEXT(lodModels[2]),
    PERSON_TEXT(lodModels[3]),
    PERSON_FIELD(lodMin, IMG_F32),
    PERSON_FIELD(lodMax, IMG_F32),
    PERSON_FIELD(speedFrame, IMG_F32),
    PERSON_FIELD(deathSpeedFrame, IMG_F32),
    PERSON_TEXT(soundPain),
    PERSON_TEXT(soundDead),
    PERSON_FIELD(aiState, IMG_I32),
    PERSON_FIELD(ctfRole, IMG_I32),
    PERSON_FIELD(energy, IMG_F32),
    PERSON_FIELD(maxEnergy, IMG_F32),
    PERSON_FIELD(experience, IMG_I32),
    PERSON_FIELD(level, IMG_I32),
    PERSON_FIELD(furtherStats, IMG_F32),
    PERSON_FIELD(factors, IMG_F32),
    PERSON_FIELD(attributeTriples, IMG_I32),
    PERSON_FIELD(noBlood, IMG_I32),
    PERSON_FIELD(group, IMG_I32),
    PERSON_FIELD(heldCommands, IMG_U32),
    {"person (reserved)", kPersonTailOffset, kPersonBlockOffset + kPersonBlockSize - kPersonTailOffset, IMG_RESERVED, -1},
    {"id", 5960, 4, IMG_U32, offsetof(GameObject, id)},
    {"classNum", 5964, 4, IMG_I32, offsetof(GameObject, classNum)},
    {"owner", 5968, 4, IMG_U32, offsetof(GameObject, owner)},
    {"drawZone", 5972, 4, IMG_I32, offsetof(GameObject, drawZone)},
    {"flags", 5976, 4, IMG_U32, offsetof(GameObject, flags)},
    {"origin", 5980, 12, IMG_F32, offsetof(GameObject, origin)},
    {"angles", 5992, 12, IMG_F32, offsetof(GameObject, angles)},
    {"mins", 6004, 12, IMG_F32, offsetof(GameObject, mins)},
    {"maxs", 6016, 12, IMG_F32, offsetof(GameObject, maxs)},
    {"prevOrigin", 6028, 12, IMG_F32, offsetof(GameObject, prevOrigin)},
    {"history", 6040, 60, IMG_F32, offsetof(GameObject, history)},
    {"frags", 6100, 4, IMG_I32, offsetof(GameObject, frags)},
    {"teamName", 6104, 32, IMG_TEXT, offsetof(GameObject, teamName)},
    {"camera.mode", 6136, 4, IMG_I32, offsetof(GameObject, camera.mode)},
    {"camera.zoomLevel", 6140, 4, IMG_I32, offsetof(GameObject, camera.zoomLevel)},
    {"camera.fov", 6144, 4, IMG_F32, offsetof(GameObject, camera.fov)},
    {"camera.origin", 6148, 12, IMG_F32, offsetof(GameObject, camera.origin)},
    {"camera.angles", 6160, 12, IMG_F32, offsetof(GameObject, camera.angles)},
    {"camera.prevOrigin", 6172, 12, IMG_F32, offsetof(GameObject, camera.prevOrigin)},
    {"camera.prevAngles", 6184, 12, IMG_F32, offsetof(GameObject, camera.prevAngles)},
    {"camera (reserved)", 6196, 196, IMG_RESERVED, -1},
    {"damageFlash", 6392, 4, IMG_F32, offsetof(GameObject, damageFlash)},
    {"deathTime", 6396, 4, IMG_F32, offsetof(GameObject, deathTime)},
    {"lodModel", 6400, 4, IMG_PTR, offsetof(GameObject, lodModel)},
    {"drawModel", 6404, 4, IMG_PTR, offsetof(GameObject, drawModel)},
    {"clipModel", 6408, 4, IMG_PTR, offsetof(GameObject, clipModel)},
    {"clipModel2", 6412, 4, IMG_PTR, offsetof(GameObject, clipModel2)},
    {"skeleton", 6416, 4, IMG_PTR, offsetof(GameObject, skeleton)},
    {"pose", 6420, 4, IMG_PTR, offsetof(GameObject, pose)},
    {"notTraceable", 6424, 4, IMG_I32, offsetof(GameObject, notTraceable)},
    {"viewBox", 6428, 24, IMG_F32, offsetof(GameObject, viewBox)},
    {"viewFar", 6452, 4, IMG_F32, offsetof(GameObject, viewFar)},
    {"clipBox", 6456, 24, IMG_F32, offsetof(GameObject, clipBox)},
    {"clipBox2", 6480, 24, IMG_F32, offsetof(GameObject, clipBox2)},
    {"hasClipBox", 6504, 4, IMG_I32, offsetof(GameObject, hasClipBox)},
    {"useGroup2Name", 6508, 64, IMG_TEXT, offsetof(GameObject, useGroup2Name)},
    {"useGroup2Index", 6572, 4, IMG_I32, offsetof(GameObject, useGroup2Index)},
    {"useGroupName", 6576, 64, IMG_TEXT, offsetof(GameObject, useGroupName)},
    {"useScript", 6640, 256, IMG_TEXT, offsetof(GameObject, useScript)},
    {"useArgument", 6896, 256, IMG_TEXT, offsetof(GameObject, useArgument)},
    {"useGroupIndex", 7152, 4, IMG_I32, offsetof(GameObject, useGroupIndex)},
    {"bot.engaged", 7156, 4, IMG_I32, offsetof(GameObject, bot.engaged)},
    // The AI keeps its characters' state in its own block of the saved game; the rest of its span
    // holds the scenery block, the draw values and the sun halo's visibility.
    PROP_FIELD(poseOrigin, 7160, IMG_F32),
    PROP_FIELD(poseAngles, 7172, IMG_F32),
    PROP_FIELD(poseScale, 7184, IMG_F32),
    PROP_FIELD(poseOffset, 7196, IMG_F32),
    PROP_FIELD(spawnTime, 7208, IMG_F32),
    PROP_FIELD(lifetime, 7212, IMG_F32),
    PROP_FIELD(solid, 7216, IMG_I32),
    PROP_FIELD(visible, 7220, IMG_I32),
    PROP_FIELD(modelName, 7224, IMG_TEXT),
    PROP_FIELD(clipName, 7288, IMG_TEXT),
    PROP_FIELD(clip2Name, 7352, IMG_TEXT),
    PROP_FIELD(physicsName, 7416, IMG_TEXT),
    PROP_FIELD(sound, 7480, IMG_TEXT),
    PROP_FIELD(stepSound, 7544, IMG_TEXT),
    PROP_FIELD(friction, 7800, IMG_F32),
    PROP_FIELD(damageOnTouch, 7804, IMG_F32),
    PROP_FIELD(projectMap, 7808, IMG_TEXT),
    PROP_FIELD(projectOrigin, 8064, IMG_F32),
    PROP_FIELD(dynamicLight, 8076, IMG_I32),
    PROP_FIELD(fogColor, 8080, IMG_U8),
    {"prop (padding)", 8086, 2, IMG_RESERVED, -1},
    PROP_FIELD(fogStart, 8088, IMG_F32),
    PROP_FIELD(fogEnd, 8096, IMG_F32),
    PROP_FIELD(drawOn, 8104, IMG_TEXT),
    PROP_FIELD(drawOff, 8616, IMG_TEXT),
    PROP_FIELD(triggerCommand, 9128, IMG_TEXT),
    PROP_FIELD(triggerCommandText, 9384, IMG_TEXT),
    PROP_FIELD(skelName, 9640, IMG_TEXT),
    PROP_FIELD(anims[0], 9704, IMG_TEXT),
    PROP_FIELD(anims[1], 9768, IMG_TEXT),
    PROP_FIELD(anims[2], 9832, IMG_TEXT),
    PROP_FIELD(anims[3], 9896, IMG_TEXT),
    PROP_FIELD(anims[4], 9960, IMG_TEXT),
    PROP_FIELD(anims[5], 10024, IMG_TEXT),
    PROP_FIELD(anims[6], 10088, IMG_TEXT),
    PROP_FIELD(anims[7], 10152, IMG_TEXT),
    PROP_FIELD(anims[8], 10216, IMG_TEXT),
    PROP_FIELD(anims[9], 10280, IMG_TEXT),
    PROP_FIELD(anims[10], 10344, IMG_TEXT),
    PROP_FIELD(anims[11], 10408, IMG_TEXT),
    PROP_FIELD(anims[12], 10472, IMG_TEXT),
    PROP_FIELD(anims[13], 10536, IMG_TEXT),
    PROP_FIELD(anims[14], 10600, IMG_TEXT),
    PROP_FIELD(anims[15], 10664, IMG_TEXT),
    PROP_FIELD(anims[16], 10728, IMG_TEXT),
    PROP_FIELD(anims[17], 10792, IMG_TEXT),
    PROP_FIELD(anims[18], 10856, IMG_TEXT),
    PROP_FIELD(anims[19], 10920, IMG_TEXT),
    PROP_FIELD(anims[20], 10984, IMG_TEXT),
    PROP_FIELD(anims[21], 11048, IMG_TEXT),
    PROP_FIELD(anims[22], 11112, IMG_TEXT),
    PROP_FIELD(anims[23], 11176, IMG_TEXT),
    PROP_FIELD(anims[24], 11240, IMG_TEXT),
    PROP_FIELD(anims[25], 11304, IMG_TEXT),
    PROP_FIELD(anims[26], 11368, IMG_TEXT),
    PROP_FIELD(anims[27], 11432, IMG_TEXT),
    PROP_FIELD(anims[28], 11496, IMG_TEXT),
    PROP_FIELD(anims[29], 11560, IMG_TEXT),
    PROP_FIELD(anims[30], 11624, IMG_TEXT),
    PROP_FIELD(anims[31], 11688, IMG_TEXT),
    PROP_FIELD(speedFrames, 11752, IMG_F32),
    PROP_FIELD(phase, 11880, IMG_F32),
    PROP_FIELD(particlesTexture, 11884, IMG_TEXT),
    PROP_FIELD(particlesParent, 11948, IMG_TEXT),
    PROP_FIELD(particlesOrigin, 12012, IMG_F32),
    PROP_FIELD(particlesScale, 12024, IMG_F32),
    PROP_FIELD(particlesFade, 12028, IMG_I32),
    PROP_FIELD(particlesColor, 12032, IMG_F32),
    PROP_FIELD(lastEmission, 12048, IMG_F32),
    PROP_FIELD(doorA, 12052, IMG_F32),
    PROP_FIELD(doorB, 12148, IMG_F32),
    PROP_FIELD(point, 12244, IMG_I32),
    PROP_FIELD(nextPoint, 12248, IMG_I32),
    PROP_FIELD(targetPoint, 12252, IMG_I32),
    PROP_FIELD(t, 12256, IMG_F32),
    PROP_FIELD(wait, 12260, IMG_F32),
    PROP_FIELD(pause, 12264, IMG_F32),
    PROP_FIELD(pauseTimer, 12268, IMG_F32),
    PROP_FIELD(drawMove, 12272, IMG_I32),
    PROP_FIELD(killog, 12276, IMG_TEXT),
    PROP_FIELD(conditions, 12340, IMG_TEXT),
    PROP_FIELD(command, 12596, IMG_TEXT),
    PROP_FIELD(sound2, 12852, IMG_TEXT),
    PROP_FIELD(soundOrigin, 12916, IMG_F32),
    PROP_FIELD(minDist, 12928, IMG_F32),
    PROP_FIELD(lastRefusal, 12932, IMG_F64),
    PROP_FIELD(action, 12940, IMG_I32),
    PROP_FIELD(actionStart, 12944, IMG_F64),
    PROP_FIELD(netId, 12952, IMG_I32),
    PROP_FIELD(playerName, 12956, IMG_TEXT),
    PROP_FIELD(receiptTime, 13020, IMG_PTR),  // this run's bookkeeping
    PROP_FIELD(lastClock, 13028, IMG_F32),
    PROP_FIELD(fireTime, 13032, IMG_F32),
    PROP_FIELD(fireWeapon, 13036, IMG_I32),
    PROP_FIELD(prevAngles, 13040, IMG_F32),
    PROP_FIELD(prevPhase, 13052, IMG_F32),
    PROP_FIELD(backwards, 13056, IMG_I32),
    PROP_FIELD(lens, 13060, IMG_TEXT),
    PROP_FIELD(glare, 13316, IMG_TEXT),
    PROP_FIELD(acceleration, 13572, IMG_F32),
    PROP_FIELD(angularVelocity, 13584, IMG_F32),
    PROP_FIELD(launchAngles, 13596, IMG_F32),
    PROP_FIELD(effectOffset, 13608, IMG_F32),
    PROP_FIELD(hitTime, 13620, IMG_F64),
    PROP_FIELD(weapon, 13628, IMG_I32),
    PROP_FIELD(soundHandle, 13632, IMG_PTR),  // this run's bookkeeping
    PROP_FIELD(soundMinDist, 13636, IMG_F32),
    {"drawValues", 13640, 64, IMG_F32, offsetof(GameObject, drawValues)},
    {"visibility", 13704, 4, IMG_F32, offsetof(GameObject, visibility)},
    {"bot (reserved)", 13708, 26216, IMG_RESERVED, -1},
    {"npcControl", 39924, 4, IMG_I32, offsetof(GameObject, npcControl)},
    {"traceStamp", 39928, 4, IMG_PTR, offsetof(GameObject, traceStamp)},  // this run's bookkeeping
    {"useTargetCharacter", 39932, 4, IMG_PTR, offsetof(GameObject, useTargetCharacter)},
    {"useTargetObject", 39936, 4, IMG_PTR, offsetof(GameObject, useTargetObject)},
    {"removeRequest", 39940, 4, IMG_I32, offsetof(GameObject, removeRequest)},
    {"physicsBody", 39944, 4, IMG_PTR, offsetof(GameObject, physicsBody)},
    {"bodyReleased", 39948, 4, IMG_I32, offsetof(GameObject, bodyReleased)},
    {"gender", 39952, 4, IMG_I32, offsetof(GameObject, gender)},
    {"voiceSet", 39956, 4, IMG_I32, offsetof(GameObject, voiceSet)},
    {"(reserved)", 39960, 64, IMG_RESERVED, -1},
};
const int ObjImage_FieldCount = int(sizeof ObjImage_Fields / sizeof ObjImage_Fields[0]);

static void Put32(uint8_t* p, uint32_t v) {
  for (int i = 0; i < 4; i++) p[i] = uint8_t(v >> (8 * i));
}
static uint32_t Get32(const uint8_t* p) {
  return uint32_t(p[0]) | uint32_t(p[1]) << 8 | uint32_t(p[2]) << 16 | uint32_t(p[3]) << 24;
}

// One field between a native record at `base` and an image at `image` (the field's own place).
static void Field_Write(const ImageField& f, const uint8_t* record, ptrdiff_t shift, uint8_t* image) {
  const uint8_t* base = f.native >= 0 ? record + (f.native - shift) : nullptr;
  switch (f.kind) {
    case IMG_PTR:
    case IMG_RESERVED:
      std::memset(image, 0, f.size);
      break;
    case IMG_U32:
    case IMG_I32:
    case IMG_F32:
      for (uint32_t i = 0; i < f.size; i += 4) {
        uint32_t v;
        std::memcpy(&v, base + i, 4);
        Put32(image + i, v);
      }
      break;
    case IMG_U8:
      std::memcpy(image, base, f.size);
      break;
    case IMG_F64: {
      uint64_t v;
      std::memcpy(&v, base, 8);
      Put32(image, uint32_t(v));
      Put32(image + 4, uint32_t(v >> 32));
      break;
    }
    case IMG_TEXT: {
      const char* text = reinterpret_cast<const char*>(base);
      size_t n = strnlen(text, f.size - 1);
      std::memcpy(image, text, n);
      std::memset(image + n, 0, f.size - n);  // the bytes behind the terminator are zero
      break;
    }
  }
}

static void Field_Read(const ImageField& f, uint8_t* record, ptrdiff_t shift, const uint8_t* image) {
  uint8_t* base = f.native >= 0 ? record + (f.native - shift) : nullptr;
  switch (f.kind) {
    case IMG_PTR:
    case IMG_RESERVED:
      break;
    case IMG_U32:
    case IMG_I32:
    case IMG_F32:
      for (uint32_t i = 0; i < f.size; i += 4) {
        uint32_t v = Get32(image + i);
        std::memcpy(base + i, &v, 4);
      }
      break;
    case IMG_U8:
      std::memcpy(base, image, f.size);
      break;
    case IMG_F64: {
      uint64_t v = uint64_t(Get32(image)) | uint64_t(Get32(image + 4)) << 32;
      std::memcpy(base, &v, 8);
      break;
    }
    case IMG_TEXT: {
      char* text = reinterpret_cast<char*>(base);
      size_t n = strnlen(reinterpret_cast<const char*>(image), f.size - 1);  // always terminated
      std::memcpy(text, image, n);
      std::memset(text + n, 0, f.size - n);
      break;
    }
  }
}

static bool Field_InPersonBlock(const ImageField& f) {
  return f.offset >= kPersonBlockOffset && f.offset < kPersonBlockOffset + kPersonBlockSize;
}

void ObjImage_Write(const GameObject* obj, uint8_t* out) {
  const auto* base = reinterpret_cast<const uint8_t*>(obj);
  for (int i = 0; i < ObjImage_FieldCount; i++) Field_Write(ObjImage_Fields[i], base, 0, out + ObjImage_Fields[i].offset);
}

void ObjImage_Read(GameObject* obj, const uint8_t* in) {
  auto* base = reinterpret_cast<uint8_t*>(obj);
  for (int i = 0; i < ObjImage_FieldCount; i++) Field_Read(ObjImage_Fields[i], base, 0, in + ObjImage_Fields[i].offset);
}

// The person block's fields are those of the object image inside its span; their native offsets
// count from the object, so they are shifted to count from the person record.
void PersonImage_Write(const PersonStats* person, uint8_t* out) {
  const auto* base = reinterpret_cast<const uint8_t*>(person);
  for (int i = 0; i < ObjImage_FieldCount; i++) {
    const ImageField& f = ObjImage_Fields[i];
    if (Field_InPersonBlock(f)) Field_Write(f, base, offsetof(GameObject, person), out + (f.offset - kPersonBlockOffset));
  }
}

void PersonImage_Read(PersonStats* person, const uint8_t* in) {
  auto* base = reinterpret_cast<uint8_t*>(person);
  for (int i = 0; i < ObjImage_FieldCount; i++) {
    const ImageField& f = ObjImage_Fields[i];
    if (Field_InPersonBlock(f)) Field_Read(f, base, offsetof(GameObject, person), in + (f.offset - kPersonBlockOffset));
  }
}

void PersonageImage_Write(const GlobalPersonage* p, uint8_t* out) {
  Put32(out, uint32_t(p->restoreBody));
  Put32(out + 4, uint32_t(p->restoreDialogue));
  Put32(out + 8, uint32_t(p->questFlag));
  Put32(out + 12, uint32_t(p->reserved));
  PersonImage_Write(&p->person, out + 16);
}

void PersonageImage_Read(GlobalPersonage* p, const uint8_t* in) {
  p->restoreBody = int32_t(Get32(in));
  p->restoreDialogue = int32_t(Get32(in + 4));
  p->questFlag = int32_t(Get32(in + 8));
  p->reserved = int32_t(Get32(in + 12));
  PersonImage_Read(&p->person, in + 16);
}

// A character's skeleton, animations, current pose and draw record: one block per character,
// reached through the object's pose pointer.
#pragma once
#include <cstdint>

struct GameObject;
struct ViewParams;

// Fetches the skeleton (null when the name does not load) and makes the block.
void Pose_LoadSkeleton(GameObject* obj, const char* name);
// Fetches animation `slot` (a PersonAnim) by name; a missing one leaves the slot empty.
void Pose_LoadAnim(GameObject* obj, int slot, const char* name);
// Poses the skeleton with animation `slot` at `time` seconds of an animation lasting
// `duration` seconds (0: 30 frames a second); looping or held at the last frame.
void Pose_Update(GameObject* obj, int slot, float time, bool loop, float duration = 0);
// Draws `model` (the object's draw model when null) posed, at the object's place and yaw.
void Pose_Draw(GameObject* obj, ViewParams* view, struct ModelObject* model = nullptr);
void Pose_Free(GameObject* obj);

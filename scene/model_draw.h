// Shared by the model and level draws.
#pragma once
#include <cstdint>

struct ModelDrawParams;

// Texture transforms of the Direct3D 8 stages: v -> 1 - v for pictures not from ".dds" (which
// lie upside down there), and back to identity.
inline constexpr float kModelFlipV[9] = {1, 0, 0, 0, -1, 0, 0, 0, 1};
inline constexpr float kModelFlipVOffset[3] = {0, 1, 0};
inline constexpr float kModelIdentity[9] = {1, 0, 0, 0, 1, 0, 0, 0, 1};
inline constexpr float kModelZero[3] = {0, 0, 0};

// Static vertex-array memory for a copy; null when the block has none to give. A refusal is
// logged once per vertex-array generation (`loggedGeneration`, `logged` belong to the caller),
// with what the caller does instead (`then`), and not asked again until the generation moves.
void* Model_CarveStatic(int bytes, uint32_t* loggedGeneration, int32_t* logged, const char* who,
                        const char* then = "drawing from the loaded arrays");
// Per-frame vertex memory: from the top of the vertex-array block, or, when that is full or
// missing, from a scratch block of the draws (valid until the next call).
void* Model_CarveDynamic(int bytes);
// Pushes the model matrix and applies the instance's placement: translate by the position,
// rotate by -yaw about z, +pitch about x, -roll about y (degrees), translate by the offset,
// scale; each step only when it changes something. The result equals Mat_FromAngles.
void Model_PushInstanceMatrix(const ModelDrawParams* p);

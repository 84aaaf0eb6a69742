// A mini-game library without MG_KeyDown, for the bridge's tests (built by minigame/CMakeLists.txt).
#include <cstdint>

#define MG_EXPORT extern "C" __attribute__((visibility("default")))

MG_EXPORT int32_t MG_Init(const void*, int32_t) { return 1; }
MG_EXPORT void MG_Free() {}
MG_EXPORT int32_t MG_Update(float) { return 0; }
MG_EXPORT void MG_Render() {}
MG_EXPORT void MG_MouseDown(int32_t) {}
MG_EXPORT void MG_MouseMove(int32_t, int32_t) {}

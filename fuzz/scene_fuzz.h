// Helpers of the scene fuzz targets: a private working folder and whole-file writes.
#pragma once
#include <cstdint>
#include <cstdio>
#include <cstdlib>
#include <string>
#include <vector>

#include "fuzz.h"

inline void SceneFuzz_EnterPrivateFolder() { Fuzz_EnterPrivateFolder("fuzz_scene_"); }

inline void SceneFuzz_Write(const char* path, const uint8_t* data, size_t size) {
  FILE* f = std::fopen(path, "wb");
  if (!f) std::abort();
  if (size) std::fwrite(data, 1, size, f);
  std::fclose(f);
}

inline std::vector<uint8_t> SceneFuzz_Bytes(const std::string& s) { return {s.begin(), s.end()}; }

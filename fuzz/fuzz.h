// Shared declarations of the fuzz targets.
#pragma once
#include <cstddef>
#include <cstdint>
#include <vector>

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, size_t size);

// Each target fills valid example inputs, made with the project's own writers; the standalone
// driver runs them and a bounded number of mutations of each.
void Fuzz_MakeSeeds(std::vector<std::vector<uint8_t>>& seeds);

// Shared declarations of the fuzz targets.
#pragma once
#include <cstddef>
#include <cstdint>
#include <vector>

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, size_t size);

// Each target fills valid example inputs, made with the project's own writers; the standalone
// driver runs them and a bounded number of mutations of each.
void Fuzz_MakeSeeds(std::vector<std::vector<uint8_t>>& seeds);

// A private folder "<prefix>XXXXXX" in the temporary folder (in /dev/shm when `inMemory` and
// it is writable), made and entered on the first call and removed with everything in it when
// the process ends. The command line's paths were made absolute before the first input, so a
// relative corpus folder keeps naming the folder it named. Returns the folder's path.
const char* Fuzz_EnterPrivateFolder(const char* prefix, bool inMemory = false);

// Makes the paths among the arguments absolute against the current folder: the files and folders
// named, and the values of libFuzzer's flags that name files. With `addArtifactPrefix` (libFuzzer)
// and no artifact flag given, adds "-artifact_prefix=<current folder>/", so crash files land where
// the run started, not in a private folder. Called by the standalone driver and by
// LLVMFuzzerInitialize before anything changes the folder.
void Fuzz_AbsoluteArguments(int* argc, char*** argv, bool addArtifactPrefix);

// Standalone driver for the fuzz targets when libFuzzer is not linked: runs the files and
// folders given as arguments, or (with none) the target's seeds and a fixed, bounded set of
// deterministic mutations of them; "--write-seeds DIR" writes the seeds as a corpus.
#include "fuzz.h"

#include <cstdio>
#include <filesystem>
#include <fstream>
#include <iterator>
#include <string>

static uint32_t g_state = 12345;
static uint32_t NextRand() {
  g_state = g_state * 1664525u + 1013904223u;
  return g_state >> 8;
}

static void RunOne(const std::vector<uint8_t>& in) {
  LLVMFuzzerTestOneInput(in.empty() ? nullptr : in.data(), in.size());
}

// False (and said) when the file cannot be read.
static bool RunFile(const std::filesystem::path& p) {
  std::ifstream f(p, std::ios::binary);
  if (!f) {
    std::fprintf(stderr, "cannot read %s\n", p.c_str());
    return false;
  }
  std::vector<uint8_t> data((std::istreambuf_iterator<char>(f)), std::istreambuf_iterator<char>());
  RunOne(data);
  return true;
}

int main(int argc, char** argv) {
  // Targets change into a private folder on their first input: the paths given are made
  // absolute first.
  Fuzz_AbsoluteArguments(&argc, &argv, false);
  // "--write-seeds DIR": writes the target's seeds as files, a starting corpus for libFuzzer.
  if (argc == 3 && std::string(argv[1]) == "--write-seeds") {
    std::vector<std::vector<uint8_t>> seeds;
    Fuzz_MakeSeeds(seeds);
    std::filesystem::create_directories(argv[2]);
    for (size_t i = 0; i < seeds.size(); i++) {
      std::ofstream f(std::filesystem::path(argv[2]) / ("seed_" + std::to_string(i)), std::ios::binary);
      f.write(reinterpret_cast<const char*>(seeds[i].data()), std::streamsize(seeds[i].size()));
    }
    std::printf("%zu seeds written to %s\n", seeds.size(), argv[2]);
    return 0;
  }
  if (argc > 1) {
    size_t runs = 0, unread = 0;
    for (int i = 1; i < argc; i++) {
      std::filesystem::path p(argv[i]);
      std::vector<std::filesystem::path> files;
      if (std::filesystem::is_directory(p)) {
        for (auto& e : std::filesystem::recursive_directory_iterator(p))
          if (e.is_regular_file()) files.push_back(e.path());
      } else {
        files.push_back(p);
      }
      for (const auto& f : files) RunFile(f) ? runs++ : unread++;
    }
    std::printf("%zu inputs run, %zu unreadable\n", runs, unread);
    return unread ? 1 : 0;
  }
  std::vector<std::vector<uint8_t>> seeds;
  Fuzz_MakeSeeds(seeds);
  size_t runs = 0;
  RunOne({});
  for (const auto& seed : seeds) {
    RunOne(seed);
    runs++;
    // Truncations at every length up to 512, then random byte edits.
    for (size_t n = 0; n < seed.size() && n < 512; n++) {
      RunOne(std::vector<uint8_t>(seed.begin(), seed.begin() + n));
      runs++;
    }
    for (int k = 0; k < 2000; k++) {
      std::vector<uint8_t> m = seed;
      if (m.empty()) m.push_back(0);
      int edits = 1 + NextRand() % 8;
      for (int e = 0; e < edits; e++) {
        size_t at = NextRand() % m.size();
        switch (NextRand() % 4) {
          case 0: m[at] ^= uint8_t(1u << (NextRand() % 8)); break;
          case 1: m[at] = uint8_t(NextRand()); break;
          case 2: m[at] = (NextRand() & 1) ? 0xFF : 0x00; break;
          case 3: m.insert(m.begin() + at, uint8_t(NextRand())); break;
        }
      }
      RunOne(m);
      runs++;
    }
  }
  std::printf("%zu inputs run\n", runs);
  return 0;
}

// The file layer's speed: reading every member of 64 archives of mixed sizes through File_Open
// (goal: at least 0.9 of raw zlib inflate of the same compressed bytes, and at least libzip's
// speed over the same archives), directory lookups a second, and IntHash lookups against
// std::unordered_map (goal: at least 1.5 times as fast).
//   build/bin/bench_file
#include <benchmark/benchmark.h>
#include <unistd.h>
#include <zlib.h>
#ifdef TW_HAVE_LIBZIP
#include <zip.h>
#endif

#include <cstdio>
#include <cstdlib>
#include <filesystem>
#include <random>
#include <string>
#include <unordered_map>
#include <vector>

#include "foundation/file.h"
#include "foundation/inthash.h"
#include "foundation/mem.h"
#include "foundation/namehash.h"
#include "tools/zipwriter.h"

namespace {

struct Corpus {
  std::string dir;
  std::vector<std::string> names;                   // every member
  std::vector<std::vector<uint8_t>> compressed;      // its raw deflate bytes
  std::vector<uint32_t> sizes;
  uint64_t totalBytes = 0;
  size_t largest = 0;
};

std::vector<uint8_t> MakeData(size_t n, std::mt19937& rng) {
  static const char* words[] = {"the ", "city ", "district ", "runner ", "[weapon] ", "[ammo] ", "12.5 ",
                                "\r\n", "police ", "door ", "light ", "model ", "texture\\wall_01 "};
  std::vector<uint8_t> d;
  d.reserve(n);
  while (d.size() < n) {
    if (rng() % 5 == 0) {
      d.push_back(uint8_t(rng()));
      continue;
    }
    const char* w = words[rng() % 13];
    while (*w && d.size() < n) d.push_back(uint8_t(*w++));
  }
  return d;
}

// 64 archives of 16 members each, 1 KiB to 129 KiB, in a private folder that becomes the
// working directory; the file layer is started over them.
Corpus& TheCorpus() {
  static Corpus* c = [] {
    auto* corpus = new Corpus;
    char tmpl[] = "/tmp/tw_bench_file_XXXXXX";
    corpus->dir = mkdtemp(tmpl);
    if (chdir(corpus->dir.c_str()) != 0) std::abort();
    std::mt19937 rng(7);
    for (int a = 0; a < kArchiveCount; a++) {
      ZipWriter* w = ZipWriter_Create();
      for (int m = 0; m < 16; m++) {
        size_t size = (size_t(1024) << (rng() % 8)) + rng() % 1024;
        std::vector<uint8_t> data = MakeData(size, rng);
        std::string name = "data/a" + std::to_string(a) + "/m" + std::to_string(m) + ".bin";
        ZipWriter_AddMember(w, name.c_str(), data.data(), data.size(), ZIPW_DEFLATED);
        corpus->names.push_back(name);
        corpus->sizes.push_back(uint32_t(size));
        corpus->totalBytes += size;
        if (size > corpus->largest) corpus->largest = size;
      }
      std::vector<uint8_t> bytes = ZipWriter_Finish(w);
      // The same compressed bytes for the raw inflate: walk the local headers.
      size_t at = 0;
      for (int m = 0; m < 16; m++) {
        uint32_t packed = uint32_t(bytes[at + 18]) | uint32_t(bytes[at + 19]) << 8 |
                          uint32_t(bytes[at + 20]) << 16 | uint32_t(bytes[at + 21]) << 24;
        size_t nameLength = size_t(bytes[at + 26]) | size_t(bytes[at + 27]) << 8;
        size_t data = at + 30 + nameLength;
        corpus->compressed.emplace_back(bytes.begin() + long(data), bytes.begin() + long(data + packed));
        at = data + packed;
      }
      char path[64];
      std::snprintf(path, sizeof path, "main/data%02d.twk", a);
      std::filesystem::create_directories("main");
      FILE* f = std::fopen(path, "wb");
      std::fwrite(bytes.data(), 1, bytes.size(), f);
      std::fclose(f);
    }
    File_Init();
    // The archives and the folder go when the program ends.
    static struct Cleanup {
      std::string dir;
      ~Cleanup() {
        File_Shutdown();
        std::error_code ec;
        std::filesystem::remove_all(dir, ec);
      }
    } cleanup{corpus->dir};
    return corpus;
  }();
  return *c;
}

void BM_FileReadEveryMember(benchmark::State& state) {
  Corpus& c = TheCorpus();
  std::vector<uint8_t> buffer(c.largest);
  for (auto _ : state) {
    for (size_t i = 0; i < c.names.size(); i++) {
      FileHandle* f = File_Open(c.names[i].c_str(), "rb");
      size_t n = File_Read(buffer.data(), 1, File_Size(f), f);
      File_Close(f);
      if (n != c.sizes[i]) state.SkipWithError("short read");
    }
    benchmark::ClobberMemory();
  }
  state.SetBytesProcessed(int64_t(state.iterations()) * int64_t(c.totalBytes));
}
BENCHMARK(BM_FileReadEveryMember)->Unit(benchmark::kMillisecond);

void BM_RawZlibInflate(benchmark::State& state) {
  Corpus& c = TheCorpus();
  std::vector<uint8_t> buffer(c.largest);
  for (auto _ : state) {
    for (size_t i = 0; i < c.compressed.size(); i++) {
      z_stream s{};
      inflateInit2(&s, -15);
      s.next_in = c.compressed[i].data();
      s.avail_in = uInt(c.compressed[i].size());
      s.next_out = buffer.data();
      s.avail_out = uInt(buffer.size());
      inflate(&s, Z_FINISH);
      if (s.total_out != c.sizes[i]) state.SkipWithError("short inflate");
      inflateEnd(&s);
    }
    benchmark::ClobberMemory();
  }
  state.SetBytesProcessed(int64_t(state.iterations()) * int64_t(c.totalBytes));
}
BENCHMARK(BM_RawZlibInflate)->Unit(benchmark::kMillisecond);

#ifdef TW_HAVE_LIBZIP
void BM_LibzipReadEveryMember(benchmark::State& state) {
  Corpus& c = TheCorpus();
  std::vector<zip_t*> archives;
  for (int a = 0; a < kArchiveCount; a++) {
    char path[64];
    std::snprintf(path, sizeof path, "main/data%02d.twk", a);
    int err = 0;
    archives.push_back(zip_open(path, ZIP_RDONLY, &err));
  }
  std::vector<uint8_t> buffer(c.largest);
  for (auto _ : state) {
    for (zip_t* z : archives) {
      zip_int64_t n = zip_get_num_entries(z, 0);
      for (zip_int64_t i = 0; i < n; i++) {
        zip_file_t* f = zip_fopen_index(z, zip_uint64_t(i), 0);
        zip_fread(f, buffer.data(), buffer.size());
        zip_fclose(f);
      }
    }
    benchmark::ClobberMemory();
  }
  for (zip_t* z : archives) zip_discard(z);
  state.SetBytesProcessed(int64_t(state.iterations()) * int64_t(c.totalBytes));
}
BENCHMARK(BM_LibzipReadEveryMember)->Unit(benchmark::kMillisecond);
#endif

void BM_FileOpenCloseLookup(benchmark::State& state) {
  Corpus& c = TheCorpus();
  size_t i = 0;
  for (auto _ : state) {
    FileHandle* f = File_Open(c.names[i].c_str(), "rb");
    benchmark::DoNotOptimize(f);
    File_Close(f);
    if (++i == c.names.size()) i = 0;
  }
  state.SetItemsProcessed(state.iterations());
}
BENCHMARK(BM_FileOpenCloseLookup);

void BM_DirectoryFindEntry(benchmark::State& state) {
  Corpus& c = TheCorpus();
  std::vector<uint32_t> hashes;
  for (auto& n : c.names) hashes.push_back(Name_HashStr(n.c_str()));
  size_t i = 0;
  for (auto _ : state) {
    benchmark::DoNotOptimize(Zip_FindEntry(0, hashes[i], c.names[i].c_str()));
    if (++i == c.names.size()) i = 0;
  }
  state.SetItemsProcessed(state.iterations());
}
BENCHMARK(BM_DirectoryFindEntry);

std::vector<int32_t> HashKeys(int n) {
  std::vector<int32_t> keys;
  for (int i = 0; i < n; i++) {
    std::string name = "texture\\name_" + std::to_string(i);
    int32_t k = int32_t(Name_HashStr(name.c_str()));
    if (k >= kIntHashLowestKey) keys.push_back(k);
  }
  return keys;
}

void BM_IntHashGet(benchmark::State& state) {
  std::vector<int32_t> keys = HashKeys(10000);
  IntHash* t = IntHash_Create(32, 0);
  for (size_t i = 0; i < keys.size(); i++) IntHash_Insert(t, keys[i], uint32_t(i + 1));
  std::mt19937 rng(3);
  std::vector<int32_t> order(1 << 16);
  for (auto& k : order) k = keys[rng() % keys.size()];
  size_t i = 0;
  for (auto _ : state) {
    benchmark::DoNotOptimize(IntHash_Get(t, order[i]));
    i = (i + 1) & (order.size() - 1);
  }
  IntHash_Destroy(&t);
  state.SetItemsProcessed(state.iterations());
}
BENCHMARK(BM_IntHashGet);

void BM_UnorderedMapGet(benchmark::State& state) {
  std::vector<int32_t> keys = HashKeys(10000);
  std::unordered_map<int32_t, uint32_t> map;
  for (size_t i = 0; i < keys.size(); i++) map[keys[i]] = uint32_t(i + 1);
  std::mt19937 rng(3);
  std::vector<int32_t> order(1 << 16);
  for (auto& k : order) k = keys[rng() % keys.size()];
  size_t i = 0;
  for (auto _ : state) {
    auto it = map.find(order[i]);
    benchmark::DoNotOptimize(it == map.end() ? 0u : it->second);
    i = (i + 1) & (order.size() - 1);
  }
  state.SetItemsProcessed(state.iterations());
}
BENCHMARK(BM_UnorderedMapGet);

}  // namespace

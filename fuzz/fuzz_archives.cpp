// Mounts arbitrary bytes as the data archive "main\data07.twk" beside a valid archive 03 that
// holds some of the same names, then opens and reads every directory entry through the file
// layer and lists a folder.
#include <cstdio>
#include <cstdlib>
#include <cstring>
#include <filesystem>
#include <string>

#include "foundation/file.h"
#include "foundation/mem.h"
#include "fuzz.h"
#include "tools/zipwriter.h"

static void EnterPrivateFolder() {
  static bool done = false;
  if (done) return;
  done = true;
  // A memory file system when there is one: every input is written and mounted.
  Fuzz_EnterPrivateFolder("tw_fuzz_archives_", true);
  ZipWriter* w = ZipWriter_Create();
  ZipWriter_AddMember(w, "data/a.txt", "archive three", 13, ZIPW_DEFLATED);
  ZipWriter_AddMember(w, "data/b.sav", "bee", 3, ZIPW_STORED);
  if (!ZipWriter_FinishToFile(w, "main/data03.twk")) std::abort();
}

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, size_t size) {
  EnterPrivateFolder();
  FILE* f = std::fopen("main/data07.twk", "wb");
  if (!f) std::abort();
  if (size) std::fwrite(data, 1, size, f);
  std::fclose(f);
  File_Init();
  const ArchiveEntry* entries = File_ArchiveEntries();
  int count = File_ArchiveEntryCount();
  static char buf[65536];
  for (int i = 0; i < count; i++) {
    if (std::strlen(entries[i].name) >= sizeof entries[i].name) std::abort();
    FileHandle* h = File_Open(entries[i].name, "rb");
    if (!h) continue;
    uint64_t total = 0;
    while (size_t n = File_Read(buf, 1, sizeof buf, h)) {
      total += n;
      if (total > File_Size(h)) std::abort();
    }
    File_Close(h);
  }
  TextFile_Get("data\\a.txt");
  char names[4][16];
  int listed = 0;
  File_ListFiles("data\\", ".sav", &listed, &names[0][0], 4, 16);
  if (listed < 0 || listed > 4) std::abort();
  File_Shutdown();
  return 0;
}

void Fuzz_MakeSeeds(std::vector<std::vector<uint8_t>>& seeds) {
  for (uint8_t sig : {uint8_t('P'), uint8_t('p')}) {
    ZipWriter* w = ZipWriter_Create(sig);
    std::string text(3000, 'x');
    ZipWriter_AddMember(w, "data/a.txt", text.data(), text.size(), ZIPW_DEFLATED);
    ZipWriter_AddMember(w, "DATA\\C.SAV", "sea", 3, ZIPW_STORED);
    ZipWriter_AddMember(w, "data/c.sav", "later", 5, ZIPW_STORED);
    ZipWriter_AddMember(w, "folder/", nullptr, 0, ZIPW_STORED);
    seeds.push_back(ZipWriter_Finish(w));
  }
}

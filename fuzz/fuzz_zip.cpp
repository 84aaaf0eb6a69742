// Mounts an archive from arbitrary bytes, walks every entry, and reads every member twice: once
// as the current member and once through an independent member handle.
#include <cstdlib>
#include <cstring>
#include <string>

#include "foundation/zip.h"
#include "fuzz.h"
#include "tools/zipwriter.h"

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, size_t size) {
  ZipArchive* z = Zip_OpenMemory(data, size);
  if (!z) return 0;
  static uint8_t buf[8192];
  int entries = 0;
  for (int r = Zip_GoToFirstFile(z); r == ZIP_OK && entries < 70000; r = Zip_GoToNextFile(z), entries++) {
    char name[1024];
    ZipFileInfo info;
    char comment[64];
    uint8_t extra[32];
    if (Zip_GetCurrentFileInfo(z, &info, name, sizeof name, extra, sizeof extra, comment, sizeof comment) != ZIP_OK)
      std::abort();
    if (std::strlen(name) >= sizeof name) std::abort();
    ZipPos pos;
    if (Zip_GetFilePos(z, &pos) != ZIP_OK) std::abort();
    ZipMember* m = nullptr;
    if (Zip_OpenMember(z, &pos, &m) == ZIP_OK) {
      uint64_t total = 0;
      for (;;) {
        int n = Zip_ReadMember(m, buf, sizeof buf);
        if (n <= 0) break;
        total += uint64_t(n);
        if (total > info.uncompressedSize) std::abort();
      }
      Zip_CloseMember(m);
    }
    if (Zip_OpenCurrentFile(z) == ZIP_OK) {
      while (Zip_ReadCurrentFile(z, buf, 1000) > 0) {
      }
      Zip_CloseCurrentFile(z);
    }
  }
  Zip_Close(z);
  return 0;
}

void Fuzz_MakeSeeds(std::vector<std::vector<uint8_t>>& seeds) {
  for (uint8_t sig : {uint8_t('P'), uint8_t('p')}) {
    ZipWriter* w = ZipWriter_Create(sig);
    std::string text;
    for (int i = 0; i < 200; i++) text += "line " + std::to_string(i) + " of text\n";
    ZipWriter_AddMember(w, "data/a.txt", text.data(), text.size(), ZIPW_DEFLATED);
    ZipWriter_AddMember(w, "data/b.bin", "stored bytes", 12, ZIPW_STORED);
    ZipWriterOptions o;
    o.dataDescriptor = true;
    o.comment = "c";
    ZipWriter_AddMemberEx(w, "data/dd", text.data(), 300, o);
    ZipWriter_AddMember(w, "empty/", nullptr, 0, ZIPW_STORED);
    seeds.push_back(ZipWriter_Finish(w, sig == 'p' ? "archive comment" : nullptr));
  }
  ZipWriter* w = ZipWriter_Create();
  ZipWriter_AddMember(w, "one", "x", 1, ZIPW_DEFLATED);
  seeds.push_back(ZipWriter_Finish(w));
}

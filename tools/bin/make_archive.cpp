// make_archive <folder> <archive>: packs every file below the folder into a data archive, e.g.
//   make_archive sample/data out/sample/main/data00.twk
#include <cstdio>

#include "tools/zipwriter.h"

int main(int argc, char** argv) {
  if (argc != 3) {
    std::fprintf(stderr, "usage: make_archive <folder> <archive>\n");
    return 2;
  }
  int n = ZipWriter_PackFolder(argv[1], argv[2]);
  if (n < 0) {
    std::fprintf(stderr, "make_archive: cannot pack %s into %s\n", argv[1], argv[2]);
    return 1;
  }
  std::printf("%s: %d members\n", argv[2], n);
  return 0;
}

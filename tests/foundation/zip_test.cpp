// The zip reader over archives made by the project's zip writer: stored and deflated members,
// 'p' signatures, comments, data descriptors, prefixed archives, independent members and damaged
// archives.
#include <gtest/gtest.h>
#include <zlib.h>

#include <string>
#include <vector>

#include "foundation/zip.h"
#include "support/test_support.h"
#include "tools/zipwriter.h"

namespace {

using Bytes = std::vector<uint8_t>;

Bytes Pattern(size_t n, uint32_t seed) {
  Bytes b(n);
  uint32_t s = seed;
  for (size_t i = 0; i < n; i++) {
    s = s * 1103515245u + 12345u;
    b[i] = uint8_t((i % 7 == 0) ? (s >> 16) : ('a' + (i / 13) % 26));  // compressible, not trivial
  }
  return b;
}

Bytes TwoMemberArchive(uint8_t sig = 'P', const char* comment = nullptr) {
  ZipWriter* w = ZipWriter_Create(sig);
  Bytes a = Pattern(100000, 1), b = Pattern(777, 2);
  EXPECT_EQ(ZipWriter_AddMember(w, "data/big.bin", a.data(), a.size(), ZIPW_DEFLATED), 1);
  EXPECT_EQ(ZipWriter_AddMember(w, "Data/Small.TXT", b.data(), b.size(), ZIPW_STORED), 1);
  return ZipWriter_Finish(w, comment);
}

// Opens the current entry, reads it whole, returns the first error or the close code.
int ReadCurrent(ZipArchive* z, Bytes& out) {
  out.clear();
  int r = Zip_OpenCurrentFile(z);
  if (r != ZIP_OK) return r;
  uint8_t buf[4096];
  for (;;) {
    int n = Zip_ReadCurrentFile(z, buf, sizeof buf);
    if (n < 0) {
      Zip_CloseCurrentFile(z);
      return n;
    }
    if (n == 0) break;
    out.insert(out.end(), buf, buf + n);
  }
  return Zip_CloseCurrentFile(z);
}

// Every member's name and bytes, in directory order.
std::vector<std::pair<std::string, Bytes>> ReadAll(ZipArchive* z) {
  std::vector<std::pair<std::string, Bytes>> all;
  for (int r = Zip_GoToFirstFile(z); r == ZIP_OK; r = Zip_GoToNextFile(z)) {
    char name[256];
    ZipFileInfo info;
    EXPECT_EQ(Zip_GetCurrentFileInfo(z, &info, name, sizeof name, nullptr, 0, nullptr, 0), ZIP_OK);
    Bytes data;
    EXPECT_EQ(ReadCurrent(z, data), ZIP_OK) << name;
    all.emplace_back(name, data);
  }
  return all;
}

void Put(Bytes& b, size_t at, uint32_t v, int width) {
  for (int i = 0; i < width; i++) b[at + i] = uint8_t(v >> (8 * i));
}
// The archive reads `b` in place: it must outlive the archive.
ZipArchive* Open(const Bytes& b) { return Zip_OpenMemory(b.data(), b.size()); }

}  // namespace

// Either signature spelling, a self-extracting stub in front, a comment filling the end record's
// search window (65,513 bytes: one more is not found), members with data descriptors.
TEST(Zip, RoundTripsTheCommentWindowAndMembersThatOutliveTheArchive) {
  using Members = std::vector<std::pair<std::string, Bytes>>;
  const Members two = {{"data/big.bin", Pattern(100000, 1)}, {"Data/Small.TXT", Pattern(777, 2)}};
  Bytes prefixed = TwoMemberArchive('P');
  prefixed.insert(prefixed.begin(), 4096, 0x90);  // the stub shifts every offset
  ZipWriter* w = ZipWriter_Create();
  ZipWriterOptions dd;
  dd.dataDescriptor = true;  // zero sizes and CRC in the local header
  const Members described = {{"dd.bin", Pattern(5000, 9)}, {"dd.txt", Pattern(300, 4)}};
  ZipWriter_AddMemberEx(w, "dd.bin", described[0].second.data(), described[0].second.size(), dd);
  dd.method = ZIPW_STORED;
  ZipWriter_AddMemberEx(w, "dd.txt", described[1].second.data(), described[1].second.size(), dd);
  const std::pair<Bytes, Members> cases[] = {{TwoMemberArchive('P'), two},
                                             {TwoMemberArchive('p'), two},
                                             {prefixed, two},
                                             {TwoMemberArchive('P', std::string(65513, 'c').c_str()), two},
                                             {ZipWriter_Finish(w), described}};
  for (const auto& [zip, want] : cases) {
    ZipArchive* z = Open(zip);
    ASSERT_NE(z, nullptr);
    EXPECT_TRUE(ReadAll(z) == want);
    EXPECT_EQ(Zip_Close(z), ZIP_OK);
  }
  Bytes tooLong = TwoMemberArchive('P', std::string(65514, 'c').c_str());
  EXPECT_EQ(Open(tooLong), nullptr);
  // Members of a file read independently and outlive the archive.
  tw_test::TempDir dir;
  tw_test::WriteBytes("a.zip", TwoMemberArchive());
  ZipArchive* z = Zip_Open("a.zip");
  ASSERT_NE(z, nullptr);
  ZipPos first, second;
  ASSERT_EQ(Zip_GoToFirstFile(z), ZIP_OK);
  ASSERT_EQ(Zip_GetFilePos(z, &first), ZIP_OK);
  ASSERT_EQ(Zip_GoToNextFile(z), ZIP_OK);
  ASSERT_EQ(Zip_GetFilePos(z, &second), ZIP_OK);
  ZipMember* m[3] = {};
  ASSERT_EQ(Zip_OpenMember(z, &first, &m[0]), ZIP_OK);
  ASSERT_EQ(Zip_OpenMember(z, &second, &m[1]), ZIP_OK);
  ASSERT_EQ(Zip_OpenMember(z, &first, &m[2]), ZIP_OK);
  EXPECT_EQ(Zip_Close(z), ZIP_OK);  // members outlive the archive
  Bytes got[3];
  const uint32_t chunk[3] = {333, 100, 111};
  uint8_t buf[333];
  for (bool any = true; any;) {
    any = false;
    for (int i = 0; i < 3; i++) {
      int n = Zip_ReadMember(m[i], buf, chunk[i]);
      ASSERT_GE(n, 0);
      got[i].insert(got[i].end(), buf, buf + n);
      any |= n > 0;
    }
  }
  EXPECT_EQ(got[0], Pattern(100000, 1));
  EXPECT_EQ(got[1], Pattern(777, 2));
  EXPECT_EQ(got[2], got[0]);
  for (ZipMember* one : m) EXPECT_EQ(Zip_CloseMember(one), ZIP_OK);
  EXPECT_EQ(Zip_Open("."), nullptr);
}

namespace {

Bytes OneMember(const char* name, const void* data, size_t size, int method) {
  ZipWriter* w = ZipWriter_Create();
  ZipWriter_AddMember(w, name, data, size, method);
  return ZipWriter_Finish(w);
}
// A one-member stored archive "file.txt" = "some stored text" and its offsets.
constexpr size_t kData = 30 + 8, kCentral = kData + 16;
Bytes OneStored() { return OneMember("file.txt", "some stored text", 16, ZIPW_STORED); }

}  // namespace

TEST(ZipDamaged, BadHeadersAShortStreamAndOverlappingMembersAreRefused) {
  enum { kOpen, kOpenMember, kFirstFile };
  struct Patch {
    int at;  // negative: from the end record
    int width;
    uint32_t value;
  };
  struct Case {
    const char* what;
    std::vector<Patch> patches;
    int stage, expected;
  } cases[] = {
      {"unknown method", {{8, 2, 12}, {int(kCentral) + 10, 2, 12}}, kOpenMember, ZIP_BAD_ZIPFILE},
      {"local name length", {{26, 2, 7}}, kOpenMember, ZIP_BAD_ZIPFILE},
      {"local compressed size", {{18, 4, 5}}, kOpenMember, ZIP_BAD_ZIPFILE},
      {"local signature", {{2, 1, 9}}, kOpenMember, ZIP_BAD_ZIPFILE},
      {"encrypted", {{6, 2, 1}, {int(kCentral) + 8, 2, 1}}, kOpenMember, ZIP_BAD_ZIPFILE},
      {"sizes beyond the archive",
       {{int(kCentral) + 24, 4, ~0u}, {int(kCentral) + 20, 4, ~0u}, {18, 4, ~0u}, {22, 4, ~0u}},
       kOpenMember,
       ZIP_BAD_ZIPFILE},
      {"local header beyond the archive", {{int(kCentral) + 42, 4, 0xFFFFFFF0u}}, kOpenMember, ZIP_ERRNO},
      {"name beyond the directory", {{int(kCentral) + 28, 2, 0xFFFF}}, kFirstFile, ZIP_BAD_ZIPFILE},
      {"disk number", {{-22 + 4, 2, 1}}, kOpen, 0},
      {"entry counts differ", {{-22 + 10, 2, 2}}, kOpen, 0},
      {"directory offset wraps", {{-22 + 16, 4, 0xFFFFFFF0u}}, kOpen, 0},
      {"directory larger than the file", {{-22 + 12, 4, 0x7FFFFFFFu}}, kOpen, 0},
  };
  for (const Case& c : cases) {
    Bytes zip = OneStored();
    for (const Patch& p : c.patches) Put(zip, p.at < 0 ? zip.size() + p.at : size_t(p.at), p.value, p.width);
    ZipArchive* z = Open(zip);
    if (c.stage == kOpen) {
      EXPECT_EQ(z, nullptr) << c.what;
    } else {
      ASSERT_NE(z, nullptr) << c.what;
      EXPECT_EQ(c.stage == kOpenMember ? Zip_OpenCurrentFile(z) : Zip_GoToFirstFile(z), c.expected) << c.what;
      char name[2048];  // and no entry stays current
      if (c.stage == kFirstFile) {
        EXPECT_EQ(Zip_GetCurrentFileInfo(z, nullptr, name, sizeof name, nullptr, 0, nullptr, 0), ZIP_END_OF_LIST);
      }
    }
    Zip_Close(z);
  }
  // The empty archive has its end record at offset 0: not an archive.
  Bytes empty = ZipWriter_Finish(ZipWriter_Create());
  EXPECT_EQ(Open(empty), nullptr);
  Bytes d = Pattern(3000, 5), zip = OneMember("d", d.data(), d.size(), ZIPW_DEFLATED);
  // A larger uncompressed size in both headers: the stream ends early.
  Put(zip, 22, 4000, 4);
  Put(zip, zip.size() - 22 - 46 - 1 + 24, 4000, 4);
  ZipArchive* z = Open(zip);
  ASSERT_NE(z, nullptr);
  Bytes out;
  EXPECT_EQ(ReadCurrent(z, out), ZIP_BAD_ZIPFILE);
  EXPECT_EQ(out, d);
  Zip_Close(z);

  // Two central records point at the same local header.
  ZipWriter* w = ZipWriter_Create();
  ZipWriter_AddMember(w, "aaaa", "first", 5, ZIPW_STORED);
  ZipWriter_AddMember(w, "bbbb", "second", 6, ZIPW_STORED);
  zip = ZipWriter_Finish(w);
  Put(zip, zip.size() - 22 - (46 + 4) + 42, 0, 4);
  ASSERT_NE(z = Open(zip), nullptr);
  ASSERT_EQ(Zip_GoToFirstFile(z), ZIP_OK);
  EXPECT_EQ(ReadCurrent(z, out), ZIP_OK);
  EXPECT_EQ(std::string(out.begin(), out.end()), "first");
  ASSERT_EQ(Zip_GoToNextFile(z), ZIP_OK);
  EXPECT_EQ(ReadCurrent(z, out), ZIP_BAD_ZIPFILE);  // the local header disagrees with it
  Zip_Close(z);
}


// A position taken from an entry makes it current again without walking; a position that is not
// an entry's (inside a record, before the directory, past the end, or an entry number beyond the
// count) is refused and leaves no entry current.
TEST(Zip, GoToFilePosReselectsAnEntryAndRefusesBadPositions) {
  Bytes zip = TwoMemberArchive();
  ZipArchive* z = Open(zip);
  ASSERT_NE(z, nullptr);
  ZipPos first, second, pos;
  ASSERT_EQ(Zip_GetFilePos(z, &first), ZIP_OK);
  ASSERT_EQ(Zip_GoToNextFile(z), ZIP_OK);
  ASSERT_EQ(Zip_GetFilePos(z, &second), ZIP_OK);
  EXPECT_EQ(second.entry, 1u);
  EXPECT_GT(second.offset, first.offset);
  ASSERT_EQ(Zip_GoToFirstFile(z), ZIP_OK);
  ASSERT_EQ(Zip_GoToFilePos(z, &second), ZIP_OK);
  char name[64];
  ZipFileInfo info;
  ASSERT_EQ(Zip_GetCurrentFileInfo(z, &info, name, sizeof name, nullptr, 0, nullptr, 0), ZIP_OK);
  EXPECT_STREQ(name, "Data/Small.TXT");
  Bytes data;
  EXPECT_EQ(ReadCurrent(z, data), ZIP_OK);
  EXPECT_EQ(data, Pattern(777, 2));
  ASSERT_EQ(Zip_GoToFilePos(z, &first), ZIP_OK);  // back to the deflated one
  EXPECT_EQ(ReadCurrent(z, data), ZIP_OK);
  EXPECT_EQ(data, Pattern(100000, 1));
  EXPECT_EQ(Zip_GoToNextFile(z), ZIP_OK);  // and the walk goes on from there
  ASSERT_EQ(Zip_GetFilePos(z, &pos), ZIP_OK);
  EXPECT_EQ(pos.offset, second.offset);
  EXPECT_EQ(pos.entry, second.entry);

  const struct {
    ZipPos pos;
    int code;  // 0: any refusal
  } bad[] = {{{second.offset + 1, 1}, ZIP_BAD_ZIPFILE},
             {{first.offset - 1, 0}, ZIP_BAD_ZIPFILE},
             {{0, 0}, ZIP_BAD_ZIPFILE},
             {{0xFFFFFFF0u, 0}, 0},
             {{second.offset, 2}, ZIP_END_OF_LIST},
             {{second.offset, 0xFFFFFFFFu}, ZIP_END_OF_LIST}};
  for (const auto& b : bad) {
    SCOPED_TRACE(testing::Message() << b.pos.offset << " " << b.pos.entry);
    ASSERT_EQ(Zip_GoToFilePos(z, &second), ZIP_OK);
    int r = Zip_GoToFilePos(z, &b.pos);
    if (b.code) {
      EXPECT_EQ(r, b.code);
    } else {
      EXPECT_LT(r, 0);
    }
    EXPECT_EQ(Zip_GetFilePos(z, &pos), ZIP_END_OF_LIST);  // nothing current after a refusal
    EXPECT_EQ(Zip_OpenCurrentFile(z), ZIP_PARAM_ERROR);
    EXPECT_EQ(Zip_GoToNextFile(z), ZIP_END_OF_LIST);
  }
  EXPECT_EQ(Zip_GoToFilePos(z, nullptr), ZIP_PARAM_ERROR);
  EXPECT_EQ(Zip_GoToFilePos(nullptr, &first), ZIP_PARAM_ERROR);
  EXPECT_EQ(Zip_GetFilePos(z, nullptr), ZIP_PARAM_ERROR);
  Zip_Close(z);
}

// A changed data byte: the read that reaches the member's end and the close both say CRC error,
// for stored and deflated members; a close before the end does not look at the CRC.
TEST(ZipDamaged, FlippedDataByteIsACrcErrorOnceReadToTheEnd) {
  Bytes stored = OneStored();
  stored[kData + 3] ^= 0x20;
  ZipArchive* z = Open(stored);
  ASSERT_NE(z, nullptr);
  ASSERT_EQ(Zip_OpenCurrentFile(z), ZIP_OK);
  char buf[64];
  EXPECT_EQ(Zip_ReadCurrentFile(z, buf, sizeof buf), ZIP_CRC_ERROR);
  EXPECT_EQ(Zip_CloseCurrentFile(z), ZIP_CRC_ERROR);
  ASSERT_EQ(Zip_OpenCurrentFile(z), ZIP_OK);
  EXPECT_EQ(Zip_ReadCurrentFile(z, buf, 8), 8);
  EXPECT_EQ(Zip_CloseCurrentFile(z), ZIP_OK);
  Zip_Close(z);
  // Deflated: the stored CRC itself changed, so the stream still inflates whole.
  Bytes d = Pattern(3000, 5), deflated = OneMember("d", d.data(), d.size(), ZIPW_DEFLATED);
  deflated[14] ^= 1;                                   // the local header's CRC
  deflated[deflated.size() - 22 - 46 - 1 + 16] ^= 1;  // and the central record's
  ASSERT_NE(z = Open(deflated), nullptr);
  Bytes out;
  EXPECT_EQ(ReadCurrent(z, out), ZIP_CRC_ERROR);
  EXPECT_EQ(out.size(), 0u);
  ASSERT_EQ(Zip_OpenCurrentFile(z), ZIP_OK);
  std::vector<uint8_t> all(d.size() + 10);
  int n = 0, got;
  while ((got = Zip_ReadCurrentFile(z, all.data() + n, 1000)) > 0) n += got;
  EXPECT_EQ(got, ZIP_CRC_ERROR);
  EXPECT_EQ(Zip_CloseCurrentFile(z), ZIP_CRC_ERROR);
  Zip_Close(z);
}

// The project's CRC-32 (folded four lanes at a time where the processor can) equals zlib's at
// every length, alignment and start value.
TEST(ZipCrc, MatchesZlibAtAnyLengthAlignmentAndStart) {
  Bytes data = Pattern(70000, 11);
  uint32_t s = 99;
  for (int t = 0; t < 1000; t++) {
    s = s * 1664525u + 1013904223u;
    size_t offset = s % 61;
    size_t length = t < 300 ? size_t(t) : (s >> 8) % (data.size() - 64);
    uint32_t start = t % 3 == 0 ? 0 : s * 2654435761u;
    ASSERT_EQ(Zip_Crc32(start, data.data() + offset, length), uint32_t(crc32(start, data.data() + offset, uInt(length))))
        << "offset " << offset << " length " << length << " start " << start;
  }
  EXPECT_EQ(Zip_Crc32(0, "123456789", 9), 0xCBF43926u);  // the check value of CRC-32
  EXPECT_EQ(Zip_Crc32(5, nullptr, 0), 5u);
}

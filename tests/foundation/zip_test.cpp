// The zip reader over archives made by the project's zip writer: stored and deflated members,
// 'p' signatures, comments, prefixed archives, independent members and damaged archives.
#include <gtest/gtest.h>
#include <zlib.h>

#include <cstring>
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

// Opens the current entry, reads it whole in chunks of `chunk`, returns the close code.
int ReadCurrent(ZipArchive* z, Bytes& out, uint32_t chunk = 4096) {
  out.clear();
  int r = Zip_OpenCurrentFile(z);
  if (r != ZIP_OK) return r;
  std::vector<uint8_t> buf(chunk);
  for (;;) {
    int n = Zip_ReadCurrentFile(z, buf.data(), chunk);
    if (n < 0) {
      Zip_CloseCurrentFile(z);
      return n;
    }
    if (n == 0) break;
    out.insert(out.end(), buf.begin(), buf.begin() + n);
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

}  // namespace

TEST(Zip, StoredAndDeflatedRoundTrip) {
  Bytes zip = TwoMemberArchive();
  ZipArchive* z = Zip_OpenMemory(zip.data(), zip.size());
  ASSERT_NE(z, nullptr);
  ZipGlobalInfo gi;
  ASSERT_EQ(Zip_GetGlobalInfo(z, &gi), ZIP_OK);
  EXPECT_EQ(gi.entryCount, 2u);
  auto all = ReadAll(z);
  ASSERT_EQ(all.size(), 2u);
  EXPECT_EQ(all[0].first, "data/big.bin");
  EXPECT_EQ(all[0].second, Pattern(100000, 1));
  EXPECT_EQ(all[1].first, "Data/Small.TXT");
  EXPECT_EQ(all[1].second, Pattern(777, 2));
  EXPECT_EQ(Zip_GoToNextFile(z), ZIP_END_OF_LIST);
  EXPECT_EQ(Zip_Close(z), ZIP_OK);
  EXPECT_EQ(Zip_Close(nullptr), ZIP_PARAM_ERROR);
}

TEST(Zip, EntryInfoAndDate) {
  ZipWriter* w = ZipWriter_Create();
  ZipWriterOptions o;
  o.method = ZIPW_STORED;
  o.dosDate = (uint32_t(2003 - 1980) << 25) | (7u << 21) | (14u << 16) | (13u << 11) | (45u << 5) | 10u;
  o.comment = "hello";
  ZipWriter_AddMemberEx(w, "x.txt", "abc", 3, o);
  Bytes zip = ZipWriter_Finish(w);
  ZipArchive* z = Zip_OpenMemory(zip.data(), zip.size());
  ASSERT_NE(z, nullptr);
  ZipFileInfo info;
  char name[3], comment[16];
  ASSERT_EQ(Zip_GetCurrentFileInfo(z, &info, name, sizeof name, nullptr, 0, comment, sizeof comment), ZIP_OK);
  EXPECT_STREQ(name, "x.");  // always terminated, cut to the buffer
  EXPECT_STREQ(comment, "hello");
  EXPECT_EQ(info.uncompressedSize, 3u);
  EXPECT_EQ(info.crc, uint32_t(crc32(0, reinterpret_cast<const Bytef*>("abc"), 3)));
  EXPECT_EQ(info.date.year, 2003u);
  EXPECT_EQ(info.date.month, 6u);
  EXPECT_EQ(info.date.day, 14u);
  EXPECT_EQ(info.date.hours, 13u);
  EXPECT_EQ(info.date.minutes, 45u);
  EXPECT_EQ(info.date.seconds, 20u);
  Zip_Close(z);
}

TEST(Zip, LowerCaseSignaturesReadLikeUpperCase) {
  Bytes upper = TwoMemberArchive('P'), lower = TwoMemberArchive('p');
  ASSERT_EQ(upper.size(), lower.size());
  EXPECT_NE(upper, lower);
  ZipArchive* a = Zip_OpenMemory(upper.data(), upper.size());
  ZipArchive* b = Zip_OpenMemory(lower.data(), lower.size());
  ASSERT_NE(a, nullptr);
  ASSERT_NE(b, nullptr);
  EXPECT_EQ(ReadAll(a), ReadAll(b));
  Zip_Close(a);
  Zip_Close(b);
}

TEST(Zip, CommentUpToTheSearchWindow) {
  std::string ok(65513, 'c'), tooLong(65514, 'c');
  Bytes a = TwoMemberArchive('P', ok.c_str());
  Bytes b = TwoMemberArchive('P', tooLong.c_str());
  ZipArchive* z = Zip_OpenMemory(a.data(), a.size());
  ASSERT_NE(z, nullptr);
  ZipGlobalInfo gi;
  Zip_GetGlobalInfo(z, &gi);
  EXPECT_EQ(gi.commentLength, 65513u);
  EXPECT_EQ(ReadAll(z).size(), 2u);
  Zip_Close(z);
  EXPECT_EQ(Zip_OpenMemory(b.data(), b.size()), nullptr);
}

TEST(Zip, PrefixedArchiveShiftsEveryOffset) {
  Bytes zip = TwoMemberArchive();
  Bytes sfx(4096, 0x90);
  sfx.insert(sfx.end(), zip.begin(), zip.end());
  ZipArchive* z = Zip_OpenMemory(sfx.data(), sfx.size());
  ASSERT_NE(z, nullptr);
  auto all = ReadAll(z);
  ASSERT_EQ(all.size(), 2u);
  EXPECT_EQ(all[0].second, Pattern(100000, 1));
  Zip_Close(z);
}

TEST(Zip, FromFileAndTwoMembersReadIndependently) {
  tw_test::TempDir dir;
  Bytes zip = TwoMemberArchive();
  tw_test::WriteBytes("a.zip", zip);
  ZipArchive* z = Zip_Open("a.zip");
  ASSERT_NE(z, nullptr);
  ZipPos first, second;
  ASSERT_EQ(Zip_GoToFirstFile(z), ZIP_OK);
  ASSERT_EQ(Zip_GetFilePos(z, &first), ZIP_OK);
  ASSERT_EQ(Zip_GoToNextFile(z), ZIP_OK);
  ASSERT_EQ(Zip_GetFilePos(z, &second), ZIP_OK);
  ZipMember *m1 = nullptr, *m2 = nullptr, *m3 = nullptr;
  ASSERT_EQ(Zip_OpenMember(z, &first, &m1), ZIP_OK);
  ASSERT_EQ(Zip_OpenMember(z, &second, &m2), ZIP_OK);
  ASSERT_EQ(Zip_OpenMember(z, &first, &m3), ZIP_OK);
  EXPECT_EQ(Zip_MemberSize(m1), 100000u);
  Bytes a, b, c;
  uint8_t buf[333];
  // Interleave small reads of all three.
  for (;;) {
    int n1 = Zip_ReadMember(m1, buf, sizeof buf);
    ASSERT_GE(n1, 0);
    a.insert(a.end(), buf, buf + n1);
    int n2 = Zip_ReadMember(m2, buf, 100);
    ASSERT_GE(n2, 0);
    b.insert(b.end(), buf, buf + n2);
    int n3 = Zip_ReadMember(m3, buf, 1000 < sizeof buf ? 1000 : 111);
    ASSERT_GE(n3, 0);
    c.insert(c.end(), buf, buf + n3);
    if (!n1 && !n2 && !n3) break;
  }
  EXPECT_EQ(a, Pattern(100000, 1));
  EXPECT_EQ(b, Pattern(777, 2));
  EXPECT_EQ(c, a);
  // The archive may be closed while members are still open; they stay readable.
  EXPECT_EQ(Zip_Close(z), ZIP_OK);
  EXPECT_EQ(Zip_CloseMember(m1), ZIP_OK);
  EXPECT_EQ(Zip_CloseMember(m2), ZIP_OK);
  EXPECT_EQ(Zip_CloseMember(m3), ZIP_OK);
  EXPECT_EQ(Zip_Open("missing.zip"), nullptr);
  EXPECT_EQ(Zip_Open("."), nullptr);
}

TEST(Zip, GoToFilePosMakesAnEntryCurrentAgain) {
  Bytes zip = TwoMemberArchive();
  ZipArchive* z = Zip_OpenMemory(zip.data(), zip.size());
  ZipPos second;
  Zip_GoToNextFile(z);
  Zip_GetFilePos(z, &second);
  Zip_GoToFirstFile(z);
  ASSERT_EQ(Zip_GoToFilePos(z, &second), ZIP_OK);
  Bytes data;
  EXPECT_EQ(ReadCurrent(z, data), ZIP_OK);
  EXPECT_EQ(data, Pattern(777, 2));
  ZipPos bad{second.offset + 1, 1};
  EXPECT_EQ(Zip_GoToFilePos(z, &bad), ZIP_BAD_ZIPFILE);
  ZipPos pos;
  EXPECT_EQ(Zip_GetFilePos(z, &pos), ZIP_END_OF_LIST);
  EXPECT_EQ(Zip_OpenCurrentFile(z), ZIP_PARAM_ERROR);
  ZipPos far{0xFFFFFFF0u, 0};
  EXPECT_NE(Zip_GoToFilePos(z, &far), ZIP_OK);
  ZipPos beyond{second.offset, 5};
  EXPECT_EQ(Zip_GoToFilePos(z, &beyond), ZIP_END_OF_LIST);
  Zip_Close(z);
}

TEST(Zip, DataDescriptorMemberOpens) {
  ZipWriter* w = ZipWriter_Create();
  ZipWriterOptions o;
  o.dataDescriptor = true;
  Bytes d = Pattern(5000, 9);
  ZipWriter_AddMemberEx(w, "dd.bin", d.data(), d.size(), o);
  Bytes zip = ZipWriter_Finish(w);
  ZipArchive* z = Zip_OpenMemory(zip.data(), zip.size());
  ASSERT_NE(z, nullptr);
  Bytes out;
  EXPECT_EQ(ReadCurrent(z, out), ZIP_OK);
  EXPECT_EQ(out, d);
  Zip_Close(z);
}

TEST(Zip, EmptyMemberReadsNothing) {
  ZipWriter* w = ZipWriter_Create();
  ZipWriter_AddMember(w, "empty", nullptr, 0, ZIPW_STORED);
  ZipWriter_AddMember(w, "empty2", nullptr, 0, ZIPW_DEFLATED);
  Bytes zip = ZipWriter_Finish(w);
  ZipArchive* z = Zip_OpenMemory(zip.data(), zip.size());
  ASSERT_NE(z, nullptr);
  auto all = ReadAll(z);
  ASSERT_EQ(all.size(), 2u);
  EXPECT_TRUE(all[0].second.empty());
  EXPECT_TRUE(all[1].second.empty());
  Zip_Close(z);
}

// --- damaged archives -------------------------------------------------------------------------

namespace {

// Offsets inside a one-member stored archive made by the writer.
struct OneStored {
  Bytes zip;
  size_t dataOffset, centralOffset, endOffset;
};

OneStored MakeOneStored(const char* name = "file.txt", const char* text = "some stored text") {
  ZipWriter* w = ZipWriter_Create();
  ZipWriter_AddMember(w, name, text, std::strlen(text), ZIPW_STORED);
  OneStored o;
  o.zip = ZipWriter_Finish(w);
  o.dataOffset = 30 + std::strlen(name);
  o.centralOffset = o.dataOffset + std::strlen(text);
  o.endOffset = o.zip.size() - 22;
  return o;
}

void Set16(Bytes& b, size_t at, uint32_t v) {
  b[at] = uint8_t(v);
  b[at + 1] = uint8_t(v >> 8);
}
void Set32(Bytes& b, size_t at, uint32_t v) {
  for (int i = 0; i < 4; i++) b[at + i] = uint8_t(v >> (8 * i));
}

int OpenFirst(const Bytes& zip, ZipArchive** out) {
  *out = Zip_OpenMemory(zip.data(), zip.size());
  if (!*out) return 1;
  return Zip_OpenCurrentFile(*out);
}

}  // namespace

TEST(ZipDamaged, UnknownMethodIsRefused) {
  OneStored o = MakeOneStored();
  Set16(o.zip, 8, 12);
  Set16(o.zip, o.centralOffset + 10, 12);
  ZipArchive* z;
  EXPECT_EQ(OpenFirst(o.zip, &z), ZIP_BAD_ZIPFILE);
  Zip_Close(z);
}

TEST(ZipDamaged, FlippedDataByteIsACrcError) {
  OneStored o = MakeOneStored();
  o.zip[o.dataOffset + 3] ^= 0x20;
  ZipArchive* z = Zip_OpenMemory(o.zip.data(), o.zip.size());
  ASSERT_NE(z, nullptr);
  Bytes out;
  EXPECT_EQ(ReadCurrent(z, out), ZIP_CRC_ERROR);
  // Read in one call, the completing read itself reports it; the close reports it again.
  ASSERT_EQ(Zip_OpenCurrentFile(z), ZIP_OK);
  char buf[64];
  EXPECT_EQ(Zip_ReadCurrentFile(z, buf, sizeof buf), ZIP_CRC_ERROR);
  EXPECT_EQ(Zip_CloseCurrentFile(z), ZIP_CRC_ERROR);
  // A member closed before its end is not checked.
  ASSERT_EQ(Zip_OpenCurrentFile(z), ZIP_OK);
  EXPECT_EQ(Zip_ReadCurrentFile(z, buf, 4), 4);
  EXPECT_EQ(Zip_CloseCurrentFile(z), ZIP_OK);
  EXPECT_EQ(Zip_CloseCurrentFile(z), ZIP_PARAM_ERROR);
  Zip_Close(z);
}

TEST(ZipDamaged, FlippedDeflatedByteNeverReadsAsSuccess) {
  ZipWriter* w = ZipWriter_Create();
  Bytes d = Pattern(20000, 3);
  ZipWriter_AddMember(w, "d.bin", d.data(), d.size(), ZIPW_DEFLATED);
  Bytes good = ZipWriter_Finish(w);
  for (size_t at = 30 + 5; at < 30 + 5 + 200; at += 7) {
    Bytes zip = good;
    zip[at] ^= 0x5A;
    ZipArchive* z = Zip_OpenMemory(zip.data(), zip.size());
    ASSERT_NE(z, nullptr);
    Bytes out;
    int r = ReadCurrent(z, out);
    EXPECT_TRUE(r != ZIP_OK || out == d) << at;
    Zip_Close(z);
  }
}

TEST(ZipDamaged, LocalHeaderDisagreements) {
  {
    OneStored o = MakeOneStored();
    Set16(o.zip, 26, 7);  // name length
    ZipArchive* z;
    EXPECT_EQ(OpenFirst(o.zip, &z), ZIP_BAD_ZIPFILE);
    Zip_Close(z);
  }
  {
    OneStored o = MakeOneStored();
    Set32(o.zip, 18, 5);  // compressed size
    ZipArchive* z;
    EXPECT_EQ(OpenFirst(o.zip, &z), ZIP_BAD_ZIPFILE);
    Zip_Close(z);
  }
  {
    OneStored o = MakeOneStored();
    o.zip[2] = 9;  // local signature
    ZipArchive* z;
    EXPECT_EQ(OpenFirst(o.zip, &z), ZIP_BAD_ZIPFILE);
    Zip_Close(z);
  }
  {
    OneStored o = MakeOneStored();
    Set16(o.zip, 6, 1);  // encrypted
    Set16(o.zip, o.centralOffset + 8, 1);
    ZipArchive* z;
    EXPECT_EQ(OpenFirst(o.zip, &z), ZIP_BAD_ZIPFILE);
    Zip_Close(z);
  }
}

TEST(ZipDamaged, EndRecordChecks) {
  {
    OneStored o = MakeOneStored();
    Set16(o.zip, o.endOffset + 4, 1);  // disk number
    EXPECT_EQ(Zip_OpenMemory(o.zip.data(), o.zip.size()), nullptr);
  }
  {
    OneStored o = MakeOneStored();
    Set16(o.zip, o.endOffset + 10, 2);  // entry counts differ
    EXPECT_EQ(Zip_OpenMemory(o.zip.data(), o.zip.size()), nullptr);
  }
  {
    OneStored o = MakeOneStored();
    Set32(o.zip, o.endOffset + 16, 0xFFFFFFF0u);  // directory offset wraps with its size
    EXPECT_EQ(Zip_OpenMemory(o.zip.data(), o.zip.size()), nullptr);
  }
  {
    OneStored o = MakeOneStored();
    Set32(o.zip, o.endOffset + 12, 0x7FFFFFFFu);  // directory larger than the file
    EXPECT_EQ(Zip_OpenMemory(o.zip.data(), o.zip.size()), nullptr);
  }
  // The empty archive has its end record at offset 0: not an archive.
  Bytes empty = ZipWriter_Finish(ZipWriter_Create());
  EXPECT_EQ(empty.size(), 22u);
  EXPECT_EQ(Zip_OpenMemory(empty.data(), empty.size()), nullptr);
  EXPECT_EQ(Zip_OpenMemory(nullptr, 0), nullptr);
}

TEST(ZipDamaged, HugeCountsAndLengthsStayInsideTheDirectory) {
  OneStored o = MakeOneStored();
  Set16(o.zip, o.endOffset + 8, 0xFFFF);
  Set16(o.zip, o.endOffset + 10, 0xFFFF);
  ZipArchive* z = Zip_OpenMemory(o.zip.data(), o.zip.size());
  ASSERT_NE(z, nullptr);
  int walked = 0, r;
  for (r = Zip_GoToFirstFile(z); r == ZIP_OK; r = Zip_GoToNextFile(z)) walked++;
  EXPECT_EQ(walked, 1);
  EXPECT_EQ(r, ZIP_BAD_ZIPFILE);
  Zip_Close(z);

  OneStored n = MakeOneStored();
  Set16(n.zip, n.centralOffset + 28, 0xFFFF);  // name length beyond the directory
  z = Zip_OpenMemory(n.zip.data(), n.zip.size());
  ASSERT_NE(z, nullptr);
  EXPECT_EQ(Zip_GoToFirstFile(z), ZIP_BAD_ZIPFILE);
  char name[2048];
  EXPECT_EQ(Zip_GetCurrentFileInfo(z, nullptr, name, sizeof name, nullptr, 0, nullptr, 0), ZIP_END_OF_LIST);
  Zip_Close(z);

  OneStored s = MakeOneStored();
  Set32(s.zip, s.centralOffset + 24, 0xFFFFFFFFu);  // sizes beyond the archive
  Set32(s.zip, s.centralOffset + 20, 0xFFFFFFFFu);
  Set32(s.zip, 18, 0xFFFFFFFFu);
  Set32(s.zip, 22, 0xFFFFFFFFu);
  EXPECT_EQ(OpenFirst(s.zip, &z), ZIP_BAD_ZIPFILE);
  Zip_Close(z);

  OneStored l = MakeOneStored();
  Set32(l.zip, l.centralOffset + 42, 0xFFFFFFF0u);  // local header beyond the archive
  EXPECT_EQ(OpenFirst(l.zip, &z), ZIP_ERRNO);
  Zip_Close(z);
}

TEST(ZipDamaged, TruncatedAtEveryLengthNeverCrashes) {
  Bytes zip = TwoMemberArchive();
  for (size_t n = 0; n < zip.size(); n += (n < 200 || n > zip.size() - 400) ? 1 : 997) {
    Bytes cut(zip.begin(), zip.begin() + n);
    ZipArchive* z = Zip_OpenMemory(cut.data(), cut.size());
    if (!z) continue;
    for (int r = Zip_GoToFirstFile(z); r == ZIP_OK; r = Zip_GoToNextFile(z)) {
      Bytes out;
      ReadCurrent(z, out);
    }
    Zip_Close(z);
  }
}

TEST(ZipDamaged, DeflatedStreamShorterThanItsStatedSize) {
  ZipWriter* w = ZipWriter_Create();
  Bytes d = Pattern(3000, 5);
  ZipWriter_AddMember(w, "d", d.data(), d.size(), ZIPW_DEFLATED);
  Bytes zip = ZipWriter_Finish(w);
  // State a larger uncompressed size in both headers: the stream ends early.
  Set32(zip, 22, 4000);
  size_t central = zip.size() - 22 - 46 - 1;
  Set32(zip, central + 24, 4000);
  ZipArchive* z = Zip_OpenMemory(zip.data(), zip.size());
  ASSERT_NE(z, nullptr);
  Bytes out;
  EXPECT_EQ(ReadCurrent(z, out), ZIP_BAD_ZIPFILE);
  EXPECT_EQ(out, d);
  Zip_Close(z);
}

TEST(ZipDamaged, OverlappingMembersReadTheirOwnBytesOrAreRefused) {
  // Two central records point at the same local header.
  ZipWriter* w = ZipWriter_Create();
  ZipWriter_AddMember(w, "aaaa", "first", 5, ZIPW_STORED);
  ZipWriter_AddMember(w, "bbbb", "second", 6, ZIPW_STORED);
  Bytes zip = ZipWriter_Finish(w);
  size_t firstCentral = zip.size() - 22 - 2 * (46 + 4);
  size_t secondCentral = firstCentral + 46 + 4;
  Set32(zip, secondCentral + 42, 0);
  ZipArchive* z = Zip_OpenMemory(zip.data(), zip.size());
  ASSERT_NE(z, nullptr);
  ASSERT_EQ(Zip_GoToFirstFile(z), ZIP_OK);
  Bytes out;
  EXPECT_EQ(ReadCurrent(z, out), ZIP_OK);
  EXPECT_EQ(std::string(out.begin(), out.end()), "first");
  ASSERT_EQ(Zip_GoToNextFile(z), ZIP_OK);
  EXPECT_EQ(ReadCurrent(z, out), ZIP_BAD_ZIPFILE);  // the local header disagrees with it
  Zip_Close(z);
}

TEST(ZipCrc, MatchesZlibAtEveryLengthAlignmentAndStart) {
  Bytes data = Pattern(70000, 11);
  uint32_t s = 99;
  for (int t = 0; t < 3000; t++) {
    s = s * 1664525u + 1013904223u;
    size_t offset = s % 61;
    size_t length = t < 300 ? size_t(t) : (s >> 8) % (data.size() - 64);
    uint32_t start = t % 3 == 0 ? 0 : s * 2654435761u;
    ASSERT_EQ(Zip_Crc32(start, data.data() + offset, length),
              uint32_t(crc32(start, data.data() + offset, uInt(length))))
        << "offset " << offset << " length " << length;
  }
  // Chained pieces give the CRC of the whole.
  uint32_t chained = Zip_Crc32(Zip_Crc32(0, data.data(), 1000), data.data() + 1000, data.size() - 1000);
  EXPECT_EQ(chained, uint32_t(crc32(0, data.data(), uInt(data.size()))));
  EXPECT_EQ(Zip_Crc32(5, nullptr, 0), 5u);
}

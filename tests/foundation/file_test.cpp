// The file layer over loose files and the data archives: precedence, the highest archive wins,
// case and separators, independent members, damaged archives, writing, the text cache, listings
// and the "_debug" switches.
#include <gtest/gtest.h>
#include <sys/stat.h>
#include <unistd.h>

#include <cstdio>
#include <cstring>
#include <string>
#include <vector>

#include "foundation/file.h"
#include "foundation/log.h"
#include "foundation/mem.h"
#include "foundation/namehash.h"
#include "foundation/var.h"
#include "support/test_support.h"
#include "tools/zipwriter.h"

using tw_test::CountOccurrences;
using tw_test::ReadFile;
using tw_test::WriteFile;

namespace {

struct Member {
  std::string name;
  std::string data;
  int method = ZIPW_DEFLATED;
};

void MakeArchive(int number, const std::vector<Member>& members, uint8_t sig = 'P') {
  ZipWriter* w = ZipWriter_Create(sig);
  for (const Member& m : members)
    ASSERT_EQ(ZipWriter_AddMember(w, m.name.c_str(), m.data.data(), m.data.size(), m.method), 1);
  char path[64];
  std::snprintf(path, sizeof path, "main/data%02d.twk", number);
  ASSERT_EQ(ZipWriter_FinishToFile(w, path), 1);
}

std::string ReadAll(const char* name, uint32_t* kind = nullptr) {
  FileHandle* f = File_Open(name, "rb");
  if (!f) return "<missing>";
  if (kind) *kind = File_Kind(f);
  std::string s(File_Size(f), '\0');
  size_t n = s.empty() ? 0 : File_Read(s.data(), 1, s.size(), f);
  File_Close(f);
  if (n != s.size()) return "<short>";
  return s;
}

std::string Big(size_t n, char seed) {
  std::string s;
  for (size_t i = 0; i < n; i++) s.push_back(char(seed + (i * 7 + i / 100) % 23));
  return s;
}

class FileLayer : public ::testing::Test {
 protected:
  void TearDown() override {
    if (started_) File_Shutdown();
  }
  void Start() {
    File_Init();
    started_ = true;
  }
  void Stop() {
    File_Shutdown();
    started_ = false;
  }
  std::string Log() { return ReadFile("log"); }
  tw_test::TempDir dir_;
  bool started_ = false;
};

}  // namespace

TEST_F(FileLayer, LooseFileBeatsArchiveMember) {
  MakeArchive(0, {{"data/a.txt", "from archive"}});
  mkdir("data", 0777);
  WriteFile("data/a.txt", "loose");
  Start();
  uint32_t kind = 0;
  EXPECT_EQ(ReadAll("data\\a.txt", &kind), "loose");
  EXPECT_EQ(kind, 2u);
  unlink("data/a.txt");
  EXPECT_EQ(ReadAll("DATA\\A.TXT", &kind), "from archive");
  EXPECT_EQ(kind, 1u);
  EXPECT_EQ(ReadAll("data/a.txt"), "from archive");
  EXPECT_EQ(ReadAll("data\\b.txt"), "<missing>");
  EXPECT_NE(Log().find("main\\data00.twk[1]\n"), std::string::npos);
}

TEST_F(FileLayer, HighestNumberedArchiveWins) {
  MakeArchive(3, {{"x/same.txt", "three"}, {"x/only3.txt", "3"}});
  MakeArchive(5, {{"X/Same.txt", "five"}});
  MakeArchive(7, {{"x/same.txt", "seven", ZIPW_STORED}});
  MakeArchive(63, {{"x\\SAME.TXT", "sixty-three"}, {"x/only63.txt", "63"}});
  Start();
  EXPECT_EQ(ReadAll("x\\same.txt"), "sixty-three");
  EXPECT_EQ(ReadAll("x/only3.txt"), "3");
  EXPECT_EQ(ReadAll("X/ONLY63.TXT"), "63");
  std::string log = Log();
  EXPECT_NE(log.find("zippreentrys=6\n"), std::string::npos) << log;
  EXPECT_NE(log.find("zipentrys=3\n"), std::string::npos) << log;
  EXPECT_NE(log.find("maxnamelength=[12]\n"), std::string::npos) << log;
  ASSERT_EQ(File_ArchiveEntryCount(), 3);
  const ArchiveEntry* e = File_ArchiveEntries();
  int i = Zip_FindEntry(0, Name_HashStr("x/same.txt"), "x/same.txt");
  ASSERT_GE(i, 0);
  EXPECT_EQ(e[i].archiveIndex, 63u);
  EXPECT_STREQ(e[i].name, "x/same.txt");
}

TEST_F(FileLayer, LowerCaseSignatureArchiveMounts) {
  MakeArchive(1, {{"p/one.txt", "lower p"}}, 'p');
  Start();
  EXPECT_EQ(ReadAll("p\\one.txt"), "lower p");
}

TEST_F(FileLayer, TreeSearchFindsEveryNameAndNothingElse) {
  std::vector<Member> members;
  for (int i = 0; i < 700; i++) members.push_back({"dir" + std::to_string(i % 9) + "/f" + std::to_string(i) + ".dat", std::to_string(i), ZIPW_STORED});
  MakeArchive(10, members);
  Start();
  ASSERT_EQ(File_ArchiveEntryCount(), 700);
  const ArchiveEntry* e = File_ArchiveEntries();
  for (int i = 0; i < 700; i++) {
    EXPECT_EQ(Zip_FindEntry(0, e[i].nameHash, e[i].name), i);
    if (i > 0) {
      EXPECT_LE(e[i - 1].nameHash, e[i].nameHash);
    }
  }
  for (int i = 0; i < 700; i += 37) EXPECT_EQ(ReadAll(members[i].name.c_str()), std::to_string(i));
  EXPECT_EQ(Zip_FindEntry(0, Name_HashStr("dir1/f9999.dat"), "dir1/f9999.dat"), -1);
}

TEST_F(FileLayer, LooseNamesInAnyCaseAndSeparator) {
  mkdir("Data", 0777);
  mkdir("Data/Text", 0777);
  mkdir("Data/Text/ENG", 0777);
  WriteFile("Data/Text/ENG/x.txt", "eng");
  Start();
  EXPECT_EQ(ReadAll("data\\text\\Eng\\x.txt"), "eng");
  EXPECT_EQ(ReadAll("DATA/TEXT/eng/X.TXT"), "eng");
  EXPECT_EQ(ReadAll("Data//Text\\ENG/x.txt"), "eng");
  char path[256];
  ASSERT_EQ(File_ResolveDiskPath("data\\TEXT\\eng\\x.TXT", path, sizeof path), 1);
  EXPECT_STREQ(path, "Data/Text/ENG/x.txt");
  // A file added later is found although the folder was listed before.
  WriteFile("Data/Text/ENG/Later.txt", "later");
  EXPECT_EQ(ReadAll("data\\text\\eng\\later.txt"), "later");
  // Folders are never files.
  EXPECT_EQ(File_Open("data\\text", "rb"), nullptr);
  EXPECT_EQ(File_Open("Data", "rb"), nullptr);
  EXPECT_EQ(File_Open(".", "rb"), nullptr);
}

TEST_F(FileLayer, ModesAndArguments) {
  MakeArchive(0, {{"m.txt", "member"}});
  WriteFile("d.txt", "disk");
  Start();
  EXPECT_EQ(File_Open("d.txt", "r"), nullptr);
  EXPECT_EQ(File_Open("d.txt", "w"), nullptr);
  EXPECT_EQ(File_Open("d.txt", "rbx"), nullptr);
  EXPECT_EQ(File_Open("d.txt", nullptr), nullptr);
  EXPECT_EQ(File_Open("", "rb"), nullptr);
  EXPECT_EQ(File_Open(nullptr, "rb"), nullptr);
  FileHandle* f = File_Open("d.txt", "RB");
  ASSERT_NE(f, nullptr);
  EXPECT_EQ(File_Size(f), 4u);
  File_Close(f);
  f = File_Open("m.txt", "rb");
  ASSERT_NE(f, nullptr);
  EXPECT_EQ(File_Write("x", 1, 1, f), 0u);
  char buf[8];
  EXPECT_EQ(File_Read(buf, 0, 1, f), 0u);
  EXPECT_EQ(File_Read(nullptr, 1, 1, f), 0u);
  EXPECT_EQ(File_Read(buf, 3, 2, f), 2u);  // items of 3 bytes
  EXPECT_EQ(File_Read(buf, 1, 8, f), 0u);   // at the end
  File_Close(f);
  File_Close(nullptr);
  EXPECT_EQ(File_Size(nullptr), 0u);
}

TEST_F(FileLayer, WritingMakesFoldersAndReplacesOnlyWhenComplete) {
  Start();
  mkdir("save", 0777);
  WriteFile("save/slot.sav", "old");
  FileHandle* f = File_Open("SAVE\\Slot.sav", "WB");
  ASSERT_NE(f, nullptr);
  EXPECT_EQ(File_Write("new data", 1, 8, f), 8u);
  EXPECT_EQ(ReadFile("save/slot.sav"), "old");  // not replaced before the close
  File_Close(f);
  EXPECT_EQ(ReadFile("save/slot.sav"), "new data");
  EXPECT_FALSE(tw_test::FileExists("SAVE/Slot.sav"));
  f = File_Open("deep\\er\\file.bin", "wb");
  ASSERT_NE(f, nullptr);
  File_Write("z", 1, 1, f);
  File_Close(f);
  EXPECT_EQ(ReadFile("deep/er/file.bin"), "z");
  EXPECT_EQ(File_Open("deep", "wb"), nullptr);  // a folder is never replaced by a file
  // Nothing temporary is left behind.
  int leftovers = 0;
  for (const char* name = File_FindFirst("save\\*"); name; name = File_FindNext()) leftovers++;
  File_FindClose();
  EXPECT_EQ(leftovers, 1);
}

TEST_F(FileLayer, TwoMembersOfOneArchiveReadTheirOwnBytes) {
  std::string a = Big(200000, 'a'), b = Big(150000, 'A');
  MakeArchive(2, {{"one.bin", a}, {"two.bin", b}});
  Start();
  FileHandle* f1 = File_Open("one.bin", "rb");
  FileHandle* f2 = File_Open("two.bin", "rb");
  FileHandle* f3 = File_Open("one.bin", "rb");
  ASSERT_TRUE(f1 && f2 && f3);
  std::string r1, r2, r3;
  char buf[4000];
  for (;;) {
    size_t n1 = File_Read(buf, 1, 3000, f1);
    r1.append(buf, n1);
    size_t n2 = File_Read(buf, 1, 4000, f2);
    r2.append(buf, n2);
    size_t n3 = File_Read(buf, 1, 1234, f3);
    r3.append(buf, n3);
    if (!n1 && !n2 && !n3) break;
  }
  File_Close(f1);
  File_Close(f2);
  File_Close(f3);
  EXPECT_EQ(r1, a);
  EXPECT_EQ(r2, b);
  EXPECT_EQ(r3, a);
}

TEST_F(FileLayer, CrcMismatchIsAnError) {
  MakeArchive(4, {{"bad.txt", "0123456789abcdef", ZIPW_STORED}, {"good.txt", "fine", ZIPW_STORED}});
  std::vector<uint8_t> bytes = tw_test::ReadBytes("main/data04.twk");
  bytes[30 + 7 + 5] ^= 1;  // one data byte of bad.txt
  tw_test::WriteBytes("main/data04.twk", bytes);
  Start();
  EXPECT_EQ(ReadAll("bad.txt"), "<short>");
  EXPECT_EQ(ReadAll("good.txt"), "fine");
  EXPECT_EQ(TextFile_Get("bad.txt"), nullptr);
  EXPECT_EQ(File_LoadWhole("bad.txt", nullptr, "test"), nullptr);
  EXPECT_GE(CountOccurrences(Log(), "File_Read: CRC error in bad.txt\n"), 1);
}

TEST_F(FileLayer, DamagedArchivesAreReportedAndSkipped) {
  MakeArchive(1, {{"ok.txt", "ok"}});
  mkdir("main", 0777);
  WriteFile("main/data02.twk", "this is not a zip archive at all, just text");
  // A truncated archive: its end record is gone.
  MakeArchive(3, {{"t.txt", Big(5000, 'q')}});
  std::vector<uint8_t> t = tw_test::ReadBytes("main/data03.twk");
  t.resize(t.size() - 30);
  tw_test::WriteBytes("main/data03.twk", t);
  // An archive claiming far more entries than its directory holds.
  MakeArchive(4, {{"h1.txt", "h1"}, {"h2.txt", "h2"}});
  std::vector<uint8_t> h = tw_test::ReadBytes("main/data04.twk");
  h[h.size() - 22 + 8] = 0xFF;
  h[h.size() - 22 + 9] = 0xFF;
  h[h.size() - 22 + 10] = 0xFF;
  h[h.size() - 22 + 11] = 0xFF;
  tw_test::WriteBytes("main/data04.twk", h);
  // A folder where an archive would be.
  mkdir("main/data05.twk", 0777);
  // A member whose name is longer than the directory's slots.
  std::string longName(200, 'n');
  MakeArchive(6, {{longName, "long"}, {"short.txt", "short"}, {"folder/", "", ZIPW_STORED}});
  Start();
  EXPECT_EQ(ReadAll("ok.txt"), "ok");
  EXPECT_EQ(ReadAll("h1.txt"), "h1");
  EXPECT_EQ(ReadAll("h2.txt"), "h2");
  EXPECT_EQ(ReadAll("short.txt"), "short");
  EXPECT_EQ(ReadAll(longName.c_str()), "<missing>");
  EXPECT_EQ(ReadAll("t.txt"), "<missing>");
  std::string log = Log();
  EXPECT_NE(log.find("File_Init: main\\data02.twk is not a zip archive\n"), std::string::npos) << log;
  EXPECT_NE(log.find("File_Init: main\\data03.twk is not a zip archive\n"), std::string::npos) << log;
  EXPECT_NE(log.find("File_Init: main\\data04.twk is damaged after 2 entries\n"), std::string::npos) << log;
  EXPECT_NE(log.find("File_Init: main\\data06.twk: member name of 200 bytes skipped"), std::string::npos) << log;
  EXPECT_EQ(File_ArchiveEntryCount(), 4);  // ok, h1, h2, short; the empty folder is not entered
}

TEST_F(FileLayer, TextCacheKeepsTextsAndRemembersMisses) {
  WriteFile("t1.txt", "hello");
  WriteFile("empty.txt", "");
  Start();
  const char* t = TextFile_Get("T1.TXT");
  ASSERT_NE(t, nullptr);
  EXPECT_STREQ(t, "hello");
  EXPECT_EQ(t[5], 0);
  EXPECT_EQ(t[6], 0);
  EXPECT_EQ(TextFile_Get("t1.txt"), t);
  EXPECT_EQ(TextFile_Get("empty.txt"), nullptr);
  EXPECT_EQ(TextFile_Get("missing.txt"), nullptr);
  WriteFile("missing.txt", "now here");
  EXPECT_EQ(TextFile_Get("missing.txt"), nullptr);  // remembered as missing
  EXPECT_EQ(TextFile_Get(""), nullptr);
  EXPECT_EQ(TextFile_Get(nullptr), nullptr);
  TextFile_Flush();
  EXPECT_STREQ(TextFile_Get("missing.txt"), "now here");
}

TEST_F(FileLayer, FullTextCacheKeepsHandedOutTextsForOneMoreRound) {
  for (int i = 0; i < 1100; i++) WriteFile("f" + std::to_string(i), "text " + std::to_string(i));
  Start();
  const char* first = TextFile_Get("f0");
  ASSERT_NE(first, nullptr);
  for (int i = 1; i < 512; i++) ASSERT_NE(TextFile_Get(("f" + std::to_string(i)).c_str()), nullptr);
  // The 513th name empties the cache; the texts handed out stay readable for another round.
  const char* t512 = TextFile_Get("f512");
  EXPECT_STREQ(t512, "text 512");
  EXPECT_STREQ(first, "text 0");
  const char* again = TextFile_Get("f0");
  EXPECT_STREQ(again, "text 0");
  for (int i = 513; i < 1024; i++) ASSERT_NE(TextFile_Get(("f" + std::to_string(i)).c_str()), nullptr);
  EXPECT_STREQ(t512, "text 512");
  EXPECT_STREQ(again, "text 0");
}

TEST_F(FileLayer, LoadWhole) {
  MakeArchive(0, {{"w.bin", Big(70000, 'w')}});
  Start();
  uint32_t size = 0;
  auto* data = static_cast<char*>(File_LoadWhole("W.BIN", &size, "test"));
  ASSERT_NE(data, nullptr);
  EXPECT_EQ(size, 70000u);
  EXPECT_EQ(std::string(data, size), Big(70000, 'w'));
  EXPECT_EQ(data[size], 0);
  EXPECT_EQ(data[size + 1], 0);
  Global_Free(data);
  EXPECT_EQ(File_LoadWhole("nothing", &size, "test"), nullptr);
  EXPECT_EQ(size, 0u);
}

TEST_F(FileLayer, ListFilesArchiveFirstEachNameOnce) {
  MakeArchive(0, {{"save/alpha.sav", "a"}, {"save/Beta.sav", "b"}, {"save/other.txt", "x"}, {"save/sub/deep.sav", "d"}});
  mkdir("Save", 0777);
  WriteFile("Save/beta.SAV", "b");
  WriteFile("Save/gamma.sav", "g");
  WriteFile("Save/a_very_long_name_indeed.sav", "l");
  WriteFile("Save/note.txt", "n");
  Start();
  char out[8][12];
  std::memset(out, 0, sizeof out);
  int count = 0;
  File_ListFiles("save\\", ".sav", &count, &out[0][0], 8, 12);
  ASSERT_EQ(count, 4);
  std::vector<std::string> names;
  for (int i = 0; i < count; i++) names.push_back(out[i]);
  EXPECT_TRUE((names[0] == "alpha" && names[1] == "beta") || (names[0] == "beta" && names[1] == "alpha"));
  EXPECT_EQ(names[2].size() + names[3].size(), std::string("gamma").size() + 11);
  EXPECT_TRUE(names[2] == "gamma" || names[3] == "gamma");
  EXPECT_TRUE(names[2] == "a_very_long" || names[3] == "a_very_long");  // cut to the slot
  // Already at the maximum: nothing changes.
  char before[sizeof out];
  std::memcpy(before, out, sizeof out);
  File_ListFiles("save\\", ".sav", &count, &out[0][0], 4, 12);
  EXPECT_EQ(count, 4);
  EXPECT_EQ(std::memcmp(before, out, sizeof out), 0);
  int two = 0;
  File_ListFiles("save\\", ".sav", &two, &out[0][0], 2, 12);
  EXPECT_EQ(two, 2);
  int none = 0;
  File_ListFiles("", ".sav", &none, &out[0][0], 8, 12);
  File_ListFiles("save\\", ".sav", nullptr, &out[0][0], 8, 12);
  File_ListFiles("save\\", ".sav", &none, &out[0][0], 8, 0);
  EXPECT_EQ(none, 0);
}

TEST_F(FileLayer, FindFilesWithPatterns) {
  mkdir("Shots", 0777);
  WriteFile("Shots/A1.TGA", "");
  WriteFile("Shots/b2.tga", "");
  WriteFile("Shots/c3.jpg", "");
  Start();
  std::vector<std::string> found;
  for (const char* n = File_FindFirst("shots\\*.tga"); n; n = File_FindNext()) found.push_back(n);
  File_FindClose();
  std::sort(found.begin(), found.end());
  ASSERT_EQ(found.size(), 2u);
  EXPECT_EQ(found[0], "A1.TGA");
  EXPECT_EQ(found[1], "b2.tga");
  EXPECT_EQ(File_FindFirst("nowhere\\*.tga"), nullptr);
  EXPECT_EQ(File_FindNext(), nullptr);
}

TEST_F(FileLayer, CopyDirectoryGathersLooseAssets) {
  static VarRecord copyDir = {"copy_directory", 0, VAR_SETTABLE, 0, "gathered", 0, nullptr};
  mkdir("textures", 0777);
  WriteFile("textures/wall.tga", "pixels");
  MakeArchive(0, {{"textures/packed.tga", "p"}});
  Start();
  Var_Register(&copyDir);
  File_CopyToCopyDirectory("textures\\wall.tga");
  EXPECT_EQ(ReadFile("gathered/textures/wall.tga"), "pixels");
  File_CopyToCopyDirectory("textures\\wall.tga");  // an existing copy is kept
  File_CopyToCopyDirectory("textures\\packed.tga");
  std::string log = Log();
  EXPECT_NE(log.find("cant copy textures\\wall.tga\n"), std::string::npos);
  EXPECT_NE(log.find("cant copy textures\\packed.tga\n"), std::string::npos);
  std::strcpy(copyDir.text, "");
  File_CopyToCopyDirectory("textures\\wall.tga");
  EXPECT_EQ(CountOccurrences(Log(), "cant copy"), 2);
}

TEST_F(FileLayer, DirectoryHelpers) {
  Start();
  File_MakeDirTree("a\\b\\c");
  struct stat st;
  EXPECT_EQ(stat("a/b/c", &st), 0);
  File_MakeDirTree("A\\B\\d");  // existing folders in another case are reused
  EXPECT_EQ(stat("a/b/d", &st), 0);
  File_MakeDirsForFile("x\\y\\file.txt");
  EXPECT_EQ(stat("x/y", &st), 0);
  EXPECT_NE(stat("x/y/file.txt", &st), 0);
  char path[] = "p\\q\\r";
  File_SlashPath(path);
  EXPECT_STREQ(path, "p/q/r");
}

TEST_F(FileLayer, OpenDialogWithoutAChooserLogsAndReturnsNull) {
  setenv("TW_UNATTENDED", "1", 1);
  Start();
  EXPECT_EQ(File_OpenDialog("Saves\0*.sav\0\0"), nullptr);
  EXPECT_NE(Log().find("File_OpenDialog: no file chooser available\n"), std::string::npos);
}

TEST_F(FileLayer, NoArchivesAtAll) {
  Start();
  EXPECT_EQ(File_ArchiveEntryCount(), 0);
  EXPECT_NE(Log().find("zippreentrys=0\n"), std::string::npos);
  EXPECT_EQ(Log().find("zipentrys="), std::string::npos);
  EXPECT_EQ(ReadAll("anything"), "<missing>");
}

// --- the "_debug" switch file --------------------------------------------------------------

namespace {
class DebugSwitchFile : public ::testing::Test {
 protected:
  void SetUp() override { saved_ = Sys_Debug; }
  void TearDown() override { Sys_Debug = saved_; }
  DebugSwitches saved_;
  tw_test::TempDir dir_;
};
}  // namespace

TEST_F(DebugSwitchFile, OpenLogZeroReopensTheLogForEachLine) {
  WriteFile("_debug", "// switches\n[unknown] [openLog] [0]\n[boundsCheckChar][0x1FF][boundsCheckSize][16]\n");
  File_Init();
  EXPECT_EQ(Sys_Debug.openLog, 0);
  EXPECT_EQ(Sys_Debug.boundsCheckChar, 0xFF);
  EXPECT_EQ(Sys_Debug.boundsCheckSize, 16);
  Log_Printf("marker line\n");
  // Every line reaches the file at once, and another writer's lines stay in between.
  EXPECT_NE(ReadFile("log").find("marker line\n"), std::string::npos);
  File_Shutdown();
}

TEST_F(DebugSwitchFile, LargeFileIsIgnoredAndMissingValueEndsTheWalk) {
  std::string big = "[openLog][0]" + std::string(5000, ' ');
  WriteFile("_debug", big);
  File_Init();
  EXPECT_EQ(Sys_Debug.openLog, 1);
  File_Shutdown();
  WriteFile("_debug", "[printMem][1][debugMem]");
  File_Init();
  EXPECT_EQ(Sys_Debug.printMem, 1);
  EXPECT_EQ(Sys_Debug.debugMem, 0);
  File_Shutdown();
}

TEST_F(FileLayer, PackedFolderMountsAsAnArchive) {
  mkdir("src", 0777);
  mkdir("src/Scripts", 0777);
  WriteFile("src/Scripts/intro.txt", "[intro]");
  WriteFile("src/top.bin", "top");
  WriteFile("src/empty.txt", "");
  ASSERT_EQ(ZipWriter_PackFolder("src", "main/data00.twk"), 3);
  EXPECT_EQ(ZipWriter_PackFolder("nowhere", "main/data01.twk"), -1);
  Start();
  EXPECT_EQ(ReadAll("scripts\\intro.txt"), "[intro]");
  EXPECT_EQ(ReadAll("TOP.BIN"), "top");
  EXPECT_EQ(ReadAll("empty.txt"), "<missing>");  // an empty member is not entered
}

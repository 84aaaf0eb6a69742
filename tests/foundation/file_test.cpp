// The file layer over loose files and the data archives: precedence, the highest archive wins,
// case and separators, independent members, damaged archives, names that are no readable file,
// writing, the text cache, listings and the "_debug" switches.
#include <gtest/gtest.h>
#include <sys/stat.h>
#include <unistd.h>

#include <algorithm>
#include <cerrno>
#include <cstdio>
#include <cstdlib>
#include <cstring>
#include <string>
#include <vector>

#include "foundation/file.h"
#include "foundation/log.h"
#include "foundation/mem.h"
#include "foundation/namehash.h"
#include "foundation/oggdec.h"
#include "foundation/parser.h"
#include "foundation/var.h"
#include "foundation/wav.h"
#include "support/test_support.h"
#include "tools/zipwriter.h"

using tw_test::ReadFile;
using tw_test::WriteFile;

namespace {

struct Member {
  std::string name;
  std::string data;
  int method = ZIPW_DEFLATED;
};

void MakeArchive(int number, const std::vector<Member>& members) {
  ZipWriter* w = ZipWriter_Create();
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
  std::string Log() { return ReadFile("log"); }
  bool LogHas(const std::string& line) { return Log().find(line) != std::string::npos; }
  tw_test::TempDir dir_;
  bool started_ = false;
};

}  // namespace

// A loose file beats every archive; among archives the highest number wins, names in any case.
TEST_F(FileLayer, LooseFileThenHighestNumberedArchiveWins) {
  MakeArchive(3, {{"x/same.txt", "three"}, {"x/only3.txt", "3"}});
  MakeArchive(7, {{"X/Same.txt", "seven", ZIPW_STORED}});
  MakeArchive(63, {{"x\\SAME.TXT", "sixty-three"}, {"x/only63.txt", "63"}});
  mkdir("x", 0777);
  WriteFile("x/only3.txt", "loose");
  Start();
  uint32_t kind = 0;
  EXPECT_EQ(ReadAll("x\\only3.txt", &kind), "loose");
  EXPECT_EQ(kind, 2u);
  unlink("x/only3.txt");
  EXPECT_EQ(ReadAll("X/ONLY3.TXT", &kind), "3");
  EXPECT_EQ(kind, 1u);
  EXPECT_EQ(ReadAll("x\\same.txt"), "sixty-three");
  EXPECT_EQ(ReadAll("x\\b.txt"), "<missing>");
  EXPECT_TRUE(LogHas("main\\data63.twk[2]\n"));
  EXPECT_TRUE(LogHas("zippreentrys=5\n"));
  EXPECT_EQ(File_ArchiveEntryCount(), 3);
}

TEST_F(FileLayer, LooseNamesWritingAndWholeFileReadsOverTheCap) {
  std::system("mkdir -p Data/Text/ENG");
  WriteFile("Data/Text/ENG/x.txt", "eng");
  Start();
  EXPECT_EQ(ReadAll("Data//Text\\eng/x.txt"), "eng");
  WriteFile("Data/Text/ENG/Later.txt", "later");  // found although the folder was listed before
  EXPECT_EQ(ReadAll("data\\text\\eng\\later.txt"), "later");
  EXPECT_EQ(File_Open("data\\text", "rb"), nullptr);  // folders are never files
  // Writing makes folders and replaces a file only when complete.
  mkdir("save", 0777);
  WriteFile("save/slot.sav", "old");
  FileHandle* f = File_Open("SAVE\\Slot.sav", "WB");
  ASSERT_NE(f, nullptr);
  EXPECT_EQ(File_Write("new data", 1, 8, f), 8u);
  EXPECT_EQ(ReadFile("save/slot.sav"), "old");  // not replaced before the close
  File_Close(f);
  EXPECT_EQ(ReadFile("save/slot.sav"), "new data");
  ASSERT_NE(f = File_Open("deep\\er\\file.bin", "wb"), nullptr);
  File_Close(f);
  EXPECT_TRUE(tw_test::FileExists("deep/er/file.bin"));
  EXPECT_EQ(File_Open("deep", "wb"), nullptr);  // a folder is never replaced by a file
  int leftovers = 0;  // nothing temporary is left behind
  for (const char* name = File_FindFirst("save\\*"); name; name = File_FindNext()) leftovers++;
  File_FindClose();
  EXPECT_EQ(leftovers, 1);
  // Sparse files: the size a damaged archive member could declare, without the disk space.
  for (const char* name : {"big.cfg", "big.wav", "big.ogg", "big.txt"}) {
    WriteFile(name, "");
    ASSERT_EQ(truncate(name, off_t(kFileMaxWhole) + 1), 0);
  }
  Var_Rd("big.cfg");
  Parser* p = Par_Create("big.cfg");
  EXPECT_EQ(Par_LoadFile(p), 0);
  Par_Free(p);
  EXPECT_EQ(Stream_Load("big", 1), nullptr);
  EXPECT_EQ(OGGLoad("big", 0), nullptr);
  EXPECT_EQ(File_LoadWhole("big.txt", nullptr, "test"), nullptr);
  EXPECT_EQ(TextFile_Get("big.txt"), nullptr);
  for (const char* line : {"Var_Rd: big.cfg", "Par_LoadFile: big.cfg", "Stream_Load: big.wav", "OGGLoad: big.ogg",
                           "File_LoadWhole: big.txt", "TextFile_Get: big.txt"})
    EXPECT_TRUE(LogHas(std::string(line) + " is too large (268435457 bytes)\n")) << line;
}

// A named pipe where a loose file is looked for is refused at once, never waited on: an archive
// member of the name is read instead, and a file that turns regular again is read as before.
TEST_F(FileLayer, ANamedPipeIsRefusedWithoutWaiting) {
  MakeArchive(0, {{"save/quick.sav", "member"}});
  mkdir("save", 0777);
  ASSERT_EQ(mkfifo("save/quick.sav", 0666), 0);
  ASSERT_EQ(mkfifo("pipe.cfg", 0666), 0);
  Start();
  alarm(30);  // a blocking open ends the test instead of hanging it
  uint32_t kind = 0;
  EXPECT_EQ(ReadAll("save\\quick.sav", &kind), "member");
  EXPECT_EQ(kind, 1u);
  EXPECT_EQ(File_Open("pipe.cfg", "rb"), nullptr);
  EXPECT_EQ(File_LoadWhole("pipe.cfg", nullptr, "test"), nullptr);
  alarm(0);
  EXPECT_TRUE(LogHas("File_Open: pipe.cfg is not a regular file\n"));
  unlink("pipe.cfg");
  WriteFile("pipe.cfg", "regular");
  EXPECT_EQ(ReadAll("pipe.cfg", &kind), "regular");
  EXPECT_EQ(kind, 2u);
}

// Archive names that are no readable file are skipped, each with its reason, and never waited on:
// a named pipe, a folder, a device link, a link that cannot be followed and (for a user other
// than root, whom the mode does not stop) an unreadable file.
TEST_F(FileLayer, ArchiveNamesThatAreNoReadableFileAreSkippedWithTheirReason) {
  MakeArchive(2, {{"ok.txt", "ok"}});
  ASSERT_EQ(mkfifo("main/data01.twk", 0666), 0);
  ASSERT_EQ(mkdir("main/data03.twk", 0777), 0);
  ASSERT_EQ(symlink("/dev/null", "main/data04.twk"), 0);
  ASSERT_EQ(symlink("data05.twk", "main/data05.twk"), 0);  // a link to itself
  const bool modeStops = geteuid() != 0;
  if (modeStops) {
    MakeArchive(6, {{"locked.txt", "locked"}});
    ASSERT_EQ(chmod("main/data06.twk", 0), 0);
  }
  alarm(30);  // a blocking open ends the test instead of hanging it
  Start();
  alarm(0);
  EXPECT_EQ(ReadAll("ok.txt"), "ok");
  for (const char* name : {"data01", "data03", "data04"})
    EXPECT_TRUE(LogHas(std::string("File_Init: main\\") + name + ".twk is not a regular file\n")) << name << Log();
  EXPECT_TRUE(LogHas(std::string("File_Init: main\\data05.twk cannot be opened: ") + std::strerror(ELOOP) + "\n")) << Log();
  if (modeStops)
    EXPECT_TRUE(LogHas(std::string("File_Init: main\\data06.twk cannot be opened: ") + std::strerror(EACCES) + "\n"))
        << Log();
  EXPECT_FALSE(LogHas("not a zip archive")) << Log();
  EXPECT_EQ(File_ArchiveEntryCount(), 1);
}

TEST_F(FileLayer, WholeMemberLoadsWithTwoZerosBehindAndTheTextCacheOutlivesAFullRound) {
  std::string b = Big(150000, 'A');
  MakeArchive(2, {{"two.bin", b}});
  Start();
  uint32_t size = 0;
  auto* data = static_cast<char*>(File_LoadWhole("TWO.BIN", &size, "test"));
  ASSERT_NE(data, nullptr);
  EXPECT_EQ(std::string(data, size + 2), b + std::string(2, '\0'));
  Global_Free(data);
  // Texts are kept and misses remembered until a flush; when the cache is full, the 513th name
  // empties it, and the texts handed out stay readable for another round.
  for (int i = 0; i < 1024; i++) WriteFile("f" + std::to_string(i), "text " + std::to_string(i));
  WriteFile("empty.txt", "");
  const char* first = TextFile_Get("F0");
  EXPECT_EQ(TextFile_Get("f0"), first);
  EXPECT_EQ(TextFile_Get("empty.txt"), nullptr);
  EXPECT_EQ(TextFile_Get("missing.txt"), nullptr);
  WriteFile("missing.txt", "now here");
  EXPECT_EQ(TextFile_Get("missing.txt"), nullptr);  // remembered as missing
  TextFile_Flush();
  EXPECT_STREQ(TextFile_Get("missing.txt"), "now here");
  first = TextFile_Get("f0");
  for (int i = 1; i < 511; i++) ASSERT_NE(TextFile_Get(("f" + std::to_string(i)).c_str()), nullptr);
  const char* t511 = TextFile_Get("f511");  // the 513th name
  EXPECT_STREQ(t511, "text 511");
  EXPECT_STREQ(first, "text 0");
  const char* again = TextFile_Get("f0");
  EXPECT_STREQ(again, "text 0");
  for (int i = 512; i < 1023; i++) ASSERT_NE(TextFile_Get(("f" + std::to_string(i)).c_str()), nullptr);
  EXPECT_STREQ(t511, "text 511");
  EXPECT_STREQ(again, "text 0");
}

TEST_F(FileLayer, DamagedArchivesAreReportedAndSkipped) {
  MakeArchive(1, {{"ok.txt", "ok"}});
  WriteFile("main/data02.twk", "this is not a zip archive at all, just text");
  // A truncated archive: its end record is gone.
  MakeArchive(3, {{"t.txt", Big(5000, 'q')}});
  std::vector<uint8_t> t = tw_test::ReadBytes("main/data03.twk");
  t.resize(t.size() - 30);
  tw_test::WriteBytes("main/data03.twk", t);
  // An archive claiming far more entries than its directory holds.
  MakeArchive(4, {{"h1.txt", "h1"}, {"h2.txt", "h2"}});
  std::vector<uint8_t> h = tw_test::ReadBytes("main/data04.twk");
  for (int i = 8; i < 12; i++) h[h.size() - 22 + i] = 0xFF;
  tw_test::WriteBytes("main/data04.twk", h);
  // A folder where an archive would be.
  mkdir("main/data05.twk", 0777);
  // A member whose name is longer than the directory's slots.
  std::string longName(200, 'n');
  MakeArchive(6, {{longName, "long"}, {"short.txt", "short"}, {"folder/", "", ZIPW_STORED}});
  // One flipped data byte of a stored member.
  MakeArchive(7, {{"bad.txt", "0123456789abcdef", ZIPW_STORED}});
  std::vector<uint8_t> c = tw_test::ReadBytes("main/data07.twk");
  c[30 + 7 + 5] ^= 1;
  tw_test::WriteBytes("main/data07.twk", c);
  Start();
  EXPECT_EQ(ReadAll("bad.txt"), "<short>");
  EXPECT_EQ(File_LoadWhole("bad.txt", nullptr, "test"), nullptr);
  EXPECT_TRUE(LogHas("File_Read: CRC error in bad.txt\n"));
  EXPECT_EQ(ReadAll("ok.txt"), "ok");
  EXPECT_EQ(ReadAll("h2.txt"), "h2");
  EXPECT_EQ(ReadAll("short.txt"), "short");
  EXPECT_EQ(ReadAll(longName.c_str()), "<missing>");
  EXPECT_EQ(ReadAll("t.txt"), "<missing>");
  EXPECT_TRUE(LogHas("File_Init: main\\data02.twk is not a zip archive\n"));
  EXPECT_TRUE(LogHas("File_Init: main\\data03.twk is not a zip archive\n"));
  EXPECT_TRUE(LogHas("File_Init: main\\data04.twk is damaged after 2 entries\n"));
  EXPECT_TRUE(LogHas("File_Init: main\\data06.twk: member name of 200 bytes skipped"));
  EXPECT_EQ(File_ArchiveEntryCount(), 5);  // ok, h1, h2, short, bad; the empty folder is not entered
}

// Content makers pack with everyday tools: Info-ZIP's zip (stored and deflated members, a comment)
// and Python's zipfile written to a pipe (every member with a data descriptor) read back exactly;
// a zip64 archive (zip writes one for streamed input) is refused whole and a bzip2 member does
// not open, each with its reason in the log.
TEST_F(FileLayer, ArchivesOfEverydayZipToolsReadBackOrAreRefusedWithTheirReason) {
  const std::string text = Big(60000, 'a'), noise = Big(3000, '\x01');
  mkdir("src", 0777);
  mkdir("src/Maps", 0777);
  WriteFile("src/Maps/Level One.txt", text);
  WriteFile("src/noise.bin", noise);  // "-n .bin": stored
  mkdir("bz", 0777);
  WriteFile("bz/bz.txt", text);
  const char* commands[] = {
      "cd src && echo 'made by zip' | zip -q -r -z -n .bin ../main/data00.twk .",
      "python3 -c 'import sys, zipfile\n"
      "z = zipfile.ZipFile(sys.stdout.buffer, \"w\")\n"
      "z.writestr(\"py/deflated.txt\", open(\"src/Maps/Level One.txt\", \"rb\").read(), zipfile.ZIP_DEFLATED)\n"
      "z.writestr(\"py/stored.bin\", open(\"src/noise.bin\", \"rb\").read(), zipfile.ZIP_STORED)\n"
      "z.comment = b\"made by python\"\n"
      "z.close()' | cat > main/data01.twk",
      "echo streamed | zip -q main/data02.twk -",
      "cd bz && zip -q -Z bzip2 ../main/data03.twk bz.txt",
  };
  mkdir("main", 0777);
  for (const char* c : commands) ASSERT_EQ(std::system(c), 0) << c;
  Start();
  const struct {
    const char* name;
    const std::string& data;
  } members[] = {{"maps\\level one.txt", text}, {"noise.bin", noise}, {"py\\deflated.txt", text},
                 {"py/stored.bin", noise}};
  for (const auto& m : members) EXPECT_TRUE(ReadAll(m.name) == m.data) << m.name;
  EXPECT_TRUE(ReadAll("-") == "<missing>");
  EXPECT_TRUE(ReadAll("bz.txt") == "<missing>");
  EXPECT_TRUE(LogHas("File_Init: main\\data02.twk refused: zip64 records")) << Log();
  EXPECT_TRUE(LogHas("bz.txt in main\\data03.twk cannot be read (-103): packed with bzip2 (method 12)")) << Log();
}

TEST_F(FileLayer, ListFilesArchiveFirstEachNameOnce) {
  MakeArchive(0, {{"save/alpha.sav", "a"}, {"save/Beta.sav", "b"}, {"save/other.txt", "x"}, {"save/sub/deep.sav", "d"}});
  mkdir("Save", 0777);
  for (const char* n : {"Save/beta.SAV", "Save/gamma.sav", "Save/a_very_long_name_indeed.sav", "Save/note.txt"})
    WriteFile(n, "x");
  Start();
  char out[8][12] = {};
  int count = 0;
  File_ListFiles("save\\", ".sav", &count, &out[0][0], 8, 12);
  ASSERT_EQ(count, 4);
  std::vector<std::string> archive = {out[0], out[1]}, loose = {out[2], out[3]};
  std::sort(archive.begin(), archive.end());
  std::sort(loose.begin(), loose.end());
  EXPECT_EQ(archive, (std::vector<std::string>{"alpha", "beta"}));
  EXPECT_EQ(loose, (std::vector<std::string>{"a_very_long", "gamma"}));  // cut to the slot
  count = 0;
  File_ListFiles("save\\", ".sav", &count, &out[0][0], 2, 12);
  EXPECT_EQ(count, 2);
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
  File_CopyToCopyDirectory("textures\\packed.tga");
  EXPECT_TRUE(LogHas("cant copy textures\\packed.tga\n"));
  ASSERT_EQ(mkfifo("textures/pipe.tga", 0666), 0);
  alarm(30);  // a blocking open ends the test instead of hanging it
  File_CopyToCopyDirectory("textures\\pipe.tga");
  alarm(0);
  EXPECT_TRUE(LogHas("cant copy textures\\pipe.tga\n"));
}

// The "_debug" switch file: values, a large file ignored, a missing value ending the walk.
TEST(DebugSwitchFile, SwitchesAreReadWithinBounds) {
  tw_test::TempDir dir;
  DebugSwitches saved = Sys_Debug;
  WriteFile("_debug", "// switches\n[unknown] [openLog] [0]\n[boundsCheckChar][0x1FF][boundsCheckSize][16]\n");
  File_Init();
  EXPECT_EQ(Sys_Debug.openLog, 0);
  EXPECT_EQ(Sys_Debug.boundsCheckChar, 0xFF);
  EXPECT_EQ(Sys_Debug.boundsCheckSize, 16);
  Log_Printf("marker line\n");
  EXPECT_NE(ReadFile("log").find("marker line\n"), std::string::npos);  // reaches the file at once
  File_Shutdown();
  Sys_Debug = saved;
  WriteFile("_debug", "[openLog][0][printMem][1][debugMem]" + std::string(5000, ' '));  // too large: ignored
  File_Init();
  EXPECT_EQ(Sys_Debug.openLog, 1);
  File_Shutdown();
  WriteFile("_debug", "[printMem][1][debugMem]");  // a missing value ends the walk
  File_Init();
  EXPECT_EQ(Sys_Debug.printMem, 1);
  EXPECT_EQ(Sys_Debug.debugMem, 0);
  File_Shutdown();
  Sys_Debug = saved;
}

// A named pipe as the switch file or as the log is never waited on: the switches keep their
// values and the log says why "_debug" was not read; with a pipe for the log, kept open or
// reopened for each line, the game goes on without one.
TEST(DebugSwitchFile, NamedPipesAsTheSwitchFileOrTheLogAreNotWaitedOn) {
  tw_test::TempDir dir;
  DebugSwitches saved = Sys_Debug;
  ASSERT_EQ(mkfifo("_debug", 0666), 0);
  for (int openLog : {0, 1}) {
    Sys_Debug.openLog = openLog;
    alarm(30);  // a blocking open ends the test instead of hanging it
    File_Init();
    alarm(0);
    EXPECT_EQ(Sys_Debug.openLog, openLog);
    EXPECT_NE(ReadFile("log").find("File_Init: _debug is not a regular file\n"), std::string::npos) << ReadFile("log");
    File_Shutdown();
  }
  unlink("_debug");
  unlink("log");
  ASSERT_EQ(mkfifo("log", 0666), 0);
  for (int openLog : {0, 1}) {
    Sys_Debug.openLog = openLog;
    alarm(30);
    File_Init();
    Log_Printf("a line nobody reads\n");
    File_Shutdown();
    alarm(0);
  }
  struct stat st;
  ASSERT_EQ(stat("log", &st), 0);
  EXPECT_TRUE(S_ISFIFO(st.st_mode));
  Sys_Debug = saved;
}

// The directory's search tree finds each of 700 names, spread over folders, at its own record,
// and none of 700 names that are not there.
TEST_F(FileLayer, TreeSearchFindsEveryNameAndNothingElse) {
  std::vector<Member> members;
  for (int i = 0; i < 700; i++)
    members.push_back({"dir" + std::to_string(i % 9) + "/f" + std::to_string(i) + ".dat", std::to_string(i), ZIPW_STORED});
  MakeArchive(10, members);
  Start();
  ASSERT_EQ(File_ArchiveEntryCount(), 700);
  const ArchiveEntry* e = File_ArchiveEntries();
  for (int i = 0; i < 700; i++) EXPECT_EQ(Zip_FindEntry(0, e[i].nameHash, e[i].name), i) << e[i].name;
  for (int i = 0; i < 700; i++) {
    const std::string absent = "dir" + std::to_string(i % 9) + "/f" + std::to_string(i + 700) + ".dat";
    EXPECT_EQ(Zip_FindEntry(0, Name_HashStr(absent.c_str()), absent.c_str()), -1) << absent;
  }
  EXPECT_EQ(ReadAll("DIR3/F399.DAT"), "399");
}

// Only "rb" and "wb" open, in any case; a null or empty name opens nothing. A member is never
// written; reads count whole items, and null or zero arguments read nothing.
TEST_F(FileLayer, ModesAndArguments) {
  MakeArchive(0, {{"m.txt", "member"}});
  WriteFile("d.txt", "disk");
  Start();
  for (const char* mode : {"r", "w", "rbx", "ab", "r+b", ""}) EXPECT_EQ(File_Open("d.txt", mode), nullptr) << mode;
  EXPECT_EQ(File_Open(nullptr, "rb"), nullptr);
  EXPECT_EQ(File_Open("", "rb"), nullptr);
  EXPECT_EQ(File_Open("d.txt", nullptr), nullptr);
  FileHandle* f = File_Open("m.txt", "RB");
  ASSERT_NE(f, nullptr);
  EXPECT_EQ(File_Write("x", 1, 1, f), 0u);
  char buf[8];
  EXPECT_EQ(File_Read(nullptr, 1, 1, f), 0u);
  EXPECT_EQ(File_Read(buf, 0, 1, f), 0u);
  EXPECT_EQ(File_Read(buf, 1, 0, f), 0u);
  EXPECT_EQ(File_Read(buf, 3, 2, f), 2u);  // items of 3 bytes
  EXPECT_EQ(std::string(buf, 6), "member");
  EXPECT_EQ(File_Read(buf, 1, 8, f), 0u);  // at the end
  File_Close(f);
  FileHandle* w = File_Open("out/new.txt", "WB");
  ASSERT_NE(w, nullptr);
  EXPECT_EQ(File_Write("abcdef", 2, 3, w), 3u);
  EXPECT_EQ(File_Write(nullptr, 1, 1, w), 0u);
  File_Close(w);
  EXPECT_EQ(ReadFile("out/new.txt"), "abcdef");
}

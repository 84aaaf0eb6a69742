// Settings variables and the settings file: registration, the file's reading rules, the written
// order, flags and number format, the C locale, damaged files and the bounds of a value.
#include <gtest/gtest.h>

#include <sys/stat.h>

#include <clocale>
#include <cstdlib>
#include <string>
#include <vector>

#include "foundation/log.h"
#include "foundation/mem.h"
#include "foundation/var.h"
#include "support/test_support.h"

using tw_test::CountOccurrences;
using tw_test::ReadFile;
using tw_test::WriteFile;

namespace {

VarRecord MakeVar(const char* name, uint32_t flags, float value, const char* text) {
  VarRecord r{};
  r.name = name;
  r.flags = flags;
  r.value = value;
  std::snprintf(r.text, sizeof r.text, "%s", text);
  return r;
}

class VarTest : public ::testing::Test {
 protected:
  void SetUp() override {
    saved_ = Sys_Debug;
    Sys_Debug.openLog = 1;
    Log_Open();
    Var_ResetTable();
    Var_InitTable();
  }
  void TearDown() override {
    Var_ResetTable();
    Log_Close();
    Sys_Debug = saved_;
  }
  std::string Log() { return ReadFile("log"); }
  tw_test::TempDir dir_;
  DebugSwitches saved_{};
};

}  // namespace

TEST_F(VarTest, ApplyLineRulesAndDamagedFilesReadWithoutHarm) {
  static VarRecord gamma = MakeVar("render_gamma", 0xE, 1.0f, "");
  static VarRecord jump = MakeVar("cl_jumpspeed", 0xE, 5.0f, "5");
  static VarRecord hidden = MakeVar("render_drawavi", 0x2, 0.0f, "");
  static VarRecord name = MakeVar("game_playername", 0xC, 0.0f, "Player");
  for (VarRecord* r : {&gamma, &jump, &hidden, &name}) Var_Register(r);

  Var_ApplyLine("\"render_gamma\" \"1.3\"");
  EXPECT_STREQ(gamma.text, "1.3");
  EXPECT_TRUE(gamma.flags & VAR_SET);
  EXPECT_EQ(CountOccurrences(Log(), "[render_gamma]=1.3\n"), 1);

  Var_ApplyLine("junk \"render_gamma\" more \"1.5\" trailing // comment \"2.0\"");
  EXPECT_FLOAT_EQ(gamma.value, 1.5f);
  Var_ApplyLine("\"cl_jumpspeed\" \"\"");
  EXPECT_FLOAT_EQ(jump.value, 5.0f);
  EXPECT_FALSE(jump.flags & VAR_SET);
  // Not settable, not registered: nothing, and no log line.
  Var_ApplyLine("\"render_drawavi\" \"1\"");
  Var_ApplyLine("\"nobody\" \"1\"");
  EXPECT_EQ(hidden.value, 0.0f);
  EXPECT_EQ(CountOccurrences(Log(), "drawavi") + CountOccurrences(Log(), "nobody"), 0);
  // A number that does not parse keeps the value but takes the text.
  Var_ApplyLine("\"cl_jumpspeed\" \"fast\"");
  EXPECT_FLOAT_EQ(jump.value, 5.0f);
  EXPECT_STREQ(jump.text, "fast");
  // A value holding "//" is cut there.
  Var_ApplyLine("\"game_playername\" \"C://x\"");
  EXPECT_STREQ(name.text, "C:");
  // A long value keeps 255 characters.
  Var_ApplyLine(("\"game_playername\" \"" + std::string(10000, 'n') + "\"").c_str());
  EXPECT_EQ(std::string(name.text), std::string(255, 'n'));
  // Damaged files read without harm.
  static VarRecord a = MakeVar("alpha", 0xC, 0.0f, "a");
  static VarRecord b = MakeVar("beta", 0xE, 2.0f, "");
  for (VarRecord* r : {&a, &b}) Var_Register(r);
  std::string text = "\"alpha\" \"unterminated\n\"beta\n\"beta\" \"7\"\r\r\n\n";
  text += std::string("\x01\xff\x80\"\xfe\" \"\x02\"\n", 11);
  text += "\"alpha\" \"" + std::string(10000, 'z') + "\"\n";
  text += "\"\"\"\"\"\"\n\"beta\"\"8\"";
  text += std::string("\0\"beta\" \"99\"\n", 13);  // behind a zero byte: ignored
  WriteFile("settings", text);
  Var_Rd("settings");
  EXPECT_EQ(std::string(a.text), std::string(255, 'z'));
  EXPECT_FLOAT_EQ(b.value, 8.0f);
  Var_Rd("no_such_file");
}

TEST_F(VarTest, WrittenOrderFlagsAndFormatAndAFailedWriteKeepsTheOldFile) {
  static VarRecord oldest = MakeVar("a_text", 0xC, 0.0f, "hello world");
  static VarRecord num = MakeVar("b_number", 0xE, 0.25f, "");
  static VarRecord once = MakeVar("c_onceset", 0x16, 0.0f, "");
  static VarRecord never = MakeVar("d_never", 0x2, 3.0f, "");
  static VarRecord newest = MakeVar("e_num", 0xE, -2.0f, "x");
  for (VarRecord* r : {&oldest, &num, &once, &never, &newest}) Var_Register(r);

  Var_WriteFile("settings");
  EXPECT_EQ(ReadFile("settings"),
            "\"e_num\" \"-2.000000\"\n"
            "\"b_number\" \"0.250000\"\n"
            "\"a_text\" \"hello world\"\n");
  EXPECT_FALSE(tw_test::FileExists("settings.tmp"));

  WriteFile("settings", "\"C_ONCESET\" \"1.3\"\r\n");
  Var_Rd("settings");
  Var_WriteFile("settings");
  EXPECT_EQ(ReadFile("settings"),
            "\"e_num\" \"-2.000000\"\n"
            "\"c_onceset\" \"1.300000\"\n"
            "\"b_number\" \"0.250000\"\n"
            "\"a_text\" \"hello world\"\n");
  // A write that cannot make its temporary file keeps the old file.
  const std::string before = ReadFile("settings");
  ASSERT_EQ(mkdir("settings.tmp", 0755), 0);
  newest.value = 5.0f;
  Var_WriteFile("settings");
  EXPECT_EQ(ReadFile("settings"), before);
}

// Builds a locale with a decimal comma in the test's directory; empty when it cannot.
static std::string MakeCommaLocale(const std::string& dir) {
  std::string cmd = "localedef -i de_DE -f UTF-8 " + dir + "/de_DE.UTF-8 >/dev/null 2>&1";
  if (std::system(cmd.c_str()) != 0) return "";
  setenv("LOCPATH", dir.c_str(), 1);
  return "de_DE.UTF-8";
}

TEST_F(VarTest, NumbersUseTheCLocaleWhateverTheLocale) {
  std::string name = MakeCommaLocale(dir_.Path());
  if (name.empty() || !std::setlocale(LC_ALL, name.c_str())) {
    unsetenv("LOCPATH");
    GTEST_SKIP() << "no locale with a decimal comma could be made";
  }
  char probe[32];
  std::snprintf(probe, sizeof probe, "%f", 1.5);
  EXPECT_STREQ(probe, "1,500000");  // the locale is really in force

  static VarRecord g = MakeVar("render_gamma", 0xE, 1.0f, "");
  Var_Register(&g);
  WriteFile("settings", "\"render_gamma\" \"1.75\"\n");
  Var_Rd("settings");
  EXPECT_FLOAT_EQ(g.value, 1.75f);
  Var_WriteFile("settings");
  std::string written = ReadFile("settings");
  std::setlocale(LC_ALL, "C");
  unsetenv("LOCPATH");
  EXPECT_EQ(written, "\"render_gamma\" \"1.750000\"\n");
}

TEST_F(VarTest, QuoteRefusedSlashesLoggedAndRegisterReturnsTheEffectiveRecord) {
  static VarRecord p = MakeVar("game_playername", 0xC, 0.0f, "Player");
  static VarRecord n = MakeVar("render_fov", 0xE, 90.0f, "");
  for (VarRecord* r : {&p, &n}) Var_Register(r);
  EXPECT_EQ(Var_SetText(&p, "Bad \"name\""), 0);
  EXPECT_STREQ(p.text, "Player");
  EXPECT_EQ(CountOccurrences(Log(), "Var_SetText: game_playername"), 1);
  EXPECT_EQ(Var_SetText(&p, std::string(600, 'q').c_str()), 1);
  EXPECT_EQ(std::string(p.text), std::string(255, 'q'));
  Var_SetValue(&n, 60.0f);
  EXPECT_STREQ(n.text, "60.000000");

  EXPECT_EQ(Var_SetText(&p, "http://host"), 1);
  Var_WriteFile("settings");
  EXPECT_EQ(CountOccurrences(Log(), "Var_WriteFile: the value of game_playername holds \"//\""), 1);
  EXPECT_EQ(CountOccurrences(ReadFile("settings"), "\"game_playername\" \"http://host\"\n"), 1);

  // A text written straight into the record with a quote is left out of the file.
  std::snprintf(p.text, sizeof p.text, "a\"b");
  Var_WriteFile("settings");
  EXPECT_EQ(ReadFile("settings"), "\"render_fov\" \"60.000000\"\n");
  EXPECT_EQ(CountOccurrences(Log(), "game_playername holds a double quote"), 1);
  // Registering returns the effective record; names ignore case.
  VarRecord a = MakeVar("render_gamma", 0xE, 1.0f, "1");
  VarRecord b = MakeVar("RENDER_Gamma", 0xE, 2.0f, "2");
  EXPECT_EQ(Var_Register(&a), &a);
  EXPECT_EQ(Var_Register(&b), &a);
  EXPECT_EQ(Var_Find("Render_GAMMA"), &a);
  EXPECT_EQ(Var_Find(nullptr), nullptr);
  // Var_Add replaces the table's record; both stay in the list.
  Var_Add(&b);
  EXPECT_EQ(Var_Find("render_gamma"), &b);
  EXPECT_EQ(b.next, &a);
  // Adding the same record again does not loop the list.
  Var_Add(&b);
  EXPECT_EQ(b.next, &a);
}

// Localized texts (file names, both encodings, rotating buffers, drawing, bounds) and the message
// lines.
#include <gtest/gtest.h>

#include <string>
#include <vector>

#include "foundation/file.h"
#include "foundation/text.h"
#include "foundation/timer.h"
#include "foundation/var.h"
#include "platform/clock.h"
#include "support/test_support.h"

using tw_test::WriteBytes;
using tw_test::WriteFile;

namespace {

std::u16string Wide(const char16_t* s) { return s ? std::u16string(s) : std::u16string(u"<null>"); }

std::vector<uint8_t> Utf16File(const std::u16string& text) {
  std::vector<uint8_t> out = {0xFF, 0xFE};
  for (char16_t c : text) {
    out.push_back(uint8_t(c & 0xFF));
    out.push_back(uint8_t(c >> 8));
  }
  return out;
}

class TextTest : public ::testing::Test {
 protected:
  void SetUp() override {
    Var_ResetTable();
    lang_ = VarRecord{"video_lang", 0, VAR_SETTABLE | VAR_ALWAYS, 0.0f, "Eng", 0, nullptr};
    Var_Register(&lang_);
    std::system("mkdir -p data/text/Eng/consol data/text/Rus/consol");
  }
  void TearDown() override { Var_ResetTable(); }
  tw_test::TempDir dir_;
  VarRecord lang_{};
};

}  // namespace

TEST_F(TextTest, NameFromBaseLanguageAndKeyBothEncodingsAndDamagedFiles) {
  WriteFile("data/text/Rus/consol/paused.txt", "Pauza");
  WriteFile("data/text/Eng/consol/paused.txt", "Paused");
  EXPECT_EQ(Wide(Text_Get("data\\text\\", "consol\\paused")), u"\xFEFFPaused");
  std::snprintf(lang_.text, sizeof lang_.text, "Rus");
  EXPECT_EQ(Wide(Text_Get("data\\text\\", "consol\\paused")), u"\xFEFFPauza");
  EXPECT_EQ(Text_Get("data\\text\\", "consol\\missing"), nullptr);
  std::snprintf(lang_.text, sizeof lang_.text, "Eng");
  std::vector<uint8_t> odd = Utf16File(u"ab");
  odd.push_back('c');  // odd length: the half unit at the end is left out
  struct Case {
    std::vector<uint8_t> bytes;
    std::u16string text;  // after the byte-order mark; "<null>" for no text
  } cases[] = {
      {Utf16File(u"\x041F\x0440\x0438 ok"), u"\x041F\x0440\x0438 ok"},
      {{'O', 'K'}, u"OK"},
      {{0xC0, 0x80, 0xFF}, u"\x00C0\x0080\x00FF"},  // bytes from 0x80 up keep their code
      {{}, u"<null>"},
      {{0, 'a'}, u"<null>"},  // starts with a zero byte
      {std::vector<uint8_t>(5000, 'x'), std::u16string(kTextBufferUnits - 2, u'x')},
      {Utf16File(std::u16string(6000, u'y')), std::u16string(kTextBufferUnits - 2, u'y')},
      {odd, u"ab"},
      {{0xFF}, u"\x00FF"},
  };
  for (size_t i = 0; i < std::size(cases); i++) {
    WriteBytes("data/text/Eng/consol/t" + std::to_string(i) + ".txt", cases[i].bytes);
    std::u16string want = cases[i].text == u"<null>" ? cases[i].text : u"\xFEFF" + cases[i].text;
    EXPECT_EQ(Wide(Text_Get("data\\text\\", ("consol\\t" + std::to_string(i)).c_str())), want) << i;
  }
  // A name longer than the path buffer gives no text.
  EXPECT_EQ(Text_Get("data\\text\\", std::string(600, 'k').c_str()), nullptr);
}

namespace {

std::vector<std::string> g_drawn;
float Draw8(float, float, float, float, const char* text) { return g_drawn.push_back(std::string("8:") + text), 0; }
float Draw16(float, float, float, float, const char16_t* text) {
  std::string s = "16:";
  for (const char16_t* p = text; *p; p++) s += (*p < 128) ? char(*p) : '?';
  return g_drawn.push_back(s), 0;
}

}  // namespace

// Text_Get hands out one of 8 buffers in turn: the ninth text overwrites the first. Text_Draw
// draws nothing for a file of one byte, the bytes of an 8-bit file, and a UTF-16 file through the
// wide box (its mark included).
TEST_F(TextTest, EightBuffersInTurnAndDrawingNeedsTwoBytes) {
  WriteFile("data/text/Eng/consol/one.txt", "A");
  WriteFile("data/text/Eng/consol/two.txt", "AB");
  WriteBytes("data/text/Eng/consol/w.txt", Utf16File(u"W"));
  const char16_t* first = Text_Get("data\\text\\", "consol\\two");
  for (int i = 0; i < 7; i++) Text_Get("data\\text\\", "consol\\w");
  EXPECT_EQ(Wide(first), u"\xFEFF" u"AB");
  EXPECT_EQ(Text_Get("data\\text\\", "consol\\w"), first);
  EXPECT_EQ(Wide(first), u"\xFEFF" u"W");
  Text_PrintBox = Draw8;
  Text_PrintBoxW = Draw16;
  for (const char* key : {"consol\\one", "consol\\missing", "consol\\two", "consol\\w"})
    Text_Draw("data\\text\\", key, 0, 0, 100, 100);
  Text_PrintBox = nullptr;
  Text_PrintBoxW = nullptr;
  EXPECT_EQ(g_drawn, (std::vector<std::string>{"8:AB", "16:?W"}));
  // The wide copy keeps to its room.
  char16_t out[4] = {1, 1, 1, 1};
  EXPECT_EQ(Text_ToWide("hello", 5, out, 4), 3u);
  EXPECT_EQ(std::u16string(out), u"\xFEFF" u"he");
  EXPECT_EQ(Text_ToWide("abc", 3, out, 1), 0u);
  EXPECT_EQ(out[0], 0);
}

namespace {
uint64_t g_ns;
uint64_t FakeNs() { return g_ns; }

class ConsoleTest : public ::testing::Test {
 protected:
  void SetUp() override {
    Var_ResetTable();
    Console_Clear();
    g_ns = 1000;
    PlatClock_SetSource(FakeNs);
    Timer_Init(0);
    Timer_Init(1);
  }
  void TearDown() override {
    Timer_Shutdown();
    PlatClock_SetSource(nullptr);
    Console_Clear();
    Var_ResetTable();
  }
  void Advance(double seconds) { g_ns += uint64_t(seconds * 1e9); }
};
}  // namespace

TEST_F(ConsoleTest, NewestLiveRunShowsAndMessagesKeepAppearingForever) {
  Console_AddMessage(nullptr, Timer_Now() + 7.0);
  EXPECT_EQ(Console_GetLineCount(), 0);
  Console_AddMessage(u"old but long", Timer_Now() + 100.0);
  Console_AddMessage(u"expired", Timer_Now() - 1.0);
  Console_AddMessage(u"one", Timer_Now() + 7.0);
  Console_AddMessage(u"two", Timer_Now() + 7.0);
  // The expired line ends the run: the older line does not show.
  EXPECT_EQ(Console_FirstLiveLine(Timer_Now()), 2);
  EXPECT_EQ(Wide(Console_GetLine(2, nullptr)), u"one");
  EXPECT_EQ(Console_GetLine(4, nullptr), nullptr);
  Advance(8.0);
  EXPECT_EQ(Console_FirstLiveLine(Timer_Now()), 4);
  Console_Clear();
  std::u16string text(40, u'm');
  // Far more messages than the pool holds, 7 seconds each, one a second of game.
  for (int i = 0; i < 20000; i++) {
    Console_AddMessage(text.c_str(), Timer_Now() + kConsoleMessageSeconds);
    ASSERT_EQ(Console_FirstLiveLine(Timer_Now()), Console_GetLineCount() - (i < 7 ? i + 1 : 7)) << i;
    Advance(1.0);
  }
  // The line table's limit too: many short lines within one moment, then later ones.
  Console_Clear();
  for (int i = 0; i < kConsoleMaxLines; i++) Console_AddMessage(u"x", Timer_Now() + 1.0);
  EXPECT_EQ(Console_GetLineCount(), kConsoleMaxLines);
  Console_AddMessage(u"dropped", Timer_Now() + 1.0);  // nothing has expired yet
  EXPECT_EQ(Console_GetLineCount(), kConsoleMaxLines);
  Advance(2.0);
  Console_AddMessage(u"shown", Timer_Now() + 7.0);
  Console_AddMessage(std::u16string(kConsolePoolUnits, u'h').c_str(), Timer_Now() + 7.0);  // never fits
  ASSERT_EQ(Console_GetLineCount(), 1);
  EXPECT_EQ(Wide(Console_GetLine(0, nullptr)), u"shown");
}

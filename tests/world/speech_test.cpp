// Speech and emotion tracks: the readers, the sampler on the game clock, the ends of a line and
// damaged or missing tracks.
#include <gtest/gtest.h>

#include <string>

#include "foundation/log.h"
#include "support/test_support.h"
#include "tools/speech_writer.h"
#include "world/game.h"
#include "world/object.h"
#include "world/speech.h"

namespace {

class SpeechTest : public ::testing::Test {
 protected:
  void SetUp() override {
    Log_Open();
    o = Obj_Alloc();
    Game_Time = 100.0;
  }
  void TearDown() override {
    Speech_Free(o);
    Obj_ClearAll();
    Log_Close();
  }
  void At(double t) {
    Game_Time = 100.0 + t;
    Speech_Find(o, o->drawValues);
  }
  tw_test::TempDir dir;
  GameObject* o = nullptr;
};

// Record k has lip values 10k + j; the ninth number of every line is 99.
std::string Track(int count, const char* header = "speech 1 0.5 8") {
  std::string t = std::string(header) + "\r\n";
  for (int k = 0; k < count; k++) {
    for (int j = 0; j < 8; j++) t += std::to_string(10 * k + j) + " ";
    t += "99\r\n\r\n";
  }
  return t;
}

TEST_F(SpeechTest, LipsEmotionsDamagedTracksAndReadersThatKeepToTheirRoom) {
  tw_test::WriteFile("line.txt", Track(6));
  ASSERT_TRUE(Tool_WriteSpeechTracks("other", 0.5f, {}, {{1, 1, 2, 3, 4, 5}, {2, 6, 6, 6, 6, 6}, {3, 2, 4, 6, 8, 10}}));
  std::rename("other.emo", "line.emo");
  Speech_Load(o, "line");  // no sound module: the line runs on the game clock
  EXPECT_EQ(o->speech.clockKind, SPEECH_BY_CLOCK);
  ASSERT_EQ(o->speech.speechCount, 6);
  ASSERT_EQ(o->speech.emotionCount, 3);

  At(1.25);  // index 2.5: the mean of records 2 and 3
  for (int j = 0; j < 8; j++) EXPECT_FLOAT_EQ(o->drawValues[1 + j], 25.0f + j);
  EXPECT_EQ(o->drawValues[9], 0.0f);
  At(0.25);  // rising: the 1.0 s record at half weight
  for (int k = 0; k < 5; k++) EXPECT_FLOAT_EQ(o->drawValues[10 + k], 0.5f * (k + 1));
  At(2.75);  // falling: the 3.0 s record at half weight
  for (int k = 0; k < 5; k++) EXPECT_FLOAT_EQ(o->drawValues[10 + k], 0.5f * 2 * (k + 1));
  EXPECT_FLOAT_EQ(o->drawValues[1], 0.5f * 50);  // the last record fades over its own frame
  At(3.0);  // past both tracks: both are released, the values rest
  EXPECT_EQ(o->speech.speech, nullptr);
  EXPECT_EQ(o->speech.emotion, nullptr);
  for (int i = 1; i < kDrawValues; i++) EXPECT_EQ(o->drawValues[i], 0.0f);
  // A period that is no positive number, and a header of two tokens.
  for (const char* text : {"speech 1 -0.5 8\n1 2 3\n", "speech 1 nan 8\n1 2 3\n", "speech 1\n"}) {
    tw_test::WriteFile("bad.txt", text);
    Speech_Load(o, "bad");
    EXPECT_EQ(o->speech.speechCount, 0) << text;
    At(0.5);
    for (int i = 1; i < kDrawValues; i++) EXPECT_EQ(o->drawValues[i], 0.0f) << text;
  }
  // Numbers that are not finite never reach the model, with one line a file: a speech line keeps
  // its record with 0 in their place (a record's time is its place), an emotion line is skipped
  // (a NaN time would hold the last weights on the face for good).
  tw_test::WriteFile("odd.txt", "speech 1 0.5 8\n1 1 1 1 1 1 1 1\nnan inf 2 2 2 2 2 2\n3 3 3 1e39 3 3 3 3\n");
  tw_test::WriteFile("odd.emo", "0.5 1 1 1 1 1\nnan 0.7 0.7 0.7 0.7 0.7\n1 -inf 0 0 0 0\n1.5 1e-50 2 2 2 2\n");
  Speech_Load(o, "odd");
  ASSERT_EQ(o->speech.speechCount, 3);
  const float kept[2][8] = {{0, 0, 2, 2, 2, 2, 2, 2}, {3, 3, 3, 0, 3, 3, 3, 3}};
  for (int r = 0; r < 2; r++)
    for (int j = 0; j < 8; j++) EXPECT_EQ(o->speech.speech[1 + r].lips[j], kept[r][j]) << r << " " << j;
  ASSERT_EQ(o->speech.emotionCount, 2);
  EXPECT_EQ(o->speech.emotion[1].weights[0], 0.0f);  // too small for a float is 0
  At(10000);
  for (int i = 1; i < kDrawValues; i++) EXPECT_EQ(o->drawValues[i], 0.0f) << i;
  Speech_Load(o, "absent");
  EXPECT_EQ(o->speech.clockKind, SPEECH_BY_CLOCK);
  Log_Close();
  std::string log = tw_test::ReadFile("log");
  EXPECT_NE(log.find("Speech[odd.txt]: 2 line(s) with a number that is not finite read with 0 in its place."),
            std::string::npos);
  EXPECT_NE(log.find("Speech[odd.emo]: 2 line(s) with a number that is not finite skipped."), std::string::npos);
  EXPECT_EQ(tw_test::CountOccurrences(log, "frame period"), 3);
  EXPECT_NE(log.find("Speech[absent.txt] not found."), std::string::npos);
  EXPECT_NE(log.find("Emotion[bad.emo] not found."), std::string::npos);
  Log_Open();
  // The readers fill no more than their room and read missing fields as zero.
  const std::string text = "a b 0.25 d\n1 2\n\n  \n3 4 5 6 7 8 9 10 11\r\n";
  float period = 0;
  SpeechRecord rec[1] = {};
  EXPECT_EQ(Speech_ParseText(text.data(), uint32_t(text.size()), &period, rec, 1), 2);
  EXPECT_FLOAT_EQ(period, 0.25f);
  EXPECT_EQ(rec[0].lips[1], 2.0f);
  EXPECT_EQ(rec[0].lips[2], 0.0f);
  const std::string emo = "0.5 1 x 3\n1.5 +2 2 2 2 2 7\n";
  EmotionRecord e[2] = {};
  EXPECT_EQ(Emotion_ParseText(emo.data(), uint32_t(emo.size()), e, 2), 2);
  EXPECT_EQ(e[0].weights[2], 0.0f);  // the reading stops at the first word that is no number
  EXPECT_EQ(e[1].weights[0], 2.0f);
}

// A speech line with a number that is not finite keeps its place: the records after it are heard
// at their own time, not one frame early.
TEST_F(SpeechTest, ALineThatIsNotFiniteKeepsTheLaterLipsOnTime) {
  tw_test::WriteFile("late.txt", "speech 1 0.5 8\n0.1 0 0 0 0 0 0 0\nnan 0 0 0 0 0 0 0\n0.3 0 0 0 0 0 0 0\n"
                                 "0.4 0 0 0 0 0 0 0\n0.5 0 0 0 0 0 0 0\n");
  Speech_Load(o, "late");
  ASSERT_EQ(o->speech.speechCount, 5);
  At(1.0);  // index 2: the third line
  EXPECT_FLOAT_EQ(o->drawValues[1], 0.3f);
  At(0.5);  // the damaged line itself: 0
  EXPECT_FLOAT_EQ(o->drawValues[1], 0.0f);
  At(2.0);  // the fifth line is still heard
  EXPECT_FLOAT_EQ(o->drawValues[1], 0.5f);
}

}  // namespace

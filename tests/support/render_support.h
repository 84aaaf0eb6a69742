// Fixtures shared by the renderer's tests: a private directory with the log open in it, and one
// window with the OpenGL renderer for a whole suite of gl tests.
#pragma once
#include <gtest/gtest.h>

#include <cstdint>
#include <string>
#include <vector>

#include "foundation/mem.h"
#include "foundation/video.h"
#include "support/test_support.h"

namespace tw_test {

// A fresh private directory with "log" open in it; the debug switches are restored afterwards.
class LoggedTest : public ::testing::Test {
 protected:
  void SetUp() override;
  void TearDown() override;
  // Everything logged so far.
  std::string Log();
  TempDir dir_;
  DebugSwitches savedDebug_{};
};

// Pixels of a box of the 640 x 480 layout, in a bottom-up BGRA read-back of the whole screen,
// whose blue, green and red pass `want`.
template <typename F>
int CountInLayoutBox(const std::vector<uint8_t>& px, float left, float top, float right, float bottom, F want) {
  const int w = Video_ScreenWidth, h = Video_ScreenHeight;
  int n = 0;
  for (int y = int(top * h / 480); y < int(bottom * h / 480); y++)
    for (int x = int(left * w / 640); x < int(right * w / 640); x++) {
      size_t i = (size_t(h - 1 - y) * w + x) * 4;
      n += want(px[i], px[i + 1], px[i + 2]);
    }
  return n;
}

// Opens a window titled `title` and starts the renderer on it (screen size = window size); true
// when OpenGL came up. Used from SetUpTestSuite; StopGlWindow from TearDownTestSuite.
bool StartGlWindow(const char* title);
void StopGlWindow();

// Gl tests with one window for the whole suite (opened by the suite's SetUpTestSuite through
// StartSuite): each test runs in a private logged directory with no textures loaded and skips
// without a display or OpenGL. Derived SetUp calls this one first and returns when it skipped;
// derived TearDown returns at once when `up_` is false and ends by calling this one.
class GlWindowTest : public LoggedTest {
 protected:
  static void StartSuite(const char* title) { up_ = StartGlWindow(title); }
  static void TearDownTestSuite();
  void SetUp() override;
  void TearDown() override;
  static bool up_;
};

// A picture read back from the renderer: B, G, R, A bytes, bottom row first.
struct Picture {
  int width = 0, height = 0;
  std::vector<uint8_t> bgra;
  const uint8_t* At(int x, int y) const { return &bgra[(size_t(y) * width + x) * 4]; }
};

// Pictures agree when every pixel of the Direct3D 8 picture `b` lies, channel by channel and within
// `tol`, inside the range of the OpenGL picture's pixels at the same place and one pixel around it
// (the back ends put pixel centres half a pixel apart). Returns the number of pixels that do not
// agree (the first few described in `where`), -1 for different sizes; `meanDiff` gets the mean
// same-place difference per channel.
int PictureDisagreements(const Picture& a, const Picture& b, int tol, std::string* where, double* meanDiff = nullptr);

// The whole screen as the renderer drew it so far in the frame; the frame is ended afterwards.
Picture ReadScreenAndEndFrame();

// Gl tests of the display module's screen: one window for the suite, in a private directory with
// the file layer up, and the display started windowed on the DejaVu face as "Face" (`haveFont_` says whether it
// was there); each test starts with a black 2D frame and skips without a display or OpenGL.
class VideoScreenTest : public ::testing::Test {
 protected:
  static void SetUpTestSuite();
  static void TearDownTestSuite();
  void SetUp() override;
  // A black frame with no depth test, no culling and alpha blending.
  static void Begin();
  // B, G, R, A of the whole screen, bottom row first.
  static std::vector<uint8_t> Read();
  static bool up_, haveFont_;

 private:
  static TempDir* dir_;
};

// Gl tests in the sample game: make_sample builds it once per suite in a private directory with
// one window; each test runs in that directory with the file layer and both model registry stages
// up, and afterwards objects, models, textures, materials and the renderer are put down and the
// renderer setting is back at "OPENGL". Derived SetUp calls this one first and returns when it
// skipped or failed.
class SampleGameGlTest : public ::testing::Test {
 protected:
  static void SetUpTestSuite();
  static void TearDownTestSuite();
  void SetUp() override;
  void TearDown() override;
  bool Stopped() { return IsSkipped() || HasFatalFailure(); }
  // Starts the OpenGL renderer at the window's size with an empty texture table (a fatal
  // failure when OpenGL does not start).
  static void StartOpenGl();

 private:
  char previous_[4096];
};

}  // namespace tw_test

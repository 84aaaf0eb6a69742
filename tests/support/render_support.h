// Fixtures shared by the renderer's tests: a private directory with the log open in it, and one
// window with the OpenGL renderer for a whole suite of gl tests.
#pragma once
#include <gtest/gtest.h>

#include <string>

#include "foundation/mem.h"
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

// Opens a window titled `title` and starts the renderer on it (screen size = window size); true
// when OpenGL came up. Used from SetUpTestSuite; StopGlWindow from TearDownTestSuite.
bool StartGlWindow(const char* title);
void StopGlWindow();

}  // namespace tw_test

// Helpers shared by the tests: a private working directory, file contents, and the real
// executable run under the test display.
#pragma once
#include <gtest/gtest.h>
#include <sys/types.h>

#include <cstdint>
#include <string>
#include <vector>

namespace tw_test {

// Makes a fresh temporary directory and changes into it; changes back and removes it on exit.
class TempDir {
 public:
  TempDir();
  ~TempDir();
  TempDir(const TempDir&) = delete;
  TempDir& operator=(const TempDir&) = delete;
  const std::string& Path() const { return path_; }

 private:
  std::string path_;
  std::string previous_;
};

std::string ReadFile(const std::string& path);
std::vector<uint8_t> ReadBytes(const std::string& path);
void WriteFile(const std::string& path, const std::string& text);
void WriteBytes(const std::string& path, const std::vector<uint8_t>& bytes);
bool FileExists(const std::string& path);
// Copies a DejaVu face of the system's fonts-dejavu-core (installed by scripts/setup) to `path`,
// so that text is drawn with a known face whatever other fonts the machine has; false when the
// face is missing.
bool PutTestFont(const std::string& path, const char* face = "DejaVuSans.ttf");
int CountOccurrences(const std::string& text, const std::string& what);
// The newest message line of the console, as plain text ("" when there is none).
std::string LastConsoleLine();

// The X display the tests draw on, or false when none is reachable (the test then skips).
bool HaveDisplay();

// Sends the window titled `title` (and owned by process `pid`, when non-zero) a window-manager
// close request (WM_DELETE_WINDOW), waiting up to `timeoutMs` for the window to appear. Returns
// true when the request was sent.
bool CloseWindowByTitle(const std::string& title, int timeoutMs, long pid = 0);

// Gives the window titled `title` (owned by `pid` when non-zero) the input focus, as a window
// manager does for a new window, waiting up to `timeoutMs` for it to show; then, when `key` (an X
// keysym name such as "Return") is given, presses and releases that key through the XTest
// extension, as a person at the keyboard would. Returns true when all of it was done.
bool FocusWindowByTitle(const std::string& title, int timeoutMs, long pid = 0, const char* key = nullptr);

// Raises the window titled `title` (owned by `pid` when non-zero) above the others and gives it
// the input focus, waiting up to `timeoutMs` for it to show. True when done.
bool RaiseWindowByTitle(const std::string& title, int timeoutMs, long pid = 0);

// The whole screen of the display as rows of R, G, B bytes, top row first; empty when the
// display cannot be read.
struct ScreenImage {
  int width = 0, height = 0;
  std::vector<uint8_t> rgb;
};
ScreenImage GrabScreen();

// Real key events through the XTEST extension: the pointer is first put at (x, y) of the screen
// (so the window under it has the keyboard), then each key (an X keysym name such as "Return",
// "Down", "Escape") is pressed, held `holdMs` and released, with `gapMs` between keys. False
// without XTEST.
bool SendKeys(int x, int y, const std::vector<std::string>& keys, int gapMs = 150, int holdMs = 60);
// A chord such as {"Control_L", "Alt_L", "F3"} sent as key events straight to the window with the
// input focus: pressed in order, held, released in reverse. The X server never sees these keys,
// so its own Ctrl+Alt+F1..F12 (virtual terminal switches, which its keymap keeps even under
// "setxkbmap -option srvrkeys:none" on Xvfb) cannot take them. False without a focused window.
bool SendKeyChordEvents(const std::vector<std::string>& chord, int holdMs = 100);

// Puts the pointer at (x, y) of the screen through XTEST, as a mouse moved there would; a window
// under it reads the way as mouse motion. False without XTEST.
bool MovePointer(int x, int y);

// Presses and releases mouse button `button` (1 the left) where the pointer is, through XTEST.
bool ClickPointer(int button = 1);

// Builds the sample game into `folder` with the project's make_sample tool; true on success.
bool MakeSampleGame(const std::string& folder);

// Starts the real executable (the build's bin/tarnwick) as a child of this test: in `folder`
// (null: the current one), its standard output into `stdoutPath` when given. Unattended
// (TW_UNATTENDED=1: message boxes take their default answer) unless `attended`, when it runs as a
// person runs it. The game has a process group of its own and dies with this test process, also
// when the test is killed on a time out. The pid, or -1.
pid_t StartGameProcess(const char* folder = nullptr, const char* stdoutPath = nullptr, bool attended = false);
// Kills a game that StartGameProcess started (its whole process group) and reaps it; its wait
// status goes to `status` when given. Nothing for a pid <= 0.
void EndGameProcess(pid_t pid, int* status = nullptr);

// End-to-end tests: the real executable started in a private copy of the sample game (skipped
// without a display), killed afterwards unless it ended by itself.
class GameProcessTest : public ::testing::Test {
 protected:
  void SetUp() override;
  void TearDown() override;
  // True while the game runs; once it has ended, `status_` holds its wait status.
  bool Running();
  // Waits up to `seconds` for the game to end; true when it did.
  bool WaitForExit(int seconds);
  TempDir dir_;
  int pid_ = -1;
  bool ended_ = false;
  int status_ = 0;
};

}  // namespace tw_test

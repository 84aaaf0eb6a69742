#include "support/test_support.h"

#include <gtest/gtest.h>

#include <X11/Xatom.h>
#include <X11/Xlib.h>
#include <X11/XKBlib.h>
#include <X11/Xutil.h>
#include <X11/keysym.h>
#include <X11/extensions/XTest.h>
#include <stdlib.h>
#include <fcntl.h>
#include <sys/prctl.h>
#include <sys/wait.h>
#include <unistd.h>

#include <cerrno>
#include <csignal>

#include <algorithm>
#include <chrono>
#include <cstdlib>
#include <cstring>
#include <filesystem>
#include <fstream>
#include <iterator>
#include <thread>

#include "foundation/text.h"

namespace tw_test {

// No test waits for a person at a message box (the "OPENGL warning" among them), however ctest
// was started: boxes take their default answer unless a test unsets this for an attended run.
[[maybe_unused]] static const bool g_unattended = setenv("TW_UNATTENDED", "1", 0) == 0;

TempDir::TempDir() {
  std::error_code ec;
  std::string base = std::filesystem::temp_directory_path(ec).string();
  if (ec || base.empty()) base = "/tmp";
  std::string templ = base + "/tarnwick_test_XXXXXX";
  char* made = mkdtemp(templ.data());
  path_ = made ? made : "";
  previous_ = std::filesystem::current_path().string();
  if (made) std::filesystem::current_path(path_);
}

TempDir::~TempDir() {
  std::error_code ec;
  std::filesystem::current_path(previous_, ec);
  if (!path_.empty()) std::filesystem::remove_all(path_, ec);
}

std::string ReadFile(const std::string& path) {
  std::ifstream f(path, std::ios::binary);
  return std::string((std::istreambuf_iterator<char>(f)), std::istreambuf_iterator<char>());
}

std::vector<uint8_t> ReadBytes(const std::string& path) {
  std::ifstream f(path, std::ios::binary);
  return std::vector<uint8_t>((std::istreambuf_iterator<char>(f)), std::istreambuf_iterator<char>());
}

void WriteFile(const std::string& path, const std::string& text) {
  std::filesystem::path p(path);
  if (p.has_parent_path()) std::filesystem::create_directories(p.parent_path());
  std::ofstream f(path, std::ios::binary);
  f << text;
}

void WriteBytes(const std::string& path, const std::vector<uint8_t>& bytes) {
  std::filesystem::path p(path);
  if (p.has_parent_path()) std::filesystem::create_directories(p.parent_path());
  std::ofstream f(path, std::ios::binary);
  f.write(reinterpret_cast<const char*>(bytes.data()), std::streamsize(bytes.size()));
}

bool FileExists(const std::string& path) { return std::filesystem::exists(path); }

bool PutTestFont(const std::string& path, const char* face) {
  const std::string from = std::string("/usr/share/fonts/truetype/dejavu/") + face;
  if (!FileExists(from)) return false;
  WriteBytes(path, ReadBytes(from));
  return true;
}

int CountOccurrences(const std::string& text, const std::string& what) {
  int n = 0;
  for (size_t at = text.find(what); at != std::string::npos; at = text.find(what, at + what.size())) n++;
  return n;
}

std::string LastConsoleLine() {
  const int n = Console_GetLineCount();
  const char16_t* line = n > 0 ? Console_GetLine(n - 1, nullptr) : nullptr;
  std::string out;
  for (; line && *line; line++) out += char(*line);
  return out;
}

// Windows of other processes come and go while the tests walk the window tree; an X error about
// a vanished window must not end the test process.
static int IgnoreXErrors(Display*, XErrorEvent*) { return 0; }

bool HaveDisplay() {
  const char* d = getenv("DISPLAY");
  if (!d || !*d) return false;
  // Many test processes connect at once; a refused connection is retried before giving up.
  for (int attempt = 0; attempt < 50; attempt++) {
    if (Display* dpy = XOpenDisplay(nullptr)) {
      XCloseDisplay(dpy);
      return true;
    }
    std::this_thread::sleep_for(std::chrono::milliseconds(100));
  }
  // The test command provides a display: there, failing to reach it is a failure, not a skip.
  const char* required = getenv("TW_REQUIRE_DISPLAY");
  if (required && *required == '1') ADD_FAILURE() << "cannot open the display " << d;
  return false;
}

// A window property's items (format 32 items as longs) and their format; format 0 when absent.
struct WindowProperty {
  int format = 0;
  unsigned long count = 0;
  std::string bytes;
};
static WindowProperty ReadProperty(Display* dpy, Window w, const char* name, long maxItems) {
  WindowProperty p;
  Atom type;
  unsigned long after = 0;
  unsigned char* data = nullptr;
  if (XGetWindowProperty(dpy, w, XInternAtom(dpy, name, False), 0, maxItems, False, AnyPropertyType, &type, &p.format,
                         &p.count, &after, &data) == Success && data) {
    p.bytes.assign(reinterpret_cast<char*>(data), p.count * (p.format == 32 ? sizeof(long) : size_t(p.format / 8)));
    XFree(data);
  }
  return p;
}

// The window's title: _NET_WM_NAME, else WM_NAME (which XFetchName reads only as Latin-1).
static std::string Title(Display* dpy, Window w) {
  WindowProperty name = ReadProperty(dpy, w, "_NET_WM_NAME", 256);
  std::string title = name.format == 8 ? name.bytes : "";
  char* latin1 = nullptr;
  if (title.empty() && XFetchName(dpy, w, &latin1) && latin1) {
    title = latin1;
    XFree(latin1);
  }
  return title;
}

// The window whose title is `title` and, when pid is non-zero, whose _NET_WM_PID is pid.
static Window FindWindow(Display* dpy, Window w, const std::string& title, long pid) {
  if (Title(dpy, w) == title) {
    WindowProperty owner = pid ? ReadProperty(dpy, w, "_NET_WM_PID", 1) : WindowProperty{};
    if (!pid || (owner.format == 32 && owner.count == 1 && *reinterpret_cast<const long*>(owner.bytes.data()) == pid))
      return w;
  }
  Window root, parent, *children = nullptr;
  unsigned n = 0;
  if (!XQueryTree(dpy, w, &root, &parent, &children, &n)) return 0;
  Window found = 0;
  for (unsigned i = 0; i < n && !found; i++) found = FindWindow(dpy, children[i], title, pid);
  if (children) XFree(children);
  return found;
}

// Connects to the display and waits for the window titled `title` (owned by `pid` when non-zero);
// false (and no connection) when either does not come before the deadline.
static bool OpenWindowByTitle(const std::string& title, int timeoutMs, long pid, Display** dpy, Window* w) {
  XSetErrorHandler(IgnoreXErrors);
  auto deadline = std::chrono::steady_clock::now() + std::chrono::milliseconds(timeoutMs);
  // A busy X server now and then refuses a connection while another client connects: retry.
  while (!(*dpy = XOpenDisplay(nullptr))) {
    if (std::chrono::steady_clock::now() > deadline) return false;
    std::this_thread::sleep_for(std::chrono::milliseconds(50));
  }
  while (!(*w = FindWindow(*dpy, DefaultRootWindow(*dpy), title, pid))) {
    if (std::chrono::steady_clock::now() > deadline) {
      XCloseDisplay(*dpy);
      return false;
    }
    std::this_thread::sleep_for(std::chrono::milliseconds(50));
  }
  return true;
}

bool CloseWindowByTitle(const std::string& title, int timeoutMs, long pid) {
  Display* dpy;
  Window w;
  if (!OpenWindowByTitle(title, timeoutMs, pid, &dpy, &w)) return false;
  XEvent ev;
  std::memset(&ev, 0, sizeof ev);
  ev.xclient.type = ClientMessage;
  ev.xclient.window = w;
  ev.xclient.message_type = XInternAtom(dpy, "WM_PROTOCOLS", False);
  ev.xclient.format = 32;
  ev.xclient.data.l[0] = long(XInternAtom(dpy, "WM_DELETE_WINDOW", False));
  ev.xclient.data.l[1] = CurrentTime;
  XSendEvent(dpy, w, False, NoEventMask, &ev);
  XFlush(dpy);
  XCloseDisplay(dpy);
  return true;
}

// Gives the mapped window the input focus; false while it is not viewable yet.
static bool Focus(Display* dpy, Window w) {
  XWindowAttributes attr;
  if (!XGetWindowAttributes(dpy, w, &attr) || attr.map_state != IsViewable) return false;
  XSetInputFocus(dpy, w, RevertToPointerRoot, CurrentTime);
  XSync(dpy, False);
  return true;
}

// Raised first when `raise` is set; the key, when given, pressed once the window has the focus.
static bool FocusWindow(const std::string& title, int timeoutMs, long pid, const char* key, bool raise) {
  Display* dpy;
  Window w;
  if (!OpenWindowByTitle(title, timeoutMs, pid, &dpy, &w)) return false;
  if (raise) XRaiseWindow(dpy, w);
  auto deadline = std::chrono::steady_clock::now() + std::chrono::milliseconds(timeoutMs);
  bool focused;
  while (!(focused = Focus(dpy, w)) && std::chrono::steady_clock::now() < deadline)
    std::this_thread::sleep_for(std::chrono::milliseconds(50));
  KeyCode code = key ? XKeysymToKeycode(dpy, XStringToKeysym(key)) : 0;
  if (focused && code) {
    XTestFakeKeyEvent(dpy, code, True, CurrentTime);
    XTestFakeKeyEvent(dpy, code, False, CurrentTime);
    XSync(dpy, False);
  }
  XCloseDisplay(dpy);
  return focused && (!key || code);
}

bool FocusWindowByTitle(const std::string& title, int timeoutMs, long pid, const char* key) {
  return FocusWindow(title, timeoutMs, pid, key, false);
}

bool RaiseWindowByTitle(const std::string& title, int timeoutMs, long pid) {
  return FocusWindow(title, timeoutMs, pid, nullptr, true);
}

ScreenImage GrabScreen() {
  ScreenImage out;
  XSetErrorHandler(IgnoreXErrors);
  Display* dpy = XOpenDisplay(nullptr);
  if (!dpy) return out;
  Window root = DefaultRootWindow(dpy);
  XWindowAttributes attr;
  if (XGetWindowAttributes(dpy, root, &attr)) {
    XImage* img = XGetImage(dpy, root, 0, 0, unsigned(attr.width), unsigned(attr.height), AllPlanes, ZPixmap);
    if (img) {
      out.width = attr.width;
      out.height = attr.height;
      out.rgb.resize(size_t(out.width) * out.height * 3);
      for (int y = 0; y < out.height; y++)
        for (int x = 0; x < out.width; x++) {
          unsigned long p = XGetPixel(img, x, y);
          uint8_t* d = &out.rgb[(size_t(y) * out.width + x) * 3];
          d[0] = uint8_t((p & img->red_mask) >> __builtin_ctzl(img->red_mask));
          d[1] = uint8_t((p & img->green_mask) >> __builtin_ctzl(img->green_mask));
          d[2] = uint8_t((p & img->blue_mask) >> __builtin_ctzl(img->blue_mask));
        }
      XDestroyImage(img);
    }
  }
  XCloseDisplay(dpy);
  return out;
}

bool SendKeys(int x, int y, const std::vector<std::string>& keys, int gapMs, int holdMs) {
  XSetErrorHandler(IgnoreXErrors);
  Display* dpy = XOpenDisplay(nullptr);
  if (!dpy) return false;
  int event, error, major, minor;
  bool ok = XTestQueryExtension(dpy, &event, &error, &major, &minor);
  // The pointer goes back where it was, so later tests find the screen as they left it.
  Window root, child;
  int oldX = 0, oldY = 0, wx, wy;
  unsigned mask;
  bool had = XQueryPointer(dpy, DefaultRootWindow(dpy), &root, &child, &oldX, &oldY, &wx, &wy, &mask);
  if (ok) {
    XTestFakeMotionEvent(dpy, -1, x, y, CurrentTime);
    XFlush(dpy);
    for (const std::string& name : keys) {
      std::this_thread::sleep_for(std::chrono::milliseconds(gapMs));
      KeyCode code = XKeysymToKeycode(dpy, XStringToKeysym(name.c_str()));
      if (!code) {
        ok = false;
        continue;
      }
      XTestFakeKeyEvent(dpy, code, True, CurrentTime);
      XFlush(dpy);
      std::this_thread::sleep_for(std::chrono::milliseconds(holdMs));
      XTestFakeKeyEvent(dpy, code, False, CurrentTime);
      XFlush(dpy);
    }
    std::this_thread::sleep_for(std::chrono::milliseconds(gapMs));
    if (had) XTestFakeMotionEvent(dpy, -1, oldX, oldY, CurrentTime);
    XFlush(dpy);
  }
  XCloseDisplay(dpy);
  return ok;
}

bool SendKeyChordEvents(const std::vector<std::string>& chord, int holdMs) {
  XSetErrorHandler(IgnoreXErrors);
  Display* dpy = XOpenDisplay(nullptr);
  if (!dpy) return false;
  Window focus = 0;
  int revert = 0;
  XGetInputFocus(dpy, &focus, &revert);
  std::vector<KeyCode> codes;
  for (const std::string& name : chord) codes.push_back(XKeysymToKeycode(dpy, XStringToKeysym(name.c_str())));
  if (focus <= PointerRoot) {
    // Focus follows the pointer: the top-level window under it.
    Window root, child = 0;
    int rx, ry, wx, wy;
    unsigned mask;
    if (XQueryPointer(dpy, DefaultRootWindow(dpy), &root, &child, &rx, &ry, &wx, &wy, &mask)) focus = child;
  }
  bool ok = focus > PointerRoot && std::find(codes.begin(), codes.end(), KeyCode(0)) == codes.end();
  auto send = [&](KeyCode code, bool down, unsigned state) {
    XEvent ev;
    std::memset(&ev, 0, sizeof ev);
    ev.xkey.type = down ? KeyPress : KeyRelease;
    ev.xkey.display = dpy;
    ev.xkey.window = focus;
    ev.xkey.root = DefaultRootWindow(dpy);
    ev.xkey.time = CurrentTime;
    ev.xkey.state = state;
    ev.xkey.keycode = code;
    ev.xkey.same_screen = True;
    XSendEvent(dpy, focus, True, down ? KeyPressMask : KeyReleaseMask, &ev);
    XFlush(dpy);
  };
  // The state each key sees: the modifiers of the keys before it.
  auto stateBefore = [&](size_t n) {
    unsigned state = 0;
    for (size_t i = 0; i < n; i++) {
      KeySym sym = XkbKeycodeToKeysym(dpy, codes[i], 0, 0);
      if (sym == XK_Control_L || sym == XK_Control_R) state |= ControlMask;
      if (sym == XK_Alt_L || sym == XK_Alt_R) state |= Mod1Mask;
      if (sym == XK_Shift_L || sym == XK_Shift_R) state |= ShiftMask;
    }
    return state;
  };
  if (ok) {
    for (size_t i = 0; i < codes.size(); i++) {
      send(codes[i], true, stateBefore(i));
      std::this_thread::sleep_for(std::chrono::milliseconds(30));
    }
    std::this_thread::sleep_for(std::chrono::milliseconds(holdMs));
    for (size_t i = codes.size(); i-- > 0;) send(codes[i], false, stateBefore(i + 1));
  }
  XCloseDisplay(dpy);
  return ok;
}

namespace {
// Runs `act` on a display that has XTEST; false without one.
template <typename F>
bool WithXTest(F act) {
  XSetErrorHandler(IgnoreXErrors);
  Display* dpy = XOpenDisplay(nullptr);
  if (!dpy) return false;
  int event, error, major, minor;
  bool ok = XTestQueryExtension(dpy, &event, &error, &major, &minor);
  if (ok) act(dpy);
  XCloseDisplay(dpy);
  return ok;
}
}  // namespace

bool MovePointer(int x, int y) {
  return WithXTest([&](Display* dpy) {
    XTestFakeMotionEvent(dpy, -1, x, y, CurrentTime);
    XFlush(dpy);
  });
}

bool ClickPointer(int button) {
  return WithXTest([&](Display* dpy) {
    XTestFakeButtonEvent(dpy, unsigned(button), True, CurrentTime);
    XFlush(dpy);
    std::this_thread::sleep_for(std::chrono::milliseconds(80));
    XTestFakeButtonEvent(dpy, unsigned(button), False, CurrentTime);
    XFlush(dpy);
  });
}

bool MakeSampleGame(const std::string& folder) {
  std::string cmd = std::string(TW_TEST_BIN_DIR) + "/make_sample " + TW_TEST_SOURCE_DIR + "/sample " + folder +
                    " >/dev/null";
  return std::system(cmd.c_str()) == 0;
}

pid_t StartGameProcess(const char* folder, const char* stdoutPath, bool attended) {
  const pid_t parent = getpid();
  pid_t pid = fork();
  if (pid != 0) {
    if (pid > 0) setpgid(pid, pid);  // also here: the group exists before the parent may kill it
    return pid;
  }
  setpgid(0, 0);
  // Ends with the test: a test killed on its time out leaves no game behind.
  prctl(PR_SET_PDEATHSIG, SIGKILL);
  if (getppid() != parent) _exit(127);
  if (attended)
    unsetenv("TW_UNATTENDED");
  else
    setenv("TW_UNATTENDED", "1", 1);
  if (folder && chdir(folder) != 0) _exit(127);
  if (stdoutPath) {
    int out = open(stdoutPath, O_WRONLY | O_CREAT | O_TRUNC, 0644);
    if (out >= 0) dup2(out, 1);
  }
  std::string exe = std::string(TW_TEST_BIN_DIR) + "/tarnwick";
  execl(exe.c_str(), exe.c_str(), nullptr);
  _exit(127);
}

void EndGameProcess(pid_t pid, int* status) {
  if (pid <= 0) return;
  kill(-pid, SIGKILL);
  kill(pid, SIGKILL);
  int ignored = 0;
  while (waitpid(pid, status ? status : &ignored, 0) < 0 && errno == EINTR) {
  }
}

void GameProcessTest::SetUp() {
  if (!HaveDisplay()) GTEST_SKIP() << "no display";
  ASSERT_TRUE(MakeSampleGame(dir_.Path()));
  pid_ = StartGameProcess();
  ASSERT_GT(pid_, 0);
}

void GameProcessTest::TearDown() {
  if (pid_ > 0 && !ended_) EndGameProcess(pid_);
}

bool GameProcessTest::Running() {
  if (!ended_ && waitpid(pid_, &status_, WNOHANG) == pid_) ended_ = true;
  return !ended_;
}

bool GameProcessTest::WaitForExit(int seconds) {
  auto until = std::chrono::steady_clock::now() + std::chrono::seconds(seconds);
  while (Running() && std::chrono::steady_clock::now() < until) std::this_thread::sleep_for(std::chrono::milliseconds(100));
  return !Running();
}

}  // namespace tw_test

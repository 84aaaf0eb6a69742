#include "world/screenshot.h"

#include <cstdio>
#include <cstring>
#include <filesystem>
#include <new>
#include <vector>

#include "foundation/file.h"
#include "foundation/log.h"
#include "foundation/var.h"
#include "render/render.h"
#include "world/game.h"
#include "world/level.h"

int32_t Screenshot_Counter;
int32_t Capture_Counter;

namespace {

constexpr int kTgaHeader = 18;
constexpr int kScreenshotNames = 1000;

// The picture's bytes: header then the back buffer as it reads back.
bool Screenshot_Build(std::vector<uint8_t>* out) {
  const int w = Render_ScreenWidth, h = Render_ScreenHeight;
  if (w <= 0 || h <= 0 || w > 0xffff || h > 0xffff) {
    Log_Printf("Screenshot_WriteTga: no screen to read (%ix%i)\n", w, h);
    return false;
  }
  try {
    out->assign(kTgaHeader + size_t(w) * size_t(h) * 4, 0);
  } catch (const std::bad_alloc&) {
    Log_Printf("Screenshot_WriteTga: no memory for %ix%i pixels\n", w, h);
    return false;
  }
  uint8_t* b = out->data();
  b[2] = 2;  // uncompressed true colour
  b[12] = uint8_t(w);
  b[13] = uint8_t(w >> 8);
  b[14] = uint8_t(h);
  b[15] = uint8_t(h >> 8);
  b[16] = 32;
  b[17] = 8;  // eight alpha bits, bottom-left origin
  Render_ReadPixels(0, 0, w, h, b + kTgaHeader);
  return true;
}

bool Screenshot_WriteBytes(const char* name, const std::vector<uint8_t>& bytes) {
  FileHandle* f = File_Open(name, "wb");
  if (!f) {
    Log_Printf("Screenshot_WriteTga: cannot write %s\n", name);
    return false;
  }
  bool ok = File_Write(bytes.data(), 1, bytes.size(), f) == bytes.size();
  File_Close(f);
  if (!ok) Log_Printf("Screenshot_WriteTga: writing %s failed\n", name);
  return ok;
}

}  // namespace

int Screenshot_WriteTga(const char* name) {
  std::vector<uint8_t> bytes;
  if (!name || !Screenshot_Build(&bytes)) return 0;
  return Screenshot_WriteBytes(name, bytes) ? 1 : 0;
}

int Screenshot_Take() {
  namespace fs = std::filesystem;
  if (Screenshot_Counter >= kScreenshotNames) return -1;
  std::vector<uint8_t> bytes;
  if (!Screenshot_Build(&bytes)) return -1;
  // The picture is written whole under a private name, then linked to the first free number: a
  // link never replaces a file, so a name taken meanwhile moves the picture on to the next one.
  char temp[64];
  std::snprintf(temp, sizeof temp, "scr.part");
  if (!Screenshot_WriteBytes(temp, bytes)) return -1;
  int written = -1;
  for (; Screenshot_Counter < kScreenshotNames; Screenshot_Counter++) {
    char name[16];
    std::snprintf(name, sizeof name, "scr%03d.tga", int(Screenshot_Counter));
    std::error_code ec;
    if (fs::exists(name, ec)) continue;
    fs::create_hard_link(temp, name, ec);
    if (!ec) {
      written = Screenshot_Counter++;
      break;
    }
    if (ec != std::errc::file_exists) {
      Log_Printf("Screenshot_Take: cannot publish %s (%s)\n", name, ec.message().c_str());
      break;
    }
  }
  std::error_code ec;
  fs::remove(temp, ec);
  return written;
}

void Game_CaptureFrame() {
  VarRecord* first = Var_Find("igv_first_frame");
  VarRecord* last = Var_Find("igv_last_frame");
  int32_t n = Capture_Counter++;
  if (first && last && first->value != 0 && last->value != 0 && first->value < last->value &&
      (float(n) < first->value || float(n) > last->value))
    return;
  char name[sizeof Level_Name + 32];
  std::snprintf(name, sizeof name, "video\\%s\\scr.%05i.tga", Level_Name, int(n));
  Screenshot_WriteTga(name);
}

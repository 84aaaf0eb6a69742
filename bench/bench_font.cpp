// Glyph cache costs: the first rendering of a font's 256 glyphs, and 2,000 characters a frame
// from a warm cache (layout and quad submission; with no renderer started nothing reaches GL).
#include <benchmark/benchmark.h>

#include <cstring>
#include <filesystem>
#include <string>

#include "foundation/var.h"
#include "foundation/video.h"
#include "render/font.h"
#include "render/text.h"

static bool SetUpFont() {
  static bool ready = false;
  if (ready) return true;
  const char* path = "/usr/share/fonts/truetype/dejavu/DejaVuSans.ttf";
  if (!std::filesystem::exists(path)) return false;
  Video_Init(0);
  // Through fontconfig: the family of the installed face.
  std::strcpy(Var_Find("video_font")->text, "DejaVu Sans");
  Font_Init();
  ready = Font_Glyphs['A'].glyph != 0;
  return ready;
}

static void BM_RenderAll256Glyphs(benchmark::State& state) {
  if (!SetUpFont()) {
    state.SkipWithError("no DejaVu Sans");
    return;
  }
  for (auto _ : state) {
    Font_InvalidateGlyphs();
    for (int code = 1; code < 256; code++) Font_RenderGlyph(code);
  }
  state.SetItemsProcessed(state.iterations() * 255);
}
BENCHMARK(BM_RenderAll256Glyphs)->Unit(benchmark::kMillisecond);

static void BM_Draw2000CharactersWarm(benchmark::State& state) {
  if (!SetUpFont()) {
    state.SkipWithError("no DejaVu Sans");
    return;
  }
  std::string line;
  for (int i = 0; i < 80; i++) line.push_back(static_cast<char>('A' + i % 58));
  for (int code = 1; code < 256; code++) Font_RenderGlyph(code);
  Var_Find("video_text_shadow")->value = 1;
  Print_SetSize(16);
  for (auto _ : state) {
    for (int row = 0; row < 25; row++)
      Print_TextLine(0, 0, 640, 480, line.c_str(), 0, 80, 0, row * 18.0f);
  }
  state.SetItemsProcessed(state.iterations() * 2000);
}
BENCHMARK(BM_Draw2000CharactersWarm)->Unit(benchmark::kMicrosecond);

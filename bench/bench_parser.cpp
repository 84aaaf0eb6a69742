// Script tokenizer throughput on a large generated script (goal: at least 100 MB/s without
// macros), with 100 macros defined, and a std::istream word reader for comparison.
#include <benchmark/benchmark.h>

#include <sstream>
#include <string>

#include "foundation/parser.h"

static std::string MakeScript(size_t bytes, bool macros) {
  std::string s;
  if (macros)
    for (int i = 0; i < 100; i++) s += "$def MACRO_" + std::to_string(i) + " value" + std::to_string(i) + "\n";
  int n = 0;
  while (s.size() < bytes) {
    s += "menu \"main_" + std::to_string(n) + "\" {\n";
    s += "  // a comment line\n";
    s += "  item \"Start Game\" ; pos 120 240 ; size 64 16 ; command start_game ;\n";
    s += "  /* block */ <color> 255 255 128 [tag] MACRO_" + std::to_string(n % 150) + " ;\n}\n";
    n++;
  }
  return s;
}

static void Tokenize(benchmark::State& state, bool macros) {
  std::string script = MakeScript(10 << 20, macros);
  Parser* p = Par_CreateFromText(script.c_str());
  size_t tokens = 0;
  for (auto _ : state) {
    p->cursor = p->buffer;
    p->line = 0;
    while (Par_Next(p)) tokens++;
    benchmark::DoNotOptimize(tokens);
  }
  state.SetBytesProcessed(int64_t(state.iterations()) * int64_t(script.size()));
  Par_Free(p);
}

static void BM_ParserNoMacros(benchmark::State& state) { Tokenize(state, false); }
BENCHMARK(BM_ParserNoMacros)->Unit(benchmark::kMillisecond);

static void BM_ParserHundredMacros(benchmark::State& state) { Tokenize(state, true); }
BENCHMARK(BM_ParserHundredMacros)->Unit(benchmark::kMillisecond);

static void BM_IstreamWords(benchmark::State& state) {
  std::string script = MakeScript(10 << 20, false);
  for (auto _ : state) {
    std::istringstream in(script);
    std::string word;
    size_t words = 0;
    while (in >> word) words++;
    benchmark::DoNotOptimize(words);
  }
  state.SetBytesProcessed(int64_t(state.iterations()) * int64_t(script.size()));
}
BENCHMARK(BM_IstreamWords)->Unit(benchmark::kMillisecond);

#include "quests/quest.h"

#include <cstdio>
#include <cstring>
#include <string>

#include "foundation/file.h"
#include "foundation/log.h"
#include "foundation/mem.h"
#include "foundation/partoken.h"
#include "quests/state.h"
#include "world/game.h"
#include "world/object.h"

namespace {

// One line's command and its words.
constexpr int kQueWords = 8;
struct QueLine {
  char words[kQueWords][kPendingLevelSize];
  int count;
  bool tooLong;
};

void ReadLine(const char* line, QueLine* out) {
  out->count = 0;
  out->tooLong = false;
  const char* rest = line;
  char token[kParTokenSize];
  while (rest && out->count < kQueWords) {
    if (!Par_NextBracketTokenTo(rest, &rest, token, sizeof token)) break;
    size_t n = std::strlen(token);
    if (n >= sizeof out->words[0]) out->tooLong = true;
    std::snprintf(out->words[out->count++], sizeof out->words[0], "%s", token);
  }
}

bool RunLine(const QueLine& line, const char* name, int number) {
  if (line.count == 0) return false;
  if (line.tooLong) {
    Log_Printf("Que_Apply: %s: line %d: a word too long; skipped\n", name, number);
    return false;
  }
  const char* command = line.words[0];
  if (std::strcmp(command, "level") == 0) {
    if (line.count < 2 || !line.words[1][0]) {
      Log_Printf("Que_Apply: %s: line %d: \"level\" without a level; skipped\n", name, number);
      return false;
    }
    std::snprintf(Game_PendingLevel, sizeof Game_PendingLevel, "%s", line.words[1]);
    return true;
  }
  Log_Printf("Que_Apply: %s: line %d: \"%s\" is not carried out yet; skipped\n", name, number, command);
  return false;
}

}  // namespace

int Que_RunText(const char* text, size_t size, const char* name) {
  if (!text) return 0;
  std::string source(text, strnlen(text, size));
  int done = 0, number = 0;
  size_t at = 0;
  QueLine line;
  while (at < source.size()) {
    size_t end = source.find('\n', at);
    if (end == std::string::npos) end = source.size();
    std::string one = source.substr(at, end - at);
    at = end + 1;
    number++;
    ReadLine(one.c_str(), &line);
    if (RunLine(line, name, number)) done++;
  }
  return done;
}

int Que_Apply(GameObject*, const char* script, const char*) {
  if (!script || !script[0]) return 0;
  if (std::strlen(script) > 128 || std::strstr(script, "..")) {
    Log_Printf("Que_Apply: refused the script name \"%.64s\"\n", script);
    return 0;
  }
  char path[192];
  std::snprintf(path, sizeof path, "scripts\\que\\%s.txt", script);
  uint32_t size = 0;
  char* text = static_cast<char*>(File_LoadWhole(path, &size, "QUE"));
  if (!text) {
    Log_Printf("Que_Apply: no script %s\n", path);
    return 0;
  }
  Que_RunText(text, size, path);
  Global_Free(text);
  return 1;
}

int Que_AddObjective(const char* condition, const char* script, float timeLimit) {
  if (!condition || !script) return -1;
  QuestObjectives& o = Que_State.objectives;
  if (std::strlen(condition) >= sizeof o.conditions[0] || std::strlen(script) >= sizeof o.scripts[0]) {
    Log_Printf("Que_AddObjective: a name too long; not added\n");
    return -1;
  }
  int free = -1;
  for (int i = 0; i < kObjectives; i++) {
    bool empty = !o.conditions[i][0] && !o.scripts[i][0];
    if (!empty && std::strcmp(o.conditions[i], condition) == 0 && std::strcmp(o.scripts[i], script) == 0) return i;
    if (empty && free < 0) free = i;
  }
  if (free < 0) {
    Log_Printf("Que_AddObjective: all %d objectives are taken; \"%s\" not added\n", kObjectives, condition);
    return -1;
  }
  std::snprintf(o.conditions[free], sizeof o.conditions[free], "%s", condition);
  std::snprintf(o.scripts[free], sizeof o.scripts[free], "%s", script);
  o.times[free] = timeLimit;
  return free;
}

void Que_Tick() {
  QuestObjectives& o = Que_State.objectives;
  for (int i = 0; i < kObjectives; i++) {
    if (!(o.times[i] > 0) || (!o.conditions[i][0] && !o.scripts[i][0])) continue;
    o.times[i] -= float(Game_Step);
    if (o.times[i] > 0) continue;
    char script[kQuestNameSize];
    std::memcpy(script, o.scripts[i], sizeof script);
    o.conditions[i][0] = o.scripts[i][0] = 0;
    o.times[i] = 0;
    if (script[0]) Que_Apply(Obj_Player, script, "");
  }
}

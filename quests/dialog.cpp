#include "quests/dialog.h"

#include <cstdio>
#include <cstring>
#include <string>

#include "foundation/input.h"
#include "foundation/keys.h"
#include "foundation/log.h"
#include "foundation/sound.h"
#include "foundation/text.h"
#include "hud/hud.h"
#include "quests/quest.h"
#include "render/text.h"
#include "ui/ui.h"
#include "world/frame2d.h"
#include "world/game.h"
#include "world/object.h"

uint32_t Dialog_Open;
GameObject* Dialog_Partner;
DialogScreen Dialog_Screen;

namespace {

constexpr const char* kTextBase = "data\\text\\";

// A line about that text or voice may be written: each is said once a level, so that a script run
// every tick (a timer's) does not fill the log.
bool MaySay(const char* what, const char* name) {
  const std::string key = std::string(what) + " " + name;
  return Que_LogOnce(key.c_str()) != 0;
}

void ClearAnswers() {
  for (DialogAnswer& a : Dialog_Screen.answers) a = DialogAnswer{};
  Dialog_Screen.answerCount = 0;
}

}  // namespace

void Dialog_StartWithNpc(GameObject* npc) {
  Dialog_Partner = npc;
  Dialog_Open = npc != nullptr;
  if (!npc) Dialog_Screen = DialogScreen{};
}

int Dialog_Say(const char* key, const char* voice, GameObject* speaker) {
  DialogScreen& s = Dialog_Screen;
  int ok = 1;
  std::snprintf(s.lineKey, sizeof s.lineKey, "%s", key ? key : "");
  if (!Text_Get(kTextBase, s.lineKey)) {
    if (MaySay("text", s.lineKey)) Log_Printf("Dialog_Say: no text \"%s\"\n", s.lineKey);
    ok = 0;
  }
  // The line's text is the subtitle too, shown once the dialogue screen gives way to play.
  PlayScreenState& p = Game_PlayScreen;
  static_assert(sizeof p.subtitleKey == sizeof s.lineKey);
  std::memcpy(p.subtitleKey, s.lineKey, sizeof p.subtitleKey);
  p.subtitleStart = Game_Time;
  p.subtitleVoice = 0;
  if (s.voice) Sound_Stop(s.voice);
  s.voice = 0;
  if (voice && voice[0] && std::strcmp(voice, "-") != 0) {
    const float* at = speaker ? &speaker->origin.x : nullptr;
    s.voice = Sound_Play(voice, 1.0f, 100.0f, at, 0, SOUND_CAT_VOICES);
    if (!s.voice) {
      if (MaySay("voice", voice)) Log_Printf("Dialog_Say: no voice \"%s\"\n", voice);
      ok = 0;
    }
    if (speaker) speaker->person.voices[0] = s.voice;
    p.subtitleVoice = s.voice;
  }
  return ok;
}

int Dialog_AddAnswer(const char* key, const char* script) {
  DialogScreen& s = Dialog_Screen;
  if (s.answerCount >= kDialogAnswers) {
    if (MaySay("answer", key ? key : ""))
      Log_Printf("Dialog_AddAnswer: %d answers already; \"%s\" not added\n", kDialogAnswers, key ? key : "");
    return -1;
  }
  if (key && key[0] && !Text_Get(kTextBase, key) && MaySay("text", key))
    Log_Printf("Dialog_AddAnswer: no text \"%s\"\n", key);
  DialogAnswer& a = s.answers[s.answerCount];
  std::snprintf(a.key, sizeof a.key, "%s", key ? key : "");
  std::snprintf(a.script, sizeof a.script, "%s", script ? script : "");
  return s.answerCount++;
}

void Dialog_End() {
  if (Dialog_Screen.voice) Sound_Stop(Dialog_Screen.voice);
  Dialog_StartWithNpc(nullptr);
}

int Dialog_Choose(int index) {
  DialogScreen& s = Dialog_Screen;
  if (index < 0 || index >= s.answerCount) return 0;
  char script[kDialogKeySize];
  std::memcpy(script, s.answers[index].script, sizeof script);
  ClearAnswers();
  if (script[0] && std::strcmp(script, "-") != 0) Que_Apply(Obj_Player, script, "");
  return 1;
}

int Dialog_AnswerAt(float x, float y) {
  if (x < kDialogAnswerLeft || x >= kDialogAnswerRight || y < kDialogAnswerTop) return -1;
  int row = int((y - kDialogAnswerTop) / kDialogAnswerHeight);
  return row < Dialog_Screen.answerCount ? row : -1;
}

// The partner's name over its line in a dark box, the numbered answers below it, the one under
// the pointer on a bar.
void Dialog_Draw() {
  const GameObject* partner = Dialog_Partner;
  if (!Dialog_Open || !partner) return;
  const DialogScreen& s = Dialog_Screen;
  const float* box = kDialogLineBox;
  UI_FillRect(box[0], box[1], box[2], box[3], 0, 0, 0, 160);
  char key[96];
  std::snprintf(key, sizeof key, "personages\\%s", partner->person.name[0] ? partner->person.name : "__stranger__");
  Print_SetBackgroundColor(0, 0, 0, 0);
  Print_SetWidthScale(kHudTextSize);
  Print_SetSize(kHudTextSize);
  Print_SetAlign(0);
  Print_SetColor(1.0f, 0.85f, 0.4f, 1);
  UI_DrawText(key, partner->person.name[0] ? partner->person.name : "Stranger", box[0] + 10, box[1] + 6, box[2] - 10,
              box[1] + 30);
  Print_SetColor(1, 1, 1, 1);
  if (s.lineKey[0]) UI_DrawText(s.lineKey, s.lineKey, box[0] + 10, box[1] + 34, box[2] - 10, box[3] - 6);
  const int hovered = Dialog_AnswerAt(Game_CursorX, Game_CursorY);
  for (int i = 0; i < s.answerCount; i++) {
    const float top = kDialogAnswerTop + float(i) * kDialogAnswerHeight;
    if (i == hovered)
      UI_FillRect(kDialogAnswerLeft, top, kDialogAnswerRight, top + kDialogAnswerHeight, kUiBarColor[0], kUiBarColor[1],
                  kUiBarColor[2], 255);
    else
      UI_FillRect(kDialogAnswerLeft, top, kDialogAnswerRight, top + kDialogAnswerHeight, 0, 0, 0, 120);
    char number[16];
    std::snprintf(number, sizeof number, "%d.", i + 1);
    Print_TextBox(kDialogAnswerLeft + 6, top + 4, kDialogAnswerLeft + 36, top + kDialogAnswerHeight, number);
    UI_DrawText(s.answers[i].key, s.answers[i].key, kDialogAnswerLeft + 36, top + 4, kDialogAnswerRight - 6,
                top + kDialogAnswerHeight);
  }
}

// Keys 1 to 8 (scan codes 2 to 9) or a click choose an answer; Escape or the right button close.
void Dialog_Input() {
  if (Input_KeyPressed(KEY_ESCAPE) | Input_KeyPressed(kKeyMouseRight)) {
    Dialog_End();
    Input_Reset();
    return;
  }
  for (int i = 0; i < kDialogAnswers; i++)
    if (Input_KeyPressed(2 + i) && Dialog_Choose(i)) return;
  if (Input_KeyPressed(kKeyMouseLeft)) Dialog_Choose(Dialog_AnswerAt(Game_CursorX, Game_CursorY));
}

// Dialogues with characters: the partner's line, up to eight numbered answers, each running a
// quest script on the player.
#pragma once
#include <cstdint>

struct GameObject;

// Set while a dialogue is open, with the character spoken to.
extern uint32_t Dialog_Open;
extern GameObject* Dialog_Partner;

constexpr int kDialogAnswers = 8;
constexpr int kDialogKeySize = 128;
struct DialogAnswer {
  char key[kDialogKeySize];     // text key of the answer
  char script[kDialogKeySize];  // quest script it runs
};
// What the screen shows: the partner's line and the answers the scripts gave.
struct DialogScreen {
  char lineKey[kDialogKeySize];
  uint32_t voice;  // sound voice of the line, 0 none
  DialogAnswer answers[kDialogAnswers];
  int32_t answerCount;
};
extern DialogScreen Dialog_Screen;

// The screen's layout on the 640 x 480 layout: the line's box, the first answer's row and the
// height of a row.
constexpr float kDialogLineBox[4] = {40, 40, 600, 180};
constexpr float kDialogAnswerTop = 220.0f;
constexpr float kDialogAnswerHeight = 30.0f;
constexpr float kDialogAnswerLeft = 60.0f, kDialogAnswerRight = 580.0f;

// Opens the dialogue with the character (null closes it and empties the screen).
void Dialog_StartWithNpc(GameObject* npc);
// The dialogue screen's drawing and input while a dialogue is open.
void Dialog_Draw();
void Dialog_Input();

// The quest commands of the screen. The line is said by the partner (or, before the dialogue
// opens, by the speaker given): its voice plays from the speaker and its text becomes the
// subtitle; a voice of "-" or "" is none. Returns 0 (logged) for a missing text key or voice.
int Dialog_Say(const char* key, const char* voice, GameObject* speaker);
// Adds an answer; returns its index, or -1 (logged) when eight are there already.
int Dialog_AddAnswer(const char* key, const char* script);
// Closes the dialogue.
void Dialog_End();
// Runs answer `index` (0-based): the answers are cleared and its script runs on the player.
// Returns 1 when there was such an answer.
int Dialog_Choose(int index);
// The answer under the point of the 640 x 480 layout, or -1.
int Dialog_AnswerAt(float x, float y);

// The Transport System and the map screen live in quests/ts.h.
#include "quests/ts.h"

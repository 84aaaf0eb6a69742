// The menu system: a stack of screens found by name. The screens are built in (the front end's
// main menu and hero choice, the key bindings and the in-game menu); each is a list of items
// chosen with Up and Down and taken with Enter or the left button, Escape going back.
#pragma once
#include <cstdint>

constexpr int kUiStackDepth = 8;

struct UiStackEntry {
  int32_t screen;     // row of the screen table
  int32_t selection;  // the item under the highlight
  void (*proc)();     // called after each input step while this screen is on top (may be null)
};

struct UiSystem {
  UiStackEntry stack[kUiStackDepth];
  int32_t depth;
};

// The one menu system of the game (null would mean the menus are not running).
extern UiSystem* UI_System;

// UI_Event messages.
constexpr int kUiInput = 1;
constexpr int kUiPaint = 2;

// Shows the screen of that name over the current one. 0 (with a log line) for an unknown name
// or a full stack.
int UI_PushMenu(UiSystem* ui, const char* name, void (*proc)());
// Back to the screen below (nothing on an empty stack).
void UI_PopMenu(UiSystem* ui);
void UI_ClearMenuStack(UiSystem* ui);
int UI_MenuDepth(const UiSystem* ui);
// The name of the screen on top, or "" on an empty stack.
const char* UI_TopMenuName(const UiSystem* ui);
// The item under the highlight of the top screen (-1 on an empty stack).
int UI_TopSelection(const UiSystem* ui);
// kUiInput runs the top screen's keys for this frame; kUiPaint draws it. Returns 1 when a screen
// took the message.
int UI_Event(UiSystem* ui, int message);

// Layout on the 640 x 480 screen: the title's box, then one row per item; the selected row has
// a bar of kUiBarColor behind its text.
constexpr float kUiTitleTop = 120.0f;
constexpr float kUiItemTop = 200.0f;
constexpr float kUiItemHeight = 40.0f;
constexpr float kUiItemLeft = 200.0f;
constexpr float kUiItemRight = 440.0f;
constexpr float kUiTextSize = 24.0f;
constexpr uint8_t kUiBarColor[3] = {56, 79, 110};

// The first row a list of `count` rows shows, `shown` at a time, when it showed from `first` and
// row `selection` is highlighted: the rows move only as far as it takes to show the highlighted
// one, so a row stays under a pointer resting on it.
int UI_ScrollFirst(int first, int selection, int shown, int count);

// The row under the menus' pointer among `count` rows of `height` from kUiItemTop between `left`
// and `right` on the 640 x 480 screen; -1 when it is over none.
int UI_RowUnderPointer(int count, float left, float right, float height);
// The pointer over a screen that lists `count` rows, at most `shown` of them from kUiItemTop,
// `height` apart between `left` and `right`, the first shown being row firstOf(highlighted row) of
// the list (null: row 0). A pointer that moved since the screen's last input onto a row takes the
// highlight there, unless the keys moved the highlight from `was` this frame; the keys never move
// the pointer, and a screen just come on top takes nothing from a pointer at rest. Returns the
// list row under the pointer, or -1.
int UI_TrackPointer(int* selection, int was, int count, int shown, int (*firstOf)(int), float left, float right,
                    float height);
// Draws the localized text of `key` in the box (word-wrapped at the current print size, colour
// and alignment), or `fallback` when the language has no such text.
void UI_DrawText(const char* key, const char* fallback, float left, float top, float right, float bottom);
// A filled rectangle on the 640 x 480 screen.
void UI_FillRect(float left, float top, float right, float bottom, uint8_t r, uint8_t g, uint8_t b, uint8_t a);

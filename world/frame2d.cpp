#include "world/frame2d.h"

#include <strings.h>

#include <cstdio>
#include <cstring>
#include <string>

#include "characters/inventory.h"
#include "characters/defs.h"
#include "foundation/partoken.h"
#include "foundation/text.h"
#include "foundation/var.h"
#include "foundation/video.h"
#include "hud/hud.h"
#include "quests/dialog.h"
#include "render/draw2d.h"
#include "render/render.h"
#include "render/text.h"
#include "render/texture.h"
#include "render/video.h"
#include "ui/menu.h"
#include "world/game.h"
#include "world/gameinput.h"
#include "world/object.h"

PlayScreenState Game_PlayScreen{0, {}, 0, -1000.0, {}, 0, 0, {}};
float Game_CursorX = kScreen2DWidth / 2, Game_CursorY = kScreen2DHeight / 2;

void Game_ClearPlayScreen() {
  Game_PlayScreen = PlayScreenState{};
  Game_PlayScreen.subtitleStart = -1000.0;
}

void Game_MoveCursor(int dx, int dy) {
  if (Video_ScreenWidth <= 0 || Video_ScreenHeight <= 0) return;
  Game_CursorX += float(dx) * kScreen2DWidth / float(Video_ScreenWidth);
  Game_CursorY += float(dy) * kScreen2DHeight / float(Video_ScreenHeight);
  Game_CursorX = Game_CursorX < 0 ? 0 : Game_CursorX > kScreen2DWidth ? kScreen2DWidth : Game_CursorX;
  Game_CursorY = Game_CursorY < 0 ? 0 : Game_CursorY > kScreen2DHeight ? kScreen2DHeight : Game_CursorY;
}

void Game_CentreCursor() {
  Game_CursorX = kScreen2DWidth / 2;
  Game_CursorY = kScreen2DHeight / 2;
}

namespace {

// Pictures by name, loaded on first use and again whenever the texture table was reset since
// (its material id then names another texture, or none).
struct NamedPicture {
  const char* name;
  Picture picture;
  bool tried;
  uint32_t generation;
};

const Picture* Frame2D_Picture(NamedPicture& p) {
  const uint32_t generation = Tex_GetGeneration();
  if (!p.tried || p.generation != generation || p.picture.material == 0) {
    p.tried = true;
    p.generation = generation;
    Draw2D_LoadPicture(p.name, &p.picture);
  }
  return &p.picture;
}

NamedPicture g_stealth{"sprites\\stealth", {}, false, 0};
NamedPicture g_galahaste{"sprites\\galahaste", {}, false, 0};
NamedPicture g_damage{"sprites\\damage", {}, false, 0};
NamedPicture g_cross1bg{"sprites\\SBar\\cross1bg", {}, false, 0};
NamedPicture g_cross1{"sprites\\SBar\\cross1", {}, false, 0};
NamedPicture g_cross2bg{"sprites\\SBar\\cross2bg", {}, false, 0};
NamedPicture g_cross2{"sprites\\SBar\\cross2", {}, false, 0};
NamedPicture g_crosshairs[4] = {{"sprites\\SBar\\cross0", {}, false, 0},
                                {"sprites\\SBar\\cross00", {}, false, 0},
                                {"sprites\\SBar\\cross000", {}, false, 0},
                                {"sprites\\SBar\\cross0000", {}, false, 0}};
NamedPicture g_cursor{"sprites\\Menu\\cursor", {}, false, 0};
NamedPicture g_talk{"sprites\\sbar\\talkplace", {}, false, 0};
// In PlayMarker bit order.
NamedPicture g_markers[4] = {{"sprites\\sbar\\search", {}, false, 0},
                             {"sprites\\sbar\\hack", {}, false, 0},
                             {"sprites\\sbar\\lockpick", {}, false, 0},
                             {"sprites\\SBar\\vote", {}, false, 0}};

uint8_t AlphaByte(float level) {
  float a = level * 255.0f;
  return a >= 255 ? 255 : (a <= 0 ? 0 : uint8_t(a));
}

void FullScreen(NamedPicture& p, uint8_t alpha) {
  Draw2D_PictureSized(0, 0, kScreen2DWidth, kScreen2DHeight, Frame2D_Picture(p), 1, Color8{255, 255, 255, alpha});
}

void Centred(NamedPicture& p) {
  const Picture* pic = Frame2D_Picture(p);
  Draw2D_PictureAt((kScreen2DWidth - pic->width) / 2, (kScreen2DHeight - pic->height) / 2, pic, 1,
                   Color8{255, 255, 255, 255});
}

// Stealth, slow motion and damage over the whole screen.
void Frame2D_EffectSprites(const GameObject* player) {
  if (player->person.stealthLevel != 0) FullScreen(g_stealth, AlphaByte(player->person.stealthLevel));
  if (player->person.slowMotionLevel != 0) FullScreen(g_galahaste, AlphaByte(player->person.slowMotionLevel));
  float k = player->damageFlash;
  if (k > 1.0f) {
    uint8_t alpha = k <= 30.0f ? uint8_t(k * 8.5f) : 255;
    if (alpha) FullScreen(g_damage, alpha);
  }
}

void Frame2D_Crosshair(const GameObject* player) {
  if (player->camera.mode == 1) return;  // in a car
  if (player->camera.zoomLevel == 1) {
    FullScreen(g_cross1bg, 255);
    Centred(g_cross1);
  } else if (player->camera.zoomLevel == 2) {
    FullScreen(g_cross2bg, 255);
    Centred(g_cross2);
  } else {
    const VarRecord* choice = Var_Find("render_crosshair");
    int c = choice ? int(choice->value) : 0;
    if (c >= 0 && c < 4) Centred(g_crosshairs[c]);
  }
}

// Texts of the play screen: no background, centred, white unless a colour is given.
void Frame2D_TextStyle(float size, float r = 1, float g = 1, float b = 1, float a = 1) {
  Print_SetBackgroundColor(0, 0, 0, 0);
  Print_SetAlign(1);
  Print_SetWidthScale(size);
  Print_SetSize(size);
  Print_SetColor(r, g, b, a);
}

// A text of the language by key; false (nothing added) when the language has none.
bool Frame2D_AppendText(std::u16string* line, const char* key) {
  const char16_t* t = Text_Get("data\\text\\", key);
  if (!t) return false;
  if (*t == kTextMark) t++;
  *line += t;
  return true;
}

constexpr float kPromptBox[4] = {120, 330, 520, 360};
constexpr float kNameBox[4] = {120, 360, 520, 390};
constexpr float kMarkerTop = 280;

void Frame2D_Prompt(const char* key) {
  Frame2D_TextStyle(kHudTextSize);
  Text_Draw("data\\text\\", key, kPromptBox[0], kPromptBox[1], kPromptBox[2], kPromptBox[3]);
}

void Frame2D_Marker(NamedPicture& p) {
  const Picture* pic = Frame2D_Picture(p);
  Draw2D_PictureAt((kScreen2DWidth - pic->width) / 2, kMarkerTop, pic, 1, Color8{255, 255, 255, 255});
}

// The prompt of a world object's use text: what the use key would do with it now, and nothing
// where the key would do nothing.
void Frame2D_UseTextPrompt(const GameObject* player, const char* text) {
  UseTextOffer offer;
  switch (Game_ReadUseText(player, text, &offer)) {
    case USE_TEXT_CAR:
      Frame2D_Prompt("consol\\Press use key to drive");
      break;
    case USE_TEXT_CAR_LOCKED:
      Frame2D_Prompt("consol\\You do not have the key");
      break;
    case USE_TEXT_SHOP:
      Frame2D_Prompt("consol\\Press use key to go to shop");
      break;
    case USE_TEXT_TRANSPORT:
      Frame2D_Prompt("consol\\Press use key to go to Transport System");
      break;
    case USE_TEXT_LEVEL: {
      // "Press use key to go to" and the level's visible name.
      std::u16string line;
      if (!Frame2D_AppendText(&line, "consol\\Press use key to go to")) return;
      char name[300];
      std::snprintf(name, sizeof name, "levelname\\scenes\\%s", offer.name);
      line += u' ';
      if (!Frame2D_AppendText(&line, name))
        for (const char* c = offer.name; *c; c++) line += char16_t(uint8_t(*c));
      Frame2D_TextStyle(kHudTextSize);
      Print_TextBoxW(kPromptBox[0], kPromptBox[1], kPromptBox[2], kPromptBox[3], line.c_str());
      break;
    }
    default:
      break;
  }
}

// A character the use key would talk to: one with a dialogue, or a stranger with its voice lines.
bool Frame2D_Talkable(const GameObject* c) {
  if (c->person.state != 1) return false;
  return c->person.dialogueCue[0] || (c->gender >= 0 && c->gender <= 1 && c->voiceSet >= 0 && c->voiceSet < 16);
}

// The talk marker with the character's visible name.
void Frame2D_TalkMarker(const GameObject* c) {
  Frame2D_Marker(g_talk);
  char key[96];
  std::snprintf(key, sizeof key, "personages\\%s", c->person.name);
  if (!c->person.name[0] || !Text_GetRaw("data\\text\\", key))
    std::snprintf(key, sizeof key, "personages\\%s", c->gender == 1 ? "__strangerFemale__" : "__stranger__");
  Frame2D_TextStyle(kHudTextSize);
  Text_Draw("data\\text\\", key, kNameBox[0], kNameBox[1], kNameBox[2], kNameBox[3]);
}

// The hint to talk with a weapon in hand: in its own style, just above the talk marker and clear
// of the HUD's lines at the bottom left.
void Frame2D_TalkHint() {
  Frame2D_TextStyle(kHudMessageSize, 1, 1, 1, 0.8f);
  Text_Draw("data\\text\\", "dialogs\\hold_weapon_for_talk", kTalkHintBox[0], kTalkHintBox[1], kTalkHintBox[2],
            kTalkHintBox[3]);
}

// The use target's prompts and the markers of the actions in reach. A dead hero uses nothing, so
// he is offered nothing.
void Frame2D_UsePrompts(const GameObject* player) {
  uint32_t markers = Game_PlayScreen.markers;
  const bool dead = player->person.state == 2;
  if (const GameObject* c = dead ? nullptr : player->useTargetCharacter) {
    const int car = c->person.carIndex;
    if (c->person.state == 2 && c->classNum == NPC) {
      if (!(c->bot.aiFlags & BOT_NO_SEARCH)) markers |= PLAYMARK_SEARCH;
    } else if (car > 0 && car < kCarDefs) {
      // A parked car: the drive prompt, or the key it wants.
      if (player->person.carIndex == 0) {
        int key = Def_Cars[car].key[0] ? Def_FindItem(Def_Cars[car].key) : -1;
        bool locked = Def_Cars[car].key[0] && (key < 0 || !Inv_HasItem(&player->person, INV_ITEM, key));
        Frame2D_Prompt(locked ? "consol\\You do not have the key" : "consol\\Press use key to drive");
      }
    } else if (Frame2D_Talkable(c)) {
      Frame2D_TalkMarker(c);
      // A partner with a dialogue, the hero's weapon in hand: the hint to talk anyway.
      if (c->person.dialogueCue[0] && player->person.equippedKind == INV_WEAPON) Frame2D_TalkHint();
    }
  }
  if (const GameObject* o = dead ? nullptr : player->useTargetObject) {
    const char* text = o->person.itemText;
    char keyword[16];
    const char* rest = nullptr;
    if (o->classNum == WORLD && text[0]) {
      if (Par_NextBracketTokenTo(text, &rest, keyword, sizeof keyword) && strcasecmp(keyword, "hack") == 0) {
        if (Game_NetMode == 0) markers |= PLAYMARK_HACK;
      } else {
        Frame2D_UseTextPrompt(player, text);
      }
    }
  }
  for (int i = 0; i < 4; i++)
    if (markers & (1u << i)) Frame2D_Marker(g_markers[i]);
}

// The subtitle of the last voiced line, for three seconds after it started.
void Frame2D_Subtitle() {
  const PlayScreenState& s = Game_PlayScreen;
  if (!s.subtitleKey[0] || !(Game_Time < s.subtitleStart + kSubtitleSeconds) || Game_Time < s.subtitleStart) return;
  Frame2D_TextStyle(kHudTextSize);
  Text_Draw("data\\text\\", s.subtitleKey, 100, 10, 540, 480);
}

// The quests' status text while its time runs.
void Frame2D_StatusText() {
  const PlayScreenState& s = Game_PlayScreen;
  if (!s.statusKey[0] || !(s.statusStart + double(s.statusDuration) > Game_Time)) return;
  Frame2D_TextStyle(24, s.statusColor[0] / 255.0f, s.statusColor[1] / 255.0f, s.statusColor[2] / 255.0f,
                    s.statusColor[3] / 255.0f);
  Text_Draw("data\\text\\", s.statusKey, 120, 340, 520, 480);
}

void Frame2D_BlackBars() {
  static Picture black{};  // material 0 draws untextured
  black.width = black.height = 1;
  Draw2D_PictureSized(0, 0, 640, 60, &black, 1, Color8{0, 0, 0, 255});
  Draw2D_PictureSized(0, 420, 640, 60, &black, 1, Color8{0, 0, 0, 255});
}

void Frame2D_Movie() {
  if (Game_Movie && Movie_UpdateWmv(Game_Movie))
    Movie_DrawWmv(Game_Movie, nullptr);
  else
    Game_EndMovie();
}

}  // namespace

void Game_Draw2D() {
  GameObject* player = Obj_Player;
  if (Game_MenuOpen) {
    Menu_Draw();
  } else if (Game_NetMode != 0 && player) {
    Frame2D_EffectSprites(player);
    Frame2D_Crosshair(player);
    Hud_Draw();
  } else if (Game_FullScreenMode != FULLSCREEN_NONE) {
    if (Game_FullScreenMode == FULLSCREEN_MOVIE)
      Frame2D_Movie();
    else
      TS_Draw();
  } else if (Game_PanelOpen) {
    Panel_DrawAll();
  } else if (!player) {
    // nothing
  } else if (player->camera.mode == 2) {
    Frame2D_BlackBars();
  } else {
    if (Game_Paused) {
      Frame2D_TextStyle(kPausedTextSize);
      Text_Draw("data\\text\\", "consol\\paused", kPausedBox[0], kPausedBox[1], kPausedBox[2], kPausedBox[3]);
    }
    if (Dialog_Open) {
      Dialog_Draw();
    } else {
      Frame2D_EffectSprites(player);
      if (Game_MissionFailed) Text_Draw("data\\text\\", "consol\\mission failed", 120, 200, 520, 280);
      // The map lies under the crosshair, the prompts, the subtitle and the HUD.
      if (MapScreen_Open) MapScreen_Draw();
      Frame2D_Crosshair(player);
      Frame2D_UsePrompts(player);
      Frame2D_Subtitle();
      Hud_Draw();
      Frame2D_StatusText();
    }
  }
  Hud_DrawMessageLines();
  if (Game_MenuOpen || Dialog_Open || Game_PanelOpen)
    Draw2D_PictureAt(Game_CursorX, Game_CursorY, Frame2D_Picture(g_cursor), 1, Color8{255, 255, 255, 255});
}

#include "world/frame2d.h"

#include "foundation/var.h"
#include "hud/hud.h"
#include "quests/dialog.h"
#include "render/draw2d.h"
#include "render/render.h"
#include "foundation/text.h"
#include "render/video.h"
#include "ui/menu.h"
#include "world/game.h"
#include "world/object.h"

namespace {

// Pictures by name, loaded on first use and looked up again when the textures were reset.
struct NamedPicture {
  const char* name;
  Picture picture;
  bool tried;
};

const Picture* Frame2D_Picture(NamedPicture& p) {
  if (!p.tried || p.picture.material == 0) {
    p.tried = true;
    Draw2D_LoadPicture(p.name, &p.picture);
  }
  return &p.picture;
}

NamedPicture g_stealth{"sprites\\stealth", {}, false};
NamedPicture g_galahaste{"sprites\\galahaste", {}, false};
NamedPicture g_damage{"sprites\\damage", {}, false};
NamedPicture g_cross1bg{"sprites\\SBar\\cross1bg", {}, false};
NamedPicture g_cross1{"sprites\\SBar\\cross1", {}, false};
NamedPicture g_cross2bg{"sprites\\SBar\\cross2bg", {}, false};
NamedPicture g_cross2{"sprites\\SBar\\cross2", {}, false};
NamedPicture g_crosshairs[4] = {{"sprites\\SBar\\cross0", {}, false},
                                {"sprites\\SBar\\cross00", {}, false},
                                {"sprites\\SBar\\cross000", {}, false},
                                {"sprites\\SBar\\cross0000", {}, false}};
NamedPicture g_cursor{"sprites\\Menu\\cursor", {}, false};

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
    if (Game_Paused) Text_Draw("data\\text\\", "consol\\paused", 120, 200, 520, 280);
    if (Dialog_Open) {
      Dialog_Draw();
    } else {
      Frame2D_EffectSprites(player);
      if (Game_MissionFailed) Text_Draw("data\\text\\", "consol\\mission failed", 120, 200, 520, 280);
      if (MapScreen_Open) MapScreen_Draw();
      Frame2D_Crosshair(player);
      Hud_Draw();
    }
  }
  Hud_DrawMessageLines();
  if (Game_MenuOpen || Dialog_Open || Game_PanelOpen) Centred(g_cursor);
}

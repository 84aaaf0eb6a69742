#include "scene/view.h"

#include "render/material.h"
#include "render/render.h"
#include "world/game.h"

void View_ResetRenderState() {
  Material_Bind(1, 0, 0.0, 2);
  Material_Bind(0, 0, 0.0, 2);
  Render_SetPolygonMode(2);
  Render_SetCull(0);
  Render_SetLighting(0);
  Render_SetFogEnable(0);
  Level_FogFlag = 0;
  Render_SetPerspective(90.0f, 32000.0f, 1.0f);
  static const float kZero[3] = {0, 0, 0};
  Render_SetCamera(kZero, kZero);
  Render_SetBlend(5);
}

ViewDialogueEyes View_DialogueEyes;
void View_Setup(ViewParams*, int) {}
int View_BoxOutside(const ViewPlane*, const float[6], const vec3*) { return 0; }
void View_RenderWorld(ViewParams*) {}
void View_DrawEffects(ViewParams*) {}
void View_ForgetMissingModels() {}

#include "support/lit_scene.h"

#include <cstdio>
#include <cstdlib>
#include <cstring>

#include "foundation/var.h"
#include "platform/gl_dispatch.h"
#include "render/render.h"
#include "scene/du.h"
#include "scene/lighting.h"

namespace tw_test {

namespace {

VarRecord* const kSettings[8] = {&render_bump_shadows, &render_bump_fast, &render_bump_clear, &render_bump_r200,
                                 &render_bump_r300, &render_bump_attenuation, &render_bump_nv10, &render_bump_nv20};

}  // namespace

BumpSettings::BumpSettings() {
  for (int i = 0; i < 8; ++i) saved_[i] = kSettings[i]->value;
  std::snprintf(varType_, sizeof varType_, "%s", render_var_type.text);
}

BumpSettings::~BumpSettings() {
  for (int i = 0; i < 8; ++i) Var_SetValue(kSettings[i], saved_[i]);
  Var_SetText(&render_var_type, varType_);
}

ModelDrawParams* LitScene_NewParams(float x, float y, float z) {
  auto* p = static_cast<ModelDrawParams*>(std::calloc(1, sizeof(ModelDrawParams)));
  p->position = {x, y, z};
  p->scale = {1, 1, 1};
  p->drawValues[0] = 1.0f;
  return p;
}

void LitScene_FreeParams(ModelDrawParams* params) { std::free(params); }

LitImage LitScene_Draw(LitScene* scene, int width, int height) {
  ViewParams& view = scene->view;
  view = ViewParams{};
  view.position = scene->eye;
  view.angles = scene->angles;
  view.zoom = 1.0f;
  view.fov = scene->fov;
  view.poseBlend = 1.0f;
  View_Setup(&view, 0);
  for (ViewLight& l : scene->lights) l.litCount = 0;
  view.lights = scene->lights.data();
  view.lightCount = int32_t(scene->lights.size());

  Render_BeginFrame(0, 0, width, height);
  gl.glViewport(0, 0, width, height);
  gl.glScissor(0, 0, width, height);
  Render_Clear(1, scene->clear[0], scene->clear[1], scene->clear[2]);
  Render_ClearStencil(128);
  Render_SetPerspective(view.fov, view.farDistance, 1.0f);
  Render_SetCamera(&view.angles.x, &view.position.x);
  auto drawAll = [&](int pass) {
    view.pass = pass;
    for (const LitInstance& inst : scene->instances) inst.model->Draw(inst.model, inst.params, &view);
  };
  auto drawLevel = [&](int pass) {
    view.pass = pass;
    scene->level.model->Draw(scene->level.model, scene->level.params, &view);
  };
  const auto* level = scene->level.model ? static_cast<const DuLevel*>(scene->level.model->data) : nullptr;
  if (level && level->lightPath == kPathNV20 && render_bump_fast.value == 0.0f) {
    // The level's NV20 passes light one light and draw no BU model: the driver runs each
    // light's volumes, the level's pass and the models' pass.
    drawLevel(0);
    drawAll(0);
    drawLevel(2);
    for (int i = 0; i < view.lightCount; ++i) {
      Render_ClearStencil(128);
      drawAll(4 + 2 * i);
      drawLevel(5 + 2 * i);
      drawAll(5 + 2 * i);
    }
  } else if (scene->level.model) {
    drawLevel(0);
    drawAll(0);
    drawLevel(2);
    drawLevel(5);
  } else {
    drawAll(0);
    for (int i = 0; i < view.lightCount; ++i) {
      Render_ClearStencil(128);
      drawAll(4 + 2 * i);
      drawAll(5 + 2 * i);
    }
  }
  LitImage img;
  img.width = width;
  img.height = height;
  img.rgba.resize(size_t(width) * height * 4);
  img.stencil.resize(size_t(width) * height);
  gl.glPixelStorei(GL_PACK_ALIGNMENT, 1);
  gl.glReadPixels(0, 0, width, height, GL_RGBA, GL_UNSIGNED_BYTE, img.rgba.data());
  gl.glReadPixels(0, 0, width, height, GL_STENCIL_INDEX, GL_UNSIGNED_BYTE, img.stencil.data());
  return img;
}

}  // namespace tw_test

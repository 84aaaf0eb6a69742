// The sample game's hero as the player object loads, poses and draws it: standing and dead
// read back as different pictures.
#include <gtest/gtest.h>

#include <cstdio>
#include <cstdlib>

#include "characters/player.h"
#include "foundation/var.h"
#include "platform/window.h"
#include "render/render.h"
#include "render/texture.h"
#include "render/vertexarray.h"
#include "scene/view.h"
#include "support/render_support.h"
#include "world/game.h"
#include "world/object.h"
#include "world/tick.h"

namespace {

class HeroGl : public tw_test::SampleGameGlTest {
 protected:
  void SetUp() override {
    SampleGameGlTest::SetUp();
    if (Stopped()) return;
    StartOpenGl();
    if (HasFatalFailure()) return;
    OPENGL_AllocVar();
  }
  // The world pass's four passes over the object, from the side at chest height.
  static tw_test::Picture Draw(GameObject* hero) {
    ViewParams v{};
    v.position = vec3{80, 0, 32};
    vec3 dir{-1, 0, 0};
    Vec_ToAngles(&dir, &v.angles);
    v.zoom = 1;
    View_Setup(&v, 1);
    Render_BeginFrame(0, 0, Render_ScreenWidth, Render_ScreenHeight);
    Render_Clear(1, 0.2f, 0.3f, 0.4f);
    Render_SetPerspective(90, 2000, 4);
    Render_SetCamera(&v.angles.x, &v.position.x);
    for (int pass = 0; pass < 4; pass++) {
      v.pass = pass;
      hero->slots.Draw(hero, &v);
    }
    return tw_test::ReadScreenAndEndFrame();
  }
};

TEST_F(HeroGl, StandingAndDeadPosesDrawDifferently) {
  GameObject* hero = Obj_Alloc();
  std::snprintf(hero->person.name, sizeof hero->person.name, "Jaxtorvin");
  hero->classNum = MACHINEPLAYER;
  Load_ObjectX(hero);
  hero->flags |= OBJ_ACTIVE;
  ASSERT_NE(hero->drawModel, nullptr);
  ASSERT_NE(hero->skeleton, nullptr);
  hero->person.onGround = 1;
  Game_TickFrame = DemoFrame{0.1f, 0, 0, 0};
  hero->slots.Animate(hero);
  EXPECT_EQ(hero->person.anim, ANIM_IDLE);
  tw_test::Picture standing = Draw(hero);
  hero->person.state = 2;
  hero->slots.Animate(hero);  // the death animation starts
  Game_TickFrame = DemoFrame{2.0f, 0, 0, 0};
  hero->slots.Animate(hero);  // and has ended
  EXPECT_EQ(hero->person.anim, ANIM_DEAD);
  tw_test::Picture dead = Draw(hero);
  int covered = 0, changed = 0;
  for (size_t k = 0; k < standing.bgra.size(); k += 4) {
    covered += standing.bgra[k + 1] != standing.bgra[1] || standing.bgra[k] != standing.bgra[0];
    changed += std::abs(standing.bgra[k + 1] - dead.bgra[k + 1]) > 30;
  }
  EXPECT_GT(covered, 2000) << "the hero stands in the view";
  EXPECT_GT(changed, 1000) << "the dead hero lies elsewhere";
}

}  // namespace

// A remote player's body on screen: near, its first band's model shows; far, where its band has
// no model, nothing is drawn.
#include <gtest/gtest.h>

#include "render/render.h"
#include "render/texture.h"
#include "render/vertexarray.h"
#include "scene/model.h"
#include "scene/view.h"
#include "support/render_support.h"
#include "tools/image_writer.h"
#include "tools/model_writer.h"
#include "world/netplayer.h"
#include "world/object.h"
#include "world/start.h"

namespace {

class NetBodyGl : public tw_test::GlWindowTest {
 protected:
  static void SetUpTestSuite() { StartSuite("network body test"); }
  void SetUp() override {
    GlWindowTest::SetUp();
    if (IsSkipped()) return;
    OPENGL_AllocVar();
    Model_Reset();
    Model_AddLoader(mp_CreateModel);
    // The first band's model: a flat 60 x 60 box facing -y, textured orange.
    tw_test::WriteBytes("textures/orange.tga", ImageTool_WriteTGA(ImageTool_Solid(8, 8, 20, 140, 250, 255), 24));
    MpToolModel m;
    m.shaders.resize(1);
    m.shaders[0].name = "paint";
    m.shaders[0].slots[0].name = "orange";
    m.frames.push_back(MpToolFrame{"root", {}, {0, 0, 0}});
    m.objects.resize(1);
    std::vector<MpToolVertex> v;
    std::vector<uint16_t> triangles;
    MpTool_Box({-30, -1, -30}, {30, 1, 30}, v, triangles);
    MpTool_AddPie(m.objects[0], 1, 0, v, triangles);
    tw_test::WriteBytes("anim/jaxtorvin/jaxtorvin_0.mp", MpTool_Write(m));
  }
  void TearDown() override {
    if (!up_) return;
    Obj_ClearAll();
    Model_Reset();
    GlWindowTest::TearDown();
  }
  // The centre pixel after drawing the body seen from the origin along +y.
  static void Centre(GameObject* body, uint8_t rgb[3]) {
    ViewParams v{};
    v.zoom = 1.5f;
    View_Setup(&v, 1);
    Render_BeginFrame(0, 0, Render_ScreenWidth, Render_ScreenHeight);
    Render_Clear(1, 0, 0, 0);
    Render_SetPerspective(v.fov, 10000, 1);
    Render_SetCamera(&v.angles.x, &v.position.x);
    NetPlayer_Draw(body, &v);
    uint8_t p[4] = {};
    Render_ReadPixels(Render_ScreenWidth / 2, Render_ScreenHeight / 2, 1, 1, p);
    Render_EndFrame(1, 1);
    rgb[0] = p[2], rgb[1] = p[1], rgb[2] = p[0];
  }
};

TEST_F(NetBodyGl, DrawnInTheFirstBandNotInAnEmptyOne) {
  const struct {
    float y;
    bool drawn;
  } rows[] = {{100, true}, {900, false}};  // x 1024 / 800: 128 lies in band 0, 1152 in band 3
  for (const auto& r : rows) {
    vec3 at{0, r.y, 0}, still{}, angles{};
    GameObject* body = NetPlayer_Spawn(nullptr, 7, 0, "peer", &at, &still, &angles);
    ASSERT_NE(body, nullptr);
    uint8_t rgb[3];
    Centre(body, rgb);
    if (r.drawn) {
      EXPECT_NEAR(rgb[0], 250, 3);
      EXPECT_NEAR(rgb[1], 140, 3);
      EXPECT_NEAR(rgb[2], 20, 3);
    } else {
      EXPECT_EQ(rgb[0] + rgb[1] + rgb[2], 0) << "drawn at " << r.y;
    }
    Obj_ClearAll();
  }
}

}  // namespace

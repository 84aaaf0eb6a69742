// The pure parts of the Direct3D 8 back end and its device layer: vertex sizes, the matrix
// helpers and stack, the perspective matrix, the texel offset, error names, DDS headers, and
// calls made without a device.
#include <gtest/gtest.h>

#include <cmath>
#include <cstring>
#include <string>
#include <vector>

#include "foundation/log.h"
#include "foundation/mem.h"
#include "foundation/sys.h"
#include "platform/d3d8dev.h"
#include "render/render.h"
#include "render/render_d3d8.h"
#include "support/test_support.h"
#include "tools/image_writer.h"

namespace {

void Transform(const DevMatrix& m, const float in[4], float out[4]) {
  for (int c = 0; c < 4; ++c) out[c] = in[0] * m.m[c] + in[1] * m.m[4 + c] + in[2] * m.m[8 + c] + in[3] * m.m[12 + c];
}

TEST(D3d8Layer, VertexSizesFromFormatCodes) {
  EXPECT_EQ(Dev_VertexSize(0x142), 24);  // position, colour, one texture pair
  EXPECT_EQ(Dev_VertexSize(0x112), 32);  // position, normal, one texture pair
  EXPECT_EQ(Dev_VertexSize(0x252), 44);  // position, normal, colour, two texture pairs
  EXPECT_EQ(Dev_VertexSize(DEVFVF_XYZ), 12);
  EXPECT_EQ(Dev_VertexSize(DEVFVF_XYZ | DEVFVF_SPECULAR | DEVFVF_PSIZE), 20);
  // Set sizes: set 0 of three floats, set 1 of one float.
  EXPECT_EQ(Dev_VertexSize(DEVFVF_XYZ | DEVFVF_TEX2 | (1u << 16) | (3u << 18)), 12 + 12 + 4);
  EXPECT_EQ(Dev_VertexSize(0), 0);
  EXPECT_EQ(Dev_VertexSize(DEVFVF_NORMAL), 0);
}

TEST(D3d8Layer, PerspectiveMatrixByHand) {
  DevMatrix m;
  // 90 degrees vertical, aspect 4/3, near 1, far 100.
  Dev_MatrixPerspectiveFovRH(&m, float(M_PI / 2), 4.0f / 3.0f, 1.0f, 100.0f);
  const float want[16] = {0.75f, 0, 0, 0, 0, 1, 0, 0, 0, 0, 100.0f / -99.0f, -1, 0, 0, 100.0f / -99.0f, 0};
  for (int i = 0; i < 16; ++i) EXPECT_NEAR(m.m[i], want[i], 1e-6) << i;
  // Depth 0 at the near plane and 1 at the far plane (the view looks down -z).
  float nearPt[4] = {0, 0, -1, 1}, farPt[4] = {0, 0, -100, 1}, out[4];
  Transform(m, nearPt, out);
  EXPECT_NEAR(out[2] / out[3], 0.0f, 1e-6);
  Transform(m, farPt, out);
  EXPECT_NEAR(out[2] / out[3], 1.0f, 1e-5);
}

TEST(D3d8Layer, MatrixStackAppliesLocalTransformsFirst) {
  DevMatrixStack* s = nullptr;
  ASSERT_EQ(Dev_CreateMatrixStack(&s), DEV_OK);
  // Translate then scale, local: a point is scaled first, then moved.
  Dev_StackTranslateLocal(s, 10, 0, 0);
  Dev_StackScaleLocal(s, 2, 2, 2);
  float p[4] = {1, 1, 1, 1}, out[4];
  Transform(*Dev_StackGetTop(s), p, out);
  EXPECT_FLOAT_EQ(out[0], 12);
  EXPECT_FLOAT_EQ(out[1], 2);
  // Push keeps a copy; a rotation of 90 degrees about z turns x into y (counter-clockwise).
  ASSERT_EQ(Dev_StackPush(s), DEV_OK);
  Dev_StackLoadIdentity(s);
  const float z[3] = {0, 0, 5};
  Dev_StackRotateAxisLocal(s, z, float(M_PI / 2));
  float x[4] = {1, 0, 0, 1};
  Transform(*Dev_StackGetTop(s), x, out);
  EXPECT_NEAR(out[0], 0, 1e-6);
  EXPECT_NEAR(out[1], 1, 1e-6);
  ASSERT_EQ(Dev_StackPop(s), DEV_OK);
  Transform(*Dev_StackGetTop(s), p, out);
  EXPECT_FLOAT_EQ(out[0], 12);
  // The last matrix cannot be popped; deep pushes grow the stack.
  EXPECT_EQ(Dev_StackPop(s), DEV_ERR_INVALIDCALL);
  for (int i = 0; i < 100; ++i) ASSERT_EQ(Dev_StackPush(s), DEV_OK);
  for (int i = 0; i < 100; ++i) ASSERT_EQ(Dev_StackPop(s), DEV_OK);
  Transform(*Dev_StackGetTop(s), p, out);
  EXPECT_FLOAT_EQ(out[0], 12);
  // A row-major matrix for row vectors: the translation is the fourth row.
  DevMatrix m = {{1, 0, 0, 0, 0, 1, 0, 0, 0, 0, 1, 0, 3, 4, 5, 1}};
  Dev_StackLoadIdentity(s);
  Dev_StackMultMatrixLocal(s, &m);
  EXPECT_FLOAT_EQ(Dev_StackGetTop(s)->m[13], 4);
  Dev_ReleaseMatrixStack(s);
}

TEST(D3d8Layer, MultiplyIsRowMajor) {
  DevMatrix t, sc, r;
  Dev_MatrixTranslation(&t, 1, 2, 3);
  Dev_MatrixScaling(&sc, 2, 2, 2);
  Dev_MatrixMultiply(&r, &t, &sc);  // translate, then scale
  EXPECT_FLOAT_EQ(r.m[12], 2);
  EXPECT_FLOAT_EQ(r.m[13], 4);
  EXPECT_FLOAT_EQ(r.m[14], 6);
}

TEST(D3d8Layer, DdsHeaderChecks) {
  std::vector<uint8_t> dds = ImageTool_MakeDDS(ImageTool_Pattern(256, 64, 1, false), 0x83F3, 9);
  DevDdsInfo info;
  ASSERT_EQ(Dev_ReadDdsHeader(dds.data(), dds.size(), 0, &info), DEV_OK);
  EXPECT_EQ(info.width, 256);
  EXPECT_EQ(info.height, 64);
  EXPECT_EQ(info.levels, 9);
  EXPECT_EQ(info.format, uint32_t(DEVFMT_DXT5));
  EXPECT_EQ(info.dataBytes, size_t(16384 + 4096 + 1024 + 256 + 64 + 32 + 16 + 16 + 16));
  ASSERT_EQ(Dev_ReadDdsHeader(dds.data(), dds.size(), 1, &info), DEV_OK);
  EXPECT_EQ(info.levels, 1);
  EXPECT_EQ(info.dataBytes, size_t(16384));
  // Cut short, or of another kind: refused.
  EXPECT_EQ(Dev_ReadDdsHeader(dds.data(), dds.size() - 1, 0, &info), DEV_ERR_INVALIDCALL);
  EXPECT_EQ(Dev_ReadDdsHeader(dds.data(), 128 + 16383, 1, &info), DEV_ERR_INVALIDCALL);
  std::vector<uint8_t> other = dds;
  std::memcpy(&other[84], "DXT2", 4);
  EXPECT_EQ(Dev_ReadDdsHeader(other.data(), other.size(), 0, &info), DEV_ERR_INVALIDCALL);
  EXPECT_EQ(Dev_ReadDdsHeader(dds.data(), 100, 0, &info), DEV_ERR_INVALIDCALL);
  // More levels claimed than the chain has: only the chain is read.
  std::vector<uint8_t> many = ImageTool_MakeDDS(ImageTool_Pattern(4, 4, 2, false), 0x83F0, 3);
  many[28] = 200;
  ASSERT_EQ(Dev_ReadDdsHeader(many.data(), many.size(), 0, &info), DEV_OK);
  EXPECT_EQ(info.levels, 3);
}

TEST(D3d8Layer, CallsWithoutADeviceAreRefused) {
  ASSERT_EQ(Dev_HaveDevice(), 0);
  uint32_t h = 123;
  EXPECT_EQ(Dev_SetRenderState(DEVRS_ZENABLE, 1), DEV_ERR_INVALIDCALL);
  EXPECT_EQ(Dev_CreateTexture(4, 4, 1, DEVFMT_A8R8G8B8, &h), DEV_ERR_INVALIDCALL);
  EXPECT_EQ(h, 0u);
  EXPECT_EQ(Dev_CreateVertexBuffer(64, 0x112, &h), DEV_ERR_INVALIDCALL);
  EXPECT_EQ(Dev_Present(), DEV_ERR_INVALIDCALL);
  EXPECT_EQ(Dev_DrawPrimitiveUP(DEVPT_TRIANGLELIST, 1, &h, 24), DEV_ERR_INVALIDCALL);
  uint8_t* bits = nullptr;
  int pitch = 0;
  EXPECT_EQ(Dev_LockRect(77, 0, &bits, &pitch, 0), DEV_ERR_INVALIDCALL);
  Dev_Release(77);  // unknown: ignored
  EXPECT_EQ(Dev_ObjectCount(), 0);
}

class D3d8Backend : public ::testing::Test {
 protected:
  void SetUp() override {
    saved_ = Sys_Debug;
    Sys_Debug.openLog = 1;
    Log_Open();
  }
  void TearDown() override {
    RenderApi = RENDER_API_NONE;
    Log_Close();
    Sys_Debug = saved_;
  }
  std::string Log() { return tw_test::ReadFile("log"); }
  tw_test::TempDir dir_;
  DebugSwitches saved_{};
};

TEST_F(D3d8Backend, TexelOffsetIsHalfATexel) {
  float out[2] = {9, 9};
  Render_GetTexelOffset(256, 128, out);  // no back end: none
  EXPECT_EQ(out[0], 0.0f);
  RenderApi = RENDER_API_D3D8;
  Render_GetTexelOffset(256, 128, out);
  EXPECT_FLOAT_EQ(out[0], 0.001953125f);
  EXPECT_FLOAT_EQ(out[1], 0.00390625f);
  Render_GetTexelOffset(0, 128, out);
  EXPECT_EQ(out[0], 0.0f);
  EXPECT_EQ(out[1], 0.0f);
}

TEST_F(D3d8Backend, ErrorNames) {
  D3D8_LogError(DEV_ERR_INVALIDCALL);
  D3D8_LogError(DEV_ERR_DEVICELOST);
  D3D8_LogError(DEV_ERR_WRONGTEXTUREFORMAT);
  D3D8_LogError(DEV_ERR_DRIVERINVALIDCALL);
  D3D8_LogError(DEV_OK);
  D3D8_LogError(9999);
  D3D8_LogError(-5);
  EXPECT_EQ(Log(), "D3DERR_INVALIDCALL\nD3DERR_DEVICELOST\nD3DERR_WRONGTEXTUREFORMAT\nD3DERR_DRIVERINVALIDCALL\n");
}

TEST_F(D3d8Backend, TwinsDoNothingWithoutTheirBackEnd) {
  EXPECT_EQ(D3D8_CreateVertexBuffer(64, 0), 0u);
  EXPECT_EQ(D3D8_CreateIndexBuffer(64), 0u);
  EXPECT_EQ(D3D8_TextureFileExists("anything"), 0);
  EXPECT_EQ(D3D8_CreateTexture(2, 2, 0x80E1, "12345678abcdefgh", 1), 0u);
  D3D8_Clear(1, 1, 1, 1);
  D3D8_SetBlend(3);
  int x = 5, y = 5, w = 5, hgt = 5;
  D3D8_GetViewport(&x, &y, &w, &hgt);
  EXPECT_EQ(x, 0);
  EXPECT_EQ(w, 0);
  EXPECT_EQ(Log(), "");
}

}  // namespace

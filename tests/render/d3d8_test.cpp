// The pure parts of the Direct3D 8 back end and its device layer: vertex sizes, the matrix
// helpers and stack, the perspective matrix, the texel offset, error names, DDS headers, and
// calls made without a device.
#include <gtest/gtest.h>

#include <cmath>
#include <cstring>
#include <string>
#include <vector>

#include "foundation/log.h"
#include "platform/d3d8dev.h"
#include "render/render.h"
#include "render/render_d3d8.h"
#include "support/test_support.h"
#include "tools/image_writer.h"

namespace {

// A row vector through a row-major matrix; returns {x, y, z, w}.
std::vector<float> Transform(const DevMatrix& m, std::vector<float> in) {
  std::vector<float> out(4);
  for (int c = 0; c < 4; ++c) out[c] = in[0] * m.m[c] + in[1] * m.m[4 + c] + in[2] * m.m[8 + c] + in[3] * m.m[12 + c];
  return out;
}

TEST(D3d8Layer, VertexSizesFromFormatCodes) {
  const std::pair<uint32_t, int> sizes[] = {
      {0x142, 24},  // position, colour, one texture pair
      {0x252, 44},  // position, normal, colour, two texture pairs
      {DEVFVF_XYZ | DEVFVF_SPECULAR | DEVFVF_PSIZE, 20},
      {DEVFVF_XYZ | DEVFVF_TEX2 | (1u << 16) | (3u << 18), 12 + 12 + 4},  // set 0 of three floats, set 1 of one
      {0, 0},
      {DEVFVF_NORMAL, 0}};
  for (auto [fvf, size] : sizes) EXPECT_EQ(Dev_VertexSize(fvf), size) << std::hex << fvf;
}

TEST(D3d8Layer, PerspectiveStackAndMultiplyAgainstHandComputedPoints) {
  DevMatrix m;
  // 90 degrees vertical, aspect 4/3, near 1, far 100: near maps to depth 0, far to 1.
  Dev_MatrixPerspectiveFovRH(&m, float(M_PI / 2), 4.0f / 3.0f, 1.0f, 100.0f);
  EXPECT_NEAR(m.m[0], 0.75f, 1e-6);  // the aspect divides x
  std::vector<float> nearPt = Transform(m, {0, 0, -1, 1}), farPt = Transform(m, {0, 0, -100, 1});  // looking down -z
  EXPECT_NEAR(nearPt[2] / nearPt[3], 0.0f, 1e-6);
  EXPECT_NEAR(farPt[2] / farPt[3], 1.0f, 1e-5);
  DevMatrixStack* s = nullptr;
  ASSERT_EQ(Dev_CreateMatrixStack(&s), DEV_OK);
  // Translate then scale, local: a point is scaled first, then moved.
  Dev_StackTranslateLocal(s, 10, 0, 0);
  Dev_StackScaleLocal(s, 2, 2, 2);
  EXPECT_EQ(Transform(*Dev_StackGetTop(s), {1, 1, 1, 1}), std::vector<float>({12, 2, 2, 1}));
  // Push keeps a copy; a rotation of 90 degrees about z turns x into y (counter-clockwise).
  ASSERT_EQ(Dev_StackPush(s), DEV_OK);
  Dev_StackLoadIdentity(s);
  const float z[3] = {0, 0, 5};
  Dev_StackRotateAxisLocal(s, z, float(M_PI / 2));
  std::vector<float> y = Transform(*Dev_StackGetTop(s), {1, 0, 0, 1});
  EXPECT_NEAR(y[0], 0, 1e-6);
  EXPECT_NEAR(y[1], 1, 1e-6);
  ASSERT_EQ(Dev_StackPop(s), DEV_OK);
  EXPECT_EQ(Dev_StackPop(s), DEV_ERR_INVALIDCALL);  // the last matrix cannot be popped
  Dev_ReleaseMatrixStack(s);
  DevMatrix t, sc, r;
  Dev_MatrixTranslation(&t, 1, 2, 3);
  Dev_MatrixScaling(&sc, 2, 2, 2);
  Dev_MatrixMultiply(&r, &t, &sc);  // translate, then scale
  EXPECT_EQ(Transform(r, {0, 0, 0, 1}), std::vector<float>({2, 4, 6, 1}));
}

TEST(D3d8Layer, DdsHeaderRefusesShortOrForeignFilesAndReadsOnlyTheChain) {
  std::vector<uint8_t> dds = ImageTool_MakeDDS(ImageTool_Pattern(256, 64, 1, false), 0x83F3, 9);
  DevDdsInfo info;
  ASSERT_EQ(Dev_ReadDdsHeader(dds.data(), dds.size(), 0, &info), DEV_OK);
  EXPECT_EQ(std::vector<int>({info.width, info.height, info.levels}), std::vector<int>({256, 64, 9}));
  EXPECT_EQ(info.format, uint32_t(DEVFMT_DXT5));
  EXPECT_EQ(info.dataBytes, size_t(16384 + 4096 + 1024 + 256 + 64 + 32 + 16 + 16 + 16));
  ASSERT_EQ(Dev_ReadDdsHeader(dds.data(), dds.size(), 1, &info), DEV_OK);
  EXPECT_EQ(info.dataBytes, size_t(16384));
  EXPECT_EQ(Dev_ReadDdsHeader(dds.data(), dds.size() - 1, 0, &info), DEV_ERR_INVALIDCALL);
  std::vector<uint8_t> other = dds;
  std::memcpy(&other[84], "DXT2", 4);
  EXPECT_EQ(Dev_ReadDdsHeader(other.data(), other.size(), 0, &info), DEV_ERR_INVALIDCALL);
  // More levels claimed than the chain has: only the chain is read.
  std::vector<uint8_t> many = ImageTool_MakeDDS(ImageTool_Pattern(4, 4, 2, false), 0x83F0, 3);
  many[28] = 200;
  ASSERT_EQ(Dev_ReadDdsHeader(many.data(), many.size(), 0, &info), DEV_OK);
  EXPECT_EQ(info.levels, 3);
}

TEST(D3d8Backend, WithoutADeviceCallsAreRefusedQuietlyTexelOffsetsAndErrorNames) {
  float out[2] = {9, 9};
  Render_GetTexelOffset(256, 128, out);  // no back end: none
  EXPECT_EQ(out[0], 0.0f);
  RenderApi = RENDER_API_D3D8;
  Render_GetTexelOffset(256, 128, out);
  EXPECT_EQ(std::vector<float>({out[0], out[1]}), std::vector<float>({0.001953125f, 0.00390625f}));  // half a texel
  RenderApi = RENDER_API_NONE;
  tw_test::TempDir dir;
  Log_Open();
  ASSERT_EQ(Dev_HaveDevice(), 0);
  uint32_t h = 123;
  EXPECT_EQ(Dev_CreateTexture(4, 4, 1, DEVFMT_A8R8G8B8, &h), DEV_ERR_INVALIDCALL);
  EXPECT_EQ(h, 0u);
  EXPECT_EQ(Dev_DrawPrimitiveUP(DEVPT_TRIANGLELIST, 1, &h, 24), DEV_ERR_INVALIDCALL);
  Dev_Release(77);  // unknown: ignored
  EXPECT_EQ(Dev_ObjectCount(), 0);
  EXPECT_EQ(D3D8_CreateVertexBuffer(64, 0), 0u);
  D3D8_Clear(1, 1, 1, 1);
  int x = 5, y = 5, w = 5, hgt = 5;
  D3D8_GetViewport(&x, &y, &w, &hgt);
  EXPECT_EQ(x + w, 0);
  for (int e : {int(DEV_ERR_INVALIDCALL), int(DEV_ERR_DEVICELOST), int(DEV_ERR_WRONGTEXTUREFORMAT), int(DEV_OK), 9999, -5}) D3D8_LogError(e);
  Log_Close();
  // Nothing logged for the calls without a device; the errors by name, unknown codes not at all.
  EXPECT_EQ(tw_test::ReadFile("log"), "D3DERR_INVALIDCALL\nD3DERR_DEVICELOST\nD3DERR_WRONGTEXTUREFORMAT\n");
}

}  // namespace

// The Direct3D 8 back end: every render operation's twin on the device layer (platform/d3d8dev).
// The twins keep the callers' OpenGL conventions: right-handed view, bottom-left viewport origin,
// bottom-up pixel rows, texture coordinates with v upwards for pictures stored bottom row first.
#include "render/render_d3d8.h"

#include <cmath>
#include <cstdio>
#include <cstring>

#include "foundation/file.h"
#include "foundation/log.h"
#include "foundation/mem.h"
#include "foundation/var.h"
#include "platform/d3d8dev.h"
#include "render/image.h"
#include "render/render.h"
#include "render/texture.h"

namespace {

constexpr uint32_t kImmediateFvf = DEVFVF_XYZ | DEVFVF_DIFFUSE | DEVFVF_TEX1;                        // 0x142
constexpr uint32_t kLayout0Fvf = DEVFVF_XYZ | DEVFVF_NORMAL | DEVFVF_TEX1;                           // 0x112
constexpr uint32_t kLayout1Fvf = DEVFVF_XYZ | DEVFVF_NORMAL | DEVFVF_DIFFUSE | DEVFVF_TEX2;          // 0x252
constexpr uint32_t kGlLuminance = 0x1909;
constexpr uint32_t kGlLuminanceAlpha = 0x190A;

DevMatrixStack* g_world;
DevPresentParams g_params;

bool On() { return RenderApi == RENDER_API_D3D8; }

uint32_t LayoutFvf(int layout) { return layout == 0 ? kLayout0Fvf : layout == 1 ? kLayout1Fvf : 0; }

// Logs a failing device call.
void Check(int32_t r) {
  if (r != DEV_OK) D3D8_LogError(r);
}

void Rs(int state, uint32_t value) { Check(Dev_SetRenderState(state, value)); }
void Tss(int stage, int state, uint32_t value) { Check(Dev_SetTextureStageState(stage, state, value)); }

void StageOps(int stage, uint32_t colorOp, uint32_t c1, uint32_t c2, uint32_t alphaOp, uint32_t a1, uint32_t a2) {
  Tss(stage, DEVTSS_COLOROP, colorOp);
  Tss(stage, DEVTSS_COLORARG1, c1);
  Tss(stage, DEVTSS_COLORARG2, c2);
  Tss(stage, DEVTSS_ALPHAOP, alphaOp);
  Tss(stage, DEVTSS_ALPHAARG1, a1);
  Tss(stage, DEVTSS_ALPHAARG2, a2);
}

uint8_t Byte255(float f) {
  float v = f * 255.0f;
  if (!(v > 0.0f)) return 0;
  if (v >= 255.0f) return 255;
  return uint8_t(v);  // truncated
}

void SetWorldFromStack() { Check(Dev_SetTransform(DEVTS_WORLD, Dev_StackGetTop(g_world))); }

void Draw(uint32_t type, const ImmVertex* const* v, int n) {
  uint8_t buf[3 * 24];
  for (int i = 0; i < n; ++i) {
    uint8_t* p = buf + 24 * i;
    float uv[2] = {v[i]->u, UnitFromDds[0] ? v[i]->v : 1.0f - v[i]->v};
    std::memcpy(p, &v[i]->x, 12);
    uint32_t c = uint32_t(v[i]->a) << 24 | uint32_t(v[i]->r) << 16 | uint32_t(v[i]->g) << 8 | v[i]->b;
    p[12] = uint8_t(c);
    p[13] = uint8_t(c >> 8);
    p[14] = uint8_t(c >> 16);
    p[15] = uint8_t(c >> 24);
    std::memcpy(p + 16, uv, 8);
  }
  Check(Dev_DrawPrimitiveUP(type, 1, buf, 24));
}

void Release() {
  if (g_world) {
    Dev_ReleaseMatrixStack(g_world);
    g_world = nullptr;
  }
  Dev_ReleaseDevice();
  Dev_ReleaseAdapter();
  Dev_UnloadLibrary();
}

}  // namespace

// ---- Start and stop, frame ------------------------------------------------------------------------

void D3D8_Start() {
  if (Dev_LoadLibrary() != DEV_OK) {
    Log_Printf("D3D8: Unable found D3D8.DLL\n");
    return;
  }
  if (Dev_FindEntryPoints() != DEV_OK) {
    Log_Printf("D3D8: Unable found Direct3DCreate8\n");
    Release();
    return;
  }
  if (Dev_CreateAdapter() != DEV_OK) {
    Log_Printf("D3D8: Unable Direct3DCreate8\n");
    Release();
    return;
  }
  DevDisplayMode mode{};
  if (Dev_GetAdapterDisplayMode(&mode) != DEV_OK) {
    Log_Printf("D3D8: Unable GetAdapterDisplayMode\n");
    Release();
    return;
  }
  g_params = DevPresentParams{};
  g_params.backBufferFormat = mode.format;
  g_params.backBufferCount = 1;
  g_params.swapEffectDiscard = 1;
  g_params.windowed = 1;
  g_params.autoDepthStencil = 1;
  g_params.autoDepthStencilFormat = DEVFMT_D24X8;
  if (Dev_CreateDevice(&g_params) != DEV_OK) {
    Log_Printf("D3D8: Unable CreateDevice\n");
    Release();
    return;
  }
  RenderApi = RENDER_API_D3D8;
  Check(Dev_CreateMatrixStack(&g_world));
  Log_Printf("D3D8: OK\n");
}

void D3D8_Stop() {
  Release();
  Render_ResetBlock();
}

void D3D8_BeginFrame() {
  if (!On()) return;
  // A frame begun again before it was presented stays in its scene.
  if (!Dev_InScene()) Check(Dev_BeginScene());
  Check(Dev_SetVertexShader(kImmediateFvf));
  Rs(DEVRS_CULLMODE, DEVCULL_NONE);
  Rs(DEVRS_LIGHTING, 0);
  Rs(DEVRS_NORMALIZENORMALS, 1);
  // As the OpenGL frame start: no blending, no alpha test, no texture beyond stage 0.
  Rs(DEVRS_ALPHABLENDENABLE, 0);
  Rs(DEVRS_ALPHATESTENABLE, 0);
  for (int s = 1; s < kDevStages; ++s) Check(Dev_SetTexture(s, 0));
  StageOps(0, DEVTOP_MODULATE, DEVTA_TEXTURE, DEVTA_DIFFUSE, DEVTOP_MODULATE, DEVTA_TEXTURE, DEVTA_DIFFUSE);
  StageOps(1, DEVTOP_MODULATE, DEVTA_TEXTURE, DEVTA_CURRENT, DEVTOP_MODULATE, DEVTA_TEXTURE, DEVTA_CURRENT);
}

void D3D8_EndFrame() {
  if (!On()) return;
  // The first present of the game comes before any frame began.
  if (Dev_InScene()) Check(Dev_EndScene());
  int32_t r = Dev_Present();
  if (r == DEV_ERR_DEVICELOST) {
    // Textures and buffers survive the reset; nothing else is made again.
    if (Dev_TestCooperativeLevel() == DEV_ERR_DEVICENOTRESET) Check(Dev_Reset(&g_params));
  } else {
    Check(r);
  }
}

void D3D8_LogError(int32_t code) {
  static const char* const kNames[DEV_ERR_COUNT] = {
      nullptr,
      "D3DERR_WRONGTEXTUREFORMAT",
      "D3DERR_UNSUPPORTEDCOLOROPERATION",
      "D3DERR_UNSUPPORTEDCOLORARG",
      "D3DERR_UNSUPPORTEDALPHAOPERATION",
      "D3DERR_UNSUPPORTEDALPHAARG",
      "D3DERR_TOOMANYOPERATIONS",
      "D3DERR_CONFLICTINGTEXTUREFILTER",
      "D3DERR_UNSUPPORTEDFACTORVALUE",
      "D3DERR_CONFLICTINGRENDERSTATE",
      "D3DERR_UNSUPPORTEDTEXTUREFILTER",
      "D3DERR_CONFLICTINGTEXTUREPALETTE",
      "D3DERR_DRIVERINTERNALERROR",
      "D3DERR_NOTFOUND",
      "D3DERR_MOREDATA",
      "D3DERR_DEVICELOST",
      "D3DERR_DEVICENOTRESET",
      "D3DERR_NOTAVAILABLE",
      "D3DERR_OUTOFVIDEOMEMORY",
      "D3DERR_INVALIDDEVICE",
      "D3DERR_INVALIDCALL",
      "D3DERR_DRIVERINVALIDCALL",
  };
  if (code <= 0 || code >= DEV_ERR_COUNT) return;
  Log_Printf("%s\n", kNames[code]);
}

void D3D8_ReleaseObject(uint32_t handle) {
  if (handle) Dev_Release(handle);
}

// ---- Clears and fog ----------------------------------------------------------------------------

void D3D8_Clear(int colourAndDepth, float r, float g, float b) {
  if (!On()) return;
  uint32_t flags = DEVCLEAR_ZBUFFER | (colourAndDepth ? uint32_t(DEVCLEAR_TARGET) : 0u);
  uint32_t colour = 0xFF000000u | uint32_t(Byte255(r)) << 16 | uint32_t(Byte255(g)) << 8 | Byte255(b);
  Check(Dev_Clear(flags, colour, render_draworder.value != 0.0f ? 0.0f : 1.0f, 0));
}

void D3D8_ClearStencil(int value) {
  if (!On()) return;
  Check(Dev_Clear(DEVCLEAR_STENCIL, 0, 0.0f, uint32_t(value)));
}

void D3D8_SetFog(float start, float end, const float* colour) {
  if (!On() || !colour) return;
  Rs(DEVRS_FOGVERTEXMODE, DEVFOG_LINEAR);
  Rs(DEVRS_FOGSTART, Dev_FloatBits(start));
  Rs(DEVRS_FOGEND, Dev_FloatBits(end));
  Rs(DEVRS_FOGCOLOR, uint32_t(Byte255(colour[3])) << 24 | uint32_t(Byte255(colour[0])) << 16 |
                         uint32_t(Byte255(colour[1])) << 8 | Byte255(colour[2]));
}

void D3D8_SetFogEnable(int on) {
  if (On()) Rs(DEVRS_FOGENABLE, on ? 1 : 0);
}

// ---- Render and stage state --------------------------------------------------------------------

void D3D8_SetDepthTest(int on) {
  if (On() && (on == 0 || on == 1)) Rs(DEVRS_ZENABLE, uint32_t(on));
}

void D3D8_SetDepthWrite(int on) {
  if (On() && (on == 0 || on == 1)) Rs(DEVRS_ZWRITEENABLE, uint32_t(on));
}

void D3D8_SetDepthFunc(int mode) {
  if (!On()) return;
  switch (mode) {
    case 0: Rs(DEVRS_ZFUNC, DEVCMP_NEVER); break;
    case 1: Rs(DEVRS_ZFUNC, render_draworder.value != 0.0f ? DEVCMP_GREATEREQUAL : DEVCMP_LESSEQUAL); break;
    case 2: Rs(DEVRS_ZFUNC, DEVCMP_ALWAYS); break;
    case 3: Rs(DEVRS_ZFUNC, DEVCMP_EQUAL); break;
    default: break;
  }
}

void D3D8_SetPointSize(float size) {
  if (On()) Rs(DEVRS_POINTSIZE, Dev_FloatBits(size));
}

void D3D8_SetCull(int mode) {
  if (!On()) return;
  Rs(DEVRS_CULLMODE, mode == 1 ? DEVCULL_CCW : mode == 2 ? DEVCULL_CW : DEVCULL_NONE);
}

void D3D8_GetTexelOffset(int width, int height, float* out) {
  if (!out) return;
  if (!On() || width == 0 || height == 0) {
    out[0] = out[1] = 0.0f;
    return;
  }
  out[0] = 0.5f / float(width);
  out[1] = 0.5f / float(height);
}

void D3D8_SetLighting(int on) {
  if (On()) Rs(DEVRS_LIGHTING, on ? 1 : 0);
}

void D3D8_EnableLight(int index, int on) {
  if (On()) Check(Dev_LightEnable(index, on));
}

void D3D8_SetLight(int index, const float* position, const float* ambient, const float* diffuse,
                   const float* specular) {
  if (!On() || !position || !ambient || !diffuse || !specular) return;
  DevLight l{};
  float w = position[3];
  // w 0: a light from the direction of the position (travelling towards the origin); any other
  // w: a point light at the homogeneous position.
  if (w == 0.0f) {
    l.type = DEVLIGHT_DIRECTIONAL;
    for (int i = 0; i < 3; ++i) {
      l.position[i] = position[i];
      l.direction[i] = -position[i];
    }
  } else {
    l.type = DEVLIGHT_POINT;
    for (int i = 0; i < 3; ++i) {
      l.position[i] = position[i] / w;
      l.direction[i] = position[i] / w;
    }
  }
  l.diffuse = {diffuse[0], diffuse[1], diffuse[2], diffuse[3]};
  l.specular = {specular[0], specular[1], specular[2], specular[3]};
  l.ambient = {ambient[0], ambient[1], ambient[2], ambient[3]};
  l.range = 1000000.0f;
  l.attenuation0 = 1.0f;
  Check(Dev_SetLight(index, &l));
}

void D3D8_SetMaterialColor(const float* ambient, const float* diffuse, const float* specular) {
  if (!On() || !ambient || !diffuse || !specular) return;
  DevMaterial m{};
  m.ambient = {ambient[0], ambient[1], ambient[2], ambient[3]};
  m.diffuse = {diffuse[0], diffuse[1], diffuse[2], diffuse[3]};
  m.specular = {specular[0], specular[1], specular[2], specular[3]};
  m.power = 8.0f;
  Check(Dev_SetMaterial(&m));
}

void D3D8_SetPolygonOffset(int on) {
  if (On()) Rs(DEVRS_ZBIAS, on ? 4 : 0);
}

void D3D8_SetColorMask(int r, int g, int b, int a) {
  if (On()) Rs(DEVRS_COLORWRITEENABLE, (r ? 1u : 0u) | (g ? 2u : 0u) | (b ? 4u : 0u) | (a ? 8u : 0u));
}

void D3D8_SetPolygonMode(int mode) {
  if (!On()) return;
  if (mode == 0) Rs(DEVRS_FILLMODE, DEVFILL_POINT);
  else if (mode == 1) Rs(DEVRS_FILLMODE, DEVFILL_WIREFRAME);
  else if (mode == 2) Rs(DEVRS_FILLMODE, DEVFILL_SOLID);
}

void D3D8_SetTexWrap(int unit, int mode) {
  if (!On() || (mode != 0 && mode != 1)) return;
  uint32_t a = mode == 0 ? DEVTADDRESS_CLAMP : DEVTADDRESS_WRAP;
  Tss(unit, DEVTSS_ADDRESSU, a);
  Tss(unit, DEVTSS_ADDRESSV, a);
}

void D3D8_SetStageModulate(int stage, float factor) {
  if (!On()) return;
  uint32_t op = factor == 1.0f ? uint32_t(DEVTOP_MODULATE) : factor == 2.0f ? uint32_t(DEVTOP_MODULATE2X) : 0u;
  if (!op) return;
  Tss(stage, DEVTSS_COLOROP, op);
  // Doubling brightens the colour only (a lightmap's scale, as OpenGL's RGB scale): doubled alpha
  // would make a blended surface, window glass, nearly opaque.
  Tss(stage, DEVTSS_ALPHAOP, DEVTOP_MODULATE);
}

void D3D8_SetBlend(int mode) {
  if (!On()) return;
  static const uint32_t kFuncs[8][2] = {{0, 0},
                                        {DEVBLEND_ONE, DEVBLEND_ONE},
                                        {DEVBLEND_ZERO, DEVBLEND_SRCCOLOR},
                                        {DEVBLEND_ZERO, DEVBLEND_INVSRCCOLOR},
                                        {DEVBLEND_DESTCOLOR, DEVBLEND_SRCCOLOR},
                                        {DEVBLEND_SRCALPHA, DEVBLEND_INVSRCALPHA},
                                        {DEVBLEND_SRCALPHA, DEVBLEND_ONE},
                                        {DEVBLEND_INVSRCALPHA, DEVBLEND_ONE}};
  if (mode == 0) {
    Rs(DEVRS_ALPHABLENDENABLE, 0);
    // Opaque drawing skips fully transparent texels, as on OpenGL.
    Rs(DEVRS_ALPHATESTENABLE, 1);
    Rs(DEVRS_ALPHAFUNC, DEVCMP_GREATER);
    Rs(DEVRS_ALPHAREF, 0);
    Rs(DEVRS_FOGENABLE, RenderFogWanted ? 1 : 0);
  } else if (mode >= 1 && mode <= 7) {
    Rs(DEVRS_ALPHABLENDENABLE, 1);
    Rs(DEVRS_SRCBLEND, kFuncs[mode][0]);
    Rs(DEVRS_DESTBLEND, kFuncs[mode][1]);
    Rs(DEVRS_FOGENABLE, 0);
  }
}

// ---- Immediate draws ----------------------------------------------------------------------------

void D3D8_DrawPoint(const ImmVertex* v) {
  if (!On() || !v) return;
  const ImmVertex* p[1] = {v};
  Draw(DEVPT_POINTLIST, p, 1);
}

void D3D8_DrawLine(const ImmVertex* a, const ImmVertex* b) {
  if (!On() || !a || !b) return;
  const ImmVertex* p[2] = {a, b};
  Draw(DEVPT_LINELIST, p, 2);
}

void D3D8_DrawTriangle(const ImmVertex* a, const ImmVertex* b, const ImmVertex* c) {
  if (!On() || !a || !b || !c) return;
  const ImmVertex* p[3] = {a, b, c};
  Draw(DEVPT_TRIANGLELIST, p, 3);
}

// ---- Matrices ------------------------------------------------------------------------------------

void D3D8_SetPerspective(float fovDegrees, float heightOverWidth, float farFactor, float nearDist) {
  if (!On() || heightOverWidth <= 0.0f) return;  // no screen size yet
  float fovY = 2.0f * std::atan(std::tan(fovDegrees * float(M_PI) / 360.0f) * heightOverWidth);
  // The near plane and far = farFactor x near, as the OpenGL frustum.
  float zn = nearDist > 0.0f ? nearDist : 1.0f;
  DevMatrix m;
  Dev_MatrixPerspectiveFovRH(&m, fovY, 1.0f / heightOverWidth, zn, farFactor * zn);
  Check(Dev_SetTransform(DEVTS_PROJECTION, &m));
}

void D3D8_SetCamera(const float* angles, const float* origin) {
  if (!On() || !angles || !origin) return;
  DevMatrix v{};
  Render_ViewMatrix(angles, origin, v.m);
  Check(Dev_SetTransform(DEVTS_VIEW, &v));
  Check(Dev_StackLoadIdentity(g_world));
  SetWorldFromStack();
}

void D3D8_PushMatrix() {
  if (!On()) return;
  Check(Dev_StackPush(g_world));
  SetWorldFromStack();
}

void D3D8_PopMatrix() {
  if (!On()) return;
  Check(Dev_StackPop(g_world));
  SetWorldFromStack();
}

void D3D8_MultMatrix(const float* rotation, const float* origin) {
  if (!On() || !rotation || !origin) return;
  DevMatrix m = {{rotation[0], rotation[1], rotation[2], 0, rotation[3], rotation[4], rotation[5], 0, rotation[6],
                  rotation[7], rotation[8], 0, origin[0], origin[1], origin[2], 1}};
  Check(Dev_StackMultMatrixLocal(g_world, &m));
  SetWorldFromStack();
}

void D3D8_Translate(float x, float y, float z) {
  if (!On()) return;
  Check(Dev_StackTranslateLocal(g_world, x, y, z));
  SetWorldFromStack();
}

void D3D8_Rotate(float degrees, float x, float y, float z) {
  if (!On()) return;
  const float axis[3] = {x, y, z};
  Check(Dev_StackRotateAxisLocal(g_world, axis, degrees * float(M_PI) / 180.0f));
  SetWorldFromStack();
}

void D3D8_Scale(float x, float y, float z) {
  if (!On()) return;
  Check(Dev_StackScaleLocal(g_world, x, y, z));
  SetWorldFromStack();
}

void D3D8_SetTextureMatrix(int stage, const float* rotation, const float* offset, int coordCount, int projected) {
  if (!On() || !rotation || !offset) return;
  uint32_t flags = coordCount == 0 ? 0u : uint32_t(coordCount) | (projected ? DEVTTFF_PROJECTED : 0u);
  Tss(stage, DEVTSS_TEXTURETRANSFORMFLAGS, flags);
  DevMatrix m = {{rotation[0], rotation[1], rotation[2], 0, rotation[3], rotation[4], rotation[5], 0, rotation[6],
                  rotation[7], rotation[8], 0, offset[0], offset[1], offset[2], 1}};
  Check(Dev_SetTransform(DEVTS_TEXTURE0 + stage, &m));
}

// ---- Viewport and read-back ------------------------------------------------------------------------

void D3D8_SetViewport(int x, int y, int width, int height) {
  if (!On()) return;
  DevViewport v;
  v.x = x > 0 ? x : 0;
  int top = Render_ScreenHeight - y - height;
  v.y = top > 0 ? top : 0;
  v.width = width < Render_ScreenWidth ? width : Render_ScreenWidth;
  v.height = height < Render_ScreenHeight ? height : Render_ScreenHeight;
  v.minZ = 0.0f;
  v.maxZ = 1.0f;
  Check(Dev_SetViewport(&v));
}

void D3D8_GetViewport(int* x, int* y, int* width, int* height) {
  DevViewport v{};
  if (On()) Dev_GetViewport(&v);
  // Back to the callers' bottom-left origin.
  int bottom = On() ? Render_ScreenHeight - v.y - v.height : 0;
  if (x) *x = v.x;
  if (y) *y = bottom;
  if (width) *width = v.width;
  if (height) *height = v.height;
}

void D3D8_ReadPixels(int x, int y, int width, int height, void* out) {
  if (!On() || !out || width <= 0 || height <= 0) return;
  int sw = Dev_BackBufferWidth(), sh = Dev_BackBufferHeight();
  uint32_t image = 0;
  int32_t r = Dev_CreateImageSurface(sw, sh, DEVFMT_X8R8G8B8, &image);
  if (r != DEV_OK) {
    D3D8_LogError(r);
    return;
  }
  r = Dev_CopyBackBuffer(image);
  uint8_t* bits = nullptr;
  int pitch = 0;
  if (r == DEV_OK) r = Dev_LockRect(image, 0, &bits, &pitch, DEVLOCK_READONLY);
  if (r != DEV_OK) {
    D3D8_LogError(r);
    Dev_Release(image);
    return;
  }
  // Only the asked rectangle (origin bottom-left), bottom row first; outside the screen stays as
  // it was in the caller's buffer.
  auto* dst = static_cast<uint8_t*>(out);
  for (int row = 0; row < height; ++row) {
    int gy = y + row;  // from the bottom
    if (gy < 0 || gy >= sh) continue;
    const uint8_t* src = bits + size_t(sh - 1 - gy) * size_t(pitch);
    for (int col = 0; col < width; ++col) {
      int gx = x + col;
      if (gx < 0 || gx >= sw) continue;
      std::memcpy(dst + (size_t(row) * size_t(width) + size_t(col)) * 4, src + size_t(gx) * 4, 4);
    }
  }
  Check(Dev_UnlockRect(image, 0));
  Dev_Release(image);
}

// ---- Textures ----------------------------------------------------------------------------------

void D3D8_BindTexture(int stage, int texture, int filterKind) {
  if (!On() || stage < 0 || stage >= kDevStages) return;
  uint32_t handle = 0;
  int32_t fromDds = 0;
  Tex_GetBindInfo(texture, &handle, &fromDds);
  Check(Dev_SetTexture(stage, handle));
  uint32_t mip, mag, min;
  switch (filterKind) {
    case 0: mip = mag = min = DEVTEXF_POINT; break;
    case 1: mip = DEVTEXF_POINT; mag = min = DEVTEXF_LINEAR; break;
    case 2: {
      float f = render_filter.value;
      if (f == 0.0f) {
        mip = DEVTEXF_POINT;
        mag = min = DEVTEXF_LINEAR;
      } else if (f > 1.0f && f <= 2.0f) {
        mip = DEVTEXF_LINEAR;
        mag = min = DEVTEXF_ANISOTROPIC;
        int aniso = int((float(Dev_MaxAnisotropy()) - 1.0f) * (f - 1.0f) + 1.0f);
        Tss(stage, DEVTSS_MAXANISOTROPY, uint32_t(aniso < 1 ? 1 : aniso));
      } else {
        mip = mag = min = DEVTEXF_LINEAR;
      }
      break;
    }
    default: return;
  }
  Tss(stage, DEVTSS_MIPFILTER, mip);
  Tss(stage, DEVTSS_MAGFILTER, mag);
  Tss(stage, DEVTSS_MINFILTER, min);
}

void D3D8_UpdateTexSubImage(int texture, int x, int y, int width, int height, int bits, const void* pixels) {
  if (!On() || texture == 0 || !pixels || width <= 0 || height <= 0) return;
  TextureRecord* rec = Tex_Get(texture);
  if (!rec || !rec->handle) return;
  int tw = 0, th = 0;
  uint32_t format = 0;
  if (Dev_GetLevelDesc(rec->handle, 0, &tw, &th, &format) != DEV_OK) return;
  int texBytes = format == DEVFMT_L8 ? 1 : format == DEVFMT_A8L8 ? 2
               : (format == DEVFMT_A8R8G8B8 || format == DEVFMT_X8R8G8B8) ? 4 : 0;
  int srcBytes = bits == 8 ? 1 : bits == 16 ? 2 : bits == 24 ? 3 : bits == 32 ? 4 : 0;
  // The data must suit the texture (24-bit texels widen to 32).
  if (!srcBytes || texBytes != (srcBytes == 3 ? 4 : srcBytes)) return;
  uint8_t* dst = nullptr;
  int pitch = 0;
  int32_t r = Dev_LockRect(rec->handle, 0, &dst, &pitch, 0);
  if (r != DEV_OK) {
    D3D8_LogError(r);
    return;
  }
  // Source rows run bottom first from row y (as OpenGL places them); the texture holds the top row
  // first. Parts outside the texture are left out.
  const auto* src = static_cast<const uint8_t*>(pixels);
  for (int s = 0; s < height; ++s) {
    int glRow = y + s;
    if (glRow < 0 || glRow >= th) continue;
    uint8_t* d = dst + size_t(th - 1 - glRow) * size_t(pitch);
    const uint8_t* sr = src + size_t(s) * size_t(width) * size_t(srcBytes);
    for (int c = 0; c < width; ++c) {
      int tx = x + c;
      if (tx < 0 || tx >= tw) continue;
      if (srcBytes == 3) {
        uint8_t* t = d + size_t(tx) * 4;
        t[0] = sr[c * 3];
        t[1] = sr[c * 3 + 1];
        t[2] = sr[c * 3 + 2];
        t[3] = 255;
      } else {
        std::memcpy(d + size_t(tx) * size_t(texBytes), sr + size_t(c) * size_t(srcBytes), size_t(srcBytes));
      }
    }
  }
  Check(Dev_UnlockRect(rec->handle, 0));
}

uint32_t D3D8_CreateTexture(int width, int height, uint32_t format, const void* pixels, int hasAlpha) {
  if (!On() || !pixels || width <= 0 || height <= 0) return 0;
  int srcBytes;
  uint32_t devFormat;
  if (format == kGlLuminance) {
    srcBytes = 1;
    devFormat = DEVFMT_L8;
  } else if (format == kGlLuminanceAlpha) {
    srcBytes = 2;
    devFormat = DEVFMT_A8L8;
  } else if (format == kImgBGR) {
    srcBytes = 3;  // widened to 4 bytes a texel
    devFormat = DEVFMT_X8R8G8B8;
  } else {
    srcBytes = 4;
    devFormat = hasAlpha == 1 ? DEVFMT_A8R8G8B8 : DEVFMT_X8R8G8B8;
  }
  uint32_t tex = 0;
  if (Dev_CreateTexture(width, height, 1, devFormat, &tex) != DEV_OK) return 0;
  uint8_t* dst = nullptr;
  int pitch = 0;
  int32_t r = Dev_LockRect(tex, 0, &dst, &pitch, devFormat == DEVFMT_L8 ? 0u : uint32_t(DEVLOCK_DISCARD));
  if (r != DEV_OK) {
    D3D8_LogError(r);
    return tex;
  }
  const auto* src = static_cast<const uint8_t*>(pixels);
  size_t rowBytes = size_t(width) * size_t(srcBytes);
  for (int row = 0; row < height; ++row) {
    const uint8_t* s = src + size_t(height - 1 - row) * rowBytes;
    uint8_t* d = dst + size_t(row) * size_t(pitch);
    if (srcBytes == 3) {
      for (int c = 0; c < width; ++c) {
        d[4 * c] = s[3 * c];
        d[4 * c + 1] = s[3 * c + 1];
        d[4 * c + 2] = s[3 * c + 2];
        d[4 * c + 3] = 255;
      }
    } else {
      std::memcpy(d, s, rowBytes);
    }
  }
  Check(Dev_UnlockRect(tex, 0));
  return tex;
}

int D3D8_TextureFileExists(const char* name) {
  if (!On() || !name || !*name) return 0;
  static const char* const kExt[4] = {".dds", ".tga", ".jpg", ".bmp"};
  char file[256];
  for (const char* ext : kExt) {
    if (std::snprintf(file, sizeof file, "%s%s", name, ext) >= int(sizeof file)) return 0;
    if (FileHandle* f = File_Open(file, "rb")) {
      File_Close(f);
      return 1;
    }
  }
  return 0;
}

void D3D8_LoadTexture(int texture, const char* name, int mipmap) {
  TextureRecord* rec = Tex_Get(texture);
  if (!On() || !rec || !name) return;
  static const char* const kExt[4] = {".dds", ".tga", ".jpg", ".bmp"};
  uint32_t tex = 0;
  DevImageInfo info{};
  int fromDds = 0;
  char file[256];
  for (int i = 0; i < 4 && !tex; ++i) {
    if (std::snprintf(file, sizeof file, "%s%s", name, kExt[i]) >= int(sizeof file)) break;
    FileHandle* f = File_Open(file, "rb");
    if (!f) continue;
    uint32_t size = File_Size(f);
    auto* data = size ? static_cast<uint8_t*>(Global_MallocZero(size, "D3D8CRT")) : nullptr;
    if (data && File_Read(data, 1, size, f) == size) {
      int32_t r = Dev_CreateTextureFromFileInMemory(data, size, mipmap ? 0 : 1, &tex, &info);
      if (r == DEV_OK) {
        Log_Printf("Load [%s]\n", file);
        fromDds = i == 0;
      } else {
        tex = 0;
      }
    }
    if (data) Global_Free(data);
    File_Close(f);
  }
  rec->handle = tex;
  if (tex) {
    int w = 0, h = 0;
    Dev_GetLevelDesc(tex, 0, &w, &h, nullptr);
    rec->texWidth = w;
    rec->texHeight = h;
    rec->width = info.width;
    rec->height = info.height;
  } else {
    rec->texWidth = rec->texHeight = rec->width = rec->height = 0;
  }
  rec->scaleU = rec->scaleV = 1.0f;
  rec->hasAlpha = 1;
  rec->fromDds = fromDds;
}

// ---- Buffers -------------------------------------------------------------------------------------

uint32_t D3D8_CreateVertexBuffer(int bytes, int layout) {
  if (!On()) return 0;
  uint32_t b = 0;
  int32_t r = Dev_CreateVertexBuffer(bytes, LayoutFvf(layout), &b);
  if (r != DEV_OK) {
    D3D8_LogError(r);
    return 0;
  }
  return b;
}

uint32_t D3D8_CreateIndexBuffer(int bytes) {
  if (!On()) return 0;
  uint32_t b = 0;
  int32_t r = Dev_CreateIndexBuffer(bytes, &b);
  if (r != DEV_OK) {
    D3D8_LogError(r);
    return 0;
  }
  return b;
}

void D3D8_SetVertexBuffer(uint32_t handle, int layout) {
  if (!On()) return;
  uint32_t fvf = LayoutFvf(layout);
  Check(Dev_SetVertexShader(handle ? fvf : kImmediateFvf));
  Check(Dev_SetStreamSource(handle, Dev_VertexSize(fvf)));
}

void D3D8_SetIndexBuffer(uint32_t handle, int baseVertex) {
  if (On()) Check(Dev_SetIndices(handle, baseVertex));
}

namespace {
void Fill(uint32_t handle, int offset, int bytes, const void* data) {
  if (!On() || !handle || !data || bytes <= 0) return;
  uint8_t* p = nullptr;
  int32_t r = Dev_LockBuffer(handle, offset, bytes, &p);
  if (r != DEV_OK) {
    D3D8_LogError(r);
    return;
  }
  std::memcpy(p, data, size_t(bytes));
  Check(Dev_UnlockBuffer(handle));
}
}  // namespace

void D3D8_FillVertexBuffer(uint32_t handle, int /*layout*/, int byteOffset, int bytes, const void* data) {
  Fill(handle, byteOffset, bytes, data);
}

void D3D8_FillIndexBuffer(uint32_t handle, int byteOffset, int bytes, const void* data) {
  Fill(handle, byteOffset, bytes, data);
}

void D3D8_DrawIndexedTriangles(int vertexCount, int firstIndex, int triangleCount) {
  if (On()) Check(Dev_DrawIndexedPrimitive(DEVPT_TRIANGLELIST, 0, vertexCount, firstIndex, triangleCount));
}

// ---- Environment-map stages -------------------------------------------------------------------

void D3D8_BeginEnvMapStages(int mode) {
  if (!On()) return;
  if (mode == 1 || mode == 2) {
    Tss(1, DEVTSS_TEXCOORDINDEX, DEVTCI_CAMERASPACEREFLECTIONVECTOR);
    StageOps(0, DEVTOP_MODULATE, DEVTA_TEXTURE, DEVTA_DIFFUSE, DEVTOP_SELECTARG1, DEVTA_TEXTURE, DEVTA_DIFFUSE);
    // The reflection over the base by one minus the base's alpha.
    Tss(1, DEVTSS_COLOROP, DEVTOP_LERP);
    Tss(1, DEVTSS_COLORARG0, DEVTA_CURRENT | DEVTA_COMPLEMENT | DEVTA_ALPHAREPLICATE);
    Tss(1, DEVTSS_COLORARG1, DEVTA_TEXTURE);
    Tss(1, DEVTSS_COLORARG2, DEVTA_CURRENT);
    Tss(1, DEVTSS_ALPHAOP, DEVTOP_SELECTARG1);
    Tss(1, DEVTSS_ALPHAARG1, DEVTA_TEXTURE);
    Tss(1, DEVTSS_ALPHAARG2, DEVTA_CURRENT);
  } else if (mode == 3) {
    Tss(1, DEVTSS_TEXCOORDINDEX, DEVTCI_CAMERASPACEPOSITION);
    StageOps(0, DEVTOP_MODULATE, DEVTA_TEXTURE, DEVTA_CURRENT, DEVTOP_MODULATE, DEVTA_TEXTURE, DEVTA_CURRENT);
    StageOps(1, DEVTOP_MODULATE, DEVTA_TEXTURE, DEVTA_CURRENT, DEVTOP_MODULATE, DEVTA_TEXTURE, DEVTA_CURRENT);
  }
}

void D3D8_EndEnvMapStages(int mode) {
  if (!On() || mode < 1 || mode > 3) return;
  Tss(1, DEVTSS_TEXCOORDINDEX, 1);
  StageOps(0, DEVTOP_MODULATE, DEVTA_TEXTURE, DEVTA_CURRENT, DEVTOP_MODULATE, DEVTA_TEXTURE, DEVTA_CURRENT);
  StageOps(1, DEVTOP_MODULATE, DEVTA_TEXTURE, DEVTA_CURRENT, DEVTOP_MODULATE, DEVTA_TEXTURE, DEVTA_CURRENT);
}

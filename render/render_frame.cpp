// Renderer selection, the render settings, the frame cycle, fog, occlusion queries and the
// off-screen buffer.
#include <strings.h>

#include "foundation/log.h"
#include "foundation/mem.h"
#include "foundation/var.h"
#include "platform/gl_context_sdl.h"
#include "platform/gl_dispatch.h"
#include "render/glext.h"
#include "render/render.h"
#include "render/render_d3d8.h"

uint32_t RenderApi;
uint32_t RenderFogWanted;
int32_t Render_ScreenWidth;
int32_t Render_ScreenHeight;
PBuffer* Render_PBuffer;

// ---- Settings -----------------------------------------------------------------------------------

namespace {
constexpr uint32_t kNum = VAR_NUMERIC;                                 // 0x2
constexpr uint32_t kNumFileOnce = VAR_NUMERIC | VAR_SETTABLE | VAR_ONCESET;  // 0x16
constexpr uint32_t kNumFileAlways = VAR_NUMERIC | VAR_SETTABLE | VAR_ALWAYS;  // 0xE
constexpr uint32_t kTextFileAlways = VAR_SETTABLE | VAR_ALWAYS;              // 0xC
}  // namespace

VarRecord render_wireframe = {"render_wireframe", 0, kNumFileOnce, 0, "0", 0, nullptr};
VarRecord render_draworder = {"render_draworder", 0, kNum, 0, "0", 0, nullptr};
VarRecord render_fog = {"render_fog", 0, kNum, 0, "0", 0, nullptr};
VarRecord render_fog_start = {"render_fog_start", 0, kNumFileOnce, 0, "0", 0, nullptr};
VarRecord render_fog_end = {"render_fog_end", 0, kNumFileOnce, 1000, "1000", 0, nullptr};
VarRecord render_fog_r = {"render_fog_r", 0, kNumFileOnce, 0.6f, "0.6", 0, nullptr};
VarRecord render_fog_g = {"render_fog_g", 0, kNumFileOnce, 0.6f, "0.6", 0, nullptr};
VarRecord render_fog_b = {"render_fog_b", 0, kNumFileOnce, 0.65f, "0.65", 0, nullptr};
VarRecord render_16bit_textures = {"render_16bit_textures", 0, kNumFileAlways, 0, "0", 0, nullptr};
VarRecord render_arb_tc = {"render_arb_tc", 0, kNumFileAlways, 0, "0", 0, nullptr};
VarRecord render_var_type = {"render_var_type", 0, kTextFileAlways, 0, "AGP", 0, nullptr};
VarRecord render_var_size = {"render_var_size", 0, kNumFileAlways, 18874368, "18874368", 0, nullptr};
VarRecord render_filter = {"render_filter", 0, kNumFileAlways, 0, "0", 0, nullptr};
VarRecord render_fov = {"render_fov", 0, kNumFileAlways, 60, "60", 0, nullptr};
VarRecord render_bump_r300 = {"render_bump_r300", 0, kNumFileAlways, 0, "0", 0, nullptr};
VarRecord render_bump_r200 = {"render_bump_r200", 0, kNumFileAlways, 1, "1", 0, nullptr};
VarRecord render_bump_nv30 = {"render_bump_nv30", 0, kNumFileAlways, 0, "0", 0, nullptr};
VarRecord render_bump_nv20 = {"render_bump_nv20", 0, kNumFileAlways, 1, "1", 0, nullptr};
VarRecord render_bump_nv10 = {"render_bump_nv10", 0, kNumFileAlways, 1, "1", 0, nullptr};
VarRecord render_bump_fast = {"render_bump_fast", 0, kNumFileAlways, 0, "0", 0, nullptr};
VarRecord render_bump_clear = {"render_bump_clear", 0, kNumFileAlways, 0, "0", 0, nullptr};
VarRecord render_bump_reflect = {"render_bump_reflect", 0, kNumFileAlways, 0, "0", 0, nullptr};
VarRecord render_bump_attenuation = {"render_bump_attenuation", 0, kNumFileAlways, 1, "1", 0, nullptr};
VarRecord render_bump_diffuse = {"render_bump_diffuse", 0, kNumFileAlways, 1, "1", 0, nullptr};
VarRecord render_bump_specular = {"render_bump_specular", 0, kNumFileAlways, 1, "1", 0, nullptr};
VarRecord render_bump_project = {"render_bump_project", 0, kNumFileAlways, 1, "1", 0, nullptr};
VarRecord render_bump_shadows = {"render_bump_shadows", 0, kNumFileAlways, 0, "0", 0, nullptr};
VarRecord render_scale = {"render_scale", 0, kNumFileAlways, 1, "1", 0, nullptr};
VarRecord render_SGIS_generate_mipmap = {"render_SGIS_generate_mipmap", 0, kNumFileAlways, 0, "0", 0, nullptr};
VarRecord render_dxt1_as_dxt3 = {"render_dxt1_as_dxt3", 0, kNumFileAlways, 1, "1", 0, nullptr};
VarRecord render_NV_pixel_data_range = {"render_NV_pixel_data_range", 0, kNumFileAlways, 0, "0", 0, nullptr};
VarRecord render_api = {"render_api", 0, kTextFileAlways, 0, "OPENGL", 0, nullptr};
VarRecord render_vsync = {"render_vsync", 0, kNumFileAlways, 0, "0", 0, nullptr};
VarRecord render_pbuffer = {"render_pbuffer", 0, kNumFileAlways, 0, "0", 0, nullptr};

static VarRecord* const kRenderSettings[34] = {
    &render_wireframe,     &render_draworder,        &render_fog,           &render_fog_start,
    &render_fog_end,       &render_fog_r,            &render_fog_g,         &render_fog_b,
    &render_16bit_textures, &render_arb_tc,          &render_var_type,      &render_var_size,
    &render_filter,        &render_fov,              &render_bump_r300,     &render_bump_r200,
    &render_bump_nv30,     &render_bump_nv20,        &render_bump_nv10,     &render_bump_fast,
    &render_bump_clear,    &render_bump_reflect,     &render_bump_attenuation, &render_bump_diffuse,
    &render_bump_specular, &render_bump_project,     &render_bump_shadows,  &render_scale,
    &render_SGIS_generate_mipmap, &render_dxt1_as_dxt3, &render_NV_pixel_data_range, &render_api,
    &render_vsync,         &render_pbuffer,
};

// ---- Start and stop -----------------------------------------------------------------------------

// OpenGL start and stop (render/opengl_start.cpp).
int OPENGL_Start();
void OPENGL_Stop();
void* OPENGL_CurrentContext();

void Render_ResetBlock() {
  RenderApi = RENDER_API_NONE;
  GlDispatch_Clear();
  OPENGL_ClearExtensions();
}

int Render_WantsD3D8(const char* apiText) { return apiText && strcasecmp(apiText, "D3D8") == 0; }

void Render_Init(int stage) {
  if (stage == 0) {
    for (VarRecord* v : kRenderSettings) Var_Register(v);
    return;
  }
  if (stage != 1) return;
  Render_Start();
  if (render_pbuffer.value != 0.0f) {
    int n = static_cast<int>(render_pbuffer.value);
    Render_PBuffer = PBuffer_Create(n, n);
  }
}

void Render_Shutdown() {
  if (Render_PBuffer) {
    PBuffer_Destroy(Render_PBuffer);
    Render_PBuffer = nullptr;
  }
  Render_Stop();
  Material_ReleaseNameTable();
}

void Render_Start() {
  OPENGL_LogDisplayDevice();
  if (Render_WantsD3D8(render_api.text)) {
    D3D8_Start();
    return;
  }
  OPENGL_Start();
}

void Render_Stop() {
  if (RenderApi == RENDER_API_OPENGL) {
    OPENGL_Stop();
  } else if (RenderApi == RENDER_API_D3D8) {
    D3D8_Stop();
  }
  Render_ResetBlock();
}

void Render_SetScreenSize(int width, int height) {
  Render_ScreenWidth = width;
  Render_ScreenHeight = height;
}

// ---- Frame --------------------------------------------------------------------------------------

void OPENGL_DisableAll() {
  static const GLenum kBefore[] = {GL_ALPHA_TEST,  GL_AUTO_NORMAL,  GL_BLEND,        GL_CLIP_PLANE0,
                                   GL_CLIP_PLANE1, GL_CLIP_PLANE2,  GL_CLIP_PLANE3,  GL_CLIP_PLANE4,
                                   GL_CLIP_PLANE5, GL_COLOR_MATERIAL, GL_CULL_FACE,  GL_DEPTH_TEST,
                                   GL_DITHER};
  static const GLenum kAfter[] = {
      GL_LINE_SMOOTH, GL_LINE_STIPPLE, GL_LOGIC_OP,
      GL_MAP1_COLOR_4, GL_MAP1_INDEX, GL_MAP1_NORMAL, GL_MAP1_TEXTURE_COORD_1, GL_MAP1_TEXTURE_COORD_2,
      GL_MAP1_TEXTURE_COORD_3, GL_MAP1_TEXTURE_COORD_4, GL_MAP1_VERTEX_3, GL_MAP1_VERTEX_4,
      GL_MAP2_COLOR_4, GL_MAP2_INDEX, GL_MAP2_NORMAL, GL_MAP2_TEXTURE_COORD_1, GL_MAP2_TEXTURE_COORD_2,
      GL_MAP2_TEXTURE_COORD_3, GL_MAP2_TEXTURE_COORD_4, GL_MAP2_VERTEX_3, GL_MAP2_VERTEX_4,
      GL_POINT_SMOOTH, GL_POLYGON_SMOOTH, GL_POLYGON_STIPPLE, GL_SCISSOR_TEST, GL_STENCIL_TEST,
      GL_TEXTURE_1D, GL_TEXTURE_2D, GL_TEXTURE_GEN_Q, GL_TEXTURE_GEN_R, GL_TEXTURE_GEN_S, GL_TEXTURE_GEN_T};
  if (RenderApi != RENDER_API_OPENGL) return;
  for (GLenum cap : kBefore) gl.glDisable(cap);
  Render_SetFogEnable(0);
  Render_SetLighting(0);
  for (int i = 0; i < 8; ++i) Render_EnableLight(i, 0);
  for (GLenum cap : kAfter) gl.glDisable(cap);
  gl.glEnable(GL_NORMALIZE);
  ActiveTexUnit = -1;
}

void OPENGL_SetDefaults() {
  if (RenderApi != RENDER_API_OPENGL) return;
  OPENGL_DisableAll();
  static const GLfloat kBlack[4] = {0, 0, 0, 1};
  gl.glLightModelfv(GL_LIGHT_MODEL_AMBIENT, kBlack);
  gl.glColor4ub(255, 255, 255, 255);
  gl.glEnable(GL_TEXTURE_2D);
  gl.glPixelStorei(GL_PACK_ALIGNMENT, 1);
  gl.glPixelStorei(GL_UNPACK_ALIGNMENT, 1);
  gl.glEnable(GL_SCISSOR_TEST);
  gl.glScissor(0, 0, Render_ScreenWidth, Render_ScreenHeight);
  Render_SelectTexUnit(1);
  gl.glTexEnvi(GL_TEXTURE_ENV, GL_TEXTURE_ENV_MODE, GL_MODULATE);
  gl.glDisable(GL_TEXTURE_2D);
  Render_SelectTexUnit(0);
  gl.glTexEnvi(GL_TEXTURE_ENV, GL_TEXTURE_ENV_MODE, GL_MODULATE);
  gl.glEnable(GL_TEXTURE_2D);
}

void Render_BeginFrame(int x, int y, int width, int height) {
  if (RenderApi == RENDER_API_OPENGL)
    OPENGL_SetDefaults();
  else if (RenderApi == RENDER_API_D3D8)
    D3D8_BeginFrame();
  else
    return;
  OPENGL_ResetDynamicVar();
  Render_SetDepthTest(1);
  Render_SetDepthWrite(1);
  Render_SetDepthFunc(1);
  Render_SetTexWrap(0, 1);
  Render_SetPolygonOffset(0);
  Render_SetFogEnable(0);
  Render_SetLighting(0);
  Render_SetPerspective(90.0f, 32000.0f, 1.0f);
  Render_SetViewport(x, y, width, height);
  Render_SetScissor(x, y, width, height);
  static const float kZero[3] = {0, 0, 0};
  Render_SetCamera(kZero, kZero);
  CurrentBlendMode = -1;
  ActiveTexUnit = -1;
  static const float kPosition[4] = {0, 0, 0, 1};
  static const float kAmbient[4] = {0.3f, 0.3f, 0.3f, 1};
  static const float kDiffuse[4] = {0.7f, 0.7f, 0.7f, 1};
  static const float kBlack[4] = {0, 0, 0, 1};
  static const float kWhite[4] = {1, 1, 1, 1};
  Render_SetLight(0, kPosition, kAmbient, kDiffuse, kBlack);
  Render_SetMaterialColor(kWhite, kWhite, kBlack);
}

void Render_Clear(int colourAndDepth, float r, float g, float b) {
  if (RenderApi == RENDER_API_OPENGL) {
    gl.glClearColor(r, g, b, 0.5f);
    gl.glClear(colourAndDepth ? GL_COLOR_BUFFER_BIT | GL_DEPTH_BUFFER_BIT : GL_DEPTH_BUFFER_BIT);
  } else if (RenderApi == RENDER_API_D3D8) {
    D3D8_Clear(colourAndDepth, r, g, b);
  }
}

void Render_ClearStencil(int value) {
  if (RenderApi == RENDER_API_OPENGL) {
    gl.glClearStencil(value);
    gl.glClear(GL_STENCIL_BUFFER_BIT);
  } else if (RenderApi == RENDER_API_D3D8) {
    D3D8_ClearStencil(value);
  }
}

void Render_EndFrame(int flush, int swap) {
  if (RenderApi == RENDER_API_OPENGL) {
    if (flush) gl.glFlush();
    if (swap) {
      // The interval follows "render_vsync" at every present; the window system is asked only when
      // the wanted interval changes.
      if (GlExtFlags.WGL_EXT_swap_control) OPENGL_ApplySwapInterval(render_vsync.value != 0.0f ? 1 : 0);
      Plat_Gl.swapWindow();
    }
    if (GlExtFlags.NV_vertex_array_range) gl.glFlushVertexArrayRangeNV();
  } else if (RenderApi == RENDER_API_D3D8) {
    D3D8_EndFrame();
  }
}

void Render_SetFog(float start, float end, const float* colour) {
  if (RenderApi == RENDER_API_OPENGL) {
    gl.glFogi(GL_FOG_MODE, GL_LINEAR);
    gl.glFogf(GL_FOG_START, start);
    gl.glFogf(GL_FOG_END, end);
    gl.glFogfv(GL_FOG_COLOR, colour);
  } else if (RenderApi == RENDER_API_D3D8) {
    D3D8_SetFog(start, end, colour);
  }
}

// ---- Occlusion queries --------------------------------------------------------------------------
// Nothing in the game issues a query; the list stays empty.

namespace {
constexpr int kMaxOcclusionQueries = 64;
GLuint g_occlusionIds[kMaxOcclusionQueries];
uint32_t g_occlusionCount;
}  // namespace

void Render_GetOcclusionPixels(uint32_t* sumOut, uint32_t* countOut) {
  if (countOut) *countOut = g_occlusionCount;
  if (sumOut) *sumOut = 0;
  if (RenderApi != RENDER_API_OPENGL || !GlExtFlags.NV_occlusion_query) return;
  for (uint32_t i = 0; i < g_occlusionCount; ++i) {
    if (!g_occlusionIds[i]) continue;
    GLuint pixels = 0;
    gl.glGetOcclusionQueryuivNV(g_occlusionIds[i], GL_PIXEL_COUNT_NV, &pixels);
    if (sumOut) *sumOut += pixels;
  }
}

void Render_DeleteOcclusionQueries() {
  if (RenderApi != RENDER_API_OPENGL || !GlExtFlags.NV_occlusion_query) return;
  for (uint32_t i = 0; i < g_occlusionCount; ++i) {
    if (!g_occlusionIds[i]) continue;
    gl.glDeleteOcclusionQueriesNV(1, &g_occlusionIds[i]);
    g_occlusionIds[i] = 0;
  }
  g_occlusionCount = 0;
}

int Render_IsPowerOfTwo(int value) {
  for (int k = 0; k <= 13; ++k)
    if (value == (1 << k)) return 1;
  return 0;
}

// ---- The off-screen buffer: a framebuffer object with a colour texture and depth/stencil ------

PBuffer* PBuffer_Create(int width, int height) {
  if (RenderApi != RENDER_API_OPENGL || width <= 0 || height <= 0 || !GlExtFlags.WGL_ARB_pbuffer ||
      !GlExtFlags.WGL_ARB_pixel_format || !GlExtFlags.WGL_ARB_render_texture)
    return nullptr;
  auto* pb = static_cast<PBuffer*>(Global_MallocZero(sizeof(PBuffer), "PBUF"));
  if (!pb) {
    Log_Printf("Error: PBuffer malloc\n");
    return nullptr;
  }
  pb->width = width;
  pb->height = height;
  pb->powerOfTwo = Render_IsPowerOfTwo(width) && Render_IsPowerOfTwo(height);
  pb->windowContext = OPENGL_CurrentContext();
  if (!pb->windowContext) {
    Log_Printf("Error: PBuffer wglGetCurrentDC=%x, wglGetCurrentContext=%x\n", 0u, 0u);
    Global_Free(pb);
    return nullptr;
  }
  GLenum target = pb->powerOfTwo ? GL_TEXTURE_2D : GL_TEXTURE_RECTANGLE_NV;
  gl.glGenTextures(1, &pb->texture);
  gl.glBindTexture(target, pb->texture);
  gl.glTexParameterf(target, GL_TEXTURE_WRAP_S, GL_CLAMP_TO_EDGE);
  gl.glTexParameterf(target, GL_TEXTURE_WRAP_T, GL_CLAMP_TO_EDGE);
  gl.glTexParameterf(target, GL_TEXTURE_MAG_FILTER, GL_LINEAR);
  gl.glTexParameterf(target, GL_TEXTURE_MIN_FILTER, GL_LINEAR);
  gl.glTexImage2D(target, 0, GL_RGB8, width, height, 0, GL_RGB, GL_UNSIGNED_BYTE, nullptr);
  gl.glBindTexture(target, 0);

  gl.glGenFramebuffers(1, &pb->framebuffer);
  gl.glGenRenderbuffers(1, &pb->depthStencil);
  gl.glBindRenderbuffer(GL_RENDERBUFFER, pb->depthStencil);
  gl.glRenderbufferStorage(GL_RENDERBUFFER, GL_DEPTH24_STENCIL8, width, height);
  gl.glBindRenderbuffer(GL_RENDERBUFFER, 0);
  gl.glBindFramebuffer(GL_FRAMEBUFFER, pb->framebuffer);
  gl.glFramebufferTexture2D(GL_FRAMEBUFFER, GL_COLOR_ATTACHMENT0, target, pb->texture, 0);
  gl.glFramebufferRenderbuffer(GL_FRAMEBUFFER, GL_DEPTH_STENCIL_ATTACHMENT, GL_RENDERBUFFER, pb->depthStencil);
  GLenum status = gl.glCheckFramebufferStatus(GL_FRAMEBUFFER);
  gl.glBindFramebuffer(GL_FRAMEBUFFER, 0);
  if (status != GL_FRAMEBUFFER_COMPLETE) {
    Log_Printf("Error: PBuffer wglCreatePbufferARB=%x\n", 0u);
    gl.glDeleteFramebuffers(1, &pb->framebuffer);
    gl.glDeleteRenderbuffers(1, &pb->depthStencil);
    gl.glDeleteTextures(1, &pb->texture);
    Global_Free(pb);
    return nullptr;
  }
  Log_Printf("PBuffer created %ix%i\n", width, height);
  return pb;
}

void PBuffer_Destroy(PBuffer* pb) {
  if (!pb) return;
  if (RenderApi == RENDER_API_OPENGL) {
    if (pb->texture) gl.glDeleteTextures(1, &pb->texture);
    gl.glBindFramebuffer(GL_FRAMEBUFFER, 0);
    if (pb->depthStencil) gl.glDeleteRenderbuffers(1, &pb->depthStencil);
    if (pb->framebuffer) gl.glDeleteFramebuffers(1, &pb->framebuffer);
  }
  Global_Free(pb);
}

void PBuffer_GetSize(PBuffer* pb, int* widthOut, int* heightOut) {
  if (!pb) return;
  if (widthOut) *widthOut = pb->width;
  if (heightOut) *heightOut = pb->height;
}

void PBuffer_MakeCurrent(PBuffer* pb) {
  if (!pb || RenderApi != RENDER_API_OPENGL) return;
  gl.glBindFramebuffer(GL_FRAMEBUFFER, pb->framebuffer);
}

void PBuffer_MakeWindowCurrent(PBuffer* pb) {
  if (!pb || RenderApi != RENDER_API_OPENGL) return;
  gl.glBindFramebuffer(GL_FRAMEBUFFER, 0);
}

void PBuffer_BindTexture(PBuffer* pb) {
  if (!pb || RenderApi != RENDER_API_OPENGL) return;
  if (pb->powerOfTwo) {
    gl.glBindTexture(GL_TEXTURE_2D, pb->texture);
  } else {
    gl.glEnable(GL_TEXTURE_RECTANGLE_NV);
    gl.glBindTexture(GL_TEXTURE_RECTANGLE_NV, pb->texture);
  }
}

void PBuffer_ReleaseTexture(PBuffer* pb) {
  if (!pb || RenderApi != RENDER_API_OPENGL) return;
  if (pb->powerOfTwo) {
    gl.glBindTexture(GL_TEXTURE_2D, 0);
  } else {
    gl.glBindTexture(GL_TEXTURE_RECTANGLE_NV, 0);
    gl.glDisable(GL_TEXTURE_RECTANGLE_NV);
  }
}

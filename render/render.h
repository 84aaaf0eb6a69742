// The renderer: back-end selection, render settings, the frame, and every drawing operation.
// Each operation tests RenderApi: 1 issues OpenGL calls (through the dispatch table `gl`), 2 calls
// its Direct3D 8 twin (render/render_d3d8.h), 0 does nothing (queries return 0).
// Both back ends keep OpenGL's conventions: viewport origin bottom-left, pixel rows bottom-up.
#pragma once
#include <cstdint>

struct VarRecord;

// ---- Renderer kind and shared state -------------------------------------------------------------

enum : uint32_t { RENDER_API_NONE = 0, RENDER_API_OPENGL = 1, RENDER_API_D3D8 = 2 };

// 0 none, 1 OpenGL, 2 Direct3D 8. Part of the renderer block (with the GL dispatch table and the
// extension flags), which is zeroed in one step when a back end stops or fails to start.
extern uint32_t RenderApi;
// Non-zero when the current scene wants fog: Render_SetBlend(0) switches fog back on only then.
extern uint32_t RenderFogWanted;
// Screen size in pixels (Render_SetScreenSize).
extern int32_t Render_ScreenWidth;
extern int32_t Render_ScreenHeight;

// The vertex of the immediate point, line and triangle draws.
struct ImmVertex {
  float x, y, z;
  uint8_t r, g, b, a;
  float u, v;
};
static_assert(sizeof(ImmVertex) == 24, "ImmVertex is 24 bytes");

// ---- Render settings ----------------------------------------------------------------------------
// The 34 render settings (registered by Render_Init(0) in this order). Numeric ones are read from
// their value at the moment of use.
extern VarRecord render_wireframe;
extern VarRecord render_draworder;
extern VarRecord render_fog;
extern VarRecord render_fog_start;
extern VarRecord render_fog_end;
extern VarRecord render_fog_r;
extern VarRecord render_fog_g;
extern VarRecord render_fog_b;
extern VarRecord render_16bit_textures;
extern VarRecord render_arb_tc;
extern VarRecord render_var_type;
extern VarRecord render_var_size;
extern VarRecord render_filter;
extern VarRecord render_fov;
extern VarRecord render_bump_r300;
extern VarRecord render_bump_r200;
extern VarRecord render_bump_nv30;
extern VarRecord render_bump_nv20;
extern VarRecord render_bump_nv10;
extern VarRecord render_bump_fast;
extern VarRecord render_bump_clear;
extern VarRecord render_bump_reflect;
extern VarRecord render_bump_attenuation;
extern VarRecord render_bump_diffuse;
extern VarRecord render_bump_specular;
extern VarRecord render_bump_project;
extern VarRecord render_bump_shadows;
extern VarRecord render_scale;
extern VarRecord render_SGIS_generate_mipmap;
extern VarRecord render_dxt1_as_dxt3;
extern VarRecord render_NV_pixel_data_range;
extern VarRecord render_api;
extern VarRecord render_vsync;
extern VarRecord render_pbuffer;

// ---- Module entry, start and stop, frame --------------------------------------------------------

// Stage 0 registers the render settings; stage 1 starts the back end ("render_api") and, when
// "render_pbuffer" is non-zero, creates the PBuffer. Other stages do nothing.
void Render_Init(int stage);
// Destroys the PBuffer, stops the back end, releases the material name table.
void Render_Shutdown();
void Render_Start();
void Render_Stop();
// Zeroes the renderer block: RenderApi 0, every GL entry point null, every extension flag clear.
void Render_ResetBlock();
// 1 when the text selects Direct3D 8 ("D3D8" in any case), else 0.
int Render_WantsD3D8(const char* apiText);

void Render_SetScreenSize(int width, int height);
// Starts a frame on the rectangle (pixels, origin bottom-left) and sets the per-frame defaults.
void Render_BeginFrame(int x, int y, int width, int height);
// colourAndDepth 0 clears depth only; non-zero clears colour (r, g, b) and depth.
void Render_Clear(int colourAndDepth, float r, float g, float b);
void Render_ClearStencil(int value);
// Presents the frame: flush when flush != 0, swap when swap != 0 ("render_vsync" sets the interval).
void Render_EndFrame(int flush, int swap);

// Linear fog from start to end (game units); colour points at r, g, b, a.
void Render_SetFog(float start, float end, const float* colour);
void Render_SetFogEnable(int on);

// Occlusion queries: nothing adds to the list, so both give/leave zero.
void Render_GetOcclusionPixels(uint32_t* sumOut, uint32_t* countOut);
void Render_DeleteOcclusionQueries();

// 1 for 1, 2, 4, ..., 8192, else 0.
int Render_IsPowerOfTwo(int value);

// OpenGL defaults of every frame (Render_BeginFrame) and the big switch-off.
void OPENGL_SetDefaults();
void OPENGL_DisableAll();

// ---- The off-screen buffer ("render_pbuffer"), OpenGL only; a framebuffer object here ----------

struct PBuffer {
  void* windowContext;     // the window's GL context (the PBuffer draws with the same context)
  uint32_t framebuffer;    // GL framebuffer object
  uint32_t depthStencil;   // GL renderbuffer: depth 24, stencil 8
  int32_t width;
  int32_t height;
  int32_t powerOfTwo;      // 1 when both sides are powers of two
  uint32_t texture;        // GL texture the buffer draws into: GL_TEXTURE_2D, or rectangle otherwise
};
// The current PBuffer: null when "render_pbuffer" is 0 or creation failed.
extern PBuffer* Render_PBuffer;

PBuffer* PBuffer_Create(int width, int height);
void PBuffer_Destroy(PBuffer* pbuffer);
void PBuffer_GetSize(PBuffer* pbuffer, int* widthOut, int* heightOut);
void PBuffer_MakeCurrent(PBuffer* pbuffer);
void PBuffer_MakeWindowCurrent(PBuffer* pbuffer);
void PBuffer_BindTexture(PBuffer* pbuffer);
void PBuffer_ReleaseTexture(PBuffer* pbuffer);

// ---- OpenGL start-up ----------------------------------------------------------------------------

int OPENGL_LoadLibrary();
int OPENGL_FindPixelFormat();
void OPENGL_LogDisplayDevice();
void OPENGL_LogPixelFormats();

// ---- Render operations --------------------------------------------------------------------------

// Caches: the active texture unit and the blend mode (-1 = none known).
extern int32_t ActiveTexUnit;
extern int32_t CurrentBlendMode;
// Per texture unit: `fromDds` of the texture last bound there (Tex_Bind, Tex_BindCube).
extern int32_t UnitFromDds[8];

void Render_SelectTexUnit(int unit);
void Render_SelectClientTexUnit(int unit);
// Binds texture index `texture` on `unit` with filter kind 0 nearest, 1 linear, 2 mipmapped.
void Tex_Bind(int unit, int texture, int filterKind);
void Tex_BindCube(int unit, int texture, int filterKind);
void OPENGL_SetTexFilter2D(int texture, int filterKind);
void OPENGL_SetTexFilterCube(int texture, int filterKind);
// Mode 0 clamp to edge, 1 repeat (of the texture bound on the unit).
void Render_SetTexWrap(int unit, int mode);
void Render_SetDepthTest(int on);
void Render_SetDepthWrite(int on);
// 0 never, 1 less-or-equal (greater-or-equal with "render_draworder"; sets the clear depth),
// 2 always, 3 equal.
void Render_SetDepthFunc(int mode);
void Render_SetLineWidth(float width);
void Render_SetPointSize(float size);
// 2 cull back faces, 1 front faces, other values off.
void Render_SetCull(int mode);
void Render_GetTexelOffset(int width, int height, float* out);
void Render_SetLighting(int on);
void Render_EnableLight(int index, int on);
void Render_SetLight(int index, const float* position, const float* ambient, const float* diffuse,
                     const float* specular);
void Render_SetMaterialColor(const float* ambient, const float* diffuse, const float* specular);
void Render_SetPolygonOffset(int on);
void Render_SetColorMask(int r, int g, int b, int a);
// 0 points, 1 lines, 2 fill.
void Render_SetPolygonMode(int mode);
// 0 opaque (alpha test), 1 add, 2 multiply by source colour, 3 by its complement, 4 by twice the
// source colour, 5 transparency, 6 additive transparency, 7 inverse-alpha add.
void Render_SetBlend(int mode);
void Render_DrawPoint(const ImmVertex* v);
void Render_DrawLine(const ImmVertex* a, const ImmVertex* b);
void Render_DrawTriangle(const ImmVertex* a, const ImmVertex* b, const ImmVertex* c);
// Horizontal field of view in degrees; far plane = farFactor x near.
void Render_SetPerspective(float fovDegrees, float farFactor, float nearDist);
// angles: yaw, pitch, roll in radians; origin in game units.
void Render_SetCamera(const float* angles, const float* origin);
void Render_PushMatrix();
void Render_PopMatrix();
// Multiplies the model matrix by p -> p x rotation + origin (rotation: 9 floats, rows).
void Render_MultMatrix(const float* rotation, const float* origin);
void Render_Translate(float x, float y, float z);
void Render_Rotate(float degrees, float x, float y, float z);
void Render_Scale(float x, float y, float z);
void Render_GetViewport(int* x, int* y, int* width, int* height);
void Render_SetViewport(int x, int y, int width, int height);
void Render_SetScissor(int x, int y, int width, int height);
// Reads the back buffer: 4 bytes a pixel, B, G, R, A, bottom row first.
void Render_ReadPixels(int x, int y, int width, int height, void* out);
// bits 8 luminance, 16 luminance-alpha, 24 BGR, 32 BGRA; rows bottom first.
void Render_UpdateTexSubImage(int texture, int x, int y, int width, int height, int bits, const void* pixels);

// Direct3D 8 only (nothing or 0 on OpenGL).
void Render_SetTextureMatrix(int stage, const float* rotation, const float* offset, int coordCount, int projected);
void Render_DrawIndexedTriangles(int vertexCount, int firstIndex, int triangleCount);
uint32_t Render_CreateVertexBuffer(int bytes, int layout);
uint32_t Render_CreateIndexBuffer(int bytes);
void Render_ReleaseBuffer(uint32_t handle);
void Render_SetVertexBuffer(uint32_t handle, int layout);
void Render_SetIndexBuffer(uint32_t handle, int baseVertex);
void Render_FillVertexBuffer(uint32_t handle, int layout, int byteOffset, int bytes, const void* data);
void Render_FillIndexBuffer(uint32_t handle, int byteOffset, int bytes, const void* data);
void Render_BeginEnvMapStages(int mode);
void Render_EndEnvMapStages(int mode);
void Render_SetStageModulate(int stage, float factor);

// ---- Services of neighbouring renderer modules that these operations call ----------------------

// Texture table: the back-end name (`handle`) and `fromDds` of a texture index. An index outside the
// table answers as the empty texture (name 0). Returns 1 for an index inside the table.
int Tex_GetBindInfo(int texture, uint32_t* handle, int32_t* fromDds);
// Vertex-array memory: the per-frame part starts again at the top of the block.
void OPENGL_ResetDynamicVar();
// Materials: releases the material name table.
void Material_ReleaseNameTable();

// The view matrix both back ends load for a camera (yaw, pitch, roll in radians; origin): 4 x 4,
// rows the inverted view rotation, then the inverted origin.
void Render_ViewMatrix(const float* angles, const float* origin, float out[16]);

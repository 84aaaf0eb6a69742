// A small immediate-mode 3D device of our own, shaped like the Direct3D 8 device the D3D8 back end
// (render/render_d3d8.cpp) drives, implemented on the game window's OpenGL context through the GL
// dispatch table. It keeps that device's conventions for its callers and translates them for GL:
//   - matrices are row-major and transform row vectors (v x M); world x view x projection;
//   - clip-space depth runs 0..1; the viewport origin is the top-left corner;
//   - pixel centres lie on integer screen coordinates (half a pixel from GL's);
//   - texture memory holds the top row first; colours are 32-bit 0xAARRGGBB (bytes B, G, R, A);
//   - vertices are described by a format code (position, normal, diffuse colour, texture sets).
// One device at a time; one thread. Objects (textures, image surfaces, vertex and index buffers)
// are opaque non-zero 32-bit handles; 0 means none. Every call returns DEV_OK or an error code.
#pragma once
#include <cstddef>
#include <cstdint>

// ---- Result codes -------------------------------------------------------------------------------
enum DevResult : int32_t {
  DEV_OK = 0,
  DEV_ERR_WRONGTEXTUREFORMAT = 1,
  DEV_ERR_UNSUPPORTEDCOLOROPERATION,
  DEV_ERR_UNSUPPORTEDCOLORARG,
  DEV_ERR_UNSUPPORTEDALPHAOPERATION,
  DEV_ERR_UNSUPPORTEDALPHAARG,
  DEV_ERR_TOOMANYOPERATIONS,
  DEV_ERR_CONFLICTINGTEXTUREFILTER,
  DEV_ERR_UNSUPPORTEDFACTORVALUE,
  DEV_ERR_CONFLICTINGRENDERSTATE,
  DEV_ERR_UNSUPPORTEDTEXTUREFILTER,
  DEV_ERR_CONFLICTINGTEXTUREPALETTE,
  DEV_ERR_DRIVERINTERNALERROR,
  DEV_ERR_NOTFOUND,
  DEV_ERR_MOREDATA,
  DEV_ERR_DEVICELOST,
  DEV_ERR_DEVICENOTRESET,
  DEV_ERR_NOTAVAILABLE,
  DEV_ERR_OUTOFVIDEOMEMORY,
  DEV_ERR_INVALIDDEVICE,
  DEV_ERR_INVALIDCALL,
  DEV_ERR_DRIVERINVALIDCALL,
  DEV_ERR_COUNT
};

// ---- Pixel formats -------------------------------------------------------------------------------
enum DevFormat : uint32_t {
  DEVFMT_UNKNOWN = 0,
  DEVFMT_A8R8G8B8,  // 4 bytes: B, G, R, A
  DEVFMT_X8R8G8B8,  // 4 bytes: B, G, R, unused (reads as opaque)
  DEVFMT_L8,        // 1 byte luminance
  DEVFMT_A8L8,      // 2 bytes: L, A
  DEVFMT_DXT1,      // 8-byte blocks of 4 x 4 texels
  DEVFMT_DXT3,      // 16-byte blocks
  DEVFMT_DXT5,      // 16-byte blocks
  DEVFMT_D24X8,     // depth buffer (present parameters only)
  DEVFMT_INDEX16,   // index buffers
};

// ---- Vertex format codes (bit fields) ---------------------------------------------------------
enum : uint32_t {
  DEVFVF_XYZ = 0x002,
  DEVFVF_XYZRHW = 0x004,
  DEVFVF_NORMAL = 0x010,
  DEVFVF_PSIZE = 0x020,
  DEVFVF_DIFFUSE = 0x040,
  DEVFVF_SPECULAR = 0x080,
  DEVFVF_TEXCOUNT_SHIFT = 8,  // bits 8..11: number of texture coordinate sets (0..8)
  DEVFVF_TEX1 = 0x100,
  DEVFVF_TEX2 = 0x200,
  // Bits 16 + 2i .. 17 + 2i: floats of set i: 0 two, 1 three, 2 four, 3 one.
};
// Bytes of one vertex of a format code (0 for a code without a position).
int Dev_VertexSize(uint32_t fvf);

// ---- Render states --------------------------------------------------------------------------
enum DevRenderState {
  DEVRS_ZENABLE,            // 0 / 1
  DEVRS_ZWRITEENABLE,       // 0 / 1
  DEVRS_ZFUNC,              // DevCmp
  DEVRS_CULLMODE,           // DevCull
  DEVRS_LIGHTING,           // 0 / 1
  DEVRS_NORMALIZENORMALS,   // 0 / 1
  DEVRS_AMBIENT,            // 0xAARRGGBB
  DEVRS_FOGENABLE,          // 0 / 1
  DEVRS_FOGVERTEXMODE,      // DevFog
  DEVRS_FOGSTART,           // float bits
  DEVRS_FOGEND,             // float bits
  DEVRS_FOGCOLOR,           // 0xAARRGGBB
  DEVRS_ALPHABLENDENABLE,   // 0 / 1
  DEVRS_SRCBLEND,           // DevBlend
  DEVRS_DESTBLEND,          // DevBlend
  DEVRS_ALPHATESTENABLE,    // 0 / 1
  DEVRS_ALPHAFUNC,          // DevCmp
  DEVRS_ALPHAREF,           // 0..255
  DEVRS_POINTSIZE,          // float bits
  DEVRS_ZBIAS,              // 0..16, pulls polygons towards the viewer
  DEVRS_COLORWRITEENABLE,   // 1 red, 2 green, 4 blue, 8 alpha
  DEVRS_FILLMODE,           // DevFill
  DEVRS_COUNT
};
enum DevCmp : uint32_t { DEVCMP_NEVER = 1, DEVCMP_LESS, DEVCMP_EQUAL, DEVCMP_LESSEQUAL, DEVCMP_GREATER,
                         DEVCMP_NOTEQUAL, DEVCMP_GREATEREQUAL, DEVCMP_ALWAYS };
// Culling by the winding on screen (y down): CW culls clockwise triangles, CCW counter-clockwise.
enum DevCull : uint32_t { DEVCULL_NONE = 1, DEVCULL_CW, DEVCULL_CCW };
enum DevFog : uint32_t { DEVFOG_NONE = 0, DEVFOG_LINEAR = 3 };
enum DevBlend : uint32_t { DEVBLEND_ZERO = 1, DEVBLEND_ONE, DEVBLEND_SRCCOLOR, DEVBLEND_INVSRCCOLOR,
                           DEVBLEND_SRCALPHA, DEVBLEND_INVSRCALPHA, DEVBLEND_DESTALPHA,
                           DEVBLEND_INVDESTALPHA, DEVBLEND_DESTCOLOR, DEVBLEND_INVDESTCOLOR };
enum DevFill : uint32_t { DEVFILL_POINT = 1, DEVFILL_WIREFRAME, DEVFILL_SOLID };

// Float states travel as their bits.
uint32_t Dev_FloatBits(float f);
float Dev_BitsFloat(uint32_t bits);

// ---- Texture stages (8) -----------------------------------------------------------------------
enum DevStageState {
  DEVTSS_COLOROP, DEVTSS_COLORARG0, DEVTSS_COLORARG1, DEVTSS_COLORARG2,
  DEVTSS_ALPHAOP, DEVTSS_ALPHAARG0, DEVTSS_ALPHAARG1, DEVTSS_ALPHAARG2,
  DEVTSS_TEXCOORDINDEX,          // set index, plus a DEVTCI_ generation mode
  DEVTSS_TEXTURETRANSFORMFLAGS,  // 0 off, else output count 1..4, plus DEVTTFF_PROJECTED
  DEVTSS_ADDRESSU, DEVTSS_ADDRESSV,  // DevAddress
  DEVTSS_MAGFILTER, DEVTSS_MINFILTER, DEVTSS_MIPFILTER,  // DevFilter
  DEVTSS_MAXANISOTROPY,
  DEVTSS_COUNT
};
constexpr int kDevStages = 8;
enum DevTexOp : uint32_t { DEVTOP_DISABLE = 1, DEVTOP_SELECTARG1, DEVTOP_SELECTARG2, DEVTOP_MODULATE,
                           DEVTOP_MODULATE2X, DEVTOP_MODULATE4X, DEVTOP_ADD, DEVTOP_LERP };
// Arguments: a source plus modifier bits.
enum : uint32_t { DEVTA_DIFFUSE = 0, DEVTA_CURRENT = 1, DEVTA_TEXTURE = 2, DEVTA_SELECTMASK = 0xF,
                  DEVTA_COMPLEMENT = 0x10, DEVTA_ALPHAREPLICATE = 0x20 };
enum : uint32_t { DEVTCI_PASSTHRU = 0, DEVTCI_CAMERASPACENORMAL = 0x10000,
                  DEVTCI_CAMERASPACEPOSITION = 0x20000, DEVTCI_CAMERASPACEREFLECTIONVECTOR = 0x30000 };
enum : uint32_t { DEVTTFF_PROJECTED = 0x100 };
enum DevAddress : uint32_t { DEVTADDRESS_WRAP = 1, DEVTADDRESS_CLAMP = 3 };
enum DevFilter : uint32_t { DEVTEXF_NONE = 0, DEVTEXF_POINT, DEVTEXF_LINEAR, DEVTEXF_ANISOTROPIC };

// ---- Records -------------------------------------------------------------------------------------
struct DevMatrix {
  float m[16];  // row-major: m[4 * row + column]; the fourth row holds the translation
};
enum DevTransform { DEVTS_VIEW = 0, DEVTS_PROJECTION, DEVTS_WORLD, DEVTS_TEXTURE0, DEVTS_COUNT = DEVTS_TEXTURE0 + 8 };

struct DevViewport {
  int32_t x, y, width, height;  // pixels, origin top-left
  float minZ, maxZ;
};

struct DevColorValue {
  float r, g, b, a;
};
enum DevLightType : uint32_t { DEVLIGHT_POINT = 1, DEVLIGHT_SPOT, DEVLIGHT_DIRECTIONAL };
struct DevLight {
  uint32_t type;
  DevColorValue diffuse, specular, ambient;
  float position[3];   // world space (point lights)
  float direction[3];  // world space, the way the light travels (directional lights)
  float range, falloff, attenuation0, attenuation1, attenuation2, theta, phi;
};
struct DevMaterial {
  DevColorValue diffuse, ambient, specular, emissive;
  float power;
};

struct DevDisplayMode {
  int32_t width, height, refreshRate;
  uint32_t format;
};
struct DevPresentParams {
  int32_t backBufferWidth, backBufferHeight;  // 0: the window's size
  uint32_t backBufferFormat;
  int32_t backBufferCount;
  int32_t multiSample;
  int32_t swapEffectDiscard;
  int32_t windowed;
  int32_t autoDepthStencil;
  uint32_t autoDepthStencilFormat;
  int32_t presentationInterval;
};

enum DevPrimitive : uint32_t { DEVPT_POINTLIST = 1, DEVPT_LINELIST = 2, DEVPT_TRIANGLELIST = 4 };
enum : uint32_t { DEVCLEAR_TARGET = 1, DEVCLEAR_ZBUFFER = 2, DEVCLEAR_STENCIL = 4 };
enum : uint32_t { DEVLOCK_DISCARD = 0x2000, DEVLOCK_READONLY = 0x10 };

// ---- Start-up (the steps the back end takes in order) ----------------------------------------
// Makes the graphics library usable; DEV_ERR_NOTFOUND when it cannot be loaded.
int32_t Dev_LoadLibrary();
void Dev_UnloadLibrary();
// Takes the library's entry points; DEV_ERR_NOTFOUND when any core one is missing.
int32_t Dev_FindEntryPoints();
// The adapter object: DEV_ERR_NOTAVAILABLE when there is no video system (no game window).
int32_t Dev_CreateAdapter();
void Dev_ReleaseAdapter();
int32_t Dev_GetAdapterDisplayMode(DevDisplayMode* out);
// The device on the game window; DEV_ERR_NOTAVAILABLE when it cannot be made.
int32_t Dev_CreateDevice(const DevPresentParams* params);
void Dev_ReleaseDevice();
int Dev_HaveDevice();
// The largest anisotropy the texture filter offers (1 without anisotropic filtering).
int Dev_MaxAnisotropy();
// Size of the back buffer in pixels.
int32_t Dev_BackBufferWidth();
int32_t Dev_BackBufferHeight();

// Hooks under the adapter (tests replace them to refuse a step).
struct DevPlatformOps {
  int (*haveVideo)();                       // 1 when the game window exists
  int (*displayMode)(DevDisplayMode* out);  // 0 on success
};
extern DevPlatformOps Dev_Platform;
void Dev_RestorePlatformDefaults();

// ---- Frame, present, device loss ------------------------------------------------------------------
int32_t Dev_BeginScene();
int32_t Dev_EndScene();
int Dev_InScene();
// Shows the back buffer; DEV_ERR_DEVICELOST while the device is lost.
int32_t Dev_Present();
// DEV_OK, DEV_ERR_DEVICELOST (not yet resettable) or DEV_ERR_DEVICENOTRESET (Reset now).
int32_t Dev_TestCooperativeLevel();
// Puts every render state, stage state, transform, light and the viewport back to the defaults;
// textures and buffers survive. DEV_ERR_INVALIDCALL while not yet resettable.
int32_t Dev_Reset(const DevPresentParams* params);
// Losing the device (a mode change, another program taking the screen): 0 running, 1 lost,
// 2 lost and ready for Reset.
void Dev_SetLostState(int state);
int Dev_ResetCount();

// ---- State ---------------------------------------------------------------------------------------
int32_t Dev_SetRenderState(int state, uint32_t value);
uint32_t Dev_GetRenderState(int state);
int32_t Dev_SetTextureStageState(int stage, int state, uint32_t value);
uint32_t Dev_GetTextureStageState(int stage, int state);
int32_t Dev_SetTransform(int which, const DevMatrix* m);
int32_t Dev_GetTransform(int which, DevMatrix* out);
int32_t Dev_SetViewport(const DevViewport* v);
int32_t Dev_GetViewport(DevViewport* out);
int32_t Dev_SetLight(int index, const DevLight* light);
int32_t Dev_LightEnable(int index, int on);
int32_t Dev_SetMaterial(const DevMaterial* m);
int32_t Dev_Clear(uint32_t flags, uint32_t colour, float z, uint32_t stencil);

// ---- Textures and surfaces ---------------------------------------------------------------------
// levels 0 = a full chain down to 1 x 1.
int32_t Dev_CreateTexture(int width, int height, int levels, uint32_t format, uint32_t* out);
int Dev_TextureLevelCount(uint32_t texture);
int32_t Dev_GetLevelDesc(uint32_t texture, int level, int* width, int* height, uint32_t* format);
// The bytes of a level (rows top first; a compressed level row is one row of blocks) until
// Dev_UnlockRect, which takes the changes to the device.
int32_t Dev_LockRect(uint32_t texture, int level, uint8_t** bits, int* pitch, uint32_t flags);
int32_t Dev_UnlockRect(uint32_t texture, int level);
int32_t Dev_SetTexture(int stage, uint32_t texture);
// A system-memory surface of one level (X8R8G8B8), lockable like a texture level, never drawn.
int32_t Dev_CreateImageSurface(int width, int height, uint32_t format, uint32_t* out);
// Copies the whole back buffer into an image surface of the back buffer's size.
int32_t Dev_CopyBackBuffer(uint32_t surface);

struct DevImageInfo {
  int32_t width, height;  // the picture as stored in the file
  int32_t mipLevels;
  uint32_t format;
  int32_t fileKind;       // 0 DDS, 1 TGA, 2 JPEG, 3 BMP
};
// A texture from the bytes of a picture file (DDS with DXT1/3/5 blocks, TGA, JPEG, BMP), sized up
// to powers of two; levels 1 for level 0 only, 0 for a full chain. DEV_ERR_INVALIDCALL for data
// that is no picture.
int32_t Dev_CreateTextureFromFileInMemory(const void* data, size_t size, int levels, uint32_t* out,
                                          DevImageInfo* info);

// What a DDS file offers: its size, block format and the levels wanted (levels 1: level 0 only,
// else all the file holds); DEV_ERR_INVALIDCALL when it is no DXT1/3/5 file or its blocks are cut
// short. `dataOffset` is where level 0's blocks start.
struct DevDdsInfo {
  int32_t width, height, levels;
  uint32_t format;
  size_t dataOffset, dataBytes;
};
int32_t Dev_ReadDdsHeader(const void* data, size_t size, int levels, DevDdsInfo* out);

// ---- Buffers and drawing ------------------------------------------------------------------------
int32_t Dev_CreateVertexBuffer(int bytes, uint32_t fvf, uint32_t* out);
int32_t Dev_CreateIndexBuffer(int bytes, uint32_t* out);
// Lock (offset, bytes; 0 bytes: to the end) of a vertex or index buffer.
int32_t Dev_LockBuffer(uint32_t buffer, int offset, int bytes, uint8_t** out);
int32_t Dev_UnlockBuffer(uint32_t buffer);
int32_t Dev_SetVertexShader(uint32_t fvf);
int32_t Dev_SetStreamSource(uint32_t buffer, int stride);
int32_t Dev_SetIndices(uint32_t buffer, int baseVertex);
int32_t Dev_DrawPrimitiveUP(uint32_t type, int primitiveCount, const void* vertices, int stride);
int32_t Dev_DrawIndexedPrimitive(uint32_t type, int minIndex, int vertexCount, int startIndex, int primitiveCount);

// Releases one reference of any object; the last one frees it. Unknown handles are ignored.
void Dev_Release(uint32_t object);
void Dev_AddRef(uint32_t object);
int Dev_IsObject(uint32_t object);
// Number of live objects (textures, surfaces, buffers).
int Dev_ObjectCount();

// ---- Matrix helpers ------------------------------------------------------------------------------
void Dev_MatrixIdentity(DevMatrix* out);
// out = a x b (row-major product; a is applied first to a row vector).
void Dev_MatrixMultiply(DevMatrix* out, const DevMatrix* a, const DevMatrix* b);
// The right-handed perspective projection: vertical field of view (radians), width / height,
// near and far planes; depth 0 at the near plane and 1 at the far plane.
void Dev_MatrixPerspectiveFovRH(DevMatrix* out, float fovY, float aspect, float zNear, float zFar);
void Dev_MatrixTranslation(DevMatrix* out, float x, float y, float z);
void Dev_MatrixScaling(DevMatrix* out, float x, float y, float z);
// Rotation by angle (radians) about the axis (normalized here), counter-clockwise looking down it.
void Dev_MatrixRotationAxis(DevMatrix* out, const float axis[3], float angle);

// The matrix stack: a stack of matrices whose top starts as identity; the Local operations apply
// their transform before the top (v x T x Top), as a transform in the top's own coordinates.
struct DevMatrixStack;
int32_t Dev_CreateMatrixStack(DevMatrixStack** out);
void Dev_ReleaseMatrixStack(DevMatrixStack* stack);
int32_t Dev_StackPush(DevMatrixStack* s);
int32_t Dev_StackPop(DevMatrixStack* s);
int32_t Dev_StackLoadIdentity(DevMatrixStack* s);
int32_t Dev_StackMultMatrixLocal(DevMatrixStack* s, const DevMatrix* m);
int32_t Dev_StackTranslateLocal(DevMatrixStack* s, float x, float y, float z);
int32_t Dev_StackRotateAxisLocal(DevMatrixStack* s, const float axis[3], float angle);
int32_t Dev_StackScaleLocal(DevMatrixStack* s, float x, float y, float z);
const DevMatrix* Dev_StackGetTop(DevMatrixStack* s);

#include "render/glext.h"

#include <cstring>
#include <span>
#include <string>

#include "foundation/log.h"
#include "foundation/var.h"
#include "platform/gl_context_sdl.h"
#include "platform/gl_dispatch.h"
#include "render/render.h"

GlExtFlagSet GlExtFlags;
GlLimitSet GlLimits;

namespace {

#define TW_SLOT(name) GL_SLOT_##name,
constexpr int kMultitexture[] = {TW_GL_EXT_ARB_multitexture(TW_SLOT)};
constexpr int kTextureCompression[] = {TW_GL_EXT_ARB_texture_compression(TW_SLOT)};
constexpr int kRegisterCombiners[] = {TW_GL_EXT_NV_register_combiners(TW_SLOT)};
constexpr int kSecondaryColor[] = {TW_GL_EXT_EXT_secondary_color(TW_SLOT)};
constexpr int kFogCoord[] = {TW_GL_EXT_EXT_fog_coord(TW_SLOT)};
constexpr int kStencilTwoSide[] = {TW_GL_EXT_EXT_stencil_two_side(TW_SLOT)};
constexpr int kSeparateStencil[] = {TW_GL_EXT_ATI_separate_stencil(TW_SLOT)};
constexpr int kFence[] = {TW_GL_EXT_NV_fence(TW_SLOT)};
constexpr int kVertexArrayRange[] = {TW_GL_EXT_NV_vertex_array_range(TW_SLOT) GL_SLOT_glXAllocateMemoryNV,
                                     GL_SLOT_glXFreeMemoryNV};
constexpr int kVertexArrayObject[] = {TW_GL_EXT_ATI_vertex_array_object(TW_SLOT)};
constexpr int kVertexAttribArrayObject[] = {TW_GL_EXT_ATI_vertex_attrib_array_object(TW_SLOT)};
constexpr int kMapObjectBuffer[] = {TW_GL_EXT_ATI_map_object_buffer(TW_SLOT)};
constexpr int kElementArray[] = {TW_GL_EXT_ATI_element_array(TW_SLOT)};
constexpr int kDrawRangeElements[] = {TW_GL_EXT_EXT_draw_range_elements(TW_SLOT)};
constexpr int kVertexBufferObject[] = {TW_GL_EXT_ARB_vertex_buffer_object(TW_SLOT)};
constexpr int kVertexWeighting[] = {TW_GL_EXT_EXT_vertex_weighting(TW_SLOT)};
constexpr int kVertexBlend[] = {TW_GL_EXT_ARB_vertex_blend(TW_SLOT)};
constexpr int kNvVertexProgram[] = {TW_GL_EXT_NV_vertex_program(TW_SLOT)};
constexpr int kNvFragmentProgram[] = {TW_GL_EXT_NV_fragment_program(TW_SLOT)};
constexpr int kArbVertexProgram[] = {TW_GL_EXT_ARB_vertex_program(TW_SLOT)};
constexpr int kVertexShader[] = {TW_GL_EXT_EXT_vertex_shader(TW_SLOT)};
constexpr int kAtiFragmentShader[] = {TW_GL_EXT_ATI_fragment_shader(TW_SLOT)};
constexpr int kHalfFloat[] = {TW_GL_EXT_NV_half_float(TW_SLOT)};
constexpr int kPixelDataRange[] = {TW_GL_EXT_NV_pixel_data_range(TW_SLOT)};
constexpr int kOcclusionQuery[] = {TW_GL_EXT_NV_occlusion_query(TW_SLOT)};
constexpr int kFramebuffer[] = {TW_GL_EXT_FRAMEBUFFER(TW_SLOT)};
#undef TW_SLOT

enum RowTest { TEST_GL = 0, TEST_WGL = 1 };

struct ExtRow {
  const char* name;      // tested and logged under this name
  const char* altName;   // a second name that also passes the test, or null
  uint8_t GlExtFlagSet::*flag;
  RowTest test;
  std::span<const int> needs;  // entry points that must all be present
  VarRecord* setting;          // a setting that can hold the extension off, or null
};

const ExtRow kRows[44] = {
    {"GL_ARB_multitexture", nullptr, &GlExtFlagSet::ARB_multitexture, TEST_GL, kMultitexture, nullptr},
    {"GL_EXT_texture_env_combine", nullptr, &GlExtFlagSet::EXT_texture_env_combine, TEST_GL, {}, nullptr},
    {"GL_NV_texture_env_combine4", nullptr, &GlExtFlagSet::NV_texture_env_combine4, TEST_GL, {}, nullptr},
    {"GL_ATIX_texture_env_route", nullptr, &GlExtFlagSet::ATIX_texture_env_route, TEST_GL, {}, nullptr},
    {"GL_ARB_texture_compression", nullptr, &GlExtFlagSet::ARB_texture_compression, TEST_GL, kTextureCompression,
     nullptr},
    {"GL_NV_register_combiners", nullptr, &GlExtFlagSet::NV_register_combiners, TEST_GL, kRegisterCombiners,
     nullptr},
    {"GL_EXT_secondary_color", nullptr, &GlExtFlagSet::EXT_secondary_color, TEST_GL, kSecondaryColor, nullptr},
    {"GL_EXT_fog_coord", nullptr, &GlExtFlagSet::EXT_fog_coord, TEST_GL, kFogCoord, nullptr},
    {"GL_EXT_stencil_two_side", nullptr, &GlExtFlagSet::EXT_stencil_two_side, TEST_GL, kStencilTwoSide, nullptr},
    {"GL_ATI_separate_stencil", nullptr, &GlExtFlagSet::ATI_separate_stencil, TEST_GL, kSeparateStencil, nullptr},
    {"GL_NV_depth_clamp", nullptr, &GlExtFlagSet::NV_depth_clamp, TEST_GL, {}, nullptr},
    {"GL_NV_fence", nullptr, &GlExtFlagSet::NV_fence, TEST_GL, kFence, nullptr},
    {"GL_NV_vertex_array_range", nullptr, &GlExtFlagSet::NV_vertex_array_range, TEST_GL, kVertexArrayRange,
     nullptr},
    {"GL_ATI_vertex_array_object", nullptr, &GlExtFlagSet::ATI_vertex_array_object, TEST_GL, kVertexArrayObject,
     nullptr},
    {"GL_ATI_vertex_attrib_array_object", nullptr, &GlExtFlagSet::ATI_vertex_attrib_array_object, TEST_GL,
     kVertexAttribArrayObject, nullptr},
    {"GL_ATI_map_object_buffer", nullptr, &GlExtFlagSet::ATI_map_object_buffer, TEST_GL, kMapObjectBuffer, nullptr},
    {"GL_ATI_element_array", nullptr, &GlExtFlagSet::ATI_element_array, TEST_GL, kElementArray, nullptr},
    {"GL_EXT_draw_range_elements", nullptr, &GlExtFlagSet::EXT_draw_range_elements, TEST_GL, kDrawRangeElements,
     nullptr},
    {"GL_ARB_vertex_buffer_object", nullptr, &GlExtFlagSet::ARB_vertex_buffer_object, TEST_GL, kVertexBufferObject,
     nullptr},
    {"GL_EXT_vertex_weighting", nullptr, &GlExtFlagSet::EXT_vertex_weighting, TEST_GL, kVertexWeighting, nullptr},
    {"GL_ARB_vertex_blend", nullptr, &GlExtFlagSet::ARB_vertex_blend, TEST_GL, kVertexBlend, nullptr},
    {"GL_NV_vertex_program", nullptr, &GlExtFlagSet::NV_vertex_program, TEST_GL, kNvVertexProgram, nullptr},
    {"GL_NV_vertex_program1_1", nullptr, &GlExtFlagSet::NV_vertex_program1_1, TEST_GL, {}, nullptr},
    {"GL_NV_texture_expand_normal", nullptr, &GlExtFlagSet::NV_texture_expand_normal, TEST_GL, {}, nullptr},
    {"GL_NV_fragment_program", nullptr, &GlExtFlagSet::NV_fragment_program, TEST_GL, kNvFragmentProgram, nullptr},
    {"GL_ARB_vertex_program", nullptr, &GlExtFlagSet::ARB_vertex_program, TEST_GL, kArbVertexProgram, nullptr},
    {"GL_ARB_fragment_program", nullptr, &GlExtFlagSet::ARB_fragment_program, TEST_GL, {}, nullptr},
    {"GL_NV_texture_shader", nullptr, &GlExtFlagSet::NV_texture_shader, TEST_GL, {}, nullptr},
    {"GL_EXT_vertex_shader", nullptr, &GlExtFlagSet::EXT_vertex_shader, TEST_GL, kVertexShader, nullptr},
    {"GL_ATI_fragment_shader", nullptr, &GlExtFlagSet::ATI_fragment_shader, TEST_GL, kAtiFragmentShader, nullptr},
    {"GL_NV_texture_rectangle", "GL_EXT_texture_rectangle", &GlExtFlagSet::NV_texture_rectangle, TEST_GL, {},
     nullptr},
    {"GL_SGIS_generate_mipmap", nullptr, &GlExtFlagSet::SGIS_generate_mipmap, TEST_GL, {},
     &render_SGIS_generate_mipmap},
    {"GL_ARB_texture_cube_map", nullptr, &GlExtFlagSet::ARB_texture_cube_map, TEST_GL, {}, nullptr},
    {"GL_NV_half_float", nullptr, &GlExtFlagSet::NV_half_float, TEST_GL, kHalfFloat, nullptr},
    {"GL_NV_pixel_data_range", nullptr, &GlExtFlagSet::NV_pixel_data_range, TEST_GL, kPixelDataRange,
     &render_NV_pixel_data_range},
    {"GL_NV_occlusion_query", nullptr, &GlExtFlagSet::NV_occlusion_query, TEST_GL, kOcclusionQuery, nullptr},
    {"GL_EXT_texture_filter_anisotropic", nullptr, &GlExtFlagSet::EXT_texture_filter_anisotropic, TEST_GL, {},
     nullptr},
    // The pbuffer rows are served by a framebuffer object: their entry points are the FBO calls.
    {"WGL_ARB_pbuffer", nullptr, &GlExtFlagSet::WGL_ARB_pbuffer, TEST_WGL, kFramebuffer, nullptr},
    {"WGL_ARB_make_current_read", nullptr, &GlExtFlagSet::WGL_ARB_make_current_read, TEST_WGL, {}, nullptr},
    {"WGL_ARB_pixel_format", nullptr, &GlExtFlagSet::WGL_ARB_pixel_format, TEST_WGL, {}, nullptr},
    {"WGL_ARB_render_texture", nullptr, &GlExtFlagSet::WGL_ARB_render_texture, TEST_WGL, kFramebuffer, nullptr},
    {"WGL_NV_render_texture_rectangle", nullptr, &GlExtFlagSet::WGL_NV_render_texture_rectangle, TEST_WGL, {},
     nullptr},
    {"WGL_NV_render_depth_texture", nullptr, &GlExtFlagSet::WGL_NV_render_depth_texture, TEST_WGL, {}, nullptr},
    {"WGL_EXT_swap_control", nullptr, &GlExtFlagSet::WGL_EXT_swap_control, TEST_WGL, {}, nullptr},
};

// The window-system extension string of this context: the framebuffer-object stand-ins for the
// pbuffer rows, and swap control when the window system took a swap interval.
std::string g_wglExtensions;
int g_wglStringReady;
int g_swapInterval = -1;

bool AllPresent(std::span<const int> slots) {
  for (int s : slots)
    if (!GlDispatch_SlotValue(s)) return false;
  return true;
}

void BuildWglString() {
  g_wglExtensions.clear();
  g_wglStringReady = 1;
  bool fbo = (OPENGL_HasExtension("GL_ARB_framebuffer_object") || OPENGL_HasExtension("GL_EXT_framebuffer_object")) &&
             AllPresent(kFramebuffer);
  if (fbo) g_wglExtensions += "WGL_ARB_pbuffer WGL_ARB_pixel_format WGL_ARB_render_texture";
  g_swapInterval = -1;
  if (Plat_Gl.setSwapInterval && Plat_Gl.setSwapInterval(0) == 0) {
    g_swapInterval = 0;
    if (!g_wglExtensions.empty()) g_wglExtensions += ' ';
    g_wglExtensions += "WGL_EXT_swap_control";
  }
}

void LimitI(GLenum pname, int32_t* out, const char* format) {
  *out = 0;
  gl.glGetIntegerv(pname, out);
  Log_Printf(format, *out);
}

}  // namespace

bool OPENGL_StringHasWord(const char* string, const char* name) {
  if (!name || !*name || std::strchr(name, ' ')) return false;
  if (!string) return false;
  size_t len = std::strlen(name);
  const char* from = string;
  while (const char* hit = std::strstr(from, name)) {
    bool startOk = hit == string || hit[-1] == ' ';
    bool endOk = hit[len] == ' ' || hit[len] == 0;
    if (startOk && endOk) return true;
    from = hit + len;
  }
  return false;
}

bool OPENGL_HasExtension(const char* name) {
  if (!gl.glGetString) return false;
  const GLubyte* s = gl.glGetString(GL_EXTENSIONS);
  return OPENGL_StringHasWord(reinterpret_cast<const char*>(s), name);
}

// Null when the window system offers none of the rows (no string to ask).
const char* OPENGL_WglExtensionString() {
  return g_wglStringReady && !g_wglExtensions.empty() ? g_wglExtensions.c_str() : nullptr;
}

bool OPENGL_HasWglExtension(const char* name) {
  return OPENGL_StringHasWord(OPENGL_WglExtensionString(), name);
}

void OPENGL_ClearExtensions() {
  GlExtFlags = GlExtFlagSet{};
  GlLimits = GlLimitSet{};
  g_wglExtensions.clear();
  g_wglStringReady = 0;
  g_swapInterval = -1;
}

void OPENGL_ApplySwapInterval(int interval) {
  if (!GlExtFlags.WGL_EXT_swap_control || interval == g_swapInterval) return;
  if (Plat_Gl.setSwapInterval && Plat_Gl.setSwapInterval(interval) == 0) g_swapInterval = interval;
}

void OPENGL_LoadExtensions() {
  GlDispatch_Load(Plat_Gl.getProcAddress, kGlCoreSlotCount, GL_SLOT_COUNT);
  for (int i = 0; i < 44; ++i) {
    const ExtRow& row = kRows[i];
    if (i == 37) {
      // The window-system string, between the GL rows and the WGL rows.
      BuildWglString();
      if (OPENGL_WglExtensionString()) Log_Printf("WGL_EXTENSIONS: %s\n", g_wglExtensions.c_str());
    }
    bool listed;
    if (row.test == TEST_GL)
      listed = OPENGL_HasExtension(row.name) || (row.altName && OPENGL_HasExtension(row.altName));
    else
      listed = OPENGL_HasWglExtension(row.name);
    bool usable = listed && AllPresent(row.needs);
    bool heldOff = usable && row.setting && row.setting->value == 0.0f;
    GlExtFlags.*row.flag = usable && !heldOff ? 1 : 0;
    if (heldOff)
      Log_Printf("%s enabling but not used.\n", row.name);
    else
      Log_Printf("%s %s.\n", row.name, usable ? "enabling" : "disabling");
  }

  LimitI(GL_MAX_TEXTURE_SIZE, &GlLimits.maxTextureSize, "max texture size %i.\n");
  if (GlExtFlags.ARB_multitexture) LimitI(GL_MAX_TEXTURE_UNITS_ARB, &GlLimits.maxTextureUnits, "max texture units %i.\n");
  if (GlExtFlags.EXT_texture_filter_anisotropic) {
    GlLimits.maxAnisotropy = 0;
    gl.glGetFloatv(GL_MAX_TEXTURE_MAX_ANISOTROPY_EXT, &GlLimits.maxAnisotropy);
    Log_Printf("max texture max anisotropy %f.\n", GlLimits.maxAnisotropy);
  }
  if (GlExtFlags.NV_vertex_array_range)
    LimitI(GL_MAX_VERTEX_ARRAY_RANGE_ELEMENT_NV, &GlLimits.maxVertexArrayRange, "max vertex array nv size %i.\n");
  if (GlExtFlags.NV_register_combiners)
    LimitI(GL_MAX_GENERAL_COMBINERS_NV, &GlLimits.maxGeneralCombiners, "max general combiners nv %i.\n");
  if (GlExtFlags.ARB_vertex_blend) LimitI(GL_MAX_VERTEX_UNITS_ARB, &GlLimits.maxVertexUnits, "max vertex units %i.\n");
  if (GlExtFlags.ARB_fragment_program) {
    LimitI(GL_MAX_TEXTURE_COORDS_ARB, &GlLimits.maxTextureCoords, "max texture coords %i.\n");
    LimitI(GL_MAX_TEXTURE_IMAGE_UNITS_ARB, &GlLimits.maxTextureImageUnits, "max texture image units %i.\n");
    static const GLenum kNames[6] = {
        GL_MAX_PROGRAM_ALU_INSTRUCTIONS_ARB,        GL_MAX_PROGRAM_TEX_INSTRUCTIONS_ARB,
        GL_MAX_PROGRAM_TEX_INDIRECTIONS_ARB,        GL_MAX_PROGRAM_NATIVE_ALU_INSTRUCTIONS_ARB,
        GL_MAX_PROGRAM_NATIVE_TEX_INSTRUCTIONS_ARB, GL_MAX_PROGRAM_NATIVE_TEX_INDIRECTIONS_ARB};
    static const char* const kLines[6] = {
        "max program alu instructions %i.\n",            "max program tex instructions %i.\n",
        "max program tex indirections %i.\n",            "max program tex native alu instructions %i.\n",
        "max program tex native tex instructions %i.\n", "max program tex native tex indirections %i.\n"};
    for (int i = 0; i < 6; ++i) {
      GlLimits.fragmentProgram[i] = 0;
      if (gl.glGetProgramivARB) gl.glGetProgramivARB(GL_FRAGMENT_PROGRAM_ARB, kNames[i], &GlLimits.fragmentProgram[i]);
      Log_Printf(kLines[i], GlLimits.fragmentProgram[i]);
    }
  }
  if (GlExtFlags.EXT_vertex_shader) {
    static const GLenum kNames[10] = {
        GL_MAX_VERTEX_SHADER_INSTRUCTIONS_EXT,           GL_MAX_VERTEX_SHADER_VARIANTS_EXT,
        GL_MAX_VERTEX_SHADER_INVARIANTS_EXT,             GL_MAX_VERTEX_SHADER_LOCAL_CONSTANTS_EXT,
        GL_MAX_VERTEX_SHADER_LOCALS_EXT,                 GL_MAX_OPTIMIZED_VERTEX_SHADER_INSTRUCTIONS_EXT,
        GL_MAX_OPTIMIZED_VERTEX_SHADER_VARIANTS_EXT,     GL_MAX_OPTIMIZED_VERTEX_SHADER_LOCAL_CONSTANTS_EXT,
        GL_MAX_OPTIMIZED_VERTEX_SHADER_INVARIANTS_EXT,   GL_MAX_OPTIMIZED_VERTEX_SHADER_LOCALS_EXT};
    static const char* const kLines[10] = {
        "max vertex shader instructions %i.\n",           "max vertex shader variants %i.\n",
        "max vertex shader invarints %i.\n",              "max vertex shader local constants %i.\n",
        "max vertex shader locals %i.\n",                 "max optimized vertex shader instructions %i.\n",
        "max optimized vertex shader variants %i.\n",     "max optimized vertex shader local constants %i.\n",
        "max optimized vertex shader invariants %i.\n",   "max optimized vertex shader locals %i.\n"};
    for (int i = 0; i < 10; ++i) LimitI(kNames[i], &GlLimits.vertexShader[i], kLines[i]);
  }
  if (GlExtFlags.ATI_fragment_shader) {
    static const GLenum kNames[7] = {GL_NUM_FRAGMENT_REGISTERS_ATI,     GL_NUM_FRAGMENT_CONSTANTS_ATI,
                                     GL_NUM_PASSES_ATI,                 GL_NUM_INSTRUCTIONS_PER_PASS_ATI,
                                     GL_NUM_INSTRUCTIONS_TOTAL_ATI,     GL_NUM_INPUT_INTERPOLATOR_COMPONENTS_ATI,
                                     GL_NUM_LOOPBACK_COMPONENTS_ATI};
    static const char* const kLines[7] = {
        "num fragment registers ati %i.\n",    "num fragment constants ati %i.\n",
        "num passes ati %i.\n",                "num instructions per pass ati %i.\n",
        "num instructions total ati %i.\n",    "num input interpolator components ati %i.\n",
        "num loopback components ati %i.\n"};
    for (int i = 0; i < 7; ++i) LimitI(kNames[i], &GlLimits.atiFragmentShader[i], kLines[i]);
  }
}

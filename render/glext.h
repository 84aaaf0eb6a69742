// OpenGL extension flags, set once at OpenGL start-up from the driver's extension strings.
// Renderers choose their paths by reading them; an extension whose flag is clear is never called.
#pragma once
#include <cstdint>

// The 44 extensions, in the order they are tested (the WGL rows are mapped to what the window
// system offers here: a framebuffer object stands in for the pbuffer and render-to-texture rows,
// the swap-interval row is set only when the window system accepts a swap interval).
#define TW_GLEXT_FLAG_NAMES(X)                                                                      \
  X(ARB_multitexture) X(EXT_texture_env_combine) X(NV_texture_env_combine4) X(ATIX_texture_env_route) \
  X(ARB_texture_compression) X(NV_register_combiners) X(EXT_secondary_color) X(EXT_fog_coord)       \
  X(EXT_stencil_two_side) X(ATI_separate_stencil) X(NV_depth_clamp) X(NV_fence)                      \
  X(NV_vertex_array_range) X(ATI_vertex_array_object) X(ATI_vertex_attrib_array_object)             \
  X(ATI_map_object_buffer) X(ATI_element_array) X(EXT_draw_range_elements)                          \
  X(ARB_vertex_buffer_object) X(EXT_vertex_weighting) X(ARB_vertex_blend) X(NV_vertex_program)      \
  X(NV_vertex_program1_1) X(NV_texture_expand_normal) X(NV_fragment_program) X(ARB_vertex_program)  \
  X(ARB_fragment_program) X(NV_texture_shader) X(EXT_vertex_shader) X(ATI_fragment_shader)          \
  X(NV_texture_rectangle) X(SGIS_generate_mipmap) X(ARB_texture_cube_map) X(NV_half_float)          \
  X(NV_pixel_data_range) X(NV_occlusion_query) X(EXT_texture_filter_anisotropic) X(WGL_ARB_pbuffer) \
  X(WGL_ARB_make_current_read) X(WGL_ARB_pixel_format) X(WGL_ARB_render_texture)                    \
  X(WGL_NV_render_texture_rectangle) X(WGL_NV_render_depth_texture) X(WGL_EXT_swap_control)

// One byte per extension: 1 present and usable, 0 not. The GL rows are named without their
// "GL_" prefix (GlExtFlags.ARB_multitexture is GL_ARB_multitexture).
struct GlExtFlagSet {
#define TW_GLEXT_FIELD(name) uint8_t name;
  TW_GLEXT_FLAG_NAMES(TW_GLEXT_FIELD)
#undef TW_GLEXT_FIELD
};
static_assert(sizeof(GlExtFlagSet) == 44, "44 extension flags");
extern GlExtFlagSet GlExtFlags;

// Implementation limits read at the end of OPENGL_LoadExtensions (0 until then).
struct GlLimitSet {
  int32_t maxTextureSize;
  int32_t maxTextureUnits;
  float maxAnisotropy;
  // Read for the log only.
  int32_t maxVertexArrayRange;
  int32_t maxGeneralCombiners;
  int32_t maxVertexUnits;
  int32_t maxTextureCoords;
  int32_t maxTextureImageUnits;
  int32_t fragmentProgram[6];
  int32_t vertexShader[10];
  int32_t atiFragmentShader[7];
};
extern GlLimitSet GlLimits;

// Loads every extension entry point, sets the 44 flags and reads the limits (with logging).
void OPENGL_LoadExtensions();
// Whole-word test of the GL_EXTENSIONS string; false for an empty name or one with a blank.
bool OPENGL_HasExtension(const char* name);
// The same test on the window-system extension string.
bool OPENGL_HasWglExtension(const char* name);
// The word test on any string (a null string is empty).
bool OPENGL_StringHasWord(const char* string, const char* name);
// The window-system extension string of the current context; null before OpenGL started or when
// the window system offers none of the WGL rows.
const char* OPENGL_WglExtensionString();
// Clears every flag and limit (part of the renderer block reset).
void OPENGL_ClearExtensions();
// Sets the swap interval when it differs from the last one set (only with WGL_EXT_swap_control).
void OPENGL_ApplySwapInterval(int interval);

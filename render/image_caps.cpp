// What the picture loaders ask of the OpenGL driver: the extension flags and limits.
#include "render/glext.h"
#include "render/image_internal.h"

bool Image_DriverCompresses() { return GlExtFlags.ARB_texture_compression != 0; }
bool Image_DriverGeneratesMipmaps() { return GlExtFlags.SGIS_generate_mipmap != 0; }
int Image_DriverMaxTextureSize() { return GlLimits.maxTextureSize > 0 ? GlLimits.maxTextureSize : 2048; }

#include "render/image_internal.h"

ImageDriverCaps g_imageCaps = {true, true, 2048};

bool Image_DriverCompresses() { return g_imageCaps.compression; }
bool Image_DriverGeneratesMipmaps() { return g_imageCaps.generateMipmap; }
int Image_DriverMaxTextureSize() { return g_imageCaps.maxTextureSize; }

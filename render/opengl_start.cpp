// OpenGL start-up on the game window: the library and the OpenGL 1.1 entry points, the context,
// the hardware-acceleration check with its warning box, and the driver log.
#include <strings.h>

#include <cstring>

#include "foundation/log.h"
#include "foundation/sys.h"
#include "platform/gl_context_sdl.h"
#include "platform/gl_dispatch.h"
#include "platform/window.h"
#include "render/glext.h"
#include "render/render.h"

namespace {

int g_libraryLoaded;
void* g_context;
constexpr int kChosenFormat = 1;  // the one framebuffer format of the window

struct NvDevice {
  unsigned id;
  const char* name;
};
// Names NVIDIA gives its chips, for the log line of the primary adapter.
constexpr NvDevice kNvDevices[] = {
    {0x0020, "RIVA TNT"},          {0x0028, "RIVA TNT2/TNT2 Pro"},  {0x0029, "RIVA TNT2 Ultra"},
    {0x002C, "Vanta/Vanta LT"},    {0x002D, "RIVA TNT2 Model 64/Model 64 Pro"},
    {0x00A0, "Aladdin TNT2"},      {0x0100, "GeForce 256"},         {0x0101, "GeForce DDR"},
    {0x0103, "Quadro"},            {0x0110, "GeForce2 MX/MX 400"},  {0x0111, "GeForce2 MX 100/200"},
    {0x0113, "Quadro2 MXR/EX/Go"}, {0x0150, "GeForce2 GTS/GeForce2 Pro"}, {0x0151, "GeForce2 Ti"},
    {0x0152, "GeForce2 Ultra"},    {0x0153, "Quadro2 Pro"},         {0x0170, "GeForce4 MX 460"},
    {0x0171, "GeForce4 MX 440"},   {0x0172, "GeForce4 MX 420"},     {0x0173, "GeForce4 MX 440-SE"},
    {0x0178, "Quadro4 550 XGL"},   {0x017A, "Quadro NVS"},          {0x0181, "GeForce4 MX 440 with AGP8X"},
    {0x0182, "GeForce4 MX 440SE with AGP8X"}, {0x0183, "GeForce4 MX 420 with AGP8X"},
    {0x0188, "Quadro4 580 XGL"},   {0x018A, "Quadro NVS with AGP8X"}, {0x018B, "Quadro4 380 XGL"},
    {0x01A0, "GeForce2 Integrated GPU"}, {0x01F0, "GeForce4 MX Integrated GPU"},
    {0x0200, "GeForce3"},          {0x0201, "GeForce3 Ti 200"},     {0x0202, "GeForce3 Ti 500"},
    {0x0203, "Quadro DCC"},        {0x0250, "GeForce4 Ti 4600"},    {0x0251, "GeForce4 Ti 4400"},
    {0x0253, "GeForce4 Ti 4200"},  {0x0258, "Quadro4 900 XGL"},     {0x0259, "Quadro4 750 XGL"},
    {0x025B, "Quadro4 700 XGL"},   {0x0280, "GeForce4 Ti 4800"},    {0x0281, "GeForce4 Ti 4200 with AGP8X"},
    {0x0282, "GeForce4 Ti 4800 SE"}, {0x0288, "Quadro4 980 XGL"},   {0x0289, "Quadro4 780 XGL"},
    {0x0301, "GeForce FX 5800 Ultra"}, {0x0302, "GeForce FX 5800"}, {0x0308, "Quadro FX 2000"},
    {0x0309, "Quadro FX 1000"},    {0x0311, "GeForce FX 5600 Ultra"}, {0x0312, "GeForce FX 5600"},
    {0x0314, "GeForce FX 5600XT"}, {0x0321, "GeForce FX 5200 Ultra"}, {0x0322, "GeForce FX 5200"},
    {0x0323, "GeForce FX 5200LE"}, {0x0326, "GeForce FX 5500"},     {0x0330, "GeForce FX 5900 Ultra"},
    {0x0331, "GeForce FX 5900"},   {0x0332, "NV35"},                {0x0338, "Quadro FX 3000"},
    {0x0341, "GeForce FX 5700 Ultra"}, {0x0342, "GeForce FX 5700"},
    {0x0112, "GeForce2 Go"},       {0x0174, "GeForce4 440 Go"},     {0x0175, "GeForce4 420 Go"},
    {0x0176, "GeForce4 420 Go 32M"}, {0x0177, "GeForce4 460 Go"},   {0x0179, "GeForce4 440 Go 64M"},
    {0x017D, "GeForce4 410 Go 16M"}, {0x017C, "Quadro4 500 GoGL"},  {0x0186, "GeForce4 448 Go"},
    {0x0187, "GeForce4 488 Go"},   {0x018D, "GeForce4 448 Go"},     {0x0286, "GeForce4 4200 Go"},
    {0x028C, "Quadro4 700 GoGL"},  {0x0316, "NV31M"},               {0x0317, "NV31M Pro"},
    {0x031A, "GeForce FX Go5600"}, {0x031B, "GeForce FX Go5650"},   {0x031C, "Quadro FX Go700"},
    {0x031D, "NV31GLM"},           {0x031E, "NV31GLM Pro"},         {0x031F, "NV31GLM Pro"},
    {0x0324, "GeForce FX Go5200"}, {0x0325, "GeForce FX Go5250"},   {0x0328, "GeForce FX Go5200 32M/64M"},
    {0x032C, "GeForce FX Go5300"}, {0x032D, "GeForce FX Go5100"},
};

const char* GlText(GLenum name) {
  const GLubyte* s = gl.glGetString ? gl.glGetString(name) : nullptr;
  return s ? reinterpret_cast<const char*>(s) : "";
}

bool ContainsNoCase(const char* text, const char* word) {
  size_t n = std::strlen(word);
  for (const char* p = text; *p; ++p)
    if (strncasecmp(p, word, n) == 0) return true;
  return false;
}

// A software rasterizer or an indirect context: no hardware acceleration.
bool IsSoftware() {
  const char* renderer = GlText(GL_RENDERER);
  if (ContainsNoCase(renderer, "llvmpipe") || ContainsNoCase(renderer, "softpipe") ||
      ContainsNoCase(renderer, "software rasterizer") || ContainsNoCase(renderer, "swrast"))
    return true;
  return Plat_Gl.isIndirect && Plat_Gl.isIndirect(g_context);
}

void ReleaseAfterFailure() {
  if (g_context) {
    Plat_Gl.makeCurrent(nullptr);
    Plat_Gl.deleteContext(g_context);
    g_context = nullptr;
  }
  if (g_libraryLoaded) {
    Plat_Gl.unloadLibrary();
    g_libraryLoaded = 0;
  }
  Render_ResetBlock();
}

}  // namespace

void* OPENGL_CurrentContext() { return g_context; }

int OPENGL_LoadLibrary() {
  if (Plat_Gl.loadLibrary() != 0) {
    Log_Printf("Unable load OPENGL32.DLL.\n");
    return 0;
  }
  g_libraryLoaded = 1;
  if (GlDispatch_Load(Plat_Gl.getProcAddress, 0, kGlCoreSlotCount) != 0) {
    Render_ResetBlock();
    Plat_Gl.unloadLibrary();
    g_libraryLoaded = 0;
    Log_Printf("Unable check OPENGL32.DLL.\n");
    return 0;
  }
  Log_Printf("Success load OPENGL32.DLL.\n");
  return 1;
}

// The window's format was fixed when the window was made (the X visual); here it is checked once
// the context is current: a software rasterizer or an indirect context gets the warning box.
int OPENGL_FindPixelFormat() {
  PlatGlFormat f{};
  Plat_Gl.describeFormat(&f);
  if (IsSoftware()) {
    Log_Printf("OPENGL_FindPixelFormat: no hardware acceleration found\n");
    int answer = Plat_MessageBox("OPENGL warning",
                                 "OPENGL hardware acceleration not found.\nCheck the latest opengl drivers.\nContinue work?",
                                 PLAT_MB_YESNO, PLAT_ID_YES);
    if (answer == PLAT_ID_NO) Sys_QuitRequested = 1;
  } else {
    Log_Printf("OPENGL_FindPixelFormat: hardware acceleration found\n");
  }
  if (f.redBits + f.greenBits + f.blueBits <= 0 || !f.doubleBuffer) {
    Log_Printf("SetPixelFormat: failed\n");
    return 0;
  }
  Log_Printf("OPENGL_FindPixelFormat: Set pixel ok\n");
  return 1;
}

void OPENGL_LogDisplayDevice() {
  unsigned vendor = 0, device = 0;
  if (!Plat_Gl.primaryPciIds || !Plat_Gl.primaryPciIds(&vendor, &device)) return;
  if (vendor != 0x10DE) return;
  for (const NvDevice& d : kNvDevices) {
    if (d.id == device) {
      Log_Printf("VENDOR = NVIDIA Corporation\nDEVICE = [%s]\n", d.name);
      return;
    }
  }
}

void OPENGL_LogPixelFormats() {
  Log_Printf("GL_VENDOR:%s\n", GlText(GL_VENDOR));
  Log_Printf("GL_RENDERER:%s\n", GlText(GL_RENDERER));
  Log_Printf("GL_VERSION:%s\n", GlText(GL_VERSION));
  Log_Printf("GL_EXTENSIONS:%s\n", GlText(GL_EXTENSIONS));
  Log_Printf("ipfd=%d\n", kChosenFormat);
  PlatGlFormat f{};
  Plat_Gl.describeFormat(&f);
  Log_Printf("i=%d\n", kChosenFormat);
  Log_Printf("   dwFlags:PFD_DRAW_TO_WINDOW\n");
  Log_Printf("   dwFlags:PFD_SUPPORT_OPENGL\n");
  if (IsSoftware()) Log_Printf("   dwFlags:PFD_GENERIC_FORMAT\n");
  if (f.doubleBuffer) Log_Printf("   dwFlags:PFD_DOUBLEBUFFER\n");
  Log_Printf("   iPixelType:PFD_TYPE_RGBA\n");
  // Channel order in memory: blue, green, red, alpha.
  Log_Printf("   cColorBits:%d\n", f.redBits + f.greenBits + f.blueBits + f.alphaBits);
  Log_Printf("   cRedBits:%d\n", f.redBits);
  Log_Printf("   cRedShift:%d\n", f.greenBits + f.blueBits);
  Log_Printf("   cGreenBits:%d\n", f.greenBits);
  Log_Printf("   cGreenShift:%d\n", f.blueBits);
  Log_Printf("   cBlueBits:%d\n", f.blueBits);
  Log_Printf("   cBlueShift:%d\n", 0);
  Log_Printf("   cAlphaBits:%d\n", f.alphaBits);
  Log_Printf("   cAlphaShift:%d\n", f.alphaBits ? f.redBits + f.greenBits + f.blueBits : 0);
  Log_Printf("   cAccumBits:%d\n", 0);
  Log_Printf("   cAccumRedBits:%d\n", 0);
  Log_Printf("   cAccumGreenBits:%d\n", 0);
  Log_Printf("   cAccumBlueBits:%d\n", 0);
  Log_Printf("   cAccumAlphaBits:%d\n", 0);
  Log_Printf("   cDepthBits:%d\n", f.depthBits);
  Log_Printf("   cStencilBits:%d\n", f.stencilBits);
  Log_Printf("   cAuxBuffers:%d\n", 0);
  Log_Printf("   iLayerType:PFD_MAIN_PLANE\n");
}

int OPENGL_Start() {
  if (!OPENGL_LoadLibrary()) return 0;
  g_context = Plat_Gl.createContext();
  if (!g_context) {
    Log_Printf("wglCreateContext Failed\n");
    Log_Printf("OPENGL: %s\n", Plat_Gl.lastError());
    ReleaseAfterFailure();
    return 0;
  }
  if (Plat_Gl.makeCurrent(g_context) != 0) {
    Log_Printf("wglMakeCurrent Failed\n");
    Log_Printf("OPENGL: %s\n", Plat_Gl.lastError());
    ReleaseAfterFailure();
    return 0;
  }
  if (!OPENGL_FindPixelFormat()) {
    ReleaseAfterFailure();
    return 0;
  }
  RenderApi = RENDER_API_OPENGL;
  OPENGL_LogPixelFormats();
  OPENGL_LoadExtensions();
  return 1;
}

void OPENGL_Stop() {
  if (g_libraryLoaded) {
    if (g_context) {
      Plat_Gl.makeCurrent(nullptr);
      Plat_Gl.deleteContext(g_context);
      g_context = nullptr;
    }
    Plat_Gl.unloadLibrary();
    g_libraryLoaded = 0;
  }
  Render_ResetBlock();
}

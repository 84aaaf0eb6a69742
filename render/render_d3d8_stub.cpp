// Placeholder Direct3D 8 twins until that back end exists: D3D8_Start reports the missing
// library, so RenderApi stays 0, and every twin does nothing.
#include "foundation/log.h"
#include "render/render_d3d8.h"

void D3D8_Start() { Log_Printf("D3D8: Unable found D3D8.DLL\n"); }
void D3D8_Stop() {}
void D3D8_BeginFrame() {}
void D3D8_EndFrame() {}
void D3D8_Clear(int, float, float, float) {}
void D3D8_ClearStencil(int) {}
void D3D8_SetFog(float, float, const float*) {}
void D3D8_SetFogEnable(int) {}
void D3D8_BindTexture(int, int, int) {}
void D3D8_SetTexWrap(int, int) {}
void D3D8_SetDepthTest(int) {}
void D3D8_SetDepthWrite(int) {}
void D3D8_SetDepthFunc(int) {}
void D3D8_SetPointSize(float) {}
void D3D8_SetCull(int) {}
void D3D8_GetTexelOffset(int, int, float*) {}
void D3D8_SetLighting(int) {}
void D3D8_EnableLight(int, int) {}
void D3D8_SetLight(int, const float*, const float*, const float*, const float*) {}
void D3D8_SetMaterialColor(const float*, const float*, const float*) {}
void D3D8_SetPolygonOffset(int) {}
void D3D8_SetColorMask(int, int, int, int) {}
void D3D8_SetPolygonMode(int) {}
void D3D8_SetBlend(int) {}
void D3D8_DrawPoint(const ImmVertex*) {}
void D3D8_DrawLine(const ImmVertex*, const ImmVertex*) {}
void D3D8_DrawTriangle(const ImmVertex*, const ImmVertex*, const ImmVertex*) {}
void D3D8_SetPerspective(float, float, float, float) {}
void D3D8_SetCamera(const float*, const float*) {}
void D3D8_PushMatrix() {}
void D3D8_PopMatrix() {}
void D3D8_MultMatrix(const float*, const float*) {}
void D3D8_Translate(float, float, float) {}
void D3D8_Rotate(float, float, float, float) {}
void D3D8_Scale(float, float, float) {}
void D3D8_GetViewport(int*, int*, int*, int*) {}
void D3D8_SetViewport(int, int, int, int) {}
void D3D8_ReadPixels(int, int, int, int, void*) {}
void D3D8_UpdateTexSubImage(int, int, int, int, int, int, const void*) {}
void D3D8_SetTextureMatrix(int, const float*, const float*, int, int) {}
void D3D8_DrawIndexedTriangles(int, int, int) {}
uint32_t D3D8_CreateVertexBuffer(int, int) { return 0; }
uint32_t D3D8_CreateIndexBuffer(int) { return 0; }
void D3D8_ReleaseObject(uint32_t) {}
void D3D8_SetVertexBuffer(uint32_t, int) {}
void D3D8_SetIndexBuffer(uint32_t, int) {}
void D3D8_FillVertexBuffer(uint32_t, int, int, int, const void*) {}
void D3D8_FillIndexBuffer(uint32_t, int, int, const void*) {}
void D3D8_BeginEnvMapStages(int) {}
void D3D8_EndEnvMapStages(int) {}
void D3D8_SetStageModulate(int, float) {}
int D3D8_TextureFileExists(const char*) { return 0; }
void D3D8_LoadTexture(int, const char*, int) {}
uint32_t D3D8_CreateTexture(int, int, uint32_t, const void*, int) { return 0; }

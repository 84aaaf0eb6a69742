// The Direct3D 8 back end: the twin of every render operation, called when RenderApi is 2.
// Each does nothing unless RenderApi is 2.
#pragma once
#include <cstdint>

#include "render/render.h"

void D3D8_Start();
void D3D8_Stop();
// Logs the name of a device error (21 known codes), nothing for others.
void D3D8_LogError(int32_t code);
void D3D8_BeginFrame();
void D3D8_EndFrame();
void D3D8_Clear(int colourAndDepth, float r, float g, float b);
void D3D8_ClearStencil(int value);
void D3D8_SetFog(float start, float end, const float* colour);
void D3D8_SetFogEnable(int on);
void D3D8_BindTexture(int stage, int texture, int filterKind);
void D3D8_SetTexWrap(int unit, int mode);
void D3D8_SetDepthTest(int on);
void D3D8_SetDepthWrite(int on);
void D3D8_SetDepthFunc(int mode);
void D3D8_SetPointSize(float size);
void D3D8_SetCull(int mode);
void D3D8_GetTexelOffset(int width, int height, float* out);
void D3D8_SetLighting(int on);
void D3D8_EnableLight(int index, int on);
void D3D8_SetLight(int index, const float* position, const float* ambient, const float* diffuse, const float* specular);
void D3D8_SetMaterialColor(const float* ambient, const float* diffuse, const float* specular);
void D3D8_SetPolygonOffset(int on);
void D3D8_SetColorMask(int r, int g, int b, int a);
void D3D8_SetPolygonMode(int mode);
void D3D8_SetBlend(int mode);
void D3D8_DrawPoint(const ImmVertex* v);
void D3D8_DrawLine(const ImmVertex* a, const ImmVertex* b);
void D3D8_DrawTriangle(const ImmVertex* a, const ImmVertex* b, const ImmVertex* c);
void D3D8_SetPerspective(float fovDegrees, float heightOverWidth, float farFactor, float nearDist);
void D3D8_SetCamera(const float* angles, const float* origin);
void D3D8_PushMatrix();
void D3D8_PopMatrix();
void D3D8_MultMatrix(const float* rotation, const float* origin);
void D3D8_Translate(float x, float y, float z);
void D3D8_Rotate(float degrees, float x, float y, float z);
void D3D8_Scale(float x, float y, float z);
void D3D8_GetViewport(int* x, int* y, int* width, int* height);
void D3D8_SetViewport(int x, int y, int width, int height);
void D3D8_ReadPixels(int x, int y, int width, int height, void* out);
void D3D8_UpdateTexSubImage(int texture, int x, int y, int width, int height, int bits, const void* pixels);
void D3D8_SetTextureMatrix(int stage, const float* rotation, const float* offset, int coordCount, int projected);
void D3D8_DrawIndexedTriangles(int vertexCount, int firstIndex, int triangleCount);
uint32_t D3D8_CreateVertexBuffer(int bytes, int layout);
uint32_t D3D8_CreateIndexBuffer(int bytes);
void D3D8_ReleaseObject(uint32_t handle);
void D3D8_SetVertexBuffer(uint32_t handle, int layout);
void D3D8_SetIndexBuffer(uint32_t handle, int baseVertex);
void D3D8_FillVertexBuffer(uint32_t handle, int layout, int byteOffset, int bytes, const void* data);
void D3D8_FillIndexBuffer(uint32_t handle, int byteOffset, int bytes, const void* data);
void D3D8_BeginEnvMapStages(int mode);
void D3D8_EndEnvMapStages(int mode);
void D3D8_SetStageModulate(int stage, float factor);

// Textures of the texture table (render/texture.h) on Direct3D 8.
// 1 when name + ".dds", ".tga", ".jpg" or ".bmp" opens; always 0 unless RenderApi is 2.
int D3D8_TextureFileExists(const char* name);
// Loads the first of those files into texture record `texture` (made by Tex_Create).
void D3D8_LoadTexture(int texture, const char* name, int mipmap);
// A texture from pixels in memory (GL_LUMINANCE, GL_LUMINANCE_ALPHA or 4-byte formats, rows
// bottom first); 0 when it cannot be made.
uint32_t D3D8_CreateTexture(int width, int height, uint32_t format, const void* pixels, int hasAlpha);

// The OpenGL dispatch table: every GL and extension entry point the engine calls, loaded by name
// at run time into one global table `gl`. Nothing calls libGL directly; code writes
// gl.glBindTexture(...). Tests may fill the table with recorders (GlDispatch_InstallRecording)
// and read back the calls the renderer made.
//
// Types and constants come from the system's <GL/gl.h> and <GL/glext.h>; the slot types are taken
// from their prototypes.
#pragma once
#ifndef GL_GLEXT_PROTOTYPES
#define GL_GLEXT_PROTOTYPES 1
#endif
#include <GL/gl.h>
#include <GL/glext.h>

#include <cstddef>
#include <string>
#include <type_traits>
#include <vector>

// OpenGL 1.1, all 336 functions in ascending ASCII order of their names.
#define TW_GL_CORE_FUNCS(X) \
  X(glAccum) X(glAlphaFunc) X(glAreTexturesResident) X(glArrayElement) X(glBegin) X(glBindTexture) \
  X(glBitmap) X(glBlendFunc) X(glCallList) X(glCallLists) X(glClear) X(glClearAccum) \
  X(glClearColor) X(glClearDepth) X(glClearIndex) X(glClearStencil) X(glClipPlane) X(glColor3b) \
  X(glColor3bv) X(glColor3d) X(glColor3dv) X(glColor3f) X(glColor3fv) X(glColor3i) X(glColor3iv) \
  X(glColor3s) X(glColor3sv) X(glColor3ub) X(glColor3ubv) X(glColor3ui) X(glColor3uiv) \
  X(glColor3us) X(glColor3usv) X(glColor4b) X(glColor4bv) X(glColor4d) X(glColor4dv) X(glColor4f) \
  X(glColor4fv) X(glColor4i) X(glColor4iv) X(glColor4s) X(glColor4sv) X(glColor4ub) X(glColor4ubv) \
  X(glColor4ui) X(glColor4uiv) X(glColor4us) X(glColor4usv) X(glColorMask) X(glColorMaterial) \
  X(glColorPointer) X(glCopyPixels) X(glCopyTexImage1D) X(glCopyTexImage2D) X(glCopyTexSubImage1D) \
  X(glCopyTexSubImage2D) X(glCullFace) X(glDeleteLists) X(glDeleteTextures) X(glDepthFunc) \
  X(glDepthMask) X(glDepthRange) X(glDisable) X(glDisableClientState) X(glDrawArrays) \
  X(glDrawBuffer) X(glDrawElements) X(glDrawPixels) X(glEdgeFlag) X(glEdgeFlagPointer) \
  X(glEdgeFlagv) X(glEnable) X(glEnableClientState) X(glEnd) X(glEndList) X(glEvalCoord1d) \
  X(glEvalCoord1dv) X(glEvalCoord1f) X(glEvalCoord1fv) X(glEvalCoord2d) X(glEvalCoord2dv) \
  X(glEvalCoord2f) X(glEvalCoord2fv) X(glEvalMesh1) X(glEvalMesh2) X(glEvalPoint1) X(glEvalPoint2) \
  X(glFeedbackBuffer) X(glFinish) X(glFlush) X(glFogf) X(glFogfv) X(glFogi) X(glFogiv) \
  X(glFrontFace) X(glFrustum) X(glGenLists) X(glGenTextures) X(glGetBooleanv) X(glGetClipPlane) \
  X(glGetDoublev) X(glGetError) X(glGetFloatv) X(glGetIntegerv) X(glGetLightfv) X(glGetLightiv) \
  X(glGetMapdv) X(glGetMapfv) X(glGetMapiv) X(glGetMaterialfv) X(glGetMaterialiv) \
  X(glGetPixelMapfv) X(glGetPixelMapuiv) X(glGetPixelMapusv) X(glGetPointerv) \
  X(glGetPolygonStipple) X(glGetString) X(glGetTexEnvfv) X(glGetTexEnviv) X(glGetTexGendv) \
  X(glGetTexGenfv) X(glGetTexGeniv) X(glGetTexImage) X(glGetTexLevelParameterfv) \
  X(glGetTexLevelParameteriv) X(glGetTexParameterfv) X(glGetTexParameteriv) X(glHint) \
  X(glIndexMask) X(glIndexPointer) X(glIndexd) X(glIndexdv) X(glIndexf) X(glIndexfv) X(glIndexi) \
  X(glIndexiv) X(glIndexs) X(glIndexsv) X(glIndexub) X(glIndexubv) X(glInitNames) \
  X(glInterleavedArrays) X(glIsEnabled) X(glIsList) X(glIsTexture) X(glLightModelf) \
  X(glLightModelfv) X(glLightModeli) X(glLightModeliv) X(glLightf) X(glLightfv) X(glLighti) \
  X(glLightiv) X(glLineStipple) X(glLineWidth) X(glListBase) X(glLoadIdentity) X(glLoadMatrixd) \
  X(glLoadMatrixf) X(glLoadName) X(glLogicOp) X(glMap1d) X(glMap1f) X(glMap2d) X(glMap2f) \
  X(glMapGrid1d) X(glMapGrid1f) X(glMapGrid2d) X(glMapGrid2f) X(glMaterialf) X(glMaterialfv) \
  X(glMateriali) X(glMaterialiv) X(glMatrixMode) X(glMultMatrixd) X(glMultMatrixf) X(glNewList) \
  X(glNormal3b) X(glNormal3bv) X(glNormal3d) X(glNormal3dv) X(glNormal3f) X(glNormal3fv) \
  X(glNormal3i) X(glNormal3iv) X(glNormal3s) X(glNormal3sv) X(glNormalPointer) X(glOrtho) \
  X(glPassThrough) X(glPixelMapfv) X(glPixelMapuiv) X(glPixelMapusv) X(glPixelStoref) \
  X(glPixelStorei) X(glPixelTransferf) X(glPixelTransferi) X(glPixelZoom) X(glPointSize) \
  X(glPolygonMode) X(glPolygonOffset) X(glPolygonStipple) X(glPopAttrib) X(glPopClientAttrib) \
  X(glPopMatrix) X(glPopName) X(glPrioritizeTextures) X(glPushAttrib) X(glPushClientAttrib) \
  X(glPushMatrix) X(glPushName) X(glRasterPos2d) X(glRasterPos2dv) X(glRasterPos2f) \
  X(glRasterPos2fv) X(glRasterPos2i) X(glRasterPos2iv) X(glRasterPos2s) X(glRasterPos2sv) \
  X(glRasterPos3d) X(glRasterPos3dv) X(glRasterPos3f) X(glRasterPos3fv) X(glRasterPos3i) \
  X(glRasterPos3iv) X(glRasterPos3s) X(glRasterPos3sv) X(glRasterPos4d) X(glRasterPos4dv) \
  X(glRasterPos4f) X(glRasterPos4fv) X(glRasterPos4i) X(glRasterPos4iv) X(glRasterPos4s) \
  X(glRasterPos4sv) X(glReadBuffer) X(glReadPixels) X(glRectd) X(glRectdv) X(glRectf) X(glRectfv) \
  X(glRecti) X(glRectiv) X(glRects) X(glRectsv) X(glRenderMode) X(glRotated) X(glRotatef) \
  X(glScaled) X(glScalef) X(glScissor) X(glSelectBuffer) X(glShadeModel) X(glStencilFunc) \
  X(glStencilMask) X(glStencilOp) X(glTexCoord1d) X(glTexCoord1dv) X(glTexCoord1f) X(glTexCoord1fv) \
  X(glTexCoord1i) X(glTexCoord1iv) X(glTexCoord1s) X(glTexCoord1sv) X(glTexCoord2d) \
  X(glTexCoord2dv) X(glTexCoord2f) X(glTexCoord2fv) X(glTexCoord2i) X(glTexCoord2iv) \
  X(glTexCoord2s) X(glTexCoord2sv) X(glTexCoord3d) X(glTexCoord3dv) X(glTexCoord3f) \
  X(glTexCoord3fv) X(glTexCoord3i) X(glTexCoord3iv) X(glTexCoord3s) X(glTexCoord3sv) \
  X(glTexCoord4d) X(glTexCoord4dv) X(glTexCoord4f) X(glTexCoord4fv) X(glTexCoord4i) \
  X(glTexCoord4iv) X(glTexCoord4s) X(glTexCoord4sv) X(glTexCoordPointer) X(glTexEnvf) X(glTexEnvfv) \
  X(glTexEnvi) X(glTexEnviv) X(glTexGend) X(glTexGendv) X(glTexGenf) X(glTexGenfv) X(glTexGeni) \
  X(glTexGeniv) X(glTexImage1D) X(glTexImage2D) X(glTexParameterf) X(glTexParameterfv) \
  X(glTexParameteri) X(glTexParameteriv) X(glTexSubImage1D) X(glTexSubImage2D) X(glTranslated) \
  X(glTranslatef) X(glVertex2d) X(glVertex2dv) X(glVertex2f) X(glVertex2fv) X(glVertex2i) \
  X(glVertex2iv) X(glVertex2s) X(glVertex2sv) X(glVertex3d) X(glVertex3dv) X(glVertex3f) \
  X(glVertex3fv) X(glVertex3i) X(glVertex3iv) X(glVertex3s) X(glVertex3sv) X(glVertex4d) \
  X(glVertex4dv) X(glVertex4f) X(glVertex4fv) X(glVertex4i) X(glVertex4iv) X(glVertex4s) \
  X(glVertex4sv) X(glVertexPointer) X(glViewport)

#define TW_GL_EXT_ARB_multitexture(X) \
  X(glActiveTextureARB) X(glClientActiveTextureARB) X(glMultiTexCoord1dARB) \
  X(glMultiTexCoord1dvARB) X(glMultiTexCoord1fARB) X(glMultiTexCoord1fvARB) X(glMultiTexCoord1iARB) \
  X(glMultiTexCoord1ivARB) X(glMultiTexCoord1sARB) X(glMultiTexCoord1svARB) X(glMultiTexCoord2dARB) \
  X(glMultiTexCoord2dvARB) X(glMultiTexCoord2fARB) X(glMultiTexCoord2fvARB) X(glMultiTexCoord2iARB) \
  X(glMultiTexCoord2ivARB) X(glMultiTexCoord2sARB) X(glMultiTexCoord2svARB) X(glMultiTexCoord3dARB) \
  X(glMultiTexCoord3dvARB) X(glMultiTexCoord3fARB) X(glMultiTexCoord3fvARB) X(glMultiTexCoord3iARB) \
  X(glMultiTexCoord3ivARB) X(glMultiTexCoord3sARB) X(glMultiTexCoord3svARB) X(glMultiTexCoord4dARB) \
  X(glMultiTexCoord4dvARB) X(glMultiTexCoord4fARB) X(glMultiTexCoord4fvARB) X(glMultiTexCoord4iARB) \
  X(glMultiTexCoord4ivARB) X(glMultiTexCoord4sARB) X(glMultiTexCoord4svARB)

#define TW_GL_EXT_ARB_texture_compression(X) \
  X(glCompressedTexImage3DARB) X(glCompressedTexImage2DARB) X(glCompressedTexImage1DARB) \
  X(glCompressedTexSubImage3DARB) X(glCompressedTexSubImage2DARB) X(glCompressedTexSubImage1DARB) \
  X(glGetCompressedTexImageARB)

#define TW_GL_EXT_NV_register_combiners(X) \
  X(glCombinerParameterfvNV) X(glCombinerParameterfNV) X(glCombinerParameterivNV) \
  X(glCombinerParameteriNV) X(glCombinerInputNV) X(glCombinerOutputNV) X(glFinalCombinerInputNV) \
  X(glGetCombinerInputParameterfvNV) X(glGetCombinerInputParameterivNV) \
  X(glGetCombinerOutputParameterfvNV) X(glGetCombinerOutputParameterivNV) \
  X(glGetFinalCombinerInputParameterfvNV) X(glGetFinalCombinerInputParameterivNV)

#define TW_GL_EXT_EXT_secondary_color(X) \
  X(glSecondaryColor3bEXT) X(glSecondaryColor3bvEXT) X(glSecondaryColor3dEXT) \
  X(glSecondaryColor3dvEXT) X(glSecondaryColor3fEXT) X(glSecondaryColor3fvEXT) \
  X(glSecondaryColor3iEXT) X(glSecondaryColor3ivEXT) X(glSecondaryColor3sEXT) \
  X(glSecondaryColor3svEXT) X(glSecondaryColor3ubEXT) X(glSecondaryColor3ubvEXT) \
  X(glSecondaryColor3uiEXT) X(glSecondaryColor3uivEXT) X(glSecondaryColor3usEXT) \
  X(glSecondaryColor3usvEXT) X(glSecondaryColorPointerEXT)

#define TW_GL_EXT_EXT_fog_coord(X) \
  X(glFogCoordfEXT) X(glFogCoordfvEXT) X(glFogCoorddEXT) X(glFogCoorddvEXT) X(glFogCoordPointerEXT)

#define TW_GL_EXT_EXT_stencil_two_side(X) \
  X(glActiveStencilFaceEXT)

#define TW_GL_EXT_ATI_separate_stencil(X) \
  X(glStencilOpSeparateATI) X(glStencilFuncSeparateATI)

#define TW_GL_EXT_NV_fence(X) \
  X(glDeleteFencesNV) X(glGenFencesNV) X(glIsFenceNV) X(glTestFenceNV) X(glGetFenceivNV) \
  X(glFinishFenceNV) X(glSetFenceNV)

#define TW_GL_EXT_NV_vertex_array_range(X) \
  X(glFlushVertexArrayRangeNV) X(glVertexArrayRangeNV)

#define TW_GL_EXT_ATI_vertex_array_object(X) \
  X(glNewObjectBufferATI) X(glIsObjectBufferATI) X(glUpdateObjectBufferATI) \
  X(glGetObjectBufferfvATI) X(glGetObjectBufferivATI) X(glFreeObjectBufferATI) X(glArrayObjectATI) \
  X(glGetArrayObjectfvATI) X(glGetArrayObjectivATI) X(glVariantArrayObjectATI) \
  X(glGetVariantArrayObjectfvATI) X(glGetVariantArrayObjectivATI)

#define TW_GL_EXT_ATI_vertex_attrib_array_object(X) \
  X(glVertexAttribArrayObjectATI) X(glGetVertexAttribArrayObjectfvATI) \
  X(glGetVertexAttribArrayObjectivATI)

#define TW_GL_EXT_ATI_map_object_buffer(X) \
  X(glMapObjectBufferATI) X(glUnmapObjectBufferATI)

#define TW_GL_EXT_ATI_element_array(X) \
  X(glElementPointerATI) X(glDrawElementArrayATI) X(glDrawRangeElementArrayATI)

#define TW_GL_EXT_EXT_draw_range_elements(X) \
  X(glDrawRangeElementsEXT)

#define TW_GL_EXT_ARB_vertex_buffer_object(X) \
  X(glBindBufferARB) X(glDeleteBuffersARB) X(glGenBuffersARB) X(glIsBufferARB) X(glBufferDataARB) \
  X(glBufferSubDataARB) X(glGetBufferSubDataARB) X(glMapBufferARB) X(glUnmapBufferARB) \
  X(glGetBufferParameterivARB) X(glGetBufferPointervARB)

#define TW_GL_EXT_EXT_vertex_weighting(X) \
  X(glVertexWeightfEXT) X(glVertexWeightfvEXT) X(glVertexWeightPointerEXT)

#define TW_GL_EXT_ARB_vertex_blend(X) \
  X(glWeightbvARB) X(glWeightsvARB) X(glWeightivARB) X(glWeightfvARB) X(glWeightdvARB) \
  X(glWeightubvARB) X(glWeightusvARB) X(glWeightuivARB) X(glWeightPointerARB) X(glVertexBlendARB)

#define TW_GL_EXT_NV_vertex_program(X) \
  X(glAreProgramsResidentNV) X(glBindProgramNV) X(glDeleteProgramsNV) X(glExecuteProgramNV) \
  X(glGenProgramsNV) X(glGetProgramParameterdvNV) X(glGetProgramParameterfvNV) X(glGetProgramivNV) \
  X(glGetProgramStringNV) X(glGetTrackMatrixivNV) X(glGetVertexAttribdvNV) X(glGetVertexAttribfvNV) \
  X(glGetVertexAttribivNV) X(glGetVertexAttribPointervNV) X(glIsProgramNV) X(glLoadProgramNV) \
  X(glProgramParameter4dNV) X(glProgramParameter4dvNV) X(glProgramParameter4fNV) \
  X(glProgramParameter4fvNV) X(glProgramParameters4dvNV) X(glProgramParameters4fvNV) \
  X(glRequestResidentProgramsNV) X(glTrackMatrixNV) X(glVertexAttribPointerNV) \
  X(glVertexAttrib1dNV) X(glVertexAttrib1dvNV) X(glVertexAttrib1fNV) X(glVertexAttrib1fvNV) \
  X(glVertexAttrib1sNV) X(glVertexAttrib1svNV) X(glVertexAttrib2dNV) X(glVertexAttrib2dvNV) \
  X(glVertexAttrib2fNV) X(glVertexAttrib2fvNV) X(glVertexAttrib2sNV) X(glVertexAttrib2svNV) \
  X(glVertexAttrib3dNV) X(glVertexAttrib3dvNV) X(glVertexAttrib3fNV) X(glVertexAttrib3fvNV) \
  X(glVertexAttrib3sNV) X(glVertexAttrib3svNV) X(glVertexAttrib4dNV) X(glVertexAttrib4dvNV) \
  X(glVertexAttrib4fNV) X(glVertexAttrib4fvNV) X(glVertexAttrib4sNV) X(glVertexAttrib4svNV) \
  X(glVertexAttrib4ubNV) X(glVertexAttrib4ubvNV) X(glVertexAttribs1dvNV) X(glVertexAttribs1fvNV) \
  X(glVertexAttribs1svNV) X(glVertexAttribs2dvNV) X(glVertexAttribs2fvNV) X(glVertexAttribs2svNV) \
  X(glVertexAttribs3dvNV) X(glVertexAttribs3fvNV) X(glVertexAttribs3svNV) X(glVertexAttribs4dvNV) \
  X(glVertexAttribs4fvNV) X(glVertexAttribs4svNV) X(glVertexAttribs4ubvNV)

#define TW_GL_EXT_NV_fragment_program(X) \
  X(glProgramNamedParameter4fNV) X(glProgramNamedParameter4fvNV) X(glProgramNamedParameter4dNV) \
  X(glProgramNamedParameter4dvNV) X(glGetProgramNamedParameterfvNV) \
  X(glGetProgramNamedParameterdvNV)

#define TW_GL_EXT_ARB_vertex_program(X) \
  X(glVertexAttrib1dARB) X(glVertexAttrib1dvARB) X(glVertexAttrib1fARB) X(glVertexAttrib1fvARB) \
  X(glVertexAttrib1sARB) X(glVertexAttrib1svARB) X(glVertexAttrib2dARB) X(glVertexAttrib2dvARB) \
  X(glVertexAttrib2fARB) X(glVertexAttrib2fvARB) X(glVertexAttrib2sARB) X(glVertexAttrib2svARB) \
  X(glVertexAttrib3dARB) X(glVertexAttrib3dvARB) X(glVertexAttrib3fARB) X(glVertexAttrib3fvARB) \
  X(glVertexAttrib3sARB) X(glVertexAttrib3svARB) X(glVertexAttrib4NbvARB) X(glVertexAttrib4NivARB) \
  X(glVertexAttrib4NsvARB) X(glVertexAttrib4NubARB) X(glVertexAttrib4NubvARB) \
  X(glVertexAttrib4NuivARB) X(glVertexAttrib4NusvARB) X(glVertexAttrib4bvARB) \
  X(glVertexAttrib4dARB) X(glVertexAttrib4dvARB) X(glVertexAttrib4fARB) X(glVertexAttrib4fvARB) \
  X(glVertexAttrib4ivARB) X(glVertexAttrib4sARB) X(glVertexAttrib4svARB) X(glVertexAttrib4ubvARB) \
  X(glVertexAttrib4uivARB) X(glVertexAttrib4usvARB) X(glVertexAttribPointerARB) \
  X(glEnableVertexAttribArrayARB) X(glDisableVertexAttribArrayARB) X(glGetVertexAttribdvARB) \
  X(glGetVertexAttribfvARB) X(glGetVertexAttribivARB) X(glGetVertexAttribPointervARB) \
  X(glProgramStringARB) X(glBindProgramARB) X(glDeleteProgramsARB) X(glGenProgramsARB) \
  X(glProgramEnvParameter4dARB) X(glProgramEnvParameter4dvARB) X(glProgramEnvParameter4fARB) \
  X(glProgramEnvParameter4fvARB) X(glProgramLocalParameter4dARB) X(glProgramLocalParameter4dvARB) \
  X(glProgramLocalParameter4fARB) X(glProgramLocalParameter4fvARB) X(glGetProgramEnvParameterdvARB) \
  X(glGetProgramEnvParameterfvARB) X(glGetProgramLocalParameterdvARB) \
  X(glGetProgramLocalParameterfvARB) X(glGetProgramivARB) X(glGetProgramStringARB) \
  X(glIsProgramARB)

#define TW_GL_EXT_EXT_vertex_shader(X) \
  X(glBeginVertexShaderEXT) X(glEndVertexShaderEXT) X(glBindVertexShaderEXT) \
  X(glGenVertexShadersEXT) X(glDeleteVertexShaderEXT) X(glShaderOp1EXT) X(glShaderOp2EXT) \
  X(glShaderOp3EXT) X(glSwizzleEXT) X(glWriteMaskEXT) X(glInsertComponentEXT) \
  X(glExtractComponentEXT) X(glGenSymbolsEXT) X(glSetInvariantEXT) X(glSetLocalConstantEXT) \
  X(glVariantbvEXT) X(glVariantsvEXT) X(glVariantivEXT) X(glVariantfvEXT) X(glVariantdvEXT) \
  X(glVariantubvEXT) X(glVariantusvEXT) X(glVariantuivEXT) X(glVariantPointerEXT) \
  X(glEnableVariantClientStateEXT) X(glDisableVariantClientStateEXT) X(glBindLightParameterEXT) \
  X(glBindMaterialParameterEXT) X(glBindTexGenParameterEXT) X(glBindTextureUnitParameterEXT) \
  X(glBindParameterEXT) X(glIsVariantEnabledEXT) X(glGetVariantBooleanvEXT) \
  X(glGetVariantIntegervEXT) X(glGetVariantFloatvEXT) X(glGetVariantPointervEXT) \
  X(glGetInvariantBooleanvEXT) X(glGetInvariantIntegervEXT) X(glGetInvariantFloatvEXT) \
  X(glGetLocalConstantBooleanvEXT) X(glGetLocalConstantIntegervEXT) X(glGetLocalConstantFloatvEXT)

#define TW_GL_EXT_ATI_fragment_shader(X) \
  X(glGenFragmentShadersATI) X(glBindFragmentShaderATI) X(glDeleteFragmentShaderATI) \
  X(glBeginFragmentShaderATI) X(glEndFragmentShaderATI) X(glPassTexCoordATI) X(glSampleMapATI) \
  X(glColorFragmentOp1ATI) X(glColorFragmentOp2ATI) X(glColorFragmentOp3ATI) \
  X(glAlphaFragmentOp1ATI) X(glAlphaFragmentOp2ATI) X(glAlphaFragmentOp3ATI) \
  X(glSetFragmentShaderConstantATI)

#define TW_GL_EXT_NV_half_float(X) \
  X(glVertex2hNV) X(glVertex2hvNV) X(glVertex3hNV) X(glVertex3hvNV) X(glVertex4hNV) \
  X(glVertex4hvNV) X(glNormal3hNV) X(glNormal3hvNV) X(glColor3hNV) X(glColor3hvNV) X(glColor4hNV) \
  X(glColor4hvNV) X(glTexCoord1hNV) X(glTexCoord1hvNV) X(glTexCoord2hNV) X(glTexCoord2hvNV) \
  X(glTexCoord3hNV) X(glTexCoord3hvNV) X(glTexCoord4hNV) X(glTexCoord4hvNV) X(glMultiTexCoord1hNV) \
  X(glMultiTexCoord1hvNV) X(glMultiTexCoord2hNV) X(glMultiTexCoord2hvNV) X(glMultiTexCoord3hNV) \
  X(glMultiTexCoord3hvNV) X(glMultiTexCoord4hNV) X(glMultiTexCoord4hvNV) X(glFogCoordhNV) \
  X(glFogCoordhvNV) X(glSecondaryColor3hNV) X(glSecondaryColor3hvNV) X(glVertexWeighthNV) \
  X(glVertexWeighthvNV) X(glVertexAttrib1hNV) X(glVertexAttrib1hvNV) X(glVertexAttrib2hNV) \
  X(glVertexAttrib2hvNV) X(glVertexAttrib3hNV) X(glVertexAttrib3hvNV) X(glVertexAttrib4hNV) \
  X(glVertexAttrib4hvNV) X(glVertexAttribs1hvNV) X(glVertexAttribs2hvNV) X(glVertexAttribs3hvNV) \
  X(glVertexAttribs4hvNV)

#define TW_GL_EXT_NV_pixel_data_range(X) \
  X(glPixelDataRangeNV) X(glFlushPixelDataRangeNV)

#define TW_GL_EXT_NV_occlusion_query(X) \
  X(glGenOcclusionQueriesNV) X(glDeleteOcclusionQueriesNV) X(glIsOcclusionQueryNV) \
  X(glBeginOcclusionQueryNV) X(glEndOcclusionQueryNV) X(glGetOcclusionQueryivNV) \
  X(glGetOcclusionQueryuivNV)

#define TW_GL_EXT_FRAMEBUFFER(X) \
  X(glGenFramebuffers) X(glDeleteFramebuffers) X(glBindFramebuffer) X(glFramebufferTexture2D) \
  X(glFramebufferRenderbuffer) X(glCheckFramebufferStatus) X(glGenRenderbuffers) \
  X(glDeleteRenderbuffers) X(glBindRenderbuffer) X(glRenderbufferStorage)

#define TW_GL_EXT_FUNCS(X) \
  TW_GL_EXT_ARB_multitexture(X) \
  TW_GL_EXT_ARB_texture_compression(X) \
  TW_GL_EXT_NV_register_combiners(X) \
  TW_GL_EXT_EXT_secondary_color(X) \
  TW_GL_EXT_EXT_fog_coord(X) \
  TW_GL_EXT_EXT_stencil_two_side(X) \
  TW_GL_EXT_ATI_separate_stencil(X) \
  TW_GL_EXT_NV_fence(X) \
  TW_GL_EXT_NV_vertex_array_range(X) \
  TW_GL_EXT_ATI_vertex_array_object(X) \
  TW_GL_EXT_ATI_vertex_attrib_array_object(X) \
  TW_GL_EXT_ATI_map_object_buffer(X) \
  TW_GL_EXT_ATI_element_array(X) \
  TW_GL_EXT_EXT_draw_range_elements(X) \
  TW_GL_EXT_ARB_vertex_buffer_object(X) \
  TW_GL_EXT_EXT_vertex_weighting(X) \
  TW_GL_EXT_ARB_vertex_blend(X) \
  TW_GL_EXT_NV_vertex_program(X) \
  TW_GL_EXT_NV_fragment_program(X) \
  TW_GL_EXT_ARB_vertex_program(X) \
  TW_GL_EXT_EXT_vertex_shader(X) \
  TW_GL_EXT_ATI_fragment_shader(X) \
  TW_GL_EXT_NV_half_float(X) \
  TW_GL_EXT_NV_pixel_data_range(X) \
  TW_GL_EXT_NV_occlusion_query(X) \
  TW_GL_EXT_FRAMEBUFFER(X)

// Every slot, in table order: the OpenGL 1.1 functions, then the extension functions.
#define TW_GL_ALL_FUNCS(X) TW_GL_CORE_FUNCS(X) TW_GL_EXT_FUNCS(X)

// The allocator of GL_NV_vertex_array_range memory (the GLX form of the extension).
typedef void* (*GlAllocateMemoryNVFn)(GLsizei size, GLfloat readFrequency, GLfloat writeFrequency, GLfloat priority);
typedef void (*GlFreeMemoryNVFn)(void* pointer);

struct GlDispatch {
#define TW_GL_SLOT(name) decltype(&::name) name;
  TW_GL_ALL_FUNCS(TW_GL_SLOT)
#undef TW_GL_SLOT
  GlAllocateMemoryNVFn glXAllocateMemoryNV;
  GlFreeMemoryNVFn glXFreeMemoryNV;
};

// The one table. Zero (every slot null) until the OpenGL start-up fills it; zeroed again when the
// renderer stops.
extern GlDispatch gl;

// Slot numbers, in table order (GL_SLOT_glAccum = 0 ...).
enum GlSlot : int {
#define TW_GL_ENUM(name) GL_SLOT_##name,
  TW_GL_ALL_FUNCS(TW_GL_ENUM)
#undef TW_GL_ENUM
  GL_SLOT_glXAllocateMemoryNV,
  GL_SLOT_glXFreeMemoryNV,
  GL_SLOT_COUNT
};
constexpr int kGlCoreSlotCount = GL_SLOT_glActiveTextureARB;  // the 336 OpenGL 1.1 functions

// Name of a slot (the name it is loaded under).
const char* GlDispatch_SlotName(int slot);
// Byte offset of a slot in GlDispatch; -1 for a bad slot.
std::ptrdiff_t GlDispatch_SlotOffset(int slot);
// Current value of a slot as a plain pointer (null for a bad slot).
void* GlDispatch_SlotValue(int slot);
// Loads slots [first, last) by name through getProc; returns how many came back null.
int GlDispatch_Load(void* (*getProc)(const char* name), int first, int last);
// Zeroes the whole table.
void GlDispatch_Clear();

// ---- Recording table (tests) ------------------------------------------------------------------
// Fills every slot with a recorder that appends one line "name(arg, arg, ...)" per call: integers
// (enums, booleans) in decimal, floats with %g, pointers as "ptr" or "null". A few calls print the
// values behind their pointer: glMultMatrixf/glLoadMatrixf (16), glLightfv/glMaterialfv/glFogfv/
// glLightModelfv (4 for colours and positions), glColor4ubv (4), glTexCoord2fv (2), glVertex3fv (3),
// glDeleteTextures/glDeleteOcclusionQueriesNV/glDeleteFramebuffers/glDeleteRenderbuffers (the ids).
// Functions that return a value return 0/null, except the queries set below. glGetProgramivNV/ARB
// answer from the integers and glGetProgramStringNV/ARB from the strings set below, by parameter
// name. Installing also forgets the calls, the query answers and the handed-out names.
void GlDispatch_InstallRecording();
// The recorder of a slot by name, for a loader under test (null for unknown names).
void* GlRecord_ProcAddress(const char* name);
// The recording table also prints the values behind glProgramEnvParameter4fvARB,
// glProgramParameters4fvNV (4 x count), glSetFragmentShaderConstantATI and glCombinerParameterfvNV;
// glGenBuffersARB, glGenFragmentShadersATI and glNewObjectBufferATI hand out names, and program
// loads compile (error position -1).
const std::vector<std::string>& GlRecord_Calls();
void GlRecord_Clear();
// Answers of the recording glGetString / glGetIntegerv / glGetFloatv per parameter name.
void GlRecord_SetString(GLenum name, const char* value);
void GlRecord_SetIntegers(GLenum pname, std::vector<GLint> values);
void GlRecord_SetFloats(GLenum pname, std::vector<GLfloat> values);
// Names handed out by the recording glGenTextures / glGenFramebuffers / glGenProgramsNV / ...
// (counting from 1).
void GlRecord_ResetNames();

std::string GlRecord_Arg(long long v);
std::string GlRecord_Arg(double v);
std::string GlRecord_Arg(const void* p);
template <typename T>
std::string GlRecord_AnyArg(T v) {
  if constexpr (std::is_pointer_v<T>) {
    return GlRecord_Arg(static_cast<const void*>(v));
  } else if constexpr (std::is_floating_point_v<T>) {
    return GlRecord_Arg(static_cast<double>(v));
  } else {
    return GlRecord_Arg(static_cast<long long>(v));
  }
}
// The line a call with these arguments records: GlRecord_Format("glBlendFunc", GL_ONE, GL_ONE).
template <typename... A>
std::string GlRecord_Format(const char* name, A... args) {
  std::string s = name;
  s += '(';
  bool first = true;
  ((s += (first ? "" : ", ") + GlRecord_AnyArg(args), first = false), ...);
  s += ')';
  return s;
}

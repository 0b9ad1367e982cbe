#pragma once
// The OpenGL entry points the device uses, loaded from the current context
// through the toolkit (so the same code serves GLX, EGL and offscreen).

#include <GL/glcorearb.h>

#define QV_GL_FUNCTIONS(X)                                                   \
    X(PFNGLGETERRORPROC, glGetError)                                         \
    X(PFNGLGETINTEGERVPROC, glGetIntegerv)                                   \
    X(PFNGLGETFLOATVPROC, glGetFloatv)                                       \
    X(PFNGLGETSTRINGPROC, glGetString)                                       \
    X(PFNGLGETSTRINGIPROC, glGetStringi)                                     \
    X(PFNGLENABLEPROC, glEnable)                                             \
    X(PFNGLDISABLEPROC, glDisable)                                           \
    X(PFNGLVIEWPORTPROC, glViewport)                                         \
    X(PFNGLSCISSORPROC, glScissor)                                           \
    X(PFNGLDEPTHRANGEPROC, glDepthRange)                                     \
    X(PFNGLCLEARCOLORPROC, glClearColor)                                     \
    X(PFNGLCLEARDEPTHPROC, glClearDepth)                                     \
    X(PFNGLCLEARSTENCILPROC, glClearStencil)                                 \
    X(PFNGLCLEARPROC, glClear)                                               \
    X(PFNGLCOLORMASKPROC, glColorMask)                                       \
    X(PFNGLDEPTHMASKPROC, glDepthMask)                                       \
    X(PFNGLDEPTHFUNCPROC, glDepthFunc)                                       \
    X(PFNGLSTENCILMASKPROC, glStencilMask)                                   \
    X(PFNGLSTENCILFUNCPROC, glStencilFunc)                                   \
    X(PFNGLSTENCILOPPROC, glStencilOp)                                       \
    X(PFNGLBLENDFUNCPROC, glBlendFunc)                                       \
    X(PFNGLBLENDEQUATIONPROC, glBlendEquation)                               \
    X(PFNGLCULLFACEPROC, glCullFace)                                         \
    X(PFNGLFRONTFACEPROC, glFrontFace)                                       \
    X(PFNGLPOLYGONMODEPROC, glPolygonMode)                                   \
    X(PFNGLPOLYGONOFFSETPROC, glPolygonOffset)                               \
    X(PFNGLPROVOKINGVERTEXPROC, glProvokingVertex)                           \
    X(PFNGLPIXELSTOREIPROC, glPixelStorei)                                   \
    X(PFNGLREADPIXELSPROC, glReadPixels)                                     \
    X(PFNGLREADBUFFERPROC, glReadBuffer)                                     \
    X(PFNGLDRAWBUFFERPROC, glDrawBuffer)                                     \
    X(PFNGLFINISHPROC, glFinish)                                             \
    X(PFNGLFLUSHPROC, glFlush)                                               \
    X(PFNGLFENCESYNCPROC, glFenceSync)                                       \
    X(PFNGLCLIENTWAITSYNCPROC, glClientWaitSync)                             \
    X(PFNGLDELETESYNCPROC, glDeleteSync)                                     \
    X(PFNGLGENTEXTURESPROC, glGenTextures)                                   \
    X(PFNGLDELETETEXTURESPROC, glDeleteTextures)                             \
    X(PFNGLBINDTEXTUREPROC, glBindTexture)                                   \
    X(PFNGLACTIVETEXTUREPROC, glActiveTexture)                               \
    X(PFNGLTEXIMAGE2DPROC, glTexImage2D)                                     \
    X(PFNGLTEXSUBIMAGE2DPROC, glTexSubImage2D)                               \
    X(PFNGLCOMPRESSEDTEXIMAGE2DPROC, glCompressedTexImage2D)                 \
    X(PFNGLCOMPRESSEDTEXSUBIMAGE2DPROC, glCompressedTexSubImage2D)           \
    X(PFNGLTEXPARAMETERIPROC, glTexParameteri)                               \
    X(PFNGLGENSAMPLERSPROC, glGenSamplers)                                   \
    X(PFNGLDELETESAMPLERSPROC, glDeleteSamplers)                             \
    X(PFNGLBINDSAMPLERPROC, glBindSampler)                                   \
    X(PFNGLSAMPLERPARAMETERIPROC, glSamplerParameteri)                       \
    X(PFNGLSAMPLERPARAMETERFPROC, glSamplerParameterf)                       \
    X(PFNGLSAMPLERPARAMETERFVPROC, glSamplerParameterfv)                     \
    X(PFNGLGENFRAMEBUFFERSPROC, glGenFramebuffers)                           \
    X(PFNGLDELETEFRAMEBUFFERSPROC, glDeleteFramebuffers)                     \
    X(PFNGLBINDFRAMEBUFFERPROC, glBindFramebuffer)                           \
    X(PFNGLFRAMEBUFFERTEXTURE2DPROC, glFramebufferTexture2D)                 \
    X(PFNGLFRAMEBUFFERRENDERBUFFERPROC, glFramebufferRenderbuffer)           \
    X(PFNGLCHECKFRAMEBUFFERSTATUSPROC, glCheckFramebufferStatus)             \
    X(PFNGLGETFRAMEBUFFERATTACHMENTPARAMETERIVPROC, glGetFramebufferAttachmentParameteriv) \
    X(PFNGLBLITFRAMEBUFFERPROC, glBlitFramebuffer)                           \
    X(PFNGLGENRENDERBUFFERSPROC, glGenRenderbuffers)                         \
    X(PFNGLDELETERENDERBUFFERSPROC, glDeleteRenderbuffers)                   \
    X(PFNGLBINDRENDERBUFFERPROC, glBindRenderbuffer)                         \
    X(PFNGLRENDERBUFFERSTORAGEPROC, glRenderbufferStorage)                   \
    X(PFNGLGENBUFFERSPROC, glGenBuffers)                                     \
    X(PFNGLDELETEBUFFERSPROC, glDeleteBuffers)                               \
    X(PFNGLBINDBUFFERPROC, glBindBuffer)                                     \
    X(PFNGLBUFFERDATAPROC, glBufferData)                                     \
    X(PFNGLBUFFERSUBDATAPROC, glBufferSubData)                               \
    X(PFNGLBINDBUFFERBASEPROC, glBindBufferBase)                             \
    X(PFNGLGETUNIFORMBLOCKINDEXPROC, glGetUniformBlockIndex)                 \
    X(PFNGLUNIFORMBLOCKBINDINGPROC, glUniformBlockBinding)                   \
    X(PFNGLGENVERTEXARRAYSPROC, glGenVertexArrays)                           \
    X(PFNGLDELETEVERTEXARRAYSPROC, glDeleteVertexArrays)                     \
    X(PFNGLBINDVERTEXARRAYPROC, glBindVertexArray)                           \
    X(PFNGLENABLEVERTEXATTRIBARRAYPROC, glEnableVertexAttribArray)           \
    X(PFNGLDISABLEVERTEXATTRIBARRAYPROC, glDisableVertexAttribArray)         \
    X(PFNGLVERTEXATTRIBPOINTERPROC, glVertexAttribPointer)                   \
    X(PFNGLVERTEXATTRIB4FPROC, glVertexAttrib4f)                             \
    X(PFNGLDRAWARRAYSPROC, glDrawArrays)                                     \
    X(PFNGLDRAWELEMENTSBASEVERTEXPROC, glDrawElementsBaseVertex)             \
    X(PFNGLCREATESHADERPROC, glCreateShader)                                 \
    X(PFNGLDELETESHADERPROC, glDeleteShader)                                 \
    X(PFNGLSHADERSOURCEPROC, glShaderSource)                                 \
    X(PFNGLCOMPILESHADERPROC, glCompileShader)                               \
    X(PFNGLGETSHADERIVPROC, glGetShaderiv)                                   \
    X(PFNGLGETSHADERINFOLOGPROC, glGetShaderInfoLog)                         \
    X(PFNGLCREATEPROGRAMPROC, glCreateProgram)                               \
    X(PFNGLDELETEPROGRAMPROC, glDeleteProgram)                               \
    X(PFNGLATTACHSHADERPROC, glAttachShader)                                 \
    X(PFNGLBINDATTRIBLOCATIONPROC, glBindAttribLocation)                     \
    X(PFNGLBINDFRAGDATALOCATIONPROC, glBindFragDataLocation)                 \
    X(PFNGLLINKPROGRAMPROC, glLinkProgram)                                   \
    X(PFNGLGETPROGRAMIVPROC, glGetProgramiv)                                 \
    X(PFNGLGETPROGRAMINFOLOGPROC, glGetProgramInfoLog)                       \
    X(PFNGLUSEPROGRAMPROC, glUseProgram)                                     \
    X(PFNGLGETUNIFORMLOCATIONPROC, glGetUniformLocation)                     \
    X(PFNGLUNIFORM1IPROC, glUniform1i)                                       \
    X(PFNGLUNIFORM3FPROC, glUniform3f)                                       \
    X(PFNGLUNIFORM4FVPROC, glUniform4fv)                                     \
    X(PFNGLUNIFORM4FPROC, glUniform4f)                                       \
    X(PFNGLGETUNIFORMINDICESPROC, glGetUniformIndices)                       \
    X(PFNGLGETACTIVEUNIFORMSIVPROC, glGetActiveUniformsiv)                   \
    X(PFNGLUNIFORMMATRIX4FVPROC, glUniformMatrix4fv)                         \
    X(PFNGLDRAWELEMENTSPROC, glDrawElements)

namespace glfn {
#define QV_GL_DECLARE(type, name) extern type name;
QV_GL_FUNCTIONS(QV_GL_DECLARE)
#undef QV_GL_DECLARE
}  // namespace glfn

// Loads every entry point from the current context; false names the first missing one.
bool GL_LoadFunctions(const char** missing);

#include "graphics/offscreen/IOffscreenContext.h"

#include <EGL/egl.h>
#include <EGL/eglext.h>
#define GL_GLEXT_PROTOTYPES 1
#include <GL/gl.h>
#include <GL/glext.h>

#include <cstdio>
#include <cstring>
#include <mutex>

namespace plug::graphics
{

namespace
{

// One display for the whole process, started by the first context and kept: terminating it
// would end every context on it, and it unloads the driver, whose allocations then look
// lost to leak checkers.
std::mutex gDisplayMutex;
EGLDisplay gDisplay = EGL_NO_DISPLAY;

bool hasExtension(const char* list, const char* name)
{
  if (!list)
    return false;
  const std::size_t length = std::strlen(name);
  for (const char* p = list; (p = std::strstr(p, name)) != nullptr; p += length)
    if ((p == list || p[-1] == ' ') && (p[length] == ' ' || p[length] == '\0'))
      return true;
  return false;
}

std::string eglErrorText()
{
  char buffer[16];
  std::snprintf(buffer, sizeof buffer, "0x%04X", static_cast<unsigned>(eglGetError()));
  return buffer;
}

EGLDisplay acquireDisplay(std::string& error)
{
  std::lock_guard lock(gDisplayMutex);
  if (gDisplay != EGL_NO_DISPLAY)
    return gDisplay;
  const char* clientExtensions = eglQueryString(EGL_NO_DISPLAY, EGL_EXTENSIONS);
  if (!hasExtension(clientExtensions, "EGL_MESA_platform_surfaceless"))
  {
    error = "no EGL driver offers surfaceless rendering (EGL_MESA_platform_surfaceless)";
    return EGL_NO_DISPLAY;
  }
  auto getPlatformDisplay = reinterpret_cast<PFNEGLGETPLATFORMDISPLAYEXTPROC>(
      eglGetProcAddress("eglGetPlatformDisplayEXT"));
  if (!getPlatformDisplay)
  {
    error = "EGL has no eglGetPlatformDisplayEXT";
    return EGL_NO_DISPLAY;
  }
  EGLDisplay display =
      getPlatformDisplay(EGL_PLATFORM_SURFACELESS_MESA, EGL_DEFAULT_DISPLAY, nullptr);
  EGLint major = 0, minor = 0;
  if (display == EGL_NO_DISPLAY || !eglInitialize(display, &major, &minor))
  {
    error = "the surfaceless EGL display did not start (EGL error " + eglErrorText() + ")";
    return EGL_NO_DISPLAY;
  }
  gDisplay = display;
  return display;
}

} // namespace

std::unique_ptr<IOffscreenContext> IOffscreenContext::Create(std::string& error)
{
  EGLDisplay display = acquireDisplay(error);
  if (display == EGL_NO_DISPLAY)
    return nullptr;
  std::unique_ptr<IOffscreenContext> context(new IOffscreenContext());
  context->mDisplay = display;

  const char* extensions = eglQueryString(display, EGL_EXTENSIONS);
  if (!hasExtension(extensions, "EGL_KHR_surfaceless_context"))
  {
    error = "the EGL display cannot make a context current without a surface";
    return nullptr;
  }
  if (!eglBindAPI(EGL_OPENGL_API))
  {
    error = "EGL offers no desktop OpenGL";
    return nullptr;
  }
  const EGLint configAttributes[] = {EGL_RENDERABLE_TYPE, EGL_OPENGL_BIT, EGL_NONE};
  EGLConfig config = nullptr;
  EGLint count = 0;
  const bool noConfig = hasExtension(extensions, "EGL_KHR_no_config_context");
  if (!eglChooseConfig(display, configAttributes, &config, 1, &count) || count < 1)
  {
    if (!noConfig)
    {
      error = "EGL has no configuration for desktop OpenGL";
      return nullptr;
    }
    config = EGL_NO_CONFIG_KHR;
  }
  const EGLint contextAttributes[] = {EGL_CONTEXT_MAJOR_VERSION,
                                      3,
                                      EGL_CONTEXT_MINOR_VERSION,
                                      3,
                                      EGL_CONTEXT_OPENGL_PROFILE_MASK,
                                      EGL_CONTEXT_OPENGL_CORE_PROFILE_BIT,
                                      EGL_NONE};
  EGLContext egl = eglCreateContext(display, config, EGL_NO_CONTEXT, contextAttributes);
  if (egl == EGL_NO_CONTEXT)
  {
    error = "EGL could not make an OpenGL 3.3 core context (EGL error " + eglErrorText() + ")";
    return nullptr;
  }
  context->mContext = egl;
  if (!context->MakeCurrent())
  {
    error = "the OpenGL context could not be made current";
    return nullptr;
  }
  const auto* renderer = reinterpret_cast<const char*>(glGetString(GL_RENDERER));
  context->mRenderer = renderer ? renderer : "unknown renderer";
  GLint major = 0, minor = 0;
  glGetIntegerv(GL_MAJOR_VERSION, &major);
  glGetIntegerv(GL_MINOR_VERSION, &minor);
  if (major * 10 + minor < 33)
  {
    error = context->mRenderer + " offers OpenGL " + std::to_string(major) + "." +
            std::to_string(minor) + ", not 3.3";
    return nullptr;
  }
  return context;
}

IOffscreenContext::~IOffscreenContext()
{
  if (mContext)
  {
    if (eglGetCurrentContext() == mContext)
      eglMakeCurrent(mDisplay, EGL_NO_SURFACE, EGL_NO_SURFACE, EGL_NO_CONTEXT);
    eglDestroyContext(mDisplay, mContext);
  }
}

bool IOffscreenContext::MakeCurrent()
{
  if (eglGetCurrentContext() == mContext)
    return true;
  return eglMakeCurrent(mDisplay, EGL_NO_SURFACE, EGL_NO_SURFACE, mContext) == EGL_TRUE;
}

} // namespace plug::graphics

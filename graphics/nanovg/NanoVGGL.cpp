// NanoVG's OpenGL 3 renderer and its framebuffer helpers, compiled once here. The GL entry
// points come straight from the system's libOpenGL (core 3.3 functions need no loader there).
#define GL_GLEXT_PROTOTYPES 1
#include <GL/gl.h>
#include <GL/glext.h>

#define NANOVG_GL3_IMPLEMENTATION 1
#include <nanovg.h>
#include <nanovg_gl.h>
#include <nanovg_gl_utils.h>

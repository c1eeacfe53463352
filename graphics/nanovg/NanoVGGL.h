#pragma once

// The NanoVG and GL declarations the backend's own files use, in one place.
#define GL_GLEXT_PROTOTYPES 1
#include <GL/gl.h>
#include <GL/glext.h>

#define NANOVG_GL3 1
#include <nanovg.h>
#include <nanovg_gl.h>
#include <nanovg_gl_utils.h>

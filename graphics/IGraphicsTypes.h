#pragma once

// The value types of the graphics layer in one include.
#include "graphics/IBitmap.h"
#include "graphics/IBlend.h"
#include "graphics/IColor.h"
#include "graphics/IMatrix.h"
#include "graphics/IMouse.h"
#include "graphics/IPattern.h"
#include "graphics/IRECT.h"
#include "graphics/ISVG.h"
#include "graphics/IText.h"
#include "graphics/IVectorStyle.h"

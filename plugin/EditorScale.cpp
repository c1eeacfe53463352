// The editor window's scale, its limits and its proportion.
#include "plugin/EditorSize.h"
#include "plugin/OstraTapeDelay.h"

#include "graphics/ICanvas.h"
#include "plugin/EditorStyle.h"

#include <algorithm>
#include <cmath>

using namespace ostratapedelay::plugin;

namespace ostratapedelay::plugin
{

void correctEditorSize(int& w, int& h, float p)
{
  const int maxW = p > 1.f ? int(std::lround(2000.0 * p)) : 2000;
  const int maxH = p > 1.f ? int(std::lround(912.0 * p)) : 912;
  w = std::clamp(w, 750, maxW);
  h = std::clamp(h, 342, maxH);
  if (double(w) / double(h) > kEditorAspect)
    w = int(std::lround(h * kEditorAspect));
  else
    h = int(std::lround(w / kEditorAspect));
}

} // namespace ostratapedelay::plugin

float OstraTapeDelay::platformScale() const
{
  if (plug::graphics::ICanvas* g = ui())
    return g->GetPlatformWindowScale();
  return mPlatformScale.load();
}

float OstraTapeDelay::editorScale() const
{
  if (plug::graphics::ICanvas* g = ui())
    return float(int(float(g->Width()) * g->GetDrawScale())) / float(editor::kWidth);
  if (GetEditorWidth() < 1)
    return 1.f;
  const float known = mPlatformScale.load();
  const float p = known > 0.f ? known : 1.f;
  return float(GetEditorWidth()) / (float(editor::kWidth) * p);
}

void OstraTapeDelay::applyEditorScale(float scale)
{
  plug::graphics::ICanvas* g = ui();
  if (!g)
    return;
  int w = int(std::lround(editor::kWidth * double(scale)));
  int h = int(std::lround(editor::kHeight * double(scale)));
  correctEditorSize(w, h, g->GetPlatformWindowScale());
  const float drawScale = std::min(float(h) / editor::kHeight, float(w) / editor::kWidth);
  g->Resize(editor::kWidth, editor::kHeight, drawScale, true);
}

bool OstraTapeDelay::ConstrainEditorResize(int& width, int& height) const
{
  const int w = width, h = height;
  correctEditorSize(width, height, platformScale());
  return width == w && height == h;
}

void OstraTapeDelay::OnParentWindowResize(int width, int height)
{
  plug::graphics::ICanvas* g = ui();
  if (g)
    mPlatformScale.store(g->GetPlatformWindowScale());
  const float known = mPlatformScale.load();
  const float p = known > 0.f ? known : 1.f;
  correctEditorSize(width, height, p);
  const float scale =
      std::min(float(width) / (editor::kWidth * p), float(height) / (editor::kHeight * p));
  // The host already sized the window: only the drawing follows it.
  if (g && std::abs(scale - g->GetDrawScale()) > 0.001f)
    g->Resize(editor::kWidth, editor::kHeight, scale, false);
  SetEditorSize(width, height);
}

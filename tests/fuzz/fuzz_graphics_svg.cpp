// SVG artwork is read from files: the reader must refuse or accept any bytes without
// crashing or hanging, and what it accepts must draw through a context with finite numbers.
#include "graphics/ICanvas.h"
#include "graphics/SvgRender.h"
#include "graphics/svg/SvgDocument.h"

#include <cmath>
#include <cstdint>
#include <cstdlib>
#include <string>
#include <string_view>

using namespace plug::graphics;

namespace
{

void require(bool condition)
{
  if (!condition)
    std::abort();
}

bool finite(float v)
{
  return std::isfinite(v);
}

/** A context that draws nothing and checks every path coordinate it is given. */
class CheckingCanvas : public ICanvas
{
public:
  CheckingCanvas()
    : ICanvas(nullptr, 100, 100)
  {
  }
  int steps = 0;

  void DrawBitmap(const IBitmap&, const IRECT&, int, int, const IBlend*) override {}
  void PathClear() override {}
  void PathClose() override {}
  void PathArc(float cx, float cy, float r, float, float, EWinding) override
  {
    require(finite(cx) && finite(cy) && finite(r));
  }
  void PathMoveTo(float x, float y) override { point(x, y); }
  void PathLineTo(float x, float y) override { point(x, y); }
  void PathSetWinding(bool) override {}
  void PathCubicBezierTo(float a, float b, float c, float d, float x, float y) override
  {
    point(a, b);
    point(c, d);
    point(x, y);
  }
  void PathQuadraticBezierTo(float a, float b, float x, float y) override
  {
    point(a, b);
    point(x, y);
  }
  void PathStroke(const IPattern& pattern, float thickness, const IStrokeOptions& options,
                  const IBlend*) override
  {
    require(finite(thickness) && thickness > 0.f && options.miterLimit >= 1.f);
    colour(pattern.GetColor());
  }
  void PathFill(const IPattern& pattern, const IFillOptions&, const IBlend*) override
  {
    colour(pattern.GetColor());
  }
  void PathTransformSetMatrix(const IMatrix& m) override
  {
    require(std::isfinite(m.xx) && std::isfinite(m.yx) && std::isfinite(m.xy) &&
            std::isfinite(m.yy) && std::isfinite(m.tx) && std::isfinite(m.ty));
  }
  void SetClipRegion(const IRECT&) override {}

protected:
  bool LoadAPIFont(const std::string&, const std::vector<unsigned char>&, std::string&) override
  {
    return false;
  }
  float DoMeasureText(const IText&, const char*, IRECT&) const override { return 0.f; }
  void DoDrawText(const IText&, const char*, const IRECT&, const IBlend*) override {}

private:
  void point(float x, float y)
  {
    require(finite(x) && finite(y));
    ++steps;
  }
  static void colour(const IColor& c)
  {
    require(c.A >= 0 && c.A <= 255 && c.R >= 0 && c.R <= 255 && c.G >= 0 && c.G <= 255 &&
            c.B >= 0 && c.B <= 255);
  }
};

} // namespace

extern "C" int LLVMFuzzerTestOneInput(const std::uint8_t* data, std::size_t size)
{
  const std::string_view text(reinterpret_cast<const char*>(data), size);
  std::string error;
  const auto document = svg::parse(text, error);
  if (!document)
  {
    require(!error.empty()); // a refusal always says why
    return 0;
  }
  require(finite(document->width) && document->width > 0.f);
  require(finite(document->height) && document->height > 0.f);
  require(document->viewWidth > 0.f && document->viewHeight > 0.f);
  std::size_t commands = 0;
  for (const svg::Shape& shape : document->shapes)
  {
    require(!shape.commands.empty() && shape.commands.front().verb == svg::Verb::Move);
    require(shape.fill.visible || shape.stroke.visible);
    commands += shape.commands.size();
    // After a close, the next step is a move: NanoVG would otherwise extend the closed path.
    for (std::size_t i = 1; i < shape.commands.size(); ++i)
      if (shape.commands[i - 1].verb == svg::Verb::Close)
        require(shape.commands[i].verb == svg::Verb::Move);
  }
  require(commands <= svg::kMaxCommands);

  // The same text reads the same way again.
  std::string again;
  const auto reread = svg::parse(text, again);
  require(reread && reread->shapes.size() == document->shapes.size());

  CheckingCanvas canvas;
  RenderSvg(canvas, ISVG(document, document->width, document->height), IRECT(0, 0, 100, 50),
            nullptr);
  require(canvas.GetTransform() == IMatrix()); // the path transform is left as found
  return 0;
}

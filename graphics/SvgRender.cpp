#include "graphics/SvgRender.h"

#include "graphics/svg/SvgDocument.h"

namespace plug::graphics
{

namespace
{

IMatrix toMatrix(const svg::Transform& t)
{
  return IMatrix(t.a, t.b, t.c, t.d, t.e, t.f);
}

IColor toColor(const svg::Paint& paint)
{
  return IColor(paint.a, paint.r, paint.g, paint.b);
}

ELineCap toCap(svg::LineCap cap)
{
  switch (cap)
  {
    case svg::LineCap::Round:
      return ELineCap::Round;
    case svg::LineCap::Square:
      return ELineCap::Square;
    default:
      return ELineCap::Butt;
  }
}

ELineJoin toJoin(svg::LineJoin join)
{
  switch (join)
  {
    case svg::LineJoin::Round:
      return ELineJoin::Round;
    case svg::LineJoin::Bevel:
      return ELineJoin::Bevel;
    default:
      return ELineJoin::Miter;
  }
}

void tracePath(ICanvas& canvas, const svg::Shape& shape, bool mirrored)
{
  canvas.PathClear();
  for (const svg::Command& c : shape.commands)
  {
    switch (c.verb)
    {
      case svg::Verb::Move:
        canvas.PathMoveTo(c.x, c.y);
        // The reader worked out which way round each subpath must run for its fill rule;
        // a mirroring transform turns every direction over.
        canvas.PathSetWinding(c.clockwise != mirrored);
        break;
      case svg::Verb::Line:
        canvas.PathLineTo(c.x, c.y);
        break;
      case svg::Verb::Cubic:
        canvas.PathCubicBezierTo(c.x1, c.y1, c.x2, c.y2, c.x, c.y);
        break;
      case svg::Verb::Close:
        canvas.PathClose();
        break;
    }
  }
}

} // namespace

void RenderSvg(ICanvas& canvas, const ISVG& svg, const IRECT& bounds, const IBlend* blend)
{
  if (!svg.IsValid() || bounds.Empty())
    return;
  const svg::Document& document = *svg.document;
  if (document.width <= 0.f || document.height <= 0.f)
    return;
  const float scale = std::min(bounds.W() / svg.W, bounds.H() / svg.H);
  const float w = svg.W * scale, h = svg.H * scale;
  const IMatrix fit =
      IMatrix()
          .Translate(bounds.L + (bounds.W() - w) / 2.f, bounds.T + (bounds.H() - h) / 2.f)
          .Scale(w / document.width, h / document.height)
          .Multiply(toMatrix(document.viewTransform()));
  const IMatrix outer = canvas.GetTransform();
  const bool outerMirrored = outer.xx * outer.yy - outer.yx * outer.xy < 0.0;

  for (const svg::Shape& shape : document.shapes)
  {
    canvas.PathTransformSave();
    canvas.PathTransformMatrix(fit.Multiply(toMatrix(shape.transform)));
    tracePath(canvas, shape, outerMirrored != (shape.transform.determinant() < 0.f));
    const bool stroke = shape.stroke.visible && shape.strokeWidth > 0.f;
    if (shape.fill.visible)
      canvas.PathFill(toColor(shape.fill), IFillOptions{EFillRule::Winding, stroke}, blend);
    if (stroke)
    {
      IStrokeOptions options;
      options.cap = toCap(shape.cap);
      options.join = toJoin(shape.join);
      options.miterLimit = shape.miterLimit;
      canvas.PathStroke(toColor(shape.stroke), shape.strokeWidth, options, blend);
    }
    canvas.PathTransformRestore();
  }
}

} // namespace plug::graphics

// From the XML tree to shapes: the elements and properties the artwork uses. Elements and
// properties that would change the picture and are not read here refuse the document, so a
// picture is either drawn as its author saw it or not at all. Ids, classes, editor metadata
// and namespaced attributes do not change the picture and are passed over.
#include "graphics/svg/SvgDocument.h"
#include "graphics/svg/SvgOutlines.h"
#include "graphics/svg/SvgPathData.h"
#include "graphics/svg/SvgValues.h"
#include "graphics/svg/SvgXml.h"

#include <cmath>

namespace plug::graphics::svg
{

namespace
{

/** What an element inherits from its parents. */
struct Style
{
  Paint fill{true, 255, 0, 0, 0};
  Paint stroke;
  float fillOpacity = 1.f;
  float strokeOpacity = 1.f;
  float opacity = 1.f; // the product of the group opacities
  float strokeWidth = 1.f;
  float miterLimit = 4.f;
  LineCap cap = LineCap::Butt;
  LineJoin join = LineJoin::Miter;
  FillRule fillRule = FillRule::NonZero;
  bool visible = true;
  Transform transform;
};

class Builder
{
public:
  explicit Builder(std::string& error)
    : mError(error)
  {
  }

  std::shared_ptr<const Document> build(const XmlElement& root)
  {
    if (root.name != "svg")
      return failed("the root element is <" + root.name + ">, not <svg>");
    auto document = std::make_shared<Document>();
    if (!viewport(root, *document))
      return nullptr;
    Style style;
    bool display = true;
    if (!applyStyle(root, style, display))
      return nullptr;
    mDocument = document.get();
    if (display && !children(root, style))
      return nullptr;
    return document;
  }

private:
  std::nullptr_t failed(const std::string& message)
  {
    mError = message;
    return nullptr;
  }

  bool fail(const std::string& message)
  {
    mError = message;
    return false;
  }

  bool length(const XmlElement& element, std::string_view name, float fallback, float& out)
  {
    const std::string* text = element.find(name);
    if (!text)
    {
      out = fallback;
      return true;
    }
    const auto value = parseLength(*text);
    if (!value)
      return fail("<" + element.name + "> " + std::string(name) + "=\"" + *text +
                  "\" is not a length");
    out = *value;
    return true;
  }

  bool viewport(const XmlElement& root, Document& document)
  {
    if (const std::string* box = root.find("viewBox"))
    {
      NumberScanner scanner(*box);
      float v[4];
      for (float& value : v)
      {
        const auto number = scanner.number();
        if (!number)
          return fail("viewBox=\"" + *box + "\" is not four numbers");
        value = *number;
      }
      if (!scanner.atEnd())
        return fail("viewBox=\"" + *box + "\" is not four numbers");
      if (v[2] <= 0.f || v[3] <= 0.f)
        return fail("viewBox has no area");
      document.viewX = v[0];
      document.viewY = v[1];
      document.viewWidth = v[2];
      document.viewHeight = v[3];
    }
    const bool hasBox = document.viewWidth > 0.f;
    if (!length(root, "width", document.viewWidth, document.width) ||
        !length(root, "height", document.viewHeight, document.height))
      return false;
    if (document.width <= 0.f || document.height <= 0.f)
      return fail("the picture has no size (width, height or viewBox)");
    if (!hasBox)
    {
      document.viewWidth = document.width;
      document.viewHeight = document.height;
    }
    if (const std::string* aspect = root.find("preserveAspectRatio"))
    {
      const auto value = trim(*aspect);
      if (value == "none")
        document.stretch = true;
      else if (value != "xMidYMid" && value != "xMidYMid meet")
        return fail("preserveAspectRatio=\"" + *aspect + "\" is not supported");
    }
    return true;
  }

  bool opacity(std::string_view text, float& out)
  {
    NumberScanner scanner(text);
    auto value = scanner.number();
    if (value && trim(text).substr(scanner.position()) == "%")
      *value /= 100.f;
    else if (!value || !scanner.atEnd())
      return false;
    out = std::fmin(1.f, std::fmax(0.f, *value));
    return true;
  }

  /** One presentation property, from an attribute or a style declaration. */
  bool property(const std::string& element, std::string_view name, std::string_view value,
                Style& style, bool& display)
  {
    value = trim(value);
    auto bad = [&]()
    {
      return fail("<" + element + "> " + std::string(name) + ": \"" + std::string(value) +
                  "\" is not supported");
    };
    if (value == "inherit")
      return true;
    if (name == "fill" || name == "stroke")
    {
      const auto paint = parsePaint(value);
      if (!paint)
        return bad();
      (name == "fill" ? style.fill : style.stroke) = *paint;
    }
    else if (name == "fill-opacity" || name == "stroke-opacity" || name == "opacity")
    {
      float v = 1.f;
      if (!opacity(value, v))
        return bad();
      if (name == "opacity")
        style.opacity *= v;
      else
        (name == "fill-opacity" ? style.fillOpacity : style.strokeOpacity) = v;
    }
    else if (name == "stroke-width")
    {
      const auto v = parseLength(value);
      if (!v || *v < 0.f)
        return bad();
      style.strokeWidth = *v;
    }
    else if (name == "stroke-miterlimit")
    {
      NumberScanner scanner(value);
      const auto v = scanner.number();
      if (!v || *v < 1.f || !scanner.atEnd())
        return bad();
      style.miterLimit = *v;
    }
    else if (name == "fill-rule")
    {
      if (value != "nonzero" && value != "evenodd")
        return bad();
      style.fillRule = value == "nonzero" ? FillRule::NonZero : FillRule::EvenOdd;
    }
    else if (name == "stroke-linecap")
    {
      if (value == "butt")
        style.cap = LineCap::Butt;
      else if (value == "round")
        style.cap = LineCap::Round;
      else if (value == "square")
        style.cap = LineCap::Square;
      else
        return bad();
    }
    else if (name == "stroke-linejoin")
    {
      if (value == "miter")
        style.join = LineJoin::Miter;
      else if (value == "round")
        style.join = LineJoin::Round;
      else if (value == "bevel")
        style.join = LineJoin::Bevel;
      else
        return bad();
    }
    else if (name == "display")
      display = value != "none";
    else if (name == "visibility")
      style.visible = value == "visible";
    else if (name == "stroke-dasharray" || name == "clip-path" || name == "mask" ||
             name == "filter" || name == "marker" || name == "marker-start" ||
             name == "marker-mid" || name == "marker-end")
    {
      if (value != "none")
        return bad();
    }
    else if (name == "paint-order")
    {
      if (value != "normal" && value != "fill" && value != "fill stroke")
        return bad();
    }
    return true;
  }

  bool applyStyle(const XmlElement& element, Style& style, bool& display)
  {
    for (const auto& [name, value] : element.attributes)
    {
      if (name == "transform")
      {
        const auto transform = parseTransform(value);
        if (!transform)
          return fail("<" + element.name + "> transform=\"" + value + "\" is not understood");
        style.transform = style.transform * *transform;
      }
      else if (name != "style" && !property(element.name, name, value, style, display))
        return false;
    }
    // Style declarations win over attributes.
    if (const std::string* text = element.find("style"))
    {
      const auto declarations = parseStyle(*text);
      if (!declarations)
        return fail("<" + element.name + "> style=\"" + *text + "\" is not understood");
      for (const auto& [name, value] : *declarations)
        if (name == "transform" || !property(element.name, name, value, style, display))
          return name == "transform" ? fail("a transform in a style is not supported") : false;
    }
    return true;
  }

  bool children(const XmlElement& parent, const Style& style)
  {
    for (const auto& child : parent.children)
      if (!element(child, style))
        return false;
    return true;
  }

  static bool passedOver(const std::string& name)
  {
    // Descriptions, editor data and definitions never draw by themselves; anything that
    // would use a definition (a gradient, a clone) is refused where it is used.
    return name == "title" || name == "desc" || name == "metadata" || name == "defs" ||
           name.find(':') != std::string::npos;
  }

  bool element(const XmlElement& node, const Style& inherited)
  {
    if (passedOver(node.name))
      return true;
    Style style = inherited;
    bool display = true;
    if (!applyStyle(node, style, display))
      return false;
    if (!display)
      return true;
    if (node.name == "g")
      return children(node, style);
    Shape shape;
    if (!outline(node, shape.commands))
      return false;
    for (const auto& child : node.children)
      if (!passedOver(child.name))
        return fail("<" + child.name + "> inside <" + node.name + ">");
    if (shape.commands.empty() || !style.visible)
      return true;
    shape.transform = style.transform;
    shape.fill = style.fill;
    shape.fill.a =
        static_cast<std::uint8_t>(std::lround(shape.fill.a * style.fillOpacity * style.opacity));
    shape.stroke = style.stroke;
    shape.stroke.a = static_cast<std::uint8_t>(
        std::lround(shape.stroke.a * style.strokeOpacity * style.opacity));
    if (node.name == "line" || node.name == "polyline")
      shape.fill.visible = false; // open outlines are only stroked
    shape.strokeWidth = style.strokeWidth;
    shape.miterLimit = style.miterLimit;
    shape.cap = style.cap;
    shape.join = style.join;
    shape.fillRule = style.fillRule;
    if (!shape.fill.visible && (!shape.stroke.visible || shape.strokeWidth <= 0.f))
      return true;
    assignWindings(shape);
    mCommands += shape.commands.size();
    if (mCommands > kMaxCommands)
      return fail("the picture has more than " + std::to_string(kMaxCommands) + " path steps");
    mDocument->shapes.push_back(std::move(shape));
    return true;
  }

  bool points(const XmlElement& node, std::vector<Command>& out, bool close)
  {
    const std::string* text = node.find("points");
    if (!text)
      return true;
    NumberScanner scanner(*text);
    std::size_t count = 0;
    while (!scanner.atEnd())
    {
      const auto x = scanner.number();
      const auto y = x ? scanner.number() : std::nullopt;
      if (!x || !y)
        return fail("<" + node.name + "> points=\"" + *text + "\" is not pairs of numbers");
      out.push_back({count == 0 ? Verb::Move : Verb::Line, 0.f, 0.f, 0.f, 0.f, *x, *y});
      if (++count + mCommands > kMaxCommands)
        return fail("the picture has too many path steps");
    }
    if (close && !out.empty())
      out.push_back({Verb::Close});
    return true;
  }

  /** The element's outline; an element of no size has none. */
  bool outline(const XmlElement& node, std::vector<Command>& out)
  {
    const std::string& name = node.name;
    float v[6] = {};
    auto lengths = [&](std::initializer_list<const char*> names)
    {
      int i = 0;
      for (const char* attribute : names)
        if (!length(node, attribute, 0.f, v[i++]))
          return false;
      return true;
    };
    if (name == "path")
    {
      const std::string* data = node.find("d");
      return !data || parsePathData(*data, out, kMaxCommands - mCommands, mError);
    }
    if (name == "rect")
    {
      if (!lengths({"x", "y", "width", "height"}))
        return false;
      const bool hasRx = node.find("rx") != nullptr, hasRy = node.find("ry") != nullptr;
      float rx = 0.f, ry = 0.f;
      if (!length(node, "rx", 0.f, rx) || !length(node, "ry", 0.f, ry))
        return false;
      if (v[2] < 0.f || v[3] < 0.f || rx < 0.f || ry < 0.f)
        return fail("<rect> with a negative size");
      // One given radius serves for both.
      if (hasRx && !hasRy)
        ry = rx;
      if (hasRy && !hasRx)
        rx = ry;
      if (v[2] > 0.f && v[3] > 0.f)
        appendRect(out, v[0], v[1], v[2], v[3], rx, ry);
      return true;
    }
    if (name == "circle" || name == "ellipse")
    {
      const bool circle = name == "circle";
      if (!(circle ? lengths({"cx", "cy", "r"}) : lengths({"cx", "cy", "rx", "ry"})))
        return false;
      const float rx = v[2], ry = circle ? v[2] : v[3];
      if (rx < 0.f || ry < 0.f)
        return fail("<" + name + "> with a negative radius");
      if (rx > 0.f && ry > 0.f)
        appendEllipse(out, v[0], v[1], rx, ry);
      return true;
    }
    if (name == "line")
    {
      if (!lengths({"x1", "y1", "x2", "y2"}))
        return false;
      out.push_back({Verb::Move, 0.f, 0.f, 0.f, 0.f, v[0], v[1]});
      out.push_back({Verb::Line, 0.f, 0.f, 0.f, 0.f, v[2], v[3]});
      return true;
    }
    if (name == "polygon" || name == "polyline")
      return points(node, out, name == "polygon");
    return fail("<" + name + "> is not supported");
  }

  std::string& mError;
  Document* mDocument = nullptr;
  std::size_t mCommands = 0;
};

} // namespace

std::shared_ptr<const Document> parse(std::string_view text, std::string& error)
{
  if (text.size() > kMaxBytes)
  {
    error = "the picture is larger than " + std::to_string(kMaxBytes) + " bytes";
    return nullptr;
  }
  XmlElement root;
  if (!parseXml(text, kMaxDepth, root, error))
    return nullptr;
  return Builder(error).build(root);
}

} // namespace plug::graphics::svg

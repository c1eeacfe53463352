// The SVG reader turns each element kind into moves, lines, cubics and closes, with the
// paint and transforms that reach it.
#include "graphics/svg/SvgDocument.h"

#include <gtest/gtest.h>

#include <cmath>
#include <string>

using namespace plug::graphics::svg;

namespace
{

std::shared_ptr<const Document> read(const std::string& body,
                                     const std::string& root = R"(width="100" height="100")")
{
  std::string error;
  auto document = parse("<svg " + root + ">" + body + "</svg>", error);
  EXPECT_TRUE(document) << error;
  return document;
}

std::string verbs(const Shape& shape)
{
  std::string out;
  for (const Command& c : shape.commands)
    out += "MLCZ"[static_cast<int>(c.verb)];
  return out;
}

/** The point of a cubic at t. */
void bezier(float x0, float y0, const Command& c, float t, float& x, float& y)
{
  const float u = 1.f - t;
  x = u * u * u * x0 + 3 * u * u * t * c.x1 + 3 * u * t * t * c.x2 + t * t * t * c.x;
  y = u * u * u * y0 + 3 * u * u * t * c.y1 + 3 * u * t * t * c.y2 + t * t * t * c.y;
}

} // namespace

TEST(SvgShapes, RectanglesWithAndWithoutCorners)
{
  const auto doc = read(R"(<rect x="10" y="20" width="30" height="40"/>
                           <rect x="0" y="0" width="20" height="10" rx="4"/>
                           <rect width="0" height="10"/>)");
  ASSERT_EQ(doc->shapes.size(), 2u); // a rectangle of no width draws nothing
  const Shape& plain = doc->shapes[0];
  EXPECT_EQ(verbs(plain), "MLLLLZ");
  EXPECT_EQ(std::pair(plain.commands[0].x, plain.commands[0].y), std::pair(10.f, 20.f));
  EXPECT_EQ(std::pair(plain.commands[2].x, plain.commands[2].y), std::pair(40.f, 60.f));
  const Shape& rounded = doc->shapes[1];
  EXPECT_EQ(verbs(rounded), "MLCLCLCLCZ");
  // rx alone also sets ry: the first corner ends 4 units down the right edge.
  EXPECT_EQ(std::pair(rounded.commands[2].x, rounded.commands[2].y), std::pair(20.f, 4.f));
  EXPECT_TRUE(plain.fill.visible); // black fill by default
  EXPECT_EQ(plain.fill.r + plain.fill.g + plain.fill.b, 0);
  EXPECT_FALSE(plain.stroke.visible);
}

TEST(SvgShapes, CirclesAndEllipsesStayOnTheirCurve)
{
  const auto doc =
      read(R"(<circle cx="50" cy="40" r="10"/><ellipse cx="0" cy="0" rx="20" ry="5"/>)");
  ASSERT_EQ(doc->shapes.size(), 2u);
  for (const auto& [shape, cx, cy, rx, ry] : {std::tuple(&doc->shapes[0], 50.f, 40.f, 10.f, 10.f),
                                              std::tuple(&doc->shapes[1], 0.f, 0.f, 20.f, 5.f)})
  {
    EXPECT_EQ(verbs(*shape), "MCCCCZ");
    float px = shape->commands[0].x, py = shape->commands[0].y;
    for (std::size_t i = 1; i < 5; ++i)
    {
      for (float t : {0.25f, 0.5f, 0.75f})
      {
        float x, y;
        bezier(px, py, shape->commands[i], t, x, y);
        const float radial = std::hypot((x - cx) / rx, (y - cy) / ry);
        EXPECT_NEAR(radial, 1.f, 0.001f);
      }
      px = shape->commands[i].x;
      py = shape->commands[i].y;
    }
  }
}

TEST(SvgShapes, PolygonsClosePolylinesAndLinesOnlyStroke)
{
  const auto doc = read(R"(<polygon points="0,0 10,0 5,8"/>
                           <polyline points="0 0 10 10 20 0" stroke="red"/>
                           <line x1="1" y1="2" x2="3" y2="4" stroke="blue"/>)");
  ASSERT_EQ(doc->shapes.size(), 3u);
  EXPECT_EQ(verbs(doc->shapes[0]), "MLLZ");
  EXPECT_EQ(doc->shapes[0].commands[2].y, 8.f);
  EXPECT_EQ(verbs(doc->shapes[1]), "MLL");
  EXPECT_FALSE(doc->shapes[1].fill.visible);
  EXPECT_TRUE(doc->shapes[1].stroke.visible);
  EXPECT_EQ(verbs(doc->shapes[2]), "ML");
  EXPECT_EQ(doc->shapes[2].stroke.b, 255);
}

TEST(SvgShapes, PaintOpacityAndStyleInheritance)
{
  const auto doc = read(R"~(<g fill="#0f0" opacity="0.5" stroke-width="3">
                             <rect width="1" height="1" fill-opacity="0.5"/>
                             <rect width="1" height="1" style="fill: rgb(100%, 0%, 50%); stroke:#123456"/>
                             <rect width="1" height="1" fill="none" stroke="Orange" stroke-linecap="round"/>
                           </g>)~");
  ASSERT_EQ(doc->shapes.size(), 3u);
  const Shape& a = doc->shapes[0];
  EXPECT_EQ(std::tuple(a.fill.r, a.fill.g, a.fill.b), std::tuple(0, 255, 0));
  EXPECT_EQ(a.fill.a, 64); // 255 × 0.5 × 0.5
  const Shape& b = doc->shapes[1];
  EXPECT_EQ(std::tuple(b.fill.r, b.fill.g, b.fill.b, b.fill.a), std::tuple(255, 0, 128, 128));
  EXPECT_EQ(std::tuple(b.stroke.r, b.stroke.g, b.stroke.b), std::tuple(0x12, 0x34, 0x56));
  EXPECT_EQ(b.strokeWidth, 3.f);
  const Shape& c = doc->shapes[2];
  EXPECT_FALSE(c.fill.visible);
  EXPECT_EQ(std::tuple(c.stroke.r, c.stroke.g, c.stroke.b), std::tuple(255, 165, 0));
  EXPECT_EQ(c.cap, LineCap::Round);
}

TEST(SvgShapes, HiddenAndUndrawnElementsAddNoShape)
{
  const auto doc = read(R"(<title>x</title><desc>y</desc><metadata><rdf:RDF/></metadata>
                           <defs><linearGradient id="g"/></defs>
                           <sodipodi:namedview inkscape:zoom="2"/>
                           <rect width="5" height="5" display="none"/>
                           <g style="display:none"><rect width="5" height="5"/></g>
                           <rect width="5" height="5" visibility="hidden"/>
                           <rect width="5" height="5" fill="none"/>
                           <!-- a comment --><rect id="kept" class="c" inkscape:label="k" width="5" height="5"/>)");
  ASSERT_EQ(doc->shapes.size(), 1u);
  EXPECT_EQ(doc->shapes[0].commands[2].x, 5.f);
}

TEST(SvgShapes, GroupTransformsCompose)
{
  const auto doc = read(R"~(<g transform="translate(10, 20)">
                             <g transform="scale(2) rotate(90)"><rect width="1" height="1"/></g>
                             <rect transform="matrix(1 0 0 1 5 5) skewX(45)" width="1" height="1"/>
                             <rect transform="rotate(180 1 1)" width="1" height="1"/>
                           </g>)~");
  ASSERT_EQ(doc->shapes.size(), 3u);
  const Transform& t0 = doc->shapes[0].transform;
  // (1, 0) turns to (0, 1), doubles to (0, 2), moves to (10, 22).
  EXPECT_NEAR(t0.mapX(1.f, 0.f), 10.f, 1e-5f);
  EXPECT_NEAR(t0.mapY(1.f, 0.f), 22.f, 1e-5f);
  const Transform& t1 = doc->shapes[1].transform;
  EXPECT_NEAR(t1.mapX(0.f, 1.f), 16.f, 1e-5f); // skewed by y, then moved by 5 and 10
  EXPECT_NEAR(t1.mapY(0.f, 1.f), 26.f, 1e-5f);
  const Transform& t2 = doc->shapes[2].transform;
  EXPECT_NEAR(t2.mapX(0.f, 0.f), 12.f, 1e-5f); // the origin turns about (1, 1) to (2, 2)
  EXPECT_NEAR(t2.mapY(0.f, 0.f), 22.f, 1e-5f);
}

TEST(SvgShapes, SizeUnitsAndViewBox)
{
  const auto inches = read("", R"(width="1in" height="10mm")");
  EXPECT_FLOAT_EQ(inches->width, 72.f);
  EXPECT_NEAR(inches->height, 28.3465f, 1e-3f);

  // A 100 × 50 viewBox in a 200 × 200 picture: scaled 2×, centred vertically.
  const auto boxed = read("", R"(width="200" height="200" viewBox="10 10 100 50")");
  const Transform view = boxed->viewTransform();
  EXPECT_NEAR(view.mapX(10.f, 10.f), 0.f, 1e-4f);
  EXPECT_NEAR(view.mapY(10.f, 10.f), 50.f, 1e-4f);
  EXPECT_NEAR(view.mapX(110.f, 60.f), 200.f, 1e-4f);
  EXPECT_NEAR(view.mapY(110.f, 60.f), 150.f, 1e-4f);

  const auto stretched =
      read("", R"(width="200" height="200" viewBox="0 0 100 50" preserveAspectRatio="none")");
  EXPECT_NEAR(stretched->viewTransform().mapY(0.f, 50.f), 200.f, 1e-4f);

  // Without width and height the viewBox gives the size.
  const auto sized = read("", R"(viewBox="0 0 30 20")");
  EXPECT_EQ(std::pair(sized->width, sized->height), std::pair(30.f, 20.f));
}

TEST(SvgShapes, WindingsGiveEachFillRule)
{
  // Outer square clockwise on screen, inner one drawn the same way round.
  const std::string nested = "M0 0 H10 V10 H0 Z M2 2 H8 V8 H2 Z M4 4 H6 V6 H4 Z";
  const auto doc = read("<path d=\"" + nested + "\"/><path fill-rule=\"evenodd\" d=\"" + nested +
                        "\"/><path d=\"M0 0 V10 H10 V0 Z\"/>");
  ASSERT_EQ(doc->shapes.size(), 3u);
  auto moves = [](const Shape& s)
  {
    std::string out;
    for (const Command& c : s.commands)
      if (c.verb == Verb::Move)
        out += c.clockwise ? 'c' : 'a';
    return out;
  };
  EXPECT_EQ(moves(doc->shapes[0]), "ccc"); // non-zero: the directions as drawn
  EXPECT_EQ(moves(doc->shapes[1]), "cac"); // even-odd: alternating with the nesting
  EXPECT_EQ(moves(doc->shapes[2]), "a");
}

TEST(SvgShapes, TextAroundTheMarkupIsRead)
{
  std::string error;
  const auto doc = parse("\xEF\xBB\xBF<?xml version=\"1.0\" encoding=\"UTF-8\"?>\n"
                         "<!DOCTYPE svg PUBLIC \"-//W3C//DTD SVG 1.1//EN\" \"x.dtd\">\n"
                         "<!-- made by hand -->\n"
                         "<svg xmlns=\"http://www.w3.org/2000/svg\" width='8' height='8'>"
                         "<path d='M0 0 L&#x38; 0 L8 &#56; Z' fill='&#x23;ff0000'/></svg>\n",
                         error);
  ASSERT_TRUE(doc) << error;
  ASSERT_EQ(doc->shapes.size(), 1u);
  EXPECT_EQ(doc->shapes[0].commands[1].x, 8.f);
  EXPECT_EQ(doc->shapes[0].fill.r, 255);
}

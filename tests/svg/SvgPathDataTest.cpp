// Path data: every command letter, the shorthand forms, and arcs turned into cubics.
#include "graphics/svg/SvgPathData.h"

#include <gtest/gtest.h>

#include <cmath>
#include <string>
#include <vector>

using namespace plug::graphics::svg;

namespace
{

std::vector<Command> path(const std::string& data)
{
  std::vector<Command> out;
  std::string error;
  EXPECT_TRUE(parsePathData(data, out, kMaxCommands, error)) << data << ": " << error;
  return out;
}

std::string verbs(const std::vector<Command>& commands)
{
  std::string out;
  for (const Command& c : commands)
    out += "MLCZ"[static_cast<int>(c.verb)];
  return out;
}

std::vector<std::pair<float, float>> ends(const std::vector<Command>& commands)
{
  std::vector<std::pair<float, float>> out;
  for (const Command& c : commands)
    if (c.verb != Verb::Close)
      out.emplace_back(c.x, c.y);
  return out;
}

using Points = std::vector<std::pair<float, float>>;

} // namespace

TEST(SvgPathData, LinesAbsoluteRelativeAndImplicit)
{
  const auto a = path("M10,10 h5 v-5 H0 V0 l2 2 L1-1 m1 1 2 2 3 3");
  EXPECT_EQ(verbs(a), "MLLLLLLMLL");
  EXPECT_EQ(
      ends(a),
      (Points{
          {10, 10}, {15, 10}, {15, 5}, {0, 5}, {0, 0}, {2, 2}, {1, -1}, {2, 0}, {4, 2}, {7, 5}}));
  // Compact numbers: signs and second points separate them.
  EXPECT_EQ(ends(path("M.5.5L1e1-2.5")), (Points{{0.5f, 0.5f}, {10.f, -2.5f}}));
}

TEST(SvgPathData, AStrokeAfterACloseStartsAtTheSubpathsStart)
{
  const auto a = path("M5 5 L10 5 Z l1 1 z m2 2 l1 0");
  EXPECT_EQ(verbs(a), "MLZMLZML");
  EXPECT_EQ(ends(a), (Points{{5, 5}, {10, 5}, {5, 5}, {6, 6}, {7, 7}, {8, 7}}));
}

TEST(SvgPathData, QuadraticsAndSmoothCurvesBecomeExactCubics)
{
  const auto q = path("M0 0 Q30 30 60 0 T120 0");
  ASSERT_EQ(verbs(q), "MCC");
  EXPECT_FLOAT_EQ(q[1].x1, 20.f); // two thirds of the way to the control point
  EXPECT_FLOAT_EQ(q[1].y1, 20.f);
  EXPECT_FLOAT_EQ(q[1].x2, 40.f);
  EXPECT_FLOAT_EQ(q[1].y2, 20.f);
  // T reflects the control point (30, 30) about (60, 0) to (90, -30).
  EXPECT_FLOAT_EQ(q[2].x1, 80.f);
  EXPECT_FLOAT_EQ(q[2].y1, -20.f);

  const auto s = path("M0 0 C0 10 20 10 20 0 s20 -10 20 0 S50 5 60 0");
  ASSERT_EQ(verbs(s), "MCCC");
  EXPECT_EQ(std::pair(s[2].x1, s[2].y1), std::pair(20.f, -10.f)); // reflected (20, 10)
  EXPECT_EQ(std::pair(s[2].x2, s[2].y2), std::pair(40.f, -10.f));
  EXPECT_EQ(std::pair(s[3].x1, s[3].y1), std::pair(40.f, 10.f));
  // S after a line has no control point to reflect: it starts at the current point.
  const auto plain = path("M0 0 L5 5 S9 9 10 10");
  EXPECT_EQ(std::pair(plain[2].x1, plain[2].y1), std::pair(5.f, 5.f));
}

TEST(SvgPathData, ArcsFollowTheirEllipse)
{
  struct Case
  {
    const char* data;
    float cx, cy, rx, ry;
    float midY; // where the arc crosses x = cx
    std::size_t cubics;
  };
  const Case cases[] = {
      {"M0 0 A10 10 0 0 1 20 0", 10, 0, 10, 10, -10, 2}, // clockwise on screen: over the top
      {"M0 0 A10 10 0 0 0 20 0", 10, 0, 10, 10, 10, 2},
      {"M0 0 a5 5 0 0 1 20 0", 10, 0, 10, 10, -10, 2},    // radius too small: grown to fit
      {"M0 0 A10 10 0 1 1 10 10", 10, 0, 10, 10, -10, 3}, // the large one of two arcs
      {"M0 0 A20 10 0 0 1 0 20", 0, 10, 20, 10, 0, 2},    // half an ellipse
  };
  for (const Case& c : cases)
  {
    const auto a = path(c.data);
    ASSERT_EQ(a.size(), 1 + c.cubics) << c.data;
    EXPECT_EQ(ends(a).back(), ends(path(c.data)).back());
    float px = a[0].x, py = a[0].y;
    bool crossed = false;
    for (std::size_t i = 1; i < a.size(); ++i)
    {
      ASSERT_EQ(a[i].verb, Verb::Cubic) << c.data;
      for (float t = 0.f; t <= 1.f; t += 0.125f)
      {
        const float u = 1.f - t;
        const float x =
            u * u * u * px + 3 * u * u * t * a[i].x1 + 3 * u * t * t * a[i].x2 + t * t * t * a[i].x;
        const float y =
            u * u * u * py + 3 * u * u * t * a[i].y1 + 3 * u * t * t * a[i].y2 + t * t * t * a[i].y;
        EXPECT_NEAR(std::hypot((x - c.cx) / c.rx, (y - c.cy) / c.ry), 1.f, 0.002f) << c.data;
        if (std::fabs(x - c.cx) < 0.3f && std::fabs(y - c.midY) < 0.3f)
          crossed = true;
      }
      px = a[i].x;
      py = a[i].y;
    }
    EXPECT_TRUE(crossed || c.midY == 0) << c.data;
  }
  EXPECT_EQ(verbs(path("M0 0 A0 5 0 0 1 10 0")), "ML"); // a zero radius is a line
  EXPECT_EQ(verbs(path("M3 3 A5 5 0 0 1 3 3")), "M");   // coinciding ends draw nothing
  EXPECT_EQ(verbs(path("M0 0 a5 5 0 1120 0")), "MCC");  // flags need no separators
}

TEST(SvgPathData, RotatedArcKeepsItsEnds)
{
  const auto a = path("M10 10 A30 10 45 0 1 50 40");
  EXPECT_EQ(ends(a).back(), (std::pair(50.f, 40.f)));
  EXPECT_EQ(a[0].verb, Verb::Move);
}

TEST(SvgPathData, MalformedDataIsRefused)
{
  for (const char* bad : {"L1 1", "M0", "M0 0 L1", "M0 0 C1 1 2 2", "M0 0 A1 1 0 2 0 5 5",
                          "M0 0 X 1", "M0 0 Z 1 1", "M nan 0", "M inf 0", "M1e40 0", "M0 0 L1 1 +"})
  {
    std::vector<Command> out;
    std::string error;
    EXPECT_FALSE(parsePathData(bad, out, kMaxCommands, error)) << bad;
    EXPECT_NE(error.find("path data"), std::string::npos) << bad;
  }
  std::vector<Command> out;
  std::string error;
  EXPECT_FALSE(parsePathData("M0 0 L1 1 2 2 3 3", out, 3, error));
  EXPECT_NE(error.find("too many"), std::string::npos);
}

#pragma once

#include <cstdint>
#include <memory>
#include <string>
#include <string_view>
#include <vector>

namespace plug::graphics::svg
{

/** An affine map x' = a·x + c·y + e, y' = b·x + d·y + f (the order of the SVG matrix). */
struct Transform
{
  float a = 1.f, b = 0.f, c = 0.f, d = 1.f, e = 0.f, f = 0.f;

  /** This map applied after `inner`. */
  Transform operator*(const Transform& inner) const;
  float mapX(float x, float y) const { return a * x + c * y + e; }
  float mapY(float x, float y) const { return b * x + d * y + f; }
  float determinant() const { return a * d - b * c; }

  static Transform translate(float x, float y) { return {1.f, 0.f, 0.f, 1.f, x, y}; }
  static Transform scale(float x, float y) { return {x, 0.f, 0.f, y, 0.f, 0.f}; }
  /** Degrees, clockwise on screen (y grows downwards). */
  static Transform rotate(float degrees);
};

enum class Verb : std::uint8_t
{
  Move,
  Line,
  Cubic,
  Close
};

/** One path step. Cubic uses (x1, y1) and (x2, y2) as control points; all but Close end at
 *  (x, y). A Move also says which way round its subpath must be filled: with that winding the
 *  shape's fill rule comes out under a non-zero fill. */
struct Command
{
  Verb verb = Verb::Move;
  float x1 = 0.f, y1 = 0.f, x2 = 0.f, y2 = 0.f, x = 0.f, y = 0.f;
  bool clockwise = true;
};

/** A flat colour or nothing; alpha already holds the opacities that apply to it. */
struct Paint
{
  bool visible = false;
  std::uint8_t a = 255, r = 0, g = 0, b = 0;
};

enum class FillRule : std::uint8_t
{
  NonZero,
  EvenOdd
};

enum class LineCap : std::uint8_t
{
  Butt,
  Round,
  Square
};

enum class LineJoin : std::uint8_t
{
  Miter,
  Round,
  Bevel
};

/** One drawable element: its outline in its own user units and the map to document units
 *  (the composed transforms of it and its groups). */
struct Shape
{
  std::vector<Command> commands;
  Transform transform;
  Paint fill;
  Paint stroke;
  float strokeWidth = 1.f;
  float miterLimit = 4.f;
  LineCap cap = LineCap::Butt;
  LineJoin join = LineJoin::Miter;
  FillRule fillRule = FillRule::NonZero;
};

/** A parsed picture: its size in px (72 dpi), the user-space window the viewBox names, and
 *  its shapes in drawing order. */
struct Document
{
  float width = 0.f;
  float height = 0.f;
  float viewX = 0.f, viewY = 0.f, viewWidth = 0.f, viewHeight = 0.f;
  bool stretch = false; // preserveAspectRatio="none"
  std::vector<Shape> shapes;

  /** Maps the viewBox onto the 0..width × 0..height viewport. */
  Transform viewTransform() const;
};

/** Reads SVG text. Returns nothing, with a message in `error`, for anything outside the
 *  subset this reader knows (it never guesses), for malformed text and for documents deeper
 *  or bigger than the limits below. */
std::shared_ptr<const Document> parse(std::string_view text, std::string& error);

/** Reads a file of at most kMaxBytes and parses it. */
std::shared_ptr<const Document> loadFile(const std::string& path, std::string& error);

inline constexpr std::size_t kMaxBytes = 4u << 20;
inline constexpr int kMaxDepth = 32;
inline constexpr std::size_t kMaxCommands = 500000;

} // namespace plug::graphics::svg

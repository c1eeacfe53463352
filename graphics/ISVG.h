#pragma once

#include <memory>

namespace plug::graphics
{

namespace svg
{
struct Document;
} // namespace svg

/** A parsed piece of SVG artwork and its size in editor units. Cheap to copy; the document
 *  is shared and never changes once parsed. */
struct ISVG
{
  std::shared_ptr<const svg::Document> document;
  float W = 0.f;
  float H = 0.f;

  ISVG() = default;
  ISVG(std::shared_ptr<const svg::Document> doc, float w, float h)
    : document(std::move(doc))
    , W(w)
    , H(h)
  {
  }
  bool IsValid() const { return document != nullptr && W > 0.f && H > 0.f; }
};

} // namespace plug::graphics

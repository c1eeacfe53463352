#pragma once

#include <string>
#include <string_view>
#include <utility>
#include <vector>

namespace plug::graphics::svg
{

/** One element of a small XML tree: what the SVG reader needs and no more (no namespaces,
 *  no entities beyond the five predefined ones and character references; text is dropped). */
struct XmlElement
{
  std::string name;
  std::vector<std::pair<std::string, std::string>> attributes;
  std::vector<XmlElement> children;

  /** The attribute's value, or nullptr when absent. */
  const std::string* find(std::string_view attribute) const;
};

/** Parses a whole document into its root element. False with a message on malformed text,
 *  on a document type with declarations, or on nesting deeper than `maxDepth`. */
bool parseXml(std::string_view text, int maxDepth, XmlElement& root, std::string& error);

} // namespace plug::graphics::svg

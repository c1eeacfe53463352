#include "graphics/svg/SvgXml.h"

#include "framework/Utf8.h"

#include <cstdint>

namespace plug::graphics::svg
{

const std::string* XmlElement::find(std::string_view attribute) const
{
  for (const auto& [key, value] : attributes)
    if (key == attribute)
      return &value;
  return nullptr;
}

namespace
{

bool isSpace(char c)
{
  return c == ' ' || c == '\t' || c == '\n' || c == '\r';
}

bool isNameChar(char c)
{
  return (c >= 'a' && c <= 'z') || (c >= 'A' && c <= 'Z') || (c >= '0' && c <= '9') || c == '_' ||
         c == '-' || c == '.' || c == ':' || static_cast<unsigned char>(c) >= 0x80;
}

class Reader
{
public:
  Reader(std::string_view text, int maxDepth, std::string& error)
    : mText(text)
    , mMaxDepth(maxDepth)
    , mError(error)
  {
  }

  bool document(XmlElement& root)
  {
    if (mText.starts_with("\xEF\xBB\xBF"))
      mPos = 3;
    if (!misc())
      return false;
    if (!at('<'))
      return fail("no root element");
    if (!element(root, 1))
      return false;
    if (!misc())
      return false;
    if (mPos != mText.size())
      return fail("text after the root element");
    return true;
  }

private:
  bool fail(const std::string& message)
  {
    mError = message + " (at byte " + std::to_string(mPos) + ")";
    return false;
  }

  bool at(char c) const { return mPos < mText.size() && mText[mPos] == c; }
  bool at(std::string_view s) const { return mText.substr(mPos).starts_with(s); }

  void skipSpace()
  {
    while (mPos < mText.size() && isSpace(mText[mPos]))
      ++mPos;
  }

  bool skipPast(std::string_view end, const char* what)
  {
    const auto found = mText.find(end, mPos);
    if (found == std::string_view::npos)
      return fail(std::string("unterminated ") + what);
    mPos = found + end.size();
    return true;
  }

  /** Whitespace, comments, processing instructions and a document type without an internal
   *  subset: whatever may stand around the root element. */
  bool misc()
  {
    for (;;)
    {
      skipSpace();
      if (at("<!--"))
      {
        if (!skipPast("-->", "comment"))
          return false;
      }
      else if (at("<?"))
      {
        if (!skipPast("?>", "processing instruction"))
          return false;
      }
      else if (at("<!DOCTYPE"))
      {
        const auto close = mText.find('>', mPos);
        const auto bracket = mText.find('[', mPos);
        if (bracket != std::string_view::npos && bracket < close)
          return fail("document type declarations are not supported");
        if (!skipPast(">", "document type"))
          return false;
      }
      else
        return true;
    }
  }

  bool name(std::string& out)
  {
    const auto start = mPos;
    while (mPos < mText.size() && isNameChar(mText[mPos]))
      ++mPos;
    if (mPos == start)
      return fail("expected a name");
    out.assign(mText.substr(start, mPos - start));
    return true;
  }

  bool reference(std::string& out)
  {
    const auto end = mText.find(';', mPos);
    if (end == std::string_view::npos || end - mPos > 12)
      return fail("bad character reference");
    const auto ref = mText.substr(mPos + 1, end - mPos - 1);
    mPos = end + 1;
    static constexpr std::pair<std::string_view, char> kNamed[] = {
        {"amp", '&'}, {"lt", '<'}, {"gt", '>'}, {"quot", '"'}, {"apos", '\''}};
    for (const auto& [key, c] : kNamed)
      if (ref == key)
      {
        out += c;
        return true;
      }
    if (ref.size() < 2 || ref[0] != '#')
      return fail("unknown entity &" + std::string(ref) + ";");
    const bool hex = ref[1] == 'x';
    std::uint32_t code = 0;
    const auto digits = ref.substr(hex ? 2 : 1);
    if (digits.empty())
      return fail("bad character reference");
    for (const char c : digits)
    {
      int v = -1;
      if (c >= '0' && c <= '9')
        v = c - '0';
      else if (hex && c >= 'a' && c <= 'f')
        v = c - 'a' + 10;
      else if (hex && c >= 'A' && c <= 'F')
        v = c - 'A' + 10;
      if (v < 0)
        return fail("bad character reference");
      code = code * (hex ? 16 : 10) + static_cast<std::uint32_t>(v);
      if (code > 0x10FFFF)
        return fail("bad character reference");
    }
    if (code == 0 || (code >= 0xD800 && code <= 0xDFFF))
      return fail("bad character reference");
    plug::AppendUtf8(out, code);
    return true;
  }

  bool attribute(XmlElement& element)
  {
    std::string key;
    if (!name(key))
      return false;
    skipSpace();
    if (!at('='))
      return fail("attribute " + key + " without a value");
    ++mPos;
    skipSpace();
    if (!at('"') && !at('\''))
      return fail("attribute " + key + " without quotes");
    const char quote = mText[mPos++];
    std::string value;
    for (;;)
    {
      if (mPos >= mText.size())
        return fail("unterminated attribute " + key);
      const char c = mText[mPos];
      if (c == quote)
        break;
      if (c == '<')
        return fail("'<' inside attribute " + key);
      if (c == '&')
      {
        if (!reference(value))
          return false;
        continue;
      }
      value += c;
      ++mPos;
    }
    ++mPos;
    if (element.find(key))
      return fail("attribute " + key + " given twice");
    element.attributes.emplace_back(std::move(key), std::move(value));
    return true;
  }

  bool element(XmlElement& out, int depth)
  {
    if (depth > mMaxDepth)
      return fail("elements nested deeper than " + std::to_string(mMaxDepth));
    ++mPos; // '<'
    if (!name(out.name))
      return false;
    for (;;)
    {
      const auto before = mPos;
      skipSpace();
      if (at("/>"))
      {
        mPos += 2;
        return true;
      }
      if (at('>'))
      {
        ++mPos;
        break;
      }
      if (mPos == before)
        return fail("expected an attribute or the end of <" + out.name + ">");
      if (!attribute(out))
        return false;
    }
    return content(out, depth);
  }

  bool content(XmlElement& out, int depth)
  {
    for (;;)
    {
      if (mPos >= mText.size())
        return fail("<" + out.name + "> is not closed");
      if (at("</"))
      {
        mPos += 2;
        std::string closing;
        if (!name(closing))
          return false;
        if (closing != out.name)
          return fail("</" + closing + "> closes <" + out.name + ">");
        skipSpace();
        if (!at('>'))
          return fail("bad closing tag");
        ++mPos;
        return true;
      }
      if (at("<!--"))
      {
        if (!skipPast("-->", "comment"))
          return false;
      }
      else if (at("<![CDATA["))
      {
        if (!skipPast("]]>", "CDATA section"))
          return false;
      }
      else if (at("<?"))
      {
        if (!skipPast("?>", "processing instruction"))
          return false;
      }
      else if (at("<!"))
        return fail("declaration inside an element");
      else if (at('<'))
      {
        out.children.emplace_back();
        if (!element(out.children.back(), depth + 1))
          return false;
      }
      else
      {
        // Character data: no element we read has text, so it is skipped.
        const auto next = mText.find('<', mPos);
        mPos = next == std::string_view::npos ? mText.size() : next;
      }
    }
  }

  std::string_view mText;
  std::size_t mPos = 0;
  int mMaxDepth;
  std::string& mError;
};

} // namespace

bool parseXml(std::string_view text, int maxDepth, XmlElement& root, std::string& error)
{
  root = {};
  return Reader(text, maxDepth, error).document(root);
}

} // namespace plug::graphics::svg

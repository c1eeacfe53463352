// Anything outside the subset the reader knows, malformed text and oversized or too deeply
// nested documents are refused with a message, never drawn half-right.
#include "graphics/svg/SvgDocument.h"

#include <gtest/gtest.h>

#include <cstdio>
#include <filesystem>
#include <fstream>
#include <string>

using namespace plug::graphics::svg;

namespace
{

std::string refusal(const std::string& text)
{
  std::string error;
  const auto document = parse(text, error);
  EXPECT_FALSE(document) << text;
  EXPECT_FALSE(error.empty()) << text;
  return error;
}

std::string svg(const std::string& body)
{
  return R"(<svg width="10" height="10">)" + body + "</svg>";
}

} // namespace

TEST(SvgRefusal, MarkupThatIsNotWellFormed)
{
  EXPECT_NE(refusal("").find("no root"), std::string::npos);
  EXPECT_NE(refusal(R"(<svg width="1" height="1">)").find("not closed"), std::string::npos);
  EXPECT_NE(refusal(svg("<g></rect>")).find("closes"), std::string::npos);
  EXPECT_NE(refusal(R"(<svg width=1 height="1"/>)").find("quotes"), std::string::npos);
  EXPECT_NE(refusal(R"(<svg width="1" width="2"/>)").find("twice"), std::string::npos);
  EXPECT_NE(refusal(svg("") + "<svg/>").find("after the root"), std::string::npos);
  EXPECT_NE(refusal(svg(R"(<rect fill="&bogus;"/>)")).find("entity"), std::string::npos);
  EXPECT_NE(refusal("<!DOCTYPE svg [<!ENTITY a \"b\">]><svg/>").find("document type"),
            std::string::npos);
  refusal(svg("<!-- never closed"));
  refusal(svg(R"(<rect width="1)"));
}

TEST(SvgRefusal, ElementsAndPropertiesOutsideTheSubset)
{
  EXPECT_NE(refusal("<html/>").find("not <svg>"), std::string::npos);
  EXPECT_NE(refusal(svg("<text>hello</text>")).find("<text>"), std::string::npos);
  EXPECT_NE(refusal(svg("<use href=\"#a\"/>")).find("<use>"), std::string::npos);
  EXPECT_NE(refusal(svg("<svg/>")).find("<svg>"), std::string::npos);
  EXPECT_NE(refusal(svg("<style>rect{fill:red}</style>")).find("<style>"), std::string::npos);
  EXPECT_NE(refusal(svg("<rect><circle r=\"1\"/></rect>")).find("inside"), std::string::npos);
  EXPECT_NE(refusal(svg(R"~(<rect fill="url(#g)"/>)~")).find("fill"), std::string::npos);
  EXPECT_NE(refusal(svg(R"(<rect fill="currentColor"/>)")).find("fill"), std::string::npos);
  EXPECT_NE(refusal(svg(R"(<rect style="stroke-dasharray: 4 2"/>)")).find("dasharray"),
            std::string::npos);
  EXPECT_NE(refusal(svg(R"~(<g clip-path="url(#c)"/>)~")).find("clip-path"), std::string::npos);
  EXPECT_NE(refusal(svg(R"~(<rect transform="perspective(2)"/>)~")).find("transform"),
            std::string::npos);
  EXPECT_NE(refusal(svg(R"~(<rect transform="scale(1e5) scale(1e5)"/>)~")).find("transform"),
            std::string::npos);
  EXPECT_NE(refusal(svg(R"(<rect x="50%"/>)")).find("length"), std::string::npos);
  EXPECT_NE(refusal(svg(R"(<rect width="-1" height="2"/>)")).find("negative"), std::string::npos);
  EXPECT_NE(refusal(svg(R"(<polygon points="1 2 3"/>)")).find("pairs"), std::string::npos);
  EXPECT_NE(refusal(svg(R"(<rect fill="#12"/>)")).find("fill"), std::string::npos);
  EXPECT_NE(refusal(svg(R"(<rect opacity="half"/>)")).find("opacity"), std::string::npos);
}

TEST(SvgRefusal, PicturesWithoutAUsableSize)
{
  EXPECT_NE(refusal("<svg/>").find("no size"), std::string::npos);
  EXPECT_NE(refusal(R"(<svg width="0" height="5"/>)").find("no size"), std::string::npos);
  EXPECT_NE(refusal(R"(<svg viewBox="0 0 0 5"/>)").find("no area"), std::string::npos);
  EXPECT_NE(refusal(R"(<svg viewBox="0 0 5"/>)").find("four numbers"), std::string::npos);
  EXPECT_NE(refusal(R"(<svg width="5" height="5" preserveAspectRatio="xMinYMin slice"/>)")
                .find("preserveAspectRatio"),
            std::string::npos);
}

TEST(SvgRefusal, DepthAndSizeLimits)
{
  std::string deep;
  for (int i = 0; i < kMaxDepth + 5; ++i)
    deep += "<g>";
  for (int i = 0; i < kMaxDepth + 5; ++i)
    deep += "</g>";
  EXPECT_NE(refusal(svg(deep)).find("deeper"), std::string::npos);

  // Far deeper than any stack would survive if the reader recursed without a limit.
  std::string abyss(200000 * 3, ' ');
  for (std::size_t i = 0; i < 200000; ++i)
    abyss.replace(i * 3, 3, "<g>");
  refusal(svg(abyss));

  std::string allowed;
  for (int i = 0; i < kMaxDepth - 2; ++i)
    allowed += "<g>";
  allowed += R"(<rect width="1" height="1"/>)";
  for (int i = 0; i < kMaxDepth - 2; ++i)
    allowed += "</g>";
  std::string error;
  EXPECT_TRUE(parse(svg(allowed), error)) << error;

  std::string many = R"(<path d="M0 0)";
  for (std::size_t i = 0; i <= kMaxCommands; ++i)
    many += "l1 1";
  EXPECT_NE(refusal(svg(many + "\"/>")).find("too many"), std::string::npos);
  EXPECT_NE(refusal(std::string(kMaxBytes + 1, ' ')).find("larger"), std::string::npos);
}

TEST(SvgRefusal, FilesThatCannotBeRead)
{
  std::string error;
  EXPECT_FALSE(loadFile("/nonexistent/lockup.svg", error));
  EXPECT_NE(error.find("cannot open"), std::string::npos);

  const auto path = std::filesystem::temp_directory_path() / "ostra-svg-test-bad.svg";
  std::ofstream(path) << "<svg width=\"4\" height=\"4\"><text/></svg>";
  EXPECT_FALSE(loadFile(path.string(), error));
  EXPECT_NE(error.find(path.string()), std::string::npos); // the message names the file
  std::ofstream(path) << "<svg width=\"4\" height=\"4\"><rect width=\"4\" height=\"4\"/></svg>";
  const auto good = loadFile(path.string(), error);
  ASSERT_TRUE(good) << error;
  EXPECT_EQ(good->shapes.size(), 1u);
  std::filesystem::remove(path);
}

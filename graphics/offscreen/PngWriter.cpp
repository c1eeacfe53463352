#include "graphics/offscreen/PngWriter.h"

#define STB_IMAGE_WRITE_IMPLEMENTATION
#define STB_IMAGE_WRITE_STATIC
#include <stb/stb_image_write.h>

#include <cstdio>
#include <filesystem>
#include <fstream>
#include <vector>

namespace plug::graphics
{

namespace
{

void append(void* context, void* data, int size)
{
  auto* out = static_cast<std::vector<unsigned char>*>(context);
  const auto* bytes = static_cast<const unsigned char*>(data);
  out->insert(out->end(), bytes, bytes + size);
}

constexpr int kMaxSide = 1 << 15;

} // namespace

bool writePng(const std::string& path, int width, int height, const unsigned char* rgba,
              std::string& error)
{
  if (width <= 0 || height <= 0 || width > kMaxSide || height > kMaxSide || !rgba)
  {
    error = "cannot write " + path + ": no picture of " + std::to_string(width) + " x " +
            std::to_string(height) + " pixels";
    return false;
  }
  std::vector<unsigned char> png;
  if (!stbi_write_png_to_func(append, &png, width, height, 4, rgba, width * 4) || png.empty())
  {
    error = "cannot write " + path + ": the PNG encoder failed";
    return false;
  }
  const std::string temporary = path + ".partial";
  {
    std::ofstream file(temporary, std::ios::binary | std::ios::trunc);
    file.write(reinterpret_cast<const char*>(png.data()), static_cast<std::streamsize>(png.size()));
    if (!file.flush())
    {
      error = "cannot write " + path;
      std::error_code ignored;
      std::filesystem::remove(temporary, ignored);
      return false;
    }
  }
  std::error_code ec;
  std::filesystem::rename(temporary, path, ec);
  if (ec)
  {
    error = "cannot write " + path + ": " + ec.message();
    std::filesystem::remove(temporary, ec);
    return false;
  }
  return true;
}

} // namespace plug::graphics

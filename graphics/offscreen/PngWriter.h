#pragma once

#include <string>

namespace plug::graphics
{

/** Writes width × height pixels of straight RGBA, top row first, as a PNG file. The file is
 *  written beside the target and renamed over it, so a reader never sees half a picture.
 *  False with the reason when the size is unusable or the file cannot be written. */
bool writePng(const std::string& path, int width, int height, const unsigned char* rgba,
              std::string& error);

} // namespace plug::graphics

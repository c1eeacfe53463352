#pragma once

#include <cstdlib>
#include <filesystem>
#include <stdexcept>
#include <string>

namespace corvana::updates::test {

// A fresh folder under the system's temporary folder, removed with its contents.
struct TempFolder {
  std::filesystem::path path = [] {
    std::string pattern = (std::filesystem::temp_directory_path() / "ostra-updates-XXXXXX").string();
    if (::mkdtemp(pattern.data()) == nullptr)
      throw std::runtime_error("mkdtemp");
    return pattern;
  }();
  ~TempFolder() {
    std::error_code ignored;
    std::filesystem::remove_all(path, ignored);
  }
};

} // namespace corvana::updates::test

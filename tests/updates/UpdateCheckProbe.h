#pragma once

#include "updates/UpdateCheck.h"

namespace corvana::updates
{

/** Reaches the check's private file and feed rules for tests and fuzzing. */
class UpdateCheckProbe
{
public:
  using Record = UpdateCheck::Record;

  static std::optional<Notice> noticeFrom(const UpdateCheck& check, const Record& record)
  {
    return check.noticeFrom(record);
  }
  static Record readRecord(const UpdateCheck& check) { return check.readRecord(); }
  static bool writeRecord(const UpdateCheck& check, const Record& record)
  {
    return check.writeRecord(record);
  }
  static std::string recordText(const Record& record) { return UpdateCheck::recordText(record); }
  static Record parseRecord(std::string_view text) { return UpdateCheck::parseRecord(text); }
  static std::optional<std::string> readFile(const std::filesystem::path& path)
  {
    return UpdateCheck::readFile(path);
  }
  static bool writeFile(const std::filesystem::path& path, std::string_view text)
  {
    return UpdateCheck::writeFile(path, text);
  }
};

} // namespace corvana::updates

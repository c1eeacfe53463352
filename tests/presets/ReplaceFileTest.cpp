#include "TempFolder.h"
#include "presets/Files.h"

#include <gtest/gtest.h>

#include <csignal>
#include <sys/resource.h>
#include <sys/stat.h>
#include <unistd.h>

using corvana::files::replaceFile;
using ostra::test::readText;
using ostra::test::writeText;

namespace
{

// A target file "x.otdpreset" holding "old preset" in a temporary folder.
class ReplaceFile : public ::testing::Test
{
protected:
  ostra::test::TempFolder temp;
  std::filesystem::path target = temp.path() / "x.otdpreset";
  std::filesystem::path partial = temp.path() / "x.otdpreset.partial";

  void SetUp() override { writeText(target, "old preset"); }

  // replaceFile in a child prepared by `setup`: 0 on success, 1 on a failure with the right error.
  template <typename Setup>
  int replaceInChild(const std::string& contents, Setup setup)
  {
    return ostra::test::runInChild(
        [&]
        {
          setup();
          std::string error;
          return replaceFile(target, contents, error)
                     ? 0
                     : (error == "could not write " + target.string() ? 1 : 2);
        });
  }

  // The old file is untouched and nothing was left beside it.
  void expectOldFileOnly()
  {
    EXPECT_EQ(readText(target), "old preset");
    EXPECT_EQ(std::distance(std::filesystem::directory_iterator(temp.path()), {}), 1);
  }
};

} // namespace

TEST_F(ReplaceFile, StaleOrPlantedPartialFilesDoNotLeak)
{
  // A leftover from an interrupted write is simply reused.
  writeText(partial, "stale leftover that is longer than the new contents");
  std::string error;
  ASSERT_TRUE(replaceFile(target, "new", error));
  EXPECT_EQ(readText(target), "new");

  // A symbolic link in its place must not redirect the write into another file.
  const auto victim = temp.path() / "victim.txt";
  writeText(victim, "precious");
  std::filesystem::create_symlink(victim, partial);
  EXPECT_FALSE(replaceFile(target, "evil", error));
  EXPECT_EQ(readText(victim) + "|" + readText(target), "precious|new");
  EXPECT_FALSE(std::filesystem::exists(std::filesystem::symlink_status(partial)));
  EXPECT_FALSE(replaceFile({}, "contents", error));

  // A FIFO in its place would block an ordinary open for writing forever.
  ASSERT_EQ(::mkfifo(partial.c_str(), 0600), 0);
  EXPECT_EQ(replaceInChild("fifo", [] {}), 1);
  EXPECT_EQ(readText(target), "new");
}

TEST_F(ReplaceFile, FailedWritesKeepTheOldFileAndLeaveNoPartialFile)
{
  // A full disk: writes past the limit fail with EFBIG instead of killing the process.
  const std::string big(64 * 1024, 'z');
  EXPECT_EQ(replaceInChild(big,
                           []
                           {
                             std::signal(SIGXFSZ, SIG_IGN);
                             rlimit limit{4096, 4096};
                             ::setrlimit(RLIMIT_FSIZE, &limit);
                           }),
            1);
  expectOldFileOnly();

  // A read-only folder; the superuser ignores permissions, so the writer drops to nobody.
  ::chmod(temp.path().c_str(), 0555);
  const int verdict =
      replaceInChild("new",
                     []
                     {
                       if (::geteuid() == 0 && (::setgid(65534) != 0 || ::setuid(65534) != 0))
                         ::_exit(3);
                     });
  ::chmod(temp.path().c_str(), 0755);
  EXPECT_EQ(verdict, 1);
  expectOldFileOnly();

  // A non-empty folder at the target makes the rename fail after the write succeeded.
  std::filesystem::remove(target);
  std::filesystem::create_directory(target);
  writeText(target / "inside", "kept");
  EXPECT_EQ(replaceInChild("contents", [] {}), 1);
  EXPECT_EQ(readText(target / "inside"), "kept");
  EXPECT_EQ(std::distance(std::filesystem::directory_iterator(temp.path()), {}), 1);

  // The same contents go through without the limits, so the limits were the cause.
  std::filesystem::remove_all(target);
  EXPECT_EQ(replaceInChild(big, [] {}), 0);
  EXPECT_EQ(readText(target), big);
}

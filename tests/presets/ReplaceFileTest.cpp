#include "presets/Files.h"
#include "ChildProcess.h"
#include "TempFolder.h"

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

/** replaceFile in a child prepared by `setup`: 0 on success, 1 on a failure with the right error. */
template <typename Setup>
int replaceInChild(const std::filesystem::path& path, const std::string& contents, Setup setup)
{
  return ostra::test::runInChild([&] {
    setup();
    std::string error;
    const bool ok = replaceFile(path, contents, error);
    return ok ? 0 : (error == "could not write " + path.string() ? 1 : 2);
  });
}

void expectOnlyTarget(const std::filesystem::path& folder, const std::filesystem::path& target)
{
  for (const auto& entry : std::filesystem::directory_iterator(folder))
    EXPECT_EQ(entry.path(), target) << "left behind: " << entry.path();
}

} // namespace

TEST(ReplaceFile, CreatesFoldersAndReplacesContents)
{
  ostra::test::TempFolder folder;
  const auto target = folder.path() / "a" / "b" / "x.otdpreset";
  std::string error;
  ASSERT_TRUE(replaceFile(target, "first", error)) << error;
  EXPECT_EQ(readText(target), "first");
  ASSERT_TRUE(replaceFile(target, std::string("sec\0nd", 6), error));
  EXPECT_EQ(readText(target), std::string("sec\0nd", 6));
  ASSERT_TRUE(replaceFile(target, "", error));
  EXPECT_EQ(readText(target), "");
  expectOnlyTarget(target.parent_path(), target);
}

TEST(ReplaceFile, StaleOrPlantedPartialFilesDoNotLeak)
{
  ostra::test::TempFolder folder;
  const auto target = folder.path() / "x.otdpreset";
  auto partial = target;
  partial += ".partial";

  // A leftover from an interrupted write is simply reused.
  writeText(partial, "stale leftover that is longer than the new contents");
  std::string error;
  ASSERT_TRUE(replaceFile(target, "new", error));
  EXPECT_EQ(readText(target), "new");

  // A symbolic link in its place must not redirect the write into another file.
  const auto victim = folder.path() / "victim.txt";
  writeText(victim, "precious");
  std::filesystem::create_symlink(victim, partial);
  EXPECT_FALSE(replaceFile(target, "evil", error));
  EXPECT_EQ(readText(victim), "precious");
  EXPECT_EQ(readText(target), "new");
  EXPECT_FALSE(std::filesystem::exists(std::filesystem::symlink_status(partial)));

  // A FIFO in its place would block an ordinary open for writing forever.
  ASSERT_EQ(::mkfifo(partial.c_str(), 0600), 0);
  EXPECT_EQ(replaceInChild(target, "fifo", [] {}), 1);
  EXPECT_EQ(readText(target), "new");
}

TEST(ReplaceFile, FailedRenameKeepsTheOldTargetAndRemovesThePartialFile)
{
  ostra::test::TempFolder folder;
  // A non-empty folder at the target makes the rename fail after the write succeeded.
  const auto target = folder.path() / "x.otdpreset";
  std::filesystem::create_directory(target);
  writeText(target / "inside", "kept");
  std::string error;
  EXPECT_FALSE(replaceFile(target, "contents", error));
  EXPECT_EQ(error, "could not write " + target.string());
  EXPECT_EQ(readText(target / "inside"), "kept");
  expectOnlyTarget(folder.path(), target);

  EXPECT_FALSE(replaceFile({}, "contents", error));
  EXPECT_EQ(error, "could not write ");
}

TEST(ReplaceFile, FullDiskKeepsTheOldFileAndLeavesNoPartialFile)
{
  ostra::test::TempFolder folder;
  const auto target = folder.path() / "x.otdpreset";
  writeText(target, "old preset");
  const std::string big(64 * 1024, 'z');
  const int verdict = replaceInChild(target, big, [] {
    // Writes past the limit fail with EFBIG instead of killing the process.
    std::signal(SIGXFSZ, SIG_IGN);
    rlimit limit{4096, 4096};
    ::setrlimit(RLIMIT_FSIZE, &limit);
  });
  EXPECT_EQ(verdict, 1);
  EXPECT_EQ(readText(target), "old preset");
  expectOnlyTarget(folder.path(), target);

  // The same contents go through without the limit, so the limit was the cause.
  EXPECT_EQ(replaceInChild(target, big, [] {}), 0);
  EXPECT_EQ(readText(target), big);
}

TEST(ReplaceFile, ReadOnlyFolderKeepsTheOldFileAndLeavesNoPartialFile)
{
  ostra::test::TempFolder folder;
  const auto dir = folder.path() / "ro";
  std::filesystem::create_directory(dir);
  const auto target = dir / "x.otdpreset";
  writeText(target, "old preset");
  ::chmod(folder.path().c_str(), 0755);
  ::chmod(target.c_str(), 0644);
  ::chmod(dir.c_str(), 0555);
  // The superuser ignores permissions, so the writer drops to an unprivileged user.
  const int verdict = replaceInChild(target, "new", [] {
    if (::geteuid() == 0 && (::setgid(65534) != 0 || ::setuid(65534) != 0))
      ::_exit(3);
  });
  ::chmod(dir.c_str(), 0755);
  EXPECT_EQ(verdict, 1);
  EXPECT_EQ(readText(target), "old preset");
  expectOnlyTarget(dir, target);
}

// Destinations that can't be written: the call fails with the writer's
// message and an existing destination keeps every byte.  (A missing folder,
// a directory and /dev/null are covered by the entry's own tests.)
#include <grp.h>
#include <gtest/gtest.h>
#include <pwd.h>
#include <signal.h>
#include <sys/resource.h>
#include <sys/stat.h>
#include <sys/wait.h>
#include <unistd.h>

#include <atomic>
#include <cstring>
#include <filesystem>

#include "robustness_support.h"
#include "torvik32c/3dsload.h"
#include "torvik32c/bmf.h"
#include "torvik32c/errors.h"

namespace robustness {
namespace {

using testing_support::ReadFile;
using testing_support::TempDir;
using testing_support::WriteFile;

// Runs the C entry in a child process set up by `prepare` and returns what
// the call gave; the child can't disturb the test process's limits or ids.
EntryCall CallEntryInChild(const std::string& src, const std::string& dest, void (*prepare)()) {
  int channel[2];
  if (pipe(channel) != 0) return {-1, "pipe failed"};
  const pid_t child = fork();
  if (child == 0) {
    close(channel[0]);
    prepare();
    const EntryCall call = CallEntry(src, dest);
    const std::string report = std::to_string(call.result) + "\n" + call.message;
    const ssize_t written = write(channel[1], report.data(), report.size());
    _exit(written == static_cast<ssize_t>(report.size()) ? 0 : 1);
  }
  close(channel[1]);
  std::string report;
  char buffer[512];
  for (ssize_t got; (got = read(channel[0], buffer, sizeof buffer)) > 0;)
    report.append(buffer, got);
  close(channel[0]);
  int status = 0;
  waitpid(child, &status, 0);
  if (child < 0 || !WIFEXITED(status) || WEXITSTATUS(status) != 0 || report.empty())
    return {-1, "the child failed: " + report};
  const std::size_t newline = report.find('\n');
  return {std::stoi(report.substr(0, newline)), report.substr(newline + 1)};
}

std::size_t FilesIn(const std::filesystem::path& dir) {
  std::size_t count = 0;
  for ([[maybe_unused]] const auto& entry : std::filesystem::directory_iterator(dir)) ++count;
  return count;
}

class FailedWrite : public ::testing::Test {
 protected:
  void SetUp() override {
    WriteFile(src, ReadFile(TORVIK_SAMPLE));
    WriteFile(dest, previous);
    ASSERT_EQ(chmod(dir.path().c_str(), 0755), 0);
  }

  TempDir dir;
  std::string src = dir.file("sample.3ds");
  std::string dest = dir.file("sample.bmf");
  const Bytes previous = Bytes(3000, 0x5A);
};

// The file size limit lets the temporary file take 4 KiB of the sample's
// much longer BMF; the next write fails with EFBIG instead of a signal.
TEST_F(FailedWrite, WriteThatFailsPartWayKeepsTheOldFile) {
  const EntryCall call = CallEntryInChild(src, dest, [] {
    signal(SIGXFSZ, SIG_IGN);
    const rlimit limit{4096, 4096};
    setrlimit(RLIMIT_FSIZE, &limit);
  });
  EXPECT_EQ(call.result, 1);
  EXPECT_EQ(call.message, "Error writing " + dest);
  EXPECT_EQ(ReadFile(dest), previous);
  EXPECT_EQ(FilesIn(dir.path()), 2u);  // no temporary file left
}

// A raised cancellation flag stops the conversion and the writer; nothing is
// written and no temporary file stays.
TEST_F(FailedWrite, CancelledConversionWritesNothing) {
  std::atomic<bool> cancel{true};
  EXPECT_THROW(torvik::convert_to_outgl(torvik::ReadSceneFile(src), nullptr, {.cancel = &cancel}),
               torvik::Cancelled);
  const torvik::Model model = torvik::convert_to_outgl(torvik::ReadSceneFile(src));
  EXPECT_THROW(torvik::OutGLBMF(model, dest, nullptr, &cancel), torvik::Cancelled);
  EXPECT_EQ(ReadFile(dest), previous);
  EXPECT_EQ(FilesIn(dir.path()), 2u);
  cancel = false;
  torvik::OutGLBMF(model, dest, nullptr, &cancel);
  EXPECT_EQ(ReadFile(dest), torvik::OutGLBMFBytes(model));
}

// A failed read's 4-byte file is written the same way.
TEST_F(FailedWrite, EmptyBmfOfAFailedReadThatCantBeWrittenReportsTheWrite) {
  const EntryCall call = CallEntryInChild(dir.file("missing.3ds"), dest, [] {
    signal(SIGXFSZ, SIG_IGN);
    const rlimit limit{2, 2};
    setrlimit(RLIMIT_FSIZE, &limit);
  });
  EXPECT_EQ(call.result, 1);
  EXPECT_EQ(call.message, "Error writing " + dest);
  EXPECT_EQ(ReadFile(dest), previous);
  EXPECT_EQ(FilesIn(dir.path()), 2u);
}

// Written in place: /dev/full stays the device it was.
TEST_F(FailedWrite, DevFullReportsTheWrite) {
  struct stat before;
  ASSERT_EQ(stat("/dev/full", &before), 0);
  const EntryCall call = CallEntry(src, "/dev/full");
  EXPECT_EQ(call.result, 1);
  EXPECT_EQ(call.message, "Error writing /dev/full");
  struct stat after;
  ASSERT_EQ(stat("/dev/full", &after), 0);
  EXPECT_TRUE(S_ISCHR(after.st_mode));
  EXPECT_EQ(after.st_rdev, before.st_rdev);
  EXPECT_EQ(after.st_ino, before.st_ino);
}

// Permission bits don't stop root, so as root the call runs in a child that
// has become an unprivileged user.
TEST_F(FailedWrite, ReadOnlyFolderKeepsTheOldFile) {
  ASSERT_EQ(chmod(src.c_str(), 0644), 0);
  ASSERT_EQ(chmod(dest.c_str(), 0644), 0);
  ASSERT_EQ(chmod(dir.path().c_str(), 0555), 0);
  EntryCall call;
  if (geteuid() != 0) {
    call = CallEntry(src, dest);
  } else {
    const passwd* nobody = getpwnam("nobody");
    if (nobody == nullptr) GTEST_SKIP() << "running as root and there is no user 'nobody'";
    static uid_t uid;
    static gid_t gid;
    uid = nobody->pw_uid;
    gid = nobody->pw_gid;
    call = CallEntryInChild(src, dest, [] {
      if (setgroups(0, nullptr) != 0 || setgid(gid) != 0 || setuid(uid) != 0) _exit(3);
    });
    if (call.result == -1) GTEST_SKIP() << "running as root and can't become 'nobody'";
  }
  EXPECT_EQ(call.result, 1);
  EXPECT_EQ(call.message, "Can't open " + dest + " for writing");
  EXPECT_EQ(ReadFile(dest), previous);
  EXPECT_EQ(FilesIn(dir.path()), 2u);
}

}  // namespace
}  // namespace robustness

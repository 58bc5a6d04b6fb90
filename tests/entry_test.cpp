// The C entry: results, messages and what is left at the destination.
#include <gtest/gtest.h>
#include <sys/stat.h>
#include <unistd.h>

#include <cstring>
#include <filesystem>

#include "shapes.h"
#include "test_support.h"
#include "torvik32c/torvik32c.h"

namespace {

using testing_support::ReadFile;
using testing_support::TempDir;
using testing_support::WriteFile;
using Bytes = std::vector<std::uint8_t>;

const Bytes kEmptyBmf = {0, 0, 0, 0};

struct Call {
  int result;
  std::string message;
};

Call Convert(const std::string& src, const std::string& dest) {
  char buffer[4096];
  std::strcpy(buffer, "untouched");
  const int result =
      do3dsparse(const_cast<char*>(src.c_str()), const_cast<char*>(dest.c_str()), buffer);
  return {result, buffer};
}

Bytes TorusFile(const std::string& material) {
  t3ds::Mesh torus = t3ds::Torus("Torus", 2, 0.5f, 12, 8);
  t3ds::AssignAll(torus, material);
  return t3ds::BuildFile(
      {{material, t3ds::Color{1, 0, 0}, t3ds::Color{1, 0, 0}, t3ds::Color{1, 1, 1}, {}, false, ""}},
      {torus});
}

class Entry : public ::testing::Test {
 protected:
  TempDir dir;
  std::string good = dir.file("good.3ds");
  void SetUp() override { WriteFile(good, TorusFile("Red")); }
};

TEST_F(Entry, ValidFileConvertsAndLeavesTheBufferAlone) {
  const Call call = Convert(good, dir.file("good.bmf"));
  EXPECT_EQ(call.result, 0);
  EXPECT_EQ(call.message, "untouched");
  EXPECT_EQ(ReadFile(dir.file("good.bmf")), testing_support::Convert(TorusFile("Red")));
}

TEST_F(Entry, UnreadableSourcesGiveCantParseAndAnEmptyBmf) {
  WriteFile(dir.file("empty.3ds"), {});
  WriteFile(dir.file("foreign.3ds"), {0x3D, 0x3D, 6, 0, 0, 0});
  Bytes cut = TorusFile("Red");
  cut.resize(cut.size() / 2);
  WriteFile(dir.file("cut.3ds"), cut);
  for (const std::string name : {"missing.3ds", "empty.3ds", "foreign.3ds", "cut.3ds"}) {
    const std::string src = dir.file(name);
    const Call call = Convert(src, dir.file("out.bmf"));
    EXPECT_EQ(call.result, 1) << name;
    EXPECT_EQ(call.message, "Can't parse " + src + "\n");
    EXPECT_EQ(ReadFile(dir.file("out.bmf")), kEmptyBmf) << name;
  }
  // A directory as the source reads as nothing.
  EXPECT_EQ(Convert(dir.path().string(), dir.file("out.bmf")).message,
            "Can't parse " + dir.path().string() + "\n");
}

TEST_F(Entry, EveryCallStartsFromAnEmptyModel) {
  WriteFile(dir.file("blue.3ds"), TorusFile("Blue"));
  ASSERT_EQ(Convert(good, dir.file("1.bmf")).result, 0);
  ASSERT_EQ(Convert(dir.file("blue.3ds"), dir.file("2.bmf")).result, 0);
  EXPECT_EQ(ReadFile(dir.file("2.bmf")), testing_support::Convert(TorusFile("Blue")));
  Convert(dir.file("missing.3ds"), dir.file("3.bmf"));
  EXPECT_EQ(ReadFile(dir.file("3.bmf")), kEmptyBmf);
}

TEST_F(Entry, UnwritableDestinationFailsAndKeepsWhatWasThere) {
  const std::string missing_dir = dir.file("no/such/dir/out.bmf");
  Call call = Convert(good, missing_dir);
  EXPECT_EQ(call.result, 1);
  EXPECT_EQ(call.message, "Can't open " + missing_dir + " for writing");

  // A failed read whose empty BMF can't be written reports the write.
  call = Convert(dir.file("missing.3ds"), missing_dir);
  EXPECT_EQ(call.message, "Can't open " + missing_dir + " for writing");

  std::filesystem::create_directory(dir.file("sub"));
  call = Convert(good, dir.file("sub"));
  EXPECT_EQ(call.result, 1);
  EXPECT_EQ(call.message, "Can't open " + dir.file("sub") + " for writing");
  EXPECT_TRUE(std::filesystem::is_directory(dir.file("sub")));
}

TEST_F(Entry, DestinationIsReplacedWholeThroughLinksWithItsMode) {
  const std::string target = dir.file("target.bmf");
  WriteFile(target, Bytes(5000, 0xAB));
  ASSERT_EQ(chmod(target.c_str(), 0640), 0);
  const std::string link = dir.file("link.bmf");
  std::filesystem::create_symlink("target.bmf", link);
  ASSERT_EQ(Convert(good, link).result, 0);
  EXPECT_TRUE(std::filesystem::is_symlink(link));
  EXPECT_EQ(ReadFile(target), testing_support::Convert(TorusFile("Red")));
  struct stat st;
  ASSERT_EQ(stat(target.c_str(), &st), 0);
  EXPECT_EQ(st.st_mode & 0777, 0640u);
  // Nothing but the two names is left in the folder.
  std::size_t entries = 0;
  for ([[maybe_unused]] const auto& entry : std::filesystem::directory_iterator(dir.path()))
    ++entries;
  EXPECT_EQ(entries, 3u);  // good.3ds, target.bmf, link.bmf
}

// A destination that is the source under any name is refused before
// anything is read or written: the source stays as it was.
TEST_F(Entry, DestinationThatIsTheSourceIsRefused) {
  std::filesystem::create_directory(dir.file("sub"));
  std::filesystem::create_symlink("good.3ds", dir.file("link.3ds"));
  std::filesystem::create_hard_link(good, dir.file("hard.3ds"));
  for (const std::string& dest : {good, dir.file("sub/../good.3ds"), dir.file("./good.3ds"),
                                  dir.file("link.3ds"), dir.file("hard.3ds")}) {
    SCOPED_TRACE(dest);
    const Call call = Convert(good, dest);
    EXPECT_EQ(call.result, 1);
    EXPECT_EQ(call.message, "Output is the source: " + dest);
    EXPECT_EQ(ReadFile(good), TorusFile("Red"));
  }
  // The message fits the buffer do3dsparse's callers size for the others.
  EXPECT_LE(std::string("Output is the source: ").size(), 25u);
}

TEST_F(Entry, DevNullIsWrittenInPlace) {
  EXPECT_EQ(Convert(good, "/dev/null").result, 0);
  struct stat st;
  ASSERT_EQ(stat("/dev/null", &st), 0);
  EXPECT_TRUE(S_ISCHR(st.st_mode));
}

TEST_F(Entry, BoundedVariantNeverWritesPastItsBuffer) {
  const std::string src = dir.file("missing.3ds");
  char buffer[16];
  std::memset(buffer, 'x', sizeof buffer);
  EXPECT_EQ(do3dsparse_ex(src.c_str(), dir.file("o.bmf").c_str(), buffer, 10), 1);
  EXPECT_EQ(std::string(buffer), "Can't par");
  EXPECT_EQ(buffer[10], 'x');
  EXPECT_EQ(do3dsparse_ex(src.c_str(), dir.file("o.bmf").c_str(), buffer, 0), 1);
  EXPECT_EQ(do3dsparse_ex(good.c_str(), dir.file("o.bmf").c_str(), nullptr, 0), 0);
}

}  // namespace

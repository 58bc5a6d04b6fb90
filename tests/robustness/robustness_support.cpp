#include "robustness_support.h"

#include <gtest/gtest.h>

#include <cstring>
#include <filesystem>

#include "seed_files.h"
#include "shapes.h"
#include "torvik32c/bmf_reader.h"
#include "torvik32c/errors.h"
#include "torvik32c/torvik32c.h"

namespace robustness {

using testing_support::ReadFile;
using testing_support::WriteFile;

std::vector<NamedInput> SmallInputs() {
  std::vector<NamedInput> inputs;
  inputs.push_back({"sample.3ds", ReadFile(TORVIK_SAMPLE)});
  for (t3ds::SeedFile& seed : t3ds::SeedFiles())
    inputs.push_back({seed.name, std::move(seed.bytes)});
  for (const std::string& path : testing_support::CorpusFiles())
    inputs.push_back({std::filesystem::path(path).filename().string(), ReadFile(path)});
  return inputs;
}

NamedInput LargeInput() {
  t3ds::Mesh torus = t3ds::Torus("Ring", 3, 1, 96, 48);
  t3ds::AssignAll(torus, "Brass");
  t3ds::Mesh box = t3ds::Box("Box", {-1, -1, -1}, {1, 1, 1});
  return {"large.3ds",
          t3ds::BuildFile({{"Brass", t3ds::Color{0.2f, 0.1f, 0}, t3ds::Color{0.8f, 0.6f, 0.2f},
                            t3ds::Color{1, 1, 1}, 20, true, "brass.png"}},
                          {torus, box})};
}

EntryCall CallEntry(const std::string& src, const std::string& dest) {
  char buffer[4096];
  std::strcpy(buffer, "untouched");
  const int result =
      do3dsparse(const_cast<char*>(src.c_str()), const_cast<char*>(dest.c_str()), buffer);
  return {result, buffer};
}

std::optional<Bytes> ConvertInMemory(std::span<const std::uint8_t> bytes) {
  torvik::H3dsScene scene;
  try {
    scene = torvik::HRead3dsScene(bytes);
  } catch (const torvik::ReadError& error) {
    EXPECT_NE(std::string(error.what()), "");
    return std::nullopt;
  }
  Bytes bmf;
  try {
    bmf = torvik::OutGLBMFBytes(torvik::convert_to_outgl(scene));
  } catch (const std::exception& error) {
    ADD_FAILURE() << "a scene the reader accepted failed to convert: " << error.what();
    return std::nullopt;
  }
  for (const torvik::BmfViolation& violation : torvik::ValidateBmf(torvik::ReadBmf(bmf)))
    ADD_FAILURE() << torvik::DescribeViolation(violation);
  return bmf;
}

DamageChecker::DamageChecker(std::size_t entry_every)
    : src_(dir_.file("damaged.3ds")), dest_(dir_.file("damaged.bmf")), entry_every_(entry_every) {}

bool DamageChecker::Check(std::span<const std::uint8_t> bytes) {
  const std::optional<Bytes> bmf = ConvertInMemory(bytes);
  ++(bmf ? converted_ : failed_);
  if (calls_++ % entry_every_ != 0) return bmf.has_value();
  WriteFile(src_, Bytes(bytes.begin(), bytes.end()));
  WriteFile(dest_, {'s', 't', 'a', 'l', 'e'});
  const EntryCall call = CallEntry(src_, dest_);
  if (bmf) {
    EXPECT_EQ(call.result, 0);
    EXPECT_EQ(call.message, "untouched");
    EXPECT_EQ(ReadFile(dest_), *bmf);
  } else {
    EXPECT_EQ(call.result, 1);
    EXPECT_EQ(call.message, "Can't parse " + src_ + "\n");
    EXPECT_EQ(ReadFile(dest_), kEmptyBmf);
  }
  return bmf.has_value();
}

}  // namespace robustness

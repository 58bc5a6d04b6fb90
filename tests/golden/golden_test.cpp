// Golden outputs: each synthetic preset and the shipped sample go through the
// C entry, file to file, and the FNV-1a hash of the BMF bytes must equal the
// one recorded here.  Any change of output fails.  A change that is meant
// records the new hashes, and its commit says why the bytes changed.
//
// The input's hash is checked first, so that a change in the generator (or
// in the maths library it uses for the tori) is not taken for a change in the
// converter.
#include <gtest/gtest.h>

#include <cinttypes>
#include <cstdint>
#include <cstdio>
#include <filesystem>
#include <ostream>
#include <string>
#include <vector>

#include "presets.h"
#include "test_support.h"
#include "torvik32c/model_conversion.h"
#include "torvik32c/torvik32c.h"

namespace {

using testing_support::ReadFile;
using testing_support::TempDir;
using testing_support::WriteFile;

std::uint64_t Fnv1a64(const std::vector<std::uint8_t>& bytes) {
  std::uint64_t hash = 14695981039346656037ull;
  for (const std::uint8_t b : bytes) {
    hash ^= b;
    hash *= 1099511628211ull;
  }
  return hash;
}

std::string Hex(std::uint64_t value) {
  char text[24];
  std::snprintf(text, sizeof text, "0x%016" PRIx64, value);
  return text;
}

struct Golden {
  const char* name;  // a preset, or "sample" for samples/sample.3ds
  std::uint64_t input_hash;
  std::size_t output_size;
  std::uint64_t output_hash;
};

// Recorded from the converter as it was before any speed work (commit 5492fdc);
// the sample's after its ring was turned to face outwards.
const Golden kGoldens[] = {
    {"sample", 0x4150e515e443decaull, 25737, 0x52e005c038f30c12ull},
    {"small", 0x1b5275aa218abf4aull, 26469, 0x3d24d19cf0bf5729ull},
    {"medium", 0x0b8d6d156bd67954ull, 4700488, 0x5eac375065a78b84ull},
    {"large", 0x883843e611b470c1ull, 47196684, 0x2d76c8ea27ff26c7ull},
    {"manymat", 0x4a096be653dab681ull, 24862504, 0x63f897cc71333585ull},
    {"bigmat", 0x9d7960d018ffeda0ull, 91203863, 0x6b455dd4ffed679full},
};

void PrintTo(const Golden& golden, std::ostream* out) { *out << golden.name; }

std::vector<std::uint8_t> Input(const std::string& name) {
  return name == "sample" ? ReadFile(TORVIK_SAMPLE) : t3ds::BuildPreset(name);
}

class GoldenOutput : public testing::TestWithParam<Golden> {};

TEST_P(GoldenOutput, BmfBytesAreUnchanged) {
  const Golden& golden = GetParam();
  TempDir dir;
  const std::string src = dir.file("in.3ds");
  const std::string dest = dir.file("out.bmf");
  {
    const std::vector<std::uint8_t> input = Input(golden.name);
    ASSERT_EQ(Hex(Fnv1a64(input)), Hex(golden.input_hash))
        << "the input changed, not the converter: the generator (or the maths library it "
           "uses) makes other bytes for '"
        << golden.name << "'";
    WriteFile(src, input);
  }
  char message[512] = "";
  ASSERT_EQ(do3dsparse_ex(src.c_str(), dest.c_str(), message, sizeof message), 0) << message;
  const std::vector<std::uint8_t> output = ReadFile(dest);
  EXPECT_EQ(output.size(), golden.output_size);
  EXPECT_EQ(Hex(Fnv1a64(output)), Hex(golden.output_hash))
      << "the BMF bytes of '" << golden.name << "' changed";
  if (std::string(golden.name) == "bigmat") {
    // One material with far more vertices than a block holds: it must come
    // out as several valid blocks.
    const testing_support::BmfFile bmf = testing_support::ParseBmf(output);
    EXPECT_GT(bmf.blocks.size(), 1u);
  }
}

INSTANTIATE_TEST_SUITE_P(Presets, GoldenOutput, testing::ValuesIn(kGoldens),
                         [](const testing::TestParamInfo<Golden>& info) {
                           return std::string(info.param.name);
                         });

// The scene glTF's bytes, recorded from the export as it was when it made
// every mesh's normals on its own (commit 79593c4).  3ds2bmf --gltf makes
// it after the BMF from the conversion's report, a front end without a BMF
// makes it alone: both must give these bytes, whatever the BMF's options.
struct GlbGolden {
  const char* name;  // a preset, "sample", or a file of the corpus
  std::size_t size;
  std::uint64_t hash;
};

const GlbGolden kGlbGoldens[] = {
    {"sample", 23976, 0x49300c8379672007ull},
    {"small", 19356, 0xcbe2c49d0b936172ull},
    {"medium", 3614824, 0x21b2d1bc55c5fe69ull},
    {"large", 36046296, 0x46dc91a9fad87ed5ull},
    {"instances", 20947524, 0x5fe5c3e63ebae1f8ull},
    {"CameraRollAnim.3ds", 3772, 0xc6d2435b0dab4f3cull},
    {"CameraRollAnimWithChildObject.3ds", 7688, 0x0364ce7c5de59c90ull},
    {"RotatingCube.3DS", 27944, 0xb5111f8f792794beull},
    {"TargetCameraAnim.3ds", 10644, 0x4eab99f749c285b5ull},
    {"cube_with_diffuse_texture.3DS", 2068, 0xdc162c39fbb15916ull},
    {"cube_with_specular_texture.3DS", 1996, 0x35cbded80d695332ull},
    {"cubes_with_alpha.3DS", 8708, 0x9ba56e06775742b3ull},
    {"fels.3ds", 15024, 0xaa0fef100a20dd29ull},
    {"test1.3ds", 15624, 0x4d4d4bf2d0a1cec3ull},
};

void PrintTo(const GlbGolden& golden, std::ostream* out) { *out << golden.name; }

class GoldenGlb : public testing::TestWithParam<GlbGolden> {};

TEST_P(GoldenGlb, SceneGltfBytesAreUnchangedWithOrWithoutTheBmf) {
  const GlbGolden& golden = GetParam();
  const std::string name = golden.name;
  TempDir dir;
  std::filesystem::path model = std::filesystem::path(TORVIK_CORPUS_DIR) / name;
  std::vector<std::uint8_t> input;
  if (name.find('.') != std::string::npos) {
    if (!std::filesystem::exists(model)) GTEST_SKIP() << "no corpus at " << TORVIK_CORPUS_DIR;
    input = ReadFile(model.string());
  } else {
    input = Input(name);
    model = dir.file(name + ".3ds");
    WriteFile(model.string(), input);
  }
  // The BMF's options that leave the glTF as it is, each alone.
  struct Variant {
    const char* what;
    torvik::ConversionSettings settings;
  };
  std::vector<Variant> variants(6);
  variants[0].what = "default";
  variants[1].what = "--smoothing-groups";
  variants[1].settings.smoothing_groups = true;
  variants[2].what = "--keyframer";
  variants[2].settings.keyframer = true;
  variants[3].what = "--keep-file-winding";
  variants[3].settings.keep_file_winding = true;
  variants[4].what = "--threads 1";
  variants[4].settings.threads = 1;
  variants[5].what = "--optimize";
  variants[5].settings.triangle_order = [](const torvik::BlockTriangles& block) {
    std::vector<std::uint32_t> reversed(block.corners.size() / 3);
    for (std::size_t t = 0; t < reversed.size(); ++t)
      reversed[t] = static_cast<std::uint32_t>(reversed.size() - 1 - t);
    return reversed;
  };
  // The largest model with the default options only.
  if (name == "large") variants.resize(1);
  for (Variant& variant : variants) {
    variant.settings.share_meshes_with_gltf = true;
    const torvik::ConversionReport report = torvik::ConvertModel(input, model, variant.settings);
    const std::vector<std::uint8_t> glb =
        torvik::ConvertSceneToGltf(input, model, variant.settings, {}, &report).glb;
    EXPECT_EQ(glb.size(), golden.size) << variant.what;
    EXPECT_EQ(Hex(Fnv1a64(glb)), Hex(golden.hash))
        << "the glTF of '" << name << "' after the BMF with " << variant.what << " changed";
  }
  const std::vector<std::uint8_t> alone =
      torvik::ConvertSceneToGltf(input, model, torvik::ConversionSettings{}).glb;
  EXPECT_EQ(Hex(Fnv1a64(alone)), Hex(golden.hash)) << "the glTF of '" << name << "' alone changed";
}

INSTANTIATE_TEST_SUITE_P(Scenes, GoldenGlb, testing::ValuesIn(kGlbGoldens),
                         [](const testing::TestParamInfo<GlbGolden>& info) {
                           std::string name = info.param.name;
                           for (char& c : name)
                             if (c == '.') c = '_';
                           return name;
                         });

}  // namespace

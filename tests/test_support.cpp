#include "test_support.h"

#include <sys/wait.h>

#include <algorithm>
#include <cstdio>
#include <cstring>
#include <fstream>
#include <random>
#include <stdexcept>

namespace testing_support {

namespace fs = std::filesystem;

TempDir::TempDir() {
  std::random_device random;
  for (;;) {
    path_ = fs::temp_directory_path() / ("torvik-test-" + std::to_string(random()));
    if (fs::create_directory(path_)) break;
  }
}

TempDir::~TempDir() {
  std::error_code ignored;
  fs::permissions(path_, fs::perms::owner_all, fs::perm_options::add, ignored);
  fs::remove_all(path_, ignored);
}

std::vector<std::uint8_t> ReadFile(const std::string& path) {
  std::ifstream in(path, std::ios::binary);
  if (!in) throw std::runtime_error("can't read " + path);
  return std::vector<std::uint8_t>(std::istreambuf_iterator<char>(in), {});
}

void WriteFile(const std::string& path, const std::vector<std::uint8_t>& bytes) {
  std::ofstream out(path, std::ios::binary);
  out.write(reinterpret_cast<const char*>(bytes.data()),
            static_cast<std::streamsize>(bytes.size()));
  if (!out) throw std::runtime_error("can't write " + path);
}

BmfFile ParseBmf(const std::vector<std::uint8_t>& bytes) {
  BmfFile file = torvik::ReadBmf(bytes);
  const std::vector<torvik::BmfViolation> violations = torvik::ValidateBmf(file);
  if (!violations.empty()) throw std::runtime_error(torvik::DescribeViolation(violations.front()));
  return file;
}

std::vector<std::string> TriangleRecords(const std::vector<torvik::BMF_UNVERTEX>& vertices,
                                         const std::vector<torvik::BMF_SURFACE>& triangles) {
  auto record = [&](std::size_t index) {
    return std::string(reinterpret_cast<const char*>(&vertices.at(index)), sizeof(vertices[0]));
  };
  std::vector<std::string> records;
  for (const torvik::BMF_SURFACE& t : triangles) {
    const std::string corners[3] = {record(t.p0), record(t.p1), record(t.p2)};
    std::string first;
    for (int r = 0; r < 3; ++r) {
      std::string rotated = corners[r] + corners[(r + 1) % 3] + corners[(r + 2) % 3];
      if (r == 0 || rotated < first) first = std::move(rotated);
    }
    records.push_back(std::move(first));
  }
  std::sort(records.begin(), records.end());
  return records;
}

torvik::Model ConvertToModel(const std::vector<std::uint8_t>& bytes3ds) {
  torvik::H3dsScene scene = torvik::HRead3dsScene(bytes3ds);
  return torvik::convert_to_outgl(scene);
}

std::vector<std::uint8_t> Convert(const std::vector<std::uint8_t>& bytes3ds) {
  return torvik::OutGLBMFBytes(ConvertToModel(bytes3ds));
}

ToolRun RunCommand(const std::string& command, const TempDir& dir) {
  const std::string err_file = dir.file("stderr.txt");
  ToolRun run{};
  FILE* pipe = popen((command + " 2>" + err_file).c_str(), "r");
  if (pipe == nullptr) throw std::runtime_error("can't run " + command);
  char buffer[4096];
  for (std::size_t n; (n = std::fread(buffer, 1, sizeof buffer, pipe)) > 0;)
    run.out.append(buffer, n);
  const int status = pclose(pipe);
  run.status = WIFEXITED(status) ? WEXITSTATUS(status) : -1;
  const std::vector<std::uint8_t> err = ReadFile(err_file);
  run.err.assign(err.begin(), err.end());
  return run;
}

std::size_t FirstTerminalControl(const std::string& output) {
  const auto byte = [&](std::size_t i) { return static_cast<unsigned char>(output[i]); };
  for (std::size_t i = 0; i < output.size();) {
    const unsigned char lead = byte(i);
    if (lead == '\n' || (lead >= 0x20 && lead < 0x7F)) {
      ++i;
      continue;
    }
    const std::size_t length = lead >= 0xF0 && lead <= 0xF4   ? 4
                               : lead >= 0xE0 && lead <= 0xEF ? 3
                               : lead >= 0xC2 && lead <= 0xDF ? 2
                                                              : 0;
    if (length == 0 || i + length > output.size()) return i;
    for (std::size_t k = 1; k < length; ++k)
      if ((byte(i + k) & 0xC0) != 0x80) return i;
    if (lead == 0xC2 && byte(i + 1) < 0xA0) return i;  // U+0080 to U+009F
    i += length;
  }
  return std::string::npos;
}

std::string GlbJsonText(const std::vector<std::uint8_t>& glb) {
  const std::size_t length = glb.at(12) | glb.at(13) << 8 | glb.at(14) << 16 |
                             static_cast<std::size_t>(glb.at(15)) << 24;
  return std::string(glb.begin() + 20, glb.begin() + 20 + static_cast<long>(length));
}

std::string ShellQuoted(const std::string& path) {
  std::string quoted = "'";
  for (const char c : path) quoted += c == '\'' ? std::string("'\\''") : std::string(1, c);
  return quoted + "'";
}

std::vector<std::string> CorpusFiles() {
  std::vector<std::string> files;
  std::error_code error;
  for (const fs::directory_entry& entry : fs::directory_iterator(TORVIK_CORPUS_DIR, error)) {
    std::string ext = entry.path().extension().string();
    std::transform(ext.begin(), ext.end(), ext.begin(),
                   [](unsigned char c) { return std::tolower(c); });
    if (ext == ".3ds") files.push_back(entry.path().string());
  }
  std::sort(files.begin(), files.end());
  return files;
}

}  // namespace testing_support

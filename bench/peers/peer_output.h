// The peers' output: per mesh, its positions, normals and triangle indices
// as raw little-endian arrays, each preceded by a u32 count of floats or
// indices.  A file of about the size of ours, written through one buffer.
#pragma once

#include <cstdint>
#include <cstdio>
#include <vector>

class PeerOutput {
 public:
  explicit PeerOutput(const char* path) : file_(std::fopen(path, "wb")) {
    if (file_ != nullptr) std::setvbuf(file_, nullptr, _IOFBF, 1 << 20);
  }
  ~PeerOutput() {
    if (file_ != nullptr) std::fclose(file_);
  }
  PeerOutput(const PeerOutput&) = delete;
  PeerOutput& operator=(const PeerOutput&) = delete;

  bool ok() const { return file_ != nullptr && !std::ferror(file_); }

  void Floats(const float* data, std::size_t count) { Array(data, count, sizeof(float)); }
  void Indices(const std::vector<std::uint32_t>& indices) {
    Array(indices.data(), indices.size(), sizeof(std::uint32_t));
  }

  // Flushes and closes; false when anything failed.
  bool Close() {
    if (file_ == nullptr) return false;
    const bool good = !std::ferror(file_);
    const bool closed = std::fclose(file_) == 0;
    file_ = nullptr;
    return good && closed;
  }

 private:
  void Array(const void* data, std::size_t count, std::size_t size) {
    const auto n = static_cast<std::uint32_t>(count);
    std::fwrite(&n, sizeof n, 1, file_);
    std::fwrite(data, size, count, file_);
  }

  std::FILE* file_;
};

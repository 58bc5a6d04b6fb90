// Reading a file into a buffer that is not zero-filled first: every byte
// is about to be overwritten by the read.
#pragma once

#include <memory>
#include <new>
#include <string>
#include <utility>
#include <vector>

#include "torvik32c/file_bytes.h"
#include "torvik32c/types.h"

namespace torvik {

// An allocator whose resize() leaves new bytes as they come.
template <class T>
struct DefaultInitAllocator : std::allocator<T> {
  template <class U>
  struct rebind {
    using other = DefaultInitAllocator<U>;
  };
  using std::allocator<T>::allocator;
  template <class U>
  void construct(U* p) {
    ::new (static_cast<void*>(p)) U;
  }
  template <class U, class... Args>
  void construct(U* p, Args&&... args) {
    ::new (static_cast<void*>(p)) U(std::forward<Args>(args)...);
  }
};

using UninitialisedBytes = std::vector<byte, DefaultInitAllocator<byte>>;

// ReadFileBytes without the zero-fill, a stream read as far as `content` says.
UninitialisedBytes ReadFileBytesUninitialised(const std::string& path,
                                              const StreamContent& content);

}  // namespace torvik

// Starts a thread that runs `body`: one place where the library's thread
// state is made, so that a class template's threads don't instantiate
// std::thread's state for types of their own (which would be exported with
// the shared library).
#pragma once

#include <functional>

#include "parallel_ranges.h"

namespace torvik {

#ifdef TORVIK_HAVE_THREADS
std::thread StartThread(std::function<void()> body);
#endif

}  // namespace torvik

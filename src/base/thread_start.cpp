#include "thread_start.h"

#include <utility>

namespace torvik {

#ifdef TORVIK_HAVE_THREADS
std::thread StartThread(std::function<void()> body) { return std::thread(std::move(body)); }
#endif

}  // namespace torvik

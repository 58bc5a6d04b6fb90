// Running the library without the GIL, and its exceptions raised as the
// errors of torvik32c.errors.
#pragma once

#include <pybind11/pybind11.h>

#include <exception>
#include <optional>
#include <string>
#include <utility>

namespace torvik_python {

namespace py = pybind11;

// Raises `failure` as the torvik32c error of its kind, its message after
// "SUBJECT: " (the file it is about; nothing when empty).  Needs the GIL.
[[noreturn]] void RaiseError(std::exception_ptr failure, const std::string& subject);

// Runs `work` with the GIL released, so that other Python threads (and
// other conversions) run meanwhile; what it throws is raised as a
// torvik32c error once the GIL is held again.
template <class Work>
auto WithoutGil(const std::string& subject, Work&& work) -> decltype(work()) {
  std::optional<decltype(work())> result;
  std::exception_ptr failure;
  {
    py::gil_scoped_release release;
    try {
      result.emplace(work());
    } catch (...) {
      failure = std::current_exception();
    }
  }
  if (failure) RaiseError(failure, subject);
  return std::move(*result);
}

}  // namespace torvik_python

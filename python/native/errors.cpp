#include "errors.h"

#include <new>

#include "options.h"
#include "results.h"
#include "torvik32c/errors.h"
#include "torvik32c/model_conversion.h"
#include "torvik32c/reports.h"

namespace torvik_python {

namespace {

// The kind as Python sees it, and the class of torvik32c.errors for it.
std::pair<const char*, const char*> KindAndClass(torvik::Error::Kind kind) {
  using Kind = torvik::Error::Kind;
  switch (kind) {
    case Kind::damaged_file:
      return {"damaged_file", "DamagedFileError"};
    case Kind::cannot_open:
      return {"cannot_open", "FileAccessError"};
    case Kind::read_failed:
      return {"read_failed", "FileAccessError"};
    case Kind::write_failed:
      return {"write_failed", "FileAccessError"};
    case Kind::too_large:
      return {"too_large", "TooLargeError"};
    case Kind::out_of_memory:
      return {"out_of_memory", "OutOfMemoryError"};
    case Kind::invalid_model:
      return {"invalid_model", "InvalidModelError"};
    case Kind::cancelled:
      return {"cancelled", "Error"};
  }
  return {"failed", "Error"};
}

py::object OptionalInt(std::int64_t value) {
  return value < 0 ? py::none() : py::object(py::int_(value));
}

}  // namespace

void RaiseError(std::exception_ptr failure, const std::string& subject) {
  // A Python exception (a signal's, raised by its handler) goes on as it is.
  try {
    std::rethrow_exception(failure);
  } catch (py::error_already_set&) {
    throw;
  } catch (...) {
  }
  std::string reason;
  try {
    std::rethrow_exception(failure);
  } catch (...) {
    reason = torvik::FailureReason("max_placed_faces");
  }
  // The file the error is about: its own (a destination that can't be
  // written), else the subject.
  std::string about = subject;
  try {
    std::rethrow_exception(failure);
  } catch (const torvik::Error& e) {
    if (!e.path.empty()) about = e.path;
  } catch (...) {
  }
  // The message shows the path as 3ds2bmf does; the path attribute is the
  // path itself.
  const std::string message = about.empty() ? reason : torvik::ShownText(about) + ": " + reason;
  const auto path_of = [](const std::string& path) {
    return path.empty() ? py::object(py::none()) : py::object(PathText(path));
  };
  const py::module_ errors = py::module_::import("torvik32c.errors");
  py::object error;
  try {
    std::rethrow_exception(failure);
  } catch (const torvik::MissingTextures& missing) {
    error = errors.attr("TextureError")(message, py::arg("kind") = "missing_textures",
                                        py::arg("path") = path_of(subject),
                                        py::arg("textures") = TextureList(missing.textures));
  } catch (const torvik::Error& e) {
    const auto [kind, name] = KindAndClass(e.kind);
    const bool damaged = e.kind == torvik::Error::Kind::damaged_file;
    error = errors.attr(name)(message, py::arg("kind") = kind,
                              py::arg("path") = path_of(e.path.empty() ? subject : e.path),
                              py::arg("chunk") = damaged && e.chunk_offset >= 0
                                                     ? py::object(py::int_(e.chunk_id))
                                                     : py::none(),
                              py::arg("chunk_offset") = OptionalInt(e.chunk_offset),
                              py::arg("offset") = OptionalInt(e.byte_offset));
  } catch (const std::bad_alloc&) {
    error = errors.attr("OutOfMemoryError")(message, py::arg("kind") = "out_of_memory",
                                            py::arg("path") = path_of(subject));
  } catch (const torvik::DestinationIsModel& same) {
    // A call that can't be made, not a conversion that failed.
    PyErr_SetString(PyExc_ValueError, same.what());
    throw py::error_already_set();
  } catch (const torvik::RefusedSettingsError& refused) {
    // Options the model's format can't take: a call that can't be made.
    PyErr_SetString(PyExc_ValueError, message.c_str());
    throw py::error_already_set();
  } catch (...) {
    error = errors.attr("Error")(message, py::arg("path") = path_of(subject));
  }
  PyErr_SetObject(reinterpret_cast<PyObject*>(Py_TYPE(error.ptr())), error.ptr());
  throw py::error_already_set();
}

}  // namespace torvik_python

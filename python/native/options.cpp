#include "options.h"

#include <pybind11/stl.h>
#include <pybind11/stl/filesystem.h>

#include <cstdint>
#include <limits>
#include <string>

namespace torvik_python {

namespace {

[[noreturn]] void WrongType(const char* name, const char* wanted, py::handle value) {
  throw py::type_error(std::string(name) + " must be " + wanted + ", not " +
                       std::string(py::str(py::type::of(value).attr("__name__"))));
}

}  // namespace

bool FlagValue(const char* name, py::handle value) {
  if (!py::isinstance<py::bool_>(value)) WrongType(name, "True or False", value);
  return value.cast<bool>();
}

std::size_t CountValue(const char* name, py::handle value) {
  if (!py::isinstance<py::int_>(value) || py::isinstance<py::bool_>(value))
    WrongType(name, "an int", value);
  int overflow = 0;
  const long long count = PyLong_AsLongLongAndOverflow(value.ptr(), &overflow);
  if (overflow < 0 || (overflow == 0 && count < 0))
    throw py::value_error(std::string(name) + " must be 0 or more");
  constexpr auto kMost = static_cast<unsigned long long>(std::numeric_limits<std::int64_t>::max());
  if (overflow > 0 || static_cast<unsigned long long>(count) > kMost ||
      static_cast<unsigned long long>(count) > std::numeric_limits<std::size_t>::max())
    throw py::value_error(std::string(name) + " must be at most " + std::to_string(kMost));
  return static_cast<std::size_t>(count);
}

std::string TextValue(const char* name, py::handle value) {
  if (!py::isinstance<py::str>(value)) WrongType(name, "a str", value);
  return value.cast<std::string>();
}

std::filesystem::path PathValue(const char* name, py::handle value) {
  if (!py::isinstance<py::str>(value) && !py::isinstance<py::bytes>(value) &&
      !py::hasattr(value, "__fspath__"))
    WrongType(name, "a str, bytes or os.PathLike", value);
  // The path's bytes as os.fsencode gives them (str's undecodable bytes
  // come back from their surrogates), which is how the system names it.
  const py::bytes encoded = py::module_::import("os").attr("fsencode")(value);
  const std::string bytes = encoded;
  if (bytes.find('\0') != std::string::npos)
    throw py::value_error(std::string(name) + ": a path can't hold a NUL character");
  return std::filesystem::path(bytes);
}

py::str PathText(const std::string& path) {
  PyObject* text =
      PyUnicode_DecodeFSDefaultAndSize(path.data(), static_cast<Py_ssize_t>(path.size()));
  if (text == nullptr) throw py::error_already_set();
  return py::reinterpret_steal<py::str>(text);
}

std::vector<std::filesystem::path> PathsValue(const char* name, py::handle value) {
  if (py::isinstance<py::str>(value) || py::isinstance<py::bytes>(value) ||
      !py::isinstance<py::sequence>(value))
    WrongType(name, "a sequence of paths", value);
  std::vector<std::filesystem::path> paths;
  for (py::handle item : value) paths.push_back(PathValue(name, item));
  return paths;
}

std::vector<torvik::TextureChoice> ChoicesValue(const char* name, py::handle value) {
  if (!py::isinstance<py::dict>(value) &&
      !py::isinstance(value, py::module_::import("collections.abc").attr("Mapping")))
    WrongType(name, "a mapping of stored names to files", value);
  std::vector<torvik::TextureChoice> choices;
  for (py::handle key : value) {
    torvik::TextureChoice choice;
    choice.name = TextValue(name, key);
    if (choice.name.empty()) throw py::value_error(std::string(name) + ": an empty texture name");
    choice.file = PathValue(name, value[key]);
    choices.push_back(std::move(choice));
  }
  return choices;
}

}  // namespace torvik_python

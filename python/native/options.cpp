#include "options.h"

#include <pybind11/stl.h>
#include <pybind11/stl/filesystem.h>

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
  const long long count = value.cast<long long>();
  if (count < 0) throw py::value_error(std::string(name) + " must be 0 or more");
  return static_cast<std::size_t>(count);
}

std::string TextValue(const char* name, py::handle value) {
  if (!py::isinstance<py::str>(value)) WrongType(name, "a str", value);
  return value.cast<std::string>();
}

std::filesystem::path PathValue(const char* name, py::handle value) {
  try {
    return value.cast<std::filesystem::path>();
  } catch (const py::cast_error&) {
    WrongType(name, "a str or os.PathLike", value);
  }
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

// Keyword options of the module's functions: each a name and the setting it
// fills, in a table per function, so that an option of 3ds2bmf reaches
// Python in one line (and the type stubs in one more).
#pragma once

#include <pybind11/pybind11.h>

#include <cstddef>
#include <cstdint>
#include <filesystem>
#include <functional>
#include <span>
#include <stdexcept>
#include <string>
#include <vector>

#include "torvik32c/reports.h"
#include "torvik32c/texture_resolver.h"

namespace torvik_python {

namespace py = pybind11;

template <class Settings>
struct Option {
  const char* name;
  std::function<void(Settings&, py::handle)> set;
};

// Converters from Python values, raising TypeError or ValueError that name
// the option.
bool FlagValue(const char* name, py::handle value);
std::size_t CountValue(const char* name, py::handle value);
std::string TextValue(const char* name, py::handle value);
// A path given as str, bytes or os.PathLike, as its bytes (os.fsencode);
// ValueError for one that holds a NUL character.
std::filesystem::path PathValue(const char* name, py::handle value);
// A path's bytes as a str, as os.fsdecode gives them (bytes that are not
// text become surrogates, so the str names the same file).
py::str PathText(const std::string& path);
std::vector<std::filesystem::path> PathsValue(const char* name, py::handle value);
// {stored name: file}
std::vector<torvik::TextureChoice> ChoicesValue(const char* name, py::handle value);

// --smoothing-groups and the like.
template <class S>
Option<S> Flag(const char* name, bool S::*member) {
  return {name, [name, member](S& s, py::handle v) { s.*member = FlagValue(name, v); }};
}
// A count such as threads: a whole number, 0 or more.
template <class S>
Option<S> Count(const char* name, std::size_t S::*member) {
  return {name, [name, member](S& s, py::handle v) { s.*member = CountValue(name, v); }};
}
template <class S>
Option<S> Text(const char* name, std::string S::*member) {
  return {name, [name, member](S& s, py::handle v) { s.*member = TextValue(name, v); }};
}
// A whole number from `least` to `most` kept as a double, such as --fps.
template <class S>
Option<S> WholeNumber(const char* name, double S::*member, std::size_t least, std::size_t most) {
  return {name, [=](S& s, py::handle v) {
            const std::size_t value = CountValue(name, v);
            if (value < least || value > most)
              throw py::value_error(std::string(name) + " must be from " + std::to_string(least) +
                                    " to " + std::to_string(most));
            s.*member = static_cast<double>(value);
          }};
}
// --name-encoding NAME: how stored names that are not UTF-8 read.
template <class S>
Option<S> Encoding(const char* name, torvik::NameDecoder S::*member) {
  return {name, [name, member](S& s, py::handle v) {
            try {
              s.*member = torvik::NameDecoderFor(TextValue(name, v));
            } catch (const std::invalid_argument& error) {
              throw py::value_error(std::string(name) + ": " + error.what());
            }
          }};
}
// A limit such as --max-placed-faces: a whole number, 1 or more.
template <class S>
Option<S> Limit(const char* name, std::uint64_t S::*member) {
  return {name, [name, member](S& s, py::handle v) {
            const std::size_t limit = CountValue(name, v);
            if (limit == 0) throw py::value_error(std::string(name) + " must be 1 or more");
            s.*member = limit;
          }};
}
// --texture-path DIR...: a sequence of paths (str or os.PathLike).
template <class S>
Option<S> Paths(const char* name, std::vector<std::filesystem::path> S::*member) {
  return {name, [name, member](S& s, py::handle v) { s.*member = PathsValue(name, v); }};
}
// --texture NAME=FILE...: a mapping of stored names to files.
template <class S>
Option<S> Choices(const char* name, std::vector<torvik::TextureChoice> S::*member) {
  return {name, [name, member](S& s, py::handle v) { s.*member = ChoicesValue(name, v); }};
}
// An option that sets several flags (--as-authored).
template <class S>
Option<S> Flags(const char* name, std::vector<bool S::*> members) {
  return {name, [name, members](S& s, py::handle v) {
            if (FlagValue(name, v))
              for (bool S::*member : members) s.*member = true;
          }};
}

// Applies the keyword arguments through the table, in the table's order (so
// that --as-authored's flags are set whatever else is given); an unknown
// keyword raises TypeError naming the function.
template <class S>
S ParseOptions(const char* function, const py::kwargs& kwargs, std::span<const Option<S>> table) {
  for (const auto& item : kwargs) {
    const std::string key = py::str(item.first);
    bool known = false;
    for (const Option<S>& option : table) known = known || key == option.name;
    if (!known)
      throw py::type_error(std::string(function) + "() got an unexpected keyword argument '" + key +
                           "'");
  }
  S settings;
  for (const Option<S>& option : table)
    if (kwargs.contains(option.name)) option.set(settings, kwargs[option.name]);
  return settings;
}

// The names of a table, for the module's OPTIONS.
template <class S>
py::tuple OptionNames(std::span<const Option<S>> table) {
  py::list names;
  for (const Option<S>& option : table) names.append(option.name);
  return py::tuple(names);
}

}  // namespace torvik_python

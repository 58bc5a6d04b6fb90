#include "sources.h"

#include "options.h"
#include "torvik32c/file_bytes.h"

namespace torvik_python {

Source::Source(py::handle value, const char* argument) {
  if (py::isinstance<py::str>(value) || py::hasattr(value, "__fspath__")) {
    path_ = PathValue(argument, value);
    return;
  }
  if (PyObject_CheckBuffer(value.ptr()) == 0)
    throw py::type_error(std::string(argument) + " must be a path or bytes, not " +
                         std::string(py::str(py::type::of(value).attr("__name__"))));
  buffer_ = py::reinterpret_borrow<py::buffer>(value).request();
  if (!PyBuffer_IsContiguous(buffer_->view(), 'C'))
    throw py::type_error(std::string(argument) + " must be a contiguous buffer of bytes");
}

std::span<const torvik::byte> Source::Bytes() {
  if (!path_) {
    return {static_cast<const torvik::byte*>(buffer_->ptr),
            static_cast<std::size_t>(buffer_->size * buffer_->itemsize)};
  }
  read_ = torvik::ReadFileBytes(path_->string());
  return read_;
}

}  // namespace torvik_python

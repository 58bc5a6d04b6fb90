// numpy arrays over the library's own tables, without a copy: the table is
// moved into a holder that the array's base owns, and views of its records'
// fields share it.
#pragma once

#include <pybind11/numpy.h>
#include <pybind11/pybind11.h>

#include <cstddef>
#include <memory>
#include <vector>

namespace torvik_python {

namespace py = pybind11;

// Keeps a moved table alive for as long as a numpy array looks at it.
template <class Record>
py::capsule OwnerOf(std::vector<Record>&& records, const Record** data) {
  auto* held = new std::vector<Record>(std::move(records));
  *data = held->data();
  return py::capsule(held, [](void* p) { delete static_cast<std::vector<Record>*>(p); });
}

// An array of `columns` Items per record, starting `offset` bytes into each
// record: (records, columns), or (records,) when `columns` is 0.  `owner`
// keeps the records alive.
template <class Item, class Record>
py::array_t<Item> Columns(const Record* data, std::size_t count, std::size_t offset,
                          std::size_t columns, const py::capsule& owner) {
  const auto* first = reinterpret_cast<const Item*>(reinterpret_cast<const char*>(data) + offset);
  const auto stride = static_cast<py::ssize_t>(sizeof(Record));
  if (columns == 0)
    return py::array_t<Item>({static_cast<py::ssize_t>(count)}, {stride}, first, owner);
  return py::array_t<Item>({static_cast<py::ssize_t>(count), static_cast<py::ssize_t>(columns)},
                           {stride, static_cast<py::ssize_t>(sizeof(Item))}, first, owner);
}

// The whole table as one array of `columns` Items per record.
template <class Item, class Record>
py::array_t<Item> RecordArray(std::vector<Record>&& records, std::size_t columns) {
  static_assert(sizeof(Record) % sizeof(Item) == 0);
  const std::size_t count = records.size();
  const Record* data = nullptr;
  const py::capsule owner = OwnerOf(std::move(records), &data);
  return Columns<Item>(data, count, 0, columns, owner);
}

}  // namespace torvik_python

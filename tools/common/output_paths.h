// Names of the files the tools write beside their inputs.
#pragma once

#include <filesystem>
#include <string>

// `path` with its extension `from` (matched without regard to case) replaced
// by `to`, or with `to` appended when it doesn't end in `from`:
// ("ring.BMF", ".bmf", ".png") gives "ring.png".
std::string WithExtension(const std::string& path, const std::string& from, const std::string& to);

// The last component of `path`.
std::string FileName(const std::string& path);

// The folder `path` lies in: "." for a bare file name, whose folder part is
// empty.
std::filesystem::path FolderOf(const std::string& path);

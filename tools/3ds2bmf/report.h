// What 3ds2bmf prints about each file.
#pragma once

#include <string>
#include <vector>

#include "convert_file.h"

// "PATH: 3 blocks, 1234 vertices, ..." for -v.
std::string SummaryLine(const FileResult& result);
// One JSON object on one line, for --json, with the texture names decoded
// as `names` says.
std::string JsonLine(const FileResult& result, const torvik::NameDecoder& names = {});
// "3ds2bmf: PATH: reason".
std::string ErrorLine(const FileResult& result);
// "3ds2bmf: 3 files: 2 converted, 1 failed, 4 warnings, 0.5 s": the line
// that ends a run of several files.  Warnings are the notes of every file.
std::string BatchSummary(const std::vector<FileResult>& results, double seconds);
// "[#####     ] 12/40" sized for a terminal line.
std::string ProgressBar(std::size_t done, std::size_t total, std::size_t width = 40);

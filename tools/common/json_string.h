// JSON text for the tools' --json output.
#pragma once

#include <cstddef>
#include <string>

// `text` as a quoted JSON string, with quotes, backslashes and control
// characters escaped.  Bytes that are not part of valid UTF-8 (texture names
// and paths are often Latin-1) are taken as Latin-1 and escaped as \u00XX,
// so the output is always valid JSON.
std::string JsonString(const std::string& text);

// `text` as valid UTF-8: bytes that are not part of valid UTF-8 are taken
// as Latin-1, as JsonString takes them.
std::string ValidUtf8(const std::string& text);

// A float as JSON, in the fewest digits that read back as the same float;
// NaN and the infinities, which JSON lacks, become null.
std::string JsonNumber(float value);

// "1 block", "3 blocks": a count and its noun, in the plural unless it is 1
// (the noun plus "s" unless `plural` is given: "vertex", "vertices").
std::string Counted(std::size_t count, const std::string& noun, const std::string& plural = "");

// --list: what 3ds2bmf knows about each model without writing anything.
//
// A listing is made of sections, one per kind of fact (the textures, the
// keyframer, the materials' maps); each section is made by one function
// over the model read, listed in kSectionMakers in model_listing.cpp, and
// prints as a title with indented lines, and in JSON as one member of the
// file's object.  A new kind of fact is one more function there.
#pragma once

#include <string>
#include <vector>

#include "convert_file.h"
#include "options.h"

struct ListingSection {
  std::string title;               // "textures: 1 of 2 found"
  std::vector<std::string> lines;  // printed indented under the title
  std::string key;                 // its member in JSON: "textures"
  std::string json;                // the member's value
  std::size_t problems = 0;        // what --require-textures fails the file for
};

struct ModelListing {
  std::string input;
  std::string format;                 // "glTF", "OBJ"; empty for a 3DS file
  std::vector<std::string> warnings;  // the reader's, for a glTF or OBJ file
  std::string error;                  // why the model could not be read; empty when it was
  std::vector<ListingSection> sections;
};

// Reads `input` and lists its facts as converting it into `output` with
// `settings` would find them.  Never throws but std::bad_alloc and
// torvik::Cancelled.
ModelListing ListModel(const std::string& input, const std::string& output,
                       const FileSettings& settings);

// "PATH" and each section, for a person.
std::string ListingText(const ModelListing& listing);
// {"path":..,"ok":..,"error":..,"textures":[..]} on one line.
std::string ListingJson(const ModelListing& listing);

// Lists every input on standard output.  Exit status 0, 1 when a file
// can't be read (or with --require-textures has a texture missing or
// ambiguous), or 128 + the signal's number when interrupted.
int RunList(const Options& options);

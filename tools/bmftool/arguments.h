// Command line of bmftool: a subcommand, its files and its options.
#pragma once

#include <filesystem>
#include <optional>
#include <string>
#include <vector>

#include "preview_renderer.h"
#include "torvik32c/name_text.h"
#include "torvik32c/texture_resolver.h"

enum class Command { none, info, validate, obj, gltf, png };

struct Arguments {
  Command command = Command::none;
  std::vector<std::string> files;
  std::optional<std::string> output;                 // -o: only with a single file
  bool json = false;                                 // info and validate --json
  bool all = false;                                  // validate --all
  bool keep_axes = false;                            // obj --keep-axes
  PreviewOptions preview;                            // png --size --yaw --pitch
  std::vector<std::filesystem::path> texture_paths;  // --texture-path: more texture folders
  bool textures = true;                              // png: false with --no-textures
  bool overdraw = false;                             // info --overdraw
  bool help = false;
  bool version = false;
  // --texture NAME=FILE: the user's decisions for stored texture names
  std::vector<torvik::TextureChoice> texture_choices;
  // --name-encoding NAME: how texture names that are not UTF-8 read as text
  torvik::NameDecoder names;
};

// Throws std::invalid_argument with a message for the user on a usage error.
Arguments ParseArguments(const std::vector<std::string>& args);

extern const char* const kUsage;

// kUsage, followed by what this build refuses for want of a library.
std::string UsageText();

// Command lines of the tools, parsed by CLI11: long and short forms,
// --opt=value and --opt value, combined short flags (-qj4), -- before
// operands.  An option given twice takes its last value.
#pragma once

#include <CLI/CLI.hpp>
#include <string>
#include <vector>

// An App set up the tools' way: no generated help (each tool prints its own
// text for -h and --help), last value wins.
void PrepareApp(CLI::App& app);

// Parses `args` (without the program name).  Throws std::invalid_argument
// with a one-line message for a usage error.
void ParseCommandLine(CLI::App& app, const std::vector<std::string>& args);

// A check for a whole number from `low` to `high`, naming the option in its
// message: "--jobs needs a whole number from 1 to 256, not 'two'".
CLI::Validator WholeNumberFrom(long low, long high);
// A check for a finite number.
CLI::Validator FiniteNumber();

// Whether the option was given on the command line.
inline bool Given(const CLI::Option* option) { return option->count() > 0; }

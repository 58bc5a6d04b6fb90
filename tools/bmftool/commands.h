// The five subcommands of bmftool.  Each handles every file of the command
// line, prints what it found and returns the exit status: 0 when all went
// well, 1 when some file was unreadable, invalid or could not be written.
#pragma once

#include "arguments.h"

// Refuses, before anything is written, outputs that would replace an input
// or each other.  Returns the message, or "".
std::string CheckOutputs(const Arguments& arguments);

int RunInfo(const Arguments& arguments);
int RunValidate(const Arguments& arguments);
int RunObj(const Arguments& arguments);
int RunGltf(const Arguments& arguments);
int RunPng(const Arguments& arguments);

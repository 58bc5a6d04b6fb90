// What the converters (3ds2bmf and the web page) say about a file: why a
// conversion failed, and what the keyframer would change.
#pragma once

#include <string>

#include "torvik32c/keyframer.h"

// The reason for the exception being handled, as 3ds2bmf prints it after
// "3ds2bmf: PATH: ".  Call it only inside a catch block.
std::string FailureReason();

// "the keyframer draws 2 more instances and moves 3 objects; --keyframer
// applies it" when the keyframer, not applied, would draw more instances or
// move objects; empty otherwise.
std::string KeyframerNote(const torvik::KeyframerEffect& effect);

// What the converters (3ds2bmf and the web page) say about a file: why a
// conversion failed, and what the keyframer would change.
#pragma once

#include <string>
#include <vector>

#include "torvik32c/3dsload.h"
#include "torvik32c/keyframer.h"

// The reason for the exception being handled, as 3ds2bmf prints it after
// "3ds2bmf: PATH: ".  Call it only inside a catch block.
std::string FailureReason();

// "the keyframer draws 2 more instances and moves 3 objects; --keyframer
// applies it" when the keyframer, not applied, would draw more instances or
// move objects; empty otherwise.
std::string KeyframerNote(const torvik::KeyframerEffect& effect);

// Places the scene's meshes by its keyframer and measures what that changes
// into `effect`.  With `apply`, draws the meshes where it places them and
// returns its warnings; without, leaves the meshes as stored and returns the
// KeyframerNote, if any.  Each message still wants "PATH: " before it.
std::vector<std::string> ApplyKeyframer(torvik::H3dsScene& scene, bool apply,
                                        torvik::KeyframerEffect& effect);

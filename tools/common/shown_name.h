// Names taken from files, as the tools print them for a person to read.
#pragma once

#include <string>

// `name` in double quotes as stored, backslashes and all ("C:\MAPS\WOOD.JPG"),
// with control characters shown as \xHH so that a name can't move the cursor
// or end the line.
std::string QuotedName(const std::string& name);

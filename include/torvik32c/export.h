// TORVIK_API marks the C++ API: the functions and classes of these headers
// that a program may use.  The library is built with hidden visibility, so on
// ELF platforms the shared library exports exactly what carries the mark (and
// the C entries of torvik32c.h).  On Windows the DLL exports only the C
// entries, and the C++ API is the static library; the mark is then empty.
#pragma once

#if !defined(_WIN32) && defined(__GNUC__)
#define TORVIK_API __attribute__((visibility("default")))
#else
#define TORVIK_API
#endif

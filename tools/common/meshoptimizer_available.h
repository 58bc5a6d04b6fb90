// Whether this build of the tools has meshoptimizer, which orders triangles
// for 3ds2bmf --optimize and measures them for bmftool info.  The cross
// build for Windows goes without it.
#pragma once

#ifndef TORVIK_HAVE_MESHOPTIMIZER
#define TORVIK_HAVE_MESHOPTIMIZER 0
#endif

inline constexpr bool kHaveMeshOptimizer = TORVIK_HAVE_MESHOPTIMIZER != 0;

// What a tool says when it is asked for something that needs meshoptimizer
// in a build without it.
inline constexpr const char* kNoMeshOptimizer =
    "this build has no meshoptimizer (it was not found when the tools were built)";

// The C runtime's heap kept for reuse within this process.
#pragma once

// Ordering the triangles for a GPU (--optimize) allocates and frees tables of
// a few megabytes for every block.  By default glibc gives such blocks back
// to the system as they are freed (they are mapped on their own, or trimmed
// off the heap's top), so each block's tables are fresh pages, faulted in
// one by one: on a large model, most of the ordering's time.  This keeps
// freed blocks of up to 32 MiB in the heap, and up to 256 MiB free at its
// top, until the process ends.  Elsewhere (Windows, other C runtimes) it does
// nothing.
void KeepFreedMemoryForReuse();

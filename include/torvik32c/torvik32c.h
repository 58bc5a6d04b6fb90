/* C entry of the 3DS to BMF converter.
 *
 * do3dsparse converts the 3D Studio file `src` into the BMF file `dest`.
 * It returns 0 on success and 1 on failure; on failure a message naming the
 * file and the problem is printed into ErrStr, which must hold the longest
 * message plus its terminating zero: 42 characters, or 25 characters plus the
 * longer of the two paths.  A call
 * that succeeds leaves ErrStr untouched.  A source that cannot be read still
 * produces a BMF file with no materials (4 bytes) at `dest`.  A `dest` that
 * is the source (by the same name or another spelling of it, a symbolic or a
 * hard link) is refused before anything is read or written ("Output is the
 * source: PATH").
 *
 * do3dsparse_ex is the same conversion with a bounded message buffer: it
 * writes at most ErrSize bytes into ErrStr, the terminating zero included.
 *
 * Calls are independent of each other and may run on several threads at once.
 */
#ifndef TORVIK32C_TORVIK32C_H
#define TORVIK32C_TORVIK32C_H

#include <stddef.h>

#if defined(_WIN32) && !defined(_WIN64)
#define TORVIK32C_CALL __stdcall
#else
#define TORVIK32C_CALL
#endif

#if defined(_WIN32)
#if defined(TORVIK32C_BUILDING)
#define TORVIK32C_API __declspec(dllexport)
#else
#define TORVIK32C_API __declspec(dllimport)
#endif
#elif defined(__GNUC__)
#define TORVIK32C_API __attribute__((visibility("default")))
#else
#define TORVIK32C_API
#endif

#ifdef __cplusplus
extern "C" {
#endif

TORVIK32C_API int TORVIK32C_CALL do3dsparse(char* src, char* dest, char* ErrStr);

TORVIK32C_API int TORVIK32C_CALL do3dsparse_ex(const char* src, const char* dest, char* ErrStr,
                                               size_t ErrSize);

#ifdef __cplusplus
}
#endif

#endif

/* A Windows host of torvik32c.dll, as the programs that use the library load
 * it: LoadLibrary, GetProcAddress by name and by ordinal, and calls through
 * __stdcall function pointers.  It is built for 32-bit and for 64-bit
 * Windows, each loading the DLL of its own kind.
 *
 *   dll_host DLL SAMPLE OUTDIR [INPUT...]
 *
 * Checks the exports and the C entry's contract on SAMPLE (a good .3ds file)
 * and on broken inputs and names that are not ASCII, writing in the current
 * directory, then converts every INPUT with do3dsparse into OUTDIR/NAME.bmf.
 * On 32-bit Windows each call goes through a wrapper that measures ESP
 * before the arguments are pushed and after the call returns: a __stdcall
 * callee pops its own arguments, so the two agree.  Calls are also made on a
 * stack that is only 4-byte aligned, as hosts built by other compilers call.
 * x64 has one calling convention, and its calls are plain.  Exits 0 when
 * every check passed. */
#include <stdio.h>
#include <stdlib.h>
#include <string.h>
#include <windows.h>

#include "host_check.h"

typedef int(__stdcall* Do3dsParse)(char* src, char* dest, char* ErrStr);
/* GetProcAddress's FARPROC becomes the export's type through the one
 * function type that converts to any other without a warning. */
typedef void (*AnyFunction)(void);
typedef int(__stdcall* Do3dsParseEx)(const char* src, const char* dest, char* ErrStr,
                                     size_t ErrSize);

/* Called through CallMeasuringStack on 32-bit Windows, except in ConvertAll. */
static FARPROC parse_by_name;
static FARPROC parse_ex_by_name;

#if defined(_WIN64)

static int CallParse(const char* src, const char* dest, char* err, int misalign) {
  (void)misalign;
  return ((Do3dsParse)(AnyFunction)parse_by_name)((char*)src, (char*)dest, err);
}

static int CallParseEx(const char* src, const char* dest, char* err, size_t size) {
  return ((Do3dsParseEx)(AnyFunction)parse_ex_by_name)(src, dest, err, size);
}

#else

/* int CallMeasuringStack(FARPROC fn, void* const* args, int count, int misalign,
 *                        long* moved)
 * Moves ESP down by `misalign` bytes, pushes args[count-1] .. args[0], calls
 * fn and returns what it returned.  *moved is ESP after the call minus ESP
 * before the pushes: 0 for a callee that pops its arguments, -4 * count for
 * one that leaves them to the caller.  ESP is restored either way. */
int CallMeasuringStack(FARPROC fn, void* const* args, int count, int misalign, long* moved);
__asm__(
    ".text\n"
    ".globl _CallMeasuringStack\n"
    "_CallMeasuringStack:\n"
    "  pushl %ebp\n"
    "  movl %esp, %ebp\n"
    "  pushl %esi\n"
    "  pushl %edi\n"
    "  pushl %ebx\n"
    "  movl %esp, %ebx\n"
    "  subl 20(%ebp), %esp\n"
    "  movl %esp, %esi\n"
    "  movl 12(%ebp), %edi\n"
    "  movl 16(%ebp), %ecx\n"
    "1:\n"
    "  testl %ecx, %ecx\n"
    "  jz 2f\n"
    "  decl %ecx\n"
    "  pushl (%edi,%ecx,4)\n"
    "  jmp 1b\n"
    "2:\n"
    "  call *8(%ebp)\n"
    "  movl %esp, %ecx\n"
    "  subl %esi, %ecx\n"
    "  movl 24(%ebp), %edx\n"
    "  movl %ecx, (%edx)\n"
    "  movl %ebx, %esp\n"
    "  popl %ebx\n"
    "  popl %edi\n"
    "  popl %esi\n"
    "  popl %ebp\n"
    "  ret\n");

/* Every call is made with the stack aligned to 16 bytes and again with it 4
 * bytes off; both must keep ESP balanced. */
static int CallParse(const char* src, const char* dest, char* err, int misalign) {
  void* args[3] = {(void*)src, (void*)dest, err};
  long moved = 1;
  const int result = CallMeasuringStack(parse_by_name, args, 3, misalign, &moved);
  if (moved != 0) printf("do3dsparse moved ESP by %ld bytes\n", moved);
  Check(moved == 0, "do3dsparse pops its 12 bytes of arguments");
  return result;
}

static int CallParseEx(const char* src, const char* dest, char* err, size_t size) {
  void* args[4] = {(void*)src, (void*)dest, err, (void*)size};
  long moved = 1;
  const int result = CallMeasuringStack(parse_ex_by_name, args, 4, 4, &moved);
  if (moved != 0) printf("do3dsparse_ex moved ESP by %ld bytes\n", moved);
  Check(moved == 0, "do3dsparse_ex pops its 16 bytes of arguments");
  return result;
}

#endif

static long FileSize(const char* path) {
  FILE* file = fopen(path, "rb");
  if (file == NULL) return -1;
  fseek(file, 0, SEEK_END);
  const long size = ftell(file);
  fclose(file);
  return size;
}

static int WriteBytes(const char* path, const void* data, size_t size) {
  FILE* file = fopen(path, "wb");
  if (file == NULL) return 0;
  const int ok = fwrite(data, 1, size, file) == size;
  return fclose(file) == 0 && ok;
}

#define kBufferSize 512
#define kFill 0x5A

static void FillBuffer(char* buffer) { memset(buffer, kFill, kBufferSize); }

static int BufferUntouchedFrom(const char* buffer, size_t from) {
  for (size_t i = from; i < kBufferSize; ++i)
    if ((unsigned char)buffer[i] != kFill) return 0;
  return 1;
}

static void ExpectMessage(const char* buffer, const char* expected, const char* what) {
  const int ok = memchr(buffer, '\0', kBufferSize) != NULL && strcmp(buffer, expected) == 0;
  if (!ok)
    printf("message was \"%.*s\", expected \"%s\"\n", (int)strnlen(buffer, kBufferSize), buffer,
           expected);
  Check(ok, what);
}

static void CheckExports(HMODULE dll) {
  FARPROC by_ordinal_1 = GetProcAddress(dll, MAKEINTRESOURCEA(1));
  FARPROC by_ordinal_2 = GetProcAddress(dll, MAKEINTRESOURCEA(2));
  Check(parse_by_name != NULL, "do3dsparse is exported by its plain name");
  Check(parse_ex_by_name != NULL, "do3dsparse_ex is exported by its plain name");
  Check(parse_by_name == by_ordinal_1, "ordinal 1 is do3dsparse");
  Check(parse_ex_by_name == by_ordinal_2, "ordinal 2 is do3dsparse_ex");
  Check(GetProcAddress(dll, MAKEINTRESOURCEA(3)) == NULL, "there is no ordinal 3");
  Check(
      GetProcAddress(dll, "_do3dsparse@12") == NULL && GetProcAddress(dll, "do3dsparse@12") == NULL,
      "no decorated name is exported");
}

static void CheckSuccess(const char* sample) {
  char err[kBufferSize];
  DeleteFileA("good.bmf");
  /* From the second call on, the destination exists and is replaced. */
  for (int misalign = 0; misalign < 16; misalign += 4) {
    FillBuffer(err);
    Check(CallParse(sample, "good.bmf", err, misalign) == 0, "the sample converts");
    Check(BufferUntouchedFrom(err, 0), "success leaves the message buffer untouched");
    Check(FileSize("good.bmf") > 4, "the sample's BMF file has blocks");
  }
}

static void CheckUnreadableSources(void) {
  static const char damaged[] = "this is not a 3DS file at all";
  Check(WriteBytes("damaged.3ds", damaged, sizeof damaged - 1), "damaged.3ds is written");
  const char* sources[] = {"no-such-model.3ds", "damaged.3ds"};
  for (int i = 0; i < 2; ++i) {
    char err[kBufferSize], expected[kBufferSize];
    FillBuffer(err);
    DeleteFileA("empty.bmf");
    Check(CallParse(sources[i], "empty.bmf", err, 4) == 1, "an unreadable source fails");
    snprintf(expected, sizeof expected, "Can't parse %s\n", sources[i]);
    ExpectMessage(err, expected, "an unreadable source gives \"Can't parse PATH\\n\"");
    Check(BufferUntouchedFrom(err, strlen(expected) + 1), "nothing is written past the message");
    Check(FileSize("empty.bmf") == 4, "an unreadable source still gives an empty BMF file");
  }
}

static void CheckMissingDirectory(const char* sample) {
  char err[kBufferSize];
  const char* dest = "no-such-dir/out.bmf";
  FillBuffer(err);
  Check(CallParse(sample, dest, err, 0) == 1, "a destination in a missing directory fails");
  ExpectMessage(err, "Can't open no-such-dir/out.bmf for writing",
                "a destination in a missing directory gives \"Can't open PATH for writing\"");
  /* The host goes on: the next call must still work. */
  FillBuffer(err);
  Check(CallParse(sample, "after.bmf", err, 0) == 0, "the host still converts afterwards");
}

static void CheckBoundedMessage(void) {
  char err[kBufferSize];
  FillBuffer(err);
  Check(CallParseEx("no-such-model.3ds", "empty.bmf", err, 10) == 1,
        "do3dsparse_ex reports an unreadable source");
  ExpectMessage(err, "Can't par", "do3dsparse_ex cuts the message to the buffer");
  Check(BufferUntouchedFrom(err, 10), "do3dsparse_ex writes nothing past its buffer");
}

/* Names outside ASCII reach the DLL in the process's ANSI code page: a model
 * is read and written under such names, and a missing one is named in the
 * message byte for byte. */
static void CheckNonAsciiNames(const char* sample) {
  static const wchar_t wide_src[] = L"mod\u00e8le \u00e9t\u00e9.3ds";
  static const wchar_t wide_dest[] = L"mod\u00e8le \u00e9t\u00e9.bmf";
  static const wchar_t wide_missing[] = L"\u00e4rger.3ds";
  char src[MAX_PATH], dest[MAX_PATH], missing[MAX_PATH];
  const UINT code_page = GetACP();
  BOOL lossy = FALSE;
  BOOL* lossy_out = code_page == CP_UTF8 ? NULL : &lossy;
  if (!WideCharToMultiByte(CP_ACP, 0, wide_src, -1, src, MAX_PATH, NULL, lossy_out) ||
      !WideCharToMultiByte(CP_ACP, 0, wide_dest, -1, dest, MAX_PATH, NULL, lossy_out) ||
      !WideCharToMultiByte(CP_ACP, 0, wide_missing, -1, missing, MAX_PATH, NULL, lossy_out) ||
      lossy) {
    printf("FAILED: the ANSI code page %u can't name the non-ASCII test files\n", code_page);
    ++failures;
    return;
  }
  wchar_t wide_sample[MAX_PATH];
  Check(MultiByteToWideChar(CP_ACP, 0, sample, -1, wide_sample, MAX_PATH) != 0 &&
            CopyFileW(wide_sample, wide_src, FALSE),
        "the sample is copied under a non-ASCII name");
  DeleteFileW(wide_dest);
  char err[kBufferSize];
  FillBuffer(err);
  Check(CallParse(src, dest, err, 0) == 0, "a model with a non-ASCII name converts");
  WIN32_FILE_ATTRIBUTE_DATA written;
  Check(
      GetFileAttributesExW(wide_dest, GetFileExInfoStandard, &written) && written.nFileSizeLow > 4,
      "the BMF is written under its non-ASCII name");
  char expected[kBufferSize];
  FillBuffer(err);
  Check(CallParseEx(missing, dest, err, kBufferSize) == 1, "a missing non-ASCII name fails");
  snprintf(expected, sizeof expected, "Can't parse %s\n", missing);
  ExpectMessage(err, expected, "the message names the missing file in the ANSI code page");
  DeleteFileW(wide_src);
  DeleteFileW(wide_dest);
}

/* Every call has renamed or removed its temporary file. */
static void CheckNoTemporaryFiles(void) {
  WIN32_FIND_DATAA found;
  HANDLE search = FindFirstFileA("*.tmp", &found);
  if (search != INVALID_HANDLE_VALUE) {
    printf("left behind: %s\n", found.cFileName);
    FindClose(search);
  }
  Check(search == INVALID_HANDLE_VALUE, "no temporary file is left behind");
}

/* OUTDIR/NAME.bmf for INPUT .../NAME.3ds */
static void OutputPathFor(const char* outdir, const char* input, char* out, size_t size) {
  const char* base = input;
  for (const char* p = input; *p != '\0'; ++p)
    if (*p == '/' || *p == '\\') base = p + 1;
  const char* dot = strrchr(base, '.');
  const int stem = dot != NULL ? (int)(dot - base) : (int)strlen(base);
  snprintf(out, size, "%s/%.*s.bmf", outdir, stem, base);
}

static void ConvertAll(const char* outdir, int count, char** inputs) {
  const Do3dsParse convert = (Do3dsParse)(AnyFunction)parse_by_name;
  for (int i = 0; i < count; ++i) {
    char dest[MAX_PATH], err[kBufferSize];
    OutputPathFor(outdir, inputs[i], dest, sizeof dest);
    FillBuffer(err);
    /* The plain call a host makes, through the typed __stdcall pointer. */
    const int result = convert(inputs[i], dest, err);
    if (result != 0) printf("%s: %.*s\n", inputs[i], (int)strnlen(err, kBufferSize), err);
    Check(result == 0, "an input converts through the DLL");
  }
}

int main(int argc, char** argv) {
  if (argc < 4) {
    fprintf(stderr, "usage: dll_host DLL SAMPLE OUTDIR [INPUT...]\n");
    return 2;
  }
  HMODULE dll = LoadLibraryA(argv[1]);
  if (dll == NULL) {
    printf("FAILED: LoadLibrary(%s): error %lu\n", argv[1], GetLastError());
    return 1;
  }
  parse_by_name = GetProcAddress(dll, "do3dsparse");
  parse_ex_by_name = GetProcAddress(dll, "do3dsparse_ex");
  CheckExports(dll);
  if (parse_by_name == NULL || parse_ex_by_name == NULL) return 1;

  CheckSuccess(argv[2]);
  CheckUnreadableSources();
  CheckMissingDirectory(argv[2]);
  CheckBoundedMessage();
  CheckNonAsciiNames(argv[2]);
  CheckNoTemporaryFiles();
  ConvertAll(argv[3], argc - 4, argv + 4);

  FreeLibrary(dll);
  printf("dll_host: %d passed, %d failed\n", passes, failures);
  return failures == 0 ? 0 : 1;
}

/* Prints the version resource of a Windows binary: its fixed file version
 * and the strings FileVersion, ProductVersion, ProductName, FileDescription
 * and OriginalFilename, one "name=value" per line. */
#include <stdio.h>
#include <stdlib.h>
#include <windows.h>

static void PrintString(const void* data, const char* name) {
  char query[128];
  char* value = NULL;
  UINT length = 0;
  snprintf(query, sizeof query, "\\StringFileInfo\\040904B0\\%s", name);
  if (VerQueryValueA(data, query, (void**)&value, &length) && length > 0)
    printf("%s=%s\n", name, value);
}

int main(int argc, char** argv) {
  DWORD handle = 0;
  DWORD size;
  void* data;
  VS_FIXEDFILEINFO* fixed = NULL;
  UINT length = 0;
  if (argc != 2) return 2;
  size = GetFileVersionInfoSizeA(argv[1], &handle);
  if (size == 0) {
    fprintf(stderr, "%s: no version resource\n", argv[1]);
    return 1;
  }
  data = malloc(size);
  if (data == NULL || !GetFileVersionInfoA(argv[1], 0, size, data)) return 1;
  if (VerQueryValueA(data, "\\", (void**)&fixed, &length) && fixed != NULL)
    printf("fixed=%lu.%lu.%lu\n", (unsigned long)HIWORD(fixed->dwFileVersionMS),
           (unsigned long)LOWORD(fixed->dwFileVersionMS),
           (unsigned long)HIWORD(fixed->dwFileVersionLS));
  PrintString(data, "FileVersion");
  PrintString(data, "ProductVersion");
  PrintString(data, "ProductName");
  PrintString(data, "FileDescription");
  PrintString(data, "OriginalFilename");
  free(data);
  return 0;
}

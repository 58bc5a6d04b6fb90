/* Converts a 3DS file through the C entry of the installed library. */
#include <stdio.h>
#include <torvik32c/torvik32c.h>

int main(int argc, char** argv) {
  char error[4096] = "";
  if (argc != 3) return 2;
  if (do3dsparse_ex(argv[1], argv[2], error, sizeof error) != 0) {
    fprintf(stderr, "%s\n", error);
    return 1;
  }
  return 0;
}

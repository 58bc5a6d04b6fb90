/* A host that links torvik32c.dll through its import library and the
 * project's header, as a program built against the library does.
 *
 *   import_host SAMPLE
 *
 * Converts SAMPLE, and an input that does not exist, through the imported
 * do3dsparse and do3dsparse_ex.  Exits 0 when every check passed. */
#include <stdio.h>
#include <string.h>

#include "host_check.h"
#include "torvik32c/torvik32c.h"

int main(int argc, char** argv) {
  if (argc != 2) {
    fprintf(stderr, "usage: import_host SAMPLE\n");
    return 2;
  }
  char err[128];
  memset(err, 'x', sizeof err);
  err[sizeof err - 1] = '\0';
  Check(do3dsparse(argv[1], "imported.bmf", err) == 0, "the imported do3dsparse converts");
  Check(err[0] == 'x' && err[1] == 'x', "success leaves the message buffer untouched");

  char message[42 + 1];
  Check(do3dsparse_ex("missing.3ds", "missing.bmf", message, sizeof message) == 1,
        "the imported do3dsparse_ex reports an unreadable source");
  Check(strcmp(message, "Can't parse missing.3ds\n") == 0, "with its message");

  printf("import_host: %d passed, %d failed\n", passes, failures);
  return failures == 0 ? 0 : 1;
}

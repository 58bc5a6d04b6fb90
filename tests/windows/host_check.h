/* The checks of the Windows host programs: each one that fails is printed,
 * and the program ends by printing how many passed and failed. */
#ifndef TORVIK32C_TESTS_WINDOWS_HOST_CHECK_H
#define TORVIK32C_TESTS_WINDOWS_HOST_CHECK_H

#include <stdio.h>

static int failures = 0;
static int passes = 0;

static void Check(int ok, const char* what) {
  if (ok) {
    ++passes;
  } else {
    ++failures;
    printf("FAILED: %s\n", what);
  }
}

#endif

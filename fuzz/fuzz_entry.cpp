// The prepare and info targets: each runs its entry of the test-support
// library (QUORIX_FUZZ_ENTRY, from tests/support/fuzz_one.h, where the
// options and invariants are told) and stops at the first invariant that
// fails.
#include <stdio.h>
#include <stdlib.h>

#include "tests/support/fuzz_one.h"

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, size_t size) {
  FuzzResult r = QUORIX_FUZZ_ENTRY(data, size);
  if (r.failed) {
    fprintf(stderr, "invariant failed (%s): %s\n", r.outcome, r.failed);
    abort();
  }
  return 0;
}

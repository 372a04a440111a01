// mkpackage's reader of PE files it is given: any bytes. A resource it finds
// lies wholly inside the file.
#include "tests/fuzz/fuzz_input.h"
#include "tools/mkpackage_pe.h"

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, size_t size) {
  size_t offset = 0;
  uint32_t length = 0;
  if (FindPeResource(data, size, 10, 100, &offset, &length)) {
    FUZZ_CHECK(offset <= size && length <= size - offset);
  }
  return 0;
}

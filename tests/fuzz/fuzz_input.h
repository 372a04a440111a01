// What the fuzz targets share: the fuzzer's bytes read as the fields a
// reader takes, and the check that stops a run at a broken promise.
#pragma once

#include <cstdint>
#include <cstdio>
#include <cstdlib>
#include <cstring>
#include <string>

// Stops the run when a reader breaks a promise: libFuzzer keeps the input.
#define FUZZ_CHECK(condition)                                                     \
  do {                                                                            \
    if (!(condition)) {                                                           \
      std::fprintf(stderr, "%s:%d: promise broken: %s\n", __FILE__, __LINE__, #condition); \
      std::abort();                                                               \
    }                                                                             \
  } while (0)

// The bytes, taken from the front.
struct FuzzInput {
  const uint8_t* data;
  size_t size;

  template <typename T>
  T Take() {
    T value{};
    const size_t n = size < sizeof value ? size : sizeof value;
    std::memcpy(&value, data, n);
    data += n;
    size -= n;
    return value;
  }
  // The rest as a NUL-terminated text.
  std::string Text() const { return std::string(reinterpret_cast<const char*>(data), size); }
};

#pragma once
// What the process holds in memory, for tests that check it stays flat over
// long runs: resident bytes (/proc/self/statm) and the bytes the heap has
// handed out and not taken back (glibc's mallinfo2 over every arena, mmapped
// blocks included). Under AddressSanitizer both figures are the sanitizer
// allocator's (its quarantine keeps freed blocks for a while), so the tests
// skip their comparisons there and rely on its leak check at exit instead.
#include <malloc.h>
#include <unistd.h>

#include <cstdint>
#include <cstdio>

inline bool memoryFiguresMeaningful() {
#if defined(__SANITIZE_ADDRESS__)
  return false;
#elif defined(__has_feature)
#if __has_feature(address_sanitizer)
  return false;
#endif
#endif
  return true;
}

inline int64_t residentBytes() {
  long pages = 0;
  long resident = 0;
  std::FILE* statm = std::fopen("/proc/self/statm", "r");
  if (statm == nullptr) return -1;
  const bool read = std::fscanf(statm, "%ld %ld", &pages, &resident) == 2;
  std::fclose(statm);
  return read ? int64_t{resident} * sysconf(_SC_PAGESIZE) : -1;
}

inline int64_t heapBytesInUse() {
  const struct mallinfo2 info = mallinfo2();
  return static_cast<int64_t>(info.uordblks + info.hblkhd);
}

// Both figures at one moment; free heap pages are first given back so that
// the resident size follows what is in use.
struct MemoryUse {
  int64_t resident = 0;
  int64_t heap = 0;

  static MemoryUse now() {
    malloc_trim(0);
    return {residentBytes(), heapBytesInUse()};
  }
};

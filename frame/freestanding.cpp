// freestanding.cpp -- the few C library routines the compiler may call
//
// Tessera.DLL links no C runtime, so that it imports from KERNEL32.dll
// alone; these stand in for the routines the generated code can still call.
// Built with -fno-builtin so that the loops are not turned back into calls
// to the very functions they define.
#include <cstddef>

extern "C" {

std::size_t strlen(const char* text) {
  const char* end = text;
  while (*end) ++end;
  return static_cast<std::size_t>(end - text);
}

std::size_t strnlen(const char* text, std::size_t most) {
  std::size_t n = 0;
  while (n < most && text[n]) ++n;
  return n;
}

int memcmp(const void* a, const void* b, std::size_t n) {
  const auto* x = static_cast<const unsigned char*>(a);
  const auto* y = static_cast<const unsigned char*>(b);
  for (std::size_t i = 0; i < n; ++i)
    if (x[i] != y[i]) return x[i] < y[i] ? -1 : 1;
  return 0;
}

void* memcpy(void* to, const void* from, std::size_t n) {
  auto* d = static_cast<unsigned char*>(to);
  const auto* s = static_cast<const unsigned char*>(from);
  for (std::size_t i = 0; i < n; ++i) d[i] = s[i];
  return to;
}

void* memset(void* to, int value, std::size_t n) {
  auto* d = static_cast<unsigned char*>(to);
  for (std::size_t i = 0; i < n; ++i) d[i] = static_cast<unsigned char>(value);
  return to;
}

}  // extern "C"

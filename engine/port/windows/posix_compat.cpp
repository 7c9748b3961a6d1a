#include "engine/port/windows/posix_compat.h"

extern "C" void* memrchr(const void* s, int c, size_t n) {
  const auto* bytes = static_cast<const unsigned char*>(s);
  const auto wanted = static_cast<unsigned char>(c);
  while (n > 0) {
    --n;
    if (bytes[n] == wanted) return const_cast<unsigned char*>(bytes + n);
  }
  return nullptr;
}

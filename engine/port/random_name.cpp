#include "engine/port/random_name.h"

#if !defined(_WIN32)
#include <sys/random.h>
#endif

#include <cerrno>
#include <cstdint>
#include <random>

namespace kelm::port {

namespace {

constexpr char kAlphabet[] = "abcdefghijklmnopqrstuvwxyz0123456789";
constexpr unsigned kAlphabetSize = sizeof kAlphabet - 1;

// Fills `bytes` from the system's random source.
void RandomBytes(uint8_t* bytes, size_t count) {
#if defined(_WIN32)
  // The C library's rand_s behind it: the system's cryptographic source.
  std::random_device device;
  for (size_t i = 0; i < count; ++i) bytes[i] = static_cast<uint8_t>(device());
#else
  // getrandom opens no descriptor (none can leak into a child) and blocks
  // only before the kernel's pool is first ready, at boot.
  size_t done = 0;
  while (done < count) {
    const ssize_t got = getrandom(bytes + done, count - done, 0);
    if (got < 0) {
      if (errno == EINTR) continue;
      // A kernel without the call: the C++ library's source instead.
      std::random_device device;
      for (; done < count; ++done) bytes[done] = static_cast<uint8_t>(device());
      break;
    }
    done += static_cast<size_t>(got);
  }
#endif
}

}  // namespace

std::string UnpredictableName(size_t length) {
  std::string name;
  name.reserve(length);
  uint8_t byte = 0;
  while (name.size() < length) {
    RandomBytes(&byte, 1);
    // 252 = 7 * 36: the values above it would favour the first letters.
    if (byte >= 252) continue;
    name += kAlphabet[byte % kAlphabetSize];
  }
  return name;
}

}  // namespace kelm::port

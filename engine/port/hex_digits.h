// Hexadecimal digits both ways: the digit of a four-bit value, and the value
// of a digit. One copy for every part of the program that shows or reads hex.
#pragma once

namespace kelm::port {

// The digit of the low four bits of `value`: 0-9 then A-F (a-f when
// `lowerCase`).
constexpr char HexDigit(unsigned value, bool lowerCase = false) {
  constexpr char kUpper[] = "0123456789ABCDEF";
  constexpr char kLower[] = "0123456789abcdef";
  return (lowerCase ? kLower : kUpper)[value & 0xF];
}

// The value of a hexadecimal digit of either case, or -1 for any other
// character (any character type: char, char16_t, char32_t).
constexpr int HexDigitValue(char32_t c) {
  if (c >= U'0' && c <= U'9') return static_cast<int>(c - U'0');
  if (c >= U'A' && c <= U'F') return static_cast<int>(c - U'A') + 10;
  if (c >= U'a' && c <= U'f') return static_cast<int>(c - U'a') + 10;
  return -1;
}

}  // namespace kelm::port

#pragma once

#include <cstdio>
#include <cstdlib>
#include <string>
#include <string_view>

namespace stylor::fuzz {

/// Stops the run with a message the fuzzer shows beside the input that caused it.
[[noreturn]] inline void Fail(std::string_view what, std::string_view detail) {
  std::fprintf(stderr, "\n*** %.*s: [%.*s]\n", static_cast<int>(what.size()), what.data(),
               static_cast<int>(detail.size()), detail.data());
  std::abort();
}

inline bool IsDigit(char c) { return c >= '0' && c <= '9'; }

/// Integer digits of the largest value a program may hold: the move writer refuses anything
/// from 1e9 on, which rounds to at most ten digits.
inline constexpr std::size_t kMaxIntegerDigits = 10;

/// True for a number as the machine reads it: -?[0-9]+\.[0-9]{decimals}, no exponent, no inf or
/// nan, and no more integer digits than a machine value has.
inline bool IsMachineNumber(std::string_view text, std::size_t decimals) {
  std::size_t pos = 0;
  if (pos < text.size() && text[pos] == '-') ++pos;
  const std::size_t integerStart = pos;
  while (pos < text.size() && IsDigit(text[pos])) ++pos;
  const std::size_t integerDigits = pos - integerStart;
  if (integerDigits == 0 || integerDigits > kMaxIntegerDigits) return false;
  if (pos == text.size() || text[pos] != '.') return false;
  ++pos;
  if (text.size() - pos != decimals) return false;
  for (; pos < text.size(); ++pos) {
    if (!IsDigit(text[pos])) return false;
  }
  return true;
}

/// True for -?[0-9]+ of at most eleven digits (a 32-bit G, M or N number).
inline bool IsInteger(std::string_view text) {
  std::size_t pos = 0;
  if (pos < text.size() && text[pos] == '-') ++pos;
  const std::size_t digits = text.size() - pos;
  if (digits == 0 || digits > 11) return false;
  for (; pos < text.size(); ++pos) {
    if (!IsDigit(text[pos])) return false;
  }
  return true;
}

inline bool IsAxisLetter(char c) { return (c >= 'A' && c <= 'Z') || (c >= 'a' && c <= 'z'); }

/// True for a line of the move writer: "G<int>", then up to three axis words " <letter><number
/// with 4 decimals>", then an optional " F<number with 2 decimals>", then an optional " M<int>".
inline bool IsMoveLine(std::string_view line) {
  if (line.empty() || line[0] != 'G') return false;
  std::size_t end = line.find(' ');
  if (!IsInteger(line.substr(1, end == std::string_view::npos ? end : end - 1))) return false;
  int axisWords = 0;
  bool feed = false;
  bool direction = false;
  while (end != std::string_view::npos) {
    const std::size_t start = end + 1;
    end = line.find(' ', start);
    const std::string_view word =
        line.substr(start, end == std::string_view::npos ? end : end - start);
    if (word.size() < 2 || direction) return false;
    const std::string_view number = word.substr(1);
    if (IsAxisLetter(word[0]) && IsMachineNumber(number, 4) && !feed && axisWords < 3) {
      ++axisWords;
    } else if (word[0] == 'F' && IsMachineNumber(number, 2) && !feed) {
      feed = true;
    } else if (word[0] == 'M' && IsInteger(number)) {
      direction = true;
    } else {
      return false;
    }
  }
  return true;
}

/// Calls `line` for every line of program bytes; each line must end with CR LF.
template <typename LineCheck>
void ForEachProgramLine(std::string_view bytes, LineCheck&& line) {
  while (!bytes.empty()) {
    const std::size_t end = bytes.find("\r\n");
    if (end == std::string_view::npos) Fail("program text does not end with CR LF", bytes);
    line(bytes.substr(0, end));
    bytes.remove_prefix(end + 2);
  }
}

}  // namespace stylor::fuzz

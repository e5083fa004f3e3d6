// One line of an intermediate track file, read back into numbers (and a text item's text).
#pragma once

#include <array>
#include <cstddef>
#include <string>
#include <string_view>

namespace vellumix {

// The longest item, a line (code 4), has twelve numbers.
inline constexpr std::size_t kMaxItemFields = 12;
inline constexpr float kTextItemCode = 16.0f;

struct TrackLine {
  std::array<float, kMaxItemFields> fields{};  // fields not on the line read 0
  std::size_t count = 0;                       // numbers found on the line
  std::string text;                            // text items only

  float Field(std::size_t i) const { return i < fields.size() ? fields[i] : 0.0f; }
  float Code() const { return fields[0]; }
  float Position() const { return fields[1]; }
};

// Splits `line` on blanks into at most twelve numbers (more are ignored). A word that does not
// start with a number reads 0, as atof would; "12abc" reads 12. A position (field 1) that is
// negative or not a number becomes 0. For a text item only three numbers are read and the text is
// what follows the blank after the third; the line end (LF or CR LF) is never part of it.
TrackLine ParseTrackLine(std::string_view line);

}  // namespace vellumix

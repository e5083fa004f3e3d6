#include "engine/track_line.h"

#include <charconv>

namespace vellumix {
namespace {

bool IsBlank(char c) {
  return c == ' ' || c == '\t';
}

// The leading number of `word`; 0 when it has none. from_chars takes no '+' sign, so one is
// skipped here; it also never looks at the locale.
float LeadingNumber(std::string_view word) {
  if (!word.empty() && word.front() == '+') word.remove_prefix(1);
  float value = 0.0f;
  auto r = std::from_chars(word.data(), word.data() + word.size(), value);
  if (r.ec == std::errc::result_out_of_range) {
    // Too large or too small for a float: a clear sign of garbage, read like an empty word.
    return 0.0f;
  }
  return r.ec == std::errc() ? value : 0.0f;
}

}  // namespace

TrackLine ParseTrackLine(std::string_view line) {
  while (!line.empty() && (line.back() == '\n' || line.back() == '\r')) line.remove_suffix(1);

  TrackLine out;
  std::size_t pos = 0;
  std::size_t limit = kMaxItemFields;
  while (out.count < limit) {
    while (pos < line.size() && IsBlank(line[pos])) ++pos;
    if (pos >= line.size()) break;
    std::size_t end = pos;
    while (end < line.size() && !IsBlank(line[end])) ++end;
    out.fields[out.count++] = LeadingNumber(line.substr(pos, end - pos));
    pos = end;
    if (out.count == 1 && out.fields[0] == kTextItemCode) limit = 3;
  }
  if (out.fields[0] == kTextItemCode && out.count == 3 && pos < line.size()) {
    // The writer puts the text directly after the blank that ends the third number.
    out.text = std::string(line.substr(pos + 1));
  }
  if (!(out.fields[1] >= 0.0f)) out.fields[1] = 0.0f;
  return out;
}

}  // namespace vellumix

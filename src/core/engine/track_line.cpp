#include "engine/track_line.h"

#include <cstdio>

#include <algorithm>
#include <bit>
#include <charconv>
#include <cstdint>
#include <cstring>

namespace vellumix {
namespace {

bool IsBlank(char c) {
  return c == ' ' || c == '\t';
}

// The numbers the writer puts there ("-12.5000") read without from_chars' general-purpose cost.
// At most 15 digits make the integer and the power of ten exact in a double, so the quotient is
// the correctly rounded double; it rounds to the same float as the decimal itself unless it lies
// exactly halfway between two floats, which is left to from_chars, as are exponents.
bool PlainDecimal(std::string_view word, float& value) {
  std::size_t i = 0;
  const bool negative = i < word.size() && word[i] == '-';
  if (negative) ++i;
  std::uint64_t digits = 0;
  int count = 0;
  int fraction = 0;
  const std::size_t start = i;
  for (; i < word.size() && word[i] >= '0' && word[i] <= '9'; ++i, ++count)
    digits = digits * 10 + static_cast<unsigned>(word[i] - '0');
  if (i == start) return false;
  if (i < word.size() && word[i] == '.') {
    const std::size_t point = ++i;
    for (; i < word.size() && word[i] >= '0' && word[i] <= '9'; ++i, ++count)
      digits = digits * 10 + static_cast<unsigned>(word[i] - '0');
    fraction = static_cast<int>(i - point);
    if (fraction == 0) return false;
  }
  if (count > 15 || (i < word.size() && (word[i] == 'e' || word[i] == 'E'))) return false;
  static constexpr double kPowers[] = {1e0, 1e1, 1e2,  1e3,  1e4,  1e5,  1e6,  1e7,
                                       1e8, 1e9, 1e10, 1e11, 1e12, 1e13, 1e14, 1e15};
  const double quotient = static_cast<double>(digits) / kPowers[fraction];
  if ((std::bit_cast<std::uint64_t>(quotient) & 0x1FFFFFFFu) == 0x10000000u) return false;
  value = static_cast<float>(negative ? -quotient : quotient);
  return true;
}

// The leading number of `word`; 0 when it has none. from_chars takes no '+' sign, so one is
// skipped here; it also never looks at the locale.
float LeadingNumber(std::string_view word) {
  if (!word.empty() && word.front() == '+') word.remove_prefix(1);
  if (float fast; PlainDecimal(word, fast)) return fast;
  float value = 0.0f;
  auto r = std::from_chars(word.data(), word.data() + word.size(), value);
  if (r.ec == std::errc::result_out_of_range) {
    // Too large or too small for a float: a clear sign of garbage, read like an empty word.
    return 0.0f;
  }
  return r.ec == std::errc() ? value : 0.0f;
}

}  // namespace

float ReadTrackNumber(std::string_view word) {
  return LeadingNumber(word);
}

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

float TrackLineFields::At(std::size_t i) {
  for (;;) {
    while (pos_ < line_.size() && IsBlank(line_[pos_])) ++pos_;
    if (pos_ >= line_.size()) return 0.0f;
    std::size_t end = pos_;
    while (end < line_.size() && !IsBlank(line_[end])) ++end;
    const std::size_t word = index_;
    if (word < i) {
      pos_ = end;
      ++index_;
      continue;
    }
    return word == i ? LeadingNumber(line_.substr(pos_, end - pos_)) : 0.0f;
  }
}

float TrackLineFields::Position() {
  const float x = At(1);
  return x >= 0.0f ? x : 0.0f;
}

bool ReadLine(std::FILE* file, std::string& line, bool& ended, std::int64_t* consumed) {
  line.clear();
  ended = false;
  char chunk[4096];
  bool any = false;
  for (;;) {
    // Filled with line feeds first, the terminator fgets writes is the last NUL: a NUL byte in
    // a damaged file neither cuts the line short nor throws the byte count off.
    std::memset(chunk, '\n', sizeof chunk);
    if (std::fgets(chunk, sizeof chunk, file) == nullptr) break;
    any = true;
    const auto* end = static_cast<const char*>(::memrchr(chunk, '\0', sizeof chunk));
    const auto n = static_cast<std::size_t>(end - chunk);
    if (consumed != nullptr) *consumed += static_cast<std::int64_t>(n);
    if (n > 0 && chunk[n - 1] == '\n') {
      line.append(chunk, n - 1);
      ended = true;
      break;
    }
    line.append(chunk, n);
  }
  if (!line.empty() && line.back() == '\r') line.pop_back();
  return any;
}

void StoredTrackLines::Add(const TrackLine& line) {
  const bool hasText = !line.text.empty();
  starts_.push_back(static_cast<std::uint32_t>(fields_.size() << 5) | (hasText ? 16u : 0u) |
                    static_cast<std::uint32_t>(line.count));
  fields_.insert(fields_.end(), line.fields.begin(),
                 line.fields.begin() + static_cast<std::ptrdiff_t>(line.count));
  if (hasText) texts_.emplace_back(starts_.size() - 1, line.text);
}

void StoredTrackLines::Get(std::size_t i, TrackLine& out) const {
  const std::uint32_t start = starts_[i];
  out.count = start & 15u;
  const float* first = fields_.data() + (start >> 5);
  std::copy(first, first + out.count, out.fields.begin());
  std::fill(out.fields.begin() + static_cast<std::ptrdiff_t>(out.count), out.fields.end(), 0.0f);
  out.text.clear();
  if ((start & 16u) != 0) {
    auto it = std::lower_bound(texts_.begin(), texts_.end(), i,
                               [](const auto& t, std::size_t line) { return t.first < line; });
    out.text = it->second;
  }
}

void StoredTrackLines::Clear() {
  std::vector<float>().swap(fields_);
  std::vector<std::uint32_t>().swap(starts_);
  texts_.clear();
}

LinesAhead::Iterator LinesAhead::begin() const {
  Iterator it;
  it.owner_ = this;
  it.done_ = false;
  it.index_ = first_;
  if (file_ != nullptr && std::fseek(file_, static_cast<long>(offset_), SEEK_SET) != 0) {
    it.done_ = true;
    return it;
  }
  it.Next();
  return it;
}

void LinesAhead::Iterator::Next() {
  if (done_) return;
  if (owner_->stored_ != nullptr) {
    if (index_ >= owner_->stored_->Size()) {
      done_ = true;
      return;
    }
    owner_->stored_->Get(index_++, line_);
    return;
  }
  if (owner_->file_ == nullptr) {
    if (index_ >= owner_->lines_.size()) {
      done_ = true;
      return;
    }
    line_ = ParseTrackLine(owner_->lines_[index_++]);
    return;
  }
  bool ended = false;
  if (!ReadLine(owner_->file_, buffer_, ended)) {
    done_ = true;
    return;
  }
  line_ = ParseTrackLine(buffer_);
}

}  // namespace vellumix

// One line of an intermediate track file, read back into numbers (and a text item's text).
#pragma once

#include <array>
#include <cstddef>
#include <cstdint>
#include <cstdio>
#include <span>
#include <string>
#include <string_view>
#include <utility>
#include <vector>

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

// One word of a track line as ParseTrackLine reads it: its leading number, else 0.
float ReadTrackNumber(std::string_view word);

// A first look at a track line: its numbers read one at a time, in ascending field order, the
// words between skipped unread. Read as ParseTrackLine reads them (a text item: its first three).
class TrackLineFields {
 public:
  explicit TrackLineFields(std::string_view line) : line_(line) {}
  // Field `i`, at or after the last one asked for; 0 when the line has none.
  float At(std::size_t i);
  // Field 1, as ParseTrackLine keeps it (0 for a negative position or one not a number).
  float Position();

 private:
  std::string_view line_;
  std::size_t pos_ = 0;
  std::size_t index_ = 0;  // of the word at pos_
};

// Reads one line (without its LF or CR LF) from `file` into `line`; false at the end of the file.
// `ended` tells whether the line had its line end; `consumed` (when given) grows by the bytes read.
bool ReadLine(std::FILE* file, std::string& line, bool& ended, std::int64_t* consumed = nullptr);

// The lines of a track file as ParseTrackLine reads them back, kept by the run that writes them
// so that the MIDI half need not read and parse them again.
class StoredTrackLines {
 public:
  void Add(const TrackLine& line);
  std::size_t Size() const { return starts_.size(); }
  // Line `i` (below Size()) into `out`.
  void Get(std::size_t i, TrackLine& out) const;
  void Clear();

 private:
  std::vector<float> fields_;
  // Per line: where its fields start in fields_ (from bit 5), whether it has a text (bit 4) and
  // how many fields it has (bits 0-3).
  std::vector<std::uint32_t> starts_;
  std::vector<std::pair<std::size_t, std::string>> texts_;  // by line, in line order
};

// The lines of a track after the current one, read back on demand so that a long track need not
// be held in memory: from a list of line texts, from the lines a run kept, or from an open file
// at a byte offset. One pass at a time; each begin() starts again from the first line ahead.
class LinesAhead {
 public:
  LinesAhead() = default;
  LinesAhead(std::span<const std::string_view> lines) : lines_(lines) {}  // NOLINT: a view
  LinesAhead(const StoredTrackLines& stored, std::size_t first)
      : stored_(&stored), first_(first) {}
  LinesAhead(std::FILE* file, std::int64_t offset) : file_(file), offset_(offset) {}

  class Iterator {
   public:
    using value_type = TrackLine;
    using difference_type = std::ptrdiff_t;
    const TrackLine& operator*() const { return line_; }
    Iterator& operator++() {
      Next();
      return *this;
    }
    bool operator==(const Iterator& other) const { return done_ == other.done_ && done_; }

   private:
    friend class LinesAhead;
    void Next();
    const LinesAhead* owner_ = nullptr;
    std::size_t index_ = 0;
    std::string buffer_;
    TrackLine line_;
    bool done_ = true;
  };

  Iterator begin() const;
  Iterator end() const { return Iterator{}; }

 private:
  std::span<const std::string_view> lines_;
  const StoredTrackLines* stored_ = nullptr;
  std::size_t first_ = 0;
  std::FILE* file_ = nullptr;
  std::int64_t offset_ = 0;
};

}  // namespace vellumix

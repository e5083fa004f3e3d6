// The engine's records: what the interpretation produces and keeps between items. Plain values
// held in standard containers; nothing asks a record for its class at run time, so there is no
// common base class.
#pragma once

#include <cstddef>
#include <cstdint>
#include <span>
#include <string>
#include <vector>

namespace vellumix {

// MIDI ticks per quarter note, fixed for every file we write.
inline constexpr int kTicksPerQuarter = 120;

// Ticks computed in float from values read with four decimals fall a hair short of a whole tick
// (a triplet eighth is 0.3333 quarters, 39.996 ticks); such a tick is taken as the whole one.
// Truncation would put the second and third notes of a triplet on ticks 39 and 79.
inline constexpr double kTickTolerance = 0.1;
inline double SnapTick(double ticks) {
  if (!(ticks > 0.0 && ticks < 1e15)) return ticks;
  const auto whole = static_cast<double>(static_cast<std::int64_t>(ticks));
  return ticks - whole > 1.0 - kTickTolerance ? whole + 1.0 : ticks;
}

// One bar of the piece, from the bar file.
struct CBar {
  float rightEnd = 0.0f;              // Score units
  float length = 0.0f;                // quarter notes
  std::int32_t numerator = 0;         // 0: same as the bar before
  std::int32_t denominatorPower = 0;  // 2 = quarter, 3 = eighth; 0: same as before
  std::int32_t barlineType = 0;
  std::int32_t firstOfSystem = 0;  // 0 or 1
  std::int32_t ending = 0;         // 1 or 2 under a first or second ending bracket, else 0
};

// Where play goes on when the repeat comes to bar `k`, a first ending: the first bar after the
// first-ending bars that start at `k` (the size of the list when they end the piece).
inline std::size_t BarAfterFirstEnding(std::span<const CBar> bars, std::size_t k) {
  while (k < bars.size() && bars[k].ending == 1) ++k;
  return k;
}

struct CTempoEvent {
  std::int32_t tick = 0;   // absolute
  std::int32_t tempo = 0;  // quarter notes per minute, 1..500
  std::int32_t state = 0;  // 0 normal, 1 from a fermata rule, -1 cancelled (not written)
};

// A channel message of the current bar. Bytes are stored as bytes so that nothing out of the
// MIDI range can be carried to the writer.
struct CBarDataEvent {
  std::int32_t tick = 0;  // bar tick; negative for grace notes placed before the barline
  std::uint8_t status = 0;
  std::uint8_t data1 = 0;
  std::uint8_t data2 = 0;
  std::uint8_t tag = 0;  // the written pitch, not written to the file
};

struct CMidiDataEvent {
  std::int32_t delta = 0;  // ticks since the previous event of the track
  std::uint8_t status = 0;
  std::uint8_t data1 = 0;
  std::uint8_t data2 = 0;  // not written for 0xC0..0xDF
};

// A rhythmic value still sounding in the current bar.
struct CDurationEvent {
  float start = 0.0f;  // bar ticks
  float end = 0.0f;
};

struct CGracenoteEvent {
  float start = 0.0f;  // bar ticks
  float end = 0.0f;
  std::uint8_t pitch = 0;
  std::uint8_t velocity = 0;
  std::uint8_t tag = 0;
  // A percussion-mapped grace note keeps the map's channel, as its main note would.
  std::uint8_t channel = 0;
};

// A tie read from a slur or a line; the last five fields are filled by the note it takes.
struct CTieEvent {
  float step = 0.0f;
  float left = 0.0f;        // Score units
  float right = 0.0f;       // Score units
  std::int32_t start = 0;   // bar tick of the first note
  std::int32_t length = 0;  // ticks
  std::int32_t soundingPitch = 0;
  std::int32_t writtenPitch = 0;
  std::int32_t velocity = 0;
};

// A note whose note-off waits for the note a tie continues it into.
struct CTiedPitchEvent {
  std::int32_t offTick = 0;  // bar tick
  std::uint8_t soundingPitch = 0;
  std::uint8_t writtenPitch = 0;
  std::uint8_t velocity = 0;
  // The held note ends on the channel it started on, even when a percussion map moved it.
  std::uint8_t channel = 0;
};

struct CLyricEvent {
  std::int32_t tick = 0;  // absolute
  std::string text;
};

// A span slot: a special, an octave line or a tremolo in force up to a position.
struct CSpecialEvent {
  bool active = false;
  float end = 0.0f;  // Score units
};

// Written pitch to sounding pitch and channel for a percussion instrument; the first entry whose
// "from" matches wins.
class PercussionMap {
 public:
  struct Entry {
    std::uint8_t from = 0;
    std::uint8_t to = 0;
    std::uint8_t channel = 0;  // 1..16; 0 (or anything above 16): the instrument's own channel
  };

  void Clear() { entries_.clear(); }
  void Add(std::uint8_t from, std::uint8_t to, std::uint8_t channel) {
    entries_.push_back({from, to, channel});
  }
  // The first entry for `pitch`, or null.
  const Entry* Find(int pitch) const {
    for (const Entry& e : entries_)
      if (e.from == pitch) return &e;
    return nullptr;
  }
  const std::vector<Entry>& Entries() const { return entries_; }

 private:
  std::vector<Entry> entries_;
};

}  // namespace vellumix

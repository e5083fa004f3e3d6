// Milliseconds to ticks and back through a MIDI file's tempo changes, so that a position the user
// sees as time can be found in the file and the other way round.
#pragma once

#include <cstdint>
#include <vector>

#include "midi/reader.h"

namespace vellumix::playback {

class TempoMap {
 public:
  // 120 quarter notes a minute until the file's first tempo event; time-code divisions run at
  // their fixed rate.
  explicit TempoMap(const MidiFile& file);

  double TicksToMs(std::int64_t tick) const;
  // The last tick that starts at or before `ms`.
  std::int64_t MsToTicks(double ms) const;
  // The tempo in force at `tick`, in quarter notes a minute.
  double BpmAt(std::int64_t tick) const;
  // Where the last track ends.
  std::int64_t EndTick() const { return endTick_; }
  double LengthMs() const { return TicksToMs(endTick_); }

 private:
  struct Segment {
    std::int64_t tick;
    double ms;
    double msPerTick;
    std::uint32_t perQuarter;  // microseconds; 0 for time-code divisions
  };
  const Segment& At(std::int64_t tick) const;

  std::vector<Segment> segments_;  // by tick, the first at tick 0
  std::int64_t endTick_ = 0;
};

}  // namespace vellumix::playback

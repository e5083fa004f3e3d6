#include "playback/tempo_map.h"

#include <algorithm>
#include <cmath>
#include <utility>

namespace vellumix::playback {

namespace {
constexpr std::uint32_t kDefaultPerQuarter = 500000;
}

TempoMap::TempoMap(const MidiFile& file) {
  for (const MidiTrack& track : file.tracks) endTick_ = std::max(endTick_, track.endTick);
  if (file.division & 0x8000) {
    // Frames a second in the upper byte (negative; 29 is 29.97), ticks a frame in the lower.
    int fps = -static_cast<signed char>(file.division >> 8);
    double rate = (fps == 29 ? 29.97 : fps) * (file.division & 0xFF);
    segments_.push_back({0, 0.0, rate > 0 ? 1000.0 / rate : 0.0, 0});
    return;
  }
  int division = file.division > 0 ? file.division : 1;
  std::vector<std::pair<std::int64_t, std::uint32_t>> tempos;
  for (const MidiTrack& track : file.tracks)
    for (const MidiEvent& e : track.events)
      if (e.status == 0xFF && e.metaType == 0x51 && e.data.size() == 3)
        tempos.emplace_back(
            e.tick, static_cast<std::uint32_t>(e.data[0] << 16 | e.data[1] << 8 | e.data[2]));
  std::stable_sort(tempos.begin(), tempos.end(),
                   [](const auto& a, const auto& b) { return a.first < b.first; });
  auto msPerTick = [division](std::uint32_t perQuarter) { return perQuarter / 1000.0 / division; };
  segments_.push_back({0, 0.0, msPerTick(kDefaultPerQuarter), kDefaultPerQuarter});
  for (const auto& [tick, perQuarter] : tempos) {
    Segment& last = segments_.back();
    if (tick == last.tick) {  // the later of two at one tick wins
      last.msPerTick = msPerTick(perQuarter);
      last.perQuarter = perQuarter;
      continue;
    }
    double ms = last.ms + static_cast<double>(tick - last.tick) * last.msPerTick;
    segments_.push_back({tick, ms, msPerTick(perQuarter), perQuarter});
  }
}

const TempoMap::Segment& TempoMap::At(std::int64_t tick) const {
  auto next = std::upper_bound(segments_.begin(), segments_.end(), tick,
                               [](std::int64_t t, const Segment& s) { return t < s.tick; });
  return next == segments_.begin() ? segments_.front() : *(next - 1);
}

double TempoMap::TicksToMs(std::int64_t tick) const {
  const Segment& s = At(tick);
  return s.ms + static_cast<double>(tick - s.tick) * s.msPerTick;
}

std::int64_t TempoMap::MsToTicks(double ms) const {
  ms = std::max(ms, 0.0);
  auto next = std::upper_bound(segments_.begin(), segments_.end(), ms,
                               [](double m, const Segment& s) { return m < s.ms; });
  const Segment& s = next == segments_.begin() ? segments_.front() : *(next - 1);
  if (s.msPerTick <= 0) return s.tick;
  // A hair of slack so that a time computed from a tick maps back to that tick.
  return s.tick + static_cast<std::int64_t>(std::floor((ms - s.ms) / s.msPerTick + 1e-9));
}

double TempoMap::BpmAt(std::int64_t tick) const {
  const Segment& s = At(tick);
  return s.perQuarter ? 60e6 / s.perQuarter : 120.0;
}

}  // namespace vellumix::playback

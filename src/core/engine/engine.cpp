#include "engine/engine.h"

#include <algorithm>
#include <cmath>

namespace vellumix {
namespace {

// Ticks stay far from the int32 limits so that sums of a few of them cannot overflow.
constexpr double kTickLimit = 1 << 30;

int ClampInt(long long v, int lo, int hi) {
  return static_cast<int>(std::clamp<long long>(v, lo, hi));
}

}  // namespace

std::int32_t ToTick(double value) {
  if (std::isnan(value)) return 0;
  value = std::clamp(SnapTick(value), -kTickLimit, kTickLimit);
  return static_cast<std::int32_t>(value);
}

void EndEveryNote(std::vector<CMidiDataEvent>& events, std::int32_t trailingTicks) {
  // Note-ons not yet answered by a note-off, per channel and pitch. Which note-off answers which
  // note-on can't be told apart, so a pitch sounds until the last one it is owed.
  std::array<std::int32_t, 16 * 128> owed{};
  std::array<std::int64_t, 16 * 128> struck{};  // tick of the last note-on
  std::vector<CMidiDataEvent> out;
  out.reserve(events.size() + 4);
  std::int64_t tick = 0;
  std::int64_t written = 0;  // tick of the last event kept
  bool changed = false;
  const auto keep = [&](const CMidiDataEvent& e) {
    CMidiDataEvent copy = e;
    copy.delta = static_cast<std::int32_t>(tick - written);
    written = tick;
    out.push_back(copy);
  };
  for (const CMidiDataEvent& e : events) {
    tick += e.delta;
    const int kind = e.status & 0xF0;
    const auto key = static_cast<std::size_t>((e.status & 0x0F) * 128 + (e.data1 & 0x7F));
    if (kind == 0x90 && e.data2 > 0) {
      if (owed[key] > 0) {
        changed = true;
        ++owed[key];
        if (struck[key] == tick) continue;  // struck twice at once: one note
        keep({0, static_cast<std::uint8_t>(0x80 | (e.status & 0x0F)), e.data1, 0});
      } else {
        owed[key] = 1;
      }
      struck[key] = tick;
      keep(e);
    } else if (kind == 0x80 || kind == 0x90) {
      // One owed to a note already switched off, or to none at all, goes.
      if (owed[key] != 1) {
        changed = true;
        if (owed[key] > 1) --owed[key];
        continue;
      }
      owed[key] = 0;
      keep(e);
    } else {
      keep(e);
    }
  }
  bool first = true;
  for (std::size_t key = 0; key < owed.size(); ++key) {
    if (owed[key] == 0) continue;
    changed = true;
    if (first) tick += std::max(trailingTicks, 0);
    first = false;
    keep({0, static_cast<std::uint8_t>(0x80 | (key / 128)), static_cast<std::uint8_t>(key % 128), 0});
  }
  if (changed) events = std::move(out);
}

Engine::Engine(Host& host, const Options& options, const Defaults& defaults)
    : host_(host), options_(options), defaults_(defaults) {
  (void)host_;
}

void Engine::AddTempo(const CTempoEvent& tempo) {
  auto at = std::upper_bound(tempos_.begin(), tempos_.end(), tempo.tick,
                             [](std::int32_t tick, const CTempoEvent& e) { return tick < e.tick; });
  tempos_.insert(at, tempo);
}

void Engine::ClearRun() {
  bars_.clear();
  tempos_.clear();
}

void Engine::StartTrack(const TrackSetup& setup) {
  trackNumber_ = setup.number;
  instrumentSlot_ = setup.instrumentSlot;
  channel_ = std::clamp(setup.channel, 0, 15);
  percussionMap_ = setup.percussionMap;
  SetVelocity(defaults_.dynamic);
  noteLength_ = defaults_.noteLength;
  long long transposition = defaults_.transposition;
  if (!options_.useStaveTransposition) transposition += setup.instrumentTransposition;
  SetTransposition(ClampInt(transposition, -1000, 1000));
  tempo_ = setup.startingTempo;
  previousTempo_ = setup.startingTempo;
  barRightEnd_ = 0.0f;
  barLength_ = 0.0f;
  barStartTick_ = 0;
  carriedTicks_ = 0;
  clef_ = 0.0f;
  keySignature_ = 0;
  octaveMode_ = 0;
  rhythm_.Reset();
  previousSystemEnd_ = 0.0f;
  rule_ = RuleState{};
  rule_.baseBankProgram = setup.bankProgram;
  controllerValues_.fill(0);
  controllerShadow_.fill(0);
  heldNotes_.clear();
  lyrics_.clear();
  trackEvents_.clear();
  ClearBarState(true);
  StartSystem();
}

void Engine::SetBar(float rightEnd, float lengthQuarters) {
  barRightEnd_ = rightEnd;
  barLength_ = lengthQuarters;
}

void Engine::StartSystem() {
  firstPositionOfSystem_ = true;
  keySignature_ = 0;
  DeactivateSlots();
}

void Engine::SetSlot(int n, bool active, float end) {
  CSpecialEvent& slot = Slot(n);
  slot.active = active;
  slot.end = end;
}

void Engine::DeactivateSlots() {
  for (CSpecialEvent& slot : slots_) slot.active = false;
}

void Engine::SetVelocity(int v) {
  velocity_ = std::clamp(v, 0, 127);
}

void Engine::SetTransposition(int halfTones) {
  transposition_ = std::clamp(halfTones, -1000, 1000);
}

void Engine::InsertPending(const CBarDataEvent& event) {
  auto at =
      std::upper_bound(pending_.begin(), pending_.end(), event.tick,
                       [](std::int32_t tick, const CBarDataEvent& e) { return tick < e.tick; });
  pending_.insert(at, event);
}

void Engine::AddChannelEvent(std::int32_t tick, int status, int data1, int data2, int tag) {
  CBarDataEvent e;
  e.tick = tick;
  e.status = static_cast<std::uint8_t>(std::clamp(status, 0x80, 0xEF));
  e.data1 = static_cast<std::uint8_t>(std::clamp(data1, 0, 127));
  e.data2 = static_cast<std::uint8_t>(std::clamp(data2, 0, 127));
  e.tag = static_cast<std::uint8_t>(std::clamp(tag, 0, 127));
  InsertPending(e);
}

float Rhythm::StartTickAt(float position) const {
  if (durations_.empty()) return 0.0f;
  if (std::fabs(position - lastPosition_) <= 0.01f) return lastStartTick_;
  float smallest = durations_.front().end;
  for (const CDurationEvent& d : durations_) smallest = std::min(smallest, d.end);
  return smallest;
}

Rhythm::Placement Rhythm::Place(float position, float duration) {
  Placement p;
  if (durations_.empty()) {
    p.newPosition = true;
  } else if (std::fabs(position - lastPosition_) <= 0.01f) {
    p.start = lastStartTick_;
  } else {
    // Any other position, even one left of the last (which sorted lines never give), moves on.
    p.start = StartTickAt(position);
    const float start = p.start;
    std::erase_if(durations_,
                  [start](const CDurationEvent& d) { return std::fabs(d.end - start) <= 1.0f; });
    p.newPosition = true;
    p.movedOn = true;
  }
  p.end = p.start + kTicksPerQuarter * duration;
  durations_.push_back({p.start, p.end});
  lastPosition_ = position;
  lastStartTick_ = p.start;
  lastEndTick_ = ToTick(std::floor(static_cast<double>(p.end) + 0.5));
  return p;
}

float Engine::StartTickAt(float position) const {
  return rhythm_.StartTickAt(position);
}

void Engine::FlushGraceNotes() {
  const int percent = LengthPercent();
  for (const CGracenoteEvent& g : graces_) {
    const std::int32_t on = ToTick(g.start);
    const std::int32_t off =
        ToTick(g.start + (static_cast<double>(g.end) - g.start) * percent / 100.0);
    AddChannelEvent(on, 0x90 | g.channel, g.pitch, g.velocity, g.tag);
    AddChannelEvent(off, 0x80 | g.channel, g.pitch, g.velocity, g.tag);
  }
  graces_.clear();
}

void Engine::ReleaseHeldNote(std::list<CTiedPitchEvent>::iterator it, std::int32_t tick) {
  AddChannelEvent(tick, 0x80 | it->channel, it->soundingPitch, it->velocity, it->writtenPitch);
  heldNotes_.erase(it);
}

void Engine::ReleaseAllHeld(bool atZero) {
  while (!heldNotes_.empty())
    ReleaseHeldNote(heldNotes_.begin(), atZero ? 0 : heldNotes_.front().offTick);
}

void Engine::EndExpiredTies(float itemPosition, bool newSystem) {
  const float h = defaults_.tieHorizontalWidth;
  for (auto it = ties_.begin(); it != ties_.end();) {
    const bool leftBehind = it->right < itemPosition - h;
    const bool stopsBeforeBreak = newSystem && it->right < previousSystemEnd_ - 1.5f;
    if (leftBehind || stopsBeforeBreak) {
      ReleaseAllHeld(false);
      it = ties_.erase(it);
    } else {
      ++it;
    }
  }
}

void Engine::ClearBarState(bool includingTies) {
  accidentals_.fill(0);
  rhythm_.ClearValues();
  pending_.clear();
  graces_.clear();
  if (includingTies) ties_.clear();
}

void Engine::ClearTrack() {
  pending_.clear();
  trackEvents_.clear();
  lyrics_.clear();
}

void Engine::IssueBankProgram(std::int32_t tick, std::int32_t value) {
  value = std::clamp<std::int32_t>(value, 0, 128 * 128 - 1);
  AddChannelEvent(tick, 0xB0 | channel_, 0, value / 128, 0);
  AddChannelEvent(tick, 0xB0 | channel_, 32, 0, 0);
  AddChannelEvent(tick, 0xC0 | channel_, value % 128, 0, 0);
}

// A rule without "make settings permanent" governs the notes of one time position: once an item
// has been placed and time moves on, its values go and its reverts are issued.
void Engine::EndTemporaryRule(float x) {
  if (!rule_.itemPlaced || std::fabs(x - rhythm_.LastPosition()) <= 0.01f) return;
  rule_.duration = 0;
  rule_.pitchOffset = 0;
  rule_.velocityLevel = 0;
  rule_.velocityOffset = 0;
  rule_.tempoLevel = 0;
  rule_.tempoOffset = 0;
  const std::int32_t tick = ToTick(StartTickAt(x));
  if (rule_.revertTempo) {
    AddTempo({ToTick(static_cast<double>(barStartTick_) + tick), tempo_, 0});
    rule_.revertTempo = false;
  }
  if (rule_.revertBankProgram) {
    IssueBankProgram(tick, rule_.baseBankProgram);
    rule_.revertBankProgram = false;
  }
  if (rule_.revertBender) {
    const int value = std::clamp(rule_.baseBender, -8192, 8191) + 8192;
    AddChannelEvent(tick, 0xE0 | channel_, value & 0x7F, value >> 7, 0);
    rule_.revertBender = false;
  }
  if (rule_.revertController) {
    const int type = std::clamp(rule_.revertControllerType, 0, kControllerCount - 1);
    AddChannelEvent(tick, 0xB0 | channel_, type, controllerValues_[static_cast<std::size_t>(type)],
                    0);
    rule_.revertController = false;
  }
}

}  // namespace vellumix

// Specials in force over a span: trills, hairpins, accelerando, ritenuto, named specials and
// tremolos.
#include <algorithm>
#include <cmath>
#include <cstdio>
#include <cstdlib>

#include "engine/engine.h"
#include "library/specials.h"
#include "library/symbols.h"
#include "platform/files.h"

namespace vellumix {
namespace {

constexpr float kNote = 1.0f;
constexpr float kSymbol = 9.0f;
constexpr float kText = 16.0f;
constexpr float kSamePosition = 0.01f;
constexpr float kGraceDuration = 64.0f;
constexpr float kStaffEnd = 200.0f;
// Beyond any position: a scan with this limit runs on to its symbol or the file's end.
constexpr float kScanLimit = 220.0f;
constexpr std::int32_t kMaxTempo = 500;
constexpr int kTremoloSymbol = 77;
constexpr int kTrillArticulation = 20;
// A unit halved this often is below one tick whatever it was.
constexpr int kMaxHalvings = 8;

constexpr const char* kTrill = "TRILL.SSL";
constexpr const char* kTrillFlat = "TRILLB.SSL";
constexpr const char* kTrillSharp = "TRILL#.SSL";
constexpr const char* kHairpinUp = "HAIRPINU.SSL";
constexpr const char* kHairpinDown = "HAIRPIND.SSL";
constexpr const char* kTremolo = "TREMOLO.SSL";

bool Same(float a, float b) {
  return std::fabs(a - b) <= kSamePosition;
}

bool IsNatural(int pitch) {
  constexpr bool kNatural[12] = {true,  false, true,  false, true,  true,
                                 false, true,  false, true,  false, true};
  return pitch >= 0 && pitch <= 127 && kNatural[pitch % 12];
}

// What the key signature does to a natural pitch: +1, -1 or 0. Sharps come in the order F C G D
// A E B, flats B E A D G C F; the lowest C has no flat below it.
int KeyShift(int pitch, int key) {
  constexpr int kSharps[7] = {5, 0, 7, 2, 9, 4, 11};
  constexpr int kFlats[7] = {11, 4, 9, 2, 7, 0, 5};
  if (pitch < 0 || pitch > 127 || key == 0 || key < -7 || key > 7) return 0;
  const int pc = pitch % 12;
  if (key > 0) return std::find(kSharps, kSharps + key, pc) != kSharps + key ? 1 : 0;
  if (pitch == 0) return 0;
  return std::find(kFlats, kFlats - key, pc) != kFlats - key ? -1 : 0;
}

// A trill's upper note as a step of the scale in force rather than a fixed interval.
void MakeDiatonic(SpecialRecord& pattern, int pitch, int key) {
  for (std::size_t i = 0; i < kPatternSteps; ++i) {
    std::int32_t& m = pattern.pitchMovements[i];
    if (pattern.durations[i] == 0 || m == 0) continue;
    if (!IsNatural(pitch + m)) {
      if (m == 1) {
        m = 2;
      } else if (m == 2) {
        m = 1;
      } else if (m == -1) {
        m = -2;
      } else if (m == -2) {
        m = -1;
      }
    }
    m += KeyShift(pitch + m, key);
  }
}

// The repeat unit of a loaded special.
int Unit(const SpecialRecord& r) {
  return r.minimumDuration > 0 ? r.minimumDuration : 10;
}

int Halve(int unit, int times) {
  return std::max(1, unit >> std::clamp(times, 0, kMaxHalvings));
}

// Notes shorter than a quarter fit the tremolo's strokes into their own length.
int TremoloUnit(int unit, std::int32_t span) {
  if (span >= kTicksPerQuarter) return unit;
  int divisor = 0;
  if (unit == 60) divisor = 2;
  if (unit == 30) divisor = 4;
  if (unit == 15) divisor = 8;
  if (unit == 7) divisor = 16;
  return divisor == 0 ? unit : std::max(1, span / divisor);
}

int StrokeCount(float field) {
  const int n = std::isfinite(field) ? static_cast<int>(std::clamp(field, -1000.0f, 1000.0f)) : 0;
  if (n > 20) return n - 20;
  if (n > 10) return n - 10;
  return n;
}

// The special a rule names goes to the slot its name gives.
int SlotFor(const std::string& file) {
  for (const char* trill : {kTrill, kTrillFlat, kTrillSharp})
    if (files::EqualNoCase(file, trill)) return kTrillSlot;
  if (files::EqualNoCase(file, kHairpinUp) || files::EqualNoCase(file, kHairpinDown))
    return kHairpinSlot;
  return kSpecialSlot;
}

// A metronome glyph that is not a format code ("?[" is not a quarter note).
std::size_t MetronomeGlyph(std::string_view text) {
  for (std::size_t i = 0; i < text.size(); ++i) {
    if (std::string_view("[]{}|").find(text[i]) == std::string_view::npos) continue;
    if (i == 0 || text[i - 1] != '?') return i;
  }
  return std::string_view::npos;
}

}  // namespace

void Engine::StartTrackSpecials() {
  specialsCancelled_ = false;
  changes_.fill(SpanChange{});
  diatonicTrill_ = false;
  bend_ = 0;
  tremoloTwoNotes_ = false;
  tremoloSecondChord_.clear();
  tremoloIndex_ = 0;
}

bool Engine::LoadIntoSlot(const char* name, int slot) {
  if (specials_ == nullptr) return false;
  if (specials_->Holds(slot, name)) return true;
  if (specials_->LoadSpecial(name, slot, false)) return true;
  if (specials_->Cancelled()) specialsCancelled_ = true;
  Slot(slot).active = false;
  return false;
}

// An ornament line of kind 0: a trill into slot 0; its accidental chooses the file.
void Engine::StartTrill(const TrackLine& item) {
  const float accidental = item.Field(4);
  const char* name = kTrill;
  if (accidental == 1.0f) name = kTrillFlat;
  if (accidental == 2.0f) name = kTrillSharp;
  if (!LoadIntoSlot(name, kTrillSlot)) return;
  diatonicTrill_ = name == kTrill;
  const float end = item.Field(2);
  SetSlot(kTrillSlot, true, end);
  StartChange(kTrillSlot, item.Position(), end, true);
}

// A line whose right step is 999: a hairpin into slot 1, opening when field 5 is above 0.
void Engine::StartHairpin(const TrackLine& item) {
  if (!LoadIntoSlot(item.Field(5) > 0.0f ? kHairpinUp : kHairpinDown, kHairpinSlot)) return;
  const float end = item.Field(4);
  SetSlot(kHairpinSlot, true, end);
  StartChange(kHairpinSlot, item.Position(), end, true);
}

void Engine::StartNamedSpecial(const std::string& name, const TrackLine& item) {
  const std::string file = SpecialNameFromRule(name);
  if (file.empty() || file == kSpecialNone || file == kSpecialATempo || file == kSpecialTempoI)
    return;
  const int slot = SlotFor(file);
  if (!LoadIntoSlot(file.c_str(), slot)) return;
  const float x = std::max(item.Position(), 0.0f);
  if (specials_->Loaded(slot)->kind == kMultipleNoteEvent) {
    SetSlot(slot, true, x);
    if (slot == kTrillSlot) {
      const bool trillMark =
          item.Code() == kNote && std::lround(item.Field(5)) == kTrillArticulation;
      diatonicTrill_ = files::EqualNoCase(file, kTrill) || trillMark;
    }
    return;
  }
  SetSlot(slot, true, kStaffEnd);
  StartChange(slot, x, kScanLimit, slot == kHairpinSlot);
}

// A relative change: counts the note positions up to its end and sets the amount per note.
void Engine::StartChange(int slot, float start, float limit, bool withinSystem) {
  SpanChange& change = changes_[static_cast<std::size_t>(slot)];
  change = SpanChange{};
  const SpecialRecord* r = specials_->Loaded(slot);
  if (r == nullptr || r->kind != kRelativeChangeEvent) return;
  if (r->changeVelocity != 0) {
    change.kind = Change::kVelocity;
  } else if (r->changeTempo != 0) {
    change.kind = Change::kTempo;
  } else if (r->changeBender != 0) {
    change.kind = Change::kBender;
  } else if (r->changeController != 0) {
    change.kind = Change::kController;
    // No rule has chosen a controller yet: the one the special names, never bank select.
    change.controller = CurrentController() > 0 ? CurrentController() : r->controllerNumber;
    if (change.controller <= 0 || change.controller >= kControllerCount)
      change.kind = Change::kNone;
  }
  if (change.kind == Change::kNone) return;

  const ScanResult scan = ScanAhead(start, limit, slot, r->untilSymbol, withinSystem);
  if (scan.found && slot == kSpecialSlot) SetSlot(slot, true, scan.largest - 1.0f);

  long long current = 0;
  switch (change.kind) {
    case Change::kVelocity:
      current = velocity_;
      break;
    case Change::kTempo:
      current = tempo_;
      break;
    case Change::kBender:
      bend_ = std::clamp(rule_.baseBender, -8192, 8191);
      current = bend_;
      break;
    case Change::kController:
      current = controllerValues_[static_cast<std::size_t>(change.controller)];
      break;
    case Change::kNone:
      break;
  }

  long long target = current * r->offset / 100;
  if (change.kind == Change::kBender) target = std::clamp(target, -8192LL, 8191LL);
  if (change.kind == Change::kController) target = std::min(target, 127LL);
  if (scan.symbol >= 0 && symbols_ != nullptr) {
    target = current;
    if (symbols_->LookUpCode9Symbol(scan.symbol) == 1) {
      const SymbolRecord& s = symbols_->Current();
      long long level = 0;
      if (change.kind == Change::kVelocity) level = s.velocityLevel;
      if (change.kind == Change::kTempo) level = s.tempoLevel;
      if (change.kind == Change::kBender) level = s.bender;
      if (change.kind == Change::kController) level = s.controllerValue;
      if (level != 0) target = level;
    } else if (symbols_->Cancelled()) {
      specialsCancelled_ = true;
    }
  } else if (scan.tempo > 0 && change.kind == Change::kTempo) {
    target = scan.tempo;
  }
  change.amount = scan.notes > 0 ? static_cast<std::int32_t>((target - current) / scan.notes) : 0;
}

Engine::ScanResult Engine::ScanAhead(float start, float limit, int slot, const std::string& until,
                                     bool withinSystem) const {
  ScanResult result;
  result.largest = start;
  bool first = true;
  bool counting = true;
  float previous = start;
  bool counted = false;
  float lastCounted = 0.0f;
  for (const TrackLine& line : linesAhead_) {
    const float x = line.Position();
    if (first && x > start + kSamePosition) {
      // The notes at the start were read before the special's own line.
      result.notes = 1;
      counted = true;
      lastCounted = start;
    }
    first = false;
    if (x > limit) break;
    if (x < previous - kSamePosition) {
      // A new system: the slot closes there, so its notes get nothing of the change.
      if (withinSystem) break;
      counting = false;
    }
    previous = x;

    const float code = line.Code();
    const float duration = line.Field(4);
    if (code == kNote && counting && x < limit && duration > 0.0f && duration < kGraceDuration &&
        !(counted && Same(x, lastCounted))) {
      ++result.notes;
      counted = true;
      lastCounted = x;
    }
    if (code == kSymbol && !until.empty()) {
      std::array<char, 64> number{};
      std::snprintf(number.data(), number.size(), "%.0f", static_cast<double>(line.Field(2)));
      if (until == number.data()) {
        result.found = true;
        const float n = line.Field(2);
        result.symbol = (n >= 0.0f && n <= 999.0f) ? static_cast<int>(n) : -1;
        return result;
      }
    }
    if (code == kText && slot == kSpecialSlot && options_.interpretMetronomeMarks) {
      const std::size_t at = MetronomeGlyph(line.text);
      std::int32_t tempo = 0;
      if (at != std::string::npos &&
          MetronomeMarkTempo(std::string_view(line.text).substr(at), tempo) && tempo > 0) {
        result.found = true;
        result.tempo = tempo;
        return result;
      }
    }
    result.largest = std::max(result.largest, x);
  }
  return result;
}

void Engine::ApplyChange(int slot, const SoundingNote& note) {
  const SpanChange& change = changes_[static_cast<std::size_t>(slot)];
  const std::int32_t a = change.amount;
  if (change.kind == Change::kNone || a == 0) return;
  if (change.kind == Change::kVelocity) {
    // The note keeps the velocity it was given; the ones after it get the new one.
    SetVelocity(std::clamp(velocity_ + a, 1, 127));
    return;
  }
  if (change.kind == Change::kTempo && !IsTempoTrack()) return;

  const std::int32_t s = ToTick(note.start);
  const std::int32_t e = ToTick(note.end);
  const std::int32_t unit = std::clamp(defaults_.relativeEventUnit, 1, kTicksPerQuarter);
  // The note's share of the change is spread over its steps so that the steps add up to it
  // exactly: moving each step by at least one would overshoot (a ritardando down to 1).
  const std::int64_t n = e > s ? (static_cast<std::int64_t>(e) - s + unit - 1) / unit : 1;
  std::int64_t k = 0;
  for (std::int32_t t = s; k < n; t += unit, ++k) {
    const auto step = static_cast<std::int32_t>(static_cast<std::int64_t>(a) * (k + 1) / n -
                                                static_cast<std::int64_t>(a) * k / n);
    if (step == 0) continue;
    switch (change.kind) {
      case Change::kBender: {
        bend_ = std::clamp(bend_ + step, -8192, 8191);
        const int value = bend_ + 8192;
        AddChannelEvent(t, 0xE0 | channel_, value & 0x7F, value >> 7, 0);
        break;
      }
      case Change::kController: {
        auto& value = controllerValues_[static_cast<std::size_t>(change.controller)];
        value = std::clamp(value + step, 0, 127);
        AddChannelEvent(t, 0xB0 | channel_, change.controller, value, 0);
        break;
      }
      case Change::kTempo:
        tempo_ = std::clamp(tempo_ + step, 1, kMaxTempo);
        AddTempo({ToTick(static_cast<double>(barStartTick_) + t), tempo_, 0});
        break;
      default:
        return;
    }
  }
}

bool Engine::PlayPattern(const SpecialRecord& pattern, const SoundingNote& note, int unit,
                         float end) {
  std::size_t steps = 0;
  while (steps < kPatternSteps && pattern.durations[steps] > 0) ++steps;
  const std::int32_t s = ToTick(note.start);
  const std::int32_t e = ToTick(end);
  if (steps == 0 || e <= s) return false;

  auto play = [&](std::size_t i, std::int32_t on, std::int32_t off) {
    const long long pitch = static_cast<long long>(note.pitch) + pattern.pitchMovements[i];
    if (pitch < 0 || pitch > 127) return;  // a step out of range is a rest
    long long velocity = note.velocity;
    const long long percent = pattern.velocities[i];
    if (percent != 0 && velocity * percent / 100 <= 127) velocity = velocity * percent / 100;
    // A note-on of velocity 0 would be read as a note-off.
    const int v = static_cast<int>(std::clamp(velocity, 1LL, 127LL));
    AddChannelEvent(on, 0x90 | note.channel, static_cast<int>(pitch), v, note.writtenPitch);
    AddChannelEvent(off, 0x80 | note.channel, static_cast<int>(pitch), v, note.writtenPitch);
  };

  if (pattern.repeated == 0) {
    long long sum = 0;
    for (std::size_t i = 0; i < steps; ++i) sum += pattern.durations[i];
    const long long tick = (e - s) / sum;
    // A note too short to divide sounds as written.
    if (tick == 0) return false;
    long long at = s;
    for (std::size_t i = 0; i < steps; ++i) {
      const long long off = std::min<long long>(at + pattern.durations[i] * tick, e);
      play(i, static_cast<std::int32_t>(at), static_cast<std::int32_t>(off));
      at = off;
    }
    return true;
  }

  const long long u = std::max(unit, 1);
  long long at = s;
  for (std::size_t i = 0; at < e; i = (i + 1) % steps) {
    const long long length = pattern.durations[i] * u;
    if (length > e - at) break;
    play(i, static_cast<std::int32_t>(at), static_cast<std::int32_t>(at + length));
    at += length;
  }
  return true;
}

bool Engine::PlaySlot(int slot, const SoundingNote& note) {
  const SpecialRecord* r = specials_ != nullptr ? specials_->Loaded(slot) : nullptr;
  if (r == nullptr) return false;
  if (r->kind == kRelativeChangeEvent) {
    ApplyChange(slot, note);
    return false;
  }
  if (slot == kTrillSlot && diatonicTrill_) {
    // A copy: the next note starts again from the movements as the file has them.
    SpecialRecord pattern = *r;
    MakeDiatonic(pattern, note.pitch, keySignature_);
    return PlayPattern(pattern, note, Unit(*r), note.end);
  }
  return PlayPattern(*r, note, Unit(*r), note.end);
}

// Each returns true when its pattern sounds instead of the plain note.
bool Engine::PlayHairpin(const SoundingNote& note) {
  return PlaySlot(kHairpinSlot, note);
}
bool Engine::PlaySlotSpecial(const SoundingNote& note) {
  return PlaySlot(kSpecialSlot, note);
}
bool Engine::PlayTrill(const SoundingNote& note) {
  return PlaySlot(kTrillSlot, note);
}

// A beam read as a one-note or two-note tremolo into slot 4.
void Engine::StartTremolo(const TrackLine& item) {
  const float kind = item.Field(5);
  if (kind <= -10.0f) {
    StartOneNoteTremolo(item);
  } else if (kind > 0.0f && item.Field(6) > 0.0f && item.Field(7) == 0.0f &&
             item.Field(8) == 0.0f) {
    StartTwoNoteTremolo(item);
  }
}

void Engine::StartOneNoteTremolo(const TrackLine& item) {
  const float x = std::max(item.Position(), 0.0f);
  const int strokes = StrokeCount(item.Field(6));
  TrackLine symbol;
  symbol.fields[0] = kSymbol;
  symbol.fields[1] = x;
  symbol.fields[2] = static_cast<float>(kTremoloSymbol);
  symbol.count = 3;
  ApplySymbolRules(symbol);
  if (!LoadIntoSlot(kTremolo, kTremoloSlot)) return;
  tremoloTwoNotes_ = false;
  // From the file's unit each time: two tremolos in a row must not halve it twice.
  tremoloUnit_ = Halve(Unit(*specials_->Loaded(kTremoloSlot)), strokes - 1);
  SetSlot(kTremoloSlot, true, x);
}

void Engine::StartTwoNoteTremolo(const TrackLine& item) {
  const float x = std::max(item.Position(), 0.0f);
  const float right = item.Field(4);
  int rest = static_cast<int>(std::clamp(item.Field(6), 0.0f, 1000.0f));
  int reductions = 0;
  while (rest > 10) {
    rest -= 10;
    ++reductions;
  }
  const int strokes = std::max(rest + reductions, StrokeCount(item.Field(5)));

  int firstChord = 0;
  std::vector<TrackLine> second;
  float previous = x;
  for (const TrackLine& line : linesAhead_) {
    const float at = line.Position();
    if (at > right + kSamePosition || at < previous - kSamePosition) break;
    previous = at;
    const float duration = line.Field(4);
    if (line.Code() != kNote || !(duration > 0.0f && duration < kGraceDuration)) continue;
    if (Same(at, x)) {
      ++firstChord;
    } else if (Same(at, right)) {
      second.push_back(line);
    }
  }
  if (firstChord == 0 || second.empty()) return;
  tremoloTwoNotes_ = true;
  tremoloUnit_ = Halve(60, strokes - 1);
  tremoloFirst_ = x;
  tremoloSecond_ = right;
  tremoloIndex_ = 0;
  tremoloSecondChord_ = std::move(second);
  SetSlot(kTremoloSlot, true, right);
}

bool Engine::PlayTremolo(const SoundingNote& note) {
  const float span = note.end - note.start;
  if (!tremoloTwoNotes_) {
    const SpecialRecord* r = specials_ != nullptr ? specials_->Loaded(kTremoloSlot) : nullptr;
    if (r == nullptr || r->kind != kMultipleNoteEvent) return false;
    return PlayPattern(*r, note, TremoloUnit(tremoloUnit_, ToTick(span)), note.end);
  }
  // The second chord sounds only inside the alternation.
  if (Same(note.position, tremoloSecond_)) return true;
  if (!Same(note.position, tremoloFirst_)) return false;

  // Chords of unequal size: the extra notes of the first pair with the last of the second.
  const std::size_t index = std::min(tremoloIndex_++, tremoloSecondChord_.size() - 1);
  const TrackLine& other = tremoloSecondChord_[index];
  float step = other.Field(2);
  if (step > 99.0f) step -= 100.0f;
  if (step < -99.0f) step += 100.0f;
  // Read ahead of its turn, the note must leave the bar's accidentals and the octave line as
  // they were.
  const auto accidentals = accidentals_;
  const CSpecialEvent octave = Slot(kOctaveSlot);
  Pitch pitch;
  const bool ok = ComputePitch(tremoloSecond_, step, other.Field(3), pitch);
  accidentals_ = accidentals;
  Slot(kOctaveSlot) = octave;
  if (!ok) return false;

  SpecialRecord pattern;
  pattern.durations = {1, 1};
  pattern.pitchMovements = {0, pitch.sounding - note.pitch};
  pattern.repeated = 1;
  float end = note.end;
  if (std::fabs(span - kTicksPerQuarter * other.Field(4)) < 0.5f) end = note.start + 2.0f * span;
  return PlayPattern(pattern, note, TremoloUnit(tremoloUnit_, ToTick(span)), end);
}

}  // namespace vellumix

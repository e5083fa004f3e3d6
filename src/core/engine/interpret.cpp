// InterpretItem: one item line of a staff into timed note events of the current bar.
#include <algorithm>
#include <cmath>

#include "engine/engine.h"

namespace vellumix {
namespace {

// Item codes, compared exactly as stored.
constexpr float kNote = 1.0f;
constexpr float kRest = 2.0f;
constexpr float kClef = 3.0f;
constexpr float kLine = 4.0f;
constexpr float kSlur = 5.0f;
constexpr float kBeam = 6.0f;
constexpr float kOrnamentLine = 7.0f;
constexpr float kStaff = 8.0f;
constexpr float kSymbol = 9.0f;
constexpr float kCode11 = 11.0f;
constexpr float kText = 16.0f;
constexpr float kKeySignature = 17.0f;

// A value of this many quarters or more is a grace note (a note) or ignored (a rest).
constexpr float kGraceDuration = 64.0f;
// Positions this close are one time position.
constexpr float kSamePosition = 0.01f;
// How far before the previous system's last barline a tie still runs over the break.
constexpr float kSystemBreakSlack = 1.5f;

constexpr std::array<std::uint8_t, kPitchTableSize> MakePitchTable() {
  constexpr int kScale[7] = {0, 2, 4, 5, 7, 9, 11};
  std::array<std::uint8_t, kPitchTableSize> t{};
  for (int i = 0; i < kPitchTableSize; ++i)
    t[static_cast<std::size_t>(i)] = static_cast<std::uint8_t>(12 * (i / 7) + kScale[i % 7]);
  return t;
}
constexpr auto kPitchTable = MakePitchTable();
static_assert(kPitchTable[74] == 127);

// Every MIDI note of each pitch class in turn; the flat list has no note 0 (a C flat below it).
template <std::size_t N>
constexpr std::array<std::uint8_t, N> MakeKeyList(const int (&classes)[7], bool skipZero) {
  std::array<std::uint8_t, N> list{};
  std::size_t n = 0;
  for (int pc : classes)
    for (int p = pc; p <= 127; p += 12)
      if (!(skipZero && p == 0) && n < N) list[n++] = static_cast<std::uint8_t>(p);
  return list;
}
constexpr int kSharpOrder[7] = {5, 0, 7, 2, 9, 4, 11};  // F C G D A E B
constexpr int kFlatOrder[7] = {11, 4, 9, 2, 7, 0, 5};   // B E A D G C F
constexpr auto kSharpList = MakeKeyList<75>(kSharpOrder, false);
constexpr auto kFlatList = MakeKeyList<74>(kFlatOrder, true);
static_assert(kSharpList[74] == 119 && kFlatList[73] == 125);
constexpr int kSharpCounts[7] = {11, 22, 33, 44, 54, 65, 75};
constexpr int kFlatCounts[7] = {10, 21, 31, 42, 53, 63, 74};

template <std::size_t N>
bool InPrefix(const std::array<std::uint8_t, N>& list, int count, int pitch) {
  for (int i = 0; i < count; ++i)
    if (list[static_cast<std::size_t>(i)] == pitch) return true;
  return false;
}

// Pitch table offset and octave adjustment of a clef; codes compared exactly as stored.
void ClefOffset(float clef, int& offset, int& octave) {
  offset = 34;
  octave = 0;
  if (clef == 1.0f) {
    offset = 22;
  } else if (clef == 2.0f) {
    offset = 28;
  } else if (clef == 3.0f) {
    offset = 26;
  } else if (clef == 0.8f) {
    octave = -12;
  } else if (clef == 0.88f) {
    octave = 12;
  } else if (clef == 0.15f) {
    octave = 24;
  } else if (clef == 1.8f) {
    offset = 22;
    octave = -12;
  }
}

// The memory entry an accidental sets: flat, sharp, natural (3), double flat, double sharp.
int MemoryEntry(int accidental) {
  switch (accidental) {
    case 1:
      return -1;
    case 2:
      return 1;
    case 3:
      return 3;
    case 4:
      return -2;
    case 5:
      return 2;
    default:
      return 0;
  }
}

bool InMidiRange(long long p) {
  return p >= 0 && p <= 127;
}

// The most recent held note of `written`, or end().
std::list<CTiedPitchEvent>::iterator FindHeld(std::list<CTiedPitchEvent>& held, int written) {
  for (auto it = held.end(); it != held.begin();) {
    --it;
    if (it->writtenPitch == written) return it;
  }
  return held.end();
}

}  // namespace

int ReduceAccidentalCode(float field) {
  if (!(field >= 0.0f && field < 1000.0f)) return 0;
  int a = static_cast<int>(field);
  if (a >= 120) {
    a -= 120;
  } else if (a >= 110) {
    a -= 110;
  } else if (a >= 20) {
    a -= 20;
  } else if (a >= 10) {
    a -= 10;
  }
  return a >= 1 && a <= 9 ? a : 0;
}

void Engine::InterpretItem(const TrackLine& item) {
  const float code = item.Code();
  float x = item.Position();
  if (!(x >= 0.0f)) x = 0.0f;
  EndTemporaryRule(x);

  if (code == kNote) {
    InterpretNote(item, x);
  } else if (code == kRest) {
    InterpretRest(item, x);
  } else if (code == kClef) {
    InterpretClef(item);
  } else if (code == kLine) {
    if (item.Field(3) == 999.0f && options_.interpretSpecialSymbols) StartHairpin(item);
    ConvertLyric(item);
    if (options_.code4LinesAsTies) AddTieFromLine(item, x);
  } else if (code == kSlur) {
    AddTieFromSlur(item, x);
  } else if (code == kBeam) {
    if (options_.interpretTremolos) StartTremolo(item);
  } else if (code == kOrnamentLine) {
    InterpretOrnamentLine(item);
  } else if (code == kStaff) {
    InterpretStaff(item);
  } else if (code == kSymbol || code == kCode11) {
    ApplySymbolRules(item);
  } else if (code == kText) {
    if (!ConvertLyric(item)) ApplySymbolRules(item);
  } else if (code == kKeySignature) {
    InterpretKeySignature(item);
  }
  // Anything else (barlines, time signatures, unknown codes) means nothing for playback.
}

void Engine::InterpretClef(const TrackLine& item) {
  clef_ = item.Field(3);
}

void Engine::InterpretKeySignature(const TrackLine& item) {
  const float n = item.Field(2);
  // 0 is C major; a count no key has leaves pitches unaltered.
  keySignature_ = (n > -8.0f && n < 8.0f) ? static_cast<int>(n) : 0;
}

void Engine::InterpretStaff(const TrackLine& item) {
  const float t = item.Field(3);
  if (std::isfinite(t)) SetTransposition(static_cast<int>(std::clamp(t, -1000.0f, 1000.0f)));
}

void Engine::InterpretOrnamentLine(const TrackLine& item) {
  const float kind = item.Field(3);
  if (kind == 0.0f) {
    if (options_.interpretSpecialSymbols) StartTrill(item);
    return;
  }
  if (!options_.interpretOctava) return;
  int mode = -1;
  if (kind == 8.0f || kind == 88.0f) mode = 0;
  if (kind == -8.0f) mode = 1;
  if (kind == 15.0f) mode = 2;
  if (mode < 0) return;
  SetSlot(kOctaveSlot, true, item.Field(2));
  octaveMode_ = mode;
}

void Engine::AddTieFromSlur(const TrackLine& item, float x) {
  const float step = item.Field(2);
  const float shape = item.Field(6);
  if (step != item.Field(3)) return;
  if (!(shape == -2.0f || shape == -3.0f || (shape >= 0.1f && shape < 1.0f))) return;
  CTieEvent tie;
  tie.step = item.Field(5) > 0.0f ? step - 1.0f : step + 1.0f;
  tie.left = x;
  tie.right = item.Field(4);
  ties_.push_back(tie);
}

void Engine::AddTieFromLine(const TrackLine& item, float x) {
  const float step = item.Field(2);
  if (step != item.Field(3)) return;
  CTieEvent tie;
  tie.step = step > 7.0f ? step - 1.0f : step + 1.0f;
  tie.left = x;
  tie.right = item.Field(4);
  ties_.push_back(tie);
}

Engine::Placement Engine::PlaceValue(float x, float duration) {
  const Rhythm::Placement placed = rhythm_.Place(x, duration);
  Placement p;
  p.start = placed.start;
  p.end = placed.end;
  p.firstAtPosition = placed.newPosition;
  if (placed.movedOn) firstPositionOfSystem_ = false;
  p.firstOfSystem = firstPositionOfSystem_;
  return p;
}

bool Engine::ComputePitch(float x, float step, float accidentalField, Pitch& out) {
  if (!(step > -1000.0f && step < 1000.0f)) return false;
  int offset = 0;
  int octave = 0;
  ClefOffset(clef_, offset, octave);
  const int index = offset + static_cast<int>(step);
  if (index < 0 || index >= kPitchTableSize) return false;
  const auto slot = static_cast<std::size_t>(index);

  const int natural = kPitchTable[slot];
  int p0 = natural;
  if (InMidiRange(natural + octave)) p0 = natural + octave;

  const int a = ReduceAccidentalCode(accidentalField);
  long long pitch = p0;
  if (options_.code4LinesAsTies) {
    const int shift = MemoryEntry(a);
    if (shift != 3) pitch = p0 + shift;
  } else {
    std::int8_t& memory = accidentals_[slot];
    if (a != 0) memory = static_cast<std::int8_t>(MemoryEntry(a));
    int p1 = p0;
    if (keySignature_ > 0 && InPrefix(kSharpList, kSharpCounts[keySignature_ - 1], p0)) p1 = p0 + 1;
    if (keySignature_ < 0 && InPrefix(kFlatList, kFlatCounts[-keySignature_ - 1], p0)) p1 = p0 - 1;
    const int m = memory;
    if (p1 == p0) {
      pitch = m == 3 ? p0 : p0 + m;
    } else {
      pitch = m == 0 ? p1 : (m == 3 ? p0 : p0 + m);
    }
  }

  out.channel = channel_;
  if (percussionMap_ != nullptr) {
    if (const PercussionMap::Entry* e = percussionMap_->Find(static_cast<int>(pitch))) {
      pitch = e->to;
      if (e->channel >= 1 && e->channel <= 16) out.channel = e->channel - 1;
    }
  }

  pitch += static_cast<long long>(transposition_) + rule_.pitchOffset;
  if (pitch < 0) {
    pitch += 12;
  } else if (pitch > 127) {
    pitch -= 12;
  }
  // One octave's fold is all a pitch gets; one still out of range cannot sound.
  if (!InMidiRange(pitch)) return false;

  int written = p0;
  CSpecialEvent& octaveLine = slots_[kOctaveSlot];
  if (octaveLine.active) {
    if (x <= octaveLine.end) {
      const int shift = octaveMode_ == 1 ? -12 : (octaveMode_ == 2 ? 24 : 12);
      if (InMidiRange(pitch + shift)) {
        pitch += shift;
        if (InMidiRange(written + shift)) written += shift;
      }
    } else {
      octaveLine.active = false;
    }
  }
  out.sounding = static_cast<int>(pitch);
  out.written = written;
  return true;
}

int Engine::NoteVelocity() const {
  if (rule_.permanent) return velocity_;
  const long long v = rule_.velocityLevel != 0
                          ? rule_.velocityLevel
                          : static_cast<long long>(velocity_) + rule_.velocityOffset;
  return static_cast<int>(std::clamp<long long>(v, 0, 127));
}

int Engine::LengthPercent() const {
  const int p = (rule_.duration != 0 && !rule_.permanent) ? rule_.duration : noteLength_;
  // A negative share would put the note-off before its note-on.
  return std::clamp(p, 0, 10000);
}

std::int32_t Engine::OffTick(float start, float end) const {
  return ToTick(start + (static_cast<double>(end) - start) * LengthPercent() / 100.0);
}

void Engine::InterpretNote(const TrackLine& item, float x) {
  float step = item.Field(2);
  bool cue = false;
  if (step > 99.0f) {
    step -= 100.0f;
    cue = true;
  } else if (step < -99.0f) {
    step += 100.0f;
    cue = true;
  }
  const float duration = item.Field(4);
  if (duration >= kGraceDuration) {
    InterpretGraceNote(item, x, step);
    return;
  }
  if (!(duration > 0.0f)) return;
  if (cue && options_.ignoreCueNotes) {
    PlaceValue(x, duration);
    rule_.itemPlaced = true;
    return;
  }
  ApplySymbolRules(item);
  const Placement at = PlaceValue(x, duration);
  FlushGraceNotes();
  rule_.itemPlaced = true;

  Pitch pitch;
  if (!ComputePitch(x, step, item.Field(3), pitch)) return;
  const int velocity = NoteVelocity();
  const std::int32_t offTick = OffTick(at.start, at.end);

  SoundingNote note;
  note.position = x;
  note.start = at.start;
  note.end = at.end;
  note.offTick = offTick;
  note.pitch = pitch.sounding;
  note.writtenPitch = pitch.written;
  note.velocity = velocity;
  note.channel = pitch.channel;
  note.firstAtPosition = at.firstAtPosition;
  if (ApplySpecials(note)) return;

  bool makeNoteOn = true;
  bool holdNoteOff = false;
  MatchTies(x, at, pitch, velocity, makeNoteOn, holdNoteOff);

  if (makeNoteOn) {
    // A pitch still held by a tie that this note does not continue ends before it sounds again.
    for (auto it = heldNotes_.begin(); it != heldNotes_.end();) {
      const auto next = std::next(it);
      if (it->soundingPitch == pitch.sounding && it->channel == pitch.channel)
        ReleaseHeldNote(it, ToTick(at.start));
      it = next;
    }
    AddChannelEvent(ToTick(at.start), 0x90 | pitch.channel, pitch.sounding, velocity,
                    pitch.written);
  }
  if (holdNoteOff) {
    heldNotes_.push_back({offTick, static_cast<std::uint8_t>(pitch.sounding),
                          static_cast<std::uint8_t>(pitch.written),
                          static_cast<std::uint8_t>(velocity),
                          static_cast<std::uint8_t>(pitch.channel)});
    return;
  }
  AddChannelEvent(offTick, 0x80 | pitch.channel, pitch.sounding, velocity, pitch.written);
  if (!makeNoteOn) {
    // The tied chain ends with this note-off.
    heldNotes_.remove_if(
        [&](const CTiedPitchEvent& h) { return h.soundingPitch == pitch.sounding; });
  }
}

bool Engine::ApplySpecials(const SoundingNote& note) {
  // A note past a slot's end closes the special.
  for (int n : {kHairpinSlot, kSpecialSlot, kTrillSlot, kTremoloSlot}) {
    CSpecialEvent& slot = Slot(n);
    if (slot.active && !(note.position <= slot.end)) slot.active = false;
  }
  // Relative changes let the note sound; the first pattern that replaces it ends the list.
  if (note.firstAtPosition) {
    if (Slot(kHairpinSlot).active && PlayHairpin(note)) return true;
    if (Slot(kSpecialSlot).active && PlaySlotSpecial(note)) return true;
    if (Slot(kTrillSlot).active && PlayTrill(note)) return true;
  }
  return Slot(kTremoloSlot).active && PlayTremolo(note);
}

void Engine::MatchTies(float x, const Placement& at, Pitch& pitch, int velocity, bool& makeNoteOn,
                       bool& holdNoteOff) {
  const float h = defaults_.tieHorizontalWidth;
  const std::int32_t start = ToTick(at.start);
  const std::int32_t length = ToTick(static_cast<double>(ToTick(at.end)) - start);
  bool concerned = false;
  bool continued = false;

  // The held note of the same written pitch goes on sounding through this note.
  auto continueHeld = [&] {
    auto held = FindHeld(heldNotes_, pitch.written);
    if (held == heldNotes_.end()) return;
    continued = true;
    makeNoteOn = false;
    pitch.sounding = held->soundingPitch;
    pitch.channel = held->channel;
  };

  for (auto it = ties_.begin(); it != ties_.end();) {
    CTieEvent& tie = *it;
    const bool atLeft = std::fabs(x - tie.left) <= h;
    const bool atRight = std::fabs(x - tie.right) <= h;

    if (at.firstOfSystem) {
      // The new system's own drawing of a tie from the margin: the break is handled below.
      if (tie.left < x - h) {
        it = ties_.erase(it);
        continue;
      }
      if (start == 0 && !atLeft && !atRight) {
        concerned = true;
        if (tie.right >= previousSystemEnd_ - kSystemBreakSlack) {
          if (!continued) continueHeld();
        } else {
          AddChannelEvent(0, 0x80 | pitch.channel, pitch.sounding, tie.velocity, pitch.written);
        }
        it = ties_.erase(it);
        continue;
      }
    }

    if (atLeft) {
      concerned = true;
      holdNoteOff = true;
      if (length > tie.length) {
        tie.start = start;
        tie.length = length;
        tie.soundingPitch = pitch.sounding;
        tie.writtenPitch = pitch.written;
        tie.velocity = velocity;
      }
      ++it;
      continue;
    }

    if (atRight && !continued &&
        (start == static_cast<long long>(tie.start) + tie.length || start == 0)) {
      concerned = true;
      continueHeld();
      it = ties_.erase(it);
      if (ties_.empty()) {
        for (auto held = heldNotes_.begin(); held != heldNotes_.end();) {
          auto next = std::next(held);
          if (held->writtenPitch != pitch.written)
            ReleaseHeldNote(held, start == 0 ? 0 : held->offTick);
          held = next;
        }
      }
      continue;
    }

    if (x > tie.right + h) {
      while (!heldNotes_.empty()) ReleaseHeldNote(heldNotes_.begin(), start);
      it = ties_.erase(it);
      continue;
    }
    ++it;
  }

  if (ties_.empty() && !concerned) ReleaseAllHeld(start == 0);
}

void Engine::InterpretRest(const TrackLine& item, float x) {
  const float duration = item.Field(2);
  if (duration >= kGraceDuration) return;
  ApplySymbolRules(item);
  FlushGraceNotes();
  float start = StartTickAt(x);
  bool firstOfSystem = firstPositionOfSystem_;
  if (duration > 0.0f) {
    const Placement at = PlaceValue(x, duration);
    start = at.start;
    firstOfSystem = at.firstOfSystem;
  }
  rule_.itemPlaced = true;
  if (!firstOfSystem || ToTick(start) != 0) return;
  // A rest opening the system ends the notes tied over the break instead of continuing them.
  for (auto it = ties_.begin(); it != ties_.end();) {
    if (!(it->left > x)) {
      ++it;
      continue;
    }
    if (it->length > 0) {
      auto held = FindHeld(heldNotes_, it->writtenPitch);
      if (held != heldNotes_.end()) ReleaseHeldNote(held, 0);
    }
    it = ties_.erase(it);
  }
}

void Engine::MoveQueuedGraces(float ticks) {
  for (CGracenoteEvent& g : graces_) {
    g.start += ticks;
    g.end += ticks;
  }
}

bool Engine::PlaceGraceBeforeBarline(float length) {
  const auto ticks = static_cast<std::int32_t>(length);
  for (auto it = trackEvents_.rbegin(); it != trackEvents_.rend(); ++it) {
    if (it->delta >= ticks) {
      it->delta -= ticks;
      carriedTicks_ = ToTick(static_cast<double>(carriedTicks_) + ticks);
      return true;
    }
  }
  return false;
}

void Engine::InterpretGraceNote(const TrackLine& item, float x, float step) {
  enum class Where { kSame, kEmptyBar, kNew };
  Where where = Where::kNew;
  const auto& values = rhythm_.Values();
  if ((!values.empty() || !graces_.empty()) &&
      std::fabs(x - rhythm_.LastPosition()) <= kSamePosition) {
    where = Where::kSame;
  } else if (values.empty()) {
    where = Where::kEmptyBar;
  } else if (x < rhythm_.LastPosition()) {
    return;
  }

  ApplySymbolRules(item);
  Pitch pitch;
  if (!ComputePitch(x, step, item.Field(3), pitch)) return;

  const auto length = static_cast<float>(std::clamp(defaults_.graceNoteLength, 1, 120));
  const auto queued = static_cast<float>(graces_.size());
  const bool onBeat = defaults_.graceNotesOnBeat != 0;
  float start = rhythm_.LastStartTick();
  if (where == Where::kNew) {
    const float onset = StartTickAt(x);
    if (onBeat && onset + queued * length < barLength_ * kTicksPerQuarter) {
      start = onset + queued * length;
    } else {
      start = onset - length;
      MoveQueuedGraces(-length);
    }
  } else if (where == Where::kEmptyBar) {
    if (onBeat || trackEvents_.empty()) {
      start = queued * length;
    } else if (PlaceGraceBeforeBarline(length)) {
      start = -length;
      MoveQueuedGraces(-length);
    } else {
      start = 0.0f;
    }
  }
  rhythm_.SetLastPosition(x, start);

  CGracenoteEvent grace;
  grace.start = start;
  grace.end = start + length;
  grace.pitch = static_cast<std::uint8_t>(pitch.sounding);
  grace.velocity = static_cast<std::uint8_t>(NoteVelocity());
  grace.tag = static_cast<std::uint8_t>(pitch.written);
  grace.channel = static_cast<std::uint8_t>(pitch.channel);
  graces_.push_back(grace);
  rule_.itemPlaced = true;
}

}  // namespace vellumix

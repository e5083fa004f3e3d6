// The transcription engine: the event lists of a run and of the current track, the span slots,
// the per-track interpretation state, and InterpretItem, which turns one item line of a staff into
// timed events.
#pragma once

#include <array>
#include <cstdint>
#include <list>
#include <string>
#include <vector>

#include "engine/events.h"
#include "engine/track_line.h"
#include "library/settings.h"
#include "platform/host.h"

namespace vellumix {

// Span slot numbers.
inline constexpr int kTrillSlot = 0;
inline constexpr int kHairpinSlot = 1;
inline constexpr int kSpecialSlot = 2;  // accelerando, ritenuto and any other named special
inline constexpr int kOctaveSlot = 3;
inline constexpr int kTremoloSlot = 4;
inline constexpr int kSpanSlotCount = 5;

// Diatonic steps of the pitch table (C major from note 0 to note 127).
inline constexpr int kPitchTableSize = 75;
inline constexpr int kControllerCount = 127;

// The symbol rule in force, and what to restore when a temporary one ends.
struct RuleState {
  std::int32_t duration = 0;  // note-length percentage, 0 = none
  std::int32_t pitchOffset = 0;
  std::int32_t velocityLevel = 0;  // 0 = none
  std::int32_t velocityOffset = 0;
  std::int32_t tempoLevel = 0;  // 0 = none
  std::int32_t tempoOffset = 0;
  std::string special = "[none]";
  std::int32_t bankProgram = 0;     // bank * 128 + program, 0 = none
  std::int32_t bender = 0;          // -8192..8191, 0 = none
  std::int32_t controllerType = 0;  // 0 = none
  std::int32_t controllerValue = 0;
  bool permanent = false;   // "make settings permanent"
  bool itemPlaced = false;  // a note, grace note or rest since the rule was applied

  // Reverts waiting for the end of a temporary rule, and the settings they return to.
  bool revertTempo = false;
  bool revertBankProgram = false;
  bool revertBender = false;
  bool revertController = false;
  std::int32_t baseBankProgram = 0;  // the instrument's own, or the last made permanent
  std::int32_t baseBender = 0;       // 0 = centre
  std::int32_t revertControllerType = 0;
};

// The rhythm model of one staff in one bar: when each value starts, inferred from the layout
// alone. The interpretation places its notes and rests with it, and the track assembly measures
// with it how far each bar is filled before any track is written.
class Rhythm {
 public:
  struct Placement {
    float start = 0.0f;  // bar ticks
    float end = 0.0f;
    bool newPosition = false;  // the first value of the bar, or time moved on
    bool movedOn = false;      // time moved on from an earlier value of the bar
  };
  // Places a value of `duration` quarters at `position`.
  Placement Place(float position, float duration);
  // The bar tick at which an item at `position` starts, without placing anything.
  float StartTickAt(float position) const;
  // A grace note moves the last time position without entering the list.
  void SetLastPosition(float position, float startTick) {
    lastPosition_ = position;
    lastStartTick_ = startTick;
  }
  // A new bar: no value sounds any more.
  void ClearValues() { durations_.clear(); }
  // A new track.
  void Reset() { *this = Rhythm{}; }

  const std::vector<CDurationEvent>& Values() const { return durations_; }
  float LastPosition() const { return lastPosition_; }
  float LastStartTick() const { return lastStartTick_; }
  // End of the last value placed, rounded to a tick; kept across bars.
  std::int32_t LastEndTick() const { return lastEndTick_; }

 private:
  std::vector<CDurationEvent> durations_;
  float lastPosition_ = 0.0f;
  float lastStartTick_ = 0.0f;
  std::int32_t lastEndTick_ = 0;
};

// What the track assembly knows about a track before its first item.
struct TrackSetup {
  int number = 0;           // 0 is the tempo track
  int instrumentSlot = -1;  // index into the template's instrument arrays
  int channel = 0;          // 0..15
  int instrumentTransposition = 0;
  std::int32_t bankProgram = 0;                  // the instrument's own, where reverts return
  const PercussionMap* percussionMap = nullptr;  // null: the instrument uses none
  std::int32_t startingTempo = 120;
};

// A note as the specials see it, after pitch, velocity and length are known.
struct SoundingNote {
  float position = 0.0f;
  float start = 0.0f;  // bar ticks
  float end = 0.0f;
  std::int32_t offTick = 0;
  int pitch = 0;
  int writtenPitch = 0;
  int velocity = 0;
  int channel = 0;
  bool firstAtPosition = false;
};

class Engine {
 public:
  Engine(Host& host, const Options& options, const Defaults& defaults);
  Engine(const Engine&) = delete;
  Engine& operator=(const Engine&) = delete;

  // --- Run level ---
  std::vector<CBar>& Bars() { return bars_; }
  const std::vector<CTempoEvent>& Tempos() const { return tempos_; }
  std::vector<CTempoEvent>& Tempos() { return tempos_; }
  // Adds a tempo record after every record whose tick is less than or equal to its own.
  void AddTempo(const CTempoEvent& tempo);
  // Empties the bar and tempo lists (end of a run).
  void ClearRun();

  // --- Track level ---
  // Resets the per-track state and lists for a new track; the first bar is set with SetBar.
  void StartTrack(const TrackSetup& setup);
  // The current bar's right end (Score units) and length (quarter notes).
  void SetBar(float rightEnd, float lengthQuarters);
  // Absolute tick of the start of the current bar.
  void SetBarStartTick(std::int32_t tick) { barStartTick_ = tick; }
  std::int32_t BarStartTick() const { return barStartTick_; }
  // Empty time carried to the next event of the track.
  std::int32_t CarriedTicks() const { return carriedTicks_; }
  void SetCarriedTicks(std::int32_t ticks) { carriedTicks_ = ticks; }
  // A new system: first position of system, no key signature, every span slot inactive.
  void StartSystem();
  void ClearFirstPositionOfSystem() { firstPositionOfSystem_ = false; }
  // The right end of the last bar of the previous system, for ties over the break.
  void SetPreviousSystemEnd(float position) { previousSystemEnd_ = position; }
  // At a bar change: ends the ties left behind by `itemPosition` (or, on a new system, those that
  // stop before the previous system's end); their held notes end at their recorded ticks.
  void EndExpiredTies(float itemPosition, bool newSystem);
  // Turns the queued grace notes into events (a main note, a rest, a bar end or the track end).
  void FlushGraceNotes();
  // After a bar flush: accidentals, durations, pending and grace lists; the ties too at the end
  // of a track.
  void ClearBarState(bool includingTies);
  // After the track was written: pending, track and lyric lists.
  void ClearTrack();

  // --- Items ---
  // Interprets one item line of the current track in the current bar.
  void InterpretItem(const TrackLine& item);
  // The bar tick at which an item at `position` starts, without placing anything.
  float StartTickAt(float position) const;
  // Puts an event into the pending list after every event with an equal or smaller tick.
  void InsertPending(const CBarDataEvent& event);

  // --- Span slots ---
  CSpecialEvent& Slot(int n) { return slots_.at(static_cast<std::size_t>(n)); }
  const CSpecialEvent& Slot(int n) const { return slots_.at(static_cast<std::size_t>(n)); }
  void SetSlot(int n, bool active, float end);
  void DeactivateSlots();

  // --- Lists of the current track ---
  const std::vector<CBarDataEvent>& Pending() const { return pending_; }
  std::vector<CBarDataEvent>& Pending() { return pending_; }
  const std::vector<CMidiDataEvent>& TrackEvents() const { return trackEvents_; }
  std::vector<CMidiDataEvent>& TrackEvents() { return trackEvents_; }
  const std::vector<CLyricEvent>& Lyrics() const { return lyrics_; }
  std::vector<CLyricEvent>& Lyrics() { return lyrics_; }
  const std::vector<CDurationEvent>& Durations() const { return rhythm_.Values(); }
  const std::vector<CGracenoteEvent>& Graces() const { return graces_; }
  const std::list<CTieEvent>& Ties() const { return ties_; }
  const std::list<CTiedPitchEvent>& HeldNotes() const { return heldNotes_; }

  // --- Per-track state ---
  int TrackNumber() const { return trackNumber_; }
  bool IsTempoTrack() const { return trackNumber_ == 0; }
  int InstrumentSlot() const { return instrumentSlot_; }
  int Channel() const { return channel_; }
  int Velocity() const { return velocity_; }
  void SetVelocity(int v);
  int NoteLength() const { return noteLength_; }
  void SetNoteLength(int percent) { noteLength_ = percent; }
  int Transposition() const { return transposition_; }
  void SetTransposition(int halfTones);
  std::int32_t Tempo() const { return tempo_; }
  std::int32_t PreviousTempo() const { return previousTempo_; }
  void SetTempo(std::int32_t tempo) { tempo_ = tempo; }
  void SetPreviousTempo(std::int32_t tempo) { previousTempo_ = tempo; }
  float BarRightEnd() const { return barRightEnd_; }
  float BarLength() const { return barLength_; }
  float Clef() const { return clef_; }
  int KeySignature() const { return keySignature_; }
  int OctaveMode() const { return octaveMode_; }
  float LastPosition() const { return rhythm_.LastPosition(); }
  float LastStartTick() const { return rhythm_.LastStartTick(); }
  std::int32_t LastNoteEndTick() const { return rhythm_.LastEndTick(); }
  bool FirstPositionOfSystem() const { return firstPositionOfSystem_; }
  const std::array<std::int8_t, kPitchTableSize>& AccidentalMemory() const { return accidentals_; }
  RuleState& Rule() { return rule_; }
  const RuleState& Rule() const { return rule_; }
  std::array<std::int32_t, kControllerCount>& ControllerValues() { return controllerValues_; }
  std::array<std::int32_t, kControllerCount>& ControllerShadow() { return controllerShadow_; }
  const Options& options() const { return options_; }
  const Defaults& defaults() const { return defaults_; }

  // --- Specials: public part ---
  // The library specials are loaded from; without one no special starts.
  void SetSpecialsLibrary(class SpecialLibrary* specials) { specials_ = specials; }
  // Before each track's first item, after StartTrack: forgets the previous track's specials.
  void StartTrackSpecials();
  // The lines of the current track file after the item about to be interpreted, to the file's
  // end (the relative changes count the notes ahead, a tremolo reads its second chord). Set
  // before each InterpretItem; the lines must outlive that call.
  void SetLinesAhead(LinesAhead lines) { linesAhead_ = lines; }
  // A symbol's or text's rule names a special ("ACCEL.SSL", "CRESC [Strings].SSL"): loads it into
  // its slot and starts it at `item`.
  void StartNamedSpecial(const std::string& name, const TrackLine& item);
  // The user cancelled while a special or its terminating symbol was read: the run stops.
  bool SpecialsCancelled() const { return specialsCancelled_; }
  // --- end of specials: public part ---

  // --- Symbol rules: public part ---
  // The library rules are looked up in; without one every code 9 symbol reads as a cleared rule
  // and no text is a symbol.
  void SetSymbolLibrary(class SymbolLibrary* symbols) { symbols_ = symbols; }
  // Before each track's first item, after StartTrack: the instrument's "Convert lyrics"; forgets
  // what the previous track's rules left behind.
  void StartTrackRules(bool convertLyrics);
  // The smallest position of any note, rest or clef of the file group: no lyric lies left of it.
  void SetLyricsLeftLimit(float position) { lyricsLeftLimit_ = position; }
  // The user cancelled while a symbol file was read: the run stops.
  bool SymbolLookupCancelled() const { return lookupCancelled_; }
  // The controller relative changes act on, as the last rule chose it; 0 for none.
  int CurrentController() const { return currentController_; }
  // False when `text` holds no note glyph. Otherwise `tempo` receives the mark's tempo in quarter
  // notes per minute, at most 500; 0 when the mark carries no number.
  static bool MetronomeMarkTempo(std::string_view text, std::int32_t& tempo);
  // --- end of symbol rules: public part ---

 private:
  struct Placement {
    float start = 0.0f;
    float end = 0.0f;
    bool firstAtPosition = false;
    bool firstOfSystem = false;  // at the first time position of a system
  };
  struct Pitch {
    int sounding = 0;
    int written = 0;
    int channel = 0;
  };

  // Steps of InterpretItem (interpret.cpp).
  void InterpretNote(const TrackLine& item, float x);
  void InterpretRest(const TrackLine& item, float x);
  void InterpretGraceNote(const TrackLine& item, float x, float step);
  void InterpretClef(const TrackLine& item);
  void InterpretKeySignature(const TrackLine& item);
  void InterpretStaff(const TrackLine& item);
  void InterpretOrnamentLine(const TrackLine& item);
  void AddTieFromSlur(const TrackLine& item, float x);
  void AddTieFromLine(const TrackLine& item, float x);
  Placement PlaceValue(float x, float duration);
  bool ComputePitch(float x, float step, float accidentalField, Pitch& out);
  int NoteVelocity() const;
  int LengthPercent() const;
  std::int32_t OffTick(float start, float end) const;
  bool ApplySpecials(const SoundingNote& note);
  void EndTemporaryRule(float x);
  // Ties of one sounding note; may change its pitch to the held note's. Out: whether the
  // note-on is made and whether the note-off is held back.
  void MatchTies(float x, const Placement& at, Pitch& pitch, int velocity, bool& makeNoteOn,
                 bool& holdNoteOff);
  void ReleaseHeldNote(std::list<CTiedPitchEvent>::iterator it, std::int32_t tick);
  void ReleaseAllHeld(bool atZero);
  void AddChannelEvent(std::int32_t tick, int status, int data1, int data2, int tag);
  void IssueBankProgram(std::int32_t tick, std::int32_t value);
  void MoveQueuedGraces(float ticks);
  bool PlaceGraceBeforeBarline(float length);

  // --- Specials (engine/specials.cpp) ---
  void StartTrill(const TrackLine& item);
  void StartHairpin(const TrackLine& item);
  void StartTremolo(const TrackLine& item);
  bool PlayHairpin(const SoundingNote& note);
  bool PlaySlotSpecial(const SoundingNote& note);
  bool PlayTrill(const SoundingNote& note);
  bool PlayTremolo(const SoundingNote& note);
  // What a relative change moves, and by how much at each note position.
  enum class Change { kNone, kVelocity, kTempo, kBender, kController };
  struct SpanChange {
    Change kind = Change::kNone;
    std::int32_t amount = 0;
    int controller = 0;
  };
  struct ScanResult {
    int notes = 0;
    bool found = false;
    int symbol = -1;         // the until symbol found, or -1
    std::int32_t tempo = 0;  // a metronome mark's tempo when it ended the scan, else 0
    float largest = 0.0f;    // the largest position read before the terminating line
  };
  // Loads `name` into `slot` unless it is there already; false leaves the slot inactive.
  bool LoadIntoSlot(const char* name, int slot);
  void StartChange(int slot, float start, float limit, bool withinSystem);
  ScanResult ScanAhead(float start, float limit, int slot, const std::string& until,
                       bool withinSystem) const;
  void ApplyChange(int slot, const SoundingNote& note);
  bool PlaySlot(int slot, const SoundingNote& note);
  // Plays the pattern from the note's start to `end`; false when it has no step to play.
  bool PlayPattern(const struct SpecialRecord& pattern, const SoundingNote& note, int unit,
                   float end);
  void StartOneNoteTremolo(const TrackLine& item);
  void StartTwoNoteTremolo(const TrackLine& item);

  class SpecialLibrary* specials_ = nullptr;
  LinesAhead linesAhead_;
  bool specialsCancelled_ = false;
  std::array<SpanChange, kSpanSlotCount> changes_{};
  bool diatonicTrill_ = false;
  std::int32_t bend_ = 0;  // the running bender of a bender change, -8192..8191
  // Tremolo: one note (the loaded special at `tremoloUnit_`) or two chords alternating.
  bool tremoloTwoNotes_ = false;
  int tremoloUnit_ = 60;
  float tremoloFirst_ = 0.0f;  // positions of the two chords
  float tremoloSecond_ = 0.0f;
  std::size_t tremoloIndex_ = 0;  // notes of the first chord played so far
  std::vector<TrackLine> tremoloSecondChord_;
  // --- end of specials ---

  // --- Symbol rules, tempo marks and lyrics (engine/rules.cpp) ---
  void ApplySymbolRules(const TrackLine& item);
  bool ConvertLyric(const TrackLine& item);
  void ApplyNoteRules(const TrackLine& item, float x);
  void ApplyRestRules(const TrackLine& item, float x);
  void ApplyText(const TrackLine& item, float x);
  // Looks symbol `n` up for `item` (a number the library can't hold reads as not found) and
  // applies it.
  void ApplyCode9Symbol(const TrackLine& item, float n, float x, bool fermata);
  void TakeRule(const struct SymbolRecord& record);
  void ClearRuleValues();
  void MoveRunningState();
  void ApplyRule(const TrackLine& item, float x, bool fermata);
  void IssueChannelSettings(float x, std::int32_t tick);
  void IssueTempoSetting(std::int32_t tick, bool fermata);
  void ApplyMetronomeMark(float x, std::int32_t tempo);
  void CancelFermata(float x, float duration);
  std::int32_t AbsoluteTickAt(float x) const;

  class SymbolLibrary* symbols_ = nullptr;
  bool convertLyrics_ = false;
  float lyricsLeftLimit_ = 0.0f;
  bool lookupCancelled_ = false;
  int currentController_ = 0;
  // Where the last bank/program change was made, so that the notes of one chord send it once.
  bool bankProgramMarked_ = false;
  std::int32_t bankProgramBar_ = 0;  // the bar's start tick
  float bankProgramPosition_ = 0.0f;
  // --- end of symbol rules ---

  Host& host_;
  const Options& options_;
  const Defaults& defaults_;

  // Run.
  std::vector<CBar> bars_;
  std::vector<CTempoEvent> tempos_;

  // Track.
  std::vector<CLyricEvent> lyrics_;
  std::vector<CBarDataEvent> pending_;
  std::vector<CMidiDataEvent> trackEvents_;
  Rhythm rhythm_;
  std::vector<CGracenoteEvent> graces_;
  std::list<CTieEvent> ties_;
  std::list<CTiedPitchEvent> heldNotes_;
  std::array<CSpecialEvent, kSpanSlotCount> slots_{};

  int trackNumber_ = 0;
  int instrumentSlot_ = -1;
  int channel_ = 0;
  const PercussionMap* percussionMap_ = nullptr;
  int velocity_ = 80;
  int noteLength_ = 95;
  int transposition_ = 0;
  std::int32_t tempo_ = 120;
  std::int32_t previousTempo_ = 120;
  float barRightEnd_ = 0.0f;
  float barLength_ = 0.0f;
  std::int32_t barStartTick_ = 0;
  std::int32_t carriedTicks_ = 0;
  float clef_ = 0.0f;
  int keySignature_ = 0;
  int octaveMode_ = 0;
  bool firstPositionOfSystem_ = true;
  float previousSystemEnd_ = 0.0f;
  std::array<std::int8_t, kPitchTableSize> accidentals_{};
  RuleState rule_;
  std::array<std::int32_t, kControllerCount> controllerValues_{};
  std::array<std::int32_t, kControllerCount> controllerShadow_{};
};

// Makes a finished track safe to play: a pitch struck again while it sounds on its channel is
// switched off first, a note-off for a pitch that is not sounding goes, and every note still on
// at the end is switched off `trailingTicks` after the last event (the end of the last bar).
void EndEveryNote(std::vector<CMidiDataEvent>& events, std::int32_t trailingTicks);

// Float to tick, truncated toward zero; NaN reads 0 and the result is kept well inside int32.
std::int32_t ToTick(double value);
// A note's accidental field without its stem and placement tens: 1 flat, 2 sharp, 3 natural,
// 4 double flat, 5 double sharp, 6..9 special accidentals; 0 for none or anything else.
int ReduceAccidentalCode(float field);

}  // namespace vellumix

// Systems, bars and instruments: arranges the staff lists of a read file group into systems,
// gives every bar its length and time signature, decides each staff's instrument, pads silent
// instruments with rests, and appends everything to the intermediate track files.
#pragma once

#include <array>
#include <cstdint>
#include <list>
#include <optional>
#include <string>
#include <string_view>

#include "library/settings.h"
#include "platform/host.h"
#include "score/reader.h"
#include "score/track_files.h"

namespace vellumix {

inline constexpr int kInstrumentSlots = 350;  // instrument numbers 0 ... 349

// One system of the current file group.
struct CSystem {
  std::int32_t firstStaff = 0;
  std::int32_t staffCount = 0;
};

// The text a time-signature answer is refused with (message 56), or nothing when the engine can
// play it; what the question dialogs check before they close.
std::optional<std::string> TimeSignatureRefusal(int top, int bottom);
// The text an anacrusis answer outside 0.125 ... 20.0 is refused with, or nothing.
std::optional<std::string> AnacrusisRefusal(float beats);

// Asks a time-signature question until the answer is one the engine can play (top 1 ... 32,
// bottom 2, 4, 8, 16, 32 or 64), showing message 56 after every refused answer. False is Cancel.
bool AskValidTimeSignature(Host& host, TimeSignatureQuestion kind, std::string_view text, int& top,
                           int& bottom);
// Asks the anacrusis question until the answer lies in 0.125 ... 20.0. False is Cancel.
bool AskValidAnacrusis(Host& host, std::string_view text, float& beats);

class SystemsStage {
 public:
  SystemsStage(Host& host, ScoreInput& score, TrackFileWriter& tracks, Options& options);

  // The resets of a new run: no time signature yet, first bar pending, no instruments seen.
  void StartRun();
  // "Interpret multiple systems" was changed in the Options dialog: ask again next time.
  void MultipleSystemsOptionChanged() { askAgain_ = 1; }

  // The second half of reading a group, after its files have been read: systems, cross-staff
  // correction, bars and track files. Sets the group-read flag, and clears the time-signature
  // flags on success. False after a message, or on cancel.
  bool ProcessFileGroup(const std::string& name);

  // Forms the systems of the group from the barline lists; may ask message 53 or 54.
  void FindSystems(const std::string& name);
  // Processes and writes every system; false after a message, or on cancel.
  bool WriteSystems(const std::string& name);
  // Extends the barlines of staff f with the bar values, reading time signatures on staff t.
  bool ReadBars(int f, int t, const std::string& name);
  // The instrument number staff s is written under (late instruments get rests for the bars
  // written so far); 0 to stop.
  int ResolveInstrument(int k, int s, const std::string& name);
  // Writes a bar's rest for every bar of `barlineList` to each instrument of the run without a
  // staff in this system. False when a file could not be written.
  bool FillAbsentInstruments(const ItemList& barlineList);

  const std::list<CSystem>& Systems() const { return systems_; }
  std::int32_t SystemCounter() const { return systemCounter_; }
  std::int32_t AskAgain() const { return askAgain_; }
  float BeatsPerBar() const { return beatsPerBar_; }
  float Numerator() const { return numerator_; }
  float Denominator() const { return denominator_; }
  float SecondNumerator() const { return secondNumerator_; }
  float SecondDenominator() const { return secondDenominator_; }
  float FirstBarLength() const { return firstBarLength_; }
  std::int32_t FirstBarPending() const { return firstBarPending_; }
  std::int32_t FirstSystem() const { return firstSystem_; }
  std::int32_t AnacrusisAsked() const { return anacrusisAsked_; }
  float AnacrusisLength() const { return anacrusisLength_; }
  bool InSystem(int k) const { return k >= 0 && k < kInstrumentSlots && thisSystem_[k] != 0; }
  bool InRun(int k) const { return k >= 0 && k < kInstrumentSlots && run_[k] != 0; }

 private:
  // The values a time signature item gives; false when the engine cannot play it.
  bool TakeTimeSignature(const CItem& item);
  // Asks `kind` with `text`, starting at top/bottom, and makes the answer the one in force.
  bool AskAndTake(TimeSignatureQuestion kind, const std::string& text, int top, int bottom);
  int LowestFreeInSystem() const;
  // After a failure: nothing of this group may reach the next one.
  void AbandonGroup();

  Host& host_;
  ScoreInput& score_;
  TrackFileWriter& tracks_;
  Options& options_;

  std::list<CSystem> systems_;  // head: highest first staff
  std::int32_t systemCounter_ = 0;
  std::int32_t askAgain_ = 1;
  float beatsPerBar_ = 0.0f;
  float numerator_ = 4.0f;
  float denominator_ = 4.0f;
  float secondNumerator_ = 0.0f;
  float secondDenominator_ = 0.0f;
  float firstBarLength_ = 0.0f;
  std::int32_t firstBarPending_ = 1;
  std::array<std::int32_t, kInstrumentSlots> thisSystem_{};
  std::array<std::int32_t, kInstrumentSlots> run_{};
  std::int32_t firstSystem_ = 1;
  std::int32_t anacrusisAsked_ = 0;
  float anacrusisLength_ = 0.0f;
};

}  // namespace vellumix

// Percussion map setups (*.MAP): named lists of maps, each playing a written pitch as another
// note and optionally on another channel; the note names the dialogs show; and the engine's map
// filled from a setup.
#pragma once

#include <cstdint>
#include <optional>
#include <span>
#include <string>
#include <string_view>
#include <vector>

#include "library/settings.h"

namespace vellumix {

class Host;

inline constexpr std::int32_t kMaxMapChannel = 64;  // the "Use Midi Channel" list: "", 1 … 64

inline constexpr std::string_view kMapSetupNameBlank =
    "Map Setup name is blank. Please give it a name.";

// "C0", "C#0", … "C5" (60), … "G10" (127): step names C C# D Eb E F F# G G# A Bb B and
// octave = note / 12. Empty outside 0 to 127.
std::string NoteName(int note);
// The note a name stands for ("C5" is 60), or nothing.
std::optional<int> NoteNumber(std::string_view name);

// One setup: four parallel lists, names in sorted order (without regard to letter case), every
// change keeping the lists aligned.
class MapSetup {
 public:
  struct Map {
    std::string name;              // "Instrument"
    std::int32_t pitch = 0;        // written, 0 to 127
    std::int32_t playedPitch = 0;  // "maps to", 0 to 127
    std::int32_t channel = 0;      // 0 keeps the instrument's channel; 1 to 64

    bool operator==(const Map&) const = default;
  };

  std::int32_t version = kLibraryFileVersion;
  std::string name;  // "Map Setup Name"

  std::size_t Count() const { return names_.size(); }
  Map At(std::size_t i) const { return {names_[i], pitches_[i], playedPitches_[i], channels_[i]}; }
  const std::vector<std::string>& Names() const { return names_; }
  const std::vector<std::int32_t>& Pitches() const { return pitches_; }
  const std::vector<std::int32_t>& PlayedPitches() const { return playedPitches_; }
  const std::vector<std::int32_t>& Channels() const { return channels_; }

  // New Map: the name goes to its sorted place (after equal names) and the values with it.
  // Returns the position.
  std::size_t Insert(const Map& map);
  // Edit Map's OK on the map at `i`: with its name unchanged the values are replaced; with a new
  // name a map is inserted and the old one stays. Returns the edited map's position.
  std::size_t Edit(std::size_t i, const Map& map);
  // Delete Map: removes the maps at `positions` (any order; out-of-range ones are ignored).
  void Remove(std::vector<std::size_t> positions);
  // Appends in stored order, for reading a file.
  void Append(const Map& map);

  bool operator==(const MapSetup&) const = default;

 private:
  std::vector<std::string> names_;
  std::vector<std::int32_t> pitches_;
  std::vector<std::int32_t> playedPitches_;
  std::vector<std::int32_t> channels_;
};

// Version 310, the name, the count, then the names, written pitches, played pitches, channels.
std::vector<std::uint8_t> EncodeMapSetup(const MapSetup& setup);
// Nothing when the data ends early or the count is negative or more than the data can hold.
// The maps stay in stored order, which decides which of two maps for one pitch is used.
std::optional<MapSetup> DecodeMapSetup(std::span<const std::uint8_t> bytes);
// A blank name gives kMapSetupNameBlank (field "name"); then pitches 0 to 127 and channels 0 to
// 64 (fields "pitch", "playedPitch", "channel"), with the Edit Map dialog's texts.
std::optional<FieldError> ValidateMapSetup(const MapSetup& setup);
std::optional<FieldError> ValidateMap(const MapSetup::Map& map);

// Reads "%s%s.MAP" of the library folder: message 9 when it can't be opened, 20002 when damaged,
// 20009 when a value is out of range.
std::optional<MapSetup> ReadMapSetup(Host& host, const std::string& folder,
                                     const std::string& name);
// Edit Map setup's OK: checks, then writes "%s%s.MAP" (replacing a file of that name in any
// letter case). False with `error` set when refused (nothing written), or after message 10.
bool WriteMapSetup(Host& host, const std::string& folder, const MapSetup& setup,
                   std::string* error = nullptr);
// Every "%s*.MAP" name without extension, sorted without regard to letter case.
std::vector<std::string> MapSetupChoices(const std::string& folder);
// Delete Setup: removes "%s%s.MAP" (found without regard to letter case). True when it is gone;
// false after "Unable to delete file %s", or without a message for a name that can't be a file of
// the folder.
bool DeleteMapSetup(Host& host, const std::string& folder, const std::string& name);

}  // namespace vellumix

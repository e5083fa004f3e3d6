#include "library/percussion_maps.h"

#include <algorithm>
#include <charconv>
#include <functional>

#include "library/archive.h"
#include "library/instrument_list.h"
#include "platform/files.h"
#include "platform/host.h"
#include "res/strings.h"

namespace vellumix {
namespace {

constexpr std::string_view kSteps[12] = {"C",  "C#", "D",  "Eb", "E",  "F",
                                         "F#", "G",  "G#", "A",  "Bb", "B"};
constexpr std::string_view kNotAFileName = "A name can't contain \"/\".";

bool UsableAsFileName(std::string_view name) {
  return name.find_first_of(std::string_view("/\0", 2)) == std::string_view::npos;
}

std::string SetupPath(const std::string& folder, const std::string& name) {
  const std::string file = name + ".MAP";
  if (!UsableAsFileName(name)) return folder + file;
  return files::Resolve(folder, file).string();
}

template <class T>
void EraseAt(std::vector<T>& v, std::size_t i) {
  v.erase(v.begin() + static_cast<std::ptrdiff_t>(i));
}

template <class T>
void InsertAt(std::vector<T>& v, std::size_t i, T value) {
  v.insert(v.begin() + static_cast<std::ptrdiff_t>(i), std::move(value));
}

}  // namespace

std::string NoteName(int note) {
  if (note < 0 || note > 127) return {};
  return std::string(kSteps[note % 12]) + std::to_string(note / 12);
}

std::optional<int> NoteNumber(std::string_view name) {
  // Two-letter steps first, so that "C#5" is not read as "C" and "#5".
  for (std::size_t len : {std::size_t{2}, std::size_t{1}}) {
    if (name.size() <= len) continue;
    auto it = std::find(std::begin(kSteps), std::end(kSteps), name.substr(0, len));
    if (it == std::end(kSteps)) continue;
    int octave = 0;
    const char* end = name.data() + name.size();
    auto [p, ec] = std::from_chars(name.data() + len, end, octave);
    if (ec != std::errc() || p != end || octave < 0 || octave > 10) return std::nullopt;
    int note = octave * 12 + static_cast<int>(it - std::begin(kSteps));
    if (note > 127) return std::nullopt;
    return note;
  }
  return std::nullopt;
}

std::size_t MapSetup::Insert(const Map& map) {
  auto at = std::upper_bound(names_.begin(), names_.end(), map.name,
                             [](const std::string& a, const std::string& b) {
                               return files::LessNoCase(a, b) && !files::EqualNoCase(a, b);
                             });
  const auto i = static_cast<std::size_t>(at - names_.begin());
  InsertAt(names_, i, map.name);
  InsertAt(pitches_, i, map.pitch);
  InsertAt(playedPitches_, i, map.playedPitch);
  InsertAt(channels_, i, map.channel);
  return i;
}

std::size_t MapSetup::Edit(std::size_t i, const Map& map) {
  if (i >= Count() || names_[i] != map.name) return Insert(map);
  pitches_[i] = map.pitch;
  playedPitches_[i] = map.playedPitch;
  channels_[i] = map.channel;
  return i;
}

void MapSetup::Remove(std::vector<std::size_t> positions) {
  std::sort(positions.begin(), positions.end(), std::greater<>());
  positions.erase(std::unique(positions.begin(), positions.end()), positions.end());
  for (std::size_t i : positions) {
    if (i >= Count()) continue;
    EraseAt(names_, i);
    EraseAt(pitches_, i);
    EraseAt(playedPitches_, i);
    EraseAt(channels_, i);
  }
}

void MapSetup::Append(const Map& map) {
  names_.push_back(map.name);
  pitches_.push_back(map.pitch);
  playedPitches_.push_back(map.playedPitch);
  channels_.push_back(map.channel);
}

std::vector<std::uint8_t> EncodeMapSetup(const MapSetup& setup) {
  ArchiveWriter w;
  w.WriteInt32(kLibraryFileVersion);
  w.WriteString(setup.name);
  w.WriteInt32(static_cast<std::int32_t>(setup.Count()));
  for (const auto& n : setup.Names()) w.WriteString(n);
  for (auto v : setup.Pitches()) w.WriteInt32(v);
  for (auto v : setup.PlayedPitches()) w.WriteInt32(v);
  for (auto v : setup.Channels()) w.WriteInt32(v);
  return w.Take();
}

std::optional<MapSetup> DecodeMapSetup(std::span<const std::uint8_t> bytes) {
  ArchiveReader r(bytes);
  MapSetup out;
  std::int32_t count = 0;
  if (!r.ReadInt32(out.version) || !r.ReadString(out.name) || !r.ReadInt32(count))
    return std::nullopt;
  // Each map takes at least a length byte and three integers.
  if (count < 0 || static_cast<std::uint64_t>(count) * 13 > r.Remaining()) return std::nullopt;
  const auto n = static_cast<std::size_t>(count);
  std::vector<MapSetup::Map> maps(n);
  for (auto& m : maps)
    if (!r.ReadString(m.name)) return std::nullopt;
  for (auto field : {&MapSetup::Map::pitch, &MapSetup::Map::playedPitch, &MapSetup::Map::channel})
    for (auto& m : maps)
      if (!r.ReadInt32(m.*field)) return std::nullopt;
  for (const auto& m : maps) out.Append(m);
  return out;
}

std::optional<FieldError> ValidateMap(const MapSetup::Map& map) {
  if (map.pitch < 0 || map.pitch > 127) return FieldError{"pitch", RangeText(0, 127, true)};
  if (map.playedPitch < 0 || map.playedPitch > 127)
    return FieldError{"playedPitch", RangeText(0, 127, true)};
  if (map.channel < 0 || map.channel > kMaxMapChannel)
    return FieldError{"channel", RangeText(0, kMaxMapChannel, true)};
  return std::nullopt;
}

std::optional<FieldError> ValidateMapSetup(const MapSetup& setup) {
  if (setup.name.empty()) return FieldError{"name", std::string(kMapSetupNameBlank)};
  if (!UsableAsFileName(setup.name)) return FieldError{"name", std::string(kNotAFileName)};
  for (std::size_t i = 0; i < setup.Count(); ++i)
    if (auto bad = ValidateMap(setup.At(i))) return bad;
  return std::nullopt;
}

std::optional<MapSetup> ReadMapSetup(Host& host, const std::string& folder,
                                     const std::string& name) {
  const std::string path = SetupPath(folder, name);
  std::optional<files::Bytes> bytes;
  if (UsableAsFileName(name)) bytes = files::ReadAll(path);
  if (!bytes) {
    ShowMessage(host, res::kCannotRead, path);
    return std::nullopt;
  }
  auto setup = DecodeMapSetup(*bytes);
  if (!setup) {
    ShowMessage(host, res::kTruncatedLibraryFile, path);
    return std::nullopt;
  }
  // The stored name is only shown; the values reach the MIDI data.
  for (std::size_t i = 0; i < setup->Count(); ++i) {
    if (auto bad = ValidateMap(setup->At(i))) {
      ShowMessageFormatted(host, res::kValueOutOfRangeInFile, {path, bad->field});
      return std::nullopt;
    }
  }
  return setup;
}

bool WriteMapSetup(Host& host, const std::string& folder, const MapSetup& setup,
                   std::string* error) {
  if (auto bad = ValidateMapSetup(setup)) {
    if (error) *error = bad->text;
    return false;
  }
  const std::string path = SetupPath(folder, setup.name);
  if (!files::WriteAtomic(path, EncodeMapSetup(setup))) {
    ShowWriteFailure(host, path);
    return false;
  }
  return true;
}

std::vector<std::string> MapSetupChoices(const std::string& folder) {
  std::vector<std::string> out;
  for (const auto& p : files::List(folder, ".MAP")) {
    std::string file = p.filename().string();
    out.push_back(file.substr(0, file.size() - 4));
  }
  return out;
}

bool DeleteMapSetup(Host& host, const std::string& folder, const std::string& name) {
  if (!UsableAsFileName(name)) return false;
  return DeleteLibraryFile(host, folder, name + ".MAP");
}

}  // namespace vellumix

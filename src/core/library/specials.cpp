#include "library/specials.h"

#include <charconv>
#include <filesystem>
#include <limits>
#include <system_error>
#include <type_traits>
#include <variant>

#include "library/archive.h"
#include "library/library.h"
#include "library/symbols.h"
#include "platform/files.h"
#include "platform/host.h"
#include "res/strings.h"

namespace vellumix {
namespace fs = std::filesystem;

namespace {

constexpr std::string_view kNameBlank = "Special name is blank. Please give it a name.";
constexpr std::string_view kUntilTooLong = "Enter no more than 150 characters.";
constexpr std::string_view kNoSlash = "A special's name or library can't contain \"/\".";

using Steps = SpecialRecord::Steps;

// One step of one of the three pattern rows.
struct Step {
  Steps SpecialRecord::*row;
  std::size_t index;
};

// One field after the version, in file order; encoding, checks and the factory source all read
// this table.
struct Field {
  std::string_view name;
  std::variant<std::int32_t SpecialRecord::*, std::string SpecialRecord::*, Step> member;
  std::int32_t min = 0;
  std::int32_t max = 0;
};

constexpr std::int32_t kMaxIndex = std::numeric_limits<std::int32_t>::max();

const Field kFields[] = {
    {"fileName", &SpecialRecord::fileName},
    {"kind", &SpecialRecord::kind, 0, 1},
    {"duration1", Step{&SpecialRecord::durations, 0}, 0, 99},
    {"duration2", Step{&SpecialRecord::durations, 1}, 0, 99},
    {"duration3", Step{&SpecialRecord::durations, 2}, 0, 99},
    {"duration4", Step{&SpecialRecord::durations, 3}, 0, 99},
    {"duration5", Step{&SpecialRecord::durations, 4}, 0, 99},
    {"duration6", Step{&SpecialRecord::durations, 5}, 0, 99},
    {"duration7", Step{&SpecialRecord::durations, 6}, 0, 99},
    {"velocity1", Step{&SpecialRecord::velocities, 0}, 0, 999},
    {"velocity2", Step{&SpecialRecord::velocities, 1}, 0, 999},
    {"velocity3", Step{&SpecialRecord::velocities, 2}, 0, 999},
    {"velocity4", Step{&SpecialRecord::velocities, 3}, 0, 999},
    {"velocity5", Step{&SpecialRecord::velocities, 4}, 0, 999},
    {"velocity6", Step{&SpecialRecord::velocities, 5}, 0, 999},
    {"velocity7", Step{&SpecialRecord::velocities, 6}, 0, 999},
    {"pitchMovement1", Step{&SpecialRecord::pitchMovements, 0}, -64, 63},
    {"pitchMovement2", Step{&SpecialRecord::pitchMovements, 1}, -64, 63},
    {"pitchMovement3", Step{&SpecialRecord::pitchMovements, 2}, -64, 63},
    {"pitchMovement4", Step{&SpecialRecord::pitchMovements, 3}, -64, 63},
    {"pitchMovement5", Step{&SpecialRecord::pitchMovements, 4}, -64, 63},
    {"pitchMovement6", Step{&SpecialRecord::pitchMovements, 5}, -64, 63},
    {"pitchMovement7", Step{&SpecialRecord::pitchMovements, 6}, -64, 63},
    {"repeated", &SpecialRecord::repeated, 0, 1},
    {"minimumDuration", &SpecialRecord::minimumDuration, 0, 120},
    {"changeVelocity", &SpecialRecord::changeVelocity, 0, 1},
    {"changeTempo", &SpecialRecord::changeTempo, 0, 1},
    {"changeBender", &SpecialRecord::changeBender, 0, 1},
    {"changeController", &SpecialRecord::changeController, 0, 1},
    {"controllerNumber", &SpecialRecord::controllerNumber, 0, 127},
    {"untilSymbol", &SpecialRecord::untilSymbol},
    {"offset", &SpecialRecord::offset, 0, 300},
    {"revert", &SpecialRecord::revert, 0, 1},
    {"instrumentLibrary", &SpecialRecord::instrumentLibrary, 0, kMaxIndex},
};

// The field's storage in `r`: an int32 or a string.
template <class Record>
auto& Access(Record& r, std::int32_t SpecialRecord::*m) {
  return r.*m;
}
template <class Record>
auto& Access(Record& r, std::string SpecialRecord::*m) {
  return r.*m;
}
template <class Record>
auto& Access(Record& r, Step s) {
  return (r.*(s.row))[s.index];
}

std::string UpperCase(std::string_view s) {
  std::string out(s);
  for (auto& c : out)
    if (c >= 'a' && c <= 'z') c = static_cast<char>(c - 'a' + 'A');
  return out;
}

bool ContainsNoCase(std::string_view haystack, std::string_view needle) {
  return UpperCase(haystack).find(UpperCase(needle)) != std::string::npos;
}

// The name a lookup searches for: the part before the first ".", upper case.
std::string LookupKey(std::string_view name) {
  return UpperCase(name.substr(0, name.find('.')));
}

std::string Stem(const fs::path& path) {
  std::string name = path.filename().string();
  auto dot = name.rfind('.');
  return dot == std::string::npos ? name : name.substr(0, dot);
}

}  // namespace

std::vector<std::uint8_t> EncodeSpecial(const SpecialRecord& record) {
  ArchiveWriter w;
  w.WriteInt32(kLibraryFileVersion);
  for (const auto& f : kFields) {
    std::visit([&](auto member) { w.Write(Access(record, member)); }, f.member);
  }
  return w.Take();
}

std::optional<SpecialRecord> DecodeSpecial(std::span<const std::uint8_t> bytes) {
  ArchiveReader r(bytes);
  SpecialRecord out;
  if (!r.ReadInt32(out.version)) return std::nullopt;
  for (const auto& f : kFields) {
    bool ok = std::visit([&](auto member) { return r.Read(Access(out, member)); }, f.member);
    if (!ok) return std::nullopt;
  }
  return out;
}

std::optional<FieldError> ValidateSpecial(const SpecialRecord& record) {
  for (const auto& f : kFields) {
    if (std::holds_alternative<std::string SpecialRecord::*>(f.member)) {
      if (f.name == "untilSymbol" && record.untilSymbol.size() > kMaxUntilSymbol)
        return FieldError{std::string(f.name), std::string(kUntilTooLong)};
      continue;
    }
    const std::int32_t v = std::visit(
        [&](auto member) -> std::int32_t {
          if constexpr (std::is_same_v<decltype(member), std::string SpecialRecord::*>)
            return 0;
          else
            return Access(record, member);
        },
        f.member);
    if (v < f.min || v > f.max)
      return FieldError{std::string(f.name), RangeText(f.min, f.max, true)};
  }
  return std::nullopt;
}

bool SetField(SpecialRecord& record, std::string_view key, std::string_view value) {
  for (const auto& f : kFields) {
    if (f.name != key) continue;
    if (const auto* s = std::get_if<std::string SpecialRecord::*>(&f.member)) {
      record.** s = std::string(value);
      return true;
    }
    const std::optional<std::int32_t> parsed = ParseInt32(value);
    if (!parsed) return false;
    std::visit(
        [&](auto member) {
          if constexpr (!std::is_same_v<decltype(member), std::string SpecialRecord::*>)
            Access(record, member) = *parsed;
        },
        f.member);
    return true;
  }
  return false;
}

std::string SpecialFileName(std::string_view name, std::string_view libraryText) {
  std::string out = UpperCase(name);
  if (!libraryText.empty()) out += " [" + std::string(libraryText) + "]";
  return out + ".SSL";
}

std::string SpecialNameFromRule(std::string_view special) {
  const auto open = special.find('[');
  if (open == std::string_view::npos) return std::string(special);
  // The character before the bracket is the blank that separates the library.
  const std::size_t cut = open == 0 ? 0 : open - 1;
  return std::string(special.substr(0, cut)) + ".SSL";
}

std::vector<LibraryEntry> ListSpecials(const std::string& folder) {
  std::vector<LibraryEntry> out;
  for (const auto& path : files::List(folder, ".SSL"))
    out.push_back(SpecialEntry(path.filename().string()));
  return out;
}

LibraryEntry SpecialEntry(std::string_view fileName) {
  return {std::string(fileName), FileStem(fileName)};
}

std::optional<SpecialRecord> ReadSpecialFile(Host& host, const std::string& folder,
                                             std::string_view fileName) {
  const fs::path path = files::Resolve(folder, fileName);
  auto bytes = files::ReadAll(path);
  std::optional<SpecialRecord> record;
  if (bytes) record = DecodeSpecial(*bytes);
  if (!record) ShowMessage(host, res::kCannotRead, path.string());
  return record;
}

SpecialLibrary::SpecialLibrary(Host& host, const SettingsLibrary& settings,
                               const SymbolLibrary& symbols)
    : host_(host), settings_(settings), symbols_(symbols) {}

SpecialLibrary::Read SpecialLibrary::ReadRecord(const std::string& path, SpecialRecord& out) {
  auto bytes = files::ReadAll(path);
  if (!bytes) return Read::kMissing;
  auto record = DecodeSpecial(*bytes);
  // Values out of range are as unusable as a short file: the engine relies on the limits.
  if (!record || ValidateSpecial(*record)) {
    // Once a run: a damaged file may be asked for at every trill.
    if (damagedReported_.insert(path).second) ShowMessage(host_, res::kTruncatedLibraryFile, path);
    return Read::kDamaged;
  }
  out = std::move(*record);
  return Read::kOk;
}

bool SpecialLibrary::Fill(Slot& slot, const std::string& path, SpecialRecord record,
                          const std::string& key) {
  if (!ReportStatusFormatted(host_, res::kReadingFile, fs::path(path).filename().string(), 0,
                             false)) {
    cancelled_ = true;
    return false;
  }
  slot.filled = true;
  slot.key = key;
  slot.library = symbols_.CurrentInstrumentLibrary();
  slot.record = std::move(record);
  return true;
}

bool SpecialLibrary::LoadSpecial(std::string_view name, int slotNumber, bool direct) {
  cancelled_ = false;
  if (slotNumber < 0 || slotNumber >= kSpecialSlotCount) return false;
  Slot& slot = slots_[static_cast<std::size_t>(slotNumber)];
  slot = Slot{};
  const bool prompt = settings_.options.promptMissingSymbol != 0;
  SpecialRecord record;

  if (direct) {
    std::string path = settings_.LibraryFile(std::string(name));
    Read r = ReadRecord(path, record);
    if (r == Read::kMissing) ShowMessage(host_, res::kCannotRead, path);
    return r == Read::kOk && Fill(slot, path, std::move(record), UpperCase(name));
  }

  const std::string key = LookupKey(name);
  if (key.empty()) return false;
  const std::int32_t current = symbols_.CurrentInstrumentLibrary();
  std::optional<std::vector<std::string>> lines;
  for (const auto& path : files::List(settings_.LibraryFolder, ".SSL", key + " ")) {
    const std::string stem = Stem(path);
    const auto blank = stem.find(" [");
    const auto close = stem.rfind(']');
    if (blank == std::string::npos || close == std::string::npos || close < blank) continue;
    if (UpperCase(stem.substr(0, blank)) != key) continue;
    SpecialRecord candidate;
    if (ReadRecord(path.string(), candidate) != Read::kOk) continue;
    bool applies = candidate.instrumentLibrary == current;
    if (!applies && current > 0) {
      if (!lines) {
        lines = ReadInstrumentList(host_, settings_.LibraryFolder);
        if (!lines) return false;
      }
      const auto index = static_cast<std::size_t>(current) - 1;
      const std::string bracket = stem.substr(blank + 2, close - blank - 2);
      applies = index < lines->size() && ContainsNoCase((*lines)[index], bracket);
    }
    if (applies) return Fill(slot, path.string(), std::move(candidate), key);
  }

  const std::string path = settings_.LibraryFile(key + ".SSL");
  Read r = ReadRecord(path, record);
  if (r == Read::kMissing && prompt) ShowMessage(host_, res::kCannotRead, path);
  return r == Read::kOk && Fill(slot, path, std::move(record), key);
}

bool SpecialLibrary::Holds(int slotNumber, std::string_view name) const {
  if (slotNumber < 0 || slotNumber >= kSpecialSlotCount) return false;
  const Slot& slot = slots_[static_cast<std::size_t>(slotNumber)];
  // A bracketed file found for one instrument library need not apply to the next.
  return slot.filled && !slot.key.empty() && slot.key == LookupKey(name) &&
         slot.library == symbols_.CurrentInstrumentLibrary();
}

const SpecialRecord* SpecialLibrary::Loaded(int slotNumber) const {
  if (slotNumber < 0 || slotNumber >= kSpecialSlotCount) return nullptr;
  const Slot& slot = slots_[static_cast<std::size_t>(slotNumber)];
  return slot.filled ? &slot.record : nullptr;
}

void SpecialLibrary::Install(int slotNumber, const SpecialRecord& record) {
  if (slotNumber < 0 || slotNumber >= kSpecialSlotCount) return;
  Slot& slot = slots_[static_cast<std::size_t>(slotNumber)];
  slot = Slot{true, "", 0, record};
}

void SpecialLibrary::Release() {
  for (Slot& slot : slots_) slot = Slot{};
  damagedReported_.clear();
  cancelled_ = false;
}

bool SpecialLibrary::SaveSpecial(const SpecialRecord& record, std::string* error,
                                 std::string* fileName) {
  FieldError refused;
  if (SaveSpecial(record, refused, fileName)) return true;
  if (error) *error = refused.text;
  return false;
}

bool SpecialLibrary::SaveSpecial(const SpecialRecord& record, FieldError& refused,
                                 std::string* fileName) {
  refused = {};
  auto refuse = [&](std::string_view field, std::string_view text) {
    refused = FieldError{std::string(field), std::string(text)};
    return false;
  };
  SpecialRecord r = record;
  r.version = kLibraryFileVersion;
  if (r.fileName.empty()) return refuse("fileName", kNameBlank);
  if (r.fileName.find('/') != std::string::npos) return refuse("fileName", kNoSlash);
  if (auto bad = ValidateSpecial(r)) return refuse(bad->field, bad->text);
  r.fileName = UpperCase(r.fileName);

  std::string libraryText;
  if (r.instrumentLibrary > 0) {
    auto lines = ReadInstrumentList(host_, settings_.LibraryFolder);
    if (!lines) return false;
    if (static_cast<std::size_t>(r.instrumentLibrary) > lines->size())
      return refuse("instrumentLibrary", RangeText(0, static_cast<double>(lines->size()), true));
    libraryText = (*lines)[static_cast<std::size_t>(r.instrumentLibrary) - 1];
    if (libraryText.find('/') != std::string::npos) return refuse("instrumentLibrary", kNoSlash);
  }

  fs::path path = files::Resolve(settings_.LibraryFolder, SpecialFileName(r.fileName, libraryText));
  if (!files::WriteAtomic(path, EncodeSpecial(r))) {
    ShowWriteFailure(host_, path.string());
    return false;
  }
  damagedReported_.erase(path.string());
  if (fileName) *fileName = path.filename().string();
  return true;
}

}  // namespace vellumix

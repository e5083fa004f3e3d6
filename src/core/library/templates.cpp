#include "library/templates.h"

#include <charconv>
#include <filesystem>
#include <limits>
#include <system_error>
#include <type_traits>
#include <variant>

#include "library/archive.h"
#include "library/instrument_list.h"
#include "platform/files.h"
#include "platform/host.h"
#include "res/strings.h"

namespace vellumix {
namespace {

constexpr std::string_view kNotAFileName = "A name can't contain \"/\".";
constexpr std::string_view kEnterInteger = "Enter an integer.";
constexpr std::int32_t kMaxIndex = std::numeric_limits<std::int32_t>::max();

// One field after the version, in file order; encoding, checks and the factory source all read
// this table.
struct Field {
  std::string_view name;
  std::variant<std::int32_t InstrumentRecord::*, std::string InstrumentRecord::*> member;
  std::int32_t min = 0;
  std::int32_t max = 0;
  std::int32_t fromVersion = 0;
};

const Field kFields[] = {
    {"staveId", &InstrumentRecord::staveId, 0, kMaxStaveId},
    {"staveName", &InstrumentRecord::staveName},
    {"instrumentLibrary", &InstrumentRecord::instrumentLibrary, 0, kMaxIndex},
    {"port", &InstrumentRecord::port, 0, kPortChoices - 1},
    {"channel", &InstrumentRecord::channel, 0, kChannelChoices - 1},
    {"bankProgram", &InstrumentRecord::bankProgram, 0, kMaxIndex},
    {"pan", &InstrumentRecord::pan, -63, 64},
    {"volume", &InstrumentRecord::volume, 0, 127},
    {"transposition", &InstrumentRecord::transposition, -26, 26},
    {"convertLyrics", &InstrumentRecord::convertLyrics, 0, 1},
    {"usePercussionMap", &InstrumentRecord::usePercussionMap, 0, 1, 310},
    {"percussionMap", &InstrumentRecord::percussionMap, 0, kMaxIndex, 310},
    {"percussionMapName", &InstrumentRecord::percussionMapName, 0, 0, 310},
};

// Names become file names in the library folder: a separator would lead out of it.
bool UsableAsFileName(std::string_view name) {
  return name.find_first_of(std::string_view("/\0", 2)) == std::string_view::npos;
}

std::string LibraryPath(const std::string& folder, const std::string& name) {
  // A name that can't be a file of the folder is reported under the path it would have had.
  if (!UsableAsFileName(name)) return folder + name;
  return files::Resolve(folder, name).string();
}

std::string_view Trimmed(std::string_view text) {
  const auto first = text.find_first_not_of(" \t");
  if (first == std::string_view::npos) return {};
  return text.substr(first, text.find_last_not_of(" \t") - first + 1);
}

std::string Stem(const std::filesystem::path& path, std::size_t extensionLength) {
  std::string name = path.filename().string();
  return name.substr(0, name.size() - extensionLength);
}

std::vector<std::string> Stems(const std::string& folder, std::string_view extension) {
  std::vector<std::string> out;
  for (const auto& p : files::List(folder, extension)) out.push_back(Stem(p, extension.size()));
  return out;
}

// A file's bytes, or nothing after message 9.
std::optional<files::Bytes> ReadLibraryFile(Host& host, const std::string& folder,
                                            const std::string& name) {
  const std::string path = LibraryPath(folder, name);
  std::optional<files::Bytes> bytes;
  if (UsableAsFileName(name)) bytes = files::ReadAll(path);
  if (!bytes) ShowMessage(host, res::kCannotRead, path);
  return bytes;
}

bool WriteLibraryFile(Host& host, const std::string& folder, const std::string& name,
                      std::span<const std::uint8_t> bytes) {
  const std::string path = LibraryPath(folder, name);
  if (!files::WriteAtomic(path, bytes)) {
    ShowWriteFailure(host, path);
    return false;
  }
  return true;
}

// The text lines of a library text file, or nothing after message 9.
std::optional<std::vector<std::string>> ReadLines(Host& host, const std::string& folder,
                                                  const std::string& name) {
  auto bytes = ReadLibraryFile(host, folder, name);
  if (!bytes) return std::nullopt;
  return files::SplitLines(
      std::string_view(reinterpret_cast<const char*>(bytes->data()), bytes->size()));
}

// Line `position` of a list, or nothing after message 20010.
const std::string* LineAt(Host& host, const std::vector<std::string>& lines, std::int32_t position,
                          const std::string& path) {
  if (position < 0 || static_cast<std::size_t>(position) >= lines.size()) {
    ShowMessageFormatted(host, res::kNoSuchLine, {std::int64_t{position}, path});
    return nullptr;
  }
  return &lines[static_cast<std::size_t>(position)];
}

}  // namespace

std::string InstrumentName(std::string_view staveName, std::int32_t staveId) {
  return res::FormatText("%s [%d]", {staveName, std::int64_t{staveId}});
}

std::vector<std::uint8_t> EncodeInstrument(const InstrumentRecord& record) {
  ArchiveWriter w;
  w.WriteInt32(kLibraryFileVersion);
  for (const auto& f : kFields) {
    std::visit([&](auto member) { w.Write(record.*member); }, f.member);
  }
  return w.Take();
}

std::optional<InstrumentRecord> DecodeInstrument(std::span<const std::uint8_t> bytes) {
  ArchiveReader r(bytes);
  InstrumentRecord out;
  if (!r.ReadInt32(out.version)) return std::nullopt;
  for (const auto& f : kFields) {
    if (out.version < f.fromVersion) {
      // An older file has no map: none is used, whatever the defaults say.
      std::visit([&](auto member) { out.*member = {}; }, f.member);
      continue;
    }
    bool ok = std::visit([&](auto member) { return r.Read(out.*member); }, f.member);
    if (!ok) return std::nullopt;
  }
  return out;
}

std::optional<FieldError> ValidateInstrument(const InstrumentRecord& record) {
  for (const auto& f : kFields) {
    if (const auto* s = std::get_if<std::string InstrumentRecord::*>(&f.member)) {
      if (!UsableAsFileName(record.**s))
        return FieldError{std::string(f.name), std::string(kNotAFileName)};
      continue;
    }
    std::int32_t v = record.*std::get<std::int32_t InstrumentRecord::*>(f.member);
    if (v < f.min || v > f.max)
      return FieldError{std::string(f.name), RangeText(f.min, f.max, true)};
  }
  return std::nullopt;
}

bool SetField(InstrumentRecord& record, std::string_view key, std::string_view value) {
  for (const auto& f : kFields) {
    if (f.name != key) continue;
    if (const auto* s = std::get_if<std::string InstrumentRecord::*>(&f.member)) {
      record.** s = std::string(value);
      return true;
    }
    const std::optional<std::int32_t> parsed = ParseInt32(value);
    if (!parsed) return false;
    record.*std::get<std::int32_t InstrumentRecord::*>(f.member) = *parsed;
    return true;
  }
  return false;
}

std::optional<std::string> TakeFieldText(InstrumentRecord& record, std::string_view key,
                                         std::string_view text) {
  for (const auto& f : kFields) {
    if (f.name != key) continue;
    if (const auto* s = std::get_if<std::string InstrumentRecord::*>(&f.member)) {
      if (!UsableAsFileName(text)) return std::string(kNotAFileName);
      record.** s = std::string(text);
      return std::nullopt;
    }
    const std::optional<std::int32_t> value = ParseInt32(Trimmed(text));
    if (!value) return std::string(kEnterInteger);
    if (*value < f.min || *value > f.max) return RangeText(f.min, f.max, true);
    record.*std::get<std::int32_t InstrumentRecord::*>(f.member) = *value;
    return std::nullopt;
  }
  return std::string();
}

std::optional<FieldLimits> InstrumentFieldLimits(std::string_view key) {
  if (key == "defaultTempo") return kTemplateTempoLimits;
  for (const auto& f : kFields)
    if (f.name == key && std::holds_alternative<std::int32_t InstrumentRecord::*>(f.member))
      return FieldLimits{f.min, f.max};
  return std::nullopt;
}

std::vector<std::uint8_t> EncodeTemplate(const TemplateRecord& record) {
  ArchiveWriter w;
  w.WriteInt32(kLibraryFileVersion);
  w.WriteString(record.name);
  w.WriteInt32(record.defaultTempo);
  w.WriteInt32(static_cast<std::int32_t>(record.instruments.size()));
  for (const auto& name : record.instruments) w.WriteString(name);
  return w.Take();
}

std::optional<TemplateRecord> DecodeTemplate(std::span<const std::uint8_t> bytes) {
  ArchiveReader r(bytes);
  TemplateRecord out;
  std::int32_t count = 0;
  if (!r.ReadInt32(out.version) || !r.ReadString(out.name) || !r.ReadInt32(out.defaultTempo) ||
      !r.ReadInt32(count))
    return std::nullopt;
  // Every name takes at least its length byte.
  if (count < 0 || static_cast<std::uint64_t>(count) > r.Remaining()) return std::nullopt;
  out.instruments.resize(static_cast<std::size_t>(count));
  for (auto& name : out.instruments)
    if (!r.ReadString(name)) return std::nullopt;
  return out;
}

std::optional<FieldError> ValidateTemplate(const TemplateRecord& record) {
  if (record.name.empty()) return FieldError{"name", std::string(kTemplateNameBlank)};
  if (!UsableAsFileName(record.name)) return FieldError{"name", std::string(kNotAFileName)};
  if (record.defaultTempo < 0 || record.defaultTempo > kMaxTemplateTempo)
    return FieldError{"defaultTempo", RangeText(0, kMaxTemplateTempo, true)};
  for (const auto& name : record.instruments)
    if (!UsableAsFileName(name)) return FieldError{"instruments", std::string(kNotAFileName)};
  return std::nullopt;
}

std::optional<std::string> TakeFieldText(TemplateRecord& record, std::string_view key,
                                         std::string_view text) {
  if (key == "name") {
    if (!UsableAsFileName(text)) return std::string(kNotAFileName);
    record.name = std::string(text);
    return std::nullopt;
  }
  if (key != "defaultTempo") return std::string();
  const std::optional<std::int32_t> value = ParseInt32(Trimmed(text));
  if (!value) return std::string(kEnterInteger);
  if (*value < kTemplateTempoLimits.min || *value > kTemplateTempoLimits.max)
    return RangeText(kTemplateTempoLimits.min, kTemplateTempoLimits.max, true);
  record.defaultTempo = *value;
  return std::nullopt;
}

std::vector<std::uint8_t> EncodeTemplateSelection(std::string_view name) {
  ArchiveWriter w;
  w.WriteInt32(kLibraryFileVersion);
  w.WriteString(name);
  return w.Take();
}

std::optional<std::string> DecodeTemplateSelection(std::span<const std::uint8_t> bytes) {
  ArchiveReader r(bytes);
  std::int32_t version;
  std::string name;
  if (!r.ReadInt32(version) || !r.ReadString(name)) return std::nullopt;
  return name;
}

bool WriteInstrument(Host& host, const std::string& folder, const InstrumentRecord& record,
                     std::string* error) {
  if (auto bad = ValidateInstrument(record)) {
    if (error) *error = bad->text;
    return false;
  }
  return WriteLibraryFile(host, folder, InstrumentName(record.staveName, record.staveId) + ".INS",
                          EncodeInstrument(record));
}

bool WriteTemplate(Host& host, const std::string& folder, const TemplateRecord& record,
                   std::string* error) {
  if (auto bad = ValidateTemplate(record)) {
    if (error) *error = bad->text;
    return false;
  }
  return WriteLibraryFile(host, folder, record.name + ".TPL", EncodeTemplate(record));
}

bool WriteTemplateSelection(Host& host, const std::string& folder, const std::string& name) {
  if (name.empty() || !UsableAsFileName(name)) return false;
  return WriteLibraryFile(host, folder, "TEMPLATE.DAT", EncodeTemplateSelection(name));
}

std::optional<InstrumentRecord> ReadInstrument(Host& host, const std::string& folder,
                                               const std::string& name) {
  const std::string file = name + ".INS";
  auto bytes = ReadLibraryFile(host, folder, file);
  if (!bytes) return std::nullopt;
  const std::string path = LibraryPath(folder, file);
  auto record = DecodeInstrument(*bytes);
  if (!record) {
    ShowMessage(host, res::kTruncatedLibraryFile, path);
    return std::nullopt;
  }
  if (auto bad = ValidateInstrument(*record)) {
    ShowMessageFormatted(host, res::kValueOutOfRangeInFile, {path, bad->field});
    return std::nullopt;
  }
  return record;
}

std::optional<TemplateRecord> ReadTemplate(Host& host, const std::string& folder,
                                           const std::string& name) {
  const std::string file = name + ".TPL";
  auto bytes = ReadLibraryFile(host, folder, file);
  if (!bytes) return std::nullopt;
  const std::string path = LibraryPath(folder, file);
  auto record = DecodeTemplate(*bytes);
  if (!record) {
    ShowMessage(host, res::kTruncatedLibraryFile, path);
    return std::nullopt;
  }
  // The stored name and instrument names are only used to find files, which reports them.
  if (record->defaultTempo < 0 || record->defaultTempo > kMaxTemplateTempo) {
    ShowMessageFormatted(host, res::kValueOutOfRangeInFile, {path, "defaultTempo"});
    return std::nullopt;
  }
  return record;
}

std::vector<std::string> TemplateChoices(const std::string& folder) {
  std::vector<std::string> out{kNoTemplate};
  for (auto& name : Stems(folder, ".TPL")) out.push_back(std::move(name));
  return out;
}

std::vector<std::string> InstrumentChoices(const std::string& folder) {
  return Stems(folder, ".INS");
}

std::vector<std::string> ReadableInstruments(Host& host, const std::string& folder,
                                             const std::vector<std::string>& names) {
  std::vector<std::string> out;
  for (const auto& name : names)
    if (ReadInstrument(host, folder, name)) out.push_back(name);
  return out;
}

int MapChoice(const std::vector<std::string>& choices, const InstrumentRecord& record) {
  if (choices.empty()) return -1;
  for (std::size_t i = 0; i < choices.size(); ++i)
    if (files::EqualNoCase(choices[i], record.percussionMapName)) return static_cast<int>(i);
  if (record.percussionMap >= 0 && static_cast<std::size_t>(record.percussionMap) < choices.size())
    return record.percussionMap;
  return 0;
}

bool DeleteTemplate(Host& host, const std::string& folder, const std::string& name) {
  if (name == kNoTemplate || !UsableAsFileName(name)) return false;
  return DeleteLibraryFile(host, folder, name + ".TPL");
}

bool DeleteInstrument(Host& host, const std::string& folder, const std::string& name) {
  if (!UsableAsFileName(name)) return false;
  return DeleteLibraryFile(host, folder, name + ".INS");
}

std::string BankProgramListName(std::string_view libraryLine) {
  return std::string(libraryLine.substr(0, libraryLine.find(',')));
}

std::string BankProgramListName(std::span<const std::string> lines, std::int32_t library) {
  // The list every new instrument starts with.
  if (library < 0 || static_cast<std::size_t>(library) >= lines.size()) return "General";
  return BankProgramListName(lines[static_cast<std::size_t>(library)]);
}

std::optional<std::vector<std::string>> ReadBankProgramList(Host& host, const std::string& folder,
                                                            const std::string& listName) {
  return ReadLines(host, folder, listName + ".PCH");
}

bool DeleteBankProgramList(Host& host, const std::string& folder, const std::string& listName) {
  if (!UsableAsFileName(listName)) return false;
  return DeleteLibraryFile(host, folder, listName + ".PCH");
}

std::optional<std::string> PrepareTextFile(Host& host, const std::string& folder,
                                           const std::string& fileName) {
  if (!UsableAsFileName(fileName) || fileName.empty()) {
    host.ShowMessage(0, kNotAFileName);
    return std::nullopt;
  }
  const std::string path = LibraryPath(folder, fileName);
  std::error_code ec;
  if (std::filesystem::exists(path, ec)) return path;
  if (!files::WriteAtomic(path, std::string_view())) {
    ShowWriteFailure(host, path);
    return std::nullopt;
  }
  return path;
}

std::optional<std::int32_t> ResolveProgram(Host& host, const std::string& folder,
                                           std::int32_t library, std::int32_t bankProgram) {
  const std::string listOfLists = "INSTRUMENTS.DAT";
  auto libraries = ReadLines(host, folder, listOfLists);
  if (!libraries) return std::nullopt;
  const std::string* line = LineAt(host, *libraries, library, LibraryPath(folder, listOfLists));
  if (!line) return std::nullopt;

  const std::string pch = line->substr(0, line->find(',')) + ".PCH";
  auto entries = ReadLines(host, folder, pch);
  if (!entries) return std::nullopt;
  const std::string pchPath = LibraryPath(folder, pch);
  const std::string* entry = LineAt(host, *entries, bankProgram, pchPath);
  if (!entry) return std::nullopt;

  const std::size_t eq = entry->find('=');
  std::size_t first = 0;
  while (first < entry->size() && ((*entry)[first] == ' ' || (*entry)[first] == '\t')) ++first;
  const bool digit =
      first < eq && eq != std::string::npos && (*entry)[first] >= '0' && (*entry)[first] <= '9';
  if (!digit) {
    ShowMessageFormatted(host, res::kNoProgramNumber, {std::int64_t{bankProgram}, pchPath});
    return std::nullopt;
  }
  std::int32_t number = 0;
  auto [p, ec] = std::from_chars(entry->data() + first, entry->data() + eq, number);
  if (ec != std::errc() || number > kMaxProgramNumber) {
    ShowMessageFormatted(host, res::kProgramNumberOutOfRange, {std::int64_t{bankProgram}, pchPath});
    return std::nullopt;
  }
  return number;
}

InstrumentTable::InstrumentTable() {
  Reset(Defaults{}.tempo);
}

void InstrumentTable::Reset(std::int32_t tempo) {
  slots.assign(kInstrumentSlotCount, InstrumentSlot{});
  count = 0;
  defaultTempo = tempo;
}

TemplateLoad InstrumentTable::LoadTemplate(Host& host, const std::string& folder,
                                           std::int32_t playbackTempo,
                                           std::string& selectedTemplate) {
  const std::string selectionFile = "TEMPLATE.DAT";
  auto bytes = ReadLibraryFile(host, folder, selectionFile);
  if (!bytes) return TemplateLoad::kFailed;
  auto name = DecodeTemplateSelection(*bytes);
  if (!name) {
    ShowMessage(host, res::kTruncatedLibraryFile, LibraryPath(folder, selectionFile));
    return TemplateLoad::kFailed;
  }
  selectedTemplate = std::move(*name);
  Reset(playbackTempo);
  if (selectedTemplate == kNoTemplate) return TemplateLoad::kLoaded;
  if (LoadTemplateFile(host, folder, selectedTemplate)) return TemplateLoad::kLoaded;
  // Half a template would play some staves one way and some another while "[None]" is shown.
  Reset(playbackTempo);
  selectedTemplate = kNoTemplate;
  return TemplateLoad::kFellBack;
}

bool InstrumentTable::LoadTemplateFile(Host& host, const std::string& folder,
                                       const std::string& name) {
  auto tpl = ReadTemplate(host, folder, name);
  if (!tpl) return false;
  defaultTempo = tpl->defaultTempo;
  std::size_t n = tpl->instruments.size();
  if (n > kInstrumentSlotCount) {
    ShowMessageFormatted(host, res::kTooManyInstruments,
                         {LibraryPath(folder, name + ".TPL"), static_cast<std::int64_t>(n)});
    n = kInstrumentSlotCount;
  }
  for (std::size_t i = 0; i < n; ++i) {
    auto ins = ReadInstrument(host, folder, tpl->instruments[i]);
    if (!ins) return false;
    auto program = ResolveProgram(host, folder, ins->instrumentLibrary, ins->bankProgram);
    if (!program) return false;
    InstrumentSlot& s = slots[i];
    s.staveId = ins->staveId;
    s.staveName = std::move(ins->staveName);
    s.instrumentLibrary = ins->instrumentLibrary;
    s.port = ins->port;
    s.channel = ins->channel;
    s.program = *program;
    s.pan = ins->pan + 63;  // checked to -63 … 64 on reading
    s.volume = ins->volume;
    s.transposition = ins->transposition;
    s.convertLyrics = ins->convertLyrics;
    s.usePercussionMap = ins->usePercussionMap;
    s.percussionMap = ins->percussionMap;
    s.percussionMapName = std::move(ins->percussionMapName);
    count = static_cast<std::int32_t>(i + 1);
  }
  return true;
}

const InstrumentSlot* InstrumentTable::FindSlot(std::int32_t staveId) const {
  for (std::size_t i = 0; i < static_cast<std::size_t>(count); ++i)
    if (slots[i].staveId == staveId) return &slots[i];
  return nullptr;
}

}  // namespace vellumix

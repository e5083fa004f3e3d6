#include "library/symbols.h"

#include <charconv>
#include <filesystem>
#include <limits>
#include <system_error>
#include <type_traits>
#include <variant>

#include "library/archive.h"
#include "library/library.h"
#include "platform/files.h"
#include "platform/host.h"
#include "res/strings.h"

namespace vellumix {
namespace fs = std::filesystem;

namespace {

// The symbol file of `digits` (three digits) in the library folder. The factory names it
// "Symbol021.SBL": that name is looked at first, so that the usual library needs no listing of
// its folder; names in any other letter case are still found.
std::string SymbolFile(const SettingsLibrary& settings, const std::string& digits) {
  std::string usual = settings.LibraryFolder + "Symbol" + digits + ".SBL";
  std::error_code ec;
  if (std::filesystem::is_regular_file(usual, ec)) return usual;
  return settings.LibraryFile("SYMBOL" + digits + ".SBL");
}

constexpr std::string_view kNumberNotPositive = "Please enter a symbol number greater than 0.";
constexpr std::string_view kTextEmpty = "Please enter the text of the symbol.";
constexpr std::string_view kNoSlash = "A symbol's text or library can't contain \"/\".";

// One field after the version, in file order; encoding, checks and the factory source all read
// this table.
struct Field {
  std::string_view name;
  std::variant<std::int32_t SymbolRecord::*, std::string SymbolRecord::*> member;
  std::int32_t min = 0;
  std::int32_t max = 0;
};

constexpr std::int32_t kMaxIndex = std::numeric_limits<std::int32_t>::max();

const Field kFields[] = {
    {"kind", &SymbolRecord::kind, 0, 1},
    {"number", &SymbolRecord::number, 0, 999},
    {"code9Library", &SymbolRecord::code9Library, 0, kMaxIndex},
    {"text", &SymbolRecord::text},
    {"textLibrary", &SymbolRecord::textLibrary, 0, kMaxIndex},
    {"duration", &SymbolRecord::duration, 0, 100},
    {"pitchOffset", &SymbolRecord::pitchOffset, -64, 64},
    {"velocityLevel", &SymbolRecord::velocityLevel, 0, 127},
    {"velocityOffset", &SymbolRecord::velocityOffset, -64, 64},
    {"tempoLevel", &SymbolRecord::tempoLevel, 0, 500},
    {"tempoOffset", &SymbolRecord::tempoOffset, -100, 100},
    {"special", &SymbolRecord::special},
    {"bankProgram", &SymbolRecord::bankProgram, 0, 16383},
    {"bender", &SymbolRecord::bender, -8192, 8191},
    {"controllerType", &SymbolRecord::controllerType, 0, 127},
    {"controllerValue", &SymbolRecord::controllerValue, 0, 127},
    {"permanent", &SymbolRecord::permanent, 0, 1},
    {"name", &SymbolRecord::name},
};

// The name is the last field and is stored for Code 9 symbols only.
bool Stored(const Field& f, const SymbolRecord& r) {
  return f.name != "name" || r.kind == kCode9Symbol;
}

char Lower(char c) {
  return (c >= 'A' && c <= 'Z') ? static_cast<char>(c - 'A' + 'a') : c;
}

std::string LowerCase(std::string_view s) {
  std::string out(s);
  for (auto& c : out) c = Lower(c);
  return out;
}

bool ContainsNoCase(std::string_view haystack, std::string_view needle) {
  return LowerCase(haystack).find(LowerCase(needle)) != std::string::npos;
}

std::string Stem(const fs::path& path) {
  std::string name = path.filename().string();
  auto dot = name.rfind('.');
  return dot == std::string::npos ? name : name.substr(0, dot);
}

// The library name between the first "[" and the last "]" of a file's stem.
std::optional<std::string> BracketName(std::string_view stem) {
  auto open = stem.find('[');
  if (open == std::string_view::npos) return std::nullopt;
  auto close = stem.rfind(']');
  if (close == std::string_view::npos || close < open) return std::nullopt;
  return std::string(stem.substr(open + 1, close - open - 1));
}

bool IsHardCodedSpecial(std::string_view s) {
  return s == kSpecialNone || s == kSpecialATempo || s == kSpecialTempoI;
}

bool EndsWithNoCase(std::string_view s, std::string_view end) {
  return s.size() >= end.size() && files::EqualNoCase(s.substr(s.size() - end.size()), end);
}

}  // namespace

std::vector<std::uint8_t> EncodeSymbol(const SymbolRecord& record) {
  ArchiveWriter w;
  w.WriteInt32(kLibraryFileVersion);
  for (const auto& f : kFields) {
    if (!Stored(f, record)) continue;
    std::visit([&](auto member) { w.Write(record.*member); }, f.member);
  }
  return w.Take();
}

std::optional<SymbolRecord> DecodeSymbol(std::span<const std::uint8_t> bytes) {
  ArchiveReader r(bytes);
  SymbolRecord out;
  if (!r.ReadInt32(out.version)) return std::nullopt;
  for (const auto& f : kFields) {
    if (!Stored(f, out)) continue;
    bool ok = std::visit([&](auto member) { return r.Read(out.*member); }, f.member);
    if (!ok) return std::nullopt;
  }
  return out;
}

std::optional<FieldError> ValidateSymbol(const SymbolRecord& record) {
  for (const auto& f : kFields) {
    const auto* member = std::get_if<std::int32_t SymbolRecord::*>(&f.member);
    if (!member) continue;
    std::int32_t v = record.**member;
    if (v < f.min || v > f.max)
      return FieldError{std::string(f.name), RangeText(f.min, f.max, true)};
  }
  return std::nullopt;
}

bool SetField(SymbolRecord& record, std::string_view key, std::string_view value) {
  for (const auto& f : kFields) {
    if (f.name != key) continue;
    if (const auto* s = std::get_if<std::string SymbolRecord::*>(&f.member)) {
      record.** s = std::string(value);
      return true;
    }
    const std::optional<std::int32_t> parsed = ParseInt32(value);
    if (!parsed) return false;
    record.*std::get<std::int32_t SymbolRecord::*>(f.member) = *parsed;
    return true;
  }
  return false;
}

std::string SymbolNumberText(std::int32_t number) {
  std::string digits = std::to_string(number);
  if (number < 10) return "00" + digits;
  if (number < 100) return "0" + digits;
  return digits;
}

std::string SymbolFileName(std::int32_t number, std::string_view libraryText) {
  std::string out = "Symbol" + SymbolNumberText(number);
  if (!libraryText.empty()) out += " [" + std::string(libraryText) + "]";
  return out + ".SBL";
}

std::string SymbolFileName(std::string_view text, std::string_view libraryText) {
  std::string out(text);
  if (!libraryText.empty()) out += " [" + std::string(libraryText) + "]";
  return out + ".TBL";
}

SymbolEntries ListSymbols(Host& host, const std::string& folder) {
  SymbolEntries out;
  for (const auto& path : files::List(folder, ".SBL")) {
    const std::string fileName = path.filename().string();
    auto bytes = files::ReadAll(path);
    std::optional<SymbolRecord> record;
    if (bytes) record = DecodeSymbol(*bytes);
    if (!record) {
      ShowMessage(host, res::kCannotRead, path.string());
      out.code9.push_back({fileName, FileStem(fileName)});
      continue;
    }
    out.code9.push_back(SymbolEntry(fileName, *record));
  }
  for (const auto& path : files::List(folder, ".TBL")) {
    const std::string fileName = path.filename().string();
    out.text.push_back({fileName, FileStem(fileName)});
  }
  return out;
}

LibraryEntry SymbolEntry(std::string_view fileName, const SymbolRecord& record) {
  std::string text = FileStem(fileName);
  if (record.kind == kCode9Symbol) text += " - " + record.name;
  return {std::string(fileName), std::move(text)};
}

std::optional<SymbolRecord> ReadSymbolFile(Host& host, const std::string& folder,
                                           std::string_view fileName) {
  const fs::path path = files::Resolve(folder, fileName);
  auto bytes = files::ReadAll(path);
  std::optional<SymbolRecord> record;
  if (bytes) record = DecodeSymbol(*bytes);
  if (!record) ShowMessage(host, res::kCannotRead, path.string());
  return record;
}

std::vector<std::string> SpecialChoices(const std::string& folder) {
  std::vector<std::string> out;
  for (const auto& path : files::List(folder, ".SSL")) out.push_back(Stem(path));
  out.insert(out.end(), {kSpecialATempo, kSpecialTempoI, kSpecialNone});
  return out;
}

std::string SpecialChoice(std::string_view special) {
  if (special.empty()) return kSpecialNone;
  if (EndsWithNoCase(special, ".SSL")) special.remove_suffix(4);
  return std::string(special);
}

SymbolLibrary::SymbolLibrary(Host& host, const SettingsLibrary& settings)
    : host_(host), settings_(settings) {}

bool SymbolLibrary::PromptMissing() const {
  return settings_.options.promptMissingSymbol != 0;
}

SymbolLibrary::Read SymbolLibrary::ReadRecord(const std::string& path, SymbolRecord& out) {
  auto bytes = files::ReadAll(path);
  if (!bytes) return Read::kMissing;
  auto record = DecodeSymbol(*bytes);
  // Values out of range are as unusable as a short file: the engine relies on the limits.
  if (!record || ValidateSymbol(*record)) {
    // Once a run: a damaged file may be asked for at every note.
    if (damagedReported_.insert(path).second) ShowMessage(host_, res::kTruncatedLibraryFile, path);
    return Read::kDamaged;
  }
  out = std::move(*record);
  return Read::kOk;
}

bool SymbolLibrary::ReportReading(const std::string& path) {
  if (ReportStatusFormatted(host_, res::kReadingFile, fs::path(path).filename().string(), 0, false))
    return true;
  cancelled_ = true;
  return false;
}

const std::vector<std::string>& SymbolLibrary::InstrumentLines() {
  if (!instrumentLines_)
    instrumentLines_ =
        ReadInstrumentList(settings_.LibraryFolder).value_or(std::vector<std::string>{});
  return *instrumentLines_;
}

bool SymbolLibrary::CurrentLineHolds(std::string_view name) {
  if (currentLibrary_ <= 0) return false;
  const auto& lines = InstrumentLines();
  auto index = static_cast<std::size_t>(currentLibrary_) - 1;
  return index < lines.size() && ContainsNoCase(lines[index], name);
}

void SymbolLibrary::SetCurrentInstrumentLibrary(std::int32_t library) {
  currentLibrary_ = library > 0 ? library : 0;
}

bool SymbolLibrary::FillCache() {
  ReleaseCache();
  cancelled_ = false;
  auto load = [&](int n) {
    std::string path = SymbolFile(settings_, "0" + std::to_string(n));
    if (!ReportReading(path)) return false;
    SymbolRecord record;
    switch (ReadRecord(path, record)) {
      case Read::kOk:
        cache_.push_back({std::move(record), 0});
        break;
      case Read::kMissing:
        ShowMessage(host_, res::kCannotRead, path);
        break;
      case Read::kDamaged:
        break;
    }
    return true;
  };
  for (int n = 21; n <= 25; ++n)
    if (!load(n)) return false;
  for (int n = 27; n <= 31; ++n)
    if (!load(n)) return false;
  for (int n = 50; n <= 62; ++n)
    if (!load(n)) return false;
  return true;
}

void SymbolLibrary::ReleaseCache() {
  cache_.clear();
  instrumentLines_.reset();
  damagedReported_.clear();
}

int SymbolLibrary::LookUpCode9Symbol(std::int32_t n) {
  cancelled_ = false;
  auto hit = [&](std::int32_t library) {
    for (auto& e : cache_) {
      if (e.record.number == n && e.record.code9Library == library) {
        current_ = e.record;
        ++e.useCount;
        return true;
      }
    }
    return false;
  };
  if (hit(currentLibrary_)) return 1;
  // The entry a newly read record replaces: the least used, the first of equals.
  std::size_t victim = 0;
  for (std::size_t i = 1; i < cache_.size(); ++i)
    if (cache_[i].useCount < cache_[victim].useCount) victim = i;

  const std::string digits = SymbolNumberText(n);
  std::optional<std::string> chosen;
  SymbolRecord record;
  for (const auto& path : files::List(settings_.LibraryFolder, ".SBL", "SYMBOL" + digits + " ")) {
    auto bracket = BracketName(Stem(path));
    if (!bracket) continue;
    SymbolRecord candidate;
    if (ReadRecord(path.string(), candidate) != Read::kOk) continue;
    if (candidate.kind != kCode9Symbol) continue;
    bool applies = (candidate.number == n && candidate.code9Library == currentLibrary_) ||
                   CurrentLineHolds(*bracket);
    if (applies) {
      chosen = path.string();
      record = std::move(candidate);
      break;
    }
  }

  if (!chosen) {
    if (hit(0)) return 1;
    for (auto& e : cache_) e.useCount = 0;
    std::string path = SymbolFile(settings_, digits);
    Read r = ReadRecord(path, record);
    if (r == Read::kMissing && PromptMissing()) ShowMessage(host_, res::kCannotRead, path);
    if (r != Read::kOk) return 0;
    chosen = path;
  }

  if (!ReportReading(*chosen)) return 0;
  current_ = record;
  if (cache_.size() < kCacheSize)
    cache_.push_back({std::move(record), 0});
  else
    cache_[victim] = {std::move(record), 0};
  return 1;
}

bool SymbolLibrary::LookUpTextSymbol(std::string_view text) {
  cancelled_ = false;
  while (!text.empty() && text.back() == ' ') text.remove_suffix(1);
  const std::string lower = LowerCase(text);
  auto occurs = [&](const std::string& name) {
    // A file without a name would stand for every text.
    return !name.empty() && lower.find(name) != std::string::npos;
  };

  const auto all = files::List(settings_.LibraryFolder, ".TBL");
  std::optional<std::string> chosen;
  SymbolRecord record;
  for (const auto& path : all) {
    std::string stem = Stem(path);
    auto blank = stem.find(" [");
    if (blank == std::string::npos) continue;
    std::string namePart = LowerCase(stem.substr(0, blank));
    if (!occurs(namePart)) continue;
    SymbolRecord candidate;
    if (ReadRecord(path.string(), candidate) != Read::kOk) continue;
    if (candidate.kind != kTextSymbol) continue;
    bool applies =
        (LowerCase(candidate.text) == namePart && candidate.textLibrary == currentLibrary_) ||
        CurrentLineHolds(BracketName(stem).value_or(""));
    if (applies) {
      chosen = path.string();
      record = std::move(candidate);
      break;
    }
  }

  if (!chosen) {
    for (const auto& path : all) {
      std::string stem = Stem(path);
      if (stem.find('[') != std::string::npos || !occurs(LowerCase(stem))) continue;
      Read r = ReadRecord(path.string(), record);
      if (r == Read::kMissing && PromptMissing())
        ShowMessage(host_, res::kCannotRead, path.string());
      if (r != Read::kOk) return false;
      chosen = path.string();
      break;
    }
    if (!chosen) return false;
  }

  if (!ReportReading(*chosen)) return false;
  current_ = std::move(record);
  return true;
}

bool SymbolLibrary::SaveSymbol(const SymbolRecord& record, std::string* error,
                               std::string* fileName) {
  FieldError refused;
  if (SaveSymbol(record, refused, fileName)) return true;
  if (error) *error = refused.text;
  return false;
}

bool SymbolLibrary::SaveSymbol(const SymbolRecord& record, FieldError& refused,
                               std::string* fileName) {
  refused = {};
  auto refuse = [&](std::string_view field, std::string_view text) {
    refused = FieldError{std::string(field), std::string(text)};
    return false;
  };
  SymbolRecord r = record;
  r.version = kLibraryFileVersion;
  if (auto bad = ValidateSymbol(r)) return refuse(bad->field, bad->text);
  const bool code9 = r.kind == kCode9Symbol;
  if (code9 && r.number == 0) return refuse("number", kNumberNotPositive);
  if (!code9 && r.text.empty()) return refuse("text", kTextEmpty);
  if (!code9 && r.text.find('/') != std::string::npos) return refuse("text", kNoSlash);
  if (r.special.empty()) r.special = kSpecialNone;
  // A special loaded from a file already carries its extension.
  if (!IsHardCodedSpecial(r.special) && !EndsWithNoCase(r.special, ".SSL")) r.special += ".SSL";

  std::string libraryText;
  const std::int32_t library = code9 ? r.code9Library : r.textLibrary;
  const std::string_view libraryField = code9 ? "code9Library" : "textLibrary";
  if (library > 0) {
    auto lines = ReadInstrumentList(host_, settings_.LibraryFolder);
    if (!lines) return false;
    if (static_cast<std::size_t>(library) > lines->size())
      return refuse(libraryField, RangeText(0, static_cast<double>(lines->size()), true));
    libraryText = (*lines)[static_cast<std::size_t>(library) - 1];
    if (libraryText.find('/') != std::string::npos) return refuse(libraryField, kNoSlash);
    // The lookups read the new line at their next need.
    instrumentLines_.reset();
  }

  std::string name =
      code9 ? SymbolFileName(r.number, libraryText) : SymbolFileName(r.text, libraryText);
  fs::path path = files::Resolve(settings_.LibraryFolder, name);
  if (!files::WriteAtomic(path, EncodeSymbol(r))) {
    ShowWriteFailure(host_, path.string());
    return false;
  }
  damagedReported_.erase(path.string());
  if (fileName) *fileName = path.filename().string();
  return true;
}

}  // namespace vellumix

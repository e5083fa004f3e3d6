#include "library/factory.h"

#include <algorithm>
#include <charconv>
#include <filesystem>
#include <set>
#include <string_view>
#include <system_error>

#include "library/archive.h"
#include "library/internal/factory_sources.h"
#include "library/percussion_maps.h"
#include "library/settings.h"
#include "library/specials.h"
#include "library/symbols.h"
#include "library/templates.h"
#include "platform/files.h"
#include "platform/host.h"
#include "res/strings.h"

namespace vellumix {
namespace fs = std::filesystem;

namespace {

std::string_view Trim(std::string_view s) {
  while (!s.empty() && (s.front() == ' ' || s.front() == '\t')) s.remove_prefix(1);
  while (!s.empty() && (s.back() == ' ' || s.back() == '\t')) s.remove_suffix(1);
  return s;
}

bool EndsWith(std::string_view s, std::string_view end) {
  return s.size() >= end.size() && files::EqualNoCase(s.substr(s.size() - end.size()), end);
}

std::string_view Text(const internal::FactorySource& s) {
  return {reinterpret_cast<const char*>(s.data), s.size};
}

// The lines of a .txt source without its "#" comments and blank lines.
std::vector<std::string> ContentLines(const internal::FactorySource& s) {
  std::vector<std::string> out;
  for (auto& line : files::SplitLines(Text(s))) {
    std::string_view t = Trim(line);
    if (t.empty() || t.front() == '#') continue;
    out.emplace_back(t);
  }
  return out;
}

// "field = value" lines over the built-in values; every field must be given exactly once, so a
// misspelt name can't leave a built-in value in place unnoticed.
template <class T>
bool ParseSettings(const internal::FactorySource& s, const std::vector<std::string_view>& fields,
                   T& values, std::string* error) {
  std::set<std::string, std::less<>> seen;
  for (const auto& line : ContentLines(s)) {
    auto eq = line.find('=');
    std::string_view key = Trim(std::string_view(line).substr(0, eq));
    std::string_view value =
        eq == std::string::npos ? std::string_view() : Trim(std::string_view(line).substr(eq + 1));
    if (eq == std::string::npos || !seen.emplace(key).second || !SetField(values, key, value)) {
      if (error) *error = std::string(s.name) + ": " + line;
      return false;
    }
  }
  for (auto f : fields) {
    if (!seen.count(f)) {
      if (error) *error = std::string(s.name) + ": no value for " + std::string(f);
      return false;
    }
  }
  return true;
}

// Symbol records: "symbol = N" or "text = T" starts one, "field = value" lines fill it. Each
// record must pass the Edit Symbol dialog's checks and get a file name of its own.
bool ParseSymbols(const internal::FactorySource& s, std::vector<FactoryFile>& out,
                  std::string* error) {
  std::vector<SymbolRecord> records;
  std::vector<std::string> brackets;  // the instrument library named in the file name
  std::vector<std::set<std::string, std::less<>>> seen;
  for (const auto& line : ContentLines(s)) {
    auto eq = line.find('=');
    std::string_view key = Trim(std::string_view(line).substr(0, eq));
    std::string_view value =
        eq == std::string::npos ? std::string_view() : Trim(std::string_view(line).substr(eq + 1));
    bool ok = eq != std::string::npos;
    if (ok && (key == "symbol" || key == "text")) {
      records.emplace_back();
      brackets.emplace_back();
      seen.emplace_back();
      records.back().kind = key == "symbol" ? kCode9Symbol : kTextSymbol;
      ok = SetField(records.back(), key == "symbol" ? "number" : "text", value);
    } else if (ok && key == "bracket") {
      ok = !records.empty() && !value.empty() && seen.back().emplace(key).second;
      if (ok) brackets.back() = std::string(value);
    } else if (ok) {
      ok = !records.empty() && key != "kind" && key != "number" && key != "text" &&
           seen.back().emplace(key).second && SetField(records.back(), key, value);
    }
    if (!ok) {
      if (error) *error = std::string(s.name) + ": " + line;
      return false;
    }
  }
  const std::size_t first = out.size();
  for (std::size_t i = 0; i < records.size(); ++i) {
    const SymbolRecord& r = records[i];
    const bool code9 = r.kind == kCode9Symbol;
    std::string name =
        code9 ? SymbolFileName(r.number, brackets[i]) : SymbolFileName(r.text, brackets[i]);
    auto bad = ValidateSymbol(r);
    bool refused = bad || (code9 && r.number == 0) || (!code9 && r.text.empty());
    bool twice =
        std::any_of(out.begin() + static_cast<std::ptrdiff_t>(first), out.end(),
                    [&](const FactoryFile& f) { return files::EqualNoCase(f.name, name); });
    if (refused || twice) {
      if (error) *error = std::string(s.name) + ": " + name + (bad ? " " + bad->field : "");
      return false;
    }
    out.push_back({name, EncodeSymbol(r)});
  }
  return true;
}

bool Fail(std::string* error, const internal::FactorySource& s, std::string_view what) {
  if (error) *error = std::string(s.name) + ": " + std::string(what);
  return false;
}

// Adds a file unless one of that name (any letter case) is there: the same bytes are one file
// named twice, other bytes a conflict.
bool AddFile(std::vector<FactoryFile>& out, std::size_t first, FactoryFile file) {
  for (auto it = out.begin() + static_cast<std::ptrdiff_t>(first); it != out.end(); ++it)
    if (files::EqualNoCase(it->name, file.name)) return it->bytes == file.bytes;
  out.push_back(std::move(file));
  return true;
}

// Special records: "special = NAME" starts one, "field = value" lines fill it. Each must pass
// the Edit Special dialog's checks; the file is named as the dialog names it.
bool ParseSpecials(const internal::FactorySource& s, std::vector<FactoryFile>& out,
                   std::string* error) {
  std::vector<SpecialRecord> records;
  std::vector<std::set<std::string, std::less<>>> seen;
  for (const auto& line : ContentLines(s)) {
    auto eq = line.find('=');
    std::string_view key = Trim(std::string_view(line).substr(0, eq));
    std::string_view value =
        eq == std::string::npos ? std::string_view() : Trim(std::string_view(line).substr(eq + 1));
    bool ok = eq != std::string::npos;
    if (ok && key == "special") {
      records.emplace_back();
      seen.emplace_back();
      ok = SetField(records.back(), "fileName", value);
    } else if (ok) {
      ok = !records.empty() && key != "fileName" && seen.back().emplace(key).second &&
           SetField(records.back(), key, value);
    }
    if (!ok) return Fail(error, s, line);
  }
  const std::size_t first = out.size();
  for (auto r : records) {
    std::string name = SpecialFileName(r.fileName, "");
    r.fileName = name.substr(0, name.size() - 4);
    auto bad = ValidateSpecial(r);
    if (bad || r.fileName.empty() || !AddFile(out, first, {name, EncodeSpecial(r)}))
      return Fail(error, s, name + (bad ? " " + bad->field : ""));
  }
  return true;
}

// Templates: "template = NAME" starts one, "defaultTempo = N" sets its tempo, "instrument =
// STAVE NAME" starts an instrument of it whose fields the following lines set by name. Every
// record must pass its editor's checks.
bool ParseTemplates(const internal::FactorySource& s, std::vector<FactoryFile>& out,
                    std::string* error) {
  std::vector<TemplateRecord> templates;
  std::vector<std::vector<InstrumentRecord>> instruments;
  std::set<std::string, std::less<>> seen;  // fields given for the current instrument
  for (const auto& line : ContentLines(s)) {
    auto eq = line.find('=');
    if (eq == std::string::npos) return Fail(error, s, line);
    std::string_view key = Trim(std::string_view(line).substr(0, eq));
    std::string_view value = Trim(std::string_view(line).substr(eq + 1));
    bool ok = true;
    if (key == "template") {
      templates.emplace_back().name = std::string(value);
      instruments.emplace_back();
    } else if (key == "defaultTempo") {
      std::int32_t tempo = 0;
      auto [p, ec] = std::from_chars(value.data(), value.data() + value.size(), tempo);
      ok = !templates.empty() && ec == std::errc() && p == value.data() + value.size() &&
           !value.empty();
      if (ok) templates.back().defaultTempo = tempo;
    } else if (key == "instrument") {
      ok = !templates.empty();
      if (ok) instruments.back().emplace_back().staveName = std::string(value);
      seen.clear();
    } else {
      ok = !templates.empty() && !instruments.back().empty() && key != "staveName" &&
           seen.emplace(key).second && SetField(instruments.back().back(), key, value);
    }
    if (!ok) return Fail(error, s, line);
  }
  const std::size_t first = out.size();
  for (std::size_t t = 0; t < templates.size(); ++t) {
    for (const auto& ins : instruments[t]) {
      const std::string name = InstrumentName(ins.staveName, ins.staveId);
      if (auto bad = ValidateInstrument(ins)) return Fail(error, s, name + " " + bad->field);
      if (!AddFile(out, first, {name + ".INS", EncodeInstrument(ins)}))
        return Fail(error, s, name + " twice");
      templates[t].instruments.push_back(name);
    }
    if (auto bad = ValidateTemplate(templates[t]))
      return Fail(error, s, templates[t].name + " " + bad->field);
    if (!AddFile(out, first, {templates[t].name + ".TPL", EncodeTemplate(templates[t])}))
      return Fail(error, s, templates[t].name + " twice");
  }
  return true;
}

// A note given by name ("F5") or number.
std::optional<std::int32_t> Note(std::string_view text) {
  if (auto n = NoteNumber(text)) return *n;
  std::int32_t v = 0;
  auto [p, ec] = std::from_chars(text.data(), text.data() + text.size(), v);
  if (text.empty() || ec != std::errc() || p != text.data() + text.size()) return std::nullopt;
  return v;
}

// Map setups: "setup = NAME" starts one; "map = WRITTEN, PLAYED, CHANNEL, NAME" adds a map at
// its sorted place. A written pitch twice would leave one of its maps unused.
bool ParseMapSetups(const internal::FactorySource& s, std::vector<FactoryFile>& out,
                    std::string* error) {
  std::vector<MapSetup> setups;
  std::vector<std::set<std::int32_t>> pitches;
  for (const auto& line : ContentLines(s)) {
    auto eq = line.find('=');
    if (eq == std::string::npos) return Fail(error, s, line);
    std::string_view key = Trim(std::string_view(line).substr(0, eq));
    std::string_view value = Trim(std::string_view(line).substr(eq + 1));
    if (key == "setup") {
      setups.emplace_back().name = std::string(value);
      pitches.emplace_back();
      continue;
    }
    std::string_view parts[4];
    for (int i = 0; i < 3; ++i) {
      auto comma = value.find(',');
      if (comma == std::string_view::npos) return Fail(error, s, line);
      parts[i] = Trim(value.substr(0, comma));
      value.remove_prefix(comma + 1);
    }
    parts[3] = Trim(value);
    auto written = Note(parts[0]);
    auto played = Note(parts[1]);
    std::int32_t channel = 0;
    auto [p, ec] = std::from_chars(parts[2].data(), parts[2].data() + parts[2].size(), channel);
    bool ok = key == "map" && !setups.empty() && written && played && ec == std::errc() &&
              p == parts[2].data() + parts[2].size() && !parts[2].empty();
    if (!ok) return Fail(error, s, line);
    MapSetup::Map map{std::string(parts[3]), *written, *played, channel};
    if (ValidateMap(map) || !pitches.back().insert(*written).second) return Fail(error, s, line);
    setups.back().Insert(map);
  }
  const std::size_t first = out.size();
  for (const auto& setup : setups) {
    if (auto bad = ValidateMapSetup(setup)) return Fail(error, s, setup.name + " " + bad->field);
    if (!AddFile(out, first, {setup.name + ".MAP", EncodeMapSetup(setup)}))
      return Fail(error, s, setup.name + " twice");
  }
  return true;
}

}  // namespace

std::vector<FactoryFile> FactoryFiles(std::string* error) {
  std::vector<FactoryFile> out;
  for (std::size_t i = 0; i < internal::kFactorySourceCount; ++i) {
    const auto& s = internal::kFactorySources[i];
    std::string_view name = s.name;
    if (name == "options.txt") {
      Options o;
      if (!ParseSettings(s, OptionsFieldNames(), o, error)) return {};
      out.push_back({"OPTIONS.DAT", EncodeOptions(o)});
    } else if (name == "defaults.txt") {
      Defaults d;
      if (!ParseSettings(s, DefaultsFieldNames(), d, error)) return {};
      out.push_back({"DEFAULTS.DAT", EncodeDefaults(d)});
    } else if (name == "template.txt") {
      auto lines = ContentLines(s);
      if (lines.size() != 1) {
        if (error) *error = "template.txt: one template name expected";
        return {};
      }
      ArchiveWriter w;
      w.WriteInt32(kLibraryFileVersion);
      w.WriteString(lines[0]);
      out.push_back({"TEMPLATE.DAT", w.Take()});
    } else if (name == "instruments.txt" || name == "scorepath.txt") {
      std::string text = files::JoinLinesCrLf(ContentLines(s));
      out.push_back({name == "instruments.txt" ? "INSTRUMENTS.DAT" : "SCOREPATH.DAT",
                     std::vector<std::uint8_t>(text.begin(), text.end())});
    } else if (name == "symbols.txt") {
      if (!ParseSymbols(s, out, error)) return {};
    } else if (name == "specials.txt") {
      if (!ParseSpecials(s, out, error)) return {};
    } else if (name == "templates.txt") {
      if (!ParseTemplates(s, out, error)) return {};
    } else if (name == "mapsetups.txt") {
      if (!ParseMapSetups(s, out, error)) return {};
    } else if (EndsWith(name, ".PCH")) {
      // Bank/program lists are installed line for line: no comments in them.
      std::string text = files::JoinLinesCrLf(files::SplitLines(Text(s)));
      out.push_back({std::string(name), std::vector<std::uint8_t>(text.begin(), text.end())});
    }
  }
  return out;
}

FactoryInstall InstallFactoryLibrary(const std::string& folder, Host& host, bool withPrefs) {
  FactoryInstall result;
  std::error_code ec;
  if (folder.empty()) {
    result.ok = false;
    return result;
  }
  if (!fs::is_directory(folder, ec)) {
    fs::create_directories(folder, ec);
    if (!fs::is_directory(folder, ec)) {
      ShowMessage(host, res::kCannotCreateFolder, folder);
      result.ok = false;
      return result;
    }
  }
  std::string error;
  std::vector<FactoryFile> all = FactoryFiles(&error);
  if (all.empty()) {
    ShowMessage(host, res::kTruncatedLibraryFile, error);
    result.ok = false;
    return result;
  }
  if (withPrefs) {
    ArchiveWriter w;
    w.WriteInt32(kLibraryFileVersion);
    w.WriteString("");
    all.push_back({"prefs.dat", w.Take()});
  }
  // Any entry of that name in any letter case counts, even a dangling link: a user's file is
  // never replaced. One listing of the folder rather than a look for every name.
  const auto listing = files::EntryNames(folder);
  const auto listed = [&](std::string_view name) {
    return std::any_of(listing->begin(), listing->end(),
                       [&](const std::string& entry) { return files::EqualNoCase(entry, name); });
  };
  for (const auto& f : all) {
    if (listing ? listed(f.name)
                : fs::exists(fs::symlink_status(files::Resolve(folder, f.name), ec)))
      continue;
    fs::path path = fs::path(folder) / f.name;
    if (!files::WriteAtomic(path, f.bytes)) {
      ShowWriteFailure(host, path.string());
      result.ok = false;
      break;  // the next files would fail the same way
    }
    result.written.push_back(f.name);
  }
  return result;
}

}  // namespace vellumix

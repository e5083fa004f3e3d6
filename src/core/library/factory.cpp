#include "library/factory.h"

#include <algorithm>
#include <filesystem>
#include <set>
#include <string_view>
#include <system_error>

#include "library/archive.h"
#include "library/internal/factory_sources.h"
#include "library/settings.h"
#include "library/symbols.h"
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
  std::vector<std::set<std::string, std::less<>>> seen;
  for (const auto& line : ContentLines(s)) {
    auto eq = line.find('=');
    std::string_view key = Trim(std::string_view(line).substr(0, eq));
    std::string_view value =
        eq == std::string::npos ? std::string_view() : Trim(std::string_view(line).substr(eq + 1));
    bool ok = eq != std::string::npos;
    if (ok && (key == "symbol" || key == "text")) {
      records.emplace_back();
      seen.emplace_back();
      records.back().kind = key == "symbol" ? kCode9Symbol : kTextSymbol;
      ok = SetField(records.back(), key == "symbol" ? "number" : "text", value);
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
  for (const auto& r : records) {
    const bool code9 = r.kind == kCode9Symbol;
    std::string name = code9 ? SymbolFileName(r.number, "") : SymbolFileName(r.text, "");
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
  for (const auto& f : all) {
    // Any entry of that name counts, even a dangling link: a user's file is never replaced.
    if (fs::exists(fs::symlink_status(files::Resolve(folder, f.name), ec))) continue;
    fs::path path = fs::path(folder) / f.name;
    if (!files::WriteAtomic(path, f.bytes)) {
      ShowMessage(host, res::kCannotWrite, path.string());
      result.ok = false;
      break;  // the next files would fail the same way
    }
    result.written.push_back(f.name);
  }
  return result;
}

}  // namespace vellumix

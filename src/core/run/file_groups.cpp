#include "run/file_groups.h"

#include <algorithm>
#include <cctype>
#include <filesystem>

#include "platform/files.h"

namespace vellumix {
namespace {

std::string Lower(std::string_view s) {
  std::string out(s);
  for (char& c : out) c = static_cast<char>(std::tolower(static_cast<unsigned char>(c)));
  return out;
}

// The base of a name: everything before the character that precedes the last ".".
std::string Base(std::string_view name) {
  auto dot = name.rfind('.');
  if (dot == std::string_view::npos || dot == 0) return {};
  return std::string(name.substr(0, dot - 1));
}

// A page's text form (PMX), by its name.
bool IsTextPageName(std::string_view name) {
  if (name.size() < 4) return false;
  const std::string_view ext = name.substr(name.size() - 4);
  return files::EqualNoCase(ext, ".pmx") || files::EqualNoCase(ext, ".txt");
}

}  // namespace

bool IsScoreFileName(std::string_view name) {
  static constexpr std::string_view kExtensions[] = {"mus", "jst", "jus", "pge", "pag", "pt",
                                                     "pts", "opt", "uno", "edi", "bim", "pmx"};
  const auto dot = name.rfind('.');
  if (dot == std::string_view::npos || dot == 0) return false;
  const std::string_view ext = name.substr(dot + 1);
  return std::any_of(std::begin(kExtensions), std::end(kExtensions),
                     [&](std::string_view e) { return files::EqualNoCase(ext, e); });
}

std::string FormatEntry(const FileGroupEntry& entry) {
  return entry.path + " " + std::to_string(entry.count);
}

FileGroupEntry ParseEntry(std::string_view line) {
  while (!line.empty() && (line.back() == ' ' || line.back() == '\r' || line.back() == '\n'))
    line.remove_suffix(1);
  FileGroupEntry e;
  auto space = line.rfind(' ');
  if (space != std::string_view::npos) {
    std::string_view count = line.substr(space + 1);
    bool digits =
        !count.empty() && count.size() <= 9 &&
        std::all_of(count.begin(), count.end(), [](char c) { return c >= '0' && c <= '9'; });
    if (digits) {
      e.path = std::string(line.substr(0, space));
      e.count = std::stoi(std::string(count));
      return e;
    }
  }
  e.path = std::string(line);
  return e;
}

std::vector<std::string> GroupSelectedFiles(const std::string& folderIn,
                                            const std::vector<std::string>& names,
                                            bool onePerPage) {
  std::string folder = folderIn;
  if (!folder.empty() && folder.back() != '/') folder += '/';
  std::vector<std::string> entries;
  if (onePerPage) {
    for (const auto& n : names) entries.push_back(FormatEntry({folder + n, 1}));
    return entries;
  }
  std::vector<std::string> starts;
  std::vector<std::string> following;  // folded to lower case
  // Text pages are grouped among themselves, so that a page picked with its text form keeps both.
  std::string previous, previousText;
  for (const auto& n : names) {
    std::string base = Lower(Base(n));
    std::string& last = IsTextPageName(n) ? previousText : previous;
    if (base > last)
      starts.push_back(n);
    else
      following.push_back(Lower(n));
    last = base;
  }
  for (const auto& start : starts) {
    int count = 1;
    std::string probe = Lower(start);
    const std::size_t at = probe.rfind('.') - 1;  // starts always have a base, so a "." past 0
    probe[at] = static_cast<char>(probe[at] + 1);
    while (std::find(following.begin(), following.end(), probe) != following.end()) {
      ++count;
      probe[at] = static_cast<char>(probe[at] + 1);
    }
    entries.push_back(FormatEntry({folder + start, count}));
  }
  return entries;
}

bool ReadListFile(const std::string& path, Host& host, std::vector<std::string>& entries) {
  auto bytes = files::ReadAll(path, files::kInputLimit);
  if (!bytes) {
    ShowMessage(host, res::kCannotRead, path);
    return false;
  }
  std::vector<std::string> read;
  std::size_t number = 0;
  for (auto& line : files::SplitLines(
           std::string_view(reinterpret_cast<const char*>(bytes->data()), bytes->size()))) {
    ++number;
    if (line.empty()) continue;
    // A group of no file would be read as nothing and reported as read.
    if (ParseEntry(line).count < 1) {
      ShowMessageFormatted(host, res::kDamagedScoreFile,
                           {path, "line " + std::to_string(number) + " names a group of 0 files"});
      return false;
    }
    read.push_back(std::move(line));
  }
  entries = std::move(read);
  return true;
}

namespace {

bool WriteList(const std::string& path, const std::vector<std::string>& entries, Host& host,
               bool flush) {
  if (!files::WriteAtomic(path, files::JoinLinesCrLf(entries), flush)) {
    ShowWriteFailure(host, path);
    return false;
  }
  return true;
}

}  // namespace

bool WriteListFile(const std::string& path, const std::vector<std::string>& entries, Host& host) {
  return WriteList(path, entries, host, true);
}

bool WriteNameList(const std::string& folder, const std::vector<std::string>& entries,
                   Host& host) {
  // Every run writes it again, so it need not wait for the disk.
  return WriteList(folder + std::string(kNameListFile), entries, host, false);
}

}  // namespace vellumix

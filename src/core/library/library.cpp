#include "library/library.h"

#include <algorithm>
#include <cstdlib>
#include <filesystem>
#include <optional>
#include <system_error>

#include <pwd.h>
#include <unistd.h>

#include "library/archive.h"
#include "library/factory.h"
#include "platform/files.h"
#include "platform/host.h"
#include "res/strings.h"

namespace vellumix {
namespace fs = std::filesystem;

namespace {

constexpr const char* kPrefsFile = "prefs.dat";

std::string Upper(std::string s) {
  for (char& c : s)
    if (c >= 'a' && c <= 'z') c = static_cast<char>(c - 'a' + 'A');
  return s;
}

bool IsDirectory(const fs::path& p) {
  std::error_code ec;
  return fs::is_directory(p, ec);
}

// A name that can only stand for one direct sub-folder: no separator (of either platform), not
// "." or "..", no NUL.
bool IsPlainFolderName(std::string_view name) {
  return !name.empty() && name != "." && name != ".." &&
         name.find_first_of(std::string_view("/\\\0", 3)) == std::string_view::npos;
}

// The stored relative folder as "" or "NAME/", or nothing when it would lead outside the user
// data folder. Folders written on Windows end in a backslash; that is accepted as the end.
std::optional<std::string> RelativeFolder(std::string rel) {
  if (rel.empty()) return std::string();
  if (rel.back() == '/' || rel.back() == '\\') rel.pop_back();
  if (!IsPlainFolderName(rel)) return std::nullopt;
  return rel + "/";
}

enum class NewFolder { kCreated, kExists, kRefused };

// New Path's rule: `name` cut before its first "." and upper-cased names a sub-folder of
// `dataFolder`, found in any letter case or else created. `folder` receives its name on disk.
NewFolder MakeLibraryFolder(const std::string& dataFolder, const std::string& name,
                            std::string& folder) {
  folder = Upper(name.substr(0, name.find('.')));
  if (!IsPlainFolderName(folder)) return NewFolder::kRefused;
  fs::path existing = files::Resolve(dataFolder, folder);
  if (IsDirectory(existing)) {
    folder = existing.filename().string();
    return NewFolder::kExists;
  }
  std::error_code ec;
  if (!fs::create_directory(dataFolder + folder, ec) || ec) return NewFolder::kRefused;
  return NewFolder::kCreated;
}

}  // namespace

SettingsLibrary::SettingsLibrary(Host& host) : host_(host) {}

std::string SettingsLibrary::DefaultUserDataFolder() {
  std::string base;
  if (const char* xdg = std::getenv("XDG_DATA_HOME"); xdg && xdg[0] == '/') {
    base = xdg;
  } else {
    std::string home;
    if (const char* h = std::getenv("HOME"); h && *h) {
      home = h;
    } else if (const passwd* pw = ::getpwuid(::getuid()); pw && pw->pw_dir && *pw->pw_dir) {
      home = pw->pw_dir;
    }
    if (home.empty()) return {};
    base = home + "/.local/share";
  }
  while (base.size() > 1 && base.back() == '/') base.pop_back();
  if (base == "/") base.clear();
  return base + "/vellumix3/";
}

void SettingsLibrary::FindUserDataFolder(const std::string& commandLineFolder) {
  std::string folder = commandLineFolder.empty() ? DefaultUserDataFolder() : commandLineFolder;
  if (folder.empty()) {
    // No home folder: rather than "/" (the root), files are looked for where the program runs.
    UserDataFolder.clear();
    ShowMessage(host_, res::kCannotCreateFolder, "$HOME/.local/share/vellumix3/");
    return;
  }
  if (folder.back() != '/') folder += '/';
  UserDataFolder = folder;
  if (IsDirectory(folder)) return;
  std::error_code ec;
  fs::create_directories(folder, ec);
  if (!IsDirectory(folder)) ShowMessage(host_, res::kCannotCreateFolder, folder);
}

void SettingsLibrary::FallBackToUserDataFolder() {
  LibraryFolder = UserDataFolder;
}

bool SettingsLibrary::ReadPrefs() {
  const std::string path = files::Resolve(UserDataFolder, kPrefsFile).string();
  auto bytes = files::ReadAll(path);
  if (!bytes) {
    ShowMessage(host_, res::kCannotRead, path);
    return false;
  }
  ArchiveReader r(*bytes);
  std::int32_t version;  // not checked: every version has the same two fields
  std::string stored;
  if (!r.ReadInt32(version) || !r.ReadString(stored)) {
    ShowMessage(host_, res::kTruncatedLibraryFile, path);
    return false;
  }
  auto rel = RelativeFolder(stored);
  if (!rel) {
    ShowMessage(host_, res::kFolderOutsideDataFolder, path);
    FallBackToUserDataFolder();
    return false;
  }
  if (!rel->empty()) {
    // A library copied from Windows may spell the folder in another letter case.
    std::string name = rel->substr(0, rel->size() - 1);
    fs::path found = files::Resolve(UserDataFolder, name);
    if (IsDirectory(found)) *rel = found.filename().string() + "/";
  }
  LibraryFolder = UserDataFolder + *rel;
  return true;
}

bool SettingsLibrary::WritePrefs() {
  std::string rel;
  if (LibraryFolder.size() > UserDataFolder.size() &&
      LibraryFolder.compare(0, UserDataFolder.size(), UserDataFolder) == 0)
    rel = LibraryFolder.substr(UserDataFolder.size());
  ArchiveWriter w;
  w.WriteInt32(kLibraryFileVersion);
  w.WriteString(rel);
  if (!files::WriteAtomic(files::Resolve(UserDataFolder, kPrefsFile), w.Bytes())) {
    ShowWriteFailure(host_, "PREFS.DAT");
    return false;
  }
  return true;
}

bool SettingsLibrary::Create(const std::string& commandLineFolder, bool installFactory) {
  options = Options{};
  defaults = Defaults{};
  selectedTemplate = kNoTemplate;
  instruments.Reset(defaults.tempo);
  bankProgramListFile.clear();
  startingTempo = defaults.tempo;
  LibraryFolder.clear();

  FindUserDataFolder(commandLineFolder);
  if (installFactory) InstallFactoryLibrary(UserDataFolder, host_);
  ReadPrefs();
  if (LibraryFolder.empty()) FallBackToUserDataFolder();
  // A chosen sub-folder is a library of its own and gets what it lacks as well.
  if (installFactory && LibraryFolder != UserDataFolder)
    InstallFactoryLibrary(LibraryFolder, host_, false);

  if (!LoadOptions()) return false;
  defaults = Defaults{};
  if (!LoadDefaults() || !LoadTemplate()) return false;
  bankProgramListFile = "GS.PRG";
  return true;
}

std::string SettingsLibrary::LibraryFile(const std::string& name) const {
  return files::Resolve(LibraryFolder, name).string();
}

namespace {

// Reads the library file at `path` into `target` through `decode` (which works on a copy): the
// values change only when the whole file was read.
template <class T, class Decode>
bool LoadInto(Host& host, const std::string& path, T& target, Decode decode) {
  auto bytes = files::ReadAll(path);
  if (!bytes) {
    ShowMessage(host, res::kCannotRead, path);
    return false;
  }
  if (!decode(*bytes, target)) {
    ShowMessage(host, res::kTruncatedLibraryFile, path);
    return false;
  }
  return true;
}

// Like LoadInto, and a hand-edited or damaged value never reaches a run: each one is reported and
// replaced by its built-in value.
template <class T>
bool LoadSettings(Host& host, const std::string& path, T& target,
                  bool (*decode)(std::span<const std::uint8_t>, T&),
                  std::vector<OutOfRange> (*repair)(T&)) {
  if (!LoadInto(host, path, target, decode)) return false;
  for (const OutOfRange& r : repair(target))
    ShowMessageFormatted(host, res::kOutOfRangeSetting, {path, r.field, r.value, r.range, r.used});
  return true;
}

}  // namespace

bool SettingsLibrary::LoadOptions() {
  return LoadSettings(host_, LibraryFile("OPTIONS.DAT"), options, &DecodeOptions, &RepairOptions);
}

bool SettingsLibrary::LoadDefaults() {
  return LoadSettings(host_, LibraryFile("DEFAULTS.DAT"), defaults, &DecodeDefaults,
                      &RepairDefaults);
}

bool SettingsLibrary::LoadTemplateSelection() {
  return LoadInto(host_, LibraryFile("TEMPLATE.DAT"), selectedTemplate,
                  [](std::span<const std::uint8_t> b, std::string& name) {
                    ArchiveReader r(b);
                    std::int32_t version;
                    std::string read;
                    if (!r.ReadInt32(version) || !r.ReadString(read)) return false;
                    name = std::move(read);
                    return true;
                  });
}

bool SettingsLibrary::LoadTemplate() {
  return instruments.LoadTemplate(host_, LibraryFolder, defaults.tempo, selectedTemplate) !=
         TemplateLoad::kFailed;
}

bool SettingsLibrary::SelectTemplate(const std::string& name) {
  if (!WriteTemplateSelection(host_, LibraryFolder, name)) return false;
  selectedTemplate = name;
  return true;
}

bool SettingsLibrary::SaveOptions(const Options& values, std::string* error,
                                  bool* multipleSystemsChanged) {
  if (multipleSystemsChanged) *multipleSystemsChanged = false;
  if (auto bad = ValidateOptions(values)) {
    if (error) *error = bad->text;
    return false;
  }
  Options written = values;
  written.version = kLibraryFileVersion;
  const std::string path = LibraryFile("OPTIONS.DAT");
  if (!files::WriteAtomic(path, EncodeOptions(written))) {
    ShowWriteFailure(host_, path);
    return false;
  }
  if (multipleSystemsChanged)
    *multipleSystemsChanged = written.interpretMultipleSystems != options.interpretMultipleSystems;
  options = std::move(written);
  return true;
}

bool SettingsLibrary::SaveDefaults(const Defaults& values, std::string* error) {
  if (auto bad = ValidateDefaults(values)) {
    if (error) *error = bad->text;
    return false;
  }
  Defaults written = values;
  written.version = kLibraryFileVersion;
  const std::string path = LibraryFile("DEFAULTS.DAT");
  if (!files::WriteAtomic(path, EncodeDefaults(written))) {
    ShowWriteFailure(host_, path);
    return false;
  }
  defaults = written;
  return true;
}

bool SettingsLibrary::ReloadLibrary() {
  if (!LoadOptions() || !LoadDefaults() || !LoadTemplate()) return false;
  startingTempo = defaults.tempo;
  return true;
}

std::vector<std::string> SettingsLibrary::LibraryFolderChoices() const {
  std::vector<std::string> names;
  std::error_code ec;
  for (fs::directory_iterator it(UserDataFolder, ec), end; !ec && it != end; it.increment(ec)) {
    std::error_code ec2;
    if (!it->is_directory(ec2)) continue;
    std::string name = it->path().filename().string();
    // Hidden folders are not libraries, and a name with a backslash could not be stored.
    if (name.front() == '.' || !IsPlainFolderName(name)) continue;
    names.push_back(std::move(name));
  }
  std::sort(names.begin(), names.end(),
            [](const std::string& a, const std::string& b) { return files::LessNoCase(a, b); });
  return names;
}

bool SettingsLibrary::CreateLibraryFolder(const std::string& name, std::string* created) {
  std::string folder;
  // A folder that exists already (in any letter case) can't be created, as on a file system that
  // ignores case.
  if (MakeLibraryFolder(UserDataFolder, name, folder) != NewFolder::kCreated) {
    host_.ShowMessage(0, res::kErrorCreatingDirectory);
    return false;
  }
  if (created) *created = folder;
  return true;
}

bool SettingsLibrary::ChooseLibraryFolder(const std::string& name, bool installFactory) {
  auto refuse = [&] {
    host_.ShowMessage(0, res::kErrorCreatingDirectory);
    return false;
  };
  std::string folder;  // the sub-folder's name, empty for the user data folder itself
  if (!name.empty()) {
    if (!IsPlainFolderName(name)) return refuse();
    fs::path existing = files::Resolve(UserDataFolder, name);
    if (IsDirectory(existing)) {
      folder = existing.filename().string();
    } else if (MakeLibraryFolder(UserDataFolder, name, folder) == NewFolder::kRefused) {
      return refuse();
    }
  }
  LibraryFolder = UserDataFolder + (folder.empty() ? "" : folder + "/");
  WritePrefs();  // a failure is reported; the library folder is changed all the same
  if (installFactory) InstallFactoryLibrary(LibraryFolder, host_, false);
  return ReloadLibrary();
}

}  // namespace vellumix

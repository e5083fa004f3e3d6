// The document's settings subsystem: where the library lives (the user data folder, the library
// folder chosen in it, "prefs.dat") and the settings loaded from it (OPTIONS.DAT, DEFAULTS.DAT,
// the selected template and its instrument table).
#pragma once

#include <cstdint>
#include <string>
#include <vector>

#include "library/settings.h"
#include "library/templates.h"

namespace vellumix {

class Host;

class SettingsLibrary {
 public:
  explicit SettingsLibrary(Host& host);

  // ${XDG_DATA_HOME:-$HOME/.local/share}/vellumix3/; empty when no home folder is known.
  static std::string DefaultUserDataFolder();

  // Takes `commandLineFolder` (or the default when empty) as the user data folder, creates it
  // when missing and ends it in '/'.
  void FindUserDataFolder(const std::string& commandLineFolder);

  // Reads "prefs.dat" from the user data folder into LibraryFolder. Missing or damaged: message 9
  // or 20002, LibraryFolder unchanged, false. Naming a folder outside the user data folder:
  // message 20003, LibraryFolder becomes the user data folder, false.
  bool ReadPrefs();
  // Writes "prefs.dat" naming the library folder; message 10 with "PREFS.DAT" on failure.
  bool WritePrefs();

  // Document creation: built-in values, user data folder, prefs, then OPTIONS.DAT and, only when
  // that loaded, DEFAULTS.DAT and TEMPLATE.DAT. True when all three loaded. With
  // `installFactory`, the factory library's missing files are put into the user data folder as
  // soon as it is found.
  bool Create(const std::string& commandLineFolder, bool installFactory = false);

  // Read the library folder's files over the current values; message 9 (missing) or 20002
  // (damaged) and false leave the values as they were.
  bool LoadOptions();
  bool LoadDefaults();
  bool LoadTemplateSelection();
  // TEMPLATE.DAT and the selected template into `instruments` (default tempo from `defaults`).
  // False only when TEMPLATE.DAT can't be read; a template that can't be loaded falls back to
  // "[None]" after its message.
  bool LoadTemplate();
  // Select Template's OK: writes TEMPLATE.DAT naming `name` and takes it as the selection (the
  // table follows at the next reload). False after message 10, or for an empty name.
  bool SelectTemplate(const std::string& name);

  // Validate and write the file, then take the values. False with `error` set when a value is out
  // of range (nothing written), or after message 10 when the file can't be written (old values
  // kept). `multipleSystemsChanged` tells whether "Interpret multiple systems" changed.
  bool SaveOptions(const Options& values, std::string* error = nullptr,
                   bool* multipleSystemsChanged = nullptr);
  bool SaveDefaults(const Defaults& values, std::string* error = nullptr);

  // The start of every run: OPTIONS.DAT, DEFAULTS.DAT, TEMPLATE.DAT (with the selected template)
  // in order, stopping with false at the first that fails; on success the starting tempo is the
  // default tempo.
  bool ReloadLibrary();

  // The sub-folders of the user data folder, sorted without regard to letter case.
  std::vector<std::string> LibraryFolderChoices() const;
  // Makes `name` the library folder: empty is the user data folder itself; an existing sub-folder
  // (any letter case) is taken as it is; otherwise the sub-folder New Path's rule names is taken,
  // created when missing (see CreateLibraryFolder). Refused
  // names and folders that can't be created change nothing ("Error creating directory.", false).
  // Otherwise the folder changes, "prefs.dat" is written and the three files are reloaded; the
  // result is whether they all loaded.
  // With `installFactory`, the factory files the folder lacks are installed before the reload.
  bool ChooseLibraryFolder(const std::string& name, bool installFactory = false);
  // New Path: creates the sub-folder `name` stands for (cut before its first ".", upper-cased)
  // without choosing it; `created` receives its name. A name that leaves no plain folder name, a
  // folder that exists already in any letter case, or one that can't be created: "Error creating
  // directory." and false.
  bool CreateLibraryFolder(const std::string& name, std::string* created = nullptr);

  // The library folder's file `name`, found without regard to letter case.
  std::string LibraryFile(const std::string& name) const;

  std::string UserDataFolder;  // always ends in '/' once found
  std::string LibraryFolder;   // UserDataFolder or a direct sub-folder of it, ending in '/'
  Options options;
  Defaults defaults;
  std::string selectedTemplate = kNoTemplate;
  InstrumentTable instruments;  // the selected template's instruments
  std::string bankProgramListFile;
  std::int32_t startingTempo = Defaults{}.tempo;  // the running tempo a run starts with

 private:
  void FallBackToUserDataFolder();

  Host& host_;
};

}  // namespace vellumix

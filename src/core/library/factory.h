// The factory library: the files a fresh user data folder needs before the first run, built from
// readable sources embedded in the program by the library's own writers.
#pragma once

#include <cstdint>
#include <string>
#include <vector>

namespace vellumix {

class Host;

struct FactoryFile {
  std::string name;  // as installed: "OPTIONS.DAT", "General.PCH", …
  std::vector<std::uint8_t> bytes;
};

// Every file of the factory library, encoded. Empty, with `error` naming the source and line,
// when a source can't be turned into its file.
std::vector<FactoryFile> FactoryFiles(std::string* error = nullptr);

struct FactoryInstall {
  std::vector<std::string> written;  // names of the files written, in order
  bool ok = true;                    // false after a message (folder or file not writable)
};

// Writes each factory file that `folder` lacks (by name, without regard to letter case); never
// replaces a file. With `withPrefs`, also writes "prefs.dat" naming the folder itself as the
// library folder when it has none. Creates `folder` when missing.
FactoryInstall InstallFactoryLibrary(const std::string& folder, Host& host, bool withPrefs = true);

}  // namespace vellumix

#include "cli/commands.h"

#include <iostream>

#include "cli/terminal_host.h"
#include "library/factory.h"
#include "library/labels.h"
#include "platform/files.h"
#include "run/document.h"
#include "score/pmx.h"

namespace vellumix::cli {
namespace {

void PrintLabelled(const std::vector<LabelledValue>& values) {
  for (const auto& v : values) std::cout << "  " << v.label << ": " << v.value << '\n';
}

}  // namespace

int LibraryInit(const GlobalOptions& global) {
  TerminalHost host;
  SettingsLibrary library(host);
  library.FindUserDataFolder(global.dataDir);
  if (library.UserDataFolder.empty()) return kExitError;
  FactoryInstall install = InstallFactoryLibrary(library.UserDataFolder, host);
  for (const auto& name : install.written)
    std::cout << "wrote " << library.UserDataFolder << name << '\n';
  if (!install.ok) return kExitError;
  if (install.written.empty())
    std::cout << "The library in " << library.UserDataFolder
              << " has every factory file; nothing was written.\n";
  return kExitDone;
}

int LibraryPath(const GlobalOptions& global, const std::optional<std::string>& name) {
  TerminalHost host;
  CVellumixDoc doc(host);
  bool loaded = doc.Create(global.dataDir, true);
  if (doc.library.UserDataFolder.empty()) return kExitError;
  if (!name) {
    std::cout << doc.library.LibraryFolder << '\n';
    return loaded ? kExitDone : kExitError;
  }
  const std::string before = doc.library.LibraryFolder;
  bool ok = doc.library.ChooseLibraryFolder(*name, true);
  if (doc.library.LibraryFolder == before && !ok) return kExitError;
  std::cout << doc.library.LibraryFolder << '\n';
  return ok ? kExitDone : kExitError;
}

int LibraryShow(const GlobalOptions& global) {
  TerminalHost host;
  CVellumixDoc doc(host);
  bool loaded = doc.Create(global.dataDir, true);
  if (doc.library.UserDataFolder.empty()) return kExitError;
  const auto& lib = doc.library;
  std::cout << "User data folder: " << lib.UserDataFolder << '\n'
            << "Library folder: " << lib.LibraryFolder << '\n'
            << "Template: " << lib.selectedTemplate << '\n'
            << "Options (" << lib.LibraryFile("OPTIONS.DAT") << ")\n";
  PrintLabelled(DescribeOptions(lib.options));
  std::cout << "Defaults (" << lib.LibraryFile("DEFAULTS.DAT") << ")\n";
  PrintLabelled(DescribeDefaults(lib.defaults));
  return loaded ? kExitDone : kExitError;
}

int Dump(const GlobalOptions&, const std::string& file) {
  TerminalHost host;
  auto bytes = files::ReadAll(file);
  if (!bytes) {
    ShowMessage(host, res::kCannotRead, file);
    return kExitError;
  }
  std::string out;
  bool ok = DumpScore(*bytes, file, host, out);
  if (!ok) return kExitError;
  std::cout << out;
  return kExitDone;
}

}  // namespace vellumix::cli

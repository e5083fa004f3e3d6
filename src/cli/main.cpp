// vellumix-cli: SCORE files to MIDI from the command line.
#include <CLI/CLI.hpp>

#include <iostream>

#include "cli/commands.h"

int main(int argc, char** argv) {
  using namespace vellumix::cli;
  CLI::App app{"Vellumix: SCORE notation files to Standard MIDI Files", "vellumix-cli"};
  app.set_version_flag("--version", "vellumix-cli 3.1");
  app.require_subcommand(1);

  GlobalOptions global;
  int result = kExitDone;
  app.add_option("--data-dir", global.dataDir,
                 "User data folder (default: $XDG_DATA_HOME/vellumix3, else "
                 "~/.local/share/vellumix3)");
  app.add_flag("-v,--verbose", global.verbose, "Show every status text on its own line");

  auto* library = app.add_subcommand("library", "Install, choose or show the settings library");
  library->require_subcommand(1);
  library->add_subcommand("init", "Install the factory library's missing files")
      ->callback([&] { result = LibraryInit(global); });
  std::optional<std::string> pathName;
  auto* path = library->add_subcommand(
      "path", "Show the library folder, or choose (and create) the sub-folder NAME ('' for the "
              "user data folder itself)");
  path->add_option("NAME", pathName, "Sub-folder of the user data folder");
  path->callback([&] { result = LibraryPath(global, pathName); });
  library->add_subcommand("show", "Print the options and defaults of the library folder")
      ->callback([&] { result = LibraryShow(global); });

  std::string dumpFile;
  auto* dump = app.add_subcommand("dump", "Print the items of a SCORE file as parameter text");
  dump->add_option("FILE", dumpFile, "SCORE file")->required();
  dump->callback([&] { result = Dump(global, dumpFile); });

  try {
    app.parse(argc, argv);
  } catch (const CLI::CallForHelp& e) {
    return app.exit(e);
  } catch (const CLI::CallForAllHelp& e) {
    return app.exit(e);
  } catch (const CLI::CallForVersion& e) {
    return app.exit(e);
  } catch (const CLI::ParseError& e) {
    app.exit(e);
    return kExitUsage;
  }
  return result;
}

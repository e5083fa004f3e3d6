// vellumix-cli: SCORE files to MIDI from the command line.
#include <CLI/CLI.hpp>

#include <iostream>

#include "cli/commands.h"

namespace {

// A path argument that is empty names no file.
const CLI::Validator kPath(
    [](std::string& value) {
      return value.empty() ? std::string("an empty path names no file") : std::string();
    },
    "PATH");

// FILE:COUNT counts the files of a group from 1.
const CLI::Validator kInput(
    [](std::string& value) {
      if (value.empty()) return std::string("an empty path names no file");
      const auto colon = value.rfind(':');
      if (colon != std::string::npos && colon + 1 < value.size() &&
          value.find_first_not_of('0', colon + 1) == std::string::npos)
        return value + ": a file group counts its files from 1";
      return std::string();
    },
    "FILE[:COUNT]");

int Run(int argc, char** argv) {
  using namespace vellumix::cli;
  CLI::App app{"Vellumix: SCORE notation files to Standard MIDI Files", "vellumix-cli"};
  app.set_version_flag("--version", "vellumix-cli " VELLUMIX_VERSION);
  app.require_subcommand(1);

  GlobalOptions global;
  int result = kExitDone;
  app.add_option("--data-dir", global.dataDir,
                 "User data folder (default: $XDG_DATA_HOME/vellumix3, else "
                 "~/.local/share/vellumix3)");
  app.add_flag("-v,--verbose", global.verbose, "Show every status text on its own line");

  app.footer(
      "Examples:\n"
      "  vellumix-cli transcribe minuet.mus -o minuet.mid\n"
      "  vellumix-cli transcribe --group piece1.pag piece2.pag piece3.pag -o piece.mid\n"
      "  vellumix-cli transcribe-all ~/scores -o ~/midi -j 2\n"
      "  vellumix-cli --data-dir ~/scores/lib library show\n"
      "Run 'vellumix-cli COMMAND --help' for a command's options.");
  auto* library = app.add_subcommand("library", "Install, choose or show the settings library");
  library->footer(
      "Examples:\n"
      "  vellumix-cli library init          install the factory files a library lacks\n"
      "  vellumix-cli library path piano    use (and create) the sub-folder PIANO\n"
      "  vellumix-cli library path ''       use the user data folder itself again");
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
  dump->add_option("FILE", dumpFile, "SCORE file")->required()->check(kPath);
  dump->footer("Example:\n  vellumix-cli dump minuet.mus | less");
  dump->callback([&] { result = Dump(global, dumpFile); });

  RunInputs run;
  auto* readScores = app.add_subcommand(
      "read-scores", "Read SCORE files into the intermediate track files of the library folder");
  auto addRunOptions = [&](CLI::App* cmd) {
    cmd->add_option("INPUT", run.inputs,
                    "A SCORE file (a page of its own), or FILE:COUNT for a file group of COUNT "
                    "numbered files")
        ->check(kInput);
    cmd->add_option("--list", run.listFiles,
                    "A list file of file group entries (\"path count\" a line); read before the "
                    "INPUTs")
        ->check(kPath);
    cmd->add_flag("--group", run.group,
                  "Group numbered files (piece1.pag piece2.pag ...) as Add Files does");
    cmd->add_option("--time-signature", run.timeSignature,
                    "Answer to the time-signature questions, N/D");
    cmd->add_option("--anacrusis", run.anacrusis, "Answer to the anacrusis question, in beats");
    cmd->add_option("--multiple-systems", run.multipleSystems,
                    "Answer to the multiple-systems question, yes or no");
    cmd->add_flag("--yes", run.yes, "Answer Yes to overwrite and extension questions");
  };
  addRunOptions(readScores);
  readScores->footer(
      "Examples:\n"
      "  vellumix-cli read-scores page1.mus page2.mus\n"
      "  vellumix-cli read-scores --list pieces.tmp --multiple-systems yes");
  readScores->callback([&] { result = ReadScoresCommand(global, run); });

  std::string output, report;
  auto* transcribe = app.add_subcommand("transcribe", "Transcribe SCORE files into a MIDI file");
  addRunOptions(transcribe);
  transcribe->add_option("-o,--output", output, "The MIDI file to write")->required()->check(kPath);
  transcribe->add_option("--report", report,
                         "Write what the run did as JSON (inputs, output, answers, notes, tracks, "
                         "bars, length, messages, outcome) to this file")
      ->check(kPath);
  transcribe->footer(
      "Examples:\n"
      "  vellumix-cli transcribe minuet.mus -o minuet.mid\n"
      "  vellumix-cli transcribe song1.pag:3 -o song.mid --time-signature 3/4 --yes\n"
      "  vellumix-cli transcribe --list book.tmp -o book.mid --report book.json");
  transcribe->callback([&] { result = TranscribeCommand(global, run, output, report); });

  CollectionOptions collection;
  auto* all = app.add_subcommand(
      "transcribe-all",
      "Transcribe every piece under some folders, one MIDI file each, on several workers");
  all->add_option("FOLDER", collection.folders,
                  "A folder of SCORE files; its sub-folders are searched too")
      ->required()
      ->check(kPath);
  all->add_option("-o,--output", collection.outDir,
                  "The folder the MIDI files go to, in the folders' structure")
      ->required()
      ->check(kPath);
  all->add_option("-j,--jobs", collection.jobs,
                  "Pieces transcribed at once (default: one a processor)")
      ->check(CLI::Range(1u, 256u));
  all->add_option("--report", collection.report,
                  "Write what the run did, piece by piece, as JSON to this file")
      ->check(kPath);
  all->add_option("--time-signature", run.timeSignature,
                  "Answer to the time-signature questions of every piece, N/D");
  all->add_option("--anacrusis", run.anacrusis,
                  "Answer to the anacrusis question of every piece, in beats");
  all->add_option("--multiple-systems", run.multipleSystems,
                  "Answer to the multiple-systems question of every piece, yes or no");
  all->add_flag("--yes", run.yes, "Write over MIDI files that are already there");
  all->footer(
      "The files of a folder form pieces as Add Files groups them (piece1.pag piece2.pag ... is "
      "one piece);\na piece's MIDI file takes its first file's name. No question is asked: the "
      "answers above, or\nwhat the page shows, are taken. A piece that fails never stops the "
      "others.\n"
      "Examples:\n"
      "  vellumix-cli transcribe-all ~/scores -o ~/midi\n"
      "  vellumix-cli transcribe-all hymns carols -o out -j 2 --report out/report.json --yes");
  all->callback([&] { result = TranscribeAllCommand(global, run, collection); });

  auto* readOld = app.add_subcommand(
      "read-old-data",
      "Write a MIDI file from the intermediate track files an earlier run left in the library");
  readOld->add_option("-o,--output", output, "The MIDI file to write")->required()->check(kPath);
  readOld->footer(
      "Example (after a read-scores, or a transcribe with \"Delete .tmp files\" off):\n"
      "  vellumix-cli read-old-data -o again.mid");
  readOld->callback([&] { result = ReadOldDataCommand(global, output); });

  PlayOptions play;
  auto* playCmd = app.add_subcommand("play", "Play a MIDI file through the sound output");
  playCmd->add_option("FILE", play.file, "The MIDI file")->required()->check(kPath);
  playCmd->add_option("--from", play.from, "Start at this time, M:SS");
  playCmd->add_option("--tempo", play.tempo, "Play at this tempo, quarter notes a minute");
  playCmd->add_option("--soundfont", play.soundfont,
                      "General MIDI soundfont (default: $VELLUMIX_SOUNDFONT, else the system's)");
  playCmd->footer(
      "Examples:\n"
      "  vellumix-cli play minuet.mid\n"
      "  vellumix-cli play minuet.mid --from 1:30 --tempo 96\n"
      "Ctrl-C stops the music.");
  playCmd->callback([&] { result = PlayCommand(global, play); });

  std::string renderFile;
  auto* render = app.add_subcommand("render", "Render a MIDI file to a WAV file (44.1 kHz stereo)");
  render->add_option("FILE", renderFile, "The MIDI file")->required()->check(kPath);
  render->add_option("-o,--output", output, "The WAV file to write")->required()->check(kPath);
  render->add_option("--soundfont", play.soundfont,
                     "General MIDI soundfont (default: $VELLUMIX_SOUNDFONT, else the system's)");
  render->footer("Example:\n  vellumix-cli render minuet.mid -o minuet.wav");
  render->callback([&] { result = RenderCommand(global, renderFile, output, play.soundfont); });

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

}  // namespace

int main(int argc, char** argv) {
  try {
    return Run(argc, argv);
  } catch (const std::exception& e) {
    // A fault of ours or of the system that nothing handled: said, never an abort.
    std::cerr << "vellumix-cli: unexpected error: " << e.what() << '\n';
  } catch (...) {
    std::cerr << "vellumix-cli: unexpected error\n";
  }
  return vellumix::cli::kExitError;
}

#include "cli/commands.h"

#include <algorithm>
#include <atomic>
#include <chrono>
#include <cmath>
#include <cstdio>
#include <filesystem>
#include <iostream>
#include <thread>

#include "cli/terminal_host.h"
#include "library/factory.h"
#include "library/labels.h"
#include "midi/reader.h"
#include "platform/files.h"
#include "playback/fluid_sequencer.h"
#include "playback/transport.h"
#include "run/document.h"
#include "run/file_groups.h"
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
  auto bytes = files::ReadAll(file, files::kInputLimit);
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

namespace vellumix::cli {
namespace {

// FILE:COUNT when the text after the last ':' is a decimal count.
FileGroupEntry SplitInput(const std::string& input) {
  auto colon = input.rfind(':');
  if (colon != std::string::npos && colon + 1 < input.size() && input.size() - colon <= 10 &&
      input.find_first_not_of("0123456789", colon + 1) == std::string::npos)
    return {input.substr(0, colon), std::stoi(input.substr(colon + 1))};
  return {input, 1};
}

// The file group entries of a run, in order: the list files' entries, then the inputs. With
// --group, plain file names are grouped folder by folder as Add Files groups a selection, in
// name order as a file browser lists them.
bool CollectEntries(const RunInputs& run, Host& host, std::vector<std::string>& entries) {
  for (const auto& list : run.listFiles) {
    std::vector<std::string> read;
    if (!ReadListFile(list, host, read)) return false;
    entries.insert(entries.end(), read.begin(), read.end());
  }
  std::vector<std::pair<std::string, std::vector<std::string>>> folders;
  for (const auto& input : run.inputs) {
    FileGroupEntry e = SplitInput(input);
    const bool explicitCount = e.path != input;
    // Messages and NAMELIST.TMP name files by their full path.
    e.path = std::filesystem::absolute(e.path).lexically_normal().string();
    if (!run.group || explicitCount) {
      entries.push_back(FormatEntry(e));
      continue;
    }
    std::filesystem::path p(e.path);
    std::string folder = p.parent_path().string();
    if (folder.empty()) folder = ".";
    auto it = std::find_if(folders.begin(), folders.end(),
                           [&](const auto& f) { return f.first == folder; });
    if (it == folders.end()) it = folders.insert(folders.end(), {folder, {}});
    it->second.push_back(p.filename().string());
  }
  for (auto& [folder, names] : folders) {
    std::sort(names.begin(), names.end(),
              [](const std::string& a, const std::string& b) { return files::LessNoCase(a, b); });
    auto grouped = GroupSelectedFiles(folder, names, false);
    if (grouped.empty()) {
      host.ShowMessage(0, "No file group starts among the files named in " + folder +
                              "/ (a group starts with a numbered name such as piece1.pag)");
      return false;
    }
    entries.insert(entries.end(), grouped.begin(), grouped.end());
  }
  return true;
}

bool ParseAnswers(const RunInputs& run, Answers& answers, std::string& error) {
  if (!run.timeSignature.empty()) {
    int top = 0, bottom = 0;
    char slash = 0, extra = 0;
    if (std::sscanf(run.timeSignature.c_str(), "%d %c %d %c", &top, &slash, &bottom, &extra) !=
            3 ||
        slash != '/' || top < 1 || top > 32 || bottom < 2 || bottom > 64 ||
        (bottom & (bottom - 1)) != 0) {
      error = "--time-signature wants N/D with N from 1 to 32 and D one of 2, 4, 8, 16, 32, 64";
      return false;
    }
    answers.timeSignature = std::make_pair(top, bottom);
  }
  if (run.anacrusis) {
    if (!(*run.anacrusis >= 0.125f && *run.anacrusis <= 20.0f)) {
      error = "--anacrusis wants a number of beats from 0.125 to 20.0";
      return false;
    }
    answers.anacrusis = run.anacrusis;
  }
  if (!run.multipleSystems.empty()) {
    if (run.multipleSystems != "yes" && run.multipleSystems != "no") {
      error = "--multiple-systems wants yes or no";
      return false;
    }
    answers.multipleSystems = run.multipleSystems == "yes";
  }
  answers.yes = run.yes;
  return true;
}

int Outcome(TerminalHost& host, RunResult result) {
  host.EndProgress();
  if (host.Cancelled() || result == RunResult::kCancelled) {
    std::cerr << res::Text(res::kTranscribeCancelled) << '\n';
    return host.Cancelled() ? host.CancelExitStatus() : kExitCancelled;
  }
  return result == RunResult::kDone ? kExitDone : kExitError;
}

void PrintSummary(const ReadSummary& summary, const CVellumixDoc& doc) {
  std::cout << "file groups: " << summary.groups << '\n'
            << "systems: " << summary.systems << '\n'
            << "bars: " << summary.bars << '\n'
            << "instrument files:";
  for (int i : summary.instruments) std::cout << ' ' << i;
  std::cout << (summary.tempoFile ? "\ntempo file: yes\n" : "\ntempo file: no\n")
            << "intermediate files in: " << doc.library.LibraryFolder << '\n';
}

std::string Plural(int n, const char* one, const char* many) {
  return std::to_string(n) + " " + (n == 1 ? one : many);
}

// One paragraph: what was read, what was written, how long it plays.
void PrintTranscription(const ReadSummary& summary, const std::string& path) {
  const int tracks = summary.midi.tracks;
  const long seconds = std::lround(summary.midi.playingSeconds);
  char duration[32];
  std::snprintf(duration, sizeof duration, "%ld:%02ld", seconds / 60, seconds % 60);
  std::cout << "Transcribed " << Plural(summary.groups, "file group", "file groups") << " ("
            << Plural(summary.systems, "system", "systems") << ", "
            << Plural(summary.bars, "bar", "bars") << ") into "
            << Plural(tracks, "track", "tracks") << " ("
            << (summary.midi.format == 0 ? "Type 0" : "Type 1") << "), playing " << duration
            << ": " << path << ", " << summary.midi.bytes << " bytes.\n";
}

// The answers and entries of a run; false with the exit status when there is nothing to run.
bool PrepareInputs(const RunInputs& run, Answers& answers, int& status) {
  std::string error;
  if (!ParseAnswers(run, answers, error)) {
    std::cerr << "vellumix-cli: " << error << '\n';
    status = kExitUsage;
    return false;
  }
  return true;
}

bool Entries(const RunInputs& run, TerminalHost& host, std::vector<std::string>& entries,
             int& status) {
  if (!CollectEntries(run, host, entries)) {
    status = kExitError;
    return false;
  }
  if (entries.empty()) {
    std::cerr << "vellumix-cli: no SCORE files to read\n";
    status = kExitUsage;
    return false;
  }
  return true;
}

}  // namespace

int ReadScoresCommand(const GlobalOptions& global, const RunInputs& run) {
  Answers answers;
  int status = kExitDone;
  if (!PrepareInputs(run, answers, status)) return status;
  TerminalHost host(answers);
  host.SetVerbose(global.verbose);
  std::vector<std::string> entries;
  if (!Entries(run, host, entries, status)) return status;
  CVellumixDoc doc(host);
  if (!doc.Create(global.dataDir, true)) return kExitError;
  ReadSummary summary;
  status = Outcome(host, ReadScores(doc, entries, summary));
  if (status == kExitDone) PrintSummary(summary, doc);
  return status;
}

int ReadOldDataCommand(const GlobalOptions& global, const std::string& output) {
  TerminalHost host;
  host.SetVerbose(global.verbose);
  CVellumixDoc doc(host);
  if (!doc.Create(global.dataDir, true)) return kExitError;
  const std::string path = std::filesystem::absolute(output).string();
  int status = Outcome(host, ReadOldData(doc, path));
  if (status == kExitDone) std::cout << "wrote " << path << '\n';
  return status;
}

int TranscribeCommand(const GlobalOptions& global, const RunInputs& run,
                      const std::string& output) {
  Answers answers;
  int status = kExitDone;
  if (!PrepareInputs(run, answers, status)) return status;
  TerminalHost host(answers);
  host.SetVerbose(global.verbose);
  std::vector<std::string> entries;
  if (!Entries(run, host, entries, status)) return status;
  CVellumixDoc doc(host);
  if (!doc.Create(global.dataDir, true)) return kExitError;
  const std::string path = std::filesystem::absolute(output).string();
  ReadSummary summary;
  status = Outcome(host, Transcribe(doc, entries, path, summary));
  if (status == kExitDone) PrintTranscription(summary, path);
  return status;
}

}  // namespace vellumix::cli

namespace vellumix::cli {
namespace {

// M:SS (or plain seconds) in milliseconds; nothing when the text is not a time.
std::optional<std::uint32_t> ParseTime(const std::string& text) {
  const auto colon = text.find(':');
  const std::string minutes = colon == std::string::npos ? "0" : text.substr(0, colon);
  const std::string seconds = colon == std::string::npos ? text : text.substr(colon + 1);
  auto digits = [](const std::string& s) {
    return !s.empty() && s.size() <= 4 && s.find_first_not_of("0123456789") == std::string::npos;
  };
  if (!digits(minutes) || !digits(seconds)) return std::nullopt;
  const auto s = static_cast<std::uint32_t>(std::stoul(seconds));
  if (colon != std::string::npos && s > 59) return std::nullopt;
  return (static_cast<std::uint32_t>(std::stoul(minutes)) * 60 + s) * 1000;
}

std::string ClockText(std::uint32_t ms) {
  const std::uint32_t s = ms / 1000;
  char buf[32];
  std::snprintf(buf, sizeof buf, "%u:%02u", s / 60, s % 60);
  return buf;
}

// The file is checked with our own reader first, so that a damaged one gets a clear message
// rather than the synth's silence.
bool CheckMidiFile(const std::string& file, Host& host) {
  auto bytes = files::ReadAll(file);
  if (!bytes) {
    ShowMessage(host, res::kCannotRead, file);
    return false;
  }
  if (!ReadMidiFile(*bytes, true)) {
    std::cerr << file << " is not a Standard MIDI File, or it is damaged\n";
    return false;
  }
  return true;
}

}  // namespace

int PlayCommand(const GlobalOptions&, const PlayOptions& options) {
  std::optional<std::uint32_t> from = 0;
  if (!options.from.empty()) from = ParseTime(options.from);
  if (!from) {
    std::cerr << "--from wants a time M:SS\n";
    return kExitUsage;
  }
  if (options.tempo && (*options.tempo == 0 || *options.tempo > playback::Transport::kMaxTempo)) {
    std::cerr << "--tempo wants quarter notes a minute from 1 to " << playback::Transport::kMaxTempo
              << '\n';
    return kExitUsage;
  }
  TerminalHost host;
  if (!CheckMidiFile(options.file, host)) return kExitError;
  std::atomic<bool> ended = false;  // outlives the sequencer, whose watcher sets it
  playback::FluidSynthSequencer sequencer(options.soundfont);
  if (!sequencer.HasOutputDevice()) {
    ShowMessageById(host, res::kNoMidiDevice);
    std::cerr << sequencer.ErrorText() << '\n';
    return kExitError;
  }
  auto length = sequencer.Open(options.file);
  if (!length) {
    std::cerr << sequencer.ErrorText() << '\n';
    return kExitError;
  }
  if (*from >= *length) {
    std::cerr << "--from " << options.from << " lies at or beyond the end of the music ("
              << ClockText(*length) << ")\n";
    return kExitError;
  }
  if (!sequencer.Play(*from, [&](bool) { ended = true; })) {
    std::cerr << sequencer.ErrorText() << '\n';
    return kExitError;
  }
  if (options.tempo && !sequencer.SetTempo(*options.tempo)) {
    sequencer.Stop();
    std::cerr << sequencer.ErrorText() << '\n';
    return kExitError;
  }
  const std::string total = ClockText(*length);
  while (!ended) {
    std::this_thread::sleep_for(std::chrono::milliseconds(100));
    const auto tempo = sequencer.Tempo();
    std::string line = ClockText(sequencer.Position()) + " / " + total;
    if (tempo) line += "  tempo " + std::to_string(*tempo);
    if (!host.ReportStatus(line, 0, false)) {
      sequencer.Stop();
      host.EndProgress();
      std::cerr << "Playback stopped\n";
      return kExitCancelled;
    }
  }
  host.EndProgress();
  return kExitDone;
}

int RenderCommand(const GlobalOptions&, const std::string& file, const std::string& output,
                  const std::string& soundfont) {
  TerminalHost host;
  if (!CheckMidiFile(file, host)) return kExitError;
  const std::string font = playback::FindSoundfont(soundfont);
  if (font.empty()) {
    std::cerr << "No General MIDI soundfont was found: give one with --soundfont or "
                 "VELLUMIX_SOUNDFONT, or install timgm6mb-soundfont\n";
    return kExitError;
  }
  std::string error;
  if (!playback::RenderToWav(file, output, font, error)) {
    std::cerr << error << '\n';
    return kExitError;
  }
  std::cout << "wrote " << output << '\n';
  return kExitDone;
}

}  // namespace vellumix::cli

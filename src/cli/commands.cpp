#include "cli/commands.h"

#include <algorithm>
#include <atomic>
#include <chrono>
#include <cmath>
#include <condition_variable>
#include <mutex>
#include <cstdio>
#include <filesystem>
#include <iostream>
#include <map>
#include <memory>
#include <thread>

#include "cli/collection.h"
#include "cli/report.h"
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

// M:SS of whole seconds.
std::string MinutesSeconds(long long seconds) {
  char text[32];
  std::snprintf(text, sizeof text, "%lld:%02lld", seconds / 60, seconds % 60);
  return text;
}

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

double SecondsSince(std::chrono::steady_clock::time_point start) {
  return std::chrono::duration<double>(std::chrono::steady_clock::now() - start).count();
}

std::string Plural(int n, const char* one, const char* many) {
  return std::to_string(n) + " " + (n == 1 ? one : many);
}

// One paragraph: what was read, what was written, how long it plays.
void PrintTranscription(const ReadSummary& summary, const std::string& path) {
  const int tracks = summary.midi.tracks;
  const std::string duration = MinutesSeconds(std::llround(summary.midi.playingSeconds));
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

int TranscribeCommand(const GlobalOptions& global, const RunInputs& run, const std::string& output,
                      const std::string& report) {
  Answers answers;
  int status = kExitDone;
  if (!PrepareInputs(run, answers, status)) return status;
  const auto started = std::chrono::steady_clock::now();
  TerminalHost host(answers);
  host.SetVerbose(global.verbose);
  std::vector<std::string> entries;
  PieceReport piece;
  piece.output = std::filesystem::absolute(output).string();
  const bool ran = Entries(run, host, entries, status);
  if (ran) {
    CVellumixDoc doc(host);
    if (!doc.Create(global.dataDir, true)) {
      status = kExitError;
    } else {
      status = Outcome(host, Transcribe(doc, entries, piece.output, piece.summary));
      if (status == kExitDone) PrintTranscription(piece.summary, piece.output);
    }
  }
  if (report.empty()) return status;
  for (const auto& entry : entries) piece.inputs.push_back(ParseEntry(entry));
  piece.answers = host.Taken();
  piece.messages = host.Messages();
  const double seconds = SecondsSince(started);
  piece.seconds = seconds;
  piece.outcome = status == kExitDone && piece.summary.midiWritten ? PieceOutcome::kWritten
                  : host.Cancelled()                              ? PieceOutcome::kCancelled
                  : ran                                           ? PieceOutcome::kRefused
                                                                  : PieceOutcome::kNotRun;
  const char* outcome = status == kExitDone ? "done" : host.Cancelled() ? "cancelled" : "failed";
  std::vector<PieceReport> pieces;
  if (ran) pieces.push_back(std::move(piece));
  // A run that never started has its messages at the top.
  const std::vector<MessageShown> general = ran ? std::vector<MessageShown>{} : host.Messages();
  if (!WriteReport(report, "transcribe", outcome, pieces, general, seconds, host))
    return status == kExitDone ? kExitError : status;
  return status;
}

namespace {

// A piece's Host on a worker: no one to ask, nothing shown while it runs (the answers and
// messages are kept for the line, the table and the report), and the collection's stop as the
// cancel request.
class PieceHost : public AnsweringHost {
 public:
  PieceHost(const Answers& answers, const std::atomic<bool>& stop)
      : AnsweringHost(answers), stop_(stop) {}
  bool ReportStatus(std::string_view, int, bool) override { return !stop_.load(); }
  bool ReportStatusNumber(int, std::int64_t, int, bool) override { return !stop_.load(); }

 protected:
  void Show(const std::string&) override {}

 private:
  const std::atomic<bool>& stop_;
};

// One piece on a worker's document.
void RunPiece(CVellumixDoc& doc, PieceHost& host, const CollectionPiece& piece,
              const std::atomic<bool>& stop, PieceReport& report) {
  const auto started = std::chrono::steady_clock::now();
  host.Forget();
  const std::filesystem::path folder = std::filesystem::path(piece.output).parent_path();
  std::error_code ec;
  std::filesystem::create_directories(folder, ec);
  if (ec) {
    ShowMessageFormatted(host, res::kCannotWriteBecause,
                         {folder.string(), files::ErrorText(ec.value())});
    report.outcome = PieceOutcome::kRefused;
  } else {
    Transcribe(doc, {FormatEntry(piece.input)}, piece.output, report.summary);
    report.outcome = report.summary.midiWritten ? PieceOutcome::kWritten
                     : stop.load()              ? PieceOutcome::kCancelled
                                                : PieceOutcome::kRefused;
  }
  report.answers = host.Taken();
  report.messages = host.Messages();
  report.seconds = SecondsSince(started);
}

// Why a piece was not written, in one line: its messages, else the question answered No.
std::string Reason(const PieceReport& report) {
  std::string reason;
  for (const auto& m : report.messages) {
    if (!reason.empty()) reason += " / ";
    reason += m.text;
  }
  if (reason.empty())
    for (const auto& a : report.answers)
      if (a.question == "yes/no" && a.answer == "no")
        reason = a.text + " No (" + a.by + (a.by == "no one to ask" ? "; give --yes)" : ")");
  for (char& c : reason)
    if (c == '\n') c = ' ';
  return reason.empty() ? std::string("not written") : reason;
}

// Pieces sharing an output are all refused: which one would win depends on the workers.
void RefuseSharedOutputs(const std::vector<CollectionPiece>& pieces,
                         std::vector<PieceReport>& reports) {
  std::map<std::string, std::vector<std::size_t>> byOutput;
  for (std::size_t i = 0; i < pieces.size(); ++i) byOutput[pieces[i].output].push_back(i);
  for (const auto& [output, indices] : byOutput) {
    if (indices.size() < 2) continue;
    for (std::size_t i : indices) {
      const std::size_t other = i == indices[0] ? indices[1] : indices[0];
      reports[i].outcome = PieceOutcome::kRefused;
      reports[i].messages.push_back(
          {res::kSameOutput, res::Format(res::kSameOutput, {pieces[i].shown, pieces[other].shown,
                                                            output})});
    }
  }
}

}  // namespace

int TranscribeAllCommand(const GlobalOptions& global, const RunInputs& run,
                         const CollectionOptions& collection) {
  Answers answers;
  int status = kExitDone;
  if (!PrepareInputs(run, answers, status)) return status;
  for (const auto& folder : collection.folders) {
    std::error_code ec;
    if (!std::filesystem::is_directory(folder, ec)) {
      std::cerr << "vellumix-cli: " << folder << " is not a folder\n";
      return kExitUsage;
    }
  }
  const auto started = std::chrono::steady_clock::now();
  TerminalHost host(answers);
  host.SetVerbose(global.verbose);
  std::vector<MessageShown> general;  // the run's messages that belong to no piece
  auto say = [&](int id, const std::string& text) {
    host.ShowMessage(id, text);
    general.push_back({id, text});
  };

  // A run that cannot start still leaves its report, with the reason at the top.
  auto notStarted = [&] {
    if (!collection.report.empty())
      WriteReport(collection.report, "transcribe-all", "failed", {}, general,
                  SecondsSince(started), host);
    return kExitError;
  };

  std::error_code ec;
  std::filesystem::create_directories(collection.outDir, ec);
  if (ec || !std::filesystem::is_directory(collection.outDir)) {
    say(res::kCannotWriteBecause,
        res::Format(res::kCannotWriteBecause,
                    {collection.outDir, files::ErrorText(ec ? ec.value() : ENOTDIR)}));
    return notStarted();
  }
  const Collection found = FindPieces(collection.folders, collection.outDir);
  for (const auto& text : found.unreadable) say(res::kCannotReadFolder, text);
  const std::size_t total = found.pieces.size();
  std::vector<PieceReport> reports(total);
  for (std::size_t i = 0; i < total; ++i) {
    reports[i].inputs = {found.pieces[i].input};
    reports[i].output = found.pieces[i].output;
  }
  RefuseSharedOutputs(found.pieces, reports);
  std::size_t done = 0;
  std::vector<std::size_t> runnable;
  for (std::size_t i = 0; i < total; ++i)
    if (reports[i].outcome == PieceOutcome::kNotRun) runnable.push_back(i);

  // A document for each worker, made one after the other: the first installs what the library
  // lacks, and what loading the library says is shown once.
  unsigned jobs = collection.jobs != 0 ? collection.jobs
                                       : std::max(1u, std::thread::hardware_concurrency());
  jobs = static_cast<unsigned>(std::clamp<std::size_t>(runnable.size(), 1, jobs));
  std::atomic<bool> stop = false;
  std::vector<std::unique_ptr<PieceHost>> hosts;
  std::vector<std::unique_ptr<CVellumixDoc>> docs;
  for (unsigned w = 0; w < jobs; ++w) {
    hosts.push_back(std::make_unique<PieceHost>(answers, stop));
    docs.push_back(std::make_unique<CVellumixDoc>(*hosts.back()));
    const bool loaded = docs.back()->Create(global.dataDir, w == 0);
    if (w == 0 || !loaded)
      for (const auto& m : hosts.back()->Messages()) say(m.id, m.text);
    if (!loaded) return notStarted();
  }

  const bool terminal = host.StderrIsTerminal();
  std::mutex mutex;
  std::condition_variable changed;
  std::vector<std::size_t> finished;
  std::atomic<std::size_t> next = 0;
  unsigned working = jobs;
  std::vector<std::thread> workers;
  for (unsigned w = 0; w < jobs; ++w)
    workers.emplace_back([&, w] {
      for (std::size_t n; !stop.load() && (n = next.fetch_add(1)) < runnable.size();) {
        const std::size_t i = runnable[n];
        try {
          RunPiece(*docs[w], *hosts[w], found.pieces[i], stop, reports[i]);
        } catch (const std::exception& e) {
          // A fault of ours or of the system costs this piece, never the others' files.
          reports[i].outcome = PieceOutcome::kRefused;
          reports[i].messages.push_back({0, std::string("unexpected error: ") + e.what()});
        }
        std::lock_guard lock(mutex);
        finished.push_back(i);
        changed.notify_one();
      }
      std::lock_guard lock(mutex);
      --working;
      changed.notify_one();
    });

  // What ended before the workers started, then what they finish, as it comes.
  std::vector<std::size_t> batch;
  for (std::size_t i = 0; i < total; ++i)
    if (reports[i].outcome != PieceOutcome::kNotRun) batch.push_back(i);
  std::int64_t notes = 0;
  std::size_t refused = 0;
  for (bool more = true; more;) {
    for (std::size_t i : batch) {
      const PieceReport& r = reports[i];
      const bool written = r.outcome == PieceOutcome::kWritten;
      notes += r.summary.midi.notes;
      if (r.outcome == PieceOutcome::kRefused) ++refused;
      std::string line = found.pieces[i].shown + ": " + std::string(OutcomeName(r.outcome));
      if (written) line += " " + r.output;
      if (r.outcome == PieceOutcome::kRefused) line += ": " + Reason(r);
      if (!terminal) {
        std::cerr << '[' << (done + 1) << '/' << total << "] " << line << '\n';
      } else if (r.outcome == PieceOutcome::kRefused) {
        host.EndProgress();
        std::cerr << line << '\n';
      }
      ++done;
    }
    batch.clear();
    const double elapsed = SecondsSince(started);
    std::string line =
        "Transcribing: " + std::to_string(done) + " of " + std::to_string(total) + " pieces";
    if (refused > 0) line += ", " + std::to_string(refused) + " refused";
    if (elapsed > 0.5) line += ", " + std::to_string(std::llround(notes / elapsed)) + " notes/s";
    if (done > 0 && done < total)
      line += ", " + MinutesSeconds(std::llround(elapsed / done * (total - done))) + " left";
    // Without a terminal the pieces' own lines are the progress.
    if (!(terminal ? host.ReportStatus(line, 0, true) : host.KeepGoing())) stop = true;
    std::unique_lock lock(mutex);
    changed.wait_for(lock, std::chrono::milliseconds(100),
                     [&] { return !finished.empty() || working == 0; });
    batch.swap(finished);
    more = working > 0 || !batch.empty();
  }
  for (auto& worker : workers) worker.join();
  host.EndProgress();

  // The closing table.
  std::size_t written = 0, notRun = 0, cancelled = 0;
  for (const auto& r : reports) {
    written += r.outcome == PieceOutcome::kWritten;
    notRun += r.outcome == PieceOutcome::kNotRun;
    cancelled += r.outcome == PieceOutcome::kCancelled;
  }
  const double seconds = SecondsSince(started);
  char rate[96];
  std::snprintf(rate, sizeof rate, "%.1f s (%.1f pieces/s, %lld notes/s)", seconds,
                seconds > 0 ? static_cast<double>(written) / seconds : 0.0,
                static_cast<long long>(seconds > 0 ? std::llround(notes / seconds) : 0));
  std::cout << "Pieces:    " << total << '\n'
            << "Written:   " << written << '\n'
            << "Refused:   " << refused << '\n';
  if (cancelled + notRun > 0)
    std::cout << "Cancelled: " << cancelled << '\n' << "Not run:   " << notRun << '\n';
  if (!found.unreadable.empty())
    std::cout << "Folders that could not be read: " << found.unreadable.size() << '\n';
  std::cout << "Time:      " << rate << '\n';
  if (refused > 0) {
    std::size_t width = 0;
    for (std::size_t i = 0; i < total; ++i)
      if (reports[i].outcome == PieceOutcome::kRefused)
        width = std::max(width, found.pieces[i].shown.size());
    std::cout << "\nRefused pieces:\n";
    for (std::size_t i = 0; i < total; ++i)
      if (reports[i].outcome == PieceOutcome::kRefused)
        std::cout << "  " << found.pieces[i].shown
                  << std::string(width - found.pieces[i].shown.size() + 2, ' ')
                  << Reason(reports[i]) << '\n';
  }

  if (host.Cancelled()) {
    std::cerr << res::Text(res::kTranscribeCancelled) << '\n';
    status = host.CancelExitStatus();
  } else if (total == 0 && found.unreadable.empty()) {
    std::cerr << "vellumix-cli: no SCORE files under the folders given\n";
    status = kExitError;
  } else {
    status = written == total && found.unreadable.empty() ? kExitDone : kExitError;
  }
  if (!collection.report.empty()) {
    const char* outcome = host.Cancelled() ? "cancelled" : status == kExitDone ? "done" : "failed";
    if (!WriteReport(collection.report, "transcribe-all", outcome, reports, general, seconds, host) &&
        status == kExitDone)
      status = kExitError;
  }
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
  return MinutesSeconds(ms / 1000);
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

#include "run/document.h"

#include <array>
#include <cctype>
#include <filesystem>

#include "platform/files.h"

namespace vellumix {

CVellumixDoc::CVellumixDoc(Host& h)
    : host(h),
      library(h),
      symbols(h, library),
      specials(h, library, symbols),
      score(h, library.options, library.defaults),
      trackFiles(h),
      systems(h, score, trackFiles, library.options),
      engine(h, library.options, library.defaults),
      midi(h) {
  engine.SetSymbolLibrary(&symbols);
  engine.SetSpecialsLibrary(&specials);
}

bool CVellumixDoc::Create(const std::string& dataFolder, bool installFactory) {
  return library.Create(dataFolder, installFactory);
}

bool CVellumixDoc::SaveOptions(const Options& values, std::string* error) {
  bool changed = false;
  if (!library.SaveOptions(values, error, &changed)) return false;
  if (changed) systems.MultipleSystemsOptionChanged();
  return true;
}

std::string CVellumixDoc::TemporaryTrackFile() const {
  return library.UserDataFolder + "VLMIXMID.TMP";
}

bool CVellumixDoc::PrepareRun() {
  if (!library.ReloadLibrary()) return false;
  systems.StartRun();
  trackFiles.SetFolder(library.LibraryFolder);
  return symbols.FillCache();
}

void CVellumixDoc::ReleaseRunData() {
  trackFiles.Close();
  trackFiles.ReleaseStored();
  symbols.ReleaseCache();
  specials.Release();
}

bool CVellumixDoc::ReadFileGroup(std::string& name, int count) {
  if (!score.ReadGroupFiles(name, count)) return false;
  return systems.ProcessFileGroup(name);
}

void CVellumixDoc::ReleaseStaffLists() {
  score.ClearLists();
}

bool CVellumixDoc::DeleteTemporaryFiles() {
  trackFiles.Close();
  const bool marked = trackFiles.AnyWritten();
  auto remove = [&](const std::string& name) {
    std::error_code ec;
    if (!std::filesystem::is_regular_file(name, ec)) return true;
    std::filesystem::remove(name, ec);
    return ReportStatus(host, res::FormatText(res::kDeletingFile, {name}), 0, false);
  };
  // Which track files exist, from one listing of the folder rather than a look at every name.
  std::array<bool, kTempoFileNumber + 1> present{};
  if (!marked) {
    if (const auto names = files::EntryNames(trackFiles.Folder())) {
      for (const std::string& name : *names) {
        const int number = TrackFileNumber(name);
        if (number >= 0) present[static_cast<std::size_t>(number)] = true;
      }
    }
  }
  for (int i = 0; i <= kTempoFileNumber; ++i) {
    if (marked ? !trackFiles.Written(i) : !present[static_cast<std::size_t>(i)]) continue;
    if (!remove(TrackFileName(trackFiles.Folder(), i))) return false;
  }
  if (!remove(TemporaryTrackFile())) return false;
  trackFiles.ClearWritten();
  return true;
}

namespace {

// Reads every entry in order; on a stopped group the run's data are let go.
RunResult ReadGroups(CVellumixDoc& doc, const std::vector<std::string>& entries,
                     ReadSummary& summary) {
  const int systemsBefore = doc.systems.SystemCounter();
  for (const auto& line : entries) {
    FileGroupEntry entry = ParseEntry(line);
    std::string name = entry.path;
    if (!doc.ReadFileGroup(name, entry.count)) {
      ReportStatusById(doc.host, res::kTranscribeCancelled, true);
      doc.ReleaseStaffLists();
      doc.ReleaseRunData();
      return RunResult::kStopped;
    }
    ++summary.groups;
  }
  if (!doc.trackFiles.Close()) {
    ReportStatusById(doc.host, res::kTranscribeCancelled, true);
    doc.ReleaseRunData();
    return RunResult::kStopped;
  }
  summary.systems = doc.systems.SystemCounter() - systemsBefore;
  for (int i = 1; i < kTempoFileNumber; ++i)
    if (doc.trackFiles.Written(i)) summary.instruments.push_back(i);
  summary.tempoFile = doc.trackFiles.Written(kTempoFileNumber);
  if (auto bytes = files::ReadAll(TrackFileName(doc.trackFiles.Folder(), kBarFileNumber)))
    summary.bars = static_cast<int>(
        files::SplitLines(
            std::string_view(reinterpret_cast<const char*>(bytes->data()), bytes->size()))
            .size());
  return RunResult::kDone;
}

// NAMELIST.TMP written, the files of an earlier run deleted.
RunResult ClearEarlierRun(CVellumixDoc& doc, const std::vector<std::string>& entries) {
  if (!WriteNameList(doc.library.LibraryFolder, entries, doc.host)) return RunResult::kStopped;
  doc.trackFiles.SetFolder(doc.library.LibraryFolder);
  if (!doc.DeleteTemporaryFiles()) return RunResult::kCancelled;
  return RunResult::kDone;
}

// The library reloaded and the groups read.
RunResult PrepareAndRead(CVellumixDoc& doc, const std::vector<std::string>& entries,
                         ReadSummary& summary) {
  if (!doc.PrepareRun()) {
    doc.ReleaseRunData();
    return RunResult::kStopped;
  }
  return ReadGroups(doc, entries, summary);
}

std::string UpperExtension(const std::string& path) {
  auto dot = path.rfind('.');
  std::string ext = dot == std::string::npos ? path : path.substr(dot);
  for (char& c : ext) c = static_cast<char>(std::toupper(static_cast<unsigned char>(c)));
  return ext;
}

}  // namespace

RunResult ReadScores(CVellumixDoc& doc, const std::vector<std::string>& entries,
                     ReadSummary& summary) {
  summary = {};
  if (entries.empty()) return RunResult::kDone;
  if (RunResult r = ClearEarlierRun(doc, entries); r != RunResult::kDone) return r;
  if (RunResult r = PrepareAndRead(doc, entries, summary); r != RunResult::kDone) return r;
  ReportStatusById(doc.host, res::kDone, true);
  doc.ReleaseRunData();
  return RunResult::kDone;
}

RunResult ReadOldData(CVellumixDoc& doc, const std::string& outputPath) {
  if (!doc.PrepareRun()) {
    doc.ReleaseRunData();
    return RunResult::kStopped;
  }
  doc.trackFiles.SetFolder(doc.library.LibraryFolder);
  const bool ok = BuildMidiFile(doc, outputPath);
  doc.ReleaseRunData();
  if (!ok) return RunResult::kStopped;
  ReportStatusById(doc.host, res::kDone, true);
  return RunResult::kDone;
}

RunResult Transcribe(CVellumixDoc& doc, const std::vector<std::string>& entries,
                     const std::string& outputPath, ReadSummary& summary) {
  summary = {};
  if (entries.empty()) return RunResult::kDone;
  // The earlier run's files go before the questions: a No leaves them deleted all the same.
  if (RunResult r = ClearEarlierRun(doc, entries); r != RunResult::kDone) return r;
  if (UpperExtension(outputPath) != ".MID" &&
      !AskYesNo(doc.host, res::kNotMidExtension, outputPath))
    return RunResult::kStopped;
  if (!OutputIsAFile(doc.host, outputPath)) return RunResult::kStopped;
  // Any name that is taken counts, a link that leads nowhere as well.
  std::error_code ec;
  if (std::filesystem::exists(std::filesystem::symlink_status(outputPath, ec)) &&
      !AskYesNo(doc.host, res::kOverwriteQuestion, outputPath))
    return RunResult::kStopped;
  // The MIDI half takes what it can of the intermediate files from memory.
  doc.trackFiles.KeepLines(true);
  if (RunResult r = PrepareAndRead(doc, entries, summary); r != RunResult::kDone) return r;
  if (!BuildMidiFile(doc, outputPath, &summary.midi)) {
    doc.ReleaseRunData();
    return RunResult::kStopped;
  }
  summary.midiWritten = true;
  if (doc.library.options.deleteTemporaryFiles && !doc.DeleteTemporaryFiles()) {
    doc.ReleaseRunData();
    return RunResult::kStopped;
  }
  ReportStatusById(doc.host, res::kDone, true);
  doc.ReleaseRunData();
  return RunResult::kDone;
}

}  // namespace vellumix

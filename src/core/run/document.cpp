#include "run/document.h"

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
  return (runFolder.Active() ? runFolder.Path() : library.UserDataFolder) + "VLMIXMID.TMP";
}

bool CVellumixDoc::PrepareRun() {
  if (!library.ReloadLibrary()) return false;
  systems.StartRun();
  trackFiles.ClearWritten();
  if (!symbols.FillCache() || !runFolder.Create(host, library.LibraryFolder)) return false;
  trackFiles.SetFolder(runFolder.Path(), library.LibraryFolder);
  return true;
}

void CVellumixDoc::ReleaseRunData() {
  trackFiles.Close();
  trackFiles.ReleaseStored();
  runFolder.Remove();
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

// The library reloaded, NAMELIST.TMP written and the groups read. With `keepLines` the MIDI half
// takes what it can of the intermediate files from memory.
RunResult PrepareAndRead(CVellumixDoc& doc, const std::vector<std::string>& entries,
                         ReadSummary& summary, bool keepLines) {
  if (!doc.PrepareRun() || !WriteNameList(doc.runFolder.Path(), entries, doc.host)) {
    doc.ReleaseRunData();
    return RunResult::kStopped;
  }
  doc.trackFiles.KeepLines(keepLines);
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
  if (RunResult r = PrepareAndRead(doc, entries, summary, false); r != RunResult::kDone) return r;
  const bool published = doc.runFolder.Publish(doc.host, true);
  doc.ReleaseRunData();
  if (!published) return RunResult::kStopped;
  ReportStatusById(doc.host, res::kDone, true);
  return RunResult::kDone;
}

RunResult ReadOldData(CVellumixDoc& doc, const std::string& outputPath) {
  if (!doc.PrepareRun() || !doc.runFolder.TakeFinished(doc.host)) {
    doc.ReleaseRunData();
    return RunResult::kStopped;
  }
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
  if (UpperExtension(outputPath) != ".MID" &&
      !AskYesNo(doc.host, res::kNotMidExtension, outputPath))
    return RunResult::kStopped;
  if (!OutputIsAFile(doc.host, outputPath)) return RunResult::kStopped;
  // Any name that is taken counts, a link that leads nowhere as well.
  std::error_code ec;
  if (std::filesystem::exists(std::filesystem::symlink_status(outputPath, ec)) &&
      !AskYesNo(doc.host, res::kOverwriteQuestion, outputPath))
    return RunResult::kStopped;
  if (RunResult r = PrepareAndRead(doc, entries, summary, true); r != RunResult::kDone) return r;
  // The intermediate files go in place first: a run that fails there leaves the earlier MIDI
  // file as it was.
  const bool keep = !doc.library.options.deleteTemporaryFiles;
  const bool ok = BuildMidiFile(doc, outputPath, &summary.midi,
                                [&] { return doc.runFolder.Publish(doc.host, keep); });
  doc.ReleaseRunData();
  if (!ok) return RunResult::kStopped;
  summary.midiWritten = true;
  ReportStatusById(doc.host, res::kDone, true);
  return RunResult::kDone;
}

}  // namespace vellumix

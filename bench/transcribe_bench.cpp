// Transcription speed: every corpus file, and built pages 1, 10, 100 and 1000 at a time.
// `vellumix_bench write-pages DIR N` only writes N pages and their list file, for bench/run;
// `vellumix_bench write-collection DIR N` writes N one-page pieces in folders.
#include <benchmark/benchmark.h>
#include <sys/resource.h>

#include <cstdio>
#include <cstdlib>
#include <cstring>
#include <filesystem>
#include <string>
#include <vector>

#include "corpus.h"
#include "library/factory.h"
#include "pages.h"
#include "run/document.h"
#include "run/file_groups.h"
#include "temp_folder.h"

namespace vellumix::bench {
namespace {

// Answers every question as a non-interactive run would and never cancels.
class QuietHost : public Host {
 public:
  void ShowMessage(int, std::string_view) override {}
  bool AskYesNo(int, std::string_view) override { return true; }
  bool ReportStatus(std::string_view, int, bool) override {
    ++reports;
    return true;
  }
  bool AskTimeSignature(TimeSignatureQuestion, std::string_view, int&, int&) override {
    return true;
  }
  bool AskAnacrusis(std::string_view, float&) override { return true; }
  bool AskMultipleSystems(int, std::string_view, bool& dontShowAgain) override {
    dontShowAgain = false;
    return false;
  }
  long reports = 0;
};

double PeakMegabytes() {
  rusage usage{};
  getrusage(RUSAGE_SELF, &usage);
  return usage.ru_maxrss / 1024.0;
}

void Run(benchmark::State& state, const std::vector<std::string>& entries, double pages,
         double notes) {
  test::TempFolder data;
  QuietHost host;
  InstallFactoryLibrary(data.slashed(), host);
  CVellumixDoc doc(host);
  if (!doc.Create(data.slashed(), false)) {
    state.SkipWithError("library not loaded");
    return;
  }
  const std::string out = data.slashed() + "out.mid";
  for (auto _ : state) {
    ReadSummary summary;
    if (Transcribe(doc, entries, out, summary) != RunResult::kDone) {
      state.SkipWithError("transcription failed");
      return;
    }
  }
  const auto rate = benchmark::Counter::kIsIterationInvariantRate;
  state.counters["pages/s"] = benchmark::Counter(pages, rate);
  if (notes > 0) state.counters["notes/s"] = benchmark::Counter(notes, rate);
  state.counters["reports"] = static_cast<double>(host.reports) / state.iterations();
  state.counters["peakMB"] = PeakMegabytes();
}

void Pages(benchmark::State& state) {
  const int count = static_cast<int>(state.range(0));
  test::TempFolder input;
  const std::string list = WritePages(input.path().string(), count);
  std::vector<std::string> entries;
  QuietHost host;
  if (list.empty() || !ReadListFile(list, host, entries)) {
    state.SkipWithError("pages not written");
    return;
  }
  Run(state, entries, count, static_cast<double>(count) * NotesPerPage());
}
BENCHMARK(Pages)->Arg(1)->Arg(10)->Arg(100)->Arg(1000)->UseRealTime()->Unit(benchmark::kMillisecond);

void RegisterCorpus() {
  for (const auto& file : test::CorpusScoreFiles()) {
    const std::string entry = file.string() + " 1";
    const std::string name = "Corpus/" + file.parent_path().filename().string() + "/" +
                             file.filename().string();
    benchmark::RegisterBenchmark(name.c_str(), [entry](benchmark::State& state) {
      Run(state, {entry}, 1, 0);
    })->UseRealTime()->Unit(benchmark::kMillisecond);
  }
}

}  // namespace
}  // namespace vellumix::bench

int main(int argc, char** argv) {
  if (argc == 4 && std::strcmp(argv[1], "write-pages") == 0) {
    const std::string list = vellumix::bench::WritePages(argv[2], std::atoi(argv[3]));
    if (list.empty()) return 1;
    std::printf("%s %d\n", list.c_str(), vellumix::bench::NotesPerPage() * std::atoi(argv[3]));
    return 0;
  }
  if (argc == 4 && std::strcmp(argv[1], "write-collection") == 0)
    return vellumix::bench::WriteCollection(argv[2], std::atoi(argv[3])) ? 0 : 1;
  vellumix::bench::RegisterCorpus();
  benchmark::Initialize(&argc, argv);
  if (benchmark::ReportUnrecognizedArguments(argc, argv)) return 2;
  benchmark::RunSpecifiedBenchmarks();
  benchmark::Shutdown();
  return 0;
}

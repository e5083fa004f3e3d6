// Feeds arbitrary bytes to the SCORE reader and the dump.
#include <cstddef>
#include <cstdint>
#include <span>
#include <string>

#include "library/settings.h"
#include "platform/host.h"
#include "score/pmx.h"
#include "score/reader.h"

namespace {

class SilentHost : public vellumix::Host {
 public:
  void ShowMessage(int, std::string_view) override {}
  bool AskYesNo(int, std::string_view) override { return false; }
  bool ReportStatus(std::string_view, int, bool) override { return true; }
  bool AskTimeSignature(vellumix::TimeSignatureQuestion, std::string_view, int&, int&) override {
    return true;
  }
  bool AskAnacrusis(std::string_view, float&) override { return true; }
  bool AskMultipleSystems(int, std::string_view, bool&) override { return false; }
};

}  // namespace

extern "C" int LLVMFuzzerTestOneInput(const std::uint8_t* data, std::size_t size) {
  const std::span<const std::uint8_t> bytes(data, size);
  SilentHost host;
  vellumix::Options options;
  // Every rule that depends on an option runs.
  options.duplicateDynamicsOnBracedStaves = 1;
  options.code4LinesAsTies = 1;
  vellumix::Defaults defaults;
  vellumix::ScoreInput input(host, options, defaults);
  input.ReadScoreBytes(bytes, "fuzz");
  input.FinishGroupRead();
  std::string out;
  vellumix::DumpScore(bytes, "fuzz", host, out);
  return 0;
}

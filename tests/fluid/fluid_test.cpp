// FluidSynth playback without a sound device: the offline renderer against the sonatina's playing
// time, the sequencer's "no output device", and the play and render commands.
#include <gtest/gtest.h>

#include <algorithm>
#include <atomic>
#include <chrono>
#include <cstdint>
#include <cstdlib>
#include <filesystem>
#include <fstream>
#include <future>
#include <string>
#include <thread>
#include <vector>

#include "midi/reader.h"
#include "platform/files.h"
#include "playback/fluid_sequencer.h"
#include "res/strings.h"
#include "run_program.h"
#include "temp_folder.h"

namespace vellumix {
namespace {

namespace fs = std::filesystem;

constexpr const char* kSoundFont = "/usr/share/sounds/sf2/TimGM6mb.sf2";
constexpr const char* kPython = "/usr/bin/python3";

struct Wav {
  std::uint32_t rate = 0;
  std::uint32_t channels = 0;
  double seconds = 0;
  int peak = 0;
};

std::uint32_t Le(const files::Bytes& b, std::size_t at, int size) {
  std::uint32_t v = 0;
  for (int i = size - 1; i >= 0; --i) v = (v << 8) | b[at + static_cast<std::size_t>(i)];
  return v;
}

// The canonical 44-byte header our writer uses, and the loudest sample.
Wav ReadWav(const std::string& path) {
  Wav wav;
  auto bytes = files::ReadAll(path);
  if (!bytes || bytes->size() < 44) return wav;
  const auto& b = *bytes;
  wav.channels = Le(b, 22, 2);
  wav.rate = Le(b, 24, 4);
  const std::uint32_t data = Le(b, 40, 4);
  if (data + 44 != b.size() || wav.channels == 0 || wav.rate == 0) return {};
  wav.seconds = static_cast<double>(data) / (2.0 * wav.channels * wav.rate);
  for (std::size_t at = 44; at + 1 < b.size(); at += 2)
    wav.peak =
        std::max(wav.peak, std::abs(static_cast<int>(static_cast<std::int16_t>(Le(b, at, 2)))));
  return wav;
}

class Fluid : public ::testing::Test {
 protected:
  static void SetUpTestSuite() {
    data_ = new test::TempFolder;
    midi_ = data_->slashed() + "sonatina.mid";
    transcribed_ = test::RunCli({"--data-dir", data_->path().string(), "transcribe",
                                 std::string(VELLUMIX_EXAMPLES_DIR) + "/sonatina.mus", "-o", midi_})
                       .status == 0;
  }
  static void TearDownTestSuite() { delete data_; }

  void SetUp() override {
    ASSERT_TRUE(transcribed_);
    if (!fs::exists(kSoundFont)) GTEST_SKIP() << "timgm6mb-soundfont missing";
  }

  static test::TempFolder* data_;
  static std::string midi_;
  static bool transcribed_;
};

test::TempFolder* Fluid::data_ = nullptr;
std::string Fluid::midi_;
bool Fluid::transcribed_ = false;

TEST_F(Fluid, RenderIsAudibleAndLastsThePlayingTimeAndTheTail) {
  const std::string wavPath = data_->slashed() + "sonatina.wav";
  std::string error;
  ASSERT_TRUE(playback::RenderToWav(midi_, wavPath, kSoundFont, error)) << error;
  auto midi = ReadMidiFile(*files::ReadAll(midi_), true);
  ASSERT_TRUE(midi);
  const Wav wav = ReadWav(wavPath);
  EXPECT_EQ(wav.rate, 44100u);
  EXPECT_EQ(wav.channels, 2u);
  EXPECT_NEAR(wav.seconds, PlayingSeconds(*midi) + playback::kRenderTailSeconds, 0.1);
  EXPECT_GT(wav.peak, 300);
}

// The sequencer rendered by the test keeps time by the samples, so that it can be checked without
// a sound device and without waiting in real time.
TEST_F(Fluid, SeekAndTempoFollowTheFilesOwnTiming) {
  using playback::FluidSynthSequencer;
  FluidSynthSequencer sequencer(kSoundFont, {}, FluidSynthSequencer::Output::kCallerRenders);
  ASSERT_TRUE(sequencer.HasOutputDevice()) << sequencer.ErrorText();
  auto midi = ReadMidiFile(*files::ReadAll(midi_), true);
  auto length = sequencer.Open(midi_);
  ASSERT_TRUE(length);
  EXPECT_NEAR(*length, PlayingSeconds(*midi) * 1000, 1);

  constexpr int kRate = 44100;
  std::atomic<int> ends{0};
  ASSERT_TRUE(sequencer.Play(10000, [&](bool completed) { ends += completed ? 1 : 100; }));
  const float peak = sequencer.Render(kRate);
  EXPECT_NEAR(sequencer.Position(), 11000, 30);
  EXPECT_GT(peak, 0.01f);

  const auto tempo = sequencer.Tempo();
  ASSERT_TRUE(tempo);
  ASSERT_TRUE(sequencer.SetTempo(*tempo * 2));
  int frames = 0;
  while (sequencer.Position() < *length && frames < 60 * kRate)
    frames += (sequencer.Render(441), 441);
  EXPECT_NEAR(frames * 1000.0 / kRate, (*length - 11000) / 2.0, 100);
  // The end reaches the handler once, as a completed play.
  for (int i = 0; i < 100 && ends == 0; ++i)
    std::this_thread::sleep_for(std::chrono::milliseconds(10));
  EXPECT_EQ(ends, 1);
}

TEST_F(Fluid, SequencerWithoutSoundfontHasNoOutputDevice) {
  playback::FluidSynthSequencer sequencer(data_->slashed() + "missing.sf2");
  EXPECT_FALSE(sequencer.HasOutputDevice());
  EXPECT_FALSE(sequencer.ErrorText().empty());
  EXPECT_FALSE(sequencer.Open(midi_));
}

// FluidSynth's file driver stands in for a sound device and keeps real time.
TEST_F(Fluid, CliRenderWritesAWavPythonReads) {
  if (!fs::exists(kPython)) GTEST_SKIP() << "python3 missing";
  const std::string wavPath = data_->slashed() + "cli.wav";
  auto render = test::RunCli({"render", midi_, "-o", wavPath, "--soundfont", kSoundFont});
  ASSERT_EQ(render.status, 0) << render.err;
  auto read =
      test::RunProgram(kPython, {"-c",
                                 "import sys, wave; w = wave.open(sys.argv[1]); "
                                 "print(w.getframerate(), w.getnchannels(), w.getsampwidth())",
                                 wavPath});
  EXPECT_EQ(read.out, "44100 2 2\n") << read.err;
}

TEST_F(Fluid, CliRefusesADamagedFile) {
  const std::string damaged = data_->slashed() + "damaged.mid";
  auto bytes = *files::ReadAll(midi_);
  std::ofstream(damaged, std::ios::binary)
      .write(reinterpret_cast<const char*>(bytes.data()),
             static_cast<std::streamsize>(bytes.size() / 2));
  const std::vector<std::vector<std::string>> commands = {
      {"render", damaged, "-o", data_->slashed() + "damaged.wav"}, {"play", damaged}};
  for (const auto& args : commands) {
    auto result = test::RunCli(args);
    EXPECT_EQ(result.status, 1) << args[0];
    EXPECT_NE(result.err.find("not a Standard MIDI File"), std::string::npos) << result.err;
  }
}

// Without a sound device (as on a build machine) or without a soundfont nothing can be heard.
TEST_F(Fluid, CliPlayWithoutOutputDeviceGivesMessage49) {
  std::vector<std::vector<std::string>> cases = {
      {"play", midi_, "--soundfont", data_->slashed() + "missing.sf2"}};
  if (!std::getenv("VELLUMIX_TEST_HAS_AUDIO")) cases.push_back({"play", midi_});
  for (const auto& args : cases) {
    auto result = test::RunCli(args);
    EXPECT_EQ(result.status, 1) << args.back();
    EXPECT_NE(result.err.find(res::Text(res::kNoMidiDevice)), std::string::npos) << result.err;
  }
}

}  // namespace
}  // namespace vellumix

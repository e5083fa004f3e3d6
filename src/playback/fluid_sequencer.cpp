#include "playback/fluid_sequencer.h"

#include <fluidsynth.h>

#include <algorithm>
#include <array>
#include <chrono>
#include <cmath>
#include <cstdlib>
#include <filesystem>
#include <fstream>
#include <utility>
#include <vector>

#include "platform/files.h"
#include "playback/fluid_api.h"

namespace vellumix::playback {
namespace {

constexpr int kSampleRate = 44100;
constexpr auto kWatchInterval = std::chrono::milliseconds(20);

// Every call below comes after LoadFluidSynth succeeded.
const FluidApi& F() {
  std::string unused;
  return *LoadFluidSynth(unused);
}

// FluidSynth writes its complaints to stderr; ours reach the user through ErrorText instead.
void Quiet(int, const char*, void*) {}

void SilenceLog() {
  static const bool done = [] {
    for (int level = FLUID_PANIC; level < LAST_LOG_LEVEL; ++level)
      F().fluid_set_log_function(level, Quiet, nullptr);
    return true;
  }();
  (void)done;
}

std::optional<MidiFile> ReadMidi(const std::string& path, std::string& error) {
  auto bytes = files::ReadAll(path);
  if (!bytes) {
    error = "Cannot read " + path;
    return std::nullopt;
  }
  auto file = ReadMidiFile(*bytes);
  if (!file) error = path + " is not a Standard MIDI File, or it is damaged";
  return file;
}

void PutLe(std::vector<char>& out, std::uint32_t value, int bytes) {
  for (int i = 0; i < bytes; ++i) out.push_back(static_cast<char>((value >> (8 * i)) & 0xFF));
}

// A canonical 44-byte RIFF header for 16-bit PCM.
std::vector<char> WavHeader(std::uint32_t frames) {
  constexpr std::uint32_t channels = 2;
  constexpr std::uint32_t blockAlign = channels * 2;
  const std::uint32_t dataBytes = frames * blockAlign;
  std::vector<char> h;
  h.reserve(44);
  auto text = [&](const char* s) {
    for (int i = 0; i < 4; ++i) h.push_back(s[i]);
  };
  text("RIFF");
  PutLe(h, 36 + dataBytes, 4);
  text("WAVE");
  text("fmt ");
  PutLe(h, 16, 4);
  PutLe(h, 1, 2);  // PCM
  PutLe(h, channels, 2);
  PutLe(h, kSampleRate, 4);
  PutLe(h, kSampleRate * blockAlign, 4);
  PutLe(h, blockAlign, 2);
  PutLe(h, 16, 2);
  text("data");
  PutLe(h, dataBytes, 4);
  return h;
}

}  // namespace

std::string FindSoundfont(const std::string& explicitPath) {
  if (!explicitPath.empty()) return explicitPath;
  if (const char* env = std::getenv("VELLUMIX_SOUNDFONT"); env && *env) return env;
  for (const char* candidate :
       {"/usr/share/sounds/sf2/default-GM.sf2", "/usr/share/sounds/sf2/FluidR3_GM.sf2",
        "/usr/share/sounds/sf2/TimGM6mb.sf2"}) {
    std::error_code ec;
    if (std::filesystem::is_regular_file(candidate, ec)) return candidate;
  }
  return {};
}

FluidSynthSequencer::FluidSynthSequencer(const std::string& soundfont, const Settings& settings,
                                         Output output) {
  if (!LoadFluidSynth(error_)) return;
  SilenceLog();
  const std::string font = FindSoundfont(soundfont);
  if (font.empty()) {
    error_ = "No General MIDI soundfont was found";
    return;
  }
  settings_ = F().new_fluid_settings();
  if (settings_) {
    for (const auto& [name, value] : settings)
      F().fluid_settings_setstr(settings_, name.c_str(), value.c_str());
    if (output == Output::kCallerRenders) {
      F().fluid_settings_setnum(settings_, "synth.sample-rate", kSampleRate);
      F().fluid_settings_setstr(settings_, "player.timing-source", "sample");
    }
    synth_ = F().new_fluid_synth(settings_);
  }
  if (!synth_) {
    error_ = "The synthesizer could not be started";
    return;
  }
  if (F().fluid_synth_sfload(synth_, font.c_str(), 1) == FLUID_FAILED) {
    error_ = "The soundfont " + font + " could not be loaded";
    return;
  }
  if (output == Output::kCallerRenders) {
    canPlay_ = true;
    return;
  }
  driver_ = F().new_fluid_audio_driver(settings_, synth_);
  canPlay_ = driver_ != nullptr;
  if (!driver_) error_ = "No audio output could be opened";
}

FluidSynthSequencer::~FluidSynthSequencer() {
  Close();
  if (driver_) F().delete_fluid_audio_driver(driver_);
  if (synth_) F().delete_fluid_synth(synth_);
  if (settings_) F().delete_fluid_settings(settings_);
}

bool FluidSynthSequencer::HasOutputDevice() const {
  return canPlay_;
}

std::optional<std::uint32_t> FluidSynthSequencer::Open(const std::string& path) {
  Close();
  std::lock_guard lock(mutex_);
  if (!canPlay_) return std::nullopt;
  auto file = ReadMidi(path, error_);
  if (!file) return std::nullopt;
  map_.emplace(*file);
  path_ = path;
  stoppedMs_ = 0;
  tempoFactor_ = 1.0;
  return static_cast<std::uint32_t>(std::lround(map_->LengthMs()));
}

bool FluidSynthSequencer::Play(std::uint32_t fromMs, EndHandler onEnd) {
  Stop();
  std::lock_guard lock(mutex_);
  if (!map_ || !canPlay_) {
    error_ = "No file is open";
    return false;
  }
  player_ = F().new_fluid_player(synth_);
  if (!player_ || F().fluid_player_add(player_, path_.c_str()) != FLUID_OK) {
    if (player_) F().delete_fluid_player(player_);
    player_ = nullptr;
    error_ = "The player could not open " + path_;
    return false;
  }
  startTick_ = std::min(map_->MsToTicks(fromMs), map_->EndTick());
  F().fluid_player_set_tempo(player_, FLUID_PLAYER_TEMPO_INTERNAL, tempoFactor_);
  // Seeking before the start plays the programs and controllers up to there without the notes.
  if (F().fluid_player_seek(player_, static_cast<int>(startTick_)) != FLUID_OK ||
      F().fluid_player_play(player_) != FLUID_OK) {
    F().delete_fluid_player(player_);
    player_ = nullptr;
    error_ = "The player could not start " + path_;
    return false;
  }
  onEnd_ = std::move(onEnd);
  watcher_ = std::thread(&FluidSynthSequencer::Watch, this, ++play_);
  return true;
}

std::int64_t FluidSynthSequencer::TickLocked() {
  if (!player_) return map_ ? map_->MsToTicks(stoppedMs_) : 0;
  return std::max<std::int64_t>(F().fluid_player_get_current_tick(player_), startTick_);
}

FluidSynthSequencer::EndHandler FluidSynthSequencer::EndPlay(std::uint32_t positionMs) {
  if (player_) {
    F().fluid_player_stop(player_);
    F().delete_fluid_player(player_);
    player_ = nullptr;
    F().fluid_synth_all_notes_off(synth_, -1);
    F().fluid_synth_all_sounds_off(synth_, -1);
  }
  stoppedMs_ = positionMs;
  ++play_;
  return std::exchange(onEnd_, {});
}

void FluidSynthSequencer::Watch(std::uint64_t play) {
  for (;;) {
    std::this_thread::sleep_for(kWatchInterval);
    EndHandler handler;
    {
      std::lock_guard lock(mutex_);
      if (play_ != play || !player_) return;
      if (TickLocked() < map_->EndTick() &&
          F().fluid_player_get_status(player_) == FLUID_PLAYER_PLAYING)
        continue;
      handler = EndPlay(static_cast<std::uint32_t>(std::lround(map_->LengthMs())));
    }
    if (handler) handler(true);
    return;
  }
}

void FluidSynthSequencer::JoinWatcher() {
  if (!watcher_.joinable()) return;
  if (watcher_.get_id() == std::this_thread::get_id())
    watcher_.detach();
  else
    watcher_.join();
}

bool FluidSynthSequencer::Pause() {
  EndHandler handler;
  {
    std::lock_guard lock(mutex_);
    if (!player_) return false;
    handler = EndPlay(static_cast<std::uint32_t>(std::lround(map_->TicksToMs(TickLocked()))));
  }
  JoinWatcher();
  if (handler) handler(false);
  return true;
}

bool FluidSynthSequencer::Stop() {
  EndHandler handler;
  {
    std::lock_guard lock(mutex_);
    handler = EndPlay(0);
  }
  JoinWatcher();
  if (handler) handler(false);
  return true;
}

void FluidSynthSequencer::Close() {
  Stop();
  std::lock_guard lock(mutex_);
  map_.reset();
  path_.clear();
}

std::uint32_t FluidSynthSequencer::Position() {
  std::lock_guard lock(mutex_);
  if (!map_) return 0;
  if (!player_) return stoppedMs_;
  return static_cast<std::uint32_t>(std::lround(map_->TicksToMs(TickLocked())));
}

std::optional<std::uint32_t> FluidSynthSequencer::Tempo() {
  std::lock_guard lock(mutex_);
  if (!map_) return std::nullopt;
  return static_cast<std::uint32_t>(std::lround(map_->BpmAt(TickLocked()) * tempoFactor_));
}

bool FluidSynthSequencer::SetTempo(std::uint32_t bpm) {
  std::lock_guard lock(mutex_);
  if (!map_ || bpm == 0) return false;
  // A factor over the file's own tempo, so that its later tempo changes keep their proportions.
  tempoFactor_ = bpm / map_->BpmAt(TickLocked());
  if (player_ &&
      F().fluid_player_set_tempo(player_, FLUID_PLAYER_TEMPO_INTERNAL, tempoFactor_) != FLUID_OK) {
    error_ = "The tempo could not be set";
    return false;
  }
  return true;
}

std::string FluidSynthSequencer::ErrorText() const {
  std::lock_guard lock(mutex_);
  return error_;
}

float FluidSynthSequencer::Render(int frames) {
  std::lock_guard lock(mutex_);
  if (!canPlay_ || driver_ || frames <= 0) return 0;
  std::vector<float> left(static_cast<std::size_t>(frames)), right(left.size());
  F().fluid_synth_write_float(synth_, frames, left.data(), 0, 1, right.data(), 0, 1);
  float peak = 0;
  for (std::size_t i = 0; i < left.size(); ++i)
    peak = std::max({peak, std::abs(left[i]), std::abs(right[i])});
  return peak;
}

bool RenderToWav(const std::string& midiPath, const std::string& wavPath,
                 const std::string& soundfont, std::string& error) {
  if (!LoadFluidSynth(error)) return false;
  SilenceLog();
  auto file = ReadMidi(midiPath, error);
  if (!file) return false;
  const TempoMap map(*file);

  struct Fluid {
    fluid_settings_t* settings = F().new_fluid_settings();
    fluid_synth_t* synth = nullptr;
    fluid_player_t* player = nullptr;
    ~Fluid() {
      if (player) F().delete_fluid_player(player);
      if (synth) F().delete_fluid_synth(synth);
      if (settings) F().delete_fluid_settings(settings);
    }
  } fluid;
  if (fluid.settings) {
    F().fluid_settings_setnum(fluid.settings, "synth.sample-rate", kSampleRate);
    F().fluid_settings_setstr(fluid.settings, "player.timing-source", "sample");
    fluid.synth = F().new_fluid_synth(fluid.settings);
  }
  if (!fluid.synth) {
    error = "The synthesizer could not be started";
    return false;
  }
  if (soundfont.empty() ||
      F().fluid_synth_sfload(fluid.synth, soundfont.c_str(), 1) == FLUID_FAILED) {
    error = soundfont.empty() ? "No General MIDI soundfont was found"
                              : "The soundfont " + soundfont + " could not be loaded";
    return false;
  }
  fluid.player = F().new_fluid_player(fluid.synth);
  if (!fluid.player || F().fluid_player_add(fluid.player, midiPath.c_str()) != FLUID_OK ||
      F().fluid_player_play(fluid.player) != FLUID_OK) {
    error = "The player could not open " + midiPath;
    return false;
  }

  std::ofstream out(wavPath, std::ios::binary | std::ios::trunc);
  if (!out) {
    error = "Cannot write " + wavPath;
    return false;
  }
  const auto musicFrames =
      static_cast<std::uint64_t>(std::llround(map.LengthMs() * kSampleRate / 1000.0));
  const auto tailFrames = static_cast<std::uint64_t>(kRenderTailSeconds * kSampleRate);
  const std::uint64_t totalFrames = musicFrames + tailFrames;
  if (totalFrames > (0xFFFFFFFFull - 36) / 4) {
    error = midiPath + " plays too long for a WAV file";
    return false;
  }
  auto header = WavHeader(static_cast<std::uint32_t>(totalFrames));
  out.write(header.data(), static_cast<std::streamsize>(header.size()));

  constexpr int kBlock = 1024;
  std::array<std::int16_t, kBlock * 2> buffer{};
  std::vector<char> bytes(buffer.size() * 2);
  for (std::uint64_t done = 0; done < totalFrames && out;) {
    if (done == musicFrames) {
      // The music is over: let the sounding notes go into their release.
      F().fluid_player_stop(fluid.player);
      F().fluid_synth_all_notes_off(fluid.synth, -1);
    }
    const std::uint64_t limit = done < musicFrames ? musicFrames : totalFrames;
    const int frames = static_cast<int>(std::min<std::uint64_t>(kBlock, limit - done));
    F().fluid_synth_write_s16(fluid.synth, frames, buffer.data(), 0, 2, buffer.data(), 1, 2);
    for (int i = 0; i < frames * 2; ++i) {
      const auto v = static_cast<std::uint16_t>(buffer[static_cast<std::size_t>(i)]);
      bytes[static_cast<std::size_t>(2 * i)] = static_cast<char>(v & 0xFF);
      bytes[static_cast<std::size_t>(2 * i + 1)] = static_cast<char>(v >> 8);
    }
    out.write(bytes.data(), frames * 4);
    done += static_cast<std::uint64_t>(frames);
  }
  out.close();
  if (!out) {
    error = "Cannot write " + wavPath;
    return false;
  }
  return true;
}

}  // namespace vellumix::playback

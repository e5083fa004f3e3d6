// The Sequencer the transport drives, played through FluidSynth with a General MIDI soundfont,
// and the offline renderer of MIDI files to WAV.
#pragma once

#include <cstdint>
#include <mutex>
#include <optional>
#include <string>
#include <thread>
#include <utility>
#include <vector>

#include "playback/sequencer.h"
#include "playback/tempo_map.h"

// FluidSynth's handles, kept out of the users' includes.
struct _fluid_hashtable_t;
struct _fluid_synth_t;
struct _fluid_audio_driver_t;
struct _fluid_player_t;

namespace vellumix::playback {

// The soundfont to play with: `explicitPath` when given, else the VELLUMIX_SOUNDFONT variable,
// else the first General MIDI soundfont of the system packages that exists. Empty when there is
// none; an explicit path or variable is taken as it is, so a wrong one fails loudly.
std::string FindSoundfont(const std::string& explicitPath = {});

// One synth and audio driver for the object's life, a new player for every play. The end of the
// music is reported when the player's position reaches the file's last tick (FluidSynth's own
// "done" comes seconds late). That notification is delivered on a watcher thread of this object:
// the handler must hand it over to the thread that drives the transport (a GUI posts it to its
// event loop) and must not call back into the sequencer itself. Ends caused by Pause and Stop are
// delivered inside those calls, on the caller's thread.
class FluidSynthSequencer : public Sequencer {
 public:
  // FluidSynth string settings to apply first, as name and value ("audio.driver", "alsa").
  using Settings = std::vector<std::pair<std::string, std::string>>;
  // Who makes the sound: an audio driver in real time, or the caller through Render (no sound
  // device needed; the player then keeps time by the samples rendered).
  enum class Output { kAudioDriver, kCallerRenders };

  explicit FluidSynthSequencer(const std::string& soundfont = {}, const Settings& settings = {},
                               Output output = Output::kAudioDriver);
  ~FluidSynthSequencer() override;
  FluidSynthSequencer(const FluidSynthSequencer&) = delete;
  FluidSynthSequencer& operator=(const FluidSynthSequencer&) = delete;

  bool HasOutputDevice() const override;
  std::optional<std::uint32_t> Open(const std::string& path) override;
  bool Play(std::uint32_t fromMs, EndHandler onEnd) override;
  bool Pause() override;
  bool Stop() override;
  void Close() override;
  std::uint32_t Position() override;
  std::optional<std::uint32_t> Tempo() override;
  bool SetTempo(std::uint32_t bpm) override;
  std::string ErrorText() const override;

  // With Output::kCallerRenders: renders `frames` stereo frames at 44.1 kHz and answers the
  // loudest sample (0 to 1).
  float Render(int frames);

 private:
  // Ends the play under way; answers its handler, which the caller calls unlocked.
  EndHandler EndPlay(std::uint32_t positionMs);
  std::int64_t TickLocked();
  void Watch(std::uint64_t play);
  void JoinWatcher();

  _fluid_hashtable_t* settings_ = nullptr;
  _fluid_synth_t* synth_ = nullptr;
  _fluid_audio_driver_t* driver_ = nullptr;
  bool canPlay_ = false;  // a soundfont is loaded and something renders the sound

  mutable std::mutex mutex_;  // guards everything below; the watcher shares it
  std::string error_;
  std::string path_;
  std::optional<TempoMap> map_;
  _fluid_player_t* player_ = nullptr;
  std::int64_t startTick_ = 0;   // where the play started; the player reads 0 until it seeked
  std::uint32_t stoppedMs_ = 0;  // the position while nothing plays
  double tempoFactor_ = 1.0;     // the user's tempo over the file's own
  std::uint64_t play_ = 0;       // counts plays, so the watcher of an ended one gives up
  EndHandler onEnd_;
  std::thread watcher_;
};

// Seconds of sound rendered after the last event so that released notes die away.
inline constexpr double kRenderTailSeconds = 2.0;

// Writes `midiPath` as a 44.1 kHz 16-bit stereo WAV file, as fast as the synth renders: the
// music's length (its last tick through its tempo changes), then kRenderTailSeconds of release.
// False with `error` set when the file, the soundfont or the output fails.
bool RenderToWav(const std::string& midiPath, const std::string& wavPath,
                 const std::string& soundfont, std::string& error);

}  // namespace vellumix::playback

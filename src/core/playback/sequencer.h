// What the transport asks of a MIDI player: one file at a time, opened for each play and closed
// when the play ends. Positions are milliseconds of the file's own timing; tempos are quarter
// notes a minute.
#pragma once

#include <cstdint>
#include <functional>
#include <optional>
#include <string>

namespace vellumix::playback {

class Sequencer {
 public:
  // Receives true when the music reached its end, false when the play was paused or stopped.
  using EndHandler = std::function<void(bool completed)>;

  virtual ~Sequencer() = default;

  // False when nothing can be heard (no output device or no instrument sounds).
  virtual bool HasOutputDevice() const = 0;
  // Opens `path` and answers its length; nothing when it can't be played.
  virtual std::optional<std::uint32_t> Open(const std::string& path) = 0;
  // Starts the open file at `fromMs`. `onEnd` is called once for every play that started, on the
  // thread that drives the transport, when the play ends for whatever reason; it may be called
  // from inside Pause or Stop.
  virtual bool Play(std::uint32_t fromMs, EndHandler onEnd) = 0;
  virtual bool Pause() = 0;
  virtual bool Stop() = 0;
  virtual void Close() = 0;
  // Where the play is now.
  virtual std::uint32_t Position() = 0;
  virtual std::optional<std::uint32_t> Tempo() = 0;
  virtual bool SetTempo(std::uint32_t bpm) = 0;
  // The reason of the last failure, for the user.
  virtual std::string ErrorText() const = 0;
};

}  // namespace vellumix::playback

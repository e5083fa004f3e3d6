// A sequencer whose end notifications always arrive on the GUI thread: a player that reports the
// end of the music from a thread of its own has it posted to the event loop, so that the
// transport and the window only ever run on one thread.
#pragma once

#include <QObject>

#include "playback/sequencer.h"

namespace vellumix::gui {

class GuiThreadSequencer : public playback::Sequencer {
 public:
  explicit GuiThreadSequencer(playback::Sequencer& inner) : inner_(inner) {}

  bool HasOutputDevice() const override { return inner_.HasOutputDevice(); }
  std::optional<std::uint32_t> Open(const std::string& path) override { return inner_.Open(path); }
  bool Play(std::uint32_t fromMs, EndHandler onEnd) override;
  bool Pause() override { return inner_.Pause(); }
  bool Stop() override { return inner_.Stop(); }
  void Close() override { inner_.Close(); }
  std::uint32_t Position() override { return inner_.Position(); }
  std::optional<std::uint32_t> Tempo() override { return inner_.Tempo(); }
  bool SetTempo(std::uint32_t bpm) override { return inner_.SetTempo(bpm); }
  std::string ErrorText() const override { return inner_.ErrorText(); }

 private:
  playback::Sequencer& inner_;
  QObject context_;  // posted notifications die with this object
};

}  // namespace vellumix::gui

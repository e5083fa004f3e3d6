// The pictures of the main form's buttons and the program icon, drawn for this program. Every
// picture button has four images: up, down (pressed), focused and disabled.
#pragma once

#include <QIcon>
#include <QPixmap>
#include <QSize>

namespace vellumix::gui {

enum class Picture {
  kTranscribe,
  kOptions,
  kDefaults,
  kSymbols,
  kSpecials,
  kTemplates,
  kMidi,  // load a playback file
  kRew,
  kStop,
  kPlay,
  kFf,
  kPause,
};

enum class PictureState { kUp, kDown, kFocused, kDisabled };

// The button face with its picture, `size` in device-independent pixels.
QPixmap ButtonImage(Picture picture, PictureState state, QSize size, qreal devicePixelRatio);

// The program's icon, at the usual sizes.
QIcon ProgramIcon();

}  // namespace vellumix::gui

// Starts the notation program through the desktop: a file by its association, or a named
// program with the file as its one extra argument (no quoting of the path needed).
#pragma once

#include "playback/notation_switch.h"

namespace vellumix::gui {

class DesktopLauncher : public playback::Launcher {
 public:
  bool OpenWithAssociation(const std::string& path) override;
  bool StartProgram(const std::string& program, const std::string& path) override;
};

}  // namespace vellumix::gui

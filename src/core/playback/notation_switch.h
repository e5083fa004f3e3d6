// Bringing up the notation program with the SCORE file of the music being played. The library's
// SCOREPATH.DAT names the program on its first line.
#pragma once

#include <filesystem>
#include <string>

#include "platform/host.h"

namespace vellumix::playback {

// Starts other programs without waiting for them.
class Launcher {
 public:
  virtual ~Launcher() = default;
  // Opens `path` with the program the desktop associates with it; false when none did.
  virtual bool OpenWithAssociation(const std::string& path) = 0;
  // Starts `program` (a command line) with `path` as one more argument; false when it could not
  // be started.
  virtual bool StartProgram(const std::string& program, const std::string& path) = 0;
};

// Opens `scorePath` in the notation program named by SCOREPATH.DAT in `libraryFolder`: by the
// desktop's association when the line names WSCORE.EXE (or is empty), otherwise by starting the
// named program. An empty `scorePath` starts nothing. A missing SCOREPATH.DAT is reported
// (message 9) and nothing is started; so is a program that could not be started.
void SwitchToNotation(Host& host, Launcher& launcher, const std::filesystem::path& libraryFolder,
                      const std::string& scorePath);

}  // namespace vellumix::playback

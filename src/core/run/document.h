// The document: the one owner of every subsystem's state for the life of the program.
#pragma once

#include <string>

#include "library/library.h"
#include "platform/host.h"
#include "score/reader.h"
#include "score/track_files.h"

namespace vellumix {

class CVellumixDoc {
 public:
  explicit CVellumixDoc(Host& host);
  CVellumixDoc(const CVellumixDoc&) = delete;
  CVellumixDoc& operator=(const CVellumixDoc&) = delete;

  // Document creation: finds the user data folder (`dataFolder`, or the default when empty),
  // installs the factory library's missing files when asked, reads "prefs.dat" and loads the
  // library. False when the library could not be loaded whole (its messages have been shown).
  bool Create(const std::string& dataFolder, bool installFactory);

  Host& host;
  SettingsLibrary library;
  ScoreInput score;
  TrackFileWriter trackFiles;
  bool onePerPage = true;  // "&one file a page"
};

}  // namespace vellumix

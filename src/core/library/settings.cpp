#include "library/settings.h"

namespace vellumix {

Options OptionsDialogDefaults() {
  Options o;
  o.deleteTemporaryFiles = 0;
  o.interpretMultipleSystems = 1;
  o.ignoreCueNotes = 1;
  o.duplicateDynamicsOnBracedStaves = 1;
  o.explorerFileList = 1;
  return o;
}

Defaults DefaultsDialogDefaults() {
  Defaults d;
  d.graceNoteLength = 4;
  d.tieVerticalWidth = 1;
  return d;
}

}  // namespace vellumix

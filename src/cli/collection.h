// The pieces of a collection: every SCORE file group under some folders, each with the MIDI file
// it becomes.
#pragma once

#include <string>
#include <vector>

#include "run/file_groups.h"

namespace vellumix::cli {

struct CollectionPiece {
  FileGroupEntry input;  // its first file's absolute path, and the number of files
  std::string shown;     // the first file as the folder was given, for lines and the table
  std::string output;    // absolute
};

struct Collection {
  std::vector<CollectionPiece> pieces;
  std::vector<std::string> unreadable;  // folders that could not be listed, as message 20023
};

// The pieces under `folders`, in name order, a folder's files before its sub-folders. The grouping
// rule of Add Files makes each folder's SCORE files into pieces; a piece's output is its first
// file's name with .mid, at the piece's place below the folder it was found under, in `outDir`.
// Links to folders are not followed, so that a loop of links ends.
Collection FindPieces(const std::vector<std::string>& folders, const std::string& outDir);

}  // namespace vellumix::cli

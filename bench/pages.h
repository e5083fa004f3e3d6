// Realistic SCORE pages for the benchmarks, written with the tests' SCORE builder.
#pragma once

#include <string>
#include <vector>

namespace vellumix::bench {

// Parameter text of page `page` (0-based): 2 staves, 8 bars of 4/4 with eighth-note runs under
// beams, slurs, a tie and dynamics above quarter notes in the bass. Pitches vary by page.
std::string PageText(int page);
// Notes a page holds.
int NotesPerPage();
// The same music as ABC voices (treble and bass, eighth notes as the unit), for abc2midi.
std::string PageAbc(int page);
// Writes `count` pages as FOLDER/pageNNNN.mus and a list file FOLDER/pages.lst naming each as a
// file group of its own, and all of them as FOLDER/pages.abc, 100 pages a tune (abc2midi writes
// pagesN.mid for tune N). Returns the list file's path, empty on failure.
std::string WritePages(const std::string& folder, int count);
// Writes `count` one-page pieces, page i as FOLDER/bookNN/tune-WORD.mus, 100 to a book, WORD
// spelling i in letters so that no two names form a numbered group. False on failure.
bool WriteCollection(const std::string& folder, int count);

}  // namespace vellumix::bench

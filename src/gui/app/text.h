// Texts between the core (8-bit strings) and Qt.
#pragma once

#include <QString>
#include <string>
#include <string_view>

namespace vellumix::gui {

// A core text for display: UTF-8 when it is valid UTF-8 (paths, our own texts), otherwise
// Windows-1252, the encoding of library and SCORE files.
QString FromCoreText(std::string_view text);

// Text typed in a box as the core keeps it: `original` (its own bytes, whatever their encoding)
// while the text shown is unchanged, else UTF-8.
std::string ToCoreText(const QString& shown, const std::string& original);

// A path chosen in a Qt dialog, as the core opens it.
std::string ToCorePath(const QString& path);

// A filter of the core's "Description | pattern|...||" form as a Qt file dialog filter.
// "*.*" matches every file, as users of the library files expect.
QString FileDialogFilter(std::string_view filter);

}  // namespace vellumix::gui

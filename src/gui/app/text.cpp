#include "app/text.h"

#include <QFile>
#include <QStringDecoder>
#include <QStringList>
#include <array>

namespace vellumix::gui {
namespace {

// Windows-1252 at 0x80..0x9F; the five unassigned bytes map to themselves.
constexpr std::array<char16_t, 32> kCp1252High = {
    0x20AC, 0x0081, 0x201A, 0x0192, 0x201E, 0x2026, 0x2020, 0x2021, 0x02C6, 0x2030, 0x0160,
    0x2039, 0x0152, 0x008D, 0x017D, 0x008F, 0x0090, 0x2018, 0x2019, 0x201C, 0x201D, 0x2022,
    0x2013, 0x2014, 0x02DC, 0x2122, 0x0161, 0x203A, 0x0153, 0x009D, 0x017E, 0x0178};

QString Cp1252(std::string_view text) {
  QString out;
  out.reserve(static_cast<qsizetype>(text.size()));
  for (char ch : text) {
    const auto c = static_cast<unsigned char>(ch);
    out.append(c >= 0x80 && c < 0xA0 ? QChar(kCp1252High[c - 0x80]) : QChar(char16_t(c)));
  }
  return out;
}

// "MIDI files (*.mid) " and " *.mid" as one Qt entry; Qt reads the patterns from the
// parentheses, so they are rebuilt from the pattern part.
QString FilterEntry(QString description, const QString& patterns) {
  description = description.trimmed();
  const qsizetype paren = description.indexOf(u'(');
  if (paren > 0) description = description.left(paren).trimmed();
  QStringList globs;
  for (QString glob : patterns.split(u';', Qt::SkipEmptyParts)) {
    glob = glob.trimmed();
    // "*.*" is every file where it comes from; here it would leave out names without a dot.
    if (glob == u"*.*") glob = u"*"_qs;
    if (!glob.isEmpty()) globs << glob;
  }
  return description + QStringLiteral(" (") + globs.join(u' ') + u')';
}

}  // namespace

QString FromCoreText(std::string_view text) {
  QStringDecoder utf8(QStringConverter::Utf8, QStringConverter::Flag::Stateless);
  QString decoded = utf8(QByteArrayView(text.data(), static_cast<qsizetype>(text.size())));
  if (!utf8.hasError()) return decoded;
  return Cp1252(text);
}

std::string ToCorePath(const QString& path) {
  return QFile::encodeName(path).toStdString();
}

QString FileDialogFilter(std::string_view filter) {
  const QStringList parts = FromCoreText(filter).split(u'|');
  QStringList entries;
  for (qsizetype i = 0; i + 1 < parts.size(); i += 2) {
    if (parts[i].trimmed().isEmpty()) break;
    entries << FilterEntry(parts[i], parts[i + 1]);
  }
  return entries.join(u";;");
}

std::string ToCoreText(const QString& shown, const std::string& original) {
  if (shown == FromCoreText(original)) return original;
  return shown.toUtf8().toStdString();
}

}  // namespace vellumix::gui

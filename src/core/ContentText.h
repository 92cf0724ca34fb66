#pragma once

#include <QByteArray>
#include <QString>

namespace lq {

// The most of a content file that the template movies read: a file pasted or written by mistake
// (megabytes) then costs nothing anywhere.
inline constexpr qsizetype kContentReadLimit = 64 * 1024;

// What a template movie shows of a content file, and what a published page says: the first
// 64 KiB from Windows-1252, the text after the first "=" with "&", "+" and "%" as typed, blanks
// trimmed at both ends, line ends as "\n", and "…" at the end when the file went on. Empty when
// the file has no "=" or nothing after it.
QString contentText(const QByteArray& fileBytes);

// A content file as a publication carries it: as saved, or, past 64 KiB, its first 64 KiB and a
// "…" after them, which a movie reading it shows exactly as it shows the whole file.
QByteArray publishedContentFile(const QByteArray& fileBytes);

// The start of a text, for a title or a summary: at most maxChars characters and maxWords words,
// cut after a whole word, with "…" when something was left out. Runs of blanks become one space.
QString textStart(const QString& text, qsizetype maxChars, qsizetype maxWords);

} // namespace lq

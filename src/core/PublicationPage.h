#pragma once

#include <QByteArray>
#include <QList>
#include <QString>

namespace lq {

// One text file a movie loads, as saved on the drive.
struct MovieText
{
    QString fileName; // the name the movie asks for ("aboutus.txt")
    QByteArray bytes; // the file's bytes, Windows-1252
};

// What a published page is made of.
struct PageContent
{
    QString title;
    QString movieName;      // the movie's file name beside the page ("vector.swf")
    QByteArray movie;       // its bytes (for the one page only)
    QList<MovieText> texts; // the texts that exist, in the template's order
    QString dataFolder;     // the program's installed data folder (share/lumen-quill)
};

// Marks a page as a publication of this program, so that publishing again may replace it.
inline constexpr QByteArrayView kPublicationMarker =
    "<meta name=\"generator\" content=\"Lumen Quill publication\">";

// The index.html of a web folder: plays the movie beside it with the player in ruffle/.
// Empty when the program's page templates are missing; `problem` then says which file.
QByteArray buildFolderPage(const PageContent& content, QString* problem);

// One page that carries the movie, its texts and the player, and plays from file://.
QByteArray buildSinglePage(const PageContent& content, QString* problem);

// The text a visitor reads where the movie cannot play: each file's value, as the movie reads it
// (after the first "=", up to an "&", "+" and %XX decoded), from Windows-1252, HTML-escaped.
QString fallbackHtml(const QList<MovieText>& texts);

} // namespace lq

#pragma once

#include <QByteArray>
#include <QList>
#include <QString>

namespace lq {

// One text file a movie loads, as the publication carries it.
struct MovieText
{
    QString fileName;       // the name the movie asks for ("aboutus.txt")
    QByteArray bytes;       // the file's bytes, Windows-1252
    QString section;        // what a reader calls it ("About us"); a heading on the page
    bool siteTitle = false; // the website's title, which heads the page, rather than a section
};

// What a published page is made of.
struct PageContent
{
    QString givenTitle;     // the page title the user gave; serves where no text is the title
    QString language;       // the language of the texts, as a BCP 47 tag ("de-AT")
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

// The page's title: the website's title text where the template has one and it holds text, else
// the title the user gave, else the first words of the first section; empty when all are.
QString pageTitle(const PageContent& content);

// The page's summary for search engines: the start of its first section.
QString pageDescription(const PageContent& content);

// The texts as a page reads without the movie, and as screen readers and search engines read it
// while the movie plays: the title as <h1>, each section under its heading. HTML-escaped.
QString textsHtml(const PageContent& content);

} // namespace lq

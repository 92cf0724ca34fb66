#pragma once

#include "Tables.h"

#include <QByteArray>
#include <QList>
#include <QString>

// The stand-in movies of the eight templates: each loads its template's content files, shows
// every section's text with the effect's name over a moving scene of its own, and reports what
// it loaded to its host through fscommand (see README.md beside this file).
namespace swfgen {

// SWF 5: players read the text files of SWF 5 movies in the ANSI code page (Windows-1252), as the
// editors write them. Later versions read UTF-8, or with System.useCodepage guess the code page
// from the bytes, which misreads short texts (a lone "ï" came out as a Baltic "ī").
inline constexpr int movieVersion = 5;
inline constexpr int stageWidth = 550;
inline constexpr int stageHeight = 400;
inline constexpr int frameRate = 24;

// How long a movie waits for missing variables before it reports what it has, in milliseconds.
inline constexpr int partialReportAfterMs = 3000;

inline constexpr auto frameCommand = "lq_frame";
inline constexpr auto loadedCommand = "lq_loaded";

struct StandInMovie
{
    QString relativePath; // below the drive folder, "/"-separated: "lumenquill/vector/vector.swf"
    QByteArray bytes;
};

// "C:\lumenquill\flowers\Flowers.swf" -> "lumenquill/flowers/Flowers.swf"; letter case kept.
QString relativeToDrive(const QString& windowsPath);

// The file name a movie loads for a content file, relative to the movie: "Clients.txt".
QString fileNameOf(const QString& windowsPath);

// The movie of one template, from its content files in table order.
QByteArray templateMovie(const lq::Template& templ, const QList<lq::ContentFile>& files);

// All eight movies, in the order of the template table.
QList<StandInMovie> standInMovies();

} // namespace swfgen

// Writes the template and content-file tables as JSON, for the scripts that play the template
// movies in a browser (bench/movies, tests/publish, scripts/contact_sheet.py): they learn from it
// which movie each effect plays and which content files, variables and sections it reads, so that
// no script keeps a copy of the tables.
//
//   lq_tables FILE
#include "Tables.h"

#include <QCoreApplication>
#include <QFile>
#include <QJsonArray>
#include <QJsonDocument>
#include <QJsonObject>
#include <QSaveFile>
#include <cstdio>

namespace {

QJsonArray contentFilesOf(const QString& effectName)
{
    QJsonArray files;
    for (const lq::ContentFile& file : lq::contentFiles()) {
        if (file.effectName != effectName)
            continue;
        files.append(QJsonObject{{QStringLiteral("path"), file.path},
                                 {QStringLiteral("variable"), file.variable()},
                                 {QStringLiteral("section"), file.section},
                                 {QStringLiteral("defaultLine"), file.defaultLine}});
    }
    return files;
}

} // namespace

int main(int argc, char* argv[])
{
    QCoreApplication app(argc, argv);
    if (app.arguments().size() != 2) {
        std::fputs("usage: lq_tables FILE\n", stderr);
        return 2;
    }
    QJsonArray templates;
    for (const lq::Template& row : lq::templates())
        templates.append(QJsonObject{{QStringLiteral("effect"), row.effectName},
                                     {QStringLiteral("movie"), row.movie},
                                     {QStringLiteral("folder"), row.folder},
                                     {QStringLiteral("files"), contentFilesOf(row.effectName)}});
    QSaveFile out(app.arguments().at(1));
    if (!out.open(QIODevice::WriteOnly) ||
        out.write(QJsonDocument(QJsonObject{{QStringLiteral("templates"), templates}}).toJson()) <
            0 ||
        !out.commit()) {
        std::fprintf(stderr, "cannot write %s\n", qPrintable(app.arguments().at(1)));
        return 1;
    }
    return 0;
}

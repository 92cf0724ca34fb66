// Writes the stand-in template movies below a drive folder:
//   swfgen <drive folder>
// e.g. swfgen build/share/lumen-quill/drive_c writes lumenquill/vector/vector.swf and the rest.
#include "TemplateMovies.h"

#include <QCoreApplication>
#include <QDir>
#include <QFileInfo>
#include <QSaveFile>
#include <cstdio>
#include <exception>

int main(int argc, char* argv[])
{
    QCoreApplication app(argc, argv);
    const QStringList args = QCoreApplication::arguments();
    if (args.size() != 2) {
        std::fprintf(stderr, "usage: swfgen <drive folder>\n");
        return 2;
    }
    const QDir drive(args.at(1));
    try {
        for (const swfgen::StandInMovie& movie : swfgen::standInMovies()) {
            const QString path = drive.filePath(movie.relativePath);
            if (!QDir().mkpath(QFileInfo(path).absolutePath())) {
                std::fprintf(stderr, "swfgen: cannot create the folder of %s\n", qPrintable(path));
                return 1;
            }
            QSaveFile file(path);
            if (!file.open(QIODevice::WriteOnly) || file.write(movie.bytes) != movie.bytes.size() ||
                !file.commit()) {
                std::fprintf(stderr, "swfgen: cannot write %s: %s\n", qPrintable(path),
                             qPrintable(file.errorString()));
                return 1;
            }
        }
    } catch (const std::exception& e) {
        std::fprintf(stderr, "swfgen: %s\n", e.what());
        return 1;
    }
    return 0;
}

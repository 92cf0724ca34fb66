// Writes, from the program's own tables, what the template movies are built from:
//   movietables <source folder> <drive folder>
// <source folder>/lq/Tables.hx: every template with its effect name, movie, title variable and
// content files (file name, variable, the section's heading), and the Windows-1252 bytes 80 to 9F;
// <source folder>/movies.hxml: one compilation per template, writing its movie at its path below
// <drive folder>. The tables stay in C++ alone; the movies take them from here.
#include "AnsiCodec.h"
#include "DrivePaths.h"
#include "Tables.h"

#include <QCoreApplication>
#include <QDir>
#include <QFileInfo>
#include <QSaveFile>
#include <cstdio>

namespace {

// A Haxe string literal: only printable ASCII is written as itself.
QString haxeString(const QString& text)
{
    QString literal = QStringLiteral("\"");
    for (const QChar c : text) {
        if (c == QLatin1Char('"') || c == QLatin1Char('\\'))
            literal += QLatin1Char('\\') + c;
        else if (c.unicode() >= 0x20 && c.unicode() < 0x7F)
            literal += c;
        else
            literal += QStringLiteral("\\u%1").arg(c.unicode(), 4, 16, QLatin1Char('0'));
    }
    return literal + QLatin1Char('"');
}

// "C:\lumenquill\flowers\Flowers.swf" -> "lumenquill/flowers/Flowers.swf", letter case kept.
QStringList partsOf(const QString& windowsPath)
{
    const auto path = lq::DrivePaths::parse(windowsPath);
    if (!path || path->parts.isEmpty()) {
        std::fprintf(stderr, "movietables: not a drive path: %s\n", qPrintable(windowsPath));
        std::exit(1);
    }
    return path->parts;
}

QString tablesSource()
{
    QStringList high;
    for (int byte = 0x80; byte < 0xA0; ++byte)
        high << QStringLiteral("0x%1").arg(
            lq::decodeWindows1252(QByteArray(1, char(byte))).at(0).unicode(), 4, 16,
            QLatin1Char('0'));

    QStringList templates;
    for (const lq::Template& t : lq::templates()) {
        QStringList files;
        for (const lq::ContentFile& f : lq::contentFiles()) {
            if (f.effectName == t.effectName)
                files << QStringLiteral("{file: %1, variable: %2, heading: %3}")
                             .arg(haxeString(partsOf(f.path).last()), haxeString(f.variable()),
                                  haxeString(f.section));
        }
        templates << QStringLiteral("\t\t{effect: %1, movie: %2, titleVariable: %3, files: [\n"
                                    "\t\t\t%4\n\t\t]}")
                         .arg(haxeString(t.effectName),
                              haxeString(partsOf(t.movie).join(QLatin1Char('/'))),
                              t.siteTitleVariable.isEmpty() ? QStringLiteral("null")
                                                            : haxeString(t.siteTitleVariable),
                              files.join(QStringLiteral(",\n\t\t\t")));
    }
    return QStringLiteral(
               "// Written by movietables from the program's tables at build time: do not edit.\n"
               "package lq;\n\n"
               "typedef ContentFileRow = {file:String, variable:String, heading:String};\n"
               "typedef TemplateRow = {effect:String, movie:String, titleVariable:Null<String>, "
               "files:Array<ContentFileRow>};\n\n"
               "class Tables {\n"
               "\tpublic static final windows1252High:Array<Int> = [%1];\n\n"
               "\tpublic static final templates:Array<TemplateRow> = [\n%2\n\t];\n\n"
               "\tpublic static function named(effect:String):Null<TemplateRow> {\n"
               "\t\tfor (t in templates)\n\t\t\tif (t.effect == effect)\n\t\t\t\treturn t;\n"
               "\t\treturn null;\n\t}\n}\n")
        .arg(high.join(QStringLiteral(", ")), templates.join(QStringLiteral(",\n")));
}

// One compilation per movie; the options common to all come before this file on haxe's command
// line, and --each hands them to every one.
QString moviesHxml(const QDir& drive)
{
    QStringList compilations;
    for (const lq::Template& t : lq::templates())
        compilations << QStringLiteral("-D lq_effect=%1\n--swf %2\n")
                            .arg(t.effectName,
                                 drive.filePath(partsOf(t.movie).join(QLatin1Char('/'))));
    return QStringLiteral("--each\n") + compilations.join(QStringLiteral("--next\n"));
}

bool write(const QString& path, const QString& text)
{
    QSaveFile file(path);
    if (file.open(QIODevice::WriteOnly) && file.write(text.toUtf8()) >= 0 && file.commit())
        return true;
    std::fprintf(stderr, "movietables: cannot write %s: %s\n", qPrintable(path),
                 qPrintable(file.errorString()));
    return false;
}

} // namespace

int main(int argc, char* argv[])
{
    QCoreApplication app(argc, argv);
    const QStringList args = QCoreApplication::arguments();
    if (args.size() != 3) {
        std::fprintf(stderr, "usage: movietables <source folder> <drive folder>\n");
        return 2;
    }
    const QDir source(args.at(1));
    const QDir drive(args.at(2));
    for (const lq::Template& t : lq::templates())
        QDir().mkpath(QFileInfo(drive.filePath(partsOf(t.movie).join(QLatin1Char('/')))).path());
    if (!QDir().mkpath(source.filePath(QStringLiteral("lq"))))
        return 1;
    return write(source.filePath(QStringLiteral("lq/Tables.hx")), tablesSource()) &&
                   write(source.filePath(QStringLiteral("movies.hxml")), moviesHxml(drive))
               ? 0
               : 1;
}

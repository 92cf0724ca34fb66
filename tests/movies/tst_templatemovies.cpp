#include "SwfReader.h"
#include "Tables.h"

#include <QFile>
#include <QTest>
#include <QtEndian>

using namespace swfread;

namespace {

QString builtPath(const QString& windowsMovie)
{
    // "C:\lumenquill\vector\vector.swf" -> <drive>/lumenquill/vector/vector.swf
    return QStringLiteral(LQ_MOVIE_DRIVE "/") + QString(windowsMovie).mid(3).replace('\\', '/');
}

// A compressed movie ("CWS") as the uncompressed one it stands for.
QByteArray uncompressed(const QByteArray& movie)
{
    if (!movie.startsWith("CWS"))
        return movie;
    QByteArray sized(4, '\0');
    qToBigEndian<quint32>(qFromLittleEndian<quint32>(movie.constData() + 4) - 8, sized.data());
    return "FWS" + movie.mid(3, 5) + qUncompress(sized + movie.mid(8));
}

} // namespace

class TemplateMoviesTest : public QObject
{
    Q_OBJECT

private slots:
    void eachTemplatesMovieIsBuiltAtItsPath_data()
    {
        QTest::addColumn<QString>("movie");
        for (const lq::Template& t : lq::templates())
            QTest::newRow(qPrintable(t.effectName)) << t.movie;
    }

    // Small enough for any host, the stage and pace the templates always had, and with the font
    // in the movie so that every visitor sees the same letters.
    void eachTemplatesMovieIsBuiltAtItsPath()
    {
        QFETCH(QString, movie);
        QFile file(builtPath(movie));
        QVERIFY2(file.open(QIODevice::ReadOnly), qPrintable(file.fileName()));
        const QByteArray bytes = file.readAll();
        QVERIFY2(bytes.size() <= 64 * 1024, qPrintable(QString::number(bytes.size())));
        const Movie read = readMovie(uncompressed(bytes));
        QCOMPARE(read.version, 10);
        QCOMPARE(read.frame.xMax, 550 * 20);
        QCOMPARE(read.frame.yMax, 400 * 20);
        QCOMPARE(read.frameRate, 24.0);
        QStringList fonts;
        for (const Tag& tag : read.tags) {
            if (tag.code == 75) // DefineFont3: id, flags, language, name length, name (ends in NUL)
                fonts << QString::fromLatin1(tag.body.mid(5, quint8(tag.body.at(4)))).chopped(1);
        }
        QCOMPARE(fonts, QStringList{"DejaVu Sans"});
    }
};

QTEST_GUILESS_MAIN(TemplateMoviesTest)
#include "tst_templatemovies.moc"

// The stand-in template movies as a player sees them: read back from the bytes the build wrote.

#include "MiniAvm1.h"
#include "SwfReader.h"
#include "Tables.h"
#include "TemplateMovies.h"

#include <QDir>
#include <QDirIterator>
#include <QFile>
#include <QSet>
#include <QtTest>

using namespace swfread;

namespace {

const lq::Template& templateNamed(const QString& effect)
{
    for (const lq::Template& t : lq::templates()) {
        if (t.effectName == effect)
            return t;
    }
    throw std::invalid_argument("no such template");
}

QList<lq::ContentFile> filesOf(const QString& effect)
{
    QList<lq::ContentFile> files;
    for (const lq::ContentFile& f : lq::contentFiles()) {
        if (f.effectName == effect)
            files.append(f);
    }
    return files;
}

// "C:\lumenquill\spirograph\spiro.swf" -> <build drive folder>/lumenquill/spirograph/spiro.swf
QString builtPath(const QString& windowsPath)
{
    QString below = windowsPath.mid(3); // after "C:\" or "c:\"
    below.replace(QLatin1Char('\\'), QLatin1Char('/'));
    return QStringLiteral(LQ_MOVIE_DRIVE "/") + below;
}

QByteArray readFile(const QString& path)
{
    QFile file(path);
    if (!file.open(QIODevice::ReadOnly))
        return {};
    return file.readAll();
}

// What a player finds in a movie: the main timeline's tags, sprites' actions, fields, placements.
struct Contents
{
    Movie movie;
    QList<QByteArray> mainActions;
    QList<QByteArray> spriteActions;
    QList<EditText> fields;
    QList<Placement> mainPlacements;
};

Contents contentsOf(const QByteArray& bytes)
{
    Contents c;
    c.movie = readMovie(bytes);
    for (const Tag& tag : c.movie.tags) {
        if (tag.code == 12)
            c.mainActions.append(tag.body);
        else if (tag.code == 37)
            c.fields.append(readDefineEditText(tag.body));
        else if (tag.code == 26)
            c.mainPlacements.append(readPlaceObject2(tag.body));
        else if (tag.code == 39) {
            for (const Tag& inner : readTags(tag.body, 4)) {
                if (inner.code == 12)
                    c.spriteActions.append(inner.body);
            }
        }
    }
    return c;
}

void addTemplateRows()
{
    QTest::addColumn<QString>("effect");
    for (const lq::Template& t : lq::templates())
        QTest::newRow(qPrintable(t.effectName)) << t.effectName;
}

// The documented report: status|effect|name=length:value; per variable, in table order.
QString expectedReport(const QString& status, const QString& effect,
                       const QList<lq::ContentFile>& files, const QHash<QString, QString>& values)
{
    QString report = status + QLatin1Char('|') + effect + QLatin1Char('|');
    for (const lq::ContentFile& f : files) {
        const QString name = f.variable();
        if (values.contains(name))
            report +=
                QStringLiteral("%1=%2:%3;").arg(name).arg(values[name].size()).arg(values[name]);
        else
            report += name + QStringLiteral("=-1:;");
    }
    return report;
}

// Starts a movie in the interpreter: frame 1 runs, then each tick runs the sprites' frame actions.
struct Playing
{
    Contents contents;
    MiniAvm1 vm;
    explicit Playing(const QByteArray& bytes) : contents(contentsOf(bytes))
    {
        for (const QByteArray& code : contents.mainActions)
            vm.run(code);
    }
    void tick()
    {
        for (const QByteArray& code : contents.spriteActions)
            vm.run(code);
    }
};

QByteArray generated(const QString& effect)
{
    return swfgen::templateMovie(templateNamed(effect), filesOf(effect));
}

} // namespace

class StandInMoviesTest : public QObject
{
    Q_OBJECT

private slots:
    void theBuildPlacesEachMovieAtItsTemplatesMoviePath()
    {
        QStringList found;
        QDirIterator it(QStringLiteral(LQ_MOVIE_DRIVE), {QStringLiteral("*.swf")}, QDir::Files,
                        QDirIterator::Subdirectories);
        while (it.hasNext())
            found.append(it.next());
        QStringList expected;
        for (const lq::Template& t : lq::templates())
            expected.append(builtPath(t.movie));
        found.sort();
        expected.sort();
        // Letter case included: "flowers/Flowers.swf", "spirograph/spiro.swf", "Fireworks/...".
        QCOMPARE(found, expected);
        QVERIFY(expected.contains(QStringLiteral(LQ_MOVIE_DRIVE "/lumen quill/preloader.swf")));

        // What the build wrote is what the generator makes now, byte for byte.
        for (const lq::Template& t : lq::templates())
            QVERIFY2(readFile(builtPath(t.movie)) == generated(t.effectName), qPrintable(t.movie));
    }

    void headerAndTagsReadBack_data() { addTemplateRows(); }
    void headerAndTagsReadBack()
    {
        QFETCH(QString, effect);
        const QByteArray bytes = readFile(builtPath(templateNamed(effect).movie));
        QVERIFY(!bytes.isEmpty());
        const Movie movie = readMovie(bytes);
        QCOMPARE(movie.signature, QByteArray("FWS"));
        QCOMPARE(movie.version, 5); // text files of SWF 5 movies are read as Windows-1252
        QCOMPARE(qsizetype(movie.declaredLength), bytes.size());
        QCOMPARE(movie.trailingBytes, 0);
        QCOMPARE(movie.frame.xMin, 0);
        QCOMPARE(movie.frame.yMin, 0);
        QCOMPARE(movie.frame.xMax, 550 * 20);
        QCOMPARE(movie.frame.yMax, 400 * 20);
        QCOMPARE(movie.frameRate, 24.0);

        QSet<uint16_t> defined;
        QHash<uint16_t, int> movesInSprite;
        int mainFrames = 0;
        bool placesAMovingScene = false;
        for (const Tag& tag : movie.tags) {
            switch (tag.code) {
            case 1:
                ++mainFrames;
                break;
            case 32: {
                const Shape shape = readDefineShape3(tag.body);
                for (const Edge& e : shape.edges) {
                    QVERIFY(e.toX >= shape.bounds.xMin && e.toX <= shape.bounds.xMax);
                    QVERIFY(e.toY >= shape.bounds.yMin && e.toY <= shape.bounds.yMax);
                    QVERIFY2(e.fill || e.line, "an edge that draws nothing");
                }
                defined.insert(shape.id);
                break;
            }
            case 37:
                defined.insert(readDefineEditText(tag.body).id);
                break;
            case 39: {
                qsizetype end = 0;
                const QList<Tag> inner = readTags(tag.body, 4, &end);
                QCOMPARE(end, tag.body.size());
                Reader r(tag.body);
                const uint16_t id = r.u16();
                const int frames = r.u16();
                QCOMPARE(int(std::count_if(inner.begin(), inner.end(),
                                           [](const Tag& t) { return t.code == 1; })),
                         frames);
                for (const Tag& t : inner) {
                    if (t.code == 26) {
                        const Placement p = readPlaceObject2(t.body);
                        if (p.character)
                            QVERIFY2(defined.contains(*p.character), "placed before defined");
                        if (p.move && p.matrix)
                            ++movesInSprite[id];
                    }
                    QVERIFY2(t.code == 0 || t.code == 1 || t.code == 12 || t.code == 26 ||
                                 t.code == 28,
                             "only control tags belong in a sprite");
                }
                defined.insert(id);
                break;
            }
            case 48: {
                Reader font(tag.body);
                defined.insert(font.u16());
                break;
            }
            case 26: {
                const Placement p = readPlaceObject2(tag.body);
                if (p.character) {
                    QVERIFY2(defined.contains(*p.character), "placed before defined");
                    placesAMovingScene |= movesInSprite.value(*p.character) >= 24;
                }
                break;
            }
            case 12:
                readActions(tag.body); // throws on a record running past its tag
                break;
            }
        }
        QCOMPARE(mainFrames, movie.frameCount);
        QVERIFY2(placesAMovingScene, "nothing moves");
        QCOMPARE(movie.tags.last().code, uint16_t(0));
    }

    void firstFrameAnnouncesItselfThenLoadsEachContentFile_data() { addTemplateRows(); }
    void firstFrameAnnouncesItselfThenLoadsEachContentFile()
    {
        QFETCH(QString, effect);
        Playing movie(readFile(builtPath(templateNamed(effect).movie)));
        const QList<lq::ContentFile> files = filesOf(effect);

        const QList<UrlRequest>& requests = movie.vm.requests;
        QCOMPARE(requests.size(), 1 + files.size());
        QCOMPARE(requests[0].url, QStringLiteral("FSCommand:lq_frame"));
        QCOMPARE(requests[0].target, effect);
        QCOMPARE(requests[0].flags, uint8_t(0));
        for (int i = 0; i < files.size(); ++i) {
            // loadVariablesNum("<file beside the movie>", 0): LoadVariables flag, no target flag.
            const QString fileName = files[i].path.section(QLatin1Char('\\'), -1);
            QCOMPARE(requests[1 + i].url, fileName);
            QCOMPARE(requests[1 + i].target, QStringLiteral("_level0"));
            QCOMPARE(requests[1 + i].flags, uint8_t(0x80));
        }
        QVERIFY2(movie.vm.stopped, "the main timeline must not loop back into the loads");
    }

    void eachSectionHasATextFieldBoundToItsVariable_data() { addTemplateRows(); }
    void eachSectionHasATextFieldBoundToItsVariable()
    {
        QFETCH(QString, effect);
        const Contents c = contentsOf(readFile(builtPath(templateNamed(effect).movie)));
        QSet<uint16_t> placed;
        for (const Placement& p : c.mainPlacements) {
            if (p.character)
                placed.insert(*p.character);
        }

        QStringList bound;
        bool showsEffectName = false;
        for (const EditText& field : c.fields) {
            if (!placed.contains(field.id))
                continue; // the scene's own decorations
            if (!field.variable.isEmpty()) {
                bound.append(field.variable);
                // Initial text would set the variable and pass for a loaded one.
                QVERIFY2(!field.hasText, qPrintable(field.variable));
            }
            showsEffectName |= field.text == effect;
        }
        QStringList expected;
        for (const lq::ContentFile& f : filesOf(effect))
            expected.append(f.variable());
        QCOMPARE(bound, expected);
        QVERIFY(showsEffectName);
    }

    void reportsEveryValueOnceAllHaveArrived_data() { addTemplateRows(); }
    void reportsEveryValueOnceAllHaveArrived()
    {
        QFETCH(QString, effect);
        Playing movie(generated(effect));
        QCOMPARE(movie.vm.takeCommands().first().first, QStringLiteral("lq_frame"));
        const QList<lq::ContentFile> files = filesOf(effect);

        movie.vm.clockMs = 40;
        movie.tick();
        QVERIFY2(movie.vm.takeCommands().isEmpty(), "reported before anything arrived");

        // Values with the separators of the report in them, an "é" and the saved line end.
        QHash<QString, QString> values;
        for (int i = 0; i < files.size(); ++i) {
            const QString value = QStringLiteral("Café %1 | ; = : 1-%2\r\n").arg(i).arg(i * 7);
            values.insert(files[i].variable(), value);
            movie.vm.setRoot(files[i].variable(), Value::of(value));
        }
        movie.vm.clockMs = 80;
        movie.tick();
        const auto commands = movie.vm.takeCommands();
        QCOMPARE(commands.size(), 1);
        QCOMPARE(commands[0].first, QStringLiteral("lq_loaded"));
        QCOMPARE(commands[0].second,
                 expectedReport(QStringLiteral("complete"), effect, files, values));

        movie.vm.clockMs = 5000;
        movie.tick();
        movie.tick();
        QVERIFY2(movie.vm.takeCommands().isEmpty(), "reported twice");
    }

    void reportsWhatArrivedOnceTheWaitIsOverThenTheRest()
    {
        const QString effect = QStringLiteral("Fireworks");
        const QList<lq::ContentFile> files = filesOf(effect);
        Playing movie(generated(effect));
        movie.vm.takeCommands();

        QHash<QString, QString> values;
        for (const lq::ContentFile& f : files) {
            if (f.variable() == QLatin1String("client1"))
                continue; // its file never comes
            values.insert(f.variable(), QStringLiteral("x\r\n"));
            movie.vm.setRoot(f.variable(), Value::of(values[f.variable()]));
        }
        for (int ms : {100, 1500, 2999}) {
            movie.vm.clockMs = ms;
            movie.tick();
            QVERIFY2(movie.vm.takeCommands().isEmpty(), "a partial report before the wait is over");
        }
        movie.vm.clockMs = 3000;
        movie.tick();
        auto commands = movie.vm.takeCommands();
        QCOMPARE(commands.size(), 1);
        QCOMPARE(commands[0].second,
                 expectedReport(QStringLiteral("partial"), effect, files, values));
        QVERIFY(commands[0].second.contains(QStringLiteral("client1=-1:;")));

        movie.vm.clockMs = 6000;
        movie.tick();
        QVERIFY2(movie.vm.takeCommands().isEmpty(), "a second partial report");

        // The late file still counts: one complete report follows.
        values.insert(QStringLiteral("client1"), QStringLiteral("late\r\n"));
        movie.vm.setRoot(QStringLiteral("client1"), Value::of(values[QStringLiteral("client1")]));
        movie.tick();
        commands = movie.vm.takeCommands();
        QCOMPARE(commands.size(), 1);
        QCOMPARE(commands[0].second,
                 expectedReport(QStringLiteral("complete"), effect, files, values));
        movie.tick();
        QVERIFY(movie.vm.takeCommands().isEmpty());
    }

    void anEmptyValueHasArrivedButAnUnsetOneHasNot()
    {
        const QString effect = QStringLiteral("Preloader");
        Playing movie(generated(effect));
        movie.vm.takeCommands();
        movie.vm.clockMs = 3500;
        movie.tick();
        auto commands = movie.vm.takeCommands();
        QCOMPARE(commands.size(), 1);
        QCOMPARE(commands[0].second, QStringLiteral("partial|Preloader|pre=-1:;"));

        movie.vm.setRoot(QStringLiteral("pre"), Value::of(QString()));
        movie.tick();
        commands = movie.vm.takeCommands();
        QCOMPARE(commands.size(), 1);
        QCOMPARE(commands[0].second, QStringLiteral("complete|Preloader|pre=0:;"));
    }
};

QTEST_GUILESS_MAIN(StandInMoviesTest)
#include "tst_standinmovies.moc"

#include "DeferredPlayer.h"
#include "MessageRecorder.h"
#include "SoftwareGraphics.h"

#include <QLabel>
#include <QtTest>

using namespace lq;

class DeferredPlayerTest : public QObject
{
    Q_OBJECT

private slots:
    void aMovieNamedBeforeTheModuleLoadsReachesTheRealPlayer()
    {
        DeferredPlayer player{QStringLiteral(LQ_PLAYER_MODULE)};
        QVERIFY(!player.loadedPlayer());
        player.setMovie("C:\\lumenquill\\vector\\vector.swf");
        QVERIFY(player.loadedPlayer());
        QCOMPARE(player.loadedPlayer()->movie(), "C:\\lumenquill\\vector\\vector.swf");
        player.setMovie("C:\\lumenquill\\cube\\cube.swf");
        QCOMPARE(player.loadedPlayer()->movie(), "C:\\lumenquill\\cube\\cube.swf");
        QCOMPARE(player.movie(), "C:\\lumenquill\\cube\\cube.swf");
    }

    void theModuleLoadsByItselfOnceTheWindowIsShown()
    {
        DeferredPlayer player{QStringLiteral(LQ_PLAYER_MODULE)};
        player.resize(200, 100);
        player.show();
        QVERIFY(!player.loadedPlayer());
        // A real event loop, which runs dry once the window is up (QTest's waits never do).
        QEventLoop loop;
        connect(&player, &DeferredPlayer::loaded, &loop, &QEventLoop::quit);
        QTimer::singleShot(10000, &loop, &QEventLoop::quit);
        loop.exec();
        QVERIFY(player.isVisible());
        QVERIFY(player.loadedPlayer());
        QCOMPARE(player.loadedPlayer()->parentWidget(), &player);
        // The module's player is built on the program's own MoviePlayer, not a copy of it.
        QCOMPARE(player.loadedPlayer()->metaObject()->superClass(), &MoviePlayer::staticMetaObject);
        QCOMPARE(player.state(), DeferredPlayer::State::Loading);
        QTRY_COMPARE_WITH_TIMEOUT(player.state(), DeferredPlayer::State::Ready, 60000);
    }

    void aModuleMissingOrNotMatchingIsSaidInThePlayerAreaNotInABox_data()
    {
        QTest::addColumn<QString>("module");
        QTest::addColumn<QString>("notice");
        QTest::newRow("missing") << "/nonexistent/liblumenquill-webplayer.so"
                                 << "could not be loaded";
        QTest::newRow("another version")
            << LQ_OTHER_VERSION_MODULE
            << "\u201C" LQ_OTHER_VERSION_MODULE "\u201D belongs to another "
               "version";
    }

    void aModuleMissingOrNotMatchingIsSaidInThePlayerAreaNotInABox()
    {
        QFETCH(QString, module);
        QFETCH(QString, notice);
        MessageRecorder messages;
        DeferredPlayer player{module};
        QSignalSpy failures(&player, &MoviePlayer::movieFailed);
        player.setMovie("C:\\lumenquill\\vector\\vector.swf");
        QVERIFY(!player.loadedPlayer());
        QCOMPARE(player.state(), DeferredPlayer::State::Failed);
        QCOMPARE(player.movie(), "C:\\lumenquill\\vector\\vector.swf");
        auto* label = player.findChild<QLabel*>("playerNotice");
        QVERIFY(label);
        QVERIFY2(label->text().contains(notice), qPrintable(label->text()));
        QCOMPARE(failures.size(), 1);
        QVERIFY(messages.texts().isEmpty());
    }
};

int main(int argc, char* argv[])
{
    lq::drawPreviewInSoftware(); // as the program does
    QApplication app(argc, argv);
    DeferredPlayerTest test;
    return QTest::qExec(&test, argc, argv);
}
#include "tst_deferredplayer.moc"

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
    }

    void aMissingModuleIsSaidInThePlayerAreaNotInABox()
    {
        MessageRecorder messages;
        DeferredPlayer player{QStringLiteral("/nonexistent/liblumenquill-webplayer.so")};
        player.setMovie("C:\\lumenquill\\vector\\vector.swf");
        QVERIFY(!player.loadedPlayer());
        QCOMPARE(player.movie(), "C:\\lumenquill\\vector\\vector.swf");
        auto* notice = player.findChild<QLabel*>("playerNotice");
        QVERIFY(notice);
        QVERIFY2(notice->text().contains("could not be loaded"), qPrintable(notice->text()));
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

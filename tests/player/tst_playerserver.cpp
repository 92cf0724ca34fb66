#include "PlayerServer.h"
#include "TestDrive.h"

#include <QFile>
#include <QHostAddress>
#include <QTcpServer>
#include <QTcpSocket>
#include <QtTest>

using namespace lq;

// The player's loopback server, spoken to over a real socket with requests written by hand, so
// that nothing between the test and the server tidies a path up first.
class PlayerServerTest : public QObject
{
    Q_OBJECT

private:
    struct Response
    {
        int status = 0;
        QMap<QByteArray, QByteArray> headers; // names in lower case
        QByteArrayList headerNames;           // every header line's name, repeats included
        QByteArray body;
        bool closed = false; // the server hung up without an answer
    };

    struct Fixture
    {
        TestDrive drive;
        QTemporaryDir ruffle;
        PlayerServer server{ruffle.path(), "<html>the player page</html>"};

        Fixture()
        {
            drive.makeTemplateFolders();
            write(drive.driveC() + "/lumenquill/vector/aboutus.txt", "aboutus=Caf\xe9\r\n");
            write(drive.home() + "/secret.txt", "outside the drive folder");
            write(ruffle.path() + "/ruffle.js", "// player");
            server.start();
        }

        static void write(const QString& path, const QByteArray& bytes)
        {
            QFile file(path);
            QVERIFY2(file.open(QIODevice::WriteOnly), qPrintable(path));
            file.write(bytes);
        }

        QByteArray host() const { return "127.0.0.1:" + QByteArray::number(server.port()); }
        QByteArray under(const QByteArray& rest) const { return '/' + server.secret() + rest; }

        Response send(const QByteArray& requestLine, const QByteArray& extraHeaders = {}) const
        {
            return exchange(server.port(),
                            requestLine + "\r\nHost: " + host() + "\r\n" + extraHeaders + "\r\n");
        }

        Response get(const QByteArray& path) const { return send("GET " + path + " HTTP/1.1"); }
    };

    // Writes a request as it stands and reads one answer.
    static Response exchange(quint16 port, const QByteArray& request)
    {
        Response response;
        QTcpSocket socket;
        socket.connectToHost(QHostAddress::LocalHost, port);
        if (!socket.waitForConnected(5000))
            return response;
        socket.write(request);
        QByteArray data;
        qsizetype headerEnd = -1;
        qsizetype length = -1;
        QTest::qWaitFor(
            [&] {
                data += socket.readAll();
                if (headerEnd < 0 && (headerEnd = data.indexOf("\r\n\r\n")) >= 0) {
                    const QList<QByteArray> lines = data.left(headerEnd).split('\n');
                    response.status = lines.first().split(' ').value(1).toInt();
                    for (qsizetype i = 1; i < lines.size(); ++i) {
                        const qsizetype colon = lines[i].indexOf(':');
                        const QByteArray name = lines[i].left(colon).trimmed().toLower();
                        response.headerNames.append(name);
                        response.headers.insert(name, lines[i].mid(colon + 1).trimmed());
                    }
                    length = response.headers.value("content-length", "0").toLongLong();
                }
                if (headerEnd >= 0 && data.size() >= headerEnd + 4 + length)
                    return true;
                response.closed = socket.state() != QAbstractSocket::ConnectedState;
                return response.closed;
            },
            10000);
        if (headerEnd >= 0)
            response.body = data.mid(headerEnd + 4, length);
        return response;
    }

private slots:
    void listensOnLoopbackOnlyOnAPortOfTheSystemsChoosing()
    {
        Fixture f;
        QVERIFY(f.server.isListening());
        QVERIFY(f.server.port() != 0);
        const QList<QTcpServer*> servers = f.server.servers();
        QCOMPARE(servers.size(), 1);
        QCOMPARE(servers.first()->serverAddress(), QHostAddress(QHostAddress::LocalHost));
        QCOMPARE(f.server.pageUrl().toString(),
                 "http://127.0.0.1:" + QString::number(f.server.port()) + "/" +
                     QString::fromLatin1(f.server.secret()) + "/player.html");

        // A second server (a second run) has a port and a secret of its own.
        PlayerServer other(f.ruffle.path(), {});
        QVERIFY(other.start());
        QVERIFY(other.port() != f.server.port());
        QVERIFY(other.secret() != f.server.secret());
        QCOMPARE(exchange(f.server.port(), "GET /" + other.secret() +
                                               "/player.html HTTP/1.1\r\n"
                                               "Host: " +
                                               f.host() + "\r\n\r\n")
                     .status,
                 404);
    }

    void servesTheRightRequestsUncached()
    {
        Fixture f;
        const Response page = f.get(f.under("/player.html"));
        QCOMPARE(page.status, 200);
        QCOMPARE(page.body, QByteArray("<html>the player page</html>"));
        QCOMPARE(page.headers.value("cache-control"), QByteArray("no-store"));
        QCOMPARE(page.headers.value("content-type"), QByteArray("text/html; charset=utf-8"));
        QCOMPARE(page.headerNames.count("content-length"), 1);

        const QUrl text = f.server.fileUrl("C:\\lumenquill\\vector\\aboutus.txt");
        const Response file = f.get(text.path(QUrl::FullyEncoded).toLatin1());
        QCOMPARE(file.status, 200);
        QCOMPARE(file.body, QByteArray("aboutus=Caf\xe9\r\n"));
        QCOMPARE(file.headers.value("cache-control"), QByteArray("no-store"));

        const Response script = f.get(f.under("/ruffle/ruffle.js"));
        QCOMPARE(script.body, QByteArray("// player"));
        QCOMPARE(script.headers.value("cache-control"), QByteArray("no-store"));

        // A changed file is served as it is now.
        Fixture::write(f.drive.driveC() + "/lumenquill/vector/aboutus.txt", "aboutus=new\r\n");
        QCOMPARE(f.get(text.path(QUrl::FullyEncoded).toLatin1()).body,
                 QByteArray("aboutus=new\r\n"));
    }

    void refusesWhatLeadsOutOrLacksTheSecret_data()
    {
        QTest::addColumn<QByteArray>("rest"); // after the secret, or a whole path if it starts "!"
        QTest::newRow("traversal") << QByteArray("/drive/c/lumenquill/../../../secret.txt");
        QTest::newRow("traversal from the top") << QByteArray("/../secret.txt");
        QTest::newRow("encoded traversal") << QByteArray("/drive/c/%2e%2e/%2e%2e/secret.txt");
        QTest::newRow("encoded slashes") << QByteArray("/drive/c/..%2f..%2fsecret.txt");
        QTest::newRow("encoded backslashes") << QByteArray("/drive/c/..%5c..%5csecret.txt");
        QTest::newRow("no secret") << QByteArray("!/drive/c/lumenquill/vector/aboutus.txt");
        QTest::newRow("wrong secret") << QByteArray(
            "!/ffffffffffffffffffffffffffffffff/drive/c/lumenquill/vector/aboutus.txt");
        QTest::newRow("secret climbed out of") << QByteArray("/../player.html");
        QTest::newRow("absolute URL elsewhere") << QByteArray("!http://127.0.0.1/etc/passwd");
    }

    void refusesWhatLeadsOutOrLacksTheSecret()
    {
        QFETCH(QByteArray, rest);
        Fixture f;
        const QByteArray path = rest.startsWith('!') ? rest.mid(1) : f.under(rest);
        const Response response = f.get(path);
        QVERIFY2(response.status >= 400 || response.closed, path);
        QVERIFY(!response.body.contains("outside the drive folder"));
        QVERIFY(!response.body.contains("aboutus="));
        QVERIFY(!response.body.contains("player page"));
        if (!response.closed)
            QCOMPARE(response.headers.value("cache-control"), QByteArray("no-store"));
    }

    void refusesASymbolicLinkOutOfTheDriveFolder()
    {
        Fixture f;
        QVERIFY(QFile::link(f.drive.home() + "/secret.txt",
                            f.drive.driveC() + "/lumenquill/vector/services.txt"));
        const Response response = f.get(f.under("/drive/c/lumenquill/vector/services.txt"));
        QCOMPARE(response.status, 404);
        QVERIFY(response.body.isEmpty());
        QCOMPARE(response.headers.value("cache-control"), QByteArray("no-store"));
    }

    void answersOnlyGet_data()
    {
        QTest::addColumn<QByteArray>("method");
        for (const char* method : {"PUT", "DELETE", "HEAD", "OPTIONS", "PATCH"})
            QTest::newRow(method) << QByteArray(method);
    }

    void answersOnlyGet()
    {
        QFETCH(QByteArray, method);
        Fixture f;
        const QByteArray body = method == "HEAD" ? "" : "aboutus=overwritten";
        const Response response =
            f.send(method + ' ' + f.under("/drive/c/lumenquill/vector/aboutus.txt") + " HTTP/1.1",
                   "Content-Length: " + QByteArray::number(body.size()) + "\r\n\r\n" + body);
        QCOMPARE(response.status, 405);
        QCOMPARE(response.headers.value("allow"), QByteArray("GET"));
        QCOMPARE(response.headerNames.count("content-length"), 1);
        QCOMPARE(response.headers.value("cache-control"), QByteArray("no-store"));
        QCOMPARE(TestDrive::read(f.drive.driveC() + "/lumenquill/vector/aboutus.txt"),
                 QByteArray("aboutus=Caf\xe9\r\n"));
    }

    void refusesAnotherHostName()
    {
        Fixture f;
        const Response response =
            exchange(f.server.port(), "GET " + f.under("/player.html") +
                                          " HTTP/1.1\r\nHost: rebound.example\r\n\r\n");
        QCOMPARE(response.status, 403);
        QVERIFY(response.body.isEmpty());
    }

    void keepsNoWebSocketOpen()
    {
        Fixture f;
        QTcpSocket socket;
        socket.connectToHost(QHostAddress::LocalHost, f.server.port());
        QVERIFY(socket.waitForConnected(5000));
        socket.write(
            "GET " + f.under("/player.html") + " HTTP/1.1\r\nHost: " + f.host() +
            "\r\nUpgrade: websocket\r\nConnection: Upgrade\r\n"
            "Sec-WebSocket-Key: dGhlIHNhbXBsZSBub25jZQ==\r\nSec-WebSocket-Version: 13\r\n\r\n");
        QTRY_COMPARE_WITH_TIMEOUT(socket.state(), QAbstractSocket::UnconnectedState, 10000);
    }
};

QTEST_GUILESS_MAIN(PlayerServerTest)
#include "tst_playerserver.moc"

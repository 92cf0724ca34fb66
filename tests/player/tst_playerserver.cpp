#include "PlayerServer.h"
#include "SaveContentFile.h"
#include "SlowStrangers.h"
#include "TestDrive.h"

#include <QDir>
#include <QFile>
#include <QHostAddress>
#include <QtTest>
#include <arpa/inet.h>
#include <csignal>
#include <netinet/in.h>
#include <sys/resource.h>
#include <sys/socket.h>
#include <sys/wait.h>
#include <unistd.h>

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

    // A plain blocking connection, with requests written by hand, so that nothing between the test
    // and the server tidies a path up first: many answers on one connection, bodies of hundreds
    // of megabytes, connections held open.
    struct RawConnection
    {
        int fd = -1;
        QByteArray pending; // read but not yet taken as an answer

        explicit RawConnection(quint16 port)
        {
            fd = ::socket(AF_INET, SOCK_STREAM | SOCK_CLOEXEC, 0);
            sockaddr_in address = {};
            address.sin_family = AF_INET;
            address.sin_addr.s_addr = htonl(INADDR_LOOPBACK);
            address.sin_port = htons(port);
            timeval limit = {10, 0};
            ::setsockopt(fd, SOL_SOCKET, SO_RCVTIMEO, &limit, sizeof limit);
            ::setsockopt(fd, SOL_SOCKET, SO_SNDTIMEO, &limit, sizeof limit);
            if (::connect(fd, reinterpret_cast<sockaddr*>(&address), sizeof address) != 0) {
                ::close(fd);
                fd = -1;
            }
        }
        ~RawConnection()
        {
            if (fd >= 0)
                ::close(fd);
        }

        // Bytes the server took before it stopped reading or hung up.
        qint64 send(const QByteArray& bytes) const
        {
            qint64 sent = 0;
            while (sent < bytes.size()) {
                const ssize_t n =
                    ::send(fd, bytes.constData() + sent, size_t(bytes.size() - sent), MSG_NOSIGNAL);
                if (n <= 0)
                    break;
                sent += n;
            }
            return sent;
        }

        bool readMore()
        {
            char buffer[65536];
            const ssize_t n = ::recv(fd, buffer, sizeof buffer, 0);
            if (n > 0)
                pending.append(buffer, n);
            return n > 0;
        }

        // The next answer; its body is counted, and kept only up to `keep` bytes.
        Response answer(qint64* bodyBytes = nullptr, qint64 keep = 1 << 20)
        {
            Response response;
            qsizetype end;
            while ((end = pending.indexOf("\r\n\r\n")) < 0) {
                if (!readMore()) {
                    response.closed = true;
                    return response;
                }
            }
            const QList<QByteArray> lines = pending.left(end).split('\n');
            response.status = lines.first().split(' ').value(1).toInt();
            for (qsizetype i = 1; i < lines.size(); ++i) {
                const qsizetype colon = lines[i].indexOf(':');
                const QByteArray name = lines[i].left(colon).trimmed().toLower();
                response.headerNames.append(name);
                response.headers.insert(name, lines[i].mid(colon + 1).trimmed());
            }
            pending.remove(0, end + 4);
            // The body is counted as it comes, without holding it: the test's own memory stays
            // flat, so the peak of the process is the server's.
            qint64 left = response.headers.value("content-length", "0").toLongLong();
            qint64 counted = 0;
            auto take = [&](const char* data, qint64 size) {
                if (response.body.size() < keep)
                    response.body.append(data, qMin(size, keep - response.body.size()));
                left -= size;
                counted += size;
            };
            const qint64 buffered = qMin<qint64>(left, pending.size());
            take(pending.constData(), buffered);
            pending.remove(0, buffered);
            char buffer[65536];
            while (left > 0) {
                const ssize_t n = ::recv(fd, buffer, size_t(qMin<qint64>(sizeof buffer, left)), 0);
                if (n <= 0)
                    break;
                take(buffer, n);
            }
            if (bodyBytes)
                *bodyBytes = counted;
            return response;
        }

        // The server has closed its end: nothing more will come.
        bool hungUp()
        {
            while (pending.isEmpty()) {
                char byte;
                const ssize_t n = ::recv(fd, &byte, 1, 0);
                if (n == 0 || (n < 0 && errno != EAGAIN && errno != EWOULDBLOCK))
                    return true;
                if (n < 0)
                    return false; // still open after the receive timeout
                pending.append(byte);
            }
            return false;
        }
    };

    // Writes a request as it stands and reads one answer.
    static Response exchange(quint16 port, const QByteArray& request)
    {
        RawConnection connection(port);
        connection.send(request);
        return connection.answer();
    }

    static qint64 peakResidentKiB()
    {
        QFile status("/proc/self/status");
        if (!status.open(QIODevice::ReadOnly))
            return -1;
        for (const QByteArray& line : status.readAll().split('\n')) {
            if (line.startsWith("VmHWM:"))
                return line.mid(6).trimmed().split(' ').first().toLongLong();
        }
        return -1;
    }

    // Starts measuring the peak memory of this process (the server's thread with it) afresh.
    static void resetPeakResident()
    {
        QFile clear("/proc/self/clear_refs");
        QVERIFY(clear.open(QIODevice::WriteOnly));
        clear.write("5");
    }

    static int openDescriptors() { return int(QDir("/proc/self/fd").count()) - 2; }

private slots:
    void listensOnLoopbackOnlyOnAPortOfTheSystemsChoosing()
    {
        Fixture f;
        QVERIFY(f.server.isListening());
        QVERIFY(f.server.port() != 0);
        // The system's own table of listening sockets: 127.0.0.1 and nothing else on that port.
        QFile table("/proc/net/tcp");
        QVERIFY(table.open(QIODevice::ReadOnly));
        const QByteArray port =
            QByteArray::number(f.server.port(), 16).toUpper().rightJustified(4, '0');
        QByteArrayList listening;
        for (const QByteArray& line : table.readAll().split('\n')) {
            const QByteArrayList fields = line.simplified().split(' ');
            if (fields.size() > 3 && fields[1].endsWith(':' + port) && fields[3] == "0A")
                listening.append(fields[1]);
        }
        QCOMPARE(listening, QByteArrayList{"0100007F:" + port});
        QFile table6("/proc/net/tcp6");
        if (table6.open(QIODevice::ReadOnly))
            QVERIFY(!table6.readAll().contains(':' + port +
                                               " 00000000000000000000000000000000:0000 0A"));
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
        // The page runs its own scripts and the server's, never one made up later.
        const QByteArray policy = page.headers.value("content-security-policy");
        QVERIFY2(policy.contains("script-src 'self' 'wasm-unsafe-eval'"), policy);
        const QByteArray scripts = policy.mid(policy.indexOf("script-src"));
        const QByteArrayList sources = scripts.left(scripts.indexOf(';')).split(' ');
        QVERIFY2(!sources.contains("'unsafe-inline'") && !sources.contains("'unsafe-eval'"),
                 policy);
        QVERIFY2(policy.contains("frame-ancestors 'none'"), policy);

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

    void readsAPostLikeAGetAndAnswersNoOtherMethod_data()
    {
        QTest::addColumn<QByteArray>("method");
        QTest::addColumn<int>("status");
        QTest::newRow("POST") << QByteArray("POST") << 200;
        for (const char* method : {"PUT", "DELETE", "HEAD", "OPTIONS", "PATCH"})
            QTest::newRow(method) << QByteArray(method) << 405;
    }

    void readsAPostLikeAGetAndAnswersNoOtherMethod()
    {
        QFETCH(QByteArray, method);
        QFETCH(int, status);
        Fixture f;
        const QByteArray body = method == "HEAD" ? "" : "aboutus=overwritten";
        const Response response =
            f.send(method + ' ' + f.under("/drive/c/lumenquill/vector/aboutus.txt") + " HTTP/1.1",
                   "Content-Length: " + QByteArray::number(body.size()) + "\r\n\r\n" + body);
        QCOMPARE(response.status, status);
        QCOMPARE(response.body, QByteArray(status == 200 ? "aboutus=Caf\xe9\r\n" : ""));
        if (status == 405)
            QCOMPARE(response.headers.value("allow"), QByteArray("GET, POST"));
        QCOMPARE(response.headerNames.count("content-length"), 1);
        QCOMPARE(response.headers.value("cache-control"), QByteArray("no-store"));
        QCOMPARE(TestDrive::read(f.drive.driveC() + "/lumenquill/vector/aboutus.txt"),
                 QByteArray("aboutus=Caf\xe9\r\n"));
    }

    // Every method for every kind of path, through the real server: only GET reads everything,
    // POST reads files but not the page, nothing else is answered.
    void answersEachMethodAsItsRuleSays_data()
    {
        QTest::addColumn<QByteArray>("method");
        QTest::addColumn<QByteArray>("rest"); // after the secret, or a whole path if it starts "!"
        QTest::addColumn<int>("status");
        QTest::addColumn<QByteArray>("body");
        struct Kind
        {
            const char* name;
            QByteArray rest;
            int get;
            int post;
            QByteArray body; // when answered with 200
        };
        const QList<Kind> kinds = {
            {"page", "/player.html", 200, 405, "<html>the player page</html>"},
            {"ruffle file", "/ruffle/ruffle.js", 200, 200, "// player"},
            {"drive file", "/drive/c/lumenquill/vector/aboutus.txt", 200, 200,
             "aboutus=Caf\xe9\r\n"},
            {"link out of the drive", "/drive/c/lumenquill/vector/services.txt", 404, 404, {}},
            {"no such kind", "/secret.txt", 404, 404, {}},
            {"wrong secret", "!/ffffffffffffffffffffffffffffffff/player.html", 404, 404, {}},
        };
        for (const Kind& kind : kinds) {
            for (const char* method :
                 {"GET", "POST", "HEAD", "PUT", "DELETE", "OPTIONS", "PATCH", "TRACE", "get"}) {
                const int status = method == QByteArrayView("GET")    ? kind.get
                                   : method == QByteArrayView("POST") ? kind.post
                                                                      : 405;
                QTest::addRow("%s %s", method, kind.name)
                    << QByteArray(method) << kind.rest << status
                    << (status == 200 ? kind.body : QByteArray());
            }
        }
    }

    void answersEachMethodAsItsRuleSays()
    {
        QFETCH(QByteArray, method);
        QFETCH(QByteArray, rest);
        QFETCH(int, status);
        QFETCH(QByteArray, body);
        Fixture f;
        QVERIFY(QFile::link(f.drive.home() + "/secret.txt",
                            f.drive.driveC() + "/lumenquill/vector/services.txt"));
        const QByteArray path = rest.startsWith('!') ? rest.mid(1) : f.under(rest);
        const Response response = f.send(method + ' ' + path + " HTTP/1.1");
        QCOMPARE(response.status, status);
        QCOMPARE(response.body, body);
        QCOMPARE(response.headers.value("cache-control"), QByteArray("no-store"));
        if (status == 405)
            QVERIFY(!response.headers.value("allow").isEmpty());
    }

    // Several requests written at once are answered in turn; "Connection: close" is honoured;
    // a head too big for the server is refused and the connection dropped.
    void answersRequestsOnOneConnectionAsHttpSays()
    {
        Fixture f;
        const QByteArray text = f.under("/drive/c/lumenquill/vector/aboutus.txt");
        RawConnection connection(f.server.port());
        connection.send("GET " + text + " HTTP/1.1\r\nHost: " + f.host() + "\r\n\r\n" + "GET " +
                        f.under("/player.html") + " HTTP/1.1\r\nHost: " + f.host() +
                        "\r\n\r\nGET " + f.under("/nothing") + " HTTP/1.1\r\nHost: " + f.host() +
                        "\r\nConnection: close\r\n\r\n");
        QCOMPARE(connection.answer().body, QByteArray("aboutus=Caf\xe9\r\n"));
        QCOMPARE(connection.answer().body, QByteArray("<html>the player page</html>"));
        QCOMPARE(connection.answer().status, 404);
        QVERIFY(connection.hungUp());

        RawConnection big(f.server.port());
        big.send("GET " + text + " HTTP/1.1\r\nHost: " + f.host() + "\r\nX-Padding: " +
                 QByteArray(PlayerServer::kRequestHeadBytes + 1024, 'a') + "\r\n\r\n");
        const Response refused = big.answer();
        QVERIFY2(refused.closed || refused.status == 431 || refused.status == 414,
                 QByteArray::number(refused.status));
        QVERIFY(!refused.body.contains("aboutus"));
        QVERIFY(big.hungUp());
    }

    // A body is never kept, whoever sends it and however big it says it is; a file of any size
    // is sent from the file. The server's thread shares this process, so its peak memory is the
    // server's.
    void neverHoldsABodyOrAWholeFileInMemory()
    {
        Fixture f;
        const QByteArray chunk(1 << 20, 'x');
        const qint64 gib = qint64(1) << 30;
        const QString large = f.drive.driveC() + "/lumenquill/vector/large.swf";
        QFile file(large);
        QVERIFY(file.open(QIODevice::WriteOnly) && file.resize(gib)); // sparse: no disk needed
        file.close();
        resetPeakResident();
        const qint64 before = peakResidentKiB();

        for (const QByteArray& path : {QByteArray("/"), f.under("/player.html")}) {
            RawConnection announced(f.server.port());
            qint64 sent =
                announced.send("POST " + path + " HTTP/1.1\r\nHost: " + f.host() +
                               "\r\nContent-Length: " + QByteArray::number(gib) + "\r\n\r\n");
            for (int i = 0; i < 256 && announced.send(chunk) == chunk.size(); ++i)
                sent += chunk.size();
            QVERIFY2(sent < 32 << 20, QByteArray::number(sent)); // the kernel's buffers at most
            announced.answer(); // given at once or not at all, then the connection closes
            QVERIFY(announced.hungUp());

            RawConnection chunked(f.server.port());
            sent = chunked.send("POST " + path + " HTTP/1.1\r\nHost: " + f.host() +
                                "\r\nTransfer-Encoding: chunked\r\n\r\n");
            const QByteArray piece = QByteArray::number(chunk.size(), 16) + "\r\n" + chunk + "\r\n";
            for (int i = 0; i < 256 && chunked.send(piece) == piece.size(); ++i)
                sent += piece.size();
            QVERIFY2(sent < 32 << 20, QByteArray::number(sent));
            chunked.answer();
            QVERIFY(chunked.hungUp());
        }

        RawConnection download(f.server.port());
        download.send("GET " + f.under("/drive/c/lumenquill/vector/large.swf") +
                      " HTTP/1.1\r\nHost: " + f.host() + "\r\n\r\n");
        qint64 received = 0;
        const Response whole = download.answer(&received, 16);
        QCOMPARE(whole.status, 200);
        QCOMPARE(received, gib);
        const qint64 grown = peakResidentKiB() - before;
        QVERIFY2(grown < 64 * 1024, QByteArray::number(grown) + " KiB more at the peak");
    }

    // Thousands of idle connections from a process without the secret: the server keeps to its
    // share of this process's descriptors, a save works meanwhile, the player's connection goes
    // on being answered, and new ones are once the flood has gone.
    void aFloodOfIdleConnectionsLeavesTheProgramItsDescriptors()
    {
        Fixture f;
        RawConnection player(f.server.port());
        const QByteArray pageRequest =
            "GET " + f.under("/player.html") + " HTTP/1.1\r\nHost: " + f.host() + "\r\n\r\n";
        player.send(pageRequest);
        QCOMPARE(player.answer().status, 200);

        const int ours = openDescriptors();
        rlimit limit = {};
        ::getrlimit(RLIMIT_NOFILE, &limit);
        const rlimit saved = limit;
        limit.rlim_cur = rlim_t(ours + int(PlayerServer::kMaxConnections) + 32);
        int ready[2];
        QVERIFY(::pipe(ready) == 0);
        const pid_t flood = ::fork();
        if (flood == 0) {
            for (int i = 0; i < 4000; ++i) {
                const int s = ::socket(AF_INET, SOCK_STREAM | SOCK_NONBLOCK, 0);
                sockaddr_in address = {};
                address.sin_family = AF_INET;
                address.sin_addr.s_addr = htonl(INADDR_LOOPBACK);
                address.sin_port = htons(f.server.port());
                ::connect(s, reinterpret_cast<sockaddr*>(&address), sizeof address);
            }
            (void)!::write(ready[1], "r", 1);
            ::pause();
            ::_exit(0);
        }
        QVERIFY(::setrlimit(RLIMIT_NOFILE, &limit) == 0);
        char byte;
        QCOMPARE(::read(ready[0], &byte, 1), ssize_t(1));

        int most = 0;
        for (int i = 0; i < 20; ++i) {
            most = qMax(most, openDescriptors());
            QTest::qWait(25);
        }
        const bool saved1 = SaveContentFile("C:\\lumenquill\\vector\\aboutus.txt",
                                            QStringLiteral("aboutus=during the flood"))
                                .ok();
        player.send(pageRequest);
        const int answered = player.answer().status;
        ::kill(flood, SIGKILL);
        ::waitpid(flood, nullptr, 0);
        ::close(ready[0]);
        ::close(ready[1]);
        ::setrlimit(RLIMIT_NOFILE, &saved);

        QVERIFY2(most <= ours + int(PlayerServer::kMaxConnections) + 4, QByteArray::number(most));
        QVERIFY(saved1);
        QCOMPARE(TestDrive::read(f.drive.driveC() + "/lumenquill/vector/aboutus.txt"),
                 QByteArray("aboutus=during the flood\r\n"));
        QCOMPARE(answered, 200);
        QTRY_COMPARE_WITH_TIMEOUT(f.get(f.under("/player.html")).status, 200, 10000);
    }

    // Patient clients without the secret, as many as the server has places for and far more,
    // each sending a byte just often enough never to fall silent: the player's new connections
    // are answered all the while, and those it already had are never given up for them.
    void slowStrangersNeverKeepThePlayerOut_data()
    {
        QTest::addColumn<int>("strangers");
        QTest::newRow("as many as there are places") << int(PlayerServer::kMaxStrangers);
        QTest::newRow("100") << 100;
        QTest::newRow("1000") << 1000;
    }

    void slowStrangersNeverKeepThePlayerOut()
    {
        QFETCH(int, strangers);
        Fixture f;
        const QByteArray text = "GET " + f.under("/drive/c/lumenquill/vector/aboutus.txt") +
                                " HTTP/1.1\r\nHost: " + f.host() + "\r\n\r\n";
        std::vector<std::unique_ptr<RawConnection>> kept;
        for (int i = 0; i < 6; ++i) {
            kept.push_back(std::make_unique<RawConnection>(f.server.port()));
            kept.back()->send(text);
            QCOMPARE(kept.back()->answer().status, 200);
        }

        SlowStrangers flood(f.server.port(), strangers);
        QVERIFY(flood.started());
        QElapsedTimer during;
        during.start();
        int asked = 0;
        QList<int> failed;
        QList<qint64> times;
        // Two of the strangers' bytes and more than one deadline of the server.
        while (!during.hasExpired(2 * SlowStrangers::kByteIntervalMs + 500)) {
            QElapsedTimer answered;
            answered.start();
            RawConnection player(f.server.port());
            player.send(text);
            const Response response = player.answer();
            times.append(answered.elapsed());
            if (response.status != 200 || response.body != "aboutus=Caf\xe9\r\n")
                failed.append(response.status);
            ++asked;
            QTest::qWait(100);
        }
        std::sort(times.begin(), times.end());
        qInfo("%d requests with the secret among %d slow strangers, answered in %lld ms (median), "
              "%lld ms at most",
              asked, strangers, times.value(times.size() / 2), times.value(times.size() - 1));
        QVERIFY2(failed.isEmpty(),
                 qPrintable(QString::number(failed.size()) + " of " + QString::number(asked) +
                            " went unanswered: " + QDebug::toString(failed)));
        for (const auto& connection : kept) {
            connection->send(text);
            QCOMPARE(connection->answer().body, QByteArray("aboutus=Caf\xe9\r\n"));
        }
    }

    // A client without the secret that never goes silent still loses its place after a while;
    // one that has shown the secret keeps its connection.
    void aTrickleOfBytesBuysAStrangerNoMoreTime()
    {
        Fixture f;
        RawConnection stranger(f.server.port());
        RawConnection player(f.server.port());
        player.send("GET " + f.under("/player.html") + " HTTP/1.1\r\nHost: " + f.host() +
                    "\r\n\r\n");
        QCOMPARE(player.answer().status, 200);
        const QByteArray head = "GET / HTTP/1.1\r\nX-Trickle: " + QByteArray(64, 'a');
        bool hungUp = false;
        // Well past the deadline, a byte at a time, each long before the idle timeout.
        for (qsizetype i = 0; i < head.size() && !hungUp; ++i) {
            hungUp = stranger.send(head.mid(i, 1)) != 1;
            QTest::qWait(150);
            char byte;
            const ssize_t n = ::recv(stranger.fd, &byte, 1, MSG_DONTWAIT);
            hungUp = hungUp || n == 0 || (n < 0 && errno != EAGAIN && errno != EWOULDBLOCK);
        }
        QVERIFY(hungUp);
        player.send("GET " + f.under("/player.html") + " HTTP/1.1\r\nHost: " + f.host() +
                    "\r\n\r\n");
        QCOMPARE(player.answer().status, 200);
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

    void opensNoWebSocket()
    {
        Fixture f;
        const Response response =
            f.send("GET " + f.under("/player.html") + " HTTP/1.1",
                   "Upgrade: websocket\r\nConnection: Upgrade\r\n"
                   "Sec-WebSocket-Key: dGhlIHNhbXBsZSBub25jZQ==\r\nSec-WebSocket-Version: 13\r\n");
        QCOMPARE(response.status, 200);
        QVERIFY(!response.headers.contains("upgrade"));
    }
};

QTEST_GUILESS_MAIN(PlayerServerTest)
#include "tst_playerserver.moc"

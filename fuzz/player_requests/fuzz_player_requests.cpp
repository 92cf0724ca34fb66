// Fuzzes what the player's loopback server decides to hand out: whatever the method, Host header
// and raw path of a request, a decision to send a file must name a file that the kernel resolves
// into a drive folder or straight into the player's own ruffle folder, and only for a GET or POST
// with the right host under the secret; the file the server then opens for it (openDecidedFile,
// beneath the folder's descriptor) must be one the kernel places there too, and opening it must
// never wait.
//
// Input: one byte of switches, then the request.
//   bit 0  the method is the input up to the first line feed (otherwise GET)
//   bit 1  the Host header is the next line (otherwise the expected one)
//   bit 2  the rest is the whole raw path (otherwise it follows "/<secret>/")
// The drive is the trap drive of TrapDrive.h; beside it lies a ruffle folder with traps of its
// own (links out of it, up from it, into the drive, a folder inside it).

#include "PlayerRequests.h"
#include "TrapDrive.h"

#include <QByteArray>
#include <QDir>
#include <QFile>
#include <QString>
#include <climits>
#include <cstdint>
#include <cstdio>
#include <cstdlib>
#include <unistd.h>

namespace {

lqfuzz::TrapDrive g_drive;
lq::PlayerSite g_site;
QString g_ruffleFolder; // as the kernel names it

constexpr char kSecret[] = "5ec7e75ec7e75ec7e75ec7e75ec7e7aa";
constexpr char kHost[] = "127.0.0.1:41234";

void buildRuffleFolder()
{
    const QString app = g_drive.home + "/app";
    const QString ruffle = app + "/ruffle";
    QDir().mkpath(ruffle + "/chunks");
    lqfuzz::makeFile(ruffle + "/ruffle.js");
    lqfuzz::makeFile(ruffle + "/core.ruffle.wasm");
    lqfuzz::makeFile(ruffle + "/.hidden.js");
    lqfuzz::makeFile(ruffle + "/chunks/chunk.js");
    lqfuzz::makeFile(app + "/beside.js");
    lqfuzz::makeLink("core.ruffle.wasm", ruffle + "/alias.wasm");
    lqfuzz::makeLink("../beside.js", ruffle + "/beside.js");
    lqfuzz::makeLink(g_drive.outside + "/passwd", ruffle + "/passwd.js");
    lqfuzz::makeLink(g_drive.home + "/lumen-quill/drive_c/lumenquill/vector/aboutus.txt",
                     ruffle + "/aboutus.txt");
    lqfuzz::makeLink("chunks/chunk.js", ruffle + "/chunk.js");
    lqfuzz::makeLink("..", ruffle + "/up");
    lqfuzz::makeLink(g_drive.outside + "/gone.js", ruffle + "/dangling.js");
    g_ruffleFolder = lqfuzz::realPath(ruffle);
    if (g_ruffleFolder.isEmpty())
        std::abort();
    g_site.secret = kSecret;
    g_site.ruffleFolder = ruffle;
    g_site.host = kHost;
}

QString kernelName(int fd)
{
    char buffer[PATH_MAX];
    const QByteArray proc = "/proc/self/fd/" + QByteArray::number(fd);
    const ssize_t size = readlink(proc.constData(), buffer, sizeof buffer);
    return size <= 0 ? QString() : QFile::decodeName(QByteArray(buffer, int(size)));
}

void removeDrive()
{
    if (!g_drive.home.isEmpty())
        QDir(g_drive.home).removeRecursively();
}

QByteArrayView takeLine(QByteArrayView& rest)
{
    const qsizetype end = rest.indexOf('\n');
    const QByteArrayView line = end < 0 ? rest : rest.first(end);
    rest = end < 0 ? QByteArrayView() : rest.sliced(end + 1);
    return line;
}

[[noreturn]] void fail(const char* what, const QByteArray& method, const QByteArray& host,
                       const QByteArray& path, const lq::RequestDecision& decision)
{
    std::fprintf(stderr, "%s\n  method %s\n  host %s\n  path %s\n  status %d, file %s\n", what,
                 method.toPercentEncoding().constData(), host.toPercentEncoding().constData(),
                 path.toPercentEncoding("/").constData(), decision.status,
                 qPrintable(decision.localPath));
    std::abort();
}

} // namespace

extern "C" int LLVMFuzzerInitialize(int*, char***)
{
    g_drive = lqfuzz::buildTrapDrive("lq-fuzz-requests");
    buildRuffleFolder();
    std::atexit(removeDrive);
    return 0;
}

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, size_t size)
{
    if (size == 0)
        return 0;
    const uint8_t switches = data[0];
    QByteArrayView rest(reinterpret_cast<const char*>(data + 1), qsizetype(size - 1));
    const QByteArray method = switches & 1 ? takeLine(rest).toByteArray() : QByteArray("GET");
    const QByteArray host = switches & 2 ? takeLine(rest).toByteArray() : QByteArray(kHost);
    const QByteArray path =
        switches & 4 ? rest.toByteArray() : QByteArray("/") + kSecret + "/" + rest.toByteArray();

    const lq::RequestDecision decision = lq::decideRequest(method, host, path, g_site);
    if (decision.target == lq::RequestTarget::Refused) {
        if (!decision.localPath.isEmpty() || decision.status < 400 || decision.status > 499)
            fail("a refusal names a file or says it is no refusal", method, host, path, decision);
        return 0;
    }
    // Anything served answers a GET with the right host under the secret.
    if ((method != "GET" && method != "POST") || host != kHost ||
        !path.startsWith(QByteArray("/") + kSecret + "/") || decision.status != 200 ||
        decision.mimeType.isEmpty())
        fail("served what should have been refused", method, host, path, decision);
    if (decision.target == lq::RequestTarget::PlayerPage) {
        if (!decision.localPath.isEmpty() || method != "GET")
            fail("the page names a file or is posted to", method, host, path, decision);
        return 0;
    }
    // A file: where the kernel says it is, a regular file in a drive folder or in the ruffle
    // folder itself (not below it).
    const QString real = lqfuzz::realPath(decision.localPath);
    if (real.isEmpty())
        fail("the file sent does not exist", method, host, path, decision);
    const bool inDrive = lqfuzz::insideADriveFolder(g_drive, real);
    const bool inRuffle = real.startsWith(g_ruffleFolder + "/") &&
                          real.indexOf(QLatin1Char('/'), g_ruffleFolder.size() + 1) < 0;
    if (!inDrive && !inRuffle)
        fail("the file sent lies outside the drive and the ruffle folder", method, host, path,
             decision);
    const int fd = lq::openDecidedFile(decision, g_site);
    if (fd < 0)
        fail("the decided file cannot be opened", method, host, path, decision);
    const QString opened = kernelName(fd);
    close(fd);
    if (opened != real)
        fail("the file opened is not the file decided", method, host, path, decision);
    return 0;
}

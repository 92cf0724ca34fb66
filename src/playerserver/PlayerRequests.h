#pragma once

#include <QByteArray>
#include <QByteArrayView>
#include <QString>
#include <QStringList>

namespace lq {

// What the player's loopback server may hand out, and under which secret.
//
// Every URL starts with "/<secret>/". Below it there are exactly three kinds of things:
//   player.html            the page that hosts the SWF player
//   ruffle/<name>          a file of the player itself, straight inside the ruffle folder
//   drive/<letter>/<path>  a file under a drive folder, as the fixed Windows path
//                          "<letter>:\<path>" maps on this machine (templates, movies, texts)
struct PlayerSite
{
    QByteArray secret;    // the random path prefix of this run, URL-safe characters only
    QString ruffleFolder; // local folder holding ruffle.js, its chunks and its .wasm files
    QByteArray host;      // expected Host header ("127.0.0.1:<port>"); empty: not checked
};

enum class RequestTarget {
    Refused,    // answered with `status` and no body
    PlayerPage, // the page kept in the program
    File,       // the local file `localPath`
};

struct RequestDecision
{
    RequestTarget target = RequestTarget::Refused;
    int status = 404;    // HTTP status of the answer
    QString localPath;   // for File: the file to send, as spelt on disk (for logs and messages)
    QByteArray mimeType; // for PlayerPage and File
    // For File: where openDecidedFile finds it again, beneath the folder's descriptor: the drive
    // letter (none for a file of the player's own folder) and the names below that folder.
    QChar driveLetter;
    QStringList parts;
};

// The longest raw path a request may have, and the most parts, before anything else is looked at.
constexpr qsizetype kMaxRequestPathBytes = 8192;
constexpr qsizetype kMaxRequestParts = 72;

// Decides what a request gets, from its method, Host header and the path of its URL exactly as it
// arrived (still percent-encoded; a query is ignored). Needs no running server: it only looks at
// the file system. Anything that is not plainly one of the three kinds above is refused: a wrong
// or missing secret, "." or "..", percent-encoded slashes, backslashes or NUL bytes, a drive path
// that leads out of its drive folder (through a symbolic link, too), anything that is not a
// regular file, a path longer than the limits above (414), and every method but GET and POST. A
// POST is answered like a GET, as a player reading local files ignores the method of a load; the
// page itself is only got. Safe to call from any thread.
RequestDecision decideRequest(QByteArrayView method, QByteArrayView host, QByteArrayView rawPath,
                              const PlayerSite& site);

// Opens the file a File decision names, for reading, beneath its drive folder's (or the
// ruffle folder's) descriptor so that no link switched after the decision leads out of it.
// Returns a descriptor (O_RDONLY | O_CLOEXEC) the caller closes, or -1 with errno set.
int openDecidedFile(const RequestDecision& decision, const PlayerSite& site);

// The URL path under which the server hands out the file of a fixed Windows path
// ("C:\lumenquill\vector\vector.swf" -> "/<secret>/drive/c/lumenquill/vector/vector.swf"), each
// part percent-encoded; empty when the path is not an absolute drive path.
QByteArray urlPathForWindowsPath(const QString& windowsPath, const QByteArray& secret);

// The URL path of the folder that holds a fixed Windows path, with its trailing slash: the base
// against which a movie's relative paths resolve.
QByteArray urlPathForFolderOf(const QString& windowsPath, const QByteArray& secret);

// A fresh secret for one run: 128 random bits from the system's source, URL-safe.
QByteArray makeSecret();

// The MIME type the server gives a file, by its suffix.
QByteArray mimeTypeFor(const QString& fileName);

} // namespace lq

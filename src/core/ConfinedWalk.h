#pragma once

#include <QByteArray>
#include <QByteArrayView>
#include <QList>
#include <QString>
#include <QStringList>

namespace lq {

// An open file descriptor that closes itself.
class UniqueFd
{
public:
    UniqueFd() = default;
    explicit UniqueFd(int fd) : m_fd(fd) {}
    UniqueFd(UniqueFd&& other) noexcept : m_fd(other.release()) {}
    UniqueFd& operator=(UniqueFd&& other) noexcept;
    UniqueFd(const UniqueFd&) = delete;
    UniqueFd& operator=(const UniqueFd&) = delete;
    ~UniqueFd();

    int get() const { return m_fd; }
    bool isValid() const { return m_fd >= 0; }
    int release();

private:
    int m_fd = -1;
};

// Where a walk of names below a root folder ended.
enum class WalkOutcome {
    Found,         // `folder` holds the last entry, `name`; the entry itself may not exist yet
    FolderMissing, // a folder on the way does not exist
    NotAFolder,    // something that is not a folder stands where a folder should be
    LeadsOut,      // ".." or a symbolic link leads above the root, or the links go round
    Failed,        // the system refused a step; `error` says why
    NotADrivePath, // DrivePaths::locate only: the text is no fixed Windows path at all
};

struct WalkResult
{
    WalkOutcome outcome = WalkOutcome::Failed;
    int error = 0;           // the errno value, for Failed
    UniqueFd folder;         // for Found: the folder that holds the entry (O_PATH)
    QByteArray name;         // for Found: the entry's name in it, every link followed
    int depth = 0;           // for Found: how many folders below the root `folder` lies
    QStringList spelled;     // the names walked, as they exist on disk (case matched)
    QList<int> createdParts; // the indexes of the names whose folders the walk created
};

struct WalkOptions
{
    bool ignoreCase = false;    // a name matches an existing entry whatever its letter case
    bool createFolders = false; // folders missing on the way are created
};

// Walks names below an open root folder, one entry at a time, never through anything but what
// the root holds: each folder is opened relative to the one before without following links, and
// a symbolic link met on the way is read and its target walked the same way, so that ".." or an
// absolute target can never lead above the root whatever is switched meanwhile. An absolute
// target counts when it names the root by its kernel name or by `rootPath`. A link in last place
// is followed too, as a write through it would. Linear in the number of names (plus the entries
// of a folder read when a name must be matched without regard to case).
WalkResult walkBeneath(int rootFd, const QString& rootPath, const QStringList& names,
                       WalkOptions options = {});

// Writes all of bytes to a descriptor, going on after a short write or an interruption; 0 or the
// errno value.
int writeAll(int fd, QByteArrayView bytes);

// Makes a folder and those above it that are missing, as mkdir -p does, each with mode less the
// umask; 0 or the errno value of the step that failed, read where it failed.
int makeFolders(const QString& path, unsigned mode);

// Opens a regular file in an open folder for reading, never following a link in its place and
// never blocking on a FIFO or a device. A descriptor (O_RDONLY | O_CLOEXEC), or -1 with errno
// set (EISDIR for a folder, EINVAL for anything else that is not a regular file).
int openRegularFile(int folderFd, const QByteArray& name);

// What stands at a place when it is not a regular file, in a few words for a message ("a folder",
// "a named pipe", "a socket", "a device"), from its st_mode.
QString describeFileType(unsigned mode);

// The path the kernel gives an open descriptor; empty when it cannot tell.
QString kernelPath(int fd);

} // namespace lq

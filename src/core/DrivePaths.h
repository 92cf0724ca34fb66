#pragma once

#include "ConfinedWalk.h"

#include <QString>
#include <QStringList>
#include <optional>

namespace lq {

// The program's fixed Windows paths ("C:\lumenquill\vector\aboutus.txt") and where they live.
//
// The drive letter maps to the folder drive_<letter> inside the "lumen-quill" folder of the user's
// data location, and every part of the path below it is matched without regard to letter case
// against what exists, as on the file system the templates were made for. A part that does not
// exist yet keeps its spelling. Symbolic links inside a drive folder lead where they point as long
// as that stays inside the same drive folder; nothing leads out of it.
namespace DrivePaths {

// The longest Windows path, in characters, and the most parts below its drive, that are taken at
// all: longer ones are refused before anything is looked up.
constexpr qsizetype kMaxPathLength = 4096;
constexpr qsizetype kMaxParts = 64;

// A drive letter of a Windows path: a to z, either case.
bool isDriveLetter(QChar c);

// A drive letter's folder is called drive_<letter>, the letter in lower case.
inline constexpr QLatin1StringView kDriveFolderPrefix("drive_");
QString driveFolderName(QChar driveLetter);
// The drive letter a folder's name stands for; nothing for any other name.
std::optional<QChar> driveLetterOfFolder(QStringView folderName);

// A fixed Windows path taken apart.
struct WindowsPath
{
    QChar drive;       // the drive letter, in lower case
    QStringList parts; // the names below the drive; none is empty, "." or ".."
};

// The one reading of a Windows path: a drive letter (either case), a colon and a slash (either
// kind, as are the slashes between parts). Nothing when it is anything else, climbs with ".." or
// ".", holds a NUL character or passes the limits above.
std::optional<WindowsPath> parse(const QString& windowsPath);

// The fixed Windows path of the folder that holds a path's last part, with its trailing backslash:
// "c:\lumenquill\vector\" for "C:\lumenquill\vector\aboutus.txt". Nothing when the path is no
// drive path or names a drive itself.
std::optional<QString> folderOf(const QString& windowsPath);

// <generic data location>/lumen-quill, where the drive folders live.
QString dataFolder();

// The local folder that stands for a drive letter (either case): .../lumen-quill/drive_c.
QString driveFolder(QChar driveLetter);

// Where a fixed Windows path leads, found beneath a descriptor of its drive folder.
struct Location
{
    WalkOutcome outcome = WalkOutcome::NotADrivePath;
    int error = 0;     // the errno value, for Failed
    QString localPath; // the path as spelt on disk, for messages; empty when it leads out
    UniqueFd folder;   // for Found: the folder that holds the entry
    QByteArray name;   // for Found: the entry's name in it, every link followed
    QList<QString> createdFolders; // with MissingFolders::Create: those made, from the top down
};

// What locate does with a folder on the way that is not there.
enum class MissingFolders {
    Report, // the walk stops: FolderMissing
    Create, // it is made (the drive folder and the data folder too)
};

// Finds the folder of a path's last part and that part's name in it, never leaving the drive
// folder whatever is switched on disk meanwhile.
Location locate(const WindowsPath& path, MissingFolders missing = MissingFolders::Report);
Location locate(const QString& windowsPath, MissingFolders missing = MissingFolders::Report);

// Whether a location is refused outright: the path is no drive path, or leads out of its drive.
inline bool isRefused(const Location& location)
{
    return location.outcome == WalkOutcome::NotADrivePath ||
           location.outcome == WalkOutcome::LeadsOut;
}

// The local path for a fixed Windows path; nothing when the path is not an absolute drive path,
// climbs with ".." or "." or would lead out of its drive folder through a symbolic link.
std::optional<QString> toLocal(const QString& windowsPath);

} // namespace DrivePaths

} // namespace lq

#pragma once

#include <QString>
#include <optional>

namespace lq {

// The program's fixed Windows paths ("C:\lumenquill\vector\aboutus.txt") and where they live.
//
// On Windows a path is used as it stands. Elsewhere the drive letter maps to the folder
// drive_<letter> inside the "lumen-quill" folder of the user's data location, and every part of
// the path below it is matched without regard to letter case against what exists, as on the file
// system the templates were made for. A part that does not exist yet keeps its spelling.
namespace DrivePaths {

// <generic data location>/lumen-quill, where the drive folders live.
QString dataFolder();

// The local folder that stands for a drive letter (either case): .../lumen-quill/drive_c.
QString driveFolder(QChar driveLetter);

// The local path for a fixed Windows path; nothing when the path is not an absolute drive path,
// climbs with ".." or "." or would lead out of its drive folder through a symbolic link.
std::optional<QString> toLocal(const QString& windowsPath);

// True when a local path, with every symbolic link along it followed (dangling ones too), lies
// inside one of the drive folders.
bool isInsideDriveFolders(const QString& localPath);

} // namespace DrivePaths

} // namespace lq

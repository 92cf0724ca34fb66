#pragma once

#include <QString>
#include <functional>

namespace lq {

enum class SaveError {
    None,
    InvalidPath,      // not one of the program's drive paths
    FolderMissing,    // the template folder does not exist (it is never created)
    NotAFile,         // a folder, a named pipe, a device... stands where the content file should be
    FileReadOnly,     // the content file's write permission is off
    PermissionDenied, // the system refused the write
    DiskFull,
    Unrepresentable, // a character the ANSI code page cannot hold
    WriteFailed,     // anything else the system reported
};

struct SaveResult
{
    SaveError error = SaveError::None;
    QString localPath; // where the file is on this machine (empty if the path could not be mapped)
    QString reason;    // plain words for the user; empty on success

    bool ok() const { return error == SaveError::None; }
    explicit operator bool() const { return ok(); }
};

// Replaces the content file at a fixed Windows path with the text and a carriage return and line
// feed, in the ANSI code page. The file is written whole or not at all: the new bytes go to a
// temporary file beside it, which is flushed to disk and then renamed over the old one, so a
// failure at any point leaves the earlier text as it was. Every step is taken relative to a
// descriptor of the folder found beneath the drive folder, so that no symbolic link switched
// meanwhile can lead the save out of it. The folder is never created, and a read-only file is
// never replaced. Where the folder takes no new file but the content file itself may be written
// (a template folder an administrator laid out), the text is written into the file in place,
// after taking the room it needs, so that a full disk still leaves the earlier text.
SaveResult SaveContentFile(const QString& path, const QString& text);

// The points of a save between the temporary file and its rename over the content file.
enum class SaveStep {
    TemporaryCreated, // the temporary file exists and is empty
    TextWritten,      // the bytes are in the temporary file, not yet forced to disk
    TextOnDisk,       // the bytes are on disk; the rename comes next
};

// For tests: called at every step of every save. A hook may change the file system, or return an
// errno value to make the save fail there as if the system had reported that error; 0 goes on.
// An empty function removes the hook.
using SaveStepHook = std::function<int(SaveStep)>;
void setSaveStepHook(SaveStepHook hook);

} // namespace lq

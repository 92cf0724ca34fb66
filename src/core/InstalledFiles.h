#pragma once

#include <QString>

namespace lq {

enum class InstalledKind {
    Data,      // share/lumen-quill: the SWF player, the template movies, the tutorial
    Libraries, // lib/lumen-quill: the shared libraries and the player module
};

// Where the program's own files of a kind lie, found from the executable's folder: beside the
// executable in the build tree ("share/lumen-quill"), one level up under an install prefix
// ("../share/lumen-quill"). Empty when neither exists.
QString installedFolder(const QString& executableFolder, InstalledKind kind);

// The same, or where neither exists, where the build tree would have it: a path that a message
// can name.
QString expectedInstalledFolder(const QString& executableFolder, InstalledKind kind);

// The player module's file in a folder, without the system's prefix and suffix (the plugin loader
// adds them).
QString playerModuleIn(const QString& folder);

} // namespace lq

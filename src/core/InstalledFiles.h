#pragma once

#include <QString>

namespace lq {

// Where the program's own files lie, found from the executable's folder: "<kind>/lumen-quill"
// beside the executable in the build tree, "../<kind>/lumen-quill" when installed under a prefix
// (kind is "share" for data, "lib" for modules). Empty when neither exists.
QString installedFolder(const QString& executableFolder, const char* kind);

} // namespace lq

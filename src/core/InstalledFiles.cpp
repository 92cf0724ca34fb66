#include "InstalledFiles.h"

#include <QDir>
#include <QFileInfo>

namespace lq {

QString installedFolder(const QString& executableFolder, const char* kind)
{
    for (const char* up : {"", "../"}) {
        const QString candidate =
            QDir::cleanPath(executableFolder + QLatin1Char('/') + QLatin1String(up) +
                            QLatin1String(kind) + QStringLiteral("/lumen-quill"));
        if (QFileInfo(candidate).isDir())
            return candidate;
    }
    return {};
}

} // namespace lq

#include "Browser.h"

#include <QDesktopServices>
#include <QProcess>
#include <QStandardPaths>
#include <QUrl>

namespace lq {

bool SystemBrowser::open(const QString& localPath)
{
    const QUrl url = QUrl::fromLocalFile(localPath);
#if defined(Q_OS_UNIX) && !defined(Q_OS_MACOS)
    // Started detached: the opener and the browser it starts are not our children, so neither is
    // ended with the program.
    const QString opener = QStandardPaths::findExecutable(QStringLiteral("xdg-open"));
    if (!opener.isEmpty())
        return QProcess::startDetached(opener, {url.toString(QUrl::FullyEncoded)});
#endif
    return QDesktopServices::openUrl(url);
}

} // namespace lq

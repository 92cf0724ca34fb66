#include "Browser.h"

#include "ProgramEnvironment.h"

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
    // ended with the program. They get the user's environment, without the settings this program
    // made for its own preview.
    const QString opener = QStandardPaths::findExecutable(QStringLiteral("xdg-open"));
    if (!opener.isEmpty()) {
        QProcess process;
        process.setProgram(opener);
        process.setArguments({url.toString(QUrl::FullyEncoded)});
        process.setProcessEnvironment(ProgramEnvironment::forOtherPrograms());
        return process.startDetached();
    }
#endif
    return QDesktopServices::openUrl(url);
}

} // namespace lq

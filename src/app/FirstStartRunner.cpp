#include "FirstStartRunner.h"

#include "FirstStart.h"
#include "InstalledFiles.h"
#include "Messages.h"

namespace lq {

void runFirstStart(const QString& executableFolder)
{
    const FirstStart::Outcome outcome =
        FirstStart::layOut(installedFolder(executableFolder, InstalledKind::Data));
    if (outcome.problems.isEmpty())
        return;
    Messages::show(QStringLiteral("Lumen Quill could not prepare all of its folders:\n%1")
                       .arg(outcome.problems.join(QLatin1Char('\n'))));
}

} // namespace lq

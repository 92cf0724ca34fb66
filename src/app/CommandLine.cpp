#include "CommandLine.h"

#include "FirstStart.h"
#include "InstallLayout.h"
#include "InstalledFiles.h"
#include "Publishing.h"
#include "UploadCommand.h"

#include <QCommandLineParser>
#include <QCoreApplication>
#include <QDir>
#include <QTextStream>
#include <string_view>

namespace lq {

namespace {

constexpr int kFailed = 1;
constexpr int kUsage = 2;

QTextStream& out()
{
    static QTextStream stream(stdout);
    return stream;
}

QTextStream& err()
{
    static QTextStream stream(stderr);
    return stream;
}

int usageError(const QString& message)
{
    err() << message << QStringLiteral(" (see lumenquill --help)") << Qt::endl;
    return kUsage;
}

int publish(PublicationForm form, const QStringList& arguments)
{
    const QString dataFolder =
        installedFolder(QCoreApplication::applicationDirPath(), InstalledKind::Data);
    if (dataFolder.isEmpty()) {
        err() << QStringLiteral("Cannot publish: the program's files are missing beside %1.")
                     .arg(QDir::toNativeSeparators(QCoreApplication::applicationDirPath()))
              << Qt::endl;
        return kFailed;
    }
    // As at the program's start: on a machine without the template folders, lay them out first.
    const FirstStart::Outcome firstStart = FirstStart::layOut(dataFolder);
    for (const QString& problem : firstStart.problems)
        err() << problem << Qt::endl;

    const PublishOutcome outcome =
        publishTemplate({arguments.at(0), form, arguments.at(1), dataFolder});
    if (!outcome.ok) {
        err() << outcome.error << Qt::endl;
        return kFailed;
    }
    out() << QStringLiteral("Published %1 to %2")
                 .arg(arguments.at(0), QDir::toNativeSeparators(outcome.written))
          << Qt::endl;
    for (const QString& missing : outcome.missingContentFiles)
        out() << QStringLiteral("Not there, published without it: %1").arg(missing) << Qt::endl;
    return 0;
}

} // namespace

bool isCommandLineRequest(int argc, char* argv[])
{
    for (int i = 1; i < argc; ++i) {
        const std::string_view argument(argv[i]);
        if (argument.starts_with("--publish") || argument == "--upload")
            return true;
        for (const char* option : {"--help", "-h", "--help-all", "--version", "-v"}) {
            if (argument == option)
                return true;
        }
    }
    return false;
}

int runCommandLine(int argc, char* argv[])
{
    QCoreApplication app(argc, argv);
    QCoreApplication::setApplicationName(QStringLiteral("lumenquill"));
    QCoreApplication::setOrganizationName(QLatin1String(InstallLayout::folderName));
    QCoreApplication::setApplicationVersion(QStringLiteral(LQ_VERSION));

    QCommandLineParser parser;
    parser.setApplicationDescription(
        QStringLiteral("Lumen Quill puts the texts of your website into animated templates.\n"
                       "Without options it opens its window. Publishing needs no display.\n"
                       "Templates: %1")
            .arg(publishableEffects().join(QStringLiteral(", "))));
    parser.addHelpOption();
    parser.addVersionOption();
    const QCommandLineOption folder(
        QStringLiteral("publish"),
        QStringLiteral("Publish the template EFFECT with its saved texts as a web folder FOLDER "
                       "(index.html, the movie, its texts and the player) for any web host."));
    const QCommandLineOption page(
        QStringLiteral("publish-file"),
        QStringLiteral("Publish the template EFFECT as one page FILE.html that plays from a "
                       "disk, a mail or any web host."));
    parser.addOption(folder);
    parser.addOption(page);
    addUploadOptions(parser);
    parser.addPositionalArgument(QStringLiteral("EFFECT"), QStringLiteral("The template, as the "
                                                                          "effect list names it."));
    parser.addPositionalArgument(QStringLiteral("TARGET"),
                                 QStringLiteral("The folder or the .html file to write."));
    if (!parser.parse(QCoreApplication::arguments()))
        return usageError(parser.errorText());
    if (parser.isSet(QStringLiteral("help")) || parser.isSet(QStringLiteral("help-all")))
        parser.showHelp(0);
    if (parser.isSet(QStringLiteral("version")))
        parser.showVersion();
    if (isUploadRequested(parser))
        return runUploadCommand(parser);
    if (parser.isSet(folder) == parser.isSet(page))
        return usageError(QStringLiteral("Give either --publish or --publish-file."));
    if (parser.positionalArguments().size() != 2)
        return usageError(QStringLiteral("Give the template and where to publish it: "
                                         "lumenquill %1 EFFECT %2")
                              .arg(parser.isSet(folder) ? QStringLiteral("--publish")
                                                        : QStringLiteral("--publish-file"),
                                   parser.isSet(folder) ? QStringLiteral("FOLDER")
                                                        : QStringLiteral("FILE.html")));
    return publish(parser.isSet(folder) ? PublicationForm::WebFolder : PublicationForm::SinglePage,
                   parser.positionalArguments());
}

} // namespace lq

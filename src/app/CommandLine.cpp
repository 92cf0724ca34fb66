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
#include <algorithm>

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

// The arguments without Qt's own options and their values (-platform offscreen, -style=Fusion,
// --reverse, ...), which QApplication takes for itself: what is left is the program's. X11's old
// -title is left out: --title names a published page (-qwindowtitle still sets the window's).
QStringList withoutQtOptions(const QStringList& arguments)
{
    static const QStringList withValue = {"platform",
                                          "platformpluginpath",
                                          "platformtheme",
                                          "plugin",
                                          "qwindowgeometry",
                                          "geometry",
                                          "qwindowtitle",
                                          "qwindowicon",
                                          "icon",
                                          "session",
                                          "display",
                                          "name",
                                          "visual",
                                          "style",
                                          "stylesheet"};
    static const QStringList alone = {"reverse",     "testability", "nograb", "dograb",
                                      "widgetcount", "qdevel",      "qdebug"};
    static const QStringList joined = {"style=", "stylesheet=", "qmljsdebugger="};
    QStringList left = arguments.mid(0, 1);
    for (qsizetype i = 1; i < arguments.size(); ++i) {
        QStringView name(arguments.at(i));
        if (!name.startsWith(u'-')) {
            left << arguments.at(i);
            continue;
        }
        name = name.mid(name.startsWith(u"--") ? 2 : 1); // Qt takes either
        const bool isJoined = std::any_of(joined.cbegin(), joined.cend(),
                                          [name](const QString& p) { return name.startsWith(p); });
        if (withValue.contains(name))
            ++i;
        else if (!alone.contains(name) && !isJoined)
            left << arguments.at(i);
    }
    return left;
}

// Qt names the program in "Usage:" by the path it was started with; users type lumenquill.
QString helpText(const QCommandLineParser& parser)
{
    QString text = parser.helpText();
    const QString started = QStringLiteral("Usage: ") + QCoreApplication::arguments().constFirst();
    if (text.startsWith(started))
        text.replace(0, started.size(), QStringLiteral("Usage: lumenquill"));
    return text + QStringLiteral("\nQt's own options (-platform, -style, ...) are taken too.\n");
}

int usageError(const QString& message)
{
    err() << message << QStringLiteral(" (see lumenquill --help)") << Qt::endl;
    return kUsage;
}

// "either --publish or --publish-file", or "one of --a, --b or --c".
QString alternatives(const QList<PublicationPlace>& places)
{
    QStringList options;
    for (const PublicationPlace& place : places)
        options << QStringLiteral("--") + place.option;
    const QString last = options.takeLast();
    return (options.size() == 1 ? QStringLiteral("either ") : QStringLiteral("one of ")) +
           options.join(QStringLiteral(", ")) + QStringLiteral(" or ") + last;
}

// An option for each place to publish, and the two arguments that every place takes.
void addPlaces(QCommandLineParser& parser)
{
    QStringList targetNouns;
    for (const PublicationPlace& place : publicationPlaces()) {
        parser.addOption(QCommandLineOption(place.option, place.optionHelp));
        targetNouns << place.targetNoun;
    }
    parser.addPositionalArgument(QStringLiteral("EFFECT"), QStringLiteral("The template, as the "
                                                                          "effect list names it."));
    parser.addPositionalArgument(
        QStringLiteral("TARGET"),
        QStringLiteral("The %1 to write.").arg(targetNouns.join(QStringLiteral(" or the "))));
}

// The one place whose option is given; null when none is, or more than one.
const PublicationPlace* chosenPlace(const QCommandLineParser& parser)
{
    const PublicationPlace* chosen = nullptr;
    for (const PublicationPlace& place : publicationPlaces()) {
        if (!parser.isSet(place.option))
            continue;
        if (chosen)
            return nullptr;
        chosen = &place;
    }
    return chosen;
}

int publish(const PublicationPlace& place, const QStringList& arguments, const PageOptions& page)
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

    const PublishOutcome outcome = publishTemplate({.effectName = arguments.at(0),
                                                    .form = place.form,
                                                    .target = arguments.at(1),
                                                    .dataFolder = dataFolder,
                                                    .pageTitle = page.title,
                                                    .language = page.language});
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
    QStringList arguments;
    for (int i = 0; i < argc; ++i)
        arguments << QString::fromLocal8Bit(argv[i]);
    return withoutQtOptions(arguments).size() > 1;
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
    addPlaces(parser);
    const QCommandLineOption title(
        QStringLiteral("title"),
        QStringLiteral("The page's title, where the template has no title text of its own "
                       "(otherwise the first words of its first text)."),
        QStringLiteral("TEXT"));
    const QCommandLineOption language(
        QStringLiteral("lang"),
        QStringLiteral("The language of the texts, such as en or pt-BR (otherwise your own)."),
        QStringLiteral("TAG"));
    parser.addOption(title);
    parser.addOption(language);
    addUploadOptions(parser);
    if (!parser.parse(withoutQtOptions(QCoreApplication::arguments())))
        return usageError(parser.errorText());
    if (parser.isSet(QStringLiteral("help")) || parser.isSet(QStringLiteral("help-all"))) {
        out() << helpText(parser) << Qt::flush;
        return 0;
    }
    if (parser.isSet(QStringLiteral("version")))
        parser.showVersion();
    const PublicationPlace* chosen = chosenPlace(parser);
    if (!chosen)
        return usageError(QStringLiteral("Give %1.").arg(alternatives(publicationPlaces())));
    if (parser.isSet(language) && !isLanguageTag(parser.value(language)))
        return usageError(
            QStringLiteral("\u201C%1\u201D is not a language tag such as en or pt-BR.")
                .arg(parser.value(language)));
    const PageOptions page{.title = parser.value(title), .language = parser.value(language)};
    if (chosen->targetKind == TargetKind::Host)
        return runUploadCommand(parser, page);
    if (parser.positionalArguments().size() != 2)
        return usageError(QStringLiteral("Give the template and where to publish it: "
                                         "lumenquill --%1 EFFECT %2")
                              .arg(chosen->option, chosen->targetValue));
    return publish(*chosen, parser.positionalArguments(), page);
}

} // namespace lq

#pragma once

#include <QList>
#include <QString>
#include <QStringList>

namespace lq {

struct PageContent;
struct PublishRequest;

// What a template is published as; each value is the id of one row of publicationPlaces().
enum class PublicationForm {
    WebFolder,  // a folder for any static host: index.html, the movie, its texts, the player
    SinglePage, // one self-contained NAME.html that plays from file://, a mail or any host
    WebHost,    // the web folder, sent to the user's web host and updated there in place
};

// What the target of a place is, which decides how the user names it.
enum class TargetKind {
    Folder, // a local folder, chosen with a folder dialog
    File,   // a local file, chosen with a save dialog
    Host,   // a URL of a remote site; nothing to browse for
};

// What a builder did: where the publication now is (a path or a URL), or, when `failure` is not
// empty, why it is not there, as the words after "Cannot publish NAME: ".
struct Built
{
    QString written;
    QString failure;
};

// Writes (or sends) a template's movie and texts, read from the drive, to the request's target.
using PublicationBuilder = Built (*)(const PublishRequest& request, const PageContent& content);

// One place to publish: everything the command line, the dialog and publishing know about it.
struct PublicationPlace
{
    PublicationForm form;
    TargetKind targetKind;

    // The command line: `--option EFFECT TARGET`.
    QString option;      // without the dashes: "publish"
    QString optionHelp;  // what --help says of it
    QString targetValue; // the target's name in the usage line: "FOLDER"
    QString targetNoun;  // what TARGET is for this place, in --help: "the folder"

    // The Publish dialog.
    QString label;         // its radio button's text, with the mnemonic
    QString controlName;   // that button's objectName
    QString browseCaption; // the title of the dialog behind "Browse…"
    QString browseFilter;  // for a File target: the save dialog's name filter
    QString publishedText; // the success message: %1 the template, %2 where it now is
    QString openAction;    // the button of that message that shows the publication

    // The target proposed for a template until the user names another.
    QString (*defaultTarget)(const QString& effectName, const QString& documentsFolder);
    PublicationBuilder build;
};

// Every place to publish, in the order the dialog and --help show them.
const QList<PublicationPlace>& publicationPlaces();

// The row of a form; every form has one.
const PublicationPlace& placeOf(PublicationForm form);

} // namespace lq

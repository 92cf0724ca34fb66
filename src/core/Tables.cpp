#include "Tables.h"

#include <QHash>

namespace lq {

namespace {

// Six boxes with a button under each: a tall column.
constexpr QSize kColumnWindow(360, 460);
// The preloader's single box: a wide, low window.
constexpr QSize kSingleBoxWindow(420, 170);
// A wizard page: 6000 by 7200 twips.
constexpr QSize kWizardPage(400, 480);

// The single-page editors stand to the right of the main window, staggered so that their
// captions stay readable when several are open.
constexpr QPoint editorPosition(int index)
{
    return QPoint(600, 40) + QPoint(28, 16) * index;
}

// Each wizard page opens a little right of and below the one before it, so that it covers nearly
// all of it and the pages read as one stack.
constexpr QPoint wizardPosition(int page)
{
    return QPoint(140, 50) + QPoint(14, 28) * page;
}

// Rows of a table by one of their keys, which must be unique.
template <typename Row>
QHash<QString, const Row*> indexBy(const QList<Row>& rows, QString Row::*key)
{
    QHash<QString, const Row*> index;
    for (const Row& row : rows)
        index.insert(row.*key, &row);
    return index;
}

// Each content file learns the window that holds it and the template it belongs to.
QList<EditorWindow> withContentFilesOwned(QList<EditorWindow> windows)
{
    for (EditorWindow& window : windows) {
        for (ContentFile& file : window.contentFiles) {
            file.effectName = window.effectName;
            file.window = window.name;
        }
    }
    return windows;
}

// The folder of each movie, with its trailing backslash.
QList<Template> withFolders(QList<Template> rows)
{
    for (Template& row : rows)
        row.folder = row.movie.left(row.movie.lastIndexOf(QLatin1Char('\\')) + 1);
    return rows;
}

// One row per window: the window, where it opens, and each of its boxes with the button that
// saves it and the file it writes.
QList<EditorWindow> editorRows()
{
    const QString saveForm =
        QStringLiteral("intro text for %1 has now been save you may now click preview");
    const QString wizardSaved =
        QStringLiteral("intro text for aboutus has now been saved you may now click preview");
    return {
        {
            .name = "frmvector",
            .effectName = "Vector",
            .caption = "vector intro options",
            .confirmation = saveForm.arg("VECTOR"),
            .iconKey = "vector",
            .placement = {.size = kColumnWindow, .position = editorPosition(0)},
            .labels = {{"lblvector", "Enter vector text"}},
            .contentFiles =
                {
                    {.path = "C:\\lumenquill\\vector\\aboutus.txt",
                     .defaultLine = "aboutus=enter text here",
                     .textBox = "txt2",
                     .saveButton = "cmdsavevector",
                     .buttonCaption = "save text file",
                     .section = "About us"},
                    {.path = "C:\\lumenquill\\vector\\clients.txt",
                     .defaultLine = "clients=enter text here",
                     .textBox = "txtclienz",
                     .saveButton = "cmdclienz",
                     .buttonCaption = "save client information here",
                     .section = "Clients"},
                    {.path = "C:\\lumenquill\\vector\\contact.txt",
                     .defaultLine = "contact=enter your information here",
                     .textBox = "txtconzat",
                     .saveButton = "cmdconti",
                     .buttonCaption = "save contact information",
                     .section = "Contact"},
                    {.path = "C:\\lumenquill\\vector\\ourvision.txt",
                     .defaultLine = "ourvision=enter text here",
                     .textBox = "txtnisiov",
                     .saveButton = "cmdvisnoz",
                     .buttonCaption = "save ourvison information",
                     .section = "Our vision"},
                    {.path = "C:\\lumenquill\\vector\\products1.txt",
                     .defaultLine = "products1=enter text here",
                     .textBox = "txtprodec",
                     .saveButton = "cmdprodec",
                     .buttonCaption = "save product information",
                     .section = "Products"},
                    {.path = "C:\\lumenquill\\vector\\services.txt",
                     .defaultLine = "services=enter text here",
                     .textBox = "txtservik",
                     .saveButton = "cmdservik",
                     .buttonCaption = "save services information",
                     .section = "Services"},
                },
        },
        {
            .name = "frmFlowers",
            .effectName = "flower",
            .caption = "Flowers Intro Text",
            .confirmation = saveForm.arg("Flowers"),
            .iconKey = "flowers",
            .placement = {.size = kColumnWindow, .position = editorPosition(1)},
            .contentFiles =
                {
                    {.path = "C:\\lumenquill\\flowers\\intro.txt",
                     .defaultLine = "intro=Enter Text Here",
                     .textBox = "txtFlower",
                     .saveButton = "CmdFlower",
                     .buttonCaption = "Save Intro Text",
                     .section = "Intro"},
                    {.path = "C:\\lumenquill\\flowers\\aboutus.txt",
                     .defaultLine = "Aboutus=enter text here",
                     .textBox = "txtabut",
                     .saveButton = "cmdabout4",
                     .buttonCaption = "save about us text",
                     .section = "About us"},
                    {.path = "C:\\lumenquill\\flowers\\ourvision.txt",
                     .defaultLine = "ourvision=enter text here",
                     .textBox = "txtvido",
                     .saveButton = "cmdvisio4",
                     .buttonCaption = "save our vision text",
                     .section = "Our vision"},
                    {.path = "C:\\lumenquill\\flowers\\clients.txt",
                     .defaultLine = "clients=enter text here",
                     .textBox = "txtclienz",
                     .saveButton = "cmdclients",
                     .buttonCaption = "save clients text",
                     .section = "Clients"},
                    {.path = "C:\\lumenquill\\flowers\\services.txt",
                     .defaultLine = "services=enter text here",
                     .textBox = "txtsurv",
                     .saveButton = "cmdserv",
                     .buttonCaption = "save services text",
                     .section = "Services"},
                    {.path = "C:\\lumenquill\\flowers\\contact.txt",
                     .defaultLine = "contact=enter text here",
                     .textBox = "txtrcontact",
                     .saveButton = "cmdcliyents",
                     .buttonCaption = "save contact text",
                     .section = "Contact"},
                },
        },
        {
            .name = "frm3d",
            .effectName = "3d",
            .caption = "3D intro Text",
            .confirmation = saveForm.arg("3d"),
            .placement = {.size = kColumnWindow, .position = editorPosition(2)},
            .contentFiles =
                {
                    {.path = "C:\\lumenquill\\3d\\aboutus.txt",
                     .defaultLine = "aboutus1=Enter text here",
                     .textBox = "txt3d",
                     .saveButton = "cmd3dsave",
                     .buttonCaption = "Save Intro Text",
                     .section = "About us"},
                    {.path = "C:\\lumenquill\\3d\\clients.txt",
                     .defaultLine = "clients1=enter text here",
                     .textBox = "txtclients12",
                     .saveButton = "cmdclients12",
                     .buttonCaption = "save client information",
                     .section = "Clients"},
                    {.path = "C:\\lumenquill\\3d\\contactus.txt",
                     .defaultLine = "contactus1=enter text here",
                     .textBox = "txtcontactus1",
                     .saveButton = "cmdcontactus1",
                     .buttonCaption = "save contact information",
                     .section = "Contact us"},
                    {.path = "C:\\lumenquill\\3d\\ourvision.txt",
                     .defaultLine = "ourvision1=enter text here",
                     .textBox = "txtourvision1",
                     .saveButton = "cmdourvision1",
                     .buttonCaption = "save ourvision information",
                     .section = "Our vision"},
                    {.path = "C:\\lumenquill\\3d\\products.txt",
                     .defaultLine = "products1=enter text here",
                     .textBox = "txtproducts1",
                     .saveButton = "cmdproducts1",
                     .buttonCaption = "save product information",
                     .section = "Products"},
                    {.path = "C:\\lumenquill\\3d\\services.txt",
                     .defaultLine = "services1=enter text here",
                     .textBox = "txtservices1",
                     .saveButton = "cmdservices1",
                     .buttonCaption = "save services information",
                     .section = "Services"},
                },
        },
        {
            .name = "frmcube",
            .effectName = "cube",
            .caption = "Cube information",
            .confirmation = saveForm.arg("cube"),
            .placement = {.size = kColumnWindow, .position = editorPosition(3)},
            .contentFiles =
                {
                    {.path = "C:\\lumenquill\\cube\\aboutus1.txt",
                     .defaultLine = "aboutus2=enter text here",
                     .textBox = "txtaboutcube",
                     .saveButton = "cmdcubeaboutus",
                     .buttonCaption = "save about us information",
                     .section = "About us"},
                    {.path = "C:\\lumenquill\\cube\\Clients.txt",
                     .defaultLine = "Clients1=enter text here",
                     .textBox = "txtClients1",
                     .saveButton = "cmdClients1",
                     .buttonCaption = "save client information",
                     .section = "Clients"},
                    {.path = "C:\\lumenquill\\cube\\ourvision.txt",
                     .defaultLine = "ourvision2=enter text here",
                     .textBox = "txtourvision2",
                     .saveButton = "cmdourvision2",
                     .buttonCaption = "save ourvision information",
                     .section = "Our vision"},
                    {.path = "C:\\lumenquill\\cube\\products.txt",
                     .defaultLine = "products1=enter text here",
                     .textBox = "txtproducts1",
                     .saveButton = "cmdproducts1",
                     .buttonCaption = "save product information",
                     .section = "Products"},
                    {.path = "C:\\lumenquill\\cube\\services.txt",
                     .defaultLine = "services1=enter text here",
                     .textBox = "txtservices1",
                     .saveButton = "cmdservices1",
                     .buttonCaption = "save services information",
                     .section = "Services"},
                    {.path = "C:\\lumenquill\\cube\\title.txt",
                     .defaultLine = "title2=enter title of website here",
                     .textBox = "txttitle2",
                     .saveButton = "cmdtitle2",
                     .buttonCaption = "save title of website",
                     .section = "Website title"},
                },
        },
        {
            .name = "frmspiro",
            .effectName = "spirograph",
            .caption = "Enter text for spirograph intro",
            .confirmation =
                "intro text for spirograph has now been  set  you may now click preview",
            .iconKey = "spiro",
            .placement = {.size = kColumnWindow, .position = editorPosition(4)},
            .contentFiles =
                {
                    {.path = "C:\\lumenquill\\spirograph\\aboutus.txt",
                     .defaultLine = "aboutus2= enter text here",
                     .textBox = "txtspiro",
                     .saveButton = "cmdspiro",
                     .buttonCaption = "Save Text",
                     .section = "About us"},
                    {.path = "C:\\lumenquill\\spirograph\\Clients.txt",
                     .defaultLine = "Clients1=enter text here",
                     .textBox = "txtclientzu",
                     .saveButton = "cmdclientzu",
                     .buttonCaption = "save client information",
                     .section = "Clients"},
                    {.path = "C:\\lumenquill\\spirograph\\Contactus.txt",
                     .defaultLine = "Contactus1=enter contact information here",
                     .textBox = "txtContactuszu",
                     .saveButton = "cmdContactuszu",
                     .buttonCaption = "save contact information",
                     .section = "Contact us"},
                    {.path = "C:\\lumenquill\\spirograph\\intro.txt",
                     .defaultLine = "intro2=enter text here",
                     .textBox = "txtintrozu",
                     .saveButton = "cmdintrozu",
                     .buttonCaption = "save intro information",
                     .section = "Intro"},
                    {.path = "C:\\lumenquill\\spirograph\\Prodcuts.txt",
                     .defaultLine = "Prodcuts1=enter text here",
                     .textBox = "txtProdcuts1",
                     .saveButton = "cmdProdcuts1",
                     .buttonCaption = "save product information",
                     .section = "Products"},
                    {.path = "C:\\lumenquill\\spirograph\\Services.txt",
                     .defaultLine = "Services1=enter text here",
                     .textBox = "txtServiceszu",
                     .saveButton = "cmdServiceszu",
                     .buttonCaption = "save services information",
                     .section = "Services"},
                },
        },
        {
            .name = "frmmatrix",
            .effectName = "Matrix",
            .caption = "Enter text for Matrix intro",
            .confirmation = saveForm.arg("matrix"),
            .placement = {.size = kColumnWindow, .position = editorPosition(5)},
            .contentFiles =
                {
                    {.path = "C:\\lumenquill\\matrix\\aboutus.txt",
                     .defaultLine = "aboutus= enter text here",
                     .textBox = "txtmatrix",
                     .saveButton = "cmdmatrix",
                     .buttonCaption = "Save text",
                     .section = "About us"},
                    {.path = "C:\\lumenquill\\matrix\\title.txt",
                     .defaultLine = "title=enter text here",
                     .textBox = "txttitley",
                     .saveButton = "cmdtitley",
                     .buttonCaption = "save title information",
                     .section = "Title"},
                    {.path = "C:\\lumenquill\\matrix\\services.txt",
                     .defaultLine = "services=enter text here",
                     .textBox = "txtservbob",
                     .saveButton = "cmdservbob",
                     .buttonCaption = "save services information",
                     .section = "Services"},
                    {.path = "C:\\lumenquill\\matrix\\clients.txt",
                     .defaultLine = "clients=enter text here",
                     .textBox = "txtclent",
                     .saveButton = "cmdclent",
                     .buttonCaption = "save clients information",
                     .section = "Clients"},
                    {.path = "C:\\lumenquill\\matrix\\contactus.txt",
                     .defaultLine = "contactus=enter text here",
                     .textBox = "txtuscont",
                     .saveButton = "cmduscont",
                     .buttonCaption = "save contact information",
                     .section = "Contact us"},
                    {.path = "C:\\lumenquill\\matrix\\products.txt",
                     .defaultLine = "products=enter text here",
                     .textBox = "txtproone",
                     .saveButton = "cmdproone",
                     .buttonCaption = "save product information",
                     .section = "Products"},
                },
        },
        {
            .name = "frmpre",
            .effectName = "Preloader",
            .caption = "Preloader Intro Text",
            .confirmation = "intro text for preloader has now been saved you may now click preview",
            .iconKey = "spiro",
            .placement = {.size = kSingleBoxWindow, .centred = true},
            .contentFiles =
                {
                    {.path = "c:\\lumen quill\\preloader.txt",
                     .defaultLine = "pre=enter text here",
                     .textBox = "txtpre",
                     .saveButton = "cmdpre",
                     .buttonCaption = "Save Intro Text",
                     .section = "Intro"},
                },
        },
        // The fireworks wizard, page by page.
        {
            .name = "frm2fireworks",
            .effectName = "Fireworks",
            .caption = "Enter Text for fireworks effect",
            .confirmation = wizardSaved,
            .iconKey = "fireworks",
            .placement = {.size = kWizardPage, .position = wizardPosition(0)},
            .wizardStep = WizardStep{.button = "cmdnext",
                                     .caption = "Proceed to next field",
                                     .nextWindow = "frmvision2"},
            .labels = {{"lbl7", "Enter Website Information"}, {"lbl3", "Enter Website Text"}},
            .contentFiles =
                {
                    {.path = "C:\\lumenquill\\Fireworks\\aboutus.txt",
                     .defaultLine = "aboutus=entertexthere",
                     .textBox = "txtfire",
                     .saveButton = "cmd4",
                     .buttonCaption = "Save Text File",
                     .section = "About us"},
                },
        },
        {
            .name = "frmvision2",
            .effectName = "Fireworks",
            .caption = "Ourvision text for fireworks",
            .confirmation = wizardSaved,
            .placement = {.size = kWizardPage, .position = wizardPosition(1)},
            .wizardStep = WizardStep{.button = "Command1",
                                     .caption = "Proceed to next field",
                                     .nextWindow = "frmservices1"},
            .contentFiles =
                {
                    {.path = "C:\\lumenquill\\Fireworks\\ourvision.txt",
                     .defaultLine = "ourvision=enter text here",
                     .textBox = "txtvision",
                     .saveButton = "cmdvisionsave",
                     .buttonCaption = "save ourvision info",
                     .section = "Our vision"},
                },
        },
        {
            .name = "frmservices1",
            .effectName = "Fireworks",
            .caption = "services",
            .confirmation = wizardSaved,
            .placement = {.size = kWizardPage, .position = wizardPosition(2)},
            .wizardStep = WizardStep{.button = "cmdnextservice",
                                     .caption = "next",
                                     .nextWindow = "frmclients2"},
            .contentFiles =
                {
                    {.path = "C:\\lumenquill\\Fireworks\\services.txt",
                     .defaultLine = "services= enter text here",
                     .textBox = "txtservice4",
                     .saveButton = "cmdservicesave",
                     .buttonCaption = "save information",
                     .section = "Services"},
                },
        },
        {
            .name = "frmclients2",
            .effectName = "Fireworks",
            .caption = "Clients",
            .confirmation = wizardSaved,
            .placement = {.size = kWizardPage, .position = wizardPosition(3)},
            .wizardStep =
                WizardStep{.button = "cmdnextfield", .caption = "next", .nextWindow = "frmtitle"},
            .contentFiles =
                {
                    {.path = "C:\\lumenquill\\Fireworks\\clients.txt",
                     .defaultLine = "client1=enter text here",
                     .textBox = "txtclient",
                     .saveButton = "cmdclientsave",
                     .buttonCaption = "save information ",
                     .section = "Clients"},
                },
        },
        {
            .name = "frmtitle",
            .effectName = "Fireworks",
            .caption = "website title",
            .confirmation = wizardSaved,
            .placement = {.size = kWizardPage, .position = wizardPosition(4)},
            .wizardStep = WizardStep{.button = "cmdclose", .caption = "end wizard"},
            .contentFiles =
                {
                    {.path = "C:\\lumenquill\\Fireworks\\title.txt",
                     .defaultLine = "title=entercompanyname",
                     .textBox = "txtfiretitle",
                     .saveButton = "cmdsavefire",
                     .buttonCaption = "save title",
                     .section = "Website title"},
                },
        },
    };
}

} // namespace

const QList<Template>& templates()
{
    static const QList<Template> table = withFolders({
        {.effectName = "Fireworks",
         .movie = "C:\\lumenquill\\Fireworks\\Fireworks.swf",
         .editor = "frm2fireworks",
         .siteTitleVariable = "title"},
        {.effectName = "Vector",
         .movie = "C:\\lumenquill\\vector\\vector.swf",
         .editor = "frmvector"},
        {.effectName = "3d", .movie = "C:\\lumenquill\\3d\\3d.swf", .editor = "frm3d"},
        {.effectName = "flower",
         .movie = "C:\\lumenquill\\flowers\\Flowers.swf",
         .editor = "frmFlowers"},
        {.effectName = "cube",
         .movie = "C:\\lumenquill\\cube\\cube.swf",
         .editor = "frmcube",
         .siteTitleVariable = "title2"},
        {.effectName = "spirograph",
         .movie = "C:\\lumenquill\\spirograph\\spiro.swf",
         .editor = "frmspiro"},
        {.effectName = "Matrix",
         .movie = "C:\\lumenquill\\matrix\\matrix.swf",
         .editor = "frmmatrix",
         .siteTitleVariable = "title"},
        {.effectName = "Preloader", .movie = "c:\\lumen quill\\preloader.swf", .editor = "frmpre"},
    });
    return table;
}

const QList<ContentFile>& contentFiles()
{
    // Template by template, in the order of the effect list.
    static const QList<ContentFile> table = [] {
        QList<ContentFile> rows;
        for (const Template& templ : templates()) {
            for (const EditorWindow& window : editorWindows()) {
                if (window.effectName == templ.effectName)
                    rows += window.contentFiles;
            }
        }
        return rows;
    }();
    return table;
}

const QList<EditorWindow>& editorWindows()
{
    static const QList<EditorWindow> table = withContentFilesOwned(editorRows());
    return table;
}

// Whole texts, character by character, letter case included; nothing trimmed.
const Template* findTemplate(const QString& effectName)
{
    static const auto index = indexBy(templates(), &Template::effectName);
    return index.value(effectName);
}

const EditorWindow* findEditorWindow(const QString& name)
{
    static const auto index = indexBy(editorWindows(), &EditorWindow::name);
    return index.value(name);
}

QList<ContentFile> contentFilesOfWindow(const QString& window)
{
    const EditorWindow* row = findEditorWindow(window);
    return row ? row->contentFiles : QList<ContentFile>();
}

QStringList wizardHideOrder()
{
    return {"frmservices1", "frmvision2", "frmtitle", "frmclients2", "frm2fireworks"};
}

QStringList effectListEntries()
{
    // Every template, then the entries that name effects with no template: picking one of those
    // and pressing either button does nothing.
    QStringList entries;
    for (const Template& templ : templates())
        entries += templ.effectName;
    return entries + QStringList{"smoke", "circle", "dance"};
}

QStringList websiteKinds()
{
    return {"Business Website", "Catalog Website", "Curriculum Vitae", "fun website", "Sports"};
}

std::optional<QString> movieForEffect(const QString& effectName)
{
    if (const Template* row = findTemplate(effectName))
        return row->movie;
    return std::nullopt;
}

std::optional<QString> editorForEffect(const QString& effectName)
{
    if (const Template* row = findTemplate(effectName))
        return row->editor;
    return std::nullopt;
}

} // namespace lq

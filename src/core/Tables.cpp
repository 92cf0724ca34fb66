#include "Tables.h"

#include <algorithm>

namespace lq {

namespace {

const Template* templateNamed(const QString& effectName)
{
    // Whole texts, character by character, letter case included; nothing trimmed.
    for (const Template& row : templates()) {
        if (row.effectName == effectName)
            return &row;
    }
    return nullptr;
}

} // namespace

const QList<Template>& templates()
{
    static const QList<Template> table = {
        {"Fireworks", "C:\\lumenquill\\Fireworks\\", "C:\\lumenquill\\Fireworks\\Fireworks.swf",
         "frm2fireworks"},
        {"Vector", "C:\\lumenquill\\vector\\", "C:\\lumenquill\\vector\\vector.swf", "frmvector"},
        {"3d", "C:\\lumenquill\\3d\\", "C:\\lumenquill\\3d\\3d.swf", "frm3d"},
        {"flower", "C:\\lumenquill\\flowers\\", "C:\\lumenquill\\flowers\\Flowers.swf",
         "frmFlowers"},
        {"cube", "C:\\lumenquill\\cube\\", "C:\\lumenquill\\cube\\cube.swf", "frmcube"},
        {"spirograph", "C:\\lumenquill\\spirograph\\", "C:\\lumenquill\\spirograph\\spiro.swf",
         "frmspiro"},
        {"Matrix", "C:\\lumenquill\\matrix\\", "C:\\lumenquill\\matrix\\matrix.swf", "frmmatrix"},
        {"Preloader", "c:\\lumen quill\\", "c:\\lumen quill\\preloader.swf", "frmpre"},
    };
    return table;
}

const QList<ContentFile>& contentFiles()
{
    static const QList<ContentFile> table = {
        // The fireworks wizard, page by page.
        {"Fireworks", "C:\\lumenquill\\Fireworks\\aboutus.txt", "aboutus=entertexthere",
         "frm2fireworks", "txtfire", "cmd4", "Save Text File"},
        {"Fireworks", "C:\\lumenquill\\Fireworks\\ourvision.txt", "ourvision=enter text here",
         "frmvision2", "txtvision", "cmdvisionsave", "save ourvision info"},
        {"Fireworks", "C:\\lumenquill\\Fireworks\\services.txt", "services= enter text here",
         "frmservices1", "txtservice4", "cmdservicesave", "save information"},
        {"Fireworks", "C:\\lumenquill\\Fireworks\\clients.txt", "client1=enter text here",
         "frmclients2", "txtclient", "cmdclientsave", "save information "},
        {"Fireworks", "C:\\lumenquill\\Fireworks\\title.txt", "title=entercompanyname",
         "frmtitle", "txtfiretitle", "cmdsavefire", "save title"},

        {"Vector", "C:\\lumenquill\\vector\\aboutus.txt", "aboutus=enter text here", "frmvector",
         "txt2", "cmdsavevector", "save text file"},
        {"Vector", "C:\\lumenquill\\vector\\clients.txt", "clients=enter text here", "frmvector",
         "txtclienz", "cmdclienz", "save client information here"},
        {"Vector", "C:\\lumenquill\\vector\\contact.txt", "contact=enter your information here",
         "frmvector", "txtconzat", "cmdconti", "save contact information"},
        {"Vector", "C:\\lumenquill\\vector\\ourvision.txt", "ourvision=enter text here",
         "frmvector", "txtnisiov", "cmdvisnoz", "save ourvison information"},
        {"Vector", "C:\\lumenquill\\vector\\products1.txt", "products1=enter text here",
         "frmvector", "txtprodec", "cmdprodec", "save product information"},
        {"Vector", "C:\\lumenquill\\vector\\services.txt", "services=enter text here",
         "frmvector", "txtservik", "cmdservik", "save services information"},

        {"3d", "C:\\lumenquill\\3d\\aboutus.txt", "aboutus1=Enter text here", "frm3d", "txt3d",
         "cmd3dsave", "Save Intro Text"},
        {"3d", "C:\\lumenquill\\3d\\clients.txt", "clients1=enter text here", "frm3d",
         "txtclients12", "cmdclients12", "save client information"},
        {"3d", "C:\\lumenquill\\3d\\contactus.txt", "contactus1=enter text here", "frm3d",
         "txtcontactus1", "cmdcontactus1", "save contact information"},
        {"3d", "C:\\lumenquill\\3d\\ourvision.txt", "ourvision1=enter text here", "frm3d",
         "txtourvision1", "cmdourvision1", "save ourvision information"},
        {"3d", "C:\\lumenquill\\3d\\products.txt", "products1=enter text here", "frm3d",
         "txtproducts1", "cmdproducts1", "save product information"},
        {"3d", "C:\\lumenquill\\3d\\services.txt", "services1=enter text here", "frm3d",
         "txtservices1", "cmdservices1", "save services information"},

        {"flower", "C:\\lumenquill\\flowers\\intro.txt", "intro=Enter Text Here", "frmFlowers",
         "txtFlower", "CmdFlower", "Save Intro Text"},
        {"flower", "C:\\lumenquill\\flowers\\aboutus.txt", "Aboutus=enter text here",
         "frmFlowers", "txtabut", "cmdabout4", "save about us text"},
        {"flower", "C:\\lumenquill\\flowers\\ourvision.txt", "ourvision=enter text here",
         "frmFlowers", "txtvido", "cmdvisio4", "save our vision text"},
        {"flower", "C:\\lumenquill\\flowers\\clients.txt", "clients=enter text here",
         "frmFlowers", "txtclienz", "cmdclients", "save clients text"},
        {"flower", "C:\\lumenquill\\flowers\\services.txt", "services=enter text here",
         "frmFlowers", "txtsurv", "cmdserv", "save services text"},
        {"flower", "C:\\lumenquill\\flowers\\contact.txt", "contact=enter text here",
         "frmFlowers", "txtrcontact", "cmdcliyents", "save contact text"},

        {"cube", "C:\\lumenquill\\cube\\aboutus1.txt", "aboutus2=enter text here", "frmcube",
         "txtaboutcube", "cmdcubeaboutus", "save about us information"},
        {"cube", "C:\\lumenquill\\cube\\Clients.txt", "Clients1=enter text here", "frmcube",
         "txtClients1", "cmdClients1", "save client information"},
        {"cube", "C:\\lumenquill\\cube\\ourvision.txt", "ourvision2=enter text here", "frmcube",
         "txtourvision2", "cmdourvision2", "save ourvision information"},
        {"cube", "C:\\lumenquill\\cube\\products.txt", "products1=enter text here", "frmcube",
         "txtproducts1", "cmdproducts1", "save product information"},
        {"cube", "C:\\lumenquill\\cube\\services.txt", "services1=enter text here", "frmcube",
         "txtservices1", "cmdservices1", "save services information"},
        {"cube", "C:\\lumenquill\\cube\\title.txt", "title2=enter title of website here",
         "frmcube", "txttitle2", "cmdtitle2", "save title of website"},

        {"spirograph", "C:\\lumenquill\\spirograph\\aboutus.txt", "aboutus2= enter text here",
         "frmspiro", "txtspiro", "cmdspiro", "Save Text"},
        {"spirograph", "C:\\lumenquill\\spirograph\\Clients.txt", "Clients1=enter text here",
         "frmspiro", "txtclientzu", "cmdclientzu", "save client information"},
        {"spirograph", "C:\\lumenquill\\spirograph\\Contactus.txt",
         "Contactus1=enter contact information here", "frmspiro", "txtContactuszu",
         "cmdContactuszu", "save contact information"},
        {"spirograph", "C:\\lumenquill\\spirograph\\intro.txt", "intro2=enter text here",
         "frmspiro", "txtintrozu", "cmdintrozu", "save intro information"},
        {"spirograph", "C:\\lumenquill\\spirograph\\Prodcuts.txt", "Prodcuts1=enter text here",
         "frmspiro", "txtProdcuts1", "cmdProdcuts1", "save product information"},
        {"spirograph", "C:\\lumenquill\\spirograph\\Services.txt", "Services1=enter text here",
         "frmspiro", "txtServiceszu", "cmdServiceszu", "save services information"},

        {"Matrix", "C:\\lumenquill\\matrix\\aboutus.txt", "aboutus= enter text here",
         "frmmatrix", "txtmatrix", "cmdmatrix", "Save text"},
        {"Matrix", "C:\\lumenquill\\matrix\\title.txt", "title=enter text here", "frmmatrix",
         "txttitley", "cmdtitley", "save title information"},
        {"Matrix", "C:\\lumenquill\\matrix\\services.txt", "services=enter text here",
         "frmmatrix", "txtservbob", "cmdservbob", "save services information"},
        {"Matrix", "C:\\lumenquill\\matrix\\clients.txt", "clients=enter text here", "frmmatrix",
         "txtclent", "cmdclent", "save clients information"},
        {"Matrix", "C:\\lumenquill\\matrix\\contactus.txt", "contactus=enter text here",
         "frmmatrix", "txtuscont", "cmduscont", "save contact information"},
        {"Matrix", "C:\\lumenquill\\matrix\\products.txt", "products=enter text here",
         "frmmatrix", "txtproone", "cmdproone", "save product information"},

        {"Preloader", "c:\\lumen quill\\preloader.txt", "pre=enter text here", "frmpre", "txtpre",
         "cmdpre", "Save Intro Text"},
    };
    return table;
}

const QList<EditorWindow>& editorWindows()
{
    static const QString saveForm = QStringLiteral("intro text for %1 has now been save you may "
                                                   "now click preview");
    static const QList<EditorWindow> table = {
        {"frmvector", "Vector", "vector intro options", saveForm.arg("VECTOR"), "vector", {},
         {{"lblvector", "Enter vector text"}}},
        {"frmFlowers", "flower", "Flowers Intro Text", saveForm.arg("Flowers"), "flowers", {}, {}},
        {"frm3d", "3d", "3D intro Text", saveForm.arg("3d"), {}, {}, {}},
        {"frmcube", "cube", "Cube information", saveForm.arg("cube"), {}, {}, {}},
        {"frmspiro", "spirograph", "Enter text for spirograph intro",
         "intro text for spirograph has now been  set  you may now click preview", "spiro", {},
         {}},
        {"frmmatrix", "Matrix", "Enter text for Matrix intro", saveForm.arg("matrix"), {}, {}, {}},
        {"frmpre", "Preloader", "Preloader Intro Text",
         "intro text for preloader has now been saved you may now click preview", "spiro", {},
         {}},

        {"frm2fireworks", "Fireworks", "Enter Text for fireworks effect",
         "intro text for aboutus has now been saved you may now click preview", "fireworks",
         WizardStep{"cmdnext", "Proceed to next field", "frmvision2"},
         {{"lbl7", "Enter Website Information"}, {"lbl3", "Enter Website Text"}}},
        {"frmvision2", "Fireworks", "Ourvision text for fireworks",
         "intro text for aboutus has now been saved you may now click preview", {},
         WizardStep{"Command1", "Proceed to next field", "frmservices1"}, {}},
        {"frmservices1", "Fireworks", "services",
         "intro text for aboutus has now been saved you may now click preview", {},
         WizardStep{"cmdnextservice", "next", "frmclients2"}, {}},
        {"frmclients2", "Fireworks", "Clients",
         "intro text for aboutus has now been saved you may now click preview", {},
         WizardStep{"cmdnextfield", "next", "frmtitle"}, {}},
        {"frmtitle", "Fireworks", "website title",
         "intro text for aboutus has now been saved you may now click preview", {},
         WizardStep{"cmdclose", "end wizard", {}}, {}},
    };
    return table;
}

const EditorWindow* findEditorWindow(const QString& name)
{
    const auto& table = editorWindows();
    auto it = std::find_if(table.begin(), table.end(),
                           [&](const EditorWindow& w) { return w.name == name; });
    return it == table.end() ? nullptr : &*it;
}

QList<ContentFile> contentFilesOfWindow(const QString& window)
{
    QList<ContentFile> rows;
    for (const ContentFile& row : contentFiles()) {
        if (row.window == window)
            rows.append(row);
    }
    return rows;
}

QStringList wizardHideOrder()
{
    return {"frmservices1", "frmvision2", "frmtitle", "frmclients2", "frm2fireworks"};
}

QStringList effectListEntries()
{
    return {"Fireworks", "Vector",    "3d",    "flower", "cube",  "spirograph",
            "Matrix",    "Preloader", "smoke", "circle", "dance"};
}

QStringList websiteKinds()
{
    return {"Business Website", "Catalog Website", "Curriculum Vitae", "fun website", "Sports"};
}

std::optional<QString> movieForEffect(const QString& effectName)
{
    // The template table is in the order of the effect list, which is the order tried here.
    if (const Template* row = templateNamed(effectName))
        return row->movie;
    return std::nullopt;
}

std::optional<QString> editorForEffect(const QString& effectName)
{
    // Its own order: "flower" before "3d", and "cube" last.
    static const QStringList order = {"Fireworks",  "Vector", "flower",    "3d",
                                      "spirograph", "Matrix", "Preloader", "cube"};
    for (const QString& name : order) {
        if (name == effectName)
            return templateNamed(name)->editor;
    }
    return std::nullopt;
}

} // namespace lq

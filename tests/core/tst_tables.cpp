#include "Expectations.h"
#include "Tables.h"

#include <QSet>
#include <QtTest>

using namespace lq;

class TablesTest : public QObject
{
    Q_OBJECT

private slots:
    void contentFilesAreFortyTwoDistinctFilesOfKnownWindows()
    {
        const auto& rows = contentFiles();
        QCOMPARE(rows.size(), 42);
        QSet<QString> paths;
        QSet<QPair<QString, QString>> boxes;
        // A reader tells the boxes of one window apart by their names alone.
        QSet<QPair<QString, QString>> boxNames;
        for (const ContentFile& row : rows) {
            QVERIFY2(!row.section.isEmpty(), qPrintable(row.textBox));
            const QPair<QString, QString> boxName{row.window, row.boxName()};
            QVERIFY2(!boxNames.contains(boxName), qPrintable(row.boxName()));
            boxNames.insert(boxName);
            QVERIFY2(!paths.contains(row.path), qPrintable(row.path));
            paths.insert(row.path);
            const QPair<QString, QString> box{row.window, row.textBox};
            QVERIFY2(!boxes.contains(box), qPrintable(row.textBox));
            boxes.insert(box);
            QVERIFY2(findEditorWindow(row.window), qPrintable(row.window));
            // Every file lies in its template's folder (the preloader's in the install root).
            const auto tmpl =
                std::find_if(templates().begin(), templates().end(),
                             [&](const Template& t) { return t.effectName == row.effectName; });
            QVERIFY(tmpl != templates().end());
            QVERIFY2(row.path.startsWith(tmpl->folder), qPrintable(row.path));
            QVERIFY(!row.path.mid(tmpl->folder.size()).contains(QLatin1Char('\\')));
        }
    }

    void windowsHoldTheirContentFilesInOrder_data()
    {
        QTest::addColumn<QString>("window");
        QTest::addColumn<QStringList>("boxes");
        QTest::newRow("vector") << "frmvector"
                                << QStringList{"txt2",      "txtclienz", "txtconzat",
                                               "txtnisiov", "txtprodec", "txtservik"};
        QTest::newRow("flowers") << "frmFlowers"
                                 << QStringList{"txtFlower", "txtabut", "txtvido",
                                                "txtclienz", "txtsurv", "txtrcontact"};
        QTest::newRow("matrix") << "frmmatrix"
                                << QStringList{"txtmatrix", "txttitley", "txtservbob",
                                               "txtclent",  "txtuscont", "txtproone"};
        QTest::newRow("preloader") << "frmpre" << QStringList{"txtpre"};
        QTest::newRow("wizard page 4") << "frmclients2" << QStringList{"txtclient"};
    }

    void windowsHoldTheirContentFilesInOrder()
    {
        QFETCH(QString, window);
        QFETCH(QStringList, boxes);
        QStringList actual;
        for (const ContentFile& row : contentFilesOfWindow(window))
            actual << row.textBox;
        QCOMPARE(actual, boxes);
    }

    // The names that are easiest to smooth away are the ones the movies read.
    void oddlySpelledFilesAndVariables_data()
    {
        QTest::addColumn<QString>("button");
        QTest::addColumn<QString>("path");
        QTest::addColumn<QString>("variable");
        QTest::addColumn<QString>("defaultLine");
        QTest::newRow("cube about us") << "cmdcubeaboutus"
                                       << "C:\\lumenquill\\cube\\aboutus1.txt"
                                       << "aboutus2"
                                       << "aboutus2=enter text here";
        QTest::newRow("spiro products") << "cmdProdcuts1"
                                        << "C:\\lumenquill\\spirograph\\Prodcuts.txt"
                                        << "Prodcuts1"
                                        << "Prodcuts1=enter text here";
        QTest::newRow("flowers contact") << "cmdcliyents"
                                         << "C:\\lumenquill\\flowers\\contact.txt"
                                         << "contact"
                                         << "contact=enter text here";
        QTest::newRow("flowers clients") << "cmdclients"
                                         << "C:\\lumenquill\\flowers\\clients.txt"
                                         << "clients"
                                         << "clients=enter text here";
        QTest::newRow("fireworks clients") << "cmdclientsave"
                                           << "C:\\lumenquill\\Fireworks\\clients.txt"
                                           << "client1"
                                           << "client1=enter text here";
        QTest::newRow("fireworks services") << "cmdservicesave"
                                            << "C:\\lumenquill\\Fireworks\\services.txt"
                                            << "services"
                                            << "services= enter text here";
        QTest::newRow("fireworks title") << "cmdsavefire"
                                         << "C:\\lumenquill\\Fireworks\\title.txt"
                                         << "title"
                                         << "title=entercompanyname";
        QTest::newRow("preloader") << "cmdpre"
                                   << "c:\\lumen quill\\preloader.txt"
                                   << "pre"
                                   << "pre=enter text here";
        QTest::newRow("matrix about us") << "cmdmatrix"
                                         << "C:\\lumenquill\\matrix\\aboutus.txt"
                                         << "aboutus"
                                         << "aboutus= enter text here";
    }

    void oddlySpelledFilesAndVariables()
    {
        QFETCH(QString, button);
        QFETCH(QString, path);
        QFETCH(QString, variable);
        QFETCH(QString, defaultLine);
        const auto& rows = contentFiles();
        const auto row = std::find_if(rows.begin(), rows.end(),
                                      [&](const ContentFile& r) { return r.saveButton == button; });
        QVERIFY(row != rows.end());
        QCOMPARE(row->path, path);
        QCOMPARE(row->variable(), variable);
        QCOMPARE(row->defaultLine, defaultLine);
    }

    void listsHoldTheirEntriesInOrder()
    {
        QCOMPARE(effectListEntries(), expected::kEffectEntries);
        QCOMPARE(websiteKinds(), expected::kWebsiteKinds);
    }

    void movieLookup_data()
    {
        QTest::addColumn<QString>("effect");
        QTest::addColumn<QString>("movie");
        for (const QString& effect : expected::kTemplateEffects)
            QTest::newRow(qPrintable(effect)) << effect << expected::kMovieOfEffect.value(effect);
        QTest::newRow("lower case") << "vector"
                                    << "";
        QTest::newRow("trailing blank") << "Vector "
                                        << "";
        QTest::newRow("leading blank") << " Vector"
                                       << "";
        QTest::newRow("fireworks lower") << "fireworks"
                                         << "";
        QTest::newRow("default text") << "Effects"
                                      << "";
        QTest::newRow("no template") << "smoke"
                                     << "";
        QTest::newRow("empty") << ""
                               << "";
        QTest::newRow("folder name") << "flowers"
                                     << "";
    }

    void movieLookup()
    {
        QFETCH(QString, effect);
        QFETCH(QString, movie);
        QCOMPARE(movieForEffect(effect).value_or(QString()), movie);
    }

    void editorLookup_data()
    {
        QTest::addColumn<QString>("effect");
        QTest::addColumn<QString>("window");
        for (const QString& effect : expected::kTemplateEffects)
            QTest::newRow(qPrintable(effect)) << effect << expected::kEditorOfEffect.value(effect);
        QTest::newRow("lower case") << "vector"
                                    << "";
        QTest::newRow("trailing blank") << "Vector "
                                        << "";
        QTest::newRow("upper case") << "CUBE"
                                    << "";
        QTest::newRow("default text") << "Effects"
                                      << "";
        QTest::newRow("smoke") << "smoke"
                               << "";
        QTest::newRow("circle") << "circle"
                                << "";
        QTest::newRow("dance") << "dance"
                               << "";
    }

    void editorLookup()
    {
        QFETCH(QString, effect);
        QFETCH(QString, window);
        QCOMPARE(editorForEffect(effect).value_or(QString()), window);
    }

    void confirmationMessagesAreTheWindowsOwn_data()
    {
        QTest::addColumn<QString>("window");
        QTest::addColumn<QString>("message");
        for (auto it = expected::kConfirmation.cbegin(); it != expected::kConfirmation.cend(); ++it)
            QTest::newRow(qPrintable(it.key())) << it.key() << it.value();
    }

    void confirmationMessagesAreTheWindowsOwn()
    {
        QFETCH(QString, window);
        QFETCH(QString, message);
        QVERIFY(findEditorWindow(window));
        QCOMPARE(findEditorWindow(window)->confirmation, message);
    }

    void wizardPagesChainInOrder()
    {
        QStringList chain;
        for (const EditorWindow* page = findEditorWindow("frm2fireworks"); page;
             page = findEditorWindow(page->wizardStep->nextWindow)) {
            QVERIFY(page->isWizardPage());
            chain << page->name;
        }
        QStringList wizard;
        for (const expected::WizardPage& page : expected::kWizard)
            wizard << page.window;
        QCOMPARE(chain, wizard);
    }
};

QTEST_GUILESS_MAIN(TablesTest)
#include "tst_tables.moc"

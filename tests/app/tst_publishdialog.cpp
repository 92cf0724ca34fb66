#include "Expectations.h"
#include "MessageRecorder.h"
#include "PublishDialog.h"
#include "Says.h"

#include <QAccessible>
#include <QComboBox>
#include <QLineEdit>
#include <QPushButton>
#include <QRadioButton>
#include <QSettings>
#include <QStandardPaths>
#include <QThread>
#include <QtTest>

using namespace lq;

Q_DECLARE_METATYPE(lq::PublicationForm)

// The publishing dialog: what it proposes, what it hands to the publisher, and what the user is
// told afterwards. The publisher and the opener are stand-ins; the dialog never writes itself.
class PublishDialogTest : public QObject
{
    Q_OBJECT

private:
    static constexpr auto kDocuments = "/home/someone/Documents";
    static constexpr auto kData = "/opt/lq/share/lumen-quill";

    struct Fixture
    {
        MessageRecorder messages;
        QList<PublishRequest> requests;
        PublishOutcome outcome;
        QList<UploadRequest> uploads;
        QList<bool> onWindowThread;
        QList<UploadOutcome> uploadOutcomes;
        QStringList kept; // "host password" given to the secret store
        QStringList opened;
        bool openerStarts = true;
        QString browsed; // what "Browse…" answers
        std::unique_ptr<PublishDialog> dialog;

        explicit Fixture(const QString& effectName = QStringLiteral("Vector"))
        {
            PublishDialog::Services services;
            services.publish = [this](const PublishRequest& request) {
                requests << request;
                if (request.sendToHost) {
                    const Built sent = request.sendToHost(QStringLiteral("/scratch/site"));
                    return PublishOutcome{sent.failure.isEmpty(), sent.written, {}, sent.failure};
                }
                return outcome;
            };
            services.open = [this](const QString& path) {
                if (openerStarts)
                    opened << path;
                return openerStarts;
            };
            services.chooseTarget = [this](PublicationForm, const QString&, QWidget*) {
                return browsed;
            };
            services.documentsFolder = QString::fromLatin1(kDocuments);
            services.dataFolder = QString::fromLatin1(kData);
            services.readPassword = {};
            services.keepPassword = [this](const HostAddress& address, const QString& password) {
                kept << address.host + ' ' + password;
                return true;
            };
            services.upload = [this](const UploadRequest& request,
                                     const std::function<void(const UploadProgress&)>& report,
                                     const std::atomic_bool*) {
                uploads << request;
                onWindowThread << (QThread::currentThread() == qApp->thread());
                report({1, 2, 10, 20});
                return uploadOutcomes.takeFirst();
            };
            dialog = std::make_unique<PublishDialog>(effectName, std::move(services));
        }

        template <typename T> T* control(const char* name) const
        {
            auto* widget = dialog->findChild<T*>(QString::fromLatin1(name));
            if (!widget)
                qFatal("no control %s", name);
            return widget;
        }
        QComboBox* templates() const { return control<QComboBox>("cboTemplate"); }
        QLineEdit* target() const { return control<QLineEdit>("txtTarget"); }
        QRadioButton* pageOption() const { return control<QRadioButton>("optPage"); }
        QRadioButton* folderOption() const { return control<QRadioButton>("optFolder"); }

        void showAndFocus()
        {
            dialog->show();
            dialog->activateWindow();
            if (!QTest::qWaitForWindowActive(dialog.get()))
                qFatal("the dialog did not become active");
        }
        void succeed(const QString& written, QStringList missing = {})
        {
            outcome.ok = true;
            outcome.written = written;
            outcome.missingContentFiles = std::move(missing);
        }
        void typeTarget(const QString& text)
        {
            target()->selectAll();
            QTest::keyClicks(target(), text);
        }
    };

    static QString documents(const QString& name)
    {
        return QString::fromLatin1(kDocuments) + QLatin1Char('/') + name;
    }

private slots:
    void presetsTheTemplateTheEffectListNames_data()
    {
        QTest::addColumn<QString>("effectList");
        QTest::addColumn<QString>("preset");
        QTest::newRow("Vector") << "Vector"
                                << "Vector";
        QTest::newRow("Preloader, the last") << "Preloader"
                                             << "Preloader";
        QTest::newRow("the list's default text") << "Effects"
                                                 << "Fireworks";
        QTest::newRow("an entry without a template") << "smoke"
                                                     << "Fireworks";
        QTest::newRow("another letter case") << "vector"
                                             << "Fireworks";
        QTest::newRow("a trailing blank") << "Matrix "
                                          << "Fireworks";
    }

    void presetsTheTemplateTheEffectListNames()
    {
        QFETCH(QString, effectList);
        QFETCH(QString, preset);
        Fixture f(effectList);
        QStringList offered;
        for (int i = 0; i < f.templates()->count(); ++i)
            offered << f.templates()->itemText(i);
        QCOMPARE(offered, expected::kTemplateEffects);
        QCOMPARE(f.templates()->currentText(), preset);
        QVERIFY(f.folderOption()->isChecked());
        QCOMPARE(f.target()->text(), documents(preset));
    }

    void targetFollowsTheChoicesUntilTheUserGivesAPlace()
    {
        Fixture f;
        f.showAndFocus();
        f.pageOption()->click();
        QCOMPARE(f.target()->text(), documents("Vector.html"));
        f.templates()->setCurrentIndex(f.templates()->findText("3d"));
        QCOMPARE(f.target()->text(), documents("3d.html"));
        f.folderOption()->click();
        QCOMPARE(f.target()->text(), documents("3d"));

        // Typed by the user: from now on the place stays as they wrote it.
        f.typeTarget("/srv/www/intro");
        f.templates()->setCurrentIndex(f.templates()->findText("cube"));
        f.pageOption()->click();
        QCOMPARE(f.target()->text(), "/srv/www/intro");

        // A place chosen with Browse… replaces it; giving up there leaves it.
        f.browsed = "/media/stick/cube.html";
        f.control<QPushButton>("cmdBrowse")->click();
        QCOMPARE(f.target()->text(), "/media/stick/cube.html");
        f.browsed.clear();
        f.control<QPushButton>("cmdBrowse")->click();
        QCOMPARE(f.target()->text(), "/media/stick/cube.html");
        f.templates()->setCurrentIndex(0);
        QCOMPARE(f.target()->text(), "/media/stick/cube.html");
        QVERIFY(f.requests.isEmpty());
    }

    void aBrowsedPlaceAloneAlsoStopsTheFollowing()
    {
        Fixture f;
        f.browsed = "/media/stick/mysite";
        f.control<QPushButton>("cmdBrowse")->click();
        f.pageOption()->click();
        QCOMPARE(f.target()->text(), "/media/stick/mysite");
    }

    void enterPublishesWhatTheDialogShows_data()
    {
        QTest::addColumn<QString>("typed");
        QTest::addColumn<QString>("target");
        QTest::newRow("as proposed") << "" << documents("Matrix.html");
        QTest::newRow("an absolute place") << "/srv/www/intro.html"
                                           << "/srv/www/intro.html";
        QTest::newRow("a bare name, in Documents")
            << "site/intro.html" << documents("site/intro.html");
        QTest::newRow("the home folder")
            << "~/Public/intro.html" << QDir::homePath() + "/Public/intro.html";
        QTest::newRow("blanks around it") << "  /srv/www/a b.html  "
                                          << "/srv/www/a b.html";
    }

    void enterPublishesWhatTheDialogShows()
    {
        QFETCH(QString, typed);
        QFETCH(QString, target);
        Fixture f("Matrix");
        f.succeed(target);
        f.showAndFocus();
        f.pageOption()->click();
        if (!typed.isEmpty())
            f.typeTarget(typed);
        QTest::keyClick(f.dialog.get(), Qt::Key_I, Qt::AltModifier);
        QTest::keyClicks(QApplication::focusWidget(), " Crumb & Co. ");
        f.target()->setFocus();
        QTest::keyClick(f.target(), Qt::Key_Return);

        QCOMPARE(f.requests.size(), 1);
        const PublishRequest& request = f.requests.first();
        QCOMPARE(request.effectName, "Matrix");
        QVERIFY(request.form == PublicationForm::SinglePage);
        QCOMPARE(request.target, target);
        QCOMPARE(request.dataFolder, QString::fromLatin1(kData));
        QCOMPARE(request.pageTitle, "Crumb & Co.");
    }

    void successSaysWhatWasWrittenAndOffersToOpenIt_data()
    {
        QTest::addColumn<lq::PublicationForm>("form");
        QTest::addColumn<bool>("taken");
        QTest::addColumn<QString>("action");
        QTest::addColumn<QString>("text");
        const QString folderText =
            "\u201CVector\u201D is published in the folder \u201C/home/someone/Documents/Vector"
            "\u201D. Upload everything in it to your web host; visitors open its index.html.";
        const QString pageText =
            "\u201CVector\u201D is published as the page \u201C/home/someone/Documents/Vector.html"
            "\u201D. Upload it to your web host, or send it as it is: it plays in any current "
            "browser.";
        QTest::newRow("folder, opened")
            << PublicationForm::WebFolder << true << "&Open Folder" << folderText;
        QTest::newRow("folder, OK")
            << PublicationForm::WebFolder << false << "&Open Folder" << folderText;
        QTest::newRow("page, opened")
            << PublicationForm::SinglePage << true << "&Open Page" << pageText;
        QTest::newRow("page, OK") << PublicationForm::SinglePage << false << "&Open Page"
                                  << pageText;
    }

    void successSaysWhatWasWrittenAndOffersToOpenIt()
    {
        QFETCH(lq::PublicationForm, form);
        QFETCH(bool, taken);
        QFETCH(QString, action);
        QFETCH(QString, text);
        Fixture f;
        f.showAndFocus();
        if (form == PublicationForm::SinglePage)
            f.pageOption()->click();
        const QString written = f.target()->text();
        f.succeed(written);
        f.messages.takeOffers(taken);
        bool dialogGoneFirst = false;
        f.messages.onShow([&](const QString&) { dialogGoneFirst = !f.dialog->isVisible(); });
        f.control<QPushButton>("cmdPublish")->click();

        QCOMPARE(f.messages.texts(), QStringList{text});
        QCOMPARE(f.messages.titles(), QStringList{"Lumen quill"});
        QCOMPARE(f.messages.offeredActions(), QStringList{action});
        QVERIFY(dialogGoneFirst);
        QCOMPARE(f.opened, taken ? QStringList{written} : QStringList{});
    }

    void successNamesTheContentFilesThatWereMissing()
    {
        Fixture f;
        f.succeed(documents("Vector"),
                  {"C:\\lumenquill\\vector\\clients.txt", "C:\\lumenquill\\vector\\contact.txt"});
        f.control<QPushButton>("cmdPublish")->click();
        QVERIFY2(f.messages.last().endsWith(
                     "\n\nThese content files were not there, so their texts are missing:\n"
                     "C:\\lumenquill\\vector\\clients.txt\nC:\\lumenquill\\vector\\contact.txt\n"
                     "Save those boxes and publish again."),
                 qPrintable(f.messages.last()));
    }

    void anOpenerThatCannotStartSaysWhere()
    {
        Fixture f;
        f.succeed(documents("Vector"));
        f.openerStarts = false;
        f.messages.takeOffers(true);
        f.control<QPushButton>("cmdPublish")->click();
        QCOMPARE(f.messages.texts().size(), 2);
        QCOMPARE(f.messages.last(), "No program could be started to show \u201C" +
                                        documents("Vector") + "\u201D. You can open it yourself.");
    }

    void failureShowsTheReasonAndKeepsTheDialogForAnotherTry()
    {
        Fixture f;
        f.showAndFocus();
        f.outcome.error = "The folder \u201C/home/someone/Documents/Vector\u201D holds files that "
                          "were not published by Lumen Quill; nothing was changed.";
        f.control<QPushButton>("cmdPublish")->click();
        QCOMPARE(f.messages.texts(), QStringList{f.outcome.error});
        QCOMPARE(f.messages.titles(), QStringList{"Lumen quill"});
        QVERIFY(f.messages.offeredActions().isEmpty());
        QVERIFY(f.opened.isEmpty());
        QVERIFY(f.dialog->isVisible());

        f.typeTarget("/srv/www/vector");
        f.succeed("/srv/www/vector");
        f.control<QPushButton>("cmdPublish")->click();
        QCOMPARE(f.requests.size(), 2);
        QCOMPARE(f.requests.last().target, "/srv/www/vector");
        QVERIFY(!f.dialog->isVisible());
    }

    void anEmptyPlaceIsAskedForAndNothingIsPublished()
    {
        Fixture f;
        f.showAndFocus();
        f.typeTarget("   ");
        QTest::keyClick(f.target(), Qt::Key_Return);
        QVERIFY(f.requests.isEmpty());
        QCOMPARE(f.messages.texts().size(), 1);
        QVERIFY(saysAll(f.messages.last(), {"\u201CVector\u201D", "Browse\u2026"}));
        QVERIFY(f.dialog->isVisible());
    }

    void escapeAndCancelCloseWithoutPublishing()
    {
        for (bool escape : {true, false}) {
            Fixture f;
            f.showAndFocus();
            if (escape)
                QTest::keyClick(f.templates(), Qt::Key_Escape);
            else
                f.control<QPushButton>("cmdCancel")->click();
            QVERIFY(!f.dialog->isVisible());
            QCOMPARE(f.dialog->result(), int(QDialog::Rejected));
            QVERIFY(f.requests.isEmpty());
            QVERIFY(f.messages.texts().isEmpty());
        }
    }

    // The host's details travel to the uploader on a worker thread; an unknown host is asked about
    // with its fingerprint, and once accepted the upload runs again with it.
    void uploadsOffTheWindowThreadAndAsksAboutAnUnknownHost()
    {
        QStandardPaths::setTestModeEnabled(true);
        QSettings().remove(QStringLiteral("upload"));
        Fixture f;
        UploadOutcome unknown;
        unknown.problem = UploadProblem::HostKeyUnknown;
        unknown.fingerprint = QStringLiteral("SHA256:pV1uXz");
        UploadOutcome done;
        done.ok = true;
        done.filesSent = 5;
        f.uploadOutcomes = {unknown, done};
        f.control<QRadioButton>("optHost")->setChecked(true);
        QVERIFY(!f.target()->isVisibleTo(f.dialog.get()));
        f.control<QLineEdit>("txtHost")->setText(QStringLiteral("ftp.example.org"));
        f.control<QLineEdit>("txtUser")->setText(QStringLiteral("ann"));
        f.control<QLineEdit>("txtPassword")->setText(QStringLiteral("pw"));
        f.control<QLineEdit>("txtRemoteFolder")->setText(QStringLiteral("public_html"));
        f.messages.takeOffers(true);
        f.control<QPushButton>("cmdPublish")->click();
        QTRY_COMPARE(f.dialog->result(), int(QDialog::Accepted));

        QCOMPARE(f.uploads.size(), 2);
        QCOMPARE(f.onWindowThread, (QList<bool>{false, false}));
        QCOMPARE(f.uploads[1].remote.address.display(),
                 QStringLiteral("sftp://ann@ftp.example.org/public_html"));
        QCOMPARE(f.uploads[1].remote.login.password, QStringLiteral("pw"));
        QCOMPARE(f.uploads[1].remote.acceptedFingerprint, unknown.fingerprint);
        QCOMPARE(f.messages.offeredActions(), QStringList{"&Accept and Upload"});
        QVERIFY(f.messages.texts().first().contains(unknown.fingerprint));
        QVERIFY2(f.messages.last().contains("5 files sent"), qPrintable(f.messages.last()));
        QCOMPARE(f.kept, QStringList{"ftp.example.org pw"});
        QCOMPARE(QSettings().value(QStringLiteral("upload/host")).toString(),
                 QStringLiteral("ftp.example.org")); // the password is in no file
    }

    void everyControlIsNamedAndReachedByKeyboard()
    {
        Fixture f;
        f.showAndFocus();
        // Tab walks the controls top to bottom, the form's two buttons being one stop in which
        // the arrow keys choose.
        QStringList order;
        for (QWidget* w = QApplication::focusWidget(); order.size() < 8;
             w = QApplication::focusWidget()) {
            order << w->objectName();
            if (w == f.folderOption())
                QTest::keyClick(w, Qt::Key_Down);
            QTest::keyClick(QApplication::focusWidget(), Qt::Key_Tab);
        }
        QCOMPARE(order, (QStringList{"cboTemplate", "txtPageTitle", "optFolder", "txtTarget",
                                     "cmdBrowse", "cmdPublish", "cmdCancel", "cboTemplate"}));
        QVERIFY(f.pageOption()->isChecked());
        QCOMPARE(f.target()->text(), documents("Vector.html"));

        // What a screen reader says for each control: its name, and the label it is announced
        // with (on Linux a list is named by its value and announced with its label).
        QStringList said;
        for (const char* name : {"cboTemplate", "txtPageTitle", "optFolder", "optPage", "txtTarget",
                                 "cmdBrowse", "cmdPublish", "cmdCancel"}) {
            QAccessibleInterface* control =
                QAccessible::queryAccessibleInterface(f.control<QWidget>(name));
            QString text = control->text(QAccessible::Name);
            for (const auto& [label, relation] : control->relations(QAccessible::Label))
                text += " | " + label->text(QAccessible::Name);
            said << text;
        }
        QCOMPARE(said, (QStringList{"Vector | Template:", "Page title | Page title:",
                                    "A web folder, to upload to any web host | Publish as",
                                    "One page, a single file that plays anywhere | Publish as",
                                    "Save to | Save to:", "Browse\u2026", "Publish", "Cancel"}));

        // Mnemonics reach the form and the place without Tab.
        QTest::keyClick(f.dialog.get(), Qt::Key_W, Qt::AltModifier);
        QTRY_VERIFY(f.folderOption()->isChecked());
        QTest::keyClick(f.dialog.get(), Qt::Key_S, Qt::AltModifier);
        QCOMPARE(QApplication::focusWidget(), f.target());
        QTest::keyClick(f.dialog.get(), Qt::Key_T, Qt::AltModifier);
        QCOMPARE(QApplication::focusWidget(), f.templates());
    }
};

QTEST_MAIN(PublishDialogTest)
#include "tst_publishdialog.moc"

#include "TextEditorWindow.h"

#include "ApplyPlacement.h"
#include "Messages.h"
#include "Pictures.h"
#include "SaveContentFile.h"

#include <QCloseEvent>
#include <QDir>
#include <QLabel>
#include <QLineEdit>
#include <QPushButton>
#include <limits>

namespace lq {

namespace {

constexpr int kMargin = 16;
constexpr int kBoxHeight = 24;
constexpr int kButtonHeight = 28;
constexpr int kLabelHeight = 20;
constexpr int kMinButtonWidth = 200;
constexpr int kWizardButtonWidth = 170;

// The window that "Enter Text" opens for its template, as opposed to a later wizard page.
bool opensItsTemplate(const EditorWindow& window)
{
    return editorForEffect(window.effectName) == window.name;
}

// A wizard page's place in the wizard, as a reader says it: "Step 2 of 5".
QString wizardStepText(const EditorWindow& page)
{
    QStringList pages;
    for (const EditorWindow& window : editorWindows()) {
        if (window.isWizardPage())
            pages << window.name;
    }
    return QStringLiteral("Step %1 of %2").arg(pages.indexOf(page.name) + 1).arg(pages.size());
}

int buttonWidth(QPushButton* button, int room)
{
    return qMin(room, qMax(kMinButtonWidth, button->sizeHint().width()));
}

} // namespace

TextEditorWindow::TextEditorWindow(const EditorWindow& descriptor)
    : QWidget(nullptr), m_descriptor(descriptor)
{
    initWindow();
    initWidgets();
    initLayout();
    initTabOrder();
    describeForReaders();
}

void TextEditorWindow::initWindow()
{
    setObjectName(m_descriptor.name);
    setWindowTitle(m_descriptor.caption);
    // An ordinary window with minimise, maximise and close, owned by nobody.
    setWindowFlags(Qt::Window);
    setAttribute(Qt::WA_DeleteOnClose);
    if (!m_descriptor.iconKey.isEmpty())
        setWindowIcon(Pictures::icon(m_descriptor.iconKey));
    else
        setWindowIcon(QIcon()); // no icon of its own, whatever the application's is
}

void TextEditorWindow::initWidgets()
{
    for (const auto& [name, caption] : m_descriptor.labels) {
        auto* label = new QLabel(caption, this);
        label->setObjectName(name);
        m_labels.append(label);
    }
    for (int i = 0; i < m_descriptor.contentFiles.size(); ++i) {
        const ContentFile& file = m_descriptor.contentFiles.at(i);
        auto* box = new QLineEdit(this);
        box->setObjectName(file.textBox);
        // No length limit of its own: whatever the user types or pastes is saved whole.
        box->setMaxLength(std::numeric_limits<int>::max());
        box->setText(file.defaultLine);
        box->setCursorPosition(0);
        m_boxes.append(box);

        auto* save = new QPushButton(file.buttonCaption, this);
        save->setObjectName(file.saveButton);
        // Never the window's default button: Enter in a box must not press it.
        save->setAutoDefault(false);
        save->setDefault(false);
        connect(save, &QPushButton::clicked, this, [this, i] { saveContentFile(i); });
        m_saveButtons.append(save);
    }
    if (m_descriptor.wizardStep) {
        m_forward = new QPushButton(m_descriptor.wizardStep->caption, this);
        m_forward->setObjectName(m_descriptor.wizardStep->button);
        m_forward->setAutoDefault(false);
        m_forward->setDefault(false);
        connect(m_forward, &QPushButton::clicked, this, &TextEditorWindow::advanceWizard);
    }
}

void TextEditorWindow::initLayout()
{
    // Fixed places: resizing the window moves no control.
    applyPlacement(this, m_descriptor.placement);
    if (m_descriptor.isWizardPage())
        layOutWizardPage();
    else if (m_descriptor.contentFiles.size() == 1)
        layOutSingleBox();
    else
        layOutColumn();
}

void TextEditorWindow::layOutColumn()
{
    // A column of boxes: each button directly under its box, right edges flush.
    const int column = width() - 2 * kMargin;
    int y = 12;
    for (QLabel* label : m_labels) {
        label->setGeometry(kMargin, y, column, kLabelHeight);
        y += kLabelHeight + 8;
    }
    for (int i = 0; i < m_boxes.size(); ++i) {
        m_boxes[i]->setGeometry(kMargin, y, column, kBoxHeight);
        y += kBoxHeight + 4;
        const int w = buttonWidth(m_saveButtons[i], column);
        m_saveButtons[i]->setGeometry(kMargin + column - w, y, w, kButtonHeight);
        y += kButtonHeight + 14;
    }
}

void TextEditorWindow::layOutSingleBox()
{
    // One box across the window and its button well below it, right edges flush.
    const int column = width() - 2 * kMargin;
    m_boxes[0]->setGeometry(kMargin, 28, column, kBoxHeight);
    const int w = qMin(column, qMax(150, m_saveButtons[0]->sizeHint().width()));
    m_saveButtons[0]->setGeometry(kMargin + column - w, height() - kMargin - kButtonHeight - 20, w,
                                  kButtonHeight);
}

void TextEditorWindow::layOutWizardPage()
{
    // The box near the top (under the first label, if any); the save button bottom left, the
    // forward button bottom right, and nothing between; a second label just above the buttons.
    const int column = width() - 2 * kMargin;
    const int buttonsTop = height() - kMargin - 32;
    int y = 20;
    if (!m_labels.isEmpty()) {
        m_labels[0]->setGeometry(kMargin, y, column, kLabelHeight);
        y += kLabelHeight + 6;
    }
    m_boxes[0]->setGeometry(kMargin, y, column, kBoxHeight);
    if (m_labels.size() > 1)
        m_labels[1]->setGeometry(kMargin, buttonsTop - kLabelHeight - 6, column, kLabelHeight);
    const int w = qMin(kWizardButtonWidth, column / 2 - 4);
    m_saveButtons[0]->setGeometry(kMargin, buttonsTop, w, 32);
    m_forward->setGeometry(width() - kMargin - w, buttonsTop, w, 32);
}

void TextEditorWindow::initTabOrder()
{
    QList<QWidget*> order;
    const bool saveFirst = m_descriptor.isWizardPage() && opensItsTemplate(m_descriptor);
    for (int i = 0; i < m_boxes.size(); ++i) {
        if (saveFirst)
            order << m_saveButtons[i] << m_boxes[i];
        else
            order << m_boxes[i] << m_saveButtons[i];
    }
    if (m_forward)
        order << m_forward;
    for (int i = 1; i < order.size(); ++i)
        setTabOrder(order[i - 1], order[i]);
    // The first in the order has the keyboard focus when the window opens.
    order.first()->setFocus();
}

// The captions name no section ("save text file", "next"): a reader is told what each box holds
// and where each button saves it, without a word on the screen changing.
void TextEditorWindow::describeForReaders()
{
    if (m_descriptor.isWizardPage())
        setAccessibleDescription(wizardStepText(m_descriptor));
    for (int i = 0; i < m_descriptor.contentFiles.size(); ++i) {
        const ContentFile& file = m_descriptor.contentFiles.at(i);
        m_boxes[i]->setAccessibleName(file.boxName());
        m_saveButtons[i]->setAccessibleDescription(
            QStringLiteral("Saves the %1 text to %2").arg(file.section, file.path));
    }
    if (m_forward) {
        const QString next = m_descriptor.wizardStep->nextWindow;
        m_forward->setAccessibleDescription(
            next.isEmpty() ? QStringLiteral("Closes the wizard; its pages keep their texts")
                           : QStringLiteral("Shows the next page, %1")
                                 .arg(wizardStepText(*findEditorWindow(next)).toLower()));
    }
}

void TextEditorWindow::saveContentFile(int index)
{
    if (index < 0 || index >= m_descriptor.contentFiles.size())
        return;
    const ContentFile& file = m_descriptor.contentFiles.at(index);
    const SaveResult result = SaveContentFile(file.path, m_boxes.at(index)->text());
    if (!result) {
        // No confirmation after a failed write; the box keeps its text for another try.
        Messages::show(saveFailureMessage(file.path, result));
        return;
    }
    Messages::show(m_descriptor.confirmation);
}

QString TextEditorWindow::saveFailureMessage(const QString& path, const SaveResult& result)
{
    QString where = path;
    if (!result.localPath.isEmpty())
        where += QStringLiteral("\n(on this computer: %1)")
                     .arg(QDir::toNativeSeparators(result.localPath));
    return QStringLiteral("Your text was not saved to %1\n\n%2\n\nNothing you typed is lost: the "
                          "text is still in its box.")
        .arg(where, result.reason);
}

void TextEditorWindow::advanceWizard()
{
    if (!m_descriptor.wizardStep)
        return;
    if (m_descriptor.wizardStep->nextWindow.isEmpty())
        emit endWizardRequested();
    else
        emit nextPageRequested(m_descriptor.wizardStep->nextWindow);
}

void TextEditorWindow::closeEvent(QCloseEvent* event)
{
    QWidget::closeEvent(event);
    if (event->isAccepted())
        emit closed();
}

} // namespace lq

#pragma once

#include "Tables.h"

#include <QList>
#include <QWidget>

class QLabel;
class QLineEdit;
class QPushButton;

namespace lq {

struct SaveResult;

// One editor window of a template, built from its row of the editor table: a single-page editor
// (a column of text boxes, each with its save button under it) or one page of the fireworks
// wizard (one box, its save button and the button that moves on).
//
// A plain top-level widget, never a dialog: there is no default or cancel button, so Enter or
// Escape in a box neither saves, nor moves on, nor closes the window. Closing it through its
// title bar discards it with everything typed into it.
class TextEditorWindow : public QWidget
{
    Q_OBJECT

public:
    // The descriptor must outlive the window (the editor table is fixed data of the program).
    explicit TextEditorWindow(const EditorWindow& descriptor);

    const EditorWindow& descriptor() const { return m_descriptor; }

    // The text boxes from top to bottom and the save button of each.
    const QList<QLineEdit*>& textBoxes() const { return m_boxes; }
    const QList<QPushButton*>& saveButtons() const { return m_saveButtons; }
    // The wizard's forward (or "end wizard") button; null on a single-page editor.
    QPushButton* forwardButton() const { return m_forward; }

    // The message shown when a box could not be saved.
    static QString saveFailureMessage(const QString& path, const SaveResult& result);

public slots:
    // Writes the box with this index to its content file and confirms.
    void saveContentFile(int index);
    // The wizard page's forward button: asks for the next page, or on the last page ends the
    // wizard.
    void advanceWizard();

signals:
    void nextPageRequested(const QString& window);
    void endWizardRequested();
    // The user closed the window; it is about to be destroyed.
    void closed();

protected:
    void closeEvent(QCloseEvent* event) override;

private:
    void initWindow();
    void initWidgets();
    void initLayout();
    void layOutColumn();
    void layOutSingleBox();
    void layOutWizardPage();
    void initTabOrder();
    void describeForReaders();

    const EditorWindow& m_descriptor;
    QList<QLabel*> m_labels;
    QList<QLineEdit*> m_boxes;
    QList<QPushButton*> m_saveButtons;
    QPushButton* m_forward = nullptr;
};

} // namespace lq

#pragma once

#include <QHash>
#include <QObject>
#include <QPointer>
#include <QString>

namespace lq {

class TextEditorWindow;

// Keeps every editor window and wizard page of the program at most once.
//
// The first request for a window creates it with its default texts; later requests show that same
// instance again, in front and active, with whatever its boxes hold. A window the user closes is
// destroyed and forgotten, so the next request starts it afresh; a window that is only hidden
// (the wizard's "end wizard") keeps its texts. The registry owns the windows: they have no parent
// and no owner on the screen, and are destroyed with the registry at the latest.
class WindowRegistry : public QObject
{
    Q_OBJECT

public:
    explicit WindowRegistry(QObject* parent = nullptr);
    ~WindowRegistry() override;

    // The live instance of a window, shown or hidden; null when it does not exist.
    TextEditorWindow* window(const QString& name) const;

public slots:
    // Shows the window with this objectName, creating it first if need be, and brings it to the
    // front. Returns it; null for a name that is no editor window.
    TextEditorWindow* showWindow(const QString& name);

    // "end wizard": hides the wizard's pages in their fixed order, keeping each one's text.
    void endWizard();

private:
    TextEditorWindow* create(const QString& name);
    void forget(TextEditorWindow* window);

    QHash<QString, QPointer<TextEditorWindow>> m_windows;
};

} // namespace lq

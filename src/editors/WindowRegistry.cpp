#include "WindowRegistry.h"

#include "Tables.h"
#include "TextEditorWindow.h"

namespace lq {

WindowRegistry::WindowRegistry(QObject* parent) : QObject(parent) {}

WindowRegistry::~WindowRegistry()
{
    const auto windows = m_windows;
    m_windows.clear();
    for (const QPointer<TextEditorWindow>& window : windows)
        delete window.data();
}

TextEditorWindow* WindowRegistry::window(const QString& name) const
{
    return m_windows.value(name).data();
}

TextEditorWindow* WindowRegistry::showWindow(const QString& name)
{
    TextEditorWindow* target = window(name);
    if (!target)
        target = create(name);
    if (!target)
        return nullptr;
    // A minimised window comes back as it was before; a hidden one with the text it held.
    target->setWindowState(target->windowState() & ~Qt::WindowMinimized);
    target->show();
    target->raise();
    target->activateWindow();
    return target;
}

void WindowRegistry::endWizard()
{
    // Pages never opened, or closed by the user, simply stay away.
    for (const QString& name : wizardHideOrder()) {
        if (TextEditorWindow* page = window(name))
            page->hide();
    }
}

TextEditorWindow* WindowRegistry::create(const QString& name)
{
    const EditorWindow* descriptor = findEditorWindow(name);
    if (!descriptor)
        return nullptr;
    auto* created = new TextEditorWindow(*descriptor);
    m_windows.insert(name, created);
    connect(created, &TextEditorWindow::nextPageRequested, this, &WindowRegistry::showWindow);
    connect(created, &TextEditorWindow::endWizardRequested, this, &WindowRegistry::endWizard);
    // Closed by the user: forget it at once, so a request made before Qt gets round to deleting
    // it already creates a fresh window.
    connect(created, &TextEditorWindow::closed, this, [this, created] { forget(created); });
    return created;
}

void WindowRegistry::forget(TextEditorWindow* window)
{
    for (auto it = m_windows.begin(); it != m_windows.end(); ++it) {
        if (it.value() == window) {
            m_windows.erase(it);
            return;
        }
    }
}

} // namespace lq

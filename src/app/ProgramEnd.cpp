#include "ProgramEnd.h"

#include <QApplication>
#include <QEvent>
#include <QTimer>
#include <QWidget>

namespace lq {

namespace {

bool anyWindowVisible()
{
    const QWidgetList windows = QApplication::topLevelWidgets();
    return std::any_of(windows.cbegin(), windows.cend(),
                       [](const QWidget* window) { return window->isVisible(); });
}

class WindowWatcher : public QObject
{
public:
    using QObject::QObject;

protected:
    bool eventFilter(QObject* watched, QEvent* event) override
    {
        if (event->type() == QEvent::Hide && watched->isWidgetType() &&
            static_cast<QWidget*>(watched)->isWindow() && !m_checkPending) {
            // Looked at once the handler that hid the window has run: it may show another.
            m_checkPending = true;
            QTimer::singleShot(0, this, [this] {
                m_checkPending = false;
                if (!anyWindowVisible())
                    QCoreApplication::quit();
            });
        }
        return false;
    }

private:
    bool m_checkPending = false;
};

} // namespace

void endWhenNoWindowIsShown()
{
    qApp->installEventFilter(new WindowWatcher(qApp));
}

} // namespace lq

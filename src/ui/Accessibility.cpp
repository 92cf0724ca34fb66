#include "Accessibility.h"

#include <QAccessibleObject>
#include <QAccessibleWidget>
#include <QGuiApplication>
#include <QLabel>
#include <QWidget>
#include <QWindow>

namespace lq::Accessibility {

namespace {

// The program as a whole: its children are the windows of its widgets. The toolkit would also
// list every other top-level window, among them the never-shown one a web view renders into,
// which a reader would offer as a frame called "Offscreen" that nobody can see.
class ProgramInterface : public QAccessibleApplication
{
public:
    int childCount() const override { return int(windows().size()); }

    QAccessibleInterface* child(int index) const override
    {
        const QList<QWidget*> list = windows();
        if (index < 0 || index >= list.size())
            return nullptr;
        return QAccessible::queryAccessibleInterface(list.at(index));
    }

    int indexOfChild(const QAccessibleInterface* child) const override
    {
        if (!child)
            return -1;
        return int(windows().indexOf(qobject_cast<QWidget*>(child->object())));
    }

private:
    static QList<QWidget*> windows()
    {
        QList<QWidget*> list;
        for (QWindow* window : QGuiApplication::topLevelWindows()) {
            if (window->type() == Qt::Popup || window->type() == Qt::Desktop)
                continue;
            QAccessibleInterface* root = window->accessibleRoot();
            if (auto* widget = root ? qobject_cast<QWidget*>(root->object()) : nullptr)
                list.append(widget);
        }
        return list;
    }
};

// A window made straight from QWidget (the editors and the wizard's pages) would read as a
// "filler", a piece of some other window: a reader would neither announce it when it opens nor
// offer it among the windows. QMainWindow and QDialog already say what they are.
bool isPlainWindow(const QString& className, QObject* object)
{
    if (!object->isWidgetType() || className != QLatin1String(object->metaObject()->className()))
        return false;
    const auto* widget = static_cast<QWidget*>(object);
    return widget->isWindow() && widget->windowType() == Qt::Window &&
           object->metaObject()->superClass() == &QWidget::staticMetaObject;
}

QAccessibleInterface* makeInterface(const QString& className, QObject* object)
{
    if (object == qApp)
        return new ProgramInterface;
    if (isPlainWindow(className, object))
        return new QAccessibleWidget(static_cast<QWidget*>(object), QAccessible::Window);
    return nullptr;
}

void notify(QWidget* widget, QAccessible::Event change)
{
    QAccessibleEvent event(widget, change);
    QAccessible::updateAccessibility(&event);
}

} // namespace

void install()
{
    QAccessible::installFactory(&makeInterface);
}

void setName(QWidget* widget, const QString& name)
{
    if (widget->accessibleName() == name)
        return;
    widget->setAccessibleName(name);
    notify(widget, QAccessible::NameChanged);
}

void setDescription(QWidget* widget, const QString& description)
{
    if (widget->accessibleDescription() == description)
        return;
    widget->setAccessibleDescription(description);
    notify(widget, QAccessible::DescriptionChanged);
}

void labelUnseen(QWidget* widget, const QString& name)
{
    // A reader follows a label's buddy from the label's own parent, so it is the widget's sibling.
    auto* label = new QLabel(name, widget->parentWidget());
    label->setObjectName(widget->objectName() + QStringLiteral("Label"));
    label->setBuddy(widget);
    label->hide();
}

} // namespace lq::Accessibility

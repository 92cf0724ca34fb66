#include "Messages.h"

#include "Tables.h"

#include <QMessageBox>

namespace lq::Messages {

namespace {
Handler& handler()
{
    static Handler current;
    return current;
}
} // namespace

void show(const QString& text)
{
    const QString title = QString::fromLatin1(applicationTitle);
    if (handler()) {
        handler()(title, text);
        return;
    }
    // No parent: the box is application-modal, so no window of the program reacts until OK.
    QMessageBox box(QMessageBox::NoIcon, title, text, QMessageBox::Ok);
    box.setObjectName(QStringLiteral("messageBox"));
    box.exec();
}

void setHandler(Handler newHandler)
{
    handler() = std::move(newHandler);
}

} // namespace lq::Messages

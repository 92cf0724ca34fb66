#include "Messages.h"

#include "Tables.h"

#include <QMessageBox>
#include <QPushButton>

namespace lq::Messages {

namespace {
Handler& handler()
{
    static Handler current;
    return current;
}

OfferHandler& offerHandler()
{
    static OfferHandler current;
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

bool offer(const QString& text, const QString& action)
{
    const QString title = QString::fromLatin1(applicationTitle);
    if (offerHandler())
        return offerHandler()(title, text, action);
    QMessageBox box(QMessageBox::NoIcon, title, text, QMessageBox::Ok);
    box.setObjectName(QStringLiteral("messageBox"));
    QPushButton* actionButton = box.addButton(action, QMessageBox::ActionRole);
    box.setDefaultButton(QMessageBox::Ok);
    box.setEscapeButton(QMessageBox::Ok);
    box.exec();
    return box.clickedButton() == actionButton;
}

void setOfferHandler(OfferHandler newHandler)
{
    offerHandler() = std::move(newHandler);
}

} // namespace lq::Messages

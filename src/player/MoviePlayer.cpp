#include "MoviePlayer.h"

#include <QLabel>
#include <QStackedLayout>

namespace lq {

QLabel* MoviePlayer::initBlankArea(const QString& labelName)
{
    setAutoFillBackground(true);
    QPalette dark = palette();
    dark.setColor(QPalette::Window, Qt::black);
    dark.setColor(QPalette::WindowText, QColor(0xdd, 0xdd, 0xdd));
    setPalette(dark);

    auto* stack = new QStackedLayout(this);
    stack->setContentsMargins(0, 0, 0, 0);
    auto* label = new QLabel(this);
    label->setObjectName(labelName);
    label->setAlignment(Qt::AlignCenter);
    label->setWordWrap(true);
    stack->addWidget(label);
    return label;
}

QStackedLayout* MoviePlayer::stack() const
{
    return qobject_cast<QStackedLayout*>(layout());
}

} // namespace lq

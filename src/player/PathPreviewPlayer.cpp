#include "PathPreviewPlayer.h"

#include <QLabel>
#include <QVBoxLayout>

namespace lq {

PathPreviewPlayer::PathPreviewPlayer(QWidget* parent) : MoviePlayer(parent)
{
    m_label = new QLabel(this);
    m_label->setObjectName(QStringLiteral("moviePath"));
    m_label->setAlignment(Qt::AlignCenter);
    m_label->setWordWrap(true);
    auto* layout = new QVBoxLayout(this);
    layout->setContentsMargins(0, 0, 0, 0);
    layout->addWidget(m_label);
    setAutoFillBackground(true);
    QPalette dark = palette();
    dark.setColor(QPalette::Window, Qt::black);
    dark.setColor(QPalette::WindowText, Qt::white);
    setPalette(dark);
}

void PathPreviewPlayer::setMovie(const QString& path)
{
    m_movie = path;
    ++m_loads;
    m_label->setText(path);
}

} // namespace lq

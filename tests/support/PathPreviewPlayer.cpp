#include "PathPreviewPlayer.h"

#include <QLabel>

namespace lq {

PathPreviewPlayer::PathPreviewPlayer(QWidget* parent) : MoviePlayer(parent)
{
    m_label = initBlankArea(QStringLiteral("moviePath"));
}

void PathPreviewPlayer::setMovie(const QString& path)
{
    m_movie = path;
    ++m_loads;
    m_label->setText(path);
}

} // namespace lq

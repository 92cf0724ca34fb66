#pragma once

#include "MoviePlayer.h"

class QLabel;

namespace lq {

// A stand-in player that shows which movie it was given and how often.
class PathPreviewPlayer : public MoviePlayer
{
    Q_OBJECT

public:
    explicit PathPreviewPlayer(QWidget* parent = nullptr);

    void setMovie(const QString& path) override;
    QString movie() const override { return m_movie; }
    int loadCount() const { return m_loads; }

private:
    QLabel* m_label = nullptr;
    QString m_movie;
    int m_loads = 0;
};

} // namespace lq

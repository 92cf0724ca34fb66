#include "Pictures.h"

#include <QHash>
#include <QPainter>
#include <QPainterPath>
#include <QPixmap>

#include <cmath>

namespace lq::Pictures {

namespace {

using Painter = void (*)(QPainter&, qreal size);

void drawStar(QPainter& p, QPointF centre, qreal outer, qreal inner, int points)
{
    QPainterPath path;
    for (int i = 0; i < points * 2; ++i) {
        const qreal radius = (i % 2 == 0) ? outer : inner;
        const qreal angle = M_PI * i / points - M_PI / 2;
        const QPointF point(centre.x() + radius * std::cos(angle),
                            centre.y() + radius * std::sin(angle));
        if (i == 0)
            path.moveTo(point);
        else
            path.lineTo(point);
    }
    path.closeSubpath();
    p.drawPath(path);
}

void paintEffect(QPainter& p, qreal s)
{
    p.setPen(QPen(QColor(0x8a, 0x4b, 0x00), s / 16));
    p.setBrush(QColor(0xff, 0xc1, 0x2e));
    drawStar(p, {s / 2, s / 2}, s * 0.46, s * 0.2, 5);
}

void paintTips(QPainter& p, qreal s)
{
    p.setPen(QPen(QColor(0x6b, 0x5a, 0x00), s / 16));
    p.setBrush(QColor(0xff, 0xf1, 0x76));
    p.drawEllipse(QRectF(s * 0.2, s * 0.06, s * 0.6, s * 0.6));
    p.setBrush(QColor(0x90, 0x90, 0x90));
    p.drawRect(QRectF(s * 0.36, s * 0.66, s * 0.28, s * 0.26));
}

void paintWeb(QPainter& p, qreal s)
{
    p.setPen(QPen(QColor(0x0b, 0x4f, 0x8a), s / 16));
    p.setBrush(QColor(0x7c, 0xc4, 0xf5));
    const QRectF globe(s * 0.06, s * 0.06, s * 0.88, s * 0.88);
    p.drawEllipse(globe);
    p.setBrush(Qt::NoBrush);
    p.drawEllipse(QRectF(s * 0.3, s * 0.06, s * 0.4, s * 0.88));
    p.drawLine(QPointF(s * 0.06, s / 2), QPointF(s * 0.94, s / 2));
}

void paintTutorial(QPainter& p, qreal s)
{
    p.setPen(QPen(QColor(0x2e, 0x4d, 0x1f), s / 16));
    p.setBrush(QColor(0x9c, 0xd6, 0x7a));
    p.drawRect(QRectF(s * 0.12, s * 0.1, s * 0.76, s * 0.82));
    p.setPen(QPen(QColor(0x2e, 0x4d, 0x1f), s / 12));
    for (int line = 0; line < 3; ++line) {
        const qreal y = s * (0.32 + 0.18 * line);
        p.drawLine(QPointF(s * 0.26, y), QPointF(s * 0.74, y));
    }
}

void paintMain(QPainter& p, qreal s)
{
    // A quill over a glowing disc.
    p.setPen(Qt::NoPen);
    p.setBrush(QColor(0x1d, 0x2b, 0x53));
    p.drawRoundedRect(QRectF(0, 0, s, s), s * 0.2, s * 0.2);
    p.setBrush(QColor(0xff, 0xc1, 0x2e));
    p.drawEllipse(QRectF(s * 0.18, s * 0.18, s * 0.64, s * 0.64));
    QPainterPath quill;
    quill.moveTo(s * 0.22, s * 0.86);
    quill.cubicTo(s * 0.35, s * 0.5, s * 0.6, s * 0.2, s * 0.86, s * 0.12);
    quill.cubicTo(s * 0.78, s * 0.42, s * 0.55, s * 0.66, s * 0.22, s * 0.86);
    p.setBrush(Qt::white);
    p.setPen(QPen(QColor(0x1d, 0x2b, 0x53), s / 24));
    p.drawPath(quill);
}

void paintVector(QPainter& p, qreal s)
{
    p.setPen(QPen(QColor(0x00, 0x66, 0xcc), s / 10));
    p.drawLine(QPointF(s * 0.1, s * 0.9), QPointF(s * 0.9, s * 0.1));
    p.drawLine(QPointF(s * 0.9, s * 0.1), QPointF(s * 0.55, s * 0.15));
    p.drawLine(QPointF(s * 0.9, s * 0.1), QPointF(s * 0.85, s * 0.45));
}

void paintFlowers(QPainter& p, qreal s)
{
    p.setPen(Qt::NoPen);
    p.setBrush(QColor(0xe9, 0x5b, 0x9c));
    for (int i = 0; i < 5; ++i) {
        const qreal a = 2 * M_PI * i / 5;
        p.drawEllipse(QPointF(s / 2 + s * 0.22 * std::cos(a), s / 2 + s * 0.22 * std::sin(a)),
                      s * 0.18, s * 0.18);
    }
    p.setBrush(QColor(0xff, 0xd5, 0x4f));
    p.drawEllipse(QPointF(s / 2, s / 2), s * 0.14, s * 0.14);
}

void paintSpiro(QPainter& p, qreal s)
{
    p.setPen(QPen(QColor(0x7b, 0x1f, 0xa2), s / 20));
    p.setBrush(Qt::NoBrush);
    for (int i = 0; i < 6; ++i) {
        p.save();
        p.translate(s / 2, s / 2);
        p.rotate(30.0 * i);
        p.drawEllipse(QRectF(-s * 0.42, -s * 0.16, s * 0.84, s * 0.32));
        p.restore();
    }
}

void paintFireworks(QPainter& p, qreal s)
{
    p.fillRect(QRectF(0, 0, s, s), QColor(0x10, 0x10, 0x30));
    const QColor colours[] = {QColor(0xff, 0x52, 0x52), QColor(0xff, 0xeb, 0x3b),
                              QColor(0x40, 0xc4, 0xff)};
    for (int i = 0; i < 12; ++i) {
        p.setPen(QPen(colours[i % 3], s / 16));
        const qreal a = 2 * M_PI * i / 12;
        p.drawLine(QPointF(s / 2 + s * 0.1 * std::cos(a), s / 2 + s * 0.1 * std::sin(a)),
                   QPointF(s / 2 + s * 0.44 * std::cos(a), s / 2 + s * 0.44 * std::sin(a)));
    }
}

QPixmap render(Painter painter, int size)
{
    QPixmap pixmap(size, size);
    pixmap.fill(Qt::transparent);
    QPainter p(&pixmap);
    p.setRenderHint(QPainter::Antialiasing);
    painter(p, size);
    return pixmap;
}

} // namespace

QIcon icon(const QString& key)
{
    static const QHash<QString, Painter> painters = {
        {QStringLiteral("effect"), paintEffect},   {QStringLiteral("tips"), paintTips},
        {QStringLiteral("web"), paintWeb},         {QStringLiteral("tutorial"), paintTutorial},
        {QStringLiteral("main"), paintMain},       {QStringLiteral("vector"), paintVector},
        {QStringLiteral("flowers"), paintFlowers}, {QStringLiteral("spiro"), paintSpiro},
        {QStringLiteral("fireworks"), paintFireworks},
    };
    const Painter painter = painters.value(key);
    if (!painter)
        return {};
    QIcon result;
    for (int size : {16, 32, 48})
        result.addPixmap(render(painter, size));
    return result;
}

} // namespace lq::Pictures

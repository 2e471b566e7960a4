#include "settings_ui/tree_samples.h"

#include <QColor>
#include <QPainter>
#include <QPen>
#include <QPointF>
#include <QRectF>

namespace postloom {

namespace {

// Lines lie on half-pixel coordinates so that they cover whole pixels.
constexpr qreal kLineX = 1.5;
constexpr qreal kLineY = 15.5;
constexpr qreal kBottom = kTreeSampleSize;
const QRectF kEnvelope(12.5, 9.5, 18, 12);

void DrawEnvelope(QPainter& painter)
{
    painter.setBrush(QColor(0xFF, 0xFB, 0xE8));
    painter.drawRect(kEnvelope);
    // The flap: from both top corners down to the middle of the envelope.
    const QPointF tip(kEnvelope.center().x(), kEnvelope.top() + kEnvelope.height() * 0.55);
    painter.drawLine(kEnvelope.topLeft(), tip);
    painter.drawLine(tip, kEnvelope.topRight());
}

}  // namespace

QPixmap TreeSamplePicture(TreeSample sample)
{
    QPixmap picture(kTreeSampleSize, kTreeSampleSize);
    picture.fill(Qt::transparent);
    QPainter painter(&picture);
    painter.setPen(QPen(Qt::black, 1));

    const bool fromAbove = sample != TreeSample::First;
    const bool downwards = sample != TreeSample::Last;
    painter.drawLine(QPointF(kLineX, fromAbove ? 0 : kLineY), QPointF(kLineX, downwards ? kBottom : kLineY));
    if (sample != TreeSample::Middle) {
        painter.drawLine(QPointF(kLineX, kLineY), QPointF(kEnvelope.left(), kLineY));
        DrawEnvelope(painter);
    }
    return picture;
}

}  // namespace postloom

#include "app/view/picture_shapes.h"

#include <QImage>
#include <QLinearGradient>
#include <QPainterPath>
#include <QPolygonF>
#include <QRadialGradient>

#include <cmath>

namespace postloom::pictures {

namespace {

QLinearGradient Vertical(const QRectF& area, const QColor& top, const QColor& bottom)
{
    QLinearGradient gradient(area.topLeft(), area.bottomLeft());
    gradient.setColorAt(0.0, top);
    gradient.setColorAt(1.0, bottom);
    return gradient;
}

QPen Outline(const QColor& colour, qreal width = 1.0)
{
    QPen pen(colour, width);
    pen.setJoinStyle(Qt::RoundJoin);
    pen.setCapStyle(Qt::RoundCap);
    return pen;
}

}  // namespace

QPixmap Render(QSize logicalSize, qreal scale, qreal devicePixelRatio, const std::function<void(QPainter&)>& draw)
{
    const qreal factor = scale * devicePixelRatio;
    QImage image(qRound(logicalSize.width() * factor), qRound(logicalSize.height() * factor),
                 QImage::Format_ARGB32_Premultiplied);
    image.fill(Qt::transparent);
    {
        QPainter painter(&image);
        painter.setRenderHint(QPainter::Antialiasing);
        painter.scale(factor, factor);
        draw(painter);
    }
    QPixmap pixmap = QPixmap::fromImage(image);
    pixmap.setDevicePixelRatio(devicePixelRatio);
    return pixmap;
}

void Envelope(QPainter& painter, const QRectF& body, const Colours& colours)
{
    painter.save();
    const qreal radius = body.height() / 10.0;
    painter.setPen(Outline(colours.line));
    painter.setBrush(Vertical(body, colours.light, colours.dark));
    painter.drawRoundedRect(body, radius, radius);

    // The flap: a lighter triangle from the top edge down to the middle.
    const QPointF tip(body.center().x(), body.top() + body.height() * 0.58);
    const QPolygonF flap{body.topLeft() + QPointF(0.5, 0.5), tip, body.topRight() + QPointF(-0.5, 0.5)};
    painter.setBrush(Vertical(body, colours.light.lighter(112), colours.light));
    painter.drawPolygon(flap);

    // Faint folds from the bottom corners.
    QColor fold = colours.line;
    fold.setAlpha(90);
    painter.setPen(Outline(fold));
    const qreal foldY = body.top() + body.height() * 0.5;
    painter.drawLine(body.bottomLeft() + QPointF(1.0, -1.0), QPointF(body.left() + body.width() * 0.38, foldY));
    painter.drawLine(body.bottomRight() + QPointF(-1.0, -1.0), QPointF(body.right() - body.width() * 0.38, foldY));
    painter.restore();
}

void Page(QPainter& painter, const QRectF& sheet)
{
    painter.save();
    const qreal fold = std::round(sheet.width() * 0.35);
    QPainterPath outline;
    outline.moveTo(sheet.topLeft());
    outline.lineTo(sheet.right() - fold, sheet.top());
    outline.lineTo(sheet.right(), sheet.top() + fold);
    outline.lineTo(sheet.bottomRight());
    outline.lineTo(sheet.bottomLeft());
    outline.closeSubpath();
    painter.setPen(Outline(QColor(0x5E, 0x66, 0x70)));
    painter.setBrush(Vertical(sheet, QColor(0xFF, 0xFF, 0xFF), QColor(0xE4, 0xE9, 0xEF)));
    painter.drawPath(outline);

    const QPolygonF corner{QPointF(sheet.right() - fold, sheet.top()),
                           QPointF(sheet.right() - fold, sheet.top() + fold),
                           QPointF(sheet.right(), sheet.top() + fold)};
    painter.setBrush(QColor(0xC9, 0xD1, 0xDA));
    painter.drawPolygon(corner);
    painter.restore();
}

void TextLines(QPainter& painter, const QRectF& area, int count)
{
    painter.save();
    painter.setPen(QPen(QColor(0x8C, 0x96, 0xA3), 1.0, Qt::SolidLine, Qt::FlatCap));
    const qreal step = count > 1 ? area.height() / (count - 1) : 0.0;
    for (int i = 0; i < count; ++i) {
        const qreal y = area.top() + i * step;
        // Every other line stops short, like the end of a paragraph.
        const qreal right = i % 2 == 1 ? area.right() - area.width() * 0.3 : area.right();
        painter.drawLine(QPointF(area.left(), y), QPointF(right, y));
    }
    painter.restore();
}

void Globe(QPainter& painter, QPointF centre, qreal radius)
{
    painter.save();
    QRadialGradient sea(centre - QPointF(radius * 0.4, radius * 0.4), radius * 1.6);
    sea.setColorAt(0.0, QColor(0xB8, 0xE4, 0xFF));
    sea.setColorAt(0.55, QColor(0x3A, 0x9A, 0xDE));
    sea.setColorAt(1.0, QColor(0x17, 0x5C, 0x9C));
    painter.setPen(Outline(QColor(0x12, 0x4A, 0x7E)));
    painter.setBrush(sea);
    painter.drawEllipse(centre, radius, radius);

    // Two green lands, clipped to the sphere.
    QPainterPath sphere;
    sphere.addEllipse(centre, radius - 0.5, radius - 0.5);
    painter.setClipPath(sphere);
    painter.setPen(Qt::NoPen);
    painter.setBrush(QColor(0x4C, 0xB0, 0x4F));
    painter.drawEllipse(QPointF(centre.x() - radius * 0.45, centre.y() - radius * 0.3), radius * 0.45, radius * 0.3);
    painter.drawEllipse(QPointF(centre.x() + radius * 0.35, centre.y() + radius * 0.4), radius * 0.35, radius * 0.4);

    // Meridian and parallels.
    painter.setBrush(Qt::NoBrush);
    painter.setPen(QPen(QColor(255, 255, 255, 150), radius > 4.0 ? 0.8 : 0.6));
    painter.drawEllipse(centre, radius * 0.45, radius);
    painter.drawLine(QPointF(centre.x() - radius, centre.y()), QPointF(centre.x() + radius, centre.y()));
    painter.drawLine(QPointF(centre.x(), centre.y() - radius), QPointF(centre.x(), centre.y() + radius));
    painter.restore();
}

void Pencil(QPainter& painter, QPointF tip, qreal length)
{
    painter.save();
    painter.translate(tip);
    painter.rotate(-45.0);
    const qreal half = length / 6.0;
    const qreal point = half * 2.2;
    const QColor line(0x3B, 0x2C, 0x10);
    painter.setPen(Outline(line, 0.8));

    // Wood, then the graphite at the very point.
    painter.setBrush(QColor(0xF1, 0xD2, 0xA4));
    painter.drawPolygon(QPolygonF{QPointF(0, 0), QPointF(point, -half), QPointF(point, half)});
    painter.setPen(Qt::NoPen);
    painter.setBrush(QColor(0x30, 0x30, 0x30));
    painter.drawPolygon(QPolygonF{QPointF(0, 0), QPointF(point * 0.4, -half * 0.4), QPointF(point * 0.4, half * 0.4)});

    painter.setPen(Outline(line, 0.8));
    const QRectF body(point, -half, length - point - half * 1.6, 2 * half);
    QLinearGradient paint(body.topLeft(), body.bottomLeft());
    paint.setColorAt(0.0, QColor(0xFF, 0xD5, 0x4F));
    paint.setColorAt(1.0, QColor(0xE0, 0x9A, 0x10));
    painter.setBrush(paint);
    painter.drawRect(body);
    painter.setBrush(QColor(0xEC, 0x8F, 0xA6));
    painter.drawRect(QRectF(body.right(), -half, half * 1.6, 2 * half));
    painter.restore();
}

void Magnifier(QPainter& painter, QPointF lensCentre, qreal lensRadius, qreal handleLength)
{
    painter.save();
    const qreal diagonal = 1.0 / std::sqrt(2.0);
    const QPointF rim = lensCentre + QPointF(lensRadius * diagonal, lensRadius * diagonal);
    const QPointF end = rim + QPointF(handleLength * diagonal, handleLength * diagonal);
    painter.setPen(QPen(QColor(0x5A, 0x3A, 0x1C), 2.4, Qt::SolidLine, Qt::RoundCap));
    painter.drawLine(rim, end);

    QRadialGradient glass(lensCentre - QPointF(lensRadius * 0.35, lensRadius * 0.35), lensRadius * 1.3);
    glass.setColorAt(0.0, QColor(255, 255, 255, 230));
    glass.setColorAt(1.0, QColor(0xA9, 0xD8, 0xF5, 170));
    painter.setBrush(glass);
    painter.setPen(QPen(QColor(0x40, 0x44, 0x4C), 1.2));
    painter.drawEllipse(lensCentre, lensRadius, lensRadius);
    painter.restore();
}

void CrossOut(QPainter& painter, const QRectF& area, qreal width)
{
    painter.save();
    const auto strokes = [&](const QPen& pen) {
        painter.setPen(pen);
        painter.drawLine(area.topLeft(), area.bottomRight());
        painter.drawLine(area.topRight(), area.bottomLeft());
    };
    strokes(QPen(QColor(255, 255, 255, 210), width + 1.6, Qt::SolidLine, Qt::RoundCap));
    strokes(QPen(QColor(0xD3, 0x1F, 0x1F), width, Qt::SolidLine, Qt::RoundCap));
    painter.restore();
}

}  // namespace postloom::pictures

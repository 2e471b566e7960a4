#include "app/view/pictures.h"

#include "app/view/picture_shapes.h"

#include <QLinearGradient>
#include <QPainterPath>
#include <QPolygonF>
#include <QRadialGradient>

#include <array>

namespace postloom {

namespace {

using namespace pictures;

void NewPage(QPainter& painter)
{
    Page(painter, QRectF(2.5, 0.5, 11.0, 15.0));
}

void OpenFolder(QPainter& painter)
{
    const QColor line(0x8A, 0x62, 0x0E);
    painter.setPen(QPen(line, 1.0, Qt::SolidLine, Qt::RoundCap, Qt::RoundJoin));
    painter.setBrush(QColor(0xE2, 0xAE, 0x34));
    painter.drawPolygon(QPolygonF{{0.5, 2.5}, {5.0, 2.5}, {6.5, 4.0}, {12.5, 4.0}, {12.5, 13.5}, {0.5, 13.5}});

    // A sheet inside, showing above the front.
    painter.setBrush(Qt::white);
    painter.setPen(QPen(QColor(0x9A, 0xA3, 0xAD), 1.0));
    painter.drawRect(QRectF(2.5, 5.5, 8.0, 6.0));

    QLinearGradient front(QPointF(0, 7), QPointF(0, 13.5));
    front.setColorAt(0.0, QColor(0xFF, 0xE6, 0x7A));
    front.setColorAt(1.0, QColor(0xF0, 0xB9, 0x2C));
    painter.setBrush(front);
    painter.setPen(QPen(line, 1.0, Qt::SolidLine, Qt::RoundCap, Qt::RoundJoin));
    painter.drawPolygon(QPolygonF{{0.5, 13.5}, {3.5, 7.5}, {15.5, 7.5}, {12.5, 13.5}});
}

void FloppyDisk(QPainter& painter)
{
    QPainterPath body;
    body.moveTo(1.5, 1.5);
    body.lineTo(13.0, 1.5);
    body.lineTo(14.5, 3.0);
    body.lineTo(14.5, 14.5);
    body.lineTo(1.5, 14.5);
    body.closeSubpath();
    QLinearGradient blue(QPointF(0, 1.5), QPointF(0, 14.5));
    blue.setColorAt(0.0, QColor(0x4F, 0x78, 0xC2));
    blue.setColorAt(1.0, QColor(0x25, 0x44, 0x85));
    painter.setPen(QPen(QColor(0x16, 0x28, 0x50), 1.0, Qt::SolidLine, Qt::RoundCap, Qt::RoundJoin));
    painter.setBrush(blue);
    painter.drawPath(body);

    // Metal shutter with its window.
    painter.setPen(QPen(QColor(0x5C, 0x63, 0x6E), 1.0));
    painter.setBrush(QColor(0xD5, 0xDA, 0xE1));
    painter.drawRect(QRectF(4.5, 1.5, 7.0, 4.5));
    painter.setPen(Qt::NoPen);
    painter.setBrush(QColor(0x25, 0x44, 0x85));
    painter.drawRect(QRectF(9.0, 2.5, 1.5, 2.5));

    // Label.
    painter.setPen(QPen(QColor(0x16, 0x28, 0x50), 1.0));
    painter.setBrush(Qt::white);
    painter.drawRect(QRectF(3.5, 8.5, 9.0, 6.0));
    TextLines(painter, QRectF(5.0, 10.5, 6.0, 2.0), 2);
}

void PageWithPen(QPainter& painter)
{
    Page(painter, QRectF(1.5, 0.5, 10.0, 14.0));
    TextLines(painter, QRectF(3.5, 5.5, 5.0, 6.0), 4);
    Pencil(painter, QPointF(6.5, 14.5), 12.0);
}

// Three items joined by the lines of a tree, and an arrow that unfolds them.
void BoxTreeWithArrow(QPainter& painter)
{
    painter.setPen(QPen(QColor(0x50, 0x58, 0x62), 1.0, Qt::SolidLine, Qt::FlatCap));
    painter.drawLine(QPointF(3.5, 4.5), QPointF(3.5, 13.5));
    painter.drawLine(QPointF(3.5, 7.5), QPointF(6.5, 7.5));
    painter.drawLine(QPointF(3.5, 13.5), QPointF(6.5, 13.5));

    QLinearGradient fill(QPointF(0, 0), QPointF(0, 16));
    fill.setColorAt(0.0, QColor(0x8C, 0xC3, 0xFF));
    fill.setColorAt(1.0, QColor(0x2E, 0x74, 0xD0));
    painter.setBrush(fill);
    painter.setPen(QPen(QColor(0x12, 0x3A, 0x80), 1.0));
    for (const QPointF corner : {QPointF(1.5, 0.5), QPointF(6.5, 5.5), QPointF(6.5, 11.5)})
        painter.drawRect(QRectF(corner, QSizeF(4.0, 4.0)));

    painter.setPen(QPen(QColor(0x1D, 0x6B, 0x2E), 1.0, Qt::SolidLine, Qt::RoundCap, Qt::RoundJoin));
    painter.setBrush(QColor(0x3F, 0xB9, 0x4F));
    painter.drawPolygon(QPolygonF{
        {11.5, 1.5}, {14.5, 1.5}, {14.5, 8.5}, {15.9, 8.5}, {13.0, 14.5}, {10.1, 8.5}, {11.5, 8.5}});
}

void EnvelopeWithPen(QPainter& painter)
{
    Envelope(painter, QRectF(0.5, 4.5, 12.0, 9.0), kYellow);
    Pencil(painter, QPointF(7.5, 12.0), 11.0);
}

void EnvelopeWithPage(QPainter& painter)
{
    Page(painter, QRectF(3.5, 0.5, 9.0, 10.0));
    TextLines(painter, QRectF(5.0, 4.5, 5.0, 2.0), 2);
    Envelope(painter, QRectF(0.5, 6.5, 15.0, 9.0), kYellow);
}

void RedCircle(QPainter& painter)
{
    QRadialGradient red(QPointF(6.0, 5.5), 8.0);
    red.setColorAt(0.0, QColor(0xFF, 0x9C, 0x90));
    red.setColorAt(0.45, QColor(0xE5, 0x39, 0x35));
    red.setColorAt(1.0, QColor(0xA3, 0x16, 0x16));
    painter.setPen(QPen(QColor(0x7A, 0x0E, 0x0E), 1.0));
    painter.setBrush(red);
    painter.drawEllipse(QPointF(8.0, 8.0), 5.5, 5.5);
}

void BlueTriangle(QPainter& painter, bool up)
{
    const qreal apex = up ? 2.5 : 13.5;
    const qreal base = up ? 13.0 : 3.0;
    QLinearGradient fill(QPointF(0, 2.5), QPointF(0, 13.5));
    fill.setColorAt(0.0, kBlue.light);
    fill.setColorAt(1.0, kBlue.dark);
    painter.setPen(QPen(kBlue.line, 1.0, Qt::SolidLine, Qt::RoundCap, Qt::RoundJoin));
    painter.setBrush(fill);
    painter.drawPolygon(QPolygonF{{8.0, apex}, {14.5, base}, {1.5, base}});
}

void BlackCross(QPainter& painter)
{
    painter.setPen(QPen(QColor(0x1A, 0x1A, 0x1A), 2.6, Qt::SolidLine, Qt::RoundCap));
    painter.drawLine(QPointF(3.5, 3.5), QPointF(12.5, 12.5));
    painter.drawLine(QPointF(12.5, 3.5), QPointF(3.5, 12.5));
}

void PageWithGlobeAndEnvelope(QPainter& painter)
{
    Page(painter, QRectF(0.5, 0.5, 10.0, 13.0));
    Globe(painter, QPointF(5.0, 6.0), 3.3);
    Envelope(painter, QRectF(6.5, 9.5, 9.0, 6.0), kYellow);
}

void GraphicPage(QPainter& painter)
{
    Page(painter, QRectF(1.5, 0.5, 12.0, 15.0));
    const QRectF picture(3.5, 5.5, 8.0, 7.0);
    painter.save();
    painter.setPen(QPen(QColor(0x5E, 0x66, 0x70), 1.0));
    QLinearGradient sky(picture.topLeft(), picture.bottomLeft());
    sky.setColorAt(0.0, QColor(0x9F, 0xD6, 0xFF));
    sky.setColorAt(1.0, QColor(0xDF, 0xF2, 0xFF));
    painter.setBrush(sky);
    painter.drawRect(picture);
    painter.setClipRect(picture.adjusted(0.5, 0.5, -0.5, -0.5));
    painter.setPen(Qt::NoPen);
    painter.setBrush(QColor(0xFF, 0xC1, 0x07));
    painter.drawEllipse(QPointF(9.5, 7.8), 1.3, 1.3);
    painter.setBrush(QColor(0x3E, 0xA0, 0x4A));
    painter.drawPolygon(QPolygonF{{3.5, 12.5}, {6.5, 8.5}, {9.0, 11.0}, {10.0, 10.0}, {11.5, 12.5}});
    painter.restore();
}

void PageWithGlobe(QPainter& painter)
{
    Page(painter, QRectF(1.5, 0.5, 10.0, 14.0));
    TextLines(painter, QRectF(3.5, 5.5, 4.0, 2.0), 2);
    Globe(painter, QPointF(10.5, 10.5), 4.8);
}

void PageWithEnvelope(QPainter& painter)
{
    Page(painter, QRectF(1.5, 0.5, 10.0, 14.0));
    TextLines(painter, QRectF(3.5, 5.5, 5.0, 2.0), 2);
    Envelope(painter, QRectF(5.5, 8.5, 10.0, 7.0), kYellow);
}

void PageWithGlobeAndMagnifier(QPainter& painter)
{
    Page(painter, QRectF(0.5, 0.5, 10.0, 13.0));
    Globe(painter, QPointF(5.0, 7.0), 3.3);
    Magnifier(painter, QPointF(10.5, 9.5), 3.2, 4.5);
}

}  // namespace

QPixmap ToolBarPixmap(ToolBarPicture picture, qreal devicePixelRatio)
{
    using Draw = void (*)(QPainter&);
    static constexpr std::array<Draw, kToolBarPictureCount> kPictures{
        NewPage,
        OpenFolder,
        FloppyDisk,
        PageWithPen,
        BoxTreeWithArrow,
        EnvelopeWithPen,
        EnvelopeWithPage,
        RedCircle,
        [](QPainter& painter) { BlueTriangle(painter, true); },
        [](QPainter& painter) { BlueTriangle(painter, false); },
        BlackCross,
        PageWithGlobeAndEnvelope,
        GraphicPage,
        PageWithGlobe,
        PageWithEnvelope,
        PageWithGlobeAndMagnifier,
    };
    const auto index = static_cast<std::size_t>(picture);
    if (index >= kPictures.size())
        return {};
    return pictures::Render(kToolBarPictureSize, 1.0, devicePixelRatio, kPictures[index]);
}

QIcon ToolBarIcon(ToolBarPicture picture)
{
    QIcon icon;
    for (const qreal ratio : {1.0, 2.0})
        icon.addPixmap(ToolBarPixmap(picture, ratio));
    return icon;
}

}  // namespace postloom

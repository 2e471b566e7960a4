#include "app/view/pictures.h"

#include "app/view/picture_shapes.h"

#include <QLinearGradient>

namespace postloom {

namespace {

using namespace pictures;

constexpr QSize kProgramGrid{32, 32};

// A mail in front of the web, on a blue tile: mails become pages.
void ProgramPicture(QPainter& painter)
{
    const QRectF tile(1.5, 1.5, 29.0, 29.0);
    QLinearGradient blue(tile.topLeft(), tile.bottomLeft());
    blue.setColorAt(0.0, QColor(0x4A, 0x8B, 0xE6));
    blue.setColorAt(1.0, QColor(0x1B, 0x3D, 0x80));
    painter.setPen(QPen(QColor(0x12, 0x2C, 0x5E), 1.0));
    painter.setBrush(blue);
    painter.drawRoundedRect(tile, 6.0, 6.0);

    Globe(painter, QPointF(19.0, 12.5), 8.5);
    Envelope(painter, QRectF(4.5, 15.5, 17.0, 11.5), kYellow);
}

}  // namespace

QPixmap ProgramPixmap(int size)
{
    if (size <= 0)
        return {};
    return Render(kProgramGrid, static_cast<qreal>(size) / kProgramGrid.width(), 1.0, ProgramPicture);
}

QIcon ProgramIcon()
{
    QIcon icon;
    for (const int size : {16, 24, 32, 48, 64, 128, 256})
        icon.addPixmap(ProgramPixmap(size));
    return icon;
}

}  // namespace postloom

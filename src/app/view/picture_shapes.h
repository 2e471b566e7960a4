#pragma once

// The pieces the program's pictures are made of. Every piece draws in the
// picture's own logical pixels; a 1-pixel outline lies on half-pixel
// coordinates so that it stays crisp at whole device pixel ratios.

#include <QColor>
#include <QPainter>
#include <QPixmap>
#include <QPointF>
#include <QRectF>
#include <QSize>

#include <functional>

namespace postloom::pictures {

// A transparent pixmap of logicalSize x scale device-independent pixels,
// drawn by draw in logical pixels.
QPixmap Render(QSize logicalSize, qreal scale, qreal devicePixelRatio, const std::function<void(QPainter&)>& draw);

// Fill from top (light) to bottom (dark), and the outline.
struct Colours {
    QColor light;
    QColor dark;
    QColor line;
};

inline const Colours kYellow{QColor(0xFF, 0xE6, 0x7A), QColor(0xF0, 0xB9, 0x2C), QColor(0x8A, 0x62, 0x0E)};
inline const Colours kSlate{QColor(0x7A, 0x82, 0x94), QColor(0x45, 0x4C, 0x5B), QColor(0x1E, 0x22, 0x2A)};
inline const Colours kBlue{QColor(0x7C, 0xB4, 0xF8), QColor(0x1F, 0x5F, 0xCC), QColor(0x12, 0x3A, 0x80)};

void Envelope(QPainter& painter, const QRectF& body, const Colours& colours);
// A white sheet with its top right corner folded over.
void Page(QPainter& painter, const QRectF& sheet);
// Grey lines of text across area, evenly spaced from its top.
void TextLines(QPainter& painter, const QRectF& area, int count);
void Globe(QPainter& painter, QPointF centre, qreal radius);
// A pencil whose point is at tip, lying at 45 degrees up to the right.
void Pencil(QPainter& painter, QPointF tip, qreal length);
void Magnifier(QPainter& painter, QPointF lensCentre, qreal lensRadius, qreal handleLength);
// A red X over area, on a light halo so that it shows on any picture.
void CrossOut(QPainter& painter, const QRectF& area, qreal width);

}  // namespace postloom::pictures

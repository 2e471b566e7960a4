#include "app/view/pictures.h"

#include "app/view/picture_shapes.h"

#include <QLinearGradient>
#include <QPainterPath>
#include <QPolygonF>

#include <array>

namespace postloom {

namespace {

using namespace pictures;

const QRectF kEnvelopeBody(2.5, 3.5, 19.0, 12.0);

void MailEnvelope(QPainter& painter)
{
    Envelope(painter, kEnvelopeBody, kYellow);
}

// A piece of the dark envelope, cut out along outline and drawn drift away
// from where it belongs.
struct Shard {
    QPolygonF outline;
    QPointF drift;
    qreal opacity;
};

// The left half stays whole; the right half breaks into three pieces along
// jagged edges, drifting further and fading the further right they lie.
void BrokenEnvelope(QPainter& painter)
{
    const std::array<Shard, 4> shards{{
        {QPolygonF{{0, 0}, {13, 0}, {11.5, 6}, {14, 9.5}, {12, 13}, {13, 18}, {0, 18}}, {0, 0}, 1.0},
        {QPolygonF{{13, 0}, {24, 0}, {24, 7}, {17, 8}, {14, 9.5}, {11.5, 6}}, {1.2, -1.2}, 0.95},
        {QPolygonF{{14, 9.5}, {17, 8}, {24, 7}, {24, 12.5}, {17.5, 13.5}, {12, 13}}, {2.0, 0.3}, 0.85},
        {QPolygonF{{12, 13}, {17.5, 13.5}, {24, 12.5}, {24, 18}, {13, 18}}, {1.0, 1.4}, 0.9},
    }};
    for (const Shard& shard : shards) {
        painter.save();
        painter.translate(shard.drift);
        painter.setOpacity(shard.opacity);
        QPainterPath clip;
        clip.addPolygon(shard.outline);
        painter.setClipPath(clip);
        Envelope(painter, kEnvelopeBody, kSlate);
        painter.restore();
    }
}

void ProjectWindow(QPainter& painter)
{
    const QRectF frame(2.5, 1.5, 19.0, 15.0);
    const QColor line(0x2C, 0x4A, 0x75);
    QPainterPath outline;
    outline.addRoundedRect(frame, 1.5, 1.5);

    painter.save();
    painter.setPen(Qt::NoPen);
    painter.setBrush(QColor(0xF5, 0xF8, 0xFC));
    painter.drawPath(outline);
    painter.setClipPath(outline);
    const QRectF titleBar(frame.left(), frame.top(), frame.width(), 4.0);
    QLinearGradient title(titleBar.topLeft(), titleBar.bottomLeft());
    title.setColorAt(0.0, QColor(0x6C, 0xA8, 0xF0));
    title.setColorAt(1.0, QColor(0x2F, 0x6D, 0xC0));
    painter.setBrush(title);
    painter.drawRect(titleBar);
    painter.setBrush(Qt::white);
    painter.drawEllipse(QPointF(16.8, 3.5), 0.8, 0.8);
    painter.drawEllipse(QPointF(19.2, 3.5), 0.8, 0.8);
    painter.restore();

    painter.save();
    painter.setPen(QPen(line, 1.0));
    painter.setBrush(Qt::NoBrush);
    painter.drawPath(outline);
    painter.drawLine(QPointF(frame.left(), 5.5), QPointF(frame.right(), 5.5));
    painter.restore();

    Globe(painter, QPointF(12.0, 11.0), 4.3);
}

void CrossedOut(QPainter& painter, void (*picture)(QPainter&))
{
    picture(painter);
    CrossOut(painter, QRectF(5.0, 2.5, 14.0, 13.0), 2.0);
}

}  // namespace

QPixmap TreeIconPixmap(int index, qreal devicePixelRatio)
{
    using Draw = void (*)(QPainter&);
    static constexpr std::array<Draw, kTreeIconCount> kPictures{
        MailEnvelope,
        BrokenEnvelope,
        ProjectWindow,
        [](QPainter& painter) { CrossedOut(painter, MailEnvelope); },
        [](QPainter& painter) { CrossedOut(painter, BrokenEnvelope); },
    };
    if (index < 0 || index >= kTreeIconCount)
        return {};
    return Render(kTreeIconSize, 1.0, devicePixelRatio, kPictures[static_cast<std::size_t>(index)]);
}

}  // namespace postloom

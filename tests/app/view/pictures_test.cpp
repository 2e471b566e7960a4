#include "app/view/pictures.h"

#include <QImage>
#include <QTest>

#include <vector>

using postloom::ToolBarPicture;

namespace {

struct Tally {
    int opaque = 0;
    int red = 0;
    int yellow = 0;
    int blue = 0;
    int dark = 0;
    int opaqueTopHalf = 0;
};

// Counts the clearly visible pixels of a picture by the colour they have.
Tally Count(const QPixmap& pixmap)
{
    const QImage image = pixmap.toImage().convertToFormat(QImage::Format_ARGB32);
    Tally tally;
    for (int y = 0; y < image.height(); ++y) {
        for (int x = 0; x < image.width(); ++x) {
            const QColor c = image.pixelColor(x, y);
            if (c.alpha() < 128)
                continue;
            ++tally.opaque;
            if (y < image.height() / 2)
                ++tally.opaqueTopHalf;
            if (c.red() > 170 && c.green() < 90 && c.blue() < 90)
                ++tally.red;
            if (c.red() > 200 && c.green() > 150 && c.blue() < c.green() - 60)
                ++tally.yellow;
            if (c.blue() > 150 && c.red() < 120)
                ++tally.blue;
            if (c.lightness() < 60)
                ++tally.dark;
        }
    }
    return tally;
}

// Visible pixels that are exactly alike in both pictures.
int SharedPixels(const QImage& a, const QImage& b)
{
    int shared = 0;
    for (int y = 0; y < a.height(); ++y) {
        for (int x = 0; x < a.width(); ++x) {
            if (qAlpha(a.pixel(x, y)) > 0 && a.pixel(x, y) == b.pixel(x, y))
                ++shared;
        }
    }
    return shared;
}

std::vector<ToolBarPicture> AllToolBarPictures()
{
    std::vector<ToolBarPicture> all;
    for (int i = 0; i < postloom::kToolBarPictureCount; ++i)
        all.push_back(static_cast<ToolBarPicture>(i));
    return all;
}

}  // namespace

class PicturesTest : public QObject {
    Q_OBJECT

private slots:
    void treeIconsHaveTheirSizeAndATransparentBackground()
    {
        for (int index = 0; index < postloom::kTreeIconCount; ++index) {
            const QPixmap plain = postloom::TreeIconPixmap(index);
            QCOMPARE(plain.size(), postloom::kTreeIconSize);
            const QImage image = plain.toImage();
            QVERIFY(image.hasAlphaChannel());
            for (const QPoint corner : {QPoint(0, 0), QPoint(23, 0), QPoint(0, 17), QPoint(23, 17)})
                QCOMPARE(image.pixelColor(corner).alpha(), 0);
            QVERIFY(Count(plain).opaque > 24 * 18 / 3);

            const QPixmap sharp = postloom::TreeIconPixmap(index, 2.0);
            QCOMPARE(sharp.size(), postloom::kTreeIconSize * 2);
            QCOMPARE(sharp.deviceIndependentSize().toSize(), postloom::kTreeIconSize);
        }
        QVERIFY(postloom::TreeIconPixmap(-1).isNull());
        QVERIFY(postloom::TreeIconPixmap(postloom::kTreeIconCount).isNull());
    }

    // Each index shows its own picture: yellow mail, dark broken mail,
    // the blue project window, and the first two crossed out in red.
    void treeIconsShowTheirPictures()
    {
        std::vector<Tally> tallies;
        std::vector<QImage> images;
        for (int index = 0; index < postloom::kTreeIconCount; ++index) {
            tallies.push_back(Count(postloom::TreeIconPixmap(index)));
            images.push_back(postloom::TreeIconPixmap(index).toImage());
        }
        QVERIFY(tallies[0].yellow > tallies[0].opaque / 2);
        QVERIFY(tallies[1].yellow == 0);
        QVERIFY(tallies[1].dark > tallies[0].dark);
        QVERIFY(tallies[2].blue > tallies[2].opaque / 5);
        QCOMPARE(tallies[2].yellow, 0);
        for (const int plain : {0, 1}) {
            QCOMPARE(tallies[plain].red, 0);
            QVERIFY(tallies[plain + 3].red > 20);
        }
        // Beside the cross, a crossed-out icon is its plain icon.
        QVERIFY(SharedPixels(images[3], images[0]) > 2 * SharedPixels(images[3], images[1]));
        QVERIFY(SharedPixels(images[4], images[1]) > 2 * SharedPixels(images[4], images[0]));
        for (std::size_t i = 0; i < images.size(); ++i) {
            for (std::size_t j = i + 1; j < images.size(); ++j)
                QVERIFY(images[i] != images[j]);
        }
    }

    void toolBarPicturesAreSixteenPixelsAndDistinct()
    {
        std::vector<QImage> images;
        for (const ToolBarPicture picture : AllToolBarPictures()) {
            const QPixmap pixmap = postloom::ToolBarPixmap(picture);
            QCOMPARE(pixmap.size(), postloom::kToolBarPictureSize);
            QVERIFY(Count(pixmap).opaque > 16 * 16 / 6);
            QCOMPARE(postloom::ToolBarPixmap(picture, 2.0).size(), postloom::kToolBarPictureSize * 2);

            const QIcon icon = postloom::ToolBarIcon(picture);
            QCOMPARE(icon.pixmap(postloom::kToolBarPictureSize, 1.0).size(), postloom::kToolBarPictureSize);
            QCOMPARE(icon.pixmap(postloom::kToolBarPictureSize, 2.0).size(), postloom::kToolBarPictureSize * 2);
            for (const QImage& other : images)
                QVERIFY(other != pixmap.toImage());
            images.push_back(pixmap.toImage());
        }
    }

    // The mail bar's page button shows one of these two, so they must not
    // be mixed up; nor may the two move buttons.
    void pageAndMoveButtonsShowTheirPictures()
    {
        const Tally circle = Count(postloom::ToolBarPixmap(ToolBarPicture::RedCircle));
        QVERIFY(circle.red > circle.opaque / 2);
        const Tally cross = Count(postloom::ToolBarPixmap(ToolBarPicture::BlackCross));
        QVERIFY(cross.dark > cross.opaque * 3 / 4);
        QCOMPARE(cross.red, 0);

        const Tally up = Count(postloom::ToolBarPixmap(ToolBarPicture::BlueTriangleUp));
        const Tally down = Count(postloom::ToolBarPixmap(ToolBarPicture::BlueTriangleDown));
        QVERIFY(up.blue > up.opaque / 2);
        QVERIFY(down.blue > down.opaque / 2);
        // Up is wide at the bottom, down at the top.
        QVERIFY(up.opaqueTopHalf < up.opaque / 2);
        QVERIFY(down.opaqueTopHalf > down.opaque / 2);
    }

    void programIconComesInEverySize()
    {
        for (const int size : {16, 32, 48, 256}) {
            const QPixmap pixmap = postloom::ProgramPixmap(size);
            QCOMPARE(pixmap.size(), QSize(size, size));
            QCOMPARE(pixmap.toImage().pixelColor(0, 0).alpha(), 0);  // rounded corner
            QVERIFY(Count(pixmap).opaque > size * size / 2);
        }
        QVERIFY(postloom::ProgramPixmap(0).isNull());
        const QList<QSize> sizes = postloom::ProgramIcon().availableSizes();
        for (const int size : {16, 24, 32, 48, 64, 128, 256})
            QVERIFY(sizes.contains(QSize(size, size)));
    }
};

QTEST_MAIN(PicturesTest)
#include "pictures_test.moc"

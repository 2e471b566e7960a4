#pragma once

// The program's pictures, drawn at run time so that they stay sharp at any
// device pixel ratio: the icons of the thread tree, the tool-bar buttons and
// the program icon.

#include <QIcon>
#include <QPixmap>
#include <QSize>

namespace postloom {

// Tree icons, indexed by the icon of a tree item (see TreeIcon in
// core/threading/tree_builder.h): 0 mail, 1 mail answering a missing mail,
// 2 project, 3 and 4 the same as 0 and 1 without a page.
inline constexpr int kTreeIconCount = 5;
inline constexpr QSize kTreeIconSize{24, 18};

// A transparent pixmap of kTreeIconSize device-independent pixels; a null
// pixmap for an index outside 0 .. kTreeIconCount - 1.
QPixmap TreeIconPixmap(int index, qreal devicePixelRatio = 1.0);

// The pictures of the three tool bars, named by what they show.
enum class ToolBarPicture {
    // project bar
    NewPage,
    OpenFolder,
    FloppyDisk,
    PageWithPen,
    BoxTreeWithArrow,
    // mail bar
    EnvelopeWithPen,
    EnvelopeWithPage,
    RedCircle,
    BlueTriangleUp,
    BlueTriangleDown,
    BlackCross,
    // HTML bar
    PageWithGlobeAndEnvelope,
    GraphicPage,
    PageWithGlobe,
    PageWithEnvelope,
    PageWithGlobeAndMagnifier,
};
inline constexpr int kToolBarPictureCount = static_cast<int>(ToolBarPicture::PageWithGlobeAndMagnifier) + 1;
inline constexpr QSize kToolBarPictureSize{16, 16};

QPixmap ToolBarPixmap(ToolBarPicture picture, qreal devicePixelRatio = 1.0);
// Holds the picture at device pixel ratios 1 and 2.
QIcon ToolBarIcon(ToolBarPicture picture);

// The program icon as a square of size pixels.
QPixmap ProgramPixmap(int size);
// The program icon in the usual sizes from 16 to 256 pixels, for the main
// window, the version box and the desktop.
QIcon ProgramIcon();

}  // namespace postloom

#pragma once

// The 32 x 32 samples beside the tree graphic rows of the index page: how
// each piece joins a mail to the line of its thread. The blank piece has no
// sample.

#include <QPixmap>

namespace postloom {

enum class TreeSample {
    First,      // the line from the mail runs down to the replies below
    Middle,     // only the line passing down the left edge
    Last,       // the line from above ends at the mail
    LeadingOn,  // the line from above passes the mail and runs on
};

inline constexpr int kTreeSampleSize = 32;

QPixmap TreeSamplePicture(TreeSample sample);

}  // namespace postloom

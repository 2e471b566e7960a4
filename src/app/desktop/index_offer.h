#pragma once

// After the first run of a project's pages, a button in the status bar
// offers to open the index page in the browser (ID_INDEX_OPEN, through the
// desktop's "open"). It goes away when used, when the next run starts and
// when another project is opened; later runs of the same project do not
// bring it back.

#include <QPushButton>
#include <QString>

namespace postloom {

class AppContext;
class CPostloomDoc;
class CPostloomView;

class IndexOffer final : public QPushButton {
public:
    IndexOffer(AppContext& context, CPostloomDoc& document, CPostloomView& view, QWidget* parent = nullptr);

private:
    void pagesWritten();

    AppContext& context_;
    CPostloomDoc& document_;
    bool offered_ = false;
    // The project file as last seen: a project saved for the first time is
    // still the same project, one opened or made new is another.
    QString projectPath_;
};

}  // namespace postloom

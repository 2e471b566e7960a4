#pragma once

// What an empty window shows: a new project that reads no folder yet offers
// the one-step start from a folder of mail, and opening a project. It lies
// over the middle of the tree's empty area and goes away as soon as the
// project has a mail folder, a file or mails.

#include <QWidget>

class QPushButton;

namespace postloom {

class AppContext;
class CPostloomDoc;

class WelcomePanel final : public QWidget {
public:
    // parent: the area it is centred in (the tree's viewport).
    WelcomePanel(AppContext& context, CPostloomDoc& document, QWidget* parent);

    QPushButton* fromFolderButton() const { return fromFolder_; }
    QPushButton* openButton() const { return open_; }

protected:
    bool eventFilter(QObject* watched, QEvent* event) override;

private:
    void refresh();
    void centre();

    AppContext& context_;
    CPostloomDoc& document_;
    QPushButton* fromFolder_;
    QPushButton* open_;
};

}  // namespace postloom

#include "settings_ui/project_sheet.h"

#include <QHBoxLayout>
#include <QPushButton>
#include <QScreen>
#include <QScrollArea>
#include <QScrollBar>
#include <QSignalBlocker>
#include <QStyle>
#include <QTabWidget>
#include <QVBoxLayout>

#include <algorithm>
#include <utility>

namespace postloom {

CProjectSheet::CProjectSheet(const ProjectSettings& document, std::string projectFolder, UserPrompts& prompts,
                             QWidget* parent)
    : QDialog(parent),
      projectFolder_(std::move(projectFolder)),
      prompts_(prompts),
      scroll_(new QScrollArea(this)),
      tabs_(new QTabWidget),
      okButton_(new QPushButton(QStringLiteral("OK"), this)),
      cancelButton_(new QPushButton(QStringLiteral("ｷｬﾝｾﾙ"), this))
{
    workingCopy_.CopySettingsFrom(document);
    setWindowTitle(QStringLiteral("ﾌﾟﾛﾊﾟﾃｨ ｼｰﾄ"));
    okButton_->setDefault(true);

    auto* const buttons = new QHBoxLayout;
    buttons->addStretch();
    buttons->addWidget(okButton_);
    buttons->addWidget(cancelButton_);
    scroll_->setWidget(tabs_);
    scroll_->setWidgetResizable(true);
    scroll_->setFrameShape(QFrame::NoFrame);
    auto* const layout = new QVBoxLayout(this);
    layout->addWidget(scroll_, 1);
    layout->addLayout(buttons);

    connect(okButton_, &QPushButton::clicked, this, &CProjectSheet::pressOk);
    connect(cancelButton_, &QPushButton::clicked, this, &QDialog::reject);
    connect(tabs_, &QTabWidget::currentChanged, this, &CProjectSheet::pageChosen);
}

CProjectSheet::~CProjectSheet()
{
    // The tab widget goes away after this object's members; the switches it
    // reports while it removes its pages must not reach them.
    disconnect(tabs_, nullptr, this, nullptr);
}

ProjectPageContext CProjectSheet::pageContext()
{
    return ProjectPageContext{workingCopy_, projectFolder_, prompts_};
}

void CProjectSheet::addPage(std::unique_ptr<CProjectPage> page)
{
    CProjectPage* const added = page.get();
    // A page is shown when the sheet opens or the user turns to it, not
    // when it is added.
    const QSignalBlocker blocker(tabs_);
    tabs_->addTab(page.release(), added->title());
    pages_.push_back(added);
}

ProjectSheetHandBack CProjectSheet::handBack(ProjectSettings& document) const
{
    if (result() != QDialog::Accepted || !changed_)
        return {};
    const bool targetPathChanged = document.TargetPath != workingCopy_.TargetPath;
    document.CopySettingsFrom(workingCopy_);
    return ProjectSheetHandBack{.applied = true, .targetPathChanged = targetPathChanged};
}

void CProjectSheet::fitToScreen(const QRect& available)
{
    // The frame the window system draws around the sheet is not part of
    // its size; where it is not known yet, leave a margin for a title bar.
    const QRect frame = frameGeometry();
    const QSize decoration =
        frame.size() != size() ? frame.size() - size() : QSize(0, style()->pixelMetric(QStyle::PM_TitleBarHeight));
    const QSize room = available.size() - decoration;
    // The tabs at their full size, with scroll bars' room only when they
    // have to scroll.
    const QSize content = tabs_->sizeHint().expandedTo(tabs_->minimumSizeHint());
    const int bar = scroll_->verticalScrollBar()->sizeHint().width();
    const QSize chrome = sizeHint() - scroll_->sizeHint();
    QSize wanted = content + chrome;
    if (wanted.height() > room.height())
        wanted.rwidth() += bar;
    if (wanted.width() > room.width())
        wanted.rheight() += bar;
    setMinimumSize(minimumSizeHint().boundedTo(room));
    resize(wanted.boundedTo(room));

    const QWidget* const owner = parentWidget();
    QRect placed(QPoint(), size() + decoration);
    placed.moveCenter(owner != nullptr ? owner->window()->frameGeometry().center() : available.center());
    // Inside the free area, the top left corner first: the title bar is
    // what the user needs to reach.
    placed.moveRight(std::min(placed.right(), available.right()));
    placed.moveBottom(std::min(placed.bottom(), available.bottom()));
    placed.moveLeft(std::max(placed.left(), available.left()));
    placed.moveTop(std::max(placed.top(), available.top()));
    move(placed.topLeft());
}

void CProjectSheet::showEvent(QShowEvent* event)
{
    if (!fitted_) {
        fitted_ = true;
        const QScreen* const shown = parentWidget() != nullptr ? parentWidget()->screen() : screen();
        if (shown != nullptr)
            fitToScreen(shown->availableGeometry());
    }
    QDialog::showEvent(event);
    if (displayed_ < 0 && tabs_->currentIndex() >= 0)
        showPage(tabs_->currentIndex());
}

void CProjectSheet::done(int result)
{
    changed_ = std::any_of(pages_.begin(), pages_.end(), [](const CProjectPage* page) { return page->modified(); });
    QDialog::done(result);
}

void CProjectSheet::pressOk()
{
    if (displayed_ >= 0 && !pages_[displayed_]->checkOnLeave())
        return;
    for (std::size_t i = 0; i < pages_.size(); ++i) {
        if (pages_[i]->shown() && !pages_[i]->takeValues()) {
            const QSignalBlocker blocker(tabs_);
            tabs_->setCurrentIndex(static_cast<int>(i));
            displayed_ = static_cast<int>(i);
            return;
        }
    }
    for (CProjectPage* const page : pages_) {
        if (page->shown())
            page->save();
    }
    accept();
}

void CProjectSheet::pageChosen(int index)
{
    if (displayed_ < 0 || index < 0 || index == displayed_)
        return;
    // The tab has already turned; turn it back while the page being left
    // is asked, so that its questions appear over it and a refusal keeps it.
    const int leaving = displayed_;
    {
        const QSignalBlocker blocker(tabs_);
        tabs_->setCurrentIndex(leaving);
    }
    if (!pages_[leaving]->checkOnLeave())
        return;
    {
        const QSignalBlocker blocker(tabs_);
        tabs_->setCurrentIndex(index);
    }
    showPage(index);
}

void CProjectSheet::showPage(int index)
{
    displayed_ = index;
    pages_[index]->showFirstTime();
}

}  // namespace postloom

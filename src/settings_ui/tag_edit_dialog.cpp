#include "settings_ui/tag_edit_dialog.h"

#include <QHBoxLayout>
#include <QLineEdit>
#include <QPushButton>
#include <QVBoxLayout>

#include <utility>

namespace postloom {

CTagEditDialog::CTagEditDialog(std::string tag, QWidget* parent)
    : QDialog(parent),
      edit_(new QLineEdit(this)),
      ok_(new QPushButton(QStringLiteral("OK"), this)),
      cancel_(new QPushButton(QStringLiteral("ｷｬﾝｾﾙ"), this))
{
    setWindowTitle(QStringLiteral("ﾀｸﾞ編集"));
    text_.show(*edit_, std::move(tag));
    edit_->setMinimumWidth(260);
    ok_->setDefault(true);

    auto* const buttons = new QHBoxLayout;
    buttons->addStretch();
    buttons->addWidget(ok_);
    buttons->addWidget(cancel_);
    auto* const layout = new QVBoxLayout(this);
    layout->addWidget(edit_);
    layout->addLayout(buttons);

    connect(ok_, &QPushButton::clicked, this, &QDialog::accept);
    connect(cancel_, &QPushButton::clicked, this, &QDialog::reject);
}

std::string CTagEditDialog::tag() const
{
    return text_.take(*edit_);
}

std::optional<std::string> EditInsertTag(QWidget* parent, const std::string& tag)
{
    CTagEditDialog editor(tag, parent);
    if (editor.exec() != QDialog::Accepted)
        return std::nullopt;
    return editor.tag();
}

}  // namespace postloom

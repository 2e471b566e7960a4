#include "app/desktop/welcome_panel.h"

#include "app/app_context.h"
#include "app/command_ids.h"
#include "app/desktop/postloom_doc.h"

#include <QEvent>
#include <QLabel>
#include <QPushButton>
#include <QVBoxLayout>

namespace postloom {

WelcomePanel::WelcomePanel(AppContext& context, CPostloomDoc& document, QWidget* parent)
    : QWidget(parent),
      context_(context),
      document_(document),
      fromFolder_(new QPushButton(QStringLiteral("ﾌｫﾙﾀﾞから新規作成..."), this)),
      open_(new QPushButton(QStringLiteral("ﾌﾟﾛｼﾞｪｸﾄを開く..."), this))
{
    setObjectName(QStringLiteral("welcomePanel"));
    auto* const text = new QLabel(
        QStringLiteral("ﾒｰﾙのﾌｫﾙﾀﾞを選ぶと、そのﾒｰﾙをｽﾚｯﾄﾞにまとめた\nWebﾍﾟｰｼﾞのﾌﾟﾛｼﾞｪｸﾄを作成します。"), this);
    text->setAlignment(Qt::AlignCenter);
    fromFolder_->setDefault(true);
    auto* const layout = new QVBoxLayout(this);
    layout->addWidget(text);
    layout->addWidget(fromFolder_);
    layout->addWidget(open_);

    connect(fromFolder_, &QPushButton::clicked, this, [this] { context_.commands().send(ID_FILE_NEW_FROM_FOLDER); });
    connect(open_, &QPushButton::clicked, this, [this] { context_.commands().send(ID_FILE_OPEN); });
    connect(&document_, &CPostloomDoc::stateChanged, this, &WelcomePanel::refresh);
    parent->installEventFilter(this);
    refresh();
}

bool WelcomePanel::eventFilter(QObject* watched, QEvent* event)
{
    if (watched == parentWidget() && event->type() == QEvent::Resize)
        centre();
    return QWidget::eventFilter(watched, event);
}

void WelcomePanel::refresh()
{
    const ProjectSettings& settings = document_.settings();
    const bool empty =
        document_.pathName().isEmpty() && settings.TargetPath.empty() && settings.mailList.empty();
    fromFolder_->setEnabled(context_.commands().isEnabled(ID_FILE_NEW_FROM_FOLDER));
    open_->setEnabled(context_.commands().isEnabled(ID_FILE_OPEN));
    setVisible(empty);
    if (empty)
        centre();
}

void WelcomePanel::centre()
{
    adjustSize();
    QRect placed(QPoint(), size());
    placed.moveCenter(parentWidget()->rect().center());
    move(placed.topLeft());
}

}  // namespace postloom

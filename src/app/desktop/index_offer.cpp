#include "app/desktop/index_offer.h"

#include "app/app_context.h"
#include "app/command_ids.h"
#include "app/desktop/postloom_doc.h"
#include "app/desktop/postloom_view.h"

namespace postloom {

IndexOffer::IndexOffer(AppContext& context, CPostloomDoc& document, CPostloomView& view, QWidget* parent)
    : QPushButton(QStringLiteral("ｲﾝﾃﾞｯｸｽﾍﾟｰｼﾞをﾌﾞﾗｳｻﾞで開く"), parent), context_(context), document_(document)
{
    setObjectName(QStringLiteral("indexOffer"));
    setFlat(true);
    setStatusTip(QStringLiteral("作成したｲﾝﾃﾞｯｸｽﾍﾟｰｼﾞを既定のﾌﾞﾗｳｻﾞで表示する"));
    hide();
    connect(this, &QPushButton::clicked, this, [this] {
        hide();
        context_.commands().send(ID_INDEX_OPEN);
    });
    connect(&view, &CPostloomView::pagesWritten, this, &IndexOffer::pagesWritten);
    connect(&context_.problems(), &ProblemLog::runStarted, this, &QWidget::hide);
    connect(&document_, &CPostloomDoc::stateChanged, this, [this] {
        const QString path = document_.pathName();
        if (path != projectPath_ && !projectPath_.isEmpty()) {
            offered_ = false;
            hide();
        }
        projectPath_ = path;
    });
}

void IndexOffer::pagesWritten()
{
    if (offered_ || !context_.commands().isEnabled(ID_INDEX_OPEN))
        return;
    offered_ = true;
    show();
}

}  // namespace postloom

#include "app/desktop/mail_info_dialog.h"

#include "app/command_ids.h"
#include "app/view/display_text.h"
#include "app/view/pictures.h"
#include "core/mail/mail_parser.h"

#include <QGridLayout>
#include <QKeyEvent>
#include <QLabel>
#include <QLineEdit>
#include <QPlainTextEdit>
#include <QPushButton>
#include <QScrollBar>

#include <array>
#include <cmath>
#include <cstdio>
#include <initializer_list>

namespace postloom {

namespace {

// Below the five one-line fields of rows 0 to 4.
constexpr int kReferencesRow = 5;

}  // namespace

std::string MailDateText(std::int32_t date)
{
    // The names of the C locale, written out so that no process locale
    // can change them.
    static constexpr std::array<const char*, 7> kDays = {"Sun", "Mon", "Tue", "Wed", "Thu", "Fri", "Sat"};
    static constexpr std::array<const char*, 12> kMonths = {"Jan", "Feb", "Mar", "Apr", "May", "Jun",
                                                            "Jul", "Aug", "Sep", "Oct", "Nov", "Dec"};
    const std::optional<std::tm> tm = ShownTime(date);
    if (!tm || tm->tm_wday < 0 || tm->tm_wday > 6 || tm->tm_mon < 0 || tm->tm_mon > 11)
        return {};
    char text[128];
    const int length = std::snprintf(text, sizeof text, "%s, %02d %s %d %02d:%02d:%02d (JST)",
                                     kDays[static_cast<std::size_t>(tm->tm_wday)], tm->tm_mday,
                                     kMonths[static_cast<std::size_t>(tm->tm_mon)], tm->tm_year + 1900, tm->tm_hour,
                                     tm->tm_min, tm->tm_sec);
    if (length <= 0 || static_cast<std::size_t>(length) >= sizeof text)
        return {};
    return std::string(text, static_cast<std::size_t>(length));
}

CMailInfoDialog::CMailInfoDialog(QWidget* parent)
    // Its size is fixed: a close box, no minimize or maximize button.
    : QDialog(parent, Qt::Tool | Qt::CustomizeWindowHint | Qt::WindowTitleHint | Qt::WindowSystemMenuHint |
                          Qt::WindowCloseButtonHint)
{
    setWindowTitle(QStringLiteral("ﾒｰﾙ情報"));
    setWindowIcon(ProgramIcon());
    setModal(false);

    auto* grid = new QGridLayout(this);
    // The window is as large as its contents need at its font, and no larger.
    grid->setSizeConstraint(QLayout::SetFixedSize);
    subject_ = addField(*grid, 0, QStringLiteral("Subject"));
    subject_->setFrame(false);
    from_ = addField(*grid, 1, QStringLiteral("From"));
    date_ = addField(*grid, 2, QStringLiteral("Date"));
    messageId_ = addField(*grid, 3, QStringLiteral("Message-Id"));
    inReplyTo_ = addField(*grid, 4, QStringLiteral("In-Reply-To"));

    auto* referencesLabel = new QLabel(QStringLiteral("References"), this);
    referencesLabel->setAlignment(Qt::AlignLeft | Qt::AlignTop);
    references_ = new QPlainTextEdit(this);
    references_->setReadOnly(true);
    references_->setLineWrapMode(QPlainTextEdit::NoWrap);
    grid->addWidget(referencesLabel, kReferencesRow, 0);
    grid->addWidget(references_, kReferencesRow, 1, 1, 4);

    // A cross: previous above, next below, parent left, child right; the
    // open button apart on the right.
    previous_ = addButton(QStringLiteral("↑前を見る"));
    parent_ = addButton(QStringLiteral("←親を見る"));
    child_ = addButton(QStringLiteral("子を見る→"));
    next_ = addButton(QStringLiteral("↓次を見る"));
    open_ = addButton(QStringLiteral("このﾒｰﾙを開く"));
    grid->addWidget(previous_, kReferencesRow + 1, 1);
    grid->addWidget(parent_, kReferencesRow + 2, 0);
    grid->addWidget(child_, kReferencesRow + 2, 2);
    grid->addWidget(next_, kReferencesRow + 3, 1);
    grid->addWidget(open_, kReferencesRow + 2, 4);
    grid->setColumnStretch(3, 1);

    connect(next_, &QPushButton::clicked, this, [this] { Q_EMIT navigate(ID_NEXT_INFO); });
    connect(previous_, &QPushButton::clicked, this, [this] { Q_EMIT navigate(ID_PREV_INFO); });
    connect(parent_, &QPushButton::clicked, this, [this] { Q_EMIT navigate(ID_PARENT_INFO); });
    connect(child_, &QPushButton::clicked, this, [this] { Q_EMIT navigate(ID_CHILD_INFO); });
    connect(open_, &QPushButton::clicked, this, [this] { Q_EMIT openMailRequested(); });

    fitToFont();
}

// Dialog units across: a quarter of the average character width.
int CMailInfoDialog::unitsAcross(int units) const
{
    return (units * fontMetrics().averageCharWidth() + 2) / 4;
}

void CMailInfoDialog::fitToFont()
{
    // Wide enough for a usual subject of full-width characters, which take
    // about two average characters each; longer values scroll.
    for (QWidget* value : std::initializer_list<QWidget*>{subject_, from_, date_, messageId_, inReplyTo_, references_})
        value->setMinimumWidth(unitsAcross(200));
    for (QPushButton* button : {previous_, parent_, child_, next_})
        button->setMinimumWidth(unitsAcross(39));
    open_->setMinimumWidth(unitsAcross(53));
    // Two references whole, with room for the scroll bar that a long one
    // brings.
    const int lines = 2 * fontMetrics().lineSpacing();
    const int margins =
        2 * static_cast<int>(std::ceil(references_->document()->documentMargin())) + 2 * references_->frameWidth();
    references_->setFixedHeight(lines + margins + references_->horizontalScrollBar()->sizeHint().height());
}

void CMailInfoDialog::changeEvent(QEvent* event)
{
    QDialog::changeEvent(event);
    if (event->type() == QEvent::FontChange || event->type() == QEvent::StyleChange)
        fitToFont();
}

QLineEdit* CMailInfoDialog::addField(QGridLayout& grid, int row, const QString& label)
{
    auto* field = new QLineEdit(this);
    field->setReadOnly(true);
    grid.addWidget(new QLabel(label, this), row, 0);
    grid.addWidget(field, row, 1, 1, 4);
    return field;
}

QPushButton* CMailInfoDialog::addButton(const QString& text)
{
    auto* button = new QPushButton(text, this);
    // No button is the default: Enter closes the window.
    button->setAutoDefault(false);
    button->setDefault(false);
    return button;
}

void CMailInfoDialog::showMail(const MailRecord& mail, const ThreadNeighbours& neighbours)
{
    QStringList references;
    for (const std::string& reference : mail.references)
        references.append(DisplayText(reference));

    next_->setEnabled(neighbours.next);
    previous_->setEnabled(neighbours.previous);
    parent_->setEnabled(neighbours.parent);
    child_->setEnabled(neighbours.child);

    const auto show = [](QLineEdit* field, const QString& text) {
        field->setText(text);
        field->setToolTip(text);
        field->setCursorPosition(0);
    };
    show(subject_, DisplayText(mail.subject));
    show(from_, DisplayText(mail.from));
    show(date_, DisplayText(MailDateText(mail.date)));
    show(messageId_, DisplayText(mail.messageId));
    show(inReplyTo_, DisplayText(mail.inReplyTo));
    references_->setPlainText(references.join(QLatin1Char('\n')));
    references_->setToolTip(references_->toPlainText());

    makeTopmost();
    showNormal();
    raise();
    activateWindow();
}

void CMailInfoDialog::makeTopmost()
{
    if (topmost())
        return;
    // Changing the flags hides a shown window; it comes back where it was,
    // without taking the focus.
    const bool shown = isVisible();
    const QPoint place = pos();
    setWindowFlag(Qt::WindowStaysOnTopHint, true);
    if (shown) {
        move(place);
        setAttribute(Qt::WA_ShowWithoutActivating, true);
        show();
        setAttribute(Qt::WA_ShowWithoutActivating, false);
    }
}

bool CMailInfoDialog::topmost() const
{
    return windowFlags().testFlag(Qt::WindowStaysOnTopHint);
}

void CMailInfoDialog::keyPressEvent(QKeyEvent* event)
{
    if (event->key() == Qt::Key_Return || event->key() == Qt::Key_Enter) {
        accept();
        return;
    }
    QDialog::keyPressEvent(event);
}

QString CMailInfoDialog::subjectText() const { return subject_->text(); }
QString CMailInfoDialog::fromText() const { return from_->text(); }
QString CMailInfoDialog::dateText() const { return date_->text(); }
QString CMailInfoDialog::messageIdText() const { return messageId_->text(); }
QString CMailInfoDialog::inReplyToText() const { return inReplyTo_->text(); }
QString CMailInfoDialog::referencesText() const { return references_->toPlainText(); }

QPushButton* CMailInfoDialog::button(int id) const
{
    switch (id) {
    case ID_NEXT_INFO:
        return next_;
    case ID_PREV_INFO:
        return previous_;
    case ID_PARENT_INFO:
        return parent_;
    case ID_CHILD_INFO:
        return child_;
    case ID_MAIL_OPEN:
        return open_;
    default:
        return nullptr;
    }
}

}  // namespace postloom

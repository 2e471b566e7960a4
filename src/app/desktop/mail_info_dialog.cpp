#include "app/desktop/mail_info_dialog.h"

#include "app/command_ids.h"
#include "app/view/display_text.h"
#include "core/platform/local_time.h"

#include <QKeyEvent>
#include <QLabel>
#include <QLineEdit>
#include <QPlainTextEdit>
#include <QPushButton>

#include <array>
#include <cstdio>

namespace postloom {

std::string MailDateText(std::int32_t date)
{
    // The names of the C locale, written out so that no process locale
    // can change them.
    static constexpr std::array<const char*, 7> kDays = {"Sun", "Mon", "Tue", "Wed", "Thu", "Fri", "Sat"};
    static constexpr std::array<const char*, 12> kMonths = {"Jan", "Feb", "Mar", "Apr", "May", "Jun",
                                                            "Jul", "Aug", "Sep", "Oct", "Nov", "Dec"};
    const std::int64_t shifted = static_cast<std::int64_t>(date) + 32400;
    if (shifted < 0)
        return {};
    const auto tm = platform::BreakDownLocal(shifted);
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
    : QDialog(parent, Qt::Tool | Qt::CustomizeWindowHint | Qt::WindowTitleHint | Qt::WindowSystemMenuHint |
                          Qt::WindowCloseButtonHint)
{
    setWindowTitle(QStringLiteral("ﾒｰﾙ情報"));
    setModal(false);

    subject_ = addField(QStringLiteral("Subject"), 7);
    subject_->setFrame(false);
    from_ = addField(QStringLiteral("From"), 22);
    date_ = addField(QStringLiteral("Date"), 36);
    messageId_ = addField(QStringLiteral("Message-Id"), 52);
    inReplyTo_ = addField(QStringLiteral("In-Reply-To"), 68);

    auto* referencesLabel = new QLabel(QStringLiteral("References"), this);
    referencesLabel->setGeometry(Units(7, 84, 37, 12));
    references_ = new QPlainTextEdit(this);
    references_->setReadOnly(true);
    references_->setLineWrapMode(QPlainTextEdit::NoWrap);
    references_->setHorizontalScrollBarPolicy(Qt::ScrollBarAlwaysOff);
    references_->setGeometry(Units(51, 84, 165, 16));

    // A cross: previous above, next below, parent left, child right.
    previous_ = addButton(QStringLiteral("↑前を見る"), 51, 107, 39);
    parent_ = addButton(QStringLiteral("←親を見る"), 7, 117, 39);
    child_ = addButton(QStringLiteral("子を見る→"), 95, 117, 39);
    next_ = addButton(QStringLiteral("↓次を見る"), 51, 125, 39);
    open_ = addButton(QStringLiteral("このﾒｰﾙを開く"), 163, 117, 53);

    connect(next_, &QPushButton::clicked, this, [this] { Q_EMIT navigate(ID_NEXT_INFO); });
    connect(previous_, &QPushButton::clicked, this, [this] { Q_EMIT navigate(ID_PREV_INFO); });
    connect(parent_, &QPushButton::clicked, this, [this] { Q_EMIT navigate(ID_PARENT_INFO); });
    connect(child_, &QPushButton::clicked, this, [this] { Q_EMIT navigate(ID_CHILD_INFO); });
    connect(open_, &QPushButton::clicked, this, [this] { Q_EMIT openMailRequested(); });

    setFixedSize(Units(0, 0, 223, 145).size());
}

// Dialog units: a quarter of the average character width across, an
// eighth of the character height down.
QRect CMailInfoDialog::Units(int x, int y, int width, int height) const
{
    const QFontMetrics metrics = fontMetrics();
    const int across = metrics.averageCharWidth();
    const int down = metrics.height();
    const auto horizontal = [across](int units) { return (units * across + 2) / 4; };
    const auto vertical = [down](int units) { return (units * down + 4) / 8; };
    return {horizontal(x), vertical(y), horizontal(width), vertical(height)};
}

QLineEdit* CMailInfoDialog::addField(const QString& label, int y)
{
    auto* name = new QLabel(label, this);
    name->setGeometry(Units(7, y, 37, 12));
    auto* field = new QLineEdit(this);
    field->setReadOnly(true);
    field->setGeometry(Units(51, y, 165, 12));
    return field;
}

QPushButton* CMailInfoDialog::addButton(const QString& text, int x, int y, int width)
{
    auto* button = new QPushButton(text, this);
    // No button is the default: Enter closes the window.
    button->setAutoDefault(false);
    button->setDefault(false);
    button->setGeometry(Units(x, y, width, 14));
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

    subject_->setText(DisplayText(mail.subject));
    from_->setText(DisplayText(mail.from));
    date_->setText(DisplayText(MailDateText(mail.date)));
    messageId_->setText(DisplayText(mail.messageId));
    inReplyTo_->setText(DisplayText(mail.inReplyTo));
    references_->setPlainText(references.join(QLatin1Char('\n')));
    for (QLineEdit* field : {subject_, from_, date_, messageId_, inReplyTo_})
        field->setCursorPosition(0);

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

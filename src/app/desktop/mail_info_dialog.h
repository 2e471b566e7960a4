#pragma once

// The mail information window "ﾒｰﾙ情報": the header values of one mail,
// buttons to walk its thread, and a button that opens its mail file. It is
// modeless and one per view; closing it (close box, Enter, Escape) only
// hides it, and it keeps what it showed last until it is shown again.
// Its size follows its font and is fixed otherwise; a value longer than its
// field scrolls sideways and shows whole in the field's tool tip.

#include "core/mail/mail_record.h"

#include <QDialog>
#include <QString>

#include <cstdint>
#include <string>
#include <vector>

class QGridLayout;
class QLineEdit;
class QPlainTextEdit;
class QPushButton;

namespace postloom {

// "%a, %d %b %Y %H:%M:%S (JST)" of date plus nine hours, broken down as
// local time, with English day and month names whatever the process locale
// is; empty when the time cannot be broken down.
std::string MailDateText(std::int32_t date);

// Which of the mail's neighbours in the tree exist.
struct ThreadNeighbours {
    bool next = false;
    bool previous = false;
    bool parent = false;  // a parent mail, not the project item
    bool child = false;
};

class CMailInfoDialog final : public QDialog {
    Q_OBJECT

public:
    explicit CMailInfoDialog(QWidget* parent = nullptr);

    // Fills the fields, enables the buttons of the neighbours that exist,
    // and shows the window in its normal state on top, activated.
    void showMail(const MailRecord& mail, const ThreadNeighbours& neighbours);
    // Keeps the window above other windows, without moving or activating it.
    void makeTopmost();
    bool topmost() const;

    QString subjectText() const;
    QString fromText() const;
    QString dateText() const;
    QString messageIdText() const;
    QString inReplyToText() const;
    // One reference per line.
    QString referencesText() const;
    // The buttons by the id they send: ID_NEXT_INFO, ID_PREV_INFO,
    // ID_PARENT_INFO, ID_CHILD_INFO, or ID_MAIL_OPEN.
    QPushButton* button(int id) const;

Q_SIGNALS:
    // A navigation button was pressed: ID_NEXT_INFO, ID_PREV_INFO,
    // ID_PARENT_INFO or ID_CHILD_INFO.
    void navigate(int id);
    // "このﾒｰﾙを開く" was pressed.
    void openMailRequested();

protected:
    void keyPressEvent(QKeyEvent* event) override;
    void changeEvent(QEvent* event) override;

private:
    int unitsAcross(int units) const;
    // Sizes that the font decides beyond the widgets' own size hints.
    void fitToFont();
    QLineEdit* addField(QGridLayout& grid, int row, const QString& label);
    QPushButton* addButton(const QString& text);

    QLineEdit* subject_ = nullptr;
    QLineEdit* from_ = nullptr;
    QLineEdit* date_ = nullptr;
    QLineEdit* messageId_ = nullptr;
    QLineEdit* inReplyTo_ = nullptr;
    QPlainTextEdit* references_ = nullptr;
    QPushButton* next_ = nullptr;
    QPushButton* previous_ = nullptr;
    QPushButton* parent_ = nullptr;
    QPushButton* child_ = nullptr;
    QPushButton* open_ = nullptr;
};

}  // namespace postloom

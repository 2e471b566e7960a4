#pragma once

// The tag editor "ﾀｸﾞ編集": one insert tag, taken exactly as typed (the
// empty text, blanks and angle brackets included).

#include "settings_ui/gui_text.h"

#include <QDialog>

#include <optional>
#include <string>

class QLineEdit;
class QPushButton;

namespace postloom {

class CTagEditDialog final : public QDialog {
public:
    explicit CTagEditDialog(std::string tag, QWidget* parent = nullptr);

    // The tag as the field holds it now (CP932); the bytes given when the
    // text was left as shown.
    std::string tag() const;

    QLineEdit* edit() const { return edit_; }
    QPushButton* okButton() const { return ok_; }
    QPushButton* cancelButton() const { return cancel_; }

private:
    QLineEdit* edit_;
    QPushButton* ok_;
    QPushButton* cancel_;
    ShownText text_;
};

// Runs the editor on tag; the new tag after OK, nullopt after "ｷｬﾝｾﾙ".
std::optional<std::string> EditInsertTag(QWidget* parent, const std::string& tag);

}  // namespace postloom

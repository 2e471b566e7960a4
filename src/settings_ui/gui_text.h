#pragma once

// Texts of the settings are CP932 bytes; the widgets show Unicode. The
// conversion happens here, at the edge of the GUI.

#include <QString>

#include <string>
#include <string_view>

class QLineEdit;

namespace postloom {

QString FromCp932(std::string_view cp932);
std::string ToCp932(const QString& text);

// The bytes behind the text an edit field shows. Bytes that are not valid
// CP932 (or name a character Unicode lacks) cannot come back unchanged from
// the field's text, so while the field still shows exactly what was put in,
// the original bytes are what is taken: a text the user left alone is never
// altered by being shown.
class ShownText {
public:
    // Puts the text into edit; a fill counts as a change of the field, as
    // any change of its text does.
    void show(QLineEdit& edit, std::string bytes);
    std::string take(const QLineEdit& edit) const;

private:
    std::string bytes_;
    QString shown_;
};

}  // namespace postloom

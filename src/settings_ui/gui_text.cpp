#include "settings_ui/gui_text.h"

#include "core/text/codec.h"

#include <QLineEdit>

namespace postloom {

QString FromCp932(std::string_view cp932)
{
    return QString::fromStdString(text::Cp932ToUtf8(cp932));
}

std::string ToCp932(const QString& text)
{
    return text::Utf8ToCp932(text.toStdString());
}

void ShownText::show(QLineEdit& edit, std::string bytes)
{
    edit.setText(FromCp932(bytes));
    // What the field holds now, which a length limit may have cut.
    shown_ = edit.text();
    bytes_ = std::move(bytes);
}

std::string ShownText::take(const QLineEdit& edit) const
{
    const QString current = edit.text();
    return current == shown_ ? bytes_ : ToCp932(current);
}

}  // namespace postloom

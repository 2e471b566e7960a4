#include "settings_ui/number_field.h"

#include <QKeyEvent>

namespace postloom {

CNumberField::CNumberField(int minimum, int maximum, QWidget* parent) : QSpinBox(parent)
{
    setRange(minimum, maximum);
}

void CNumberField::keyPressEvent(QKeyEvent* event)
{
    const bool enter = event->key() == Qt::Key_Return || event->key() == Qt::Key_Enter;
    if (enter && !hasAcceptableInput()) {
        event->ignore();
        return;
    }
    QSpinBox::keyPressEvent(event);
}

}  // namespace postloom

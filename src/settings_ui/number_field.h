#pragma once

// A number field with up and down arrows. Enter while it holds no number
// is left to the dialog, so that the dialog's OK can tell the user, instead
// of the field putting its previous value back without a word.

#include <QSpinBox>

namespace postloom {

class CNumberField final : public QSpinBox {
public:
    CNumberField(int minimum, int maximum, QWidget* parent = nullptr);

protected:
    void keyPressEvent(QKeyEvent* event) override;
};

}  // namespace postloom

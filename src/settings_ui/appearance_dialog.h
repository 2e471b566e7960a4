#pragma once

// The appearance details "詳細設定" of the index page or of the mail pages:
// five colours, four margins, the header and the footer file. It edits the
// sheet's working copy directly and writes all of its values at OK.
//
// A stored colour has red in its lowest byte (0x00BBGGRR). The dialog shows
// it as six hexadecimal digits of that number, so the digits read blue,
// green, red: pure red is shown as 0000FF (and written into pages as
// #FF0000).

#include "settings_ui/gui_text.h"
#include "settings_ui/page_tabs.h"
#include "settings_ui/project_page.h"

#include <QColor>
#include <QDialog>
#include <QPushButton>

#include <array>
#include <cstdint>
#include <functional>
#include <optional>

class QCheckBox;
class QLineEdit;
class QSpinBox;

namespace postloom {

// The colours in the order of their rows.
enum class PageColour { Background, Text, Link, VisitedLink, ActiveLink };
inline constexpr std::size_t kPageColourCount = 5;

// The margins in the order of their rows.
enum class PageMargin { Top, Bottom, Right, Left };
inline constexpr std::size_t kPageMarginCount = 4;

inline constexpr int kMarginLimit = 32767;

std::uint32_t StoredColour(const QColor& colour);
QColor ColourOfStored(std::uint32_t stored);
// "%06X" of the stored value.
QString ColourHexText(std::uint32_t stored);
// The colour a hex text stands for: leading blanks, an optional sign and an
// optional "0x" are allowed, reading stops at the first character that is
// not a hexadecimal digit (none read gives 0), and the lowest six
// hexadecimal digits of the number are kept.
std::uint32_t ColourFromHexText(const QString& text);

// The colour chooser; nullopt when it was cancelled.
using ColourChooser = std::function<std::optional<QColor>(QWidget* parent)>;
// QColorDialog, opened without a colour preset.
std::optional<QColor> ChooseColourWithQt(QWidget* parent);

// A button whose whole face is the colour, framed by a one-pixel black line.
class CColourSwatch final : public QPushButton {
public:
    explicit CColourSwatch(QWidget* parent = nullptr);

    std::uint32_t colour() const { return colour_; }
    // Repaints at once.
    void setColour(std::uint32_t stored);

protected:
    void paintEvent(QPaintEvent* event) override;

private:
    std::uint32_t colour_ = 0;
};

class CAppearanceDialog final : public QDialog {
public:
    CAppearanceDialog(const ProjectPageContext& context, PageKind kind, ColourChooser chooser = ChooseColourWithQt,
                      QWidget* parent = nullptr);
    ~CAppearanceDialog() override;

    QCheckBox* colourCheck(PageColour colour) const { return colourRow(colour).check; }
    QLineEdit* hexEdit(PageColour colour) const { return colourRow(colour).hex; }
    CColourSwatch* swatch(PageColour colour) const { return colourRow(colour).swatch; }
    QCheckBox* marginCheck(PageMargin margin) const { return marginRow(margin).check; }
    QSpinBox* marginField(PageMargin margin) const { return marginRow(margin).field; }
    QCheckBox* headerCheck() const { return header_.check; }
    QLineEdit* headerFileEdit() const { return header_.file; }
    QPushButton* headerBrowse() const { return header_.browse; }
    QCheckBox* footerCheck() const { return footer_.check; }
    QLineEdit* footerFileEdit() const { return footer_.file; }
    QPushButton* footerBrowse() const { return footer_.browse; }
    QPushButton* okButton() const { return ok_; }
    QPushButton* cancelButton() const { return cancel_; }

    // Takes the values and writes them into the working copy; stays open
    // when a margin holds no number.
    void accept() override;

private:
    struct ColourRow {
        QCheckBox* check = nullptr;
        QLineEdit* hex = nullptr;
        CColourSwatch* swatch = nullptr;
        // The text the colour was last read from or shown as; a text that
        // differs from it has been typed since and is read at OK.
        QString readText;
    };
    struct MarginRow {
        QCheckBox* check = nullptr;
        QSpinBox* field = nullptr;
    };
    struct IncludeRow {
        QCheckBox* check = nullptr;
        QLineEdit* file = nullptr;
        QPushButton* browse = nullptr;
        ShownText text;
    };

    const ColourRow& colourRow(PageColour colour) const { return colours_.at(static_cast<std::size_t>(colour)); }
    const MarginRow& marginRow(PageMargin margin) const { return margins_.at(static_cast<std::size_t>(margin)); }

    void load();
    void enable();
    void readHex(ColourRow& row);
    void chooseColour(ColourRow& row);
    void browseInclude(IncludeRow& row);

    ProjectPageContext context_;
    PageKind kind_;
    ColourChooser chooser_;
    std::array<ColourRow, kPageColourCount> colours_;
    std::array<MarginRow, kPageMarginCount> margins_;
    IncludeRow header_;
    IncludeRow footer_;
    QPushButton* ok_;
    QPushButton* cancel_;
};

}  // namespace postloom

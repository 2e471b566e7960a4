#include "settings_ui/appearance_dialog.h"

#include "settings_ui/number_field.h"

#include <QCheckBox>
#include <QColorDialog>
#include <QDir>
#include <QGridLayout>
#include <QGroupBox>
#include <QHBoxLayout>
#include <QLineEdit>
#include <QPainter>
#include <QValidator>
#include <QVBoxLayout>

#include <utility>

namespace postloom {

namespace {

constexpr std::uint32_t kColourMask = 0xFFFFFF;

// The settings of one page kind, row by row.
struct ColourKeys {
    std::int32_t ProjectSettings::*flag;
    std::uint32_t ProjectSettings::*value;
};
struct MarginKeys {
    std::int32_t ProjectSettings::*flag;
    std::int32_t ProjectSettings::*value;
};
struct IncludeKeys {
    std::int32_t ProjectSettings::*flag;
    std::string ProjectSettings::*file;
};
struct AppearanceKeys {
    std::array<ColourKeys, kPageColourCount> colours;
    std::array<MarginKeys, kPageMarginCount> margins;
    IncludeKeys header;
    IncludeKeys footer;
};

using S = ProjectSettings;

const AppearanceKeys kIndexKeys{
    {{{&S::IndexBGColor, &S::IndexBGColorRGB},
      {&S::IndexTextColor, &S::IndexTextColorRGB},
      {&S::IndexLinkColor, &S::IndexLinkColorRGB},
      {&S::IndexVLinkColor, &S::IndexVLinkColorRGB},
      {&S::IndexALinkColor, &S::IndexALinkColorRGB}}},
    {{{&S::IndexTopMarginCheck, &S::IndexTopMargin},
      {&S::IndexBottomMarginCheck, &S::IndexBottomMargin},
      {&S::IndexRightMarginCheck, &S::IndexRightMargin},
      {&S::IndexLeftMarginCheck, &S::IndexLeftMargin}}},
    {&S::IndexHeader, &S::IndexHeaderFile},
    {&S::IndexFooter, &S::IndexFooterFile},
};

const AppearanceKeys kMailKeys{
    {{{&S::MailBGColor, &S::MailBGColorRGB},
      {&S::MailTextColor, &S::MailTextColorRGB},
      {&S::MailLinkColor, &S::MailLinkColorRGB},
      {&S::MailVLinkColor, &S::MailVLinkColorRGB},
      {&S::MailALinkColor, &S::MailALinkColorRGB}}},
    {{{&S::MailTopMarginCheck, &S::MailTopMargin},
      {&S::MailBottomMarginCheck, &S::MailBottomMargin},
      {&S::MailRightMarginCheck, &S::MailRightMargin},
      {&S::MailLeftMarginCheck, &S::MailLeftMargin}}},
    {&S::MailHeader, &S::MailHeaderFile},
    {&S::MailFooter, &S::MailFooterFile},
};

const AppearanceKeys& KeysOf(PageKind kind)
{
    return kind == PageKind::Index ? kIndexKeys : kMailKeys;
}

constexpr std::array<const char*, kPageColourCount> kColourLabels{
    "背景色", "文字色", "未ｱｸｾｽﾘﾝｸ色", "ｱｸｾｽ済ﾘﾝｸ色", "ｱｸﾃｨﾌﾞﾘﾝｸ色",
};
constexpr std::array<const char*, kPageMarginCount> kMarginLabels{"上", "下", "右", "左"};

const QString kNotANumber = QStringLiteral("整数を入力してください。");

// Turns every typed letter into a capital, as the hex fields show them.
class UpperCase final : public QValidator {
public:
    using QValidator::QValidator;
    State validate(QString& input, int&) const override
    {
        input = input.toUpper();
        return Acceptable;
    }
};

int HexDigit(QChar c)
{
    const char16_t u = c.unicode();
    if (u >= u'0' && u <= u'9')
        return u - u'0';
    if (u >= u'A' && u <= u'F')
        return u - u'A' + 10;
    if (u >= u'a' && u <= u'f')
        return u - u'a' + 10;
    return -1;
}

bool IsBlank(QChar c)
{
    const char16_t u = c.unicode();
    return u == u' ' || (u >= u'\t' && u <= u'\r');
}

}  // namespace

std::uint32_t StoredColour(const QColor& colour)
{
    const QRgb rgb = colour.rgb();
    return static_cast<std::uint32_t>(qRed(rgb)) | static_cast<std::uint32_t>(qGreen(rgb)) << 8 |
           static_cast<std::uint32_t>(qBlue(rgb)) << 16;
}

QColor ColourOfStored(std::uint32_t stored)
{
    return QColor(static_cast<int>(stored & 0xFF), static_cast<int>(stored >> 8 & 0xFF),
                  static_cast<int>(stored >> 16 & 0xFF));
}

QString ColourHexText(std::uint32_t stored)
{
    return QStringLiteral("%1").arg(stored, 6, 16, QLatin1Char('0')).toUpper();
}

std::uint32_t ColourFromHexText(const QString& text)
{
    qsizetype i = 0;
    const qsizetype n = text.size();
    while (i < n && IsBlank(text[i]))
        ++i;
    bool negative = false;
    if (i < n && (text[i] == u'+' || text[i] == u'-')) {
        negative = text[i] == u'-';
        ++i;
    }
    if (i + 1 < n && text[i] == u'0' && (text[i + 1] == u'x' || text[i + 1] == u'X'))
        i += 2;
    // Only the lowest six digits matter, so longer numbers cannot overflow.
    std::uint32_t value = 0;
    for (; i < n; ++i) {
        const int digit = HexDigit(text[i]);
        if (digit < 0)
            break;
        value = (value << 4 | static_cast<std::uint32_t>(digit)) & kColourMask;
    }
    // A minus sign gives the two's complement, as an unsigned read of the
    // number does.
    return negative ? (0u - value) & kColourMask : value;
}

std::optional<QColor> ChooseColourWithQt(QWidget* parent)
{
    QColorDialog dialog(parent);
    if (dialog.exec() != QDialog::Accepted)
        return std::nullopt;
    return dialog.selectedColor();
}

CColourSwatch::CColourSwatch(QWidget* parent) : QPushButton(parent)
{
    setFixedSize(40, 22);
}

void CColourSwatch::setColour(std::uint32_t stored)
{
    colour_ = stored;
    repaint();
}

void CColourSwatch::paintEvent(QPaintEvent*)
{
    QPainter painter(this);
    painter.fillRect(rect(), ColourOfStored(colour_));
    painter.setPen(Qt::black);
    painter.drawRect(rect().adjusted(0, 0, -1, -1));
}

CAppearanceDialog::CAppearanceDialog(const ProjectPageContext& context, PageKind kind, ColourChooser chooser,
                                     QWidget* parent)
    : QDialog(parent),
      context_(context),
      kind_(kind),
      chooser_(std::move(chooser)),
      ok_(new QPushButton(QStringLiteral("OK"), this)),
      cancel_(new QPushButton(QStringLiteral("ｷｬﾝｾﾙ"), this))
{
    setWindowTitle(QStringLiteral("詳細設定"));

    auto* const colourGroup = new QGroupBox(QStringLiteral(" 表示色 "), this);
    auto* const colourGrid = new QGridLayout(colourGroup);
    for (std::size_t i = 0; i < kPageColourCount; ++i) {
        ColourRow& row = colours_[i];
        row.check = new QCheckBox(QString::fromUtf8(kColourLabels[i]), colourGroup);
        row.hex = new QLineEdit(colourGroup);
        row.hex->setAlignment(Qt::AlignRight);
        row.hex->setValidator(new UpperCase(row.hex));
        row.hex->setFixedWidth(80);
        row.swatch = new CColourSwatch(colourGroup);
        const int r = static_cast<int>(i);
        colourGrid->addWidget(row.check, r, 0);
        colourGrid->addWidget(row.hex, r, 1);
        colourGrid->addWidget(row.swatch, r, 2);
        connect(row.check, &QCheckBox::clicked, this, &CAppearanceDialog::enable);
        // Leaving the field (and Enter) reads the colour from the text.
        connect(row.hex, &QLineEdit::editingFinished, this, [this, &row] { readHex(row); });
        connect(row.swatch, &QPushButton::clicked, this, [this, &row] { chooseColour(row); });
    }

    auto* const marginGroup = new QGroupBox(QStringLiteral("余白"), this);
    auto* const marginGrid = new QGridLayout(marginGroup);
    for (std::size_t i = 0; i < kPageMarginCount; ++i) {
        MarginRow& row = margins_[i];
        row.check = new QCheckBox(QString::fromUtf8(kMarginLabels[i]), marginGroup);
        row.field = new CNumberField(-kMarginLimit, kMarginLimit, marginGroup);
        row.field->setMinimumWidth(90);
        const int r = static_cast<int>(i);
        marginGrid->addWidget(row.check, r, 0);
        marginGrid->addWidget(row.field, r, 1);
        connect(row.check, &QCheckBox::clicked, this, &CAppearanceDialog::enable);
    }
    marginGrid->setRowStretch(static_cast<int>(kPageMarginCount), 1);

    auto* const includeGrid = new QGridLayout;
    const std::array<std::pair<IncludeRow*, const char*>, 2> includes{{{&header_, "ﾍｯﾀﾞ"}, {&footer_, "ﾌｯﾀ"}}};
    for (std::size_t i = 0; i < includes.size(); ++i) {
        IncludeRow& row = *includes[i].first;
        row.check = new QCheckBox(QString::fromUtf8(includes[i].second), this);
        row.file = new QLineEdit(this);
        row.browse = new QPushButton(QStringLiteral("参照"), this);
        const int r = static_cast<int>(i);
        includeGrid->addWidget(row.check, r, 0);
        includeGrid->addWidget(row.file, r, 1);
        includeGrid->addWidget(row.browse, r, 2);
        connect(row.check, &QCheckBox::clicked, this, &CAppearanceDialog::enable);
        connect(row.browse, &QPushButton::clicked, this, [this, &row] { browseInclude(row); });
    }
    includeGrid->setColumnStretch(1, 1);

    auto* const groups = new QHBoxLayout;
    groups->addWidget(colourGroup);
    groups->addWidget(marginGroup);
    auto* const buttons = new QHBoxLayout;
    buttons->addStretch();
    buttons->addWidget(ok_);
    buttons->addWidget(cancel_);
    auto* const layout = new QVBoxLayout(this);
    layout->addLayout(groups);
    layout->addLayout(includeGrid);
    layout->addLayout(buttons);

    ok_->setDefault(true);
    connect(ok_, &QPushButton::clicked, this, &CAppearanceDialog::accept);
    connect(cancel_, &QPushButton::clicked, this, &QDialog::reject);

    load();
}

CAppearanceDialog::~CAppearanceDialog()
{
    // Hiding the dialog takes the focus from a hex field, which reports the
    // end of its editing; this object is gone by then.
    for (const ColourRow& row : colours_)
        disconnect(row.hex, nullptr, this, nullptr);
}

void CAppearanceDialog::load()
{
    const ProjectSettings& s = context_.settings;
    const AppearanceKeys& keys = KeysOf(kind_);
    for (std::size_t i = 0; i < kPageColourCount; ++i) {
        ColourRow& row = colours_[i];
        const std::uint32_t colour = s.*keys.colours[i].value;
        row.check->setChecked(s.*keys.colours[i].flag != 0);
        row.readText = ColourHexText(colour);
        row.hex->setText(row.readText);
        row.swatch->setColour(colour);
    }
    for (std::size_t i = 0; i < kPageMarginCount; ++i) {
        margins_[i].check->setChecked(s.*keys.margins[i].flag != 0);
        margins_[i].field->setValue(s.*keys.margins[i].value);
    }
    header_.check->setChecked(s.*keys.header.flag != 0);
    header_.text.show(*header_.file, s.*keys.header.file);
    footer_.check->setChecked(s.*keys.footer.flag != 0);
    footer_.text.show(*footer_.file, s.*keys.footer.file);
    enable();
}

void CAppearanceDialog::enable()
{
    for (ColourRow& row : colours_) {
        row.hex->setEnabled(row.check->isChecked());
        row.swatch->setEnabled(row.check->isChecked());
    }
    for (MarginRow& row : margins_)
        row.field->setEnabled(row.check->isChecked());
    for (IncludeRow* const row : {&header_, &footer_}) {
        row->file->setEnabled(row->check->isChecked());
        row->browse->setEnabled(row->check->isChecked());
    }
}

void CAppearanceDialog::readHex(ColourRow& row)
{
    row.readText = row.hex->text();
    row.swatch->setColour(ColourFromHexText(row.readText));
}

void CAppearanceDialog::chooseColour(ColourRow& row)
{
    const std::optional<QColor> chosen = chooser_(this);
    if (!chosen)
        return;
    const std::uint32_t colour = StoredColour(*chosen);
    row.swatch->setColour(colour);
    row.readText = ColourHexText(colour);
    row.hex->setText(row.readText);
}

void CAppearanceDialog::browseInclude(IncludeRow& row)
{
    const QString initialFile = ResolvedForDialog(context_.projectFolder, row.file->text());
    const std::optional<QString> file = context_.prompts.chooseFile(this, IncludeFileRequest(initialFile));
    if (file)
        row.file->setText(QDir::toNativeSeparators(*file));
}

void CAppearanceDialog::accept()
{
    for (MarginRow& row : margins_) {
        if (!row.field->hasAcceptableInput()) {
            context_.prompts.inform(this, kApplicationName, kNotANumber);
            row.field->setFocus();
            return;
        }
    }
    // A colour typed just before OK (Enter in its field included) counts,
    // whether or not the field was left.
    for (ColourRow& row : colours_) {
        if (row.hex->text() != row.readText)
            readHex(row);
    }

    ProjectSettings& s = context_.settings;
    const AppearanceKeys& keys = KeysOf(kind_);
    for (std::size_t i = 0; i < kPageColourCount; ++i) {
        s.*keys.colours[i].flag = Flag(*colours_[i].check);
        s.*keys.colours[i].value = colours_[i].swatch->colour();
    }
    for (std::size_t i = 0; i < kPageMarginCount; ++i) {
        s.*keys.margins[i].flag = Flag(*margins_[i].check);
        s.*keys.margins[i].value = margins_[i].field->value();
    }
    s.*keys.header.flag = Flag(*header_.check);
    s.*keys.header.file = header_.text.take(*header_.file);
    s.*keys.footer.flag = Flag(*footer_.check);
    s.*keys.footer.file = footer_.text.take(*footer_.file);
    QDialog::accept();
}

}  // namespace postloom

// The appearance details dialog: the stored colour layout, reading typed
// colours, the colour chooser, margins, include files and what it writes.

#include "page_sheet.h"
#include "scripted_prompts.h"

#include "settings_ui/appearance_dialog.h"

#include <QApplication>
#include <QCheckBox>
#include <QGroupBox>
#include <QLabel>
#include <QLineEdit>
#include <QSpinBox>
#include <QTemporaryDir>
#include <QTest>

#include <deque>
#include <memory>
#include <random>

namespace postloom::test {

namespace {

constexpr std::array<PageColour, kPageColourCount> kColours{
    PageColour::Background, PageColour::Text, PageColour::Link, PageColour::VisitedLink, PageColour::ActiveLink,
};
constexpr std::array<PageMargin, kPageMarginCount> kMargins{
    PageMargin::Top, PageMargin::Bottom, PageMargin::Right, PageMargin::Left,
};

// The dialog on a working copy, shown and active so that focus moves as
// the user moves it.
struct Details {
    Details(ProjectSettings& settings, PageKind kind, const std::string& projectFolder = "/project")
        : dialog(ProjectPageContext{settings, projectFolder, prompts}, kind,
                 [this](QWidget*) -> std::optional<QColor> {
                     if (chosen.empty()) {
                         QTest::qFail("unexpected colour chooser", __FILE__, __LINE__);
                         return std::nullopt;
                     }
                     const std::optional<QColor> next = chosen.front();
                     chosen.pop_front();
                     return next;
                 })
    {
        dialog.show();
        dialog.activateWindow();
        if (!QTest::qWaitForWindowActive(&dialog))
            QTest::qFail("the dialog did not become active", __FILE__, __LINE__);
    }

    // Types text into the colour's field as the user would.
    void type(PageColour colour, const QString& text)
    {
        QLineEdit* const edit = dialog.hexEdit(colour);
        edit->setFocus();
        edit->selectAll();
        QTest::keyClicks(edit, text);
    }
    // Moves the focus on to another control.
    void leave() { dialog.okButton()->setFocus(); }

    ScriptedPrompts prompts;
    std::deque<std::optional<QColor>> chosen;
    CAppearanceDialog dialog;
};

}  // namespace

class AppearanceDialogTest : public QObject {
    Q_OBJECT

private slots:
    void storedColourHasRedInTheLowestByte()
    {
        QCOMPARE(StoredColour(QColor(255, 0, 0)), 0x0000FFu);
        QCOMPARE(StoredColour(QColor(0, 0, 255)), 0xFF0000u);
        QCOMPARE(StoredColour(QColor(0x40, 0x80, 0xFF)), 0xFF8040u);
        QCOMPARE(ColourOfStored(0x0000FF), QColor(255, 0, 0));
        QCOMPARE(ColourOfStored(0x563412), QColor(0x12, 0x34, 0x56));
        QCOMPARE(ColourHexText(0x0000FF), QStringLiteral("0000FF"));
        QCOMPARE(ColourHexText(0xABCDEF), QStringLiteral("ABCDEF"));
        QCOMPARE(ColourHexText(0), QStringLiteral("000000"));

        std::mt19937 random(7);
        for (int i = 0; i < 500; ++i) {
            const std::uint32_t value = random() & 0xFFFFFF;
            QCOMPARE(StoredColour(ColourOfStored(value)), value);
            QCOMPARE(ColourFromHexText(ColourHexText(value)), value);
        }
    }

    void hexTextIsReadAsANumber_data()
    {
        QTest::addColumn<QString>("text");
        QTest::addColumn<uint>("colour");

        QTest::newRow("red") << QStringLiteral("0000FF") << 0xFFu;
        QTest::newRow("small-letters") << QStringLiteral("ff8040") << 0xFF8040u;
        QTest::newRow("seven-digits-keep-last-six") << QStringLiteral("1234567") << 0x234567u;
        QTest::newRow("many-digits") << QStringLiteral("FFFFFFFFFFFF0000FF") << 0xFFu;
        QTest::newRow("short") << QStringLiteral("FF") << 0xFFu;
        QTest::newRow("blanks-and-prefix") << QStringLiteral("  0x00ff00") << 0x00FF00u;
        QTest::newRow("capital-prefix") << QStringLiteral("0X10") << 0x10u;
        QTest::newRow("plus") << QStringLiteral("+20") << 0x20u;
        QTest::newRow("minus-is-twos-complement") << QStringLiteral("-1") << 0xFFFFFFu;
        QTest::newRow("stops-at-other-character") << QStringLiteral("12G456") << 0x12u;
        QTest::newRow("trailing-blank") << QStringLiteral("ABCDEF ") << 0xABCDEFu;
        QTest::newRow("empty") << QString() << 0u;
        QTest::newRow("no-digits") << QStringLiteral("red") << 0u;
        QTest::newRow("prefix-only") << QStringLiteral("0x") << 0u;
        QTest::newRow("blank-inside") << QStringLiteral("12 34") << 0x12u;
        QTest::newRow("full-width-digits") << QStringLiteral("ＦＦ") << 0u;
    }

    void hexTextIsReadAsANumber()
    {
        QFETCH(QString, text);
        QFETCH(uint, colour);
        QCOMPARE(ColourFromHexText(text), colour);
    }

    void firstDisplayShowsTheValuesOfItsPageKind()
    {
        ProjectSettings settings;
        settings.IndexBGColor = 1;
        settings.IndexBGColorRGB = 0x0000FF;
        settings.IndexLinkColorRGB = 0xABCDEF;
        settings.IndexALinkColor = 1;
        settings.IndexTopMarginCheck = 1;
        settings.IndexTopMargin = -32767;
        settings.IndexLeftMargin = 12;
        settings.IndexFooter = 1;
        settings.IndexFooterFile = Sjis(QStringLiteral("フッタ.html"));
        settings.MailBGColorRGB = 0x123456;  // the other kind's values stay out
        settings.MailRightMargin = 99;
        Details d(settings, PageKind::Index);

        QCOMPARE(d.dialog.windowTitle(), QStringLiteral("詳細設定"));
        QCOMPARE(d.dialog.hexEdit(PageColour::Background)->text(), QStringLiteral("0000FF"));
        QCOMPARE(d.dialog.swatch(PageColour::Background)->colour(), 0x0000FFu);
        QCOMPARE(d.dialog.hexEdit(PageColour::Link)->text(), QStringLiteral("ABCDEF"));
        QCOMPARE(d.dialog.hexEdit(PageColour::Text)->text(), QStringLiteral("000000"));
        QVERIFY(d.dialog.hexEdit(PageColour::Text)->alignment() & Qt::AlignRight);
        QCOMPARE(d.dialog.marginField(PageMargin::Top)->value(), -32767);
        QCOMPARE(d.dialog.marginField(PageMargin::Left)->value(), 12);
        QCOMPARE(d.dialog.marginField(PageMargin::Right)->value(), 0);
        QCOMPARE(d.dialog.footerFileEdit()->text(), QStringLiteral("フッタ.html"));
        for (const PageMargin margin : kMargins) {
            QCOMPARE(d.dialog.marginField(margin)->minimum(), -32767);
            QCOMPARE(d.dialog.marginField(margin)->maximum(), 32767);
        }

        // Each check box enables the controls of its row.
        const std::array<bool, kPageColourCount> colourOn{true, false, false, false, true};
        for (std::size_t i = 0; i < kColours.size(); ++i) {
            QCOMPARE(d.dialog.colourCheck(kColours[i])->isChecked(), colourOn[i]);
            QCOMPARE(d.dialog.hexEdit(kColours[i])->isEnabled(), colourOn[i]);
            QCOMPARE(d.dialog.swatch(kColours[i])->isEnabled(), colourOn[i]);
        }
        QVERIFY(d.dialog.marginField(PageMargin::Top)->isEnabled());
        QVERIFY(!d.dialog.marginField(PageMargin::Left)->isEnabled());
        QVERIFY(!d.dialog.headerFileEdit()->isEnabled());
        QVERIFY(!d.dialog.headerBrowse()->isEnabled());
        QVERIFY(d.dialog.footerFileEdit()->isEnabled());
        QVERIFY(d.dialog.footerBrowse()->isEnabled());

        QStringList texts;
        for (const QAbstractButton* button : d.dialog.findChildren<QAbstractButton*>())
            texts << button->text();
        for (const QGroupBox* group : d.dialog.findChildren<QGroupBox*>())
            texts << group->title();
        for (const QString& expected :
             {QStringLiteral(" 表示色 "), QStringLiteral("背景色"), QStringLiteral("文字色"),
              QStringLiteral("未ｱｸｾｽﾘﾝｸ色"), QStringLiteral("ｱｸｾｽ済ﾘﾝｸ色"), QStringLiteral("ｱｸﾃｨﾌﾞﾘﾝｸ色"),
              QStringLiteral("余白"), QStringLiteral("上"), QStringLiteral("下"), QStringLiteral("右"),
              QStringLiteral("左"), QStringLiteral("ﾍｯﾀﾞ"), QStringLiteral("ﾌｯﾀ"), QStringLiteral("OK"),
              QStringLiteral("ｷｬﾝｾﾙ")})
            QVERIFY2(texts.contains(expected), qPrintable(expected));
        QCOMPARE(texts.count(QStringLiteral("参照")), 2);
    }

    void checkBoxClicksSwitchTheirRows()
    {
        ProjectSettings settings;
        settings.MailBGColor = 1;
        settings.MailBGColorRGB = 0x00FF00;
        Details d(settings, PageKind::Mail);

        d.dialog.colourCheck(PageColour::Background)->click();
        QVERIFY(!d.dialog.hexEdit(PageColour::Background)->isEnabled());
        QVERIFY(!d.dialog.swatch(PageColour::Background)->isEnabled());
        d.dialog.marginCheck(PageMargin::Bottom)->click();
        QVERIFY(d.dialog.marginField(PageMargin::Bottom)->isEnabled());
        d.dialog.headerCheck()->click();
        QVERIFY(d.dialog.headerFileEdit()->isEnabled());
        QVERIFY(d.dialog.headerBrowse()->isEnabled());

        d.dialog.okButton()->click();
        QCOMPARE(d.dialog.result(), int(QDialog::Accepted));
        // Unchecked, the colour keeps its value and is not written.
        QCOMPARE(settings.MailBGColor, 0);
        QCOMPARE(settings.MailBGColorRGB, 0x00FF00u);
        QCOMPARE(settings.MailBottomMarginCheck, 1);
        QCOMPARE(settings.MailHeader, 1);
    }

    void typedColourIsReadWhenTheFieldIsLeft()
    {
        ProjectSettings settings;
        settings.IndexBGColor = 1;
        Details d(settings, PageKind::Index);

        d.type(PageColour::Background, QStringLiteral("0000ff"));
        QCOMPARE(d.dialog.hexEdit(PageColour::Background)->text(), QStringLiteral("0000FF"));
        QCOMPARE(d.dialog.swatch(PageColour::Background)->colour(), 0u);
        d.leave();
        QCOMPARE(d.dialog.swatch(PageColour::Background)->colour(), 0x0000FFu);
        QCOMPARE(d.dialog.swatch(PageColour::Background)->grab().toImage().pixelColor(10, 10), QColor(255, 0, 0));

        d.type(PageColour::Background, QStringLiteral("1234567"));
        d.leave();
        QCOMPARE(d.dialog.hexEdit(PageColour::Background)->text(), QStringLiteral("1234567"));
        QCOMPARE(d.dialog.swatch(PageColour::Background)->colour(), 0x234567u);

        d.dialog.okButton()->click();
        QCOMPARE(settings.IndexBGColorRGB, 0x234567u);
    }

    void colourTypedJustBeforeOkIsKept_data()
    {
        QTest::addColumn<bool>("enter");
        QTest::newRow("enter-in-the-field") << true;
        QTest::newRow("ok-clicked-without-leaving") << false;
    }

    void colourTypedJustBeforeOkIsKept()
    {
        QFETCH(bool, enter);
        ProjectSettings settings;
        settings.MailTextColor = 1;
        settings.MailTextColorRGB = 0x00FF00;
        Details d(settings, PageKind::Mail);

        d.type(PageColour::Text, QStringLiteral("ff8040"));
        if (enter)
            QTest::keyClick(d.dialog.hexEdit(PageColour::Text), Qt::Key_Return);
        else
            d.dialog.okButton()->click();
        QVERIFY(!d.dialog.isVisible());
        QCOMPARE(d.dialog.result(), int(QDialog::Accepted));
        QCOMPARE(settings.MailTextColorRGB, 0xFF8040u);
    }

    void chosenColourUpdatesTheHexText()
    {
        ProjectSettings settings;
        settings.IndexLinkColor = 1;
        settings.IndexLinkColorRGB = 0x0000FF;
        Details d(settings, PageKind::Index);

        d.chosen = {std::nullopt, QColor(0, 0, 255)};
        d.dialog.swatch(PageColour::Link)->click();  // cancelled
        QCOMPARE(d.dialog.hexEdit(PageColour::Link)->text(), QStringLiteral("0000FF"));
        QCOMPARE(d.dialog.swatch(PageColour::Link)->colour(), 0x0000FFu);
        d.dialog.swatch(PageColour::Link)->click();  // pure blue
        QCOMPARE(d.dialog.hexEdit(PageColour::Link)->text(), QStringLiteral("FF0000"));
        QCOMPARE(d.dialog.swatch(PageColour::Link)->colour(), 0xFF0000u);

        d.dialog.okButton()->click();
        QCOMPARE(settings.IndexLinkColorRGB, 0xFF0000u);
    }

    void storedValueAboveSixDigitsSurvivesAnUntouchedField()
    {
        ProjectSettings settings;
        settings.IndexVLinkColorRGB = 0x010000FF;
        Details d(settings, PageKind::Index);
        QCOMPARE(d.dialog.hexEdit(PageColour::VisitedLink)->text(), QStringLiteral("10000FF"));
        d.dialog.okButton()->click();
        QCOMPARE(settings.IndexVLinkColorRGB, 0x010000FFu);
    }

    void marginWithoutNumberKeepsTheDialogOpen()
    {
        ProjectSettings settings;
        settings.IndexRightMarginCheck = 1;
        settings.IndexRightMargin = 8;
        settings.IndexBGColor = 1;
        Details d(settings, PageKind::Index);
        ProjectSettings before;
        before.CopySettingsFrom(settings);

        d.type(PageColour::Background, QStringLiteral("0000FF"));
        QSpinBox* const right = d.dialog.marginField(PageMargin::Right);
        right->setFocus();
        right->selectAll();
        QTest::keyClick(right, Qt::Key_Delete);
        QVERIFY(right->text().isEmpty());
        QTest::keyClick(right, Qt::Key_Return);

        QVERIFY(d.dialog.isVisible());
        QCOMPARE(d.prompts.notices.size(), std::size_t(1));
        QCOMPARE(d.prompts.notices[0].text, QStringLiteral("整数を入力してください。"));
        QCOMPARE(d.prompts.notices[0].caption, QStringLiteral("Postloom"));
        QCOMPARE(QApplication::focusWidget(), right);
        QVERIFY(settings.SettingsEqual(before));

        QTest::keyClicks(right, QStringLiteral("-40"));
        d.dialog.okButton()->click();
        QVERIFY(!d.dialog.isVisible());
        QCOMPARE(settings.IndexRightMargin, -40);
        QCOMPARE(settings.IndexBGColorRGB, 0x0000FFu);
    }

    void marginsStayInTheirRange()
    {
        ProjectSettings settings;
        settings.MailTopMargin = -32766;
        settings.MailBottomMargin = 40000;
        Details d(settings, PageKind::Mail);
        QSpinBox* const top = d.dialog.marginField(PageMargin::Top);
        top->stepDown();
        top->stepDown();
        QCOMPARE(top->value(), -32767);
        QCOMPARE(d.dialog.marginField(PageMargin::Bottom)->value(), 32767);
    }

    void okWritesAllValuesOfItsKindOnly()
    {
        ProjectSettings settings;
        settings.IndexBGColorRGB = 0x111111;
        settings.IndexHeaderFile = "index-head.html";
        ProjectSettings expected;
        expected.CopySettingsFrom(settings);
        Details d(settings, PageKind::Mail);

        const std::array<std::uint32_t, kPageColourCount> colours{0x0000FF, 0x00FF00, 0xFF0000, 0x123456, 0xABCDEF};
        for (std::size_t i = 0; i < kColours.size(); ++i) {
            d.dialog.colourCheck(kColours[i])->click();
            d.type(kColours[i], ColourHexText(colours[i]));
        }
        const std::array<int, kPageMarginCount> margins{1, -2, 300, -32767};
        for (std::size_t i = 0; i < kMargins.size(); ++i) {
            d.dialog.marginCheck(kMargins[i])->click();
            d.dialog.marginField(kMargins[i])->setValue(margins[i]);
        }
        d.dialog.headerCheck()->click();
        d.dialog.headerFileEdit()->setText(QStringLiteral("ヘッダ.html"));
        d.dialog.footerCheck()->click();
        d.dialog.footerFileEdit()->setText(QStringLiteral("/inc/foot.txt"));
        d.dialog.okButton()->click();

        using S = ProjectSettings;
        const std::array<std::pair<std::int32_t S::*, std::uint32_t S::*>, kPageColourCount> colourKeys{{
            {&S::MailBGColor, &S::MailBGColorRGB},
            {&S::MailTextColor, &S::MailTextColorRGB},
            {&S::MailLinkColor, &S::MailLinkColorRGB},
            {&S::MailVLinkColor, &S::MailVLinkColorRGB},
            {&S::MailALinkColor, &S::MailALinkColorRGB},
        }};
        for (std::size_t i = 0; i < colourKeys.size(); ++i) {
            expected.*colourKeys[i].first = 1;
            expected.*colourKeys[i].second = colours[i];
        }
        expected.MailTopMarginCheck = expected.MailBottomMarginCheck = 1;
        expected.MailRightMarginCheck = expected.MailLeftMarginCheck = 1;
        expected.MailTopMargin = 1;
        expected.MailBottomMargin = -2;
        expected.MailRightMargin = 300;
        expected.MailLeftMargin = -32767;
        expected.MailHeader = 1;
        expected.MailHeaderFile = Sjis(QStringLiteral("ヘッダ.html"));
        expected.MailFooter = 1;
        expected.MailFooterFile = "/inc/foot.txt";
        QVERIFY(settings.SettingsEqual(expected));
    }

    void cancelChangesNothing()
    {
        ProjectSettings settings;
        settings.IndexBGColor = 1;
        ProjectSettings before;
        before.CopySettingsFrom(settings);
        Details d(settings, PageKind::Index);
        d.chosen = {QColor(1, 2, 3)};
        d.dialog.swatch(PageColour::Background)->click();
        d.type(PageColour::Background, QStringLiteral("FFFFFF"));
        d.leave();
        d.dialog.marginCheck(PageMargin::Left)->click();
        d.dialog.headerCheck()->click();
        d.dialog.cancelButton()->click();
        QCOMPARE(d.dialog.result(), int(QDialog::Rejected));
        QVERIFY(settings.SettingsEqual(before));
    }

    void includeBrowseOffersPagesAndTexts()
    {
        QTemporaryDir dir;
        ProjectSettings settings;
        settings.MailHeader = 1;
        settings.MailHeaderFile = "inc/head.html";
        Details d(settings, PageKind::Mail, dir.path().toStdString());

        d.prompts.chosenFiles = {QString(), dir.filePath(QStringLiteral("parts/top.htm"))};
        d.dialog.headerBrowse()->click();  // cancelled
        QCOMPARE(d.dialog.headerFileEdit()->text(), QStringLiteral("inc/head.html"));
        d.dialog.headerBrowse()->click();
        QCOMPARE(d.dialog.headerFileEdit()->text(), dir.filePath(QStringLiteral("parts/top.htm")));

        const FileRequest& request = d.prompts.fileRequests.at(0);
        QCOMPARE(request.defaultSuffix, QStringLiteral("html"));
        QCOMPARE(request.initialFile, dir.filePath(QStringLiteral("inc/head.html")));
        QCOMPARE(request.filters.size(), std::size_t(3));
        QCOMPARE(request.filters[0].label, QStringLiteral("HTMLﾌｧｲﾙ(*.html;*.htm)"));
        QCOMPARE(request.filters[0].patterns, QStringLiteral("*.html;*.htm"));
        QCOMPARE(request.filters[1].label, QStringLiteral("ﾃｷｽﾄﾌｧｲﾙ(*.txt)"));
        QCOMPARE(request.filters[1].patterns, QStringLiteral("*.txt"));
        QCOMPARE(request.filters[2].label, QStringLiteral("すべてのﾌｧｲﾙ(*.*)"));
        QCOMPARE(request.filters[2].patterns, QStringLiteral("*.*"));

        d.dialog.okButton()->click();
        QCOMPARE(settings.MailHeaderFile, dir.filePath(QStringLiteral("parts/top.htm")).toStdString());
    }
};

}  // namespace postloom::test

QTEST_MAIN(postloom::test::AppearanceDialogTest)
#include "appearance_dialog_test.moc"

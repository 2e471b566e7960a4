#include "app/desktop/mail_info_dialog.h"
#include "core/platform/local_time.h"
#include "settings_ui/gui_text.h"

#include <QApplication>
#include <QLabel>
#include <QLayout>
#include <QLineEdit>
#include <QPlainTextEdit>
#include <QPushButton>
#include <QScrollBar>
#include <QTest>
#include <QTextBlock>
#include <QTextCursor>
#include <QWindow>

namespace postloom {

namespace {

MailRecord TypicalMail()
{
    MailRecord mail;
    mail.subject = ToCp932(QStringLiteral("[sample-ml:00012] Re: 4月のオフ会について"));
    mail.from = ToCp932(QStringLiteral("中村美香 <mika@example.ne.jp>"));
    mail.date = platform::MakeLocalTime(2004, 4, 8, 12, 0, 0);
    mail.messageId = "20040012.b5@example.jp";
    mail.inReplyTo = "20040011.b4@example.jp";
    mail.references = {"20040008.b1@example.jp", "20040011.b4@example.jp"};
    return mail;
}

QFont Scaled(qreal factor)
{
    QFont font = QApplication::font();
    if (font.pointSizeF() > 0)
        font.setPointSizeF(font.pointSizeF() * factor);
    else
        font.setPixelSize(qRound(font.pixelSize() * factor));
    return font;
}

// Shows mail in dialog at font and lets the layout settle.
void ShowAt(CMailInfoDialog& dialog, const QFont& font, const MailRecord& mail)
{
    dialog.setFont(font);
    dialog.showMail(mail, {.next = true, .previous = true, .parent = true, .child = true});
    QCoreApplication::sendPostedEvents();
    dialog.layout()->activate();
}

QLineEdit* FieldShowing(const CMailInfoDialog& dialog, const QString& text)
{
    for (QLineEdit* field : dialog.findChildren<QLineEdit*>()) {
        if (field->text() == text)
            return field;
    }
    return nullptr;
}

QString Describe(const QWidget& widget)
{
    const auto* label = qobject_cast<const QLabel*>(&widget);
    const auto* button = qobject_cast<const QAbstractButton*>(&widget);
    const QString name = label != nullptr ? label->text() : button != nullptr ? button->text() : QString();
    return QStringLiteral("%1 \"%2\": needs %3x%4, has %5x%6")
        .arg(QString::fromLatin1(widget.metaObject()->className()), name)
        .arg(widget.sizeHint().width())
        .arg(widget.sizeHint().height())
        .arg(widget.width())
        .arg(widget.height());
}

}  // namespace

class MailInfoLayoutTest final : public QObject {
    Q_OBJECT

private Q_SLOTS:
    void everyLabelValueAndButtonIsWhole_data()
    {
        QTest::addColumn<qreal>("factor");
        QTest::newRow("default font") << 1.0;
        QTest::newRow("1.5 times the default font") << 1.5;
    }

    void everyLabelValueAndButtonIsWhole()
    {
        QFETCH(qreal, factor);
        CMailInfoDialog dialog;
        const MailRecord mail = TypicalMail();
        ShowAt(dialog, Scaled(factor), mail);

        const QList<QLabel*> labels = dialog.findChildren<QLabel*>();
        QCOMPARE(labels.size(), 6);
        for (const QLabel* label : labels) {
            QVERIFY2(label->width() >= label->sizeHint().width() && label->height() >= label->sizeHint().height(),
                     qPrintable(Describe(*label)));
        }
        for (const QPushButton* button : dialog.findChildren<QPushButton*>()) {
            QVERIFY2(button->width() >= button->sizeHint().width() && button->height() >= button->sizeHint().height(),
                     qPrintable(Describe(*button)));
        }
        // The usual values fit their fields whole, in height and length.
        for (const QString& value : {dialog.subjectText(), dialog.fromText(), dialog.dateText(),
                                     dialog.messageIdText(), dialog.inReplyToText()}) {
            const QLineEdit* field = FieldShowing(dialog, value);
            QVERIFY(field != nullptr);
            QVERIFY2(field->height() >= field->sizeHint().height(), qPrintable(Describe(*field)));
            QVERIFY2(field->fontMetrics().horizontalAdvance(value) < field->contentsRect().width(),
                     qPrintable(value));
        }
        const auto* references = dialog.findChild<QPlainTextEdit*>();
        QVERIFY(references != nullptr);
        const QTextBlock last = references->document()->lastBlock();
        QCOMPARE(last.text(), QStringLiteral("20040011.b4@example.jp"));
        QVERIFY2(references->cursorRect(QTextCursor(last)).bottom() < references->viewport()->height(),
                 "the second reference is cut");
    }

    void windowGrowsWithItsFontAndKeepsItsSize()
    {
        CMailInfoDialog dialog;
        const MailRecord mail = TypicalMail();
        ShowAt(dialog, Scaled(1.0), mail);
        const QSize normal = dialog.size();
        QCOMPARE(dialog.minimumSize(), normal);
        QCOMPARE(dialog.maximumSize(), normal);
        ShowAt(dialog, Scaled(1.5), mail);
        QVERIFY(dialog.width() > normal.width() && dialog.height() > normal.height());
        QCOMPARE(dialog.minimumSize(), dialog.size());
        QCOMPARE(dialog.maximumSize(), dialog.size());
    }

    void windowHasTheProgramIconAndNoMaximizeButton()
    {
        // Without an icon of its own a window shows the application's,
        // which the program does not set.
        QVERIFY(QApplication::windowIcon().isNull());
        CMailInfoDialog dialog;
        QVERIFY(!dialog.windowIcon().isNull());
        ShowAt(dialog, Scaled(1.0), TypicalMail());
        dialog.makeTopmost();
        QVERIFY(dialog.topmost());
        QVERIFY(dialog.windowHandle() != nullptr);
        for (const Qt::WindowFlags flags : {dialog.windowFlags(), dialog.windowHandle()->flags()}) {
            QVERIFY(flags.testFlag(Qt::WindowCloseButtonHint));
            QVERIFY(!flags.testFlag(Qt::WindowMaximizeButtonHint));
            QVERIFY(!flags.testFlag(Qt::WindowMinimizeButtonHint));
        }
        QCOMPARE(dialog.windowHandle()->minimumSize(), dialog.windowHandle()->maximumSize());
    }

    void longValuesScrollAndShowWholeInTheirToolTips()
    {
        CMailInfoDialog dialog;
        ShowAt(dialog, Scaled(1.0), TypicalMail());
        const QSize fixed = dialog.size();

        MailRecord mail = TypicalMail();
        const QString subject = QStringLiteral("[sample-ml:00099] Re: Re: Re: ") + QString(40, QChar(0x3042));
        mail.subject = ToCp932(subject);
        const std::string id(120, 'x');
        mail.messageId = id + "@example.jp";
        mail.references = {id + ".1@example.jp", id + ".2@example.jp", id + ".3@example.jp"};
        ShowAt(dialog, Scaled(1.0), mail);
        QCOMPARE(dialog.size(), fixed);

        for (const QString& value : {subject, QString::fromStdString(mail.messageId)}) {
            const QLineEdit* field = FieldShowing(dialog, value);
            QVERIFY(field != nullptr);
            QVERIFY(field->fontMetrics().horizontalAdvance(value) > field->contentsRect().width());
            QCOMPARE(field->toolTip(), value);
            // Shown from its start.
            QCOMPARE(field->cursorPosition(), 0);
        }
        const auto* references = dialog.findChild<QPlainTextEdit*>();
        QVERIFY(references != nullptr);
        QCOMPARE(references->toolTip(), dialog.referencesText());
        QCOMPARE(references->toolTip().count(QLatin1Char('\n')), 2);
        QVERIFY(references->horizontalScrollBar()->isVisible());
        QVERIFY(references->verticalScrollBar()->isVisible());

        // The next mail's values replace the tips.
        ShowAt(dialog, Scaled(1.0), TypicalMail());
        QCOMPARE(FieldShowing(dialog, dialog.messageIdText())->toolTip(), QStringLiteral("20040012.b5@example.jp"));
        QCOMPARE(references->toolTip(), QStringLiteral("20040008.b1@example.jp\n20040011.b4@example.jp"));
    }
};

}  // namespace postloom

QTEST_MAIN(postloom::MailInfoLayoutTest)
#include "mail_info_layout_test.moc"

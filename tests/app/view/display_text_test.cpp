#include "app/view/display_text.h"

#include "core/text/codec.h"

#include <QTest>

#include <string>

using postloom::DisplayText;

namespace {

std::string Sjis(const char* utf8)
{
    return postloom::text::Utf8ToCp932(utf8);
}

}  // namespace

class DisplayTextTest : public QObject {
    Q_OBJECT

private slots:
    void convertsJapaneseSubjects_data()
    {
        QTest::addColumn<QString>("utf8");
        QTest::newRow("empty") << QString();
        QTest::newRow("ascii") << QStringLiteral("Re: [ml 12] hello");
        QTest::newRow("kanji and kana") << QStringLiteral("【お知らせ】次回の集まりについて");
        QTest::newRow("half-width katakana") << QStringLiteral("ﾌﾟﾛｼﾞｪｸﾄ");
        QTest::newRow("trail byte 0x5C") << QStringLiteral("ソフト表示");
    }
    void convertsJapaneseSubjects()
    {
        QFETCH(QString, utf8);
        QCOMPARE(DisplayText(Sjis(utf8.toUtf8().constData())), utf8);
    }

    // Bytes that do not convert show as U+FFFD; everything around them
    // still shows as text.
    void keepsTheRestOfADamagedText_data()
    {
        QTest::addColumn<QByteArray>("cp932");
        QTest::addColumn<QString>("shown");
        const QString bad(QChar::ReplacementCharacter);
        const std::string japanese = Sjis("日本語");
        const QByteArray prefix(japanese.data(), static_cast<qsizetype>(japanese.size()));
        QTest::newRow("lone lead byte at the end") << prefix + "\x81" << QStringLiteral("日本語") + bad;
        QTest::newRow("unassigned code") << "A" + prefix + "\x85\x40" + "B"
                                         << QStringLiteral("A日本語") + bad + QStringLiteral("@B");
        QTest::newRow("lead byte before a blank") << QByteArray("\x81 x") << bad + QStringLiteral(" x");
        QTest::newRow("single bytes without a character")
            << QByteArray("\x80") + prefix + "\xA0\xFD\xFF" << bad + QStringLiteral("日本語") + bad + bad + bad;
    }
    void keepsTheRestOfADamagedText()
    {
        QFETCH(QByteArray, cp932);
        QFETCH(QString, shown);
        QCOMPARE(DisplayText(std::string_view(cp932.constData(), static_cast<std::size_t>(cp932.size()))), shown);
    }
};

QTEST_GUILESS_MAIN(DisplayTextTest)
#include "display_text_test.moc"

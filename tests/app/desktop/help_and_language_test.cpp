#include "app/command_ids.h"
#include "desktop_test_support.h"

#include <QDialogButtonBox>
#include <QFileInfo>
#include <QPushButton>
#include <QScreen>
#include <QSettings>
#include <QTest>
#include <QTextBrowser>

#include <memory>

namespace postloom {

using test::ScriptedDesktopPrompts;
using test::TestProgram;

namespace {

QString YesText()
{
    const QDialogButtonBox box(QDialogButtonBox::Yes | QDialogButtonBox::No | QDialogButtonBox::Cancel);
    return box.button(QDialogButtonBox::Yes)->text();
}

}  // namespace

class HelpAndLanguageTest final : public QObject {
    Q_OBJECT

private Q_SLOTS:
    void helpKeyAndMenuEntryShowTheHelpPage()
    {
        TestProgram program;
        program.app->start();
        CPostloomApp& app = *program.app;
        QVERIFY(app.helpWindow() == nullptr);
        app.frame().activateWindow();
        QVERIFY(QTest::qWaitForWindowActive(&app.frame()));
        QTest::keyClick(&app.frame(), Qt::Key_F1);
        QTextBrowser* help = app.helpWindow();
        QVERIFY(help != nullptr);
        QVERIFY(help->isVisible());
        QCOMPARE(help->documentTitle(), QStringLiteral("Postloom ヘルプ"));
        const QString text = help->toPlainText();
        QVERIFY2(text.contains(QStringLiteral("基本の流れ")) && text.contains(QStringLiteral("自動実行")),
                 qPrintable(QStringLiteral("the help window shows: \"%1\"").arg(text.left(200))));

        // The menu entry shows the same window again after it was closed.
        help->close();
        QVERIFY(app.context().commands().send(ID_HELP_FINDER));
        QCOMPARE(app.helpWindow(), help);
        QVERIFY(help->isVisible());
    }

    void helpWindowLiesWhollyOnTheScreen()
    {
        TestProgram program;
        program.app->start();
        CPostloomApp& app = *program.app;
        const QRect free = app.frame().screen()->availableGeometry();
        // Centred over a main window in the corner it would hang off the
        // screen.
        app.frame().move(free.right() - 100, free.bottom() - 100);
        QVERIFY(app.context().commands().send(ID_HELP_FINDER));
        QTextBrowser* help = app.helpWindow();
        QVERIFY(help != nullptr);
        QVERIFY2(free.contains(help->frameGeometry()),
                 qPrintable(QStringLiteral("%1,%2 %3x%4")
                                .arg(help->frameGeometry().x())
                                .arg(help->frameGeometry().y())
                                .arg(help->frameGeometry().width())
                                .arg(help->frameGeometry().height())));
        QVERIFY(help->width() >= 300 && help->height() >= 200);
    }

    void qtStandardTextsAreJapaneseWhileTheProgramRuns()
    {
        const QString folder = QLibraryInfo::path(QLibraryInfo::TranslationsPath);
        if (!QFileInfo::exists(folder + QStringLiteral("/qtbase_ja.qm")))
            QSKIP(qPrintable(QStringLiteral("Qt's Japanese translation %1/qtbase_ja.qm is not installed "
                                            "(package qt6-translations-l10n, see scripts/install-deps)")
                                 .arg(folder)));
        QCOMPARE(YesText(), QStringLiteral("&Yes"));
        {
            TestProgram program;
            program.app->start();
            QCOMPARE(YesText(), QStringLiteral("はい(&Y)"));
            QCOMPARE(QCoreApplication::translate("QFileDialog", "Look in:"), QStringLiteral("アドレス:"));
        }
        // The translation ends with the program that installed it.
        QCOMPARE(YesText(), QStringLiteral("&Yes"));
    }

    void programStartsWithoutQtTranslations()
    {
        QTemporaryDir empty;
        QVERIFY(empty.isValid());
        DesktopEnvironment environment;
        environment.prompts = std::make_unique<ScriptedDesktopPrompts>();
        environment.store =
            std::make_unique<QSettings>(empty.filePath(QStringLiteral("recent.ini")), QSettings::IniFormat);
        environment.qtTranslations = empty.filePath(QStringLiteral("missing"));
        CPostloomApp app({}, std::move(environment));
        app.start();
        QVERIFY(app.frame().isVisible());
        QCOMPARE(YesText(), QStringLiteral("&Yes"));
    }
};

}  // namespace postloom

QTEST_MAIN(postloom::HelpAndLanguageTest)
#include "help_and_language_test.moc"

#include "app/desktop/command_line.h"

#include <QTest>

namespace postloom {

class CommandLineTest final : public QObject {
    Q_OBJECT

private Q_SLOTS:
    void marksAndProject_data()
    {
        QTest::addColumn<QStringList>("arguments");
        QTest::addColumn<QString>("project");
        QTest::addColumn<int>("autoRun");
        QTest::addColumn<int>("exitAfterRun");

        const auto row = [](const char* name, QStringList arguments, const char* project, int autoRun, int exit) {
            QTest::newRow(name) << arguments << QString::fromUtf8(project) << autoRun << exit;
        };
        row("nothing", {}, "", 0, 0);
        row("project auto exit", {QStringLiteral("p.plp"), QStringLiteral("auto"), QStringLiteral("exit")}, "p.plp",
            1, 1);
        row("exit alone", {QStringLiteral("p.plp"), QStringLiteral("exit")}, "p.plp", 0, 1);
        row("case counts", {QStringLiteral("p.plp"), QStringLiteral("AUTO"), QStringLiteral("Exit")}, "p.plp", 0, 0);
        row("dash and slash flags", {QStringLiteral("p.plp"), QStringLiteral("-auto"), QStringLiteral("/exit")},
            "p.plp", 1, 1);
        row("auto first is also the project", {QStringLiteral("auto"), QStringLiteral("p.plp")}, "auto", 1, 0);
        row("later words are ignored", {QStringLiteral("a.plp"), QStringLiteral("b.plp")}, "a.plp", 0, 0);
        row("absolute path is no flag", {QStringLiteral("/home/u/p.plp"), QStringLiteral("/auto")}, "/home/u/p.plp",
            1, 0);
        row("unknown flag ignored", {QStringLiteral("-x"), QStringLiteral("p.plp")}, "p.plp", 0, 0);
    }

    void marksAndProject()
    {
        QFETCH(QStringList, arguments);
        QFETCH(QString, project);
        QFETCH(int, autoRun);
        QFETCH(int, exitAfterRun);
        const CPostloomCommandLineInfo info = ParseCommandLine(arguments);
        QCOMPARE(info.projectFile, project);
        QCOMPARE(info.marks.autoRun, autoRun);
        QCOMPARE(info.marks.exitAfterRun, exitAfterRun);
    }

    void screenshotTakesItsFile()
    {
        const CPostloomCommandLineInfo info =
            ParseCommandLine({QStringLiteral("--screenshot"), QStringLiteral("shot.png"), QStringLiteral("p.plp")});
        QCOMPARE(info.screenshotFile, QStringLiteral("shot.png"));
        QCOMPARE(info.projectFile, QStringLiteral("p.plp"));

        const CPostloomCommandLineInfo both =
            ParseCommandLine({QStringLiteral("--info-screenshot"), QStringLiteral("info.png"), QStringLiteral("p.plp"),
                              QStringLiteral("--screenshot"), QStringLiteral("shot.png")});
        QCOMPARE(both.infoScreenshotFile, QStringLiteral("info.png"));
        QCOMPARE(both.screenshotFile, QStringLiteral("shot.png"));
        QCOMPARE(both.projectFile, QStringLiteral("p.plp"));
    }
};

}  // namespace postloom

QTEST_GUILESS_MAIN(postloom::CommandLineTest)
#include "command_line_test.moc"

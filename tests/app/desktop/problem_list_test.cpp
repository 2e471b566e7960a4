#include "app/command_ids.h"
#include "cli/batch_pipeline.h"
#include "cli/terminal_progress.h"
#include "desktop_test_support.h"
#include "settings_ui/gui_text.h"

#include <QDir>
#include <QFile>
#include <QProcess>
#include <QSettings>
#include <QSignalSpy>
#include <QTemporaryDir>
#include <QTest>

namespace postloom {

using test::kPatience;
using test::SampleCopy;
using test::TestProgram;

namespace {

struct Run {
    int status = -1;
    QStringList lines;  // stderr, without the program's prefix
};

// Runs a program without a display; of its stderr, the lines that start with
// prefix, without it, and with the sample folder's path as "SAMPLE" so that
// two copies compare.
Run RunProgram(const QString& program, const QStringList& arguments, const SampleCopy& sample,
               const QString& prefix)
{
    QTemporaryDir config;
    QProcessEnvironment environment = QProcessEnvironment::systemEnvironment();
    environment.remove(QStringLiteral("DISPLAY"));
    environment.remove(QStringLiteral("WAYLAND_DISPLAY"));
    environment.remove(QStringLiteral("QT_QPA_PLATFORM"));
    environment.insert(QStringLiteral("XDG_CONFIG_HOME"), config.path());
    QProcess process;
    process.setProcessEnvironment(environment);
    process.start(program, arguments);
    Run run;
    if (!process.waitForFinished(120000)) {
        process.kill();
        process.waitForFinished();
        return run;
    }
    run.status = process.exitStatus() == QProcess::NormalExit ? process.exitCode() : -1;
    const QString errors = QString::fromLocal8Bit(process.readAllStandardError());
    // Only the program's own lines: Qt may add warnings of its own.
    for (QString line : errors.split(QLatin1Char('\n'), Qt::SkipEmptyParts)) {
        if (line.startsWith(prefix)) {
            run.lines << line.remove(0, prefix.size()).replace(sample.folder(), QStringLiteral("SAMPLE"));
        }
    }
    return run;
}

Run RunBatch(const SampleCopy& sample)
{
    Run run = RunProgram(QStringLiteral(BATCH_BINARY), {sample.project()}, sample, QStringLiteral("postloom-batch: "));
    // The closing summary is the converter's own.
    run.lines.removeIf([](const QString& line) { return line.contains(QStringLiteral(" mails read (")); });
    return run;
}

Run RunUnattended(const SampleCopy& sample)
{
    return RunProgram(QStringLiteral(POSTLOOM_BINARY),
                      {sample.project(), QStringLiteral("auto"), QStringLiteral("exit")}, sample,
                      QStringLiteral("postloom: "));
}

// Kind and path of each problem, the sample folder's path as "SAMPLE".
QStringList KindsAndPaths(const Problems& problems, const SampleCopy& sample)
{
    QStringList shown;
    for (const Problem& problem : problems) {
        shown << QStringLiteral("%1 %2")
                     .arg(static_cast<int>(problem.kind))
                     .arg(FromCp932(problem.path).replace(sample.folder(), QStringLiteral("SAMPLE")));
    }
    return shown;
}

bool Append(const QString& path, const QByteArray& bytes)
{
    QFile file(path);
    return file.open(QIODevice::Append) && file.write(bytes) == bytes.size();
}

// The ways a project is broken for these tests, made the same in any copy.
enum class Damage { None, MissingMailAndHeader, UnmakeablePageFolderAndIndexHeader, All };

// Converts the sample once (so its mails are stored), then breaks it.
bool Prepare(const SampleCopy& sample, Damage damage)
{
    if (RunBatch(sample).status != 0) {
        return false;
    }
    QByteArray project;
    {
        QFile file(sample.project());
        if (!file.open(QIODevice::ReadOnly)) {
            return false;
        }
        project = file.readAll();
    }
    const auto set = [&](const QByteArray& key, const QByteArray& value) {
        const qsizetype at = project.indexOf("\n" + key + "=") + 1;
        const qsizetype end = project.indexOf('\n', at);
        project.replace(at, end - at, key + "=" + value);
    };
    switch (damage) {
    case Damage::None:
        return true;
    case Damage::MissingMailAndHeader:
        set("MailHeader", "1");
        set("MailHeaderFile", "no-such-header.txt");
        if (!QFile::remove(sample.file(QStringLiteral("mail/00007.alm")))) {
            return false;
        }
        break;
    case Damage::UnmakeablePageFolderAndIndexHeader:
        set("IndexHeader", "1");
        set("IndexHeaderFile", "no-such-header.txt");
        if (!QDir(sample.file(QStringLiteral("site/pages"))).removeRecursively() ||
            !Append(sample.file(QStringLiteral("site/pages")), "a file where the page folder goes")) {
            return false;
        }
        break;
    case Damage::All:
        // No mail page can be written, so the missing mail and the mail
        // header are never looked at: one line.
        set("MailHeader", "1");
        set("MailHeaderFile", "no-such-header.txt");
        if (!QFile::remove(sample.file(QStringLiteral("mail/00007.alm"))) ||
            !QDir(sample.file(QStringLiteral("site/pages"))).removeRecursively() ||
            !Append(sample.file(QStringLiteral("site/pages")), "a file where the page folder goes")) {
            return false;
        }
        break;
    }
    QFile file(sample.project());
    return file.open(QIODevice::WriteOnly | QIODevice::Truncate) && file.write(project) == project.size();
}

}  // namespace
}  // namespace postloom

Q_DECLARE_METATYPE(postloom::Damage)

namespace postloom {

class ProblemListTest final : public QObject {
    Q_OBJECT

private Q_SLOTS:
    void unattendedRunReportsWhatTheBatchConverterReports_data()
    {
        QTest::addColumn<Damage>("damage");
        QTest::addColumn<int>("lines");
        QTest::addColumn<int>("status");
        QTest::newRow("good project") << Damage::None << 0 << 0;
        // A mail file taken away is a notice and takes its page off the
        // site (a second notice); the header is a problem.
        QTest::newRow("missing mail file and mail header") << Damage::MissingMailAndHeader << 3 << 1;
        QTest::newRow("page folder that cannot be made, missing index header")
            << Damage::UnmakeablePageFolderAndIndexHeader << 2 << 1;
        QTest::newRow("missing mail file and mail header, page folder that cannot be made") << Damage::All << 1 << 1;
    }

    void unattendedRunReportsWhatTheBatchConverterReports()
    {
        QFETCH(Damage, damage);
        QFETCH(int, lines);
        QFETCH(int, status);
        SampleCopy desktop;
        SampleCopy batch;
        QVERIFY(desktop.valid() && batch.valid());
        QVERIFY(Prepare(desktop, damage));
        QVERIFY(Prepare(batch, damage));

        const Run converted = RunBatch(batch);
        const Run unattended = RunUnattended(desktop);
        QCOMPARE(converted.lines.size(), lines);
        QCOMPARE(unattended.lines, converted.lines);
        QCOMPARE(unattended.status, converted.status);
        QCOMPARE(unattended.status, status);
    }

    void problemListNamesWhatTheBatchConverterFindsInJapanese()
    {
        SampleCopy desktop;
        SampleCopy batch;
        QVERIFY(Prepare(desktop, Damage::MissingMailAndHeader));
        QVERIFY(Prepare(batch, Damage::MissingMailAndHeader));
        batch::SilentProgress silent;
        const StopFlag stop{false};
        const batch::BatchReport converted = batch::RunBatch(ToCp932(batch.project()), silent, stop);

        TestProgram program;
        program.app->start();
        CPostloomApp& app = *program.app;
        QVERIFY(app.openProject(desktop.project()));
        QTRY_VERIFY_WITH_TIMEOUT(app.document().treeBuilt(), kPatience);
        QVERIFY(app.frame().problemPanel().isHidden());
        app.context().commands().send(ID_HTML_CREATE);
        QTRY_VERIFY_WITH_TIMEOUT(!app.frame().problemPanel().isHidden(), kPatience);

        const ProblemLog& log = app.context().problems();
        QCOMPARE(KindsAndPaths(log.problems(), desktop), KindsAndPaths(converted.problems, batch));
        QCOMPARE(KindsAndPaths(log.notices(), desktop), KindsAndPaths(converted.notices, batch));
        // The panel shows the notices after the problems, in Japanese.
        const QString header = desktop.file(QStringLiteral("no-such-header.txt"));
        const QStringList japanese = {QStringLiteral("ﾒｰﾙﾍﾟｰｼﾞのﾍｯﾀﾞﾌｧｲﾙを読み込めません: ") + header,
                                      QStringLiteral("ﾒｰﾙﾌｧｲﾙがなくなったのでﾍﾟｰｼﾞはありません: 00007.alm"),
                                      QStringLiteral("ﾍﾟｰｼﾞを出力しないﾒｰﾙのﾍﾟｰｼﾞを1個削除しました")};
        QCOMPARE(app.frame().problemPanel().text().split(QLatin1Char('\n')), japanese);
        QCOMPARE(app.frame().runSummary(), QStringLiteral("42通のﾍﾟｰｼﾞを作成しました (問題 1件)"));

        // Closed, it comes back from the menu until the next run empties it.
        app.frame().problemPanel().close();
        app.frame().problemPanel().toggleViewAction()->trigger();
        QVERIFY(!app.frame().problemPanel().isHidden());
        QCOMPARE(app.frame().problemPanel().text().count(QLatin1Char('\n')), 2);

        // A run without problems takes the list away.
        app.document().settings().MailHeader = 0;
        app.context().commands().send(ID_HTML_CREATE);
        QTRY_VERIFY_WITH_TIMEOUT(app.frame().problemPanel().isHidden(), kPatience);
        QVERIFY(log.problems().empty());
        QCOMPARE(app.frame().runSummary(), QStringLiteral("42通のﾍﾟｰｼﾞを作成しました"));
    }

    void problemListOfAnEarlierSessionStaysClosed()
    {
        QTemporaryDir store;
        QSettings settings(store.filePath(QStringLiteral("layout.ini")), QSettings::IniFormat);
        {
            TestProgram program;
            program.app->start();
            program.app->frame().problemPanel().show();
            program.app->frame().saveLayout(settings);
        }
        TestProgram program;
        program.app->start();
        program.app->frame().restoreLayout(settings);
        QVERIFY(program.app->frame().problemPanel().isHidden());
    }

    void stopButtonStopsAReadingAndTheProblemListSaysSo()
    {
        // Enough mails that the reading is still going when the stop comes.
        QTemporaryDir dir;
        QVERIFY(QDir(dir.path()).mkdir(QStringLiteral("mail")));
        constexpr int kMails = 6000;
        for (int i = 0; i < kMails; ++i) {
            QFile mail(dir.filePath(QStringLiteral("mail/%1.alm").arg(i, 5, 10, QLatin1Char('0'))));
            QVERIFY(mail.open(QIODevice::WriteOnly));
            mail.write(QStringLiteral("Subject: mail %1\r\nMessage-Id: <%1@x>\r\n\r\nbody\r\n").arg(i).toLatin1());
        }
        const QString project = dir.filePath(QStringLiteral("p.plp"));
        {
            QFile file(project);
            QVERIFY(file.open(QIODevice::WriteOnly));
            file.write("PostloomVer=100\nMailExt=*.alm\nTargetPath=mail\nIndexPath=site/index.html\nMailData\n\0\0", 83);
        }

        TestProgram program;
        program.app->start();
        CPostloomApp& app = *program.app;
        QVERIFY(!app.frame().stopAction().isEnabled());
        QVERIFY(app.openProject(project));
        app.frame().updateCommandUi();
        QVERIFY(app.frame().stopAction().isEnabled());
        // Esc in the tree reaches the window, which stops the reading.
        QTest::keyClick(&app.view(), Qt::Key_Escape);

        QTRY_VERIFY_WITH_TIMEOUT(!app.document().busy() && !app.document().hasLiveWorkers(), kPatience);
        QTRY_VERIFY_WITH_TIMEOUT(!app.frame().problemPanel().isHidden(), kPatience);
        QVERIFY(app.frame().problemPanel().text().contains(QStringLiteral("処理は途中で中止されました")));
        QVERIFY(app.document().settings().mailList.size() < static_cast<std::size_t>(kMails));
        app.frame().updateCommandUi();
        QVERIFY(!app.frame().stopAction().isEnabled());
    }
};

}  // namespace postloom

QTEST_MAIN(postloom::ProblemListTest)
#include "problem_list_test.moc"

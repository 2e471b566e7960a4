#include "app/command_ids.h"
#include "core/platform/project_lock.h"
#include "core/project/project_file.h"
#include "core/project/project_settings.h"
#include "desktop_test_support.h"

#include <QCoreApplication>
#include <QDir>
#include <QDirIterator>
#include <QFile>
#include <QLockFile>
#include <QProcess>
#include <QSignalSpy>
#include <QTest>

#include <sys/wait.h>
#include <unistd.h>

#include <map>

namespace postloom {

using test::kPatience;
using test::SampleCopy;
using test::TestProgram;

namespace {

// The names of the site record's pages and files, without the folder and
// times that differ from copy to copy.
QByteArray RecordedNames(const QByteArray& record)
{
    QByteArray names;
    for (const QByteArray& line : record.split('\n')) {
        const QList<QByteArray> fields = line.split(' ');
        if (fields.size() > 2 && (fields[0] == "page" || fields[0] == "file")) {
            names += fields[0] + ' ' + fields[1] + (fields[0] == "page" ? ' ' + fields[2] : QByteArray()) + '\n';
        }
    }
    return names;
}

// Every file below folder, by relative path, with its bytes.
std::map<QString, QByteArray> Files(const QString& folder)
{
    std::map<QString, QByteArray> files;
    const QDir base(folder);
    QDirIterator it(folder, QDir::Files | QDir::Hidden, QDirIterator::Subdirectories);
    while (it.hasNext()) {
        const QString path = it.next();
        QFile file(path);
        file.open(QIODevice::ReadOnly);
        const QString name = base.relativeFilePath(path);
        // The search's state holds fingerprints of the mail files' times,
        // which differ between two copies of the sample.
        if (name.endsWith(QStringLiteral(".postloom-search")))
            files[name] = {};
        else
            files[name] = name.endsWith(QStringLiteral(".postloom-site")) ? RecordedNames(file.readAll()) : file.readAll();
    }
    return files;
}

// Switches the page of 00003.alm off and deletes the file of 00043.alm,
// which has an attachment.
void TakeDown(const SampleCopy& sample)
{
    const std::string project = QFile::encodeName(sample.project()).toStdString();
    ProjectSettings settings;
    settings.Reset();
    QVERIFY(LoadProject(settings, project).opened);
    for (auto& mail : settings.mailList) {
        if (mail->fileName == "00003.alm") {
            mail->outputHtml = 0;
        }
    }
    QVERIFY(SaveProject(settings, project).ok);
    QVERIFY(QFile::remove(sample.file(QStringLiteral("mail/00043.alm"))));
}

QProcessEnvironment WithoutDisplay(const QString& configFolder)
{
    QProcessEnvironment environment = QProcessEnvironment::systemEnvironment();
    environment.remove(QStringLiteral("DISPLAY"));
    environment.remove(QStringLiteral("WAYLAND_DISPLAY"));
    environment.remove(QStringLiteral("QT_QPA_PLATFORM"));
    environment.insert(QStringLiteral("XDG_CONFIG_HOME"), configFolder);
    return environment;
}

struct Run {
    int status = -1;
    QString errors;
};

Run RunProgram(const QString& program, const QStringList& arguments, const QString& configFolder)
{
    QProcess process;
    process.setProcessEnvironment(WithoutDisplay(configFolder));
    process.start(program, arguments);
    if (!process.waitForFinished(120000)) {
        process.kill();
        process.waitForFinished();
        return {};
    }
    Run run;
    run.status = process.exitStatus() == QProcess::NormalExit ? process.exitCode() : -1;
    run.errors = QString::fromLocal8Bit(process.readAllStandardError());
    return run;
}

// Starts program without a display; the caller waits for it.
void StartProgram(QProcess& process, const QString& program, const QStringList& arguments,
                  const QString& configFolder)
{
    process.setProcessEnvironment(WithoutDisplay(configFolder));
    process.start(program, arguments);
}

std::string LockFileOf(const QString& project)
{
    return QFile::encodeName(ProjectLockPath(project)).toStdString();
}

// The lock file's text with the process id of one that has ended.
QByteArray WithEndedProcess(const QByteArray& text)
{
    const pid_t child = ::fork();
    if (child == 0) {
        ::_exit(0);
    }
    int status = 0;
    ::waitpid(child, &status, 0);
    return QByteArray::number(child) + text.mid(text.indexOf('\n'));
}

void WriteProject(const QString& path, const QByteArray& bytes)
{
    QFile file(path);
    QVERIFY(file.open(QIODevice::WriteOnly));
    file.write(bytes);
}

}  // namespace

class UnattendedRunTest final : public QObject {
    Q_OBJECT

private Q_SLOTS:
    void writesExactlyWhatTheBatchConverterWrites()
    {
        SampleCopy desktop;
        SampleCopy batch;
        QTemporaryDir config;
        QVERIFY(desktop.valid() && batch.valid());
        const Run run = RunProgram(QStringLiteral(POSTLOOM_BINARY),
                                   {desktop.project(), QStringLiteral("auto"), QStringLiteral("exit")}, config.path());
        QCOMPARE(run.status, 0);
        const Run converted = RunProgram(QStringLiteral(BATCH_BINARY), {batch.project()}, config.path());
        QCOMPARE(converted.status, 0);

        const auto written = Files(desktop.folder());
        const auto expected = Files(batch.folder());
        QVERIFY(written.count(QStringLiteral("site/index.html")) == 1);
        QVERIFY(written.size() > 40);
        QCOMPARE(written.size(), expected.size());
        for (const auto& [path, bytes] : expected) {
            QVERIFY2(written.count(path) == 1, qPrintable(path));
            QVERIFY2(written.at(path) == bytes, qPrintable(path));
        }
    }

    void takesDownWhatTheBatchConverterTakesDown()
    {
        SampleCopy desktop;
        SampleCopy batch;
        QTemporaryDir config;
        QVERIFY(desktop.valid() && batch.valid());
        const QStringList unattended = {desktop.project(), QStringLiteral("auto"), QStringLiteral("exit")};
        QCOMPARE(RunProgram(QStringLiteral(POSTLOOM_BINARY), unattended, config.path()).status, 0);
        QCOMPARE(RunProgram(QStringLiteral(BATCH_BINARY), {batch.project()}, config.path()).status, 0);
        QVERIFY(QFile::exists(desktop.file(QStringLiteral("site/pages/00043.html"))));
        TakeDown(desktop);
        TakeDown(batch);

        const Run run = RunProgram(QStringLiteral(POSTLOOM_BINARY), unattended, config.path());
        QCOMPARE(run.status, 0);
        QVERIFY2(run.errors.contains(QStringLiteral("postloom: 2 pages of mails without a page were removed")),
                 qPrintable(run.errors));
        QCOMPARE(RunProgram(QStringLiteral(BATCH_BINARY), {batch.project()}, config.path()).status, 0);
        const auto written = Files(desktop.folder());
        QVERIFY(written.count(QStringLiteral("site/pages/00003.html")) == 0);
        QVERIFY(written.count(QStringLiteral("site/pages/00043.html")) == 0);
        QVERIFY(!QDir(desktop.file(QStringLiteral("site/pages/00043_files"))).exists());
        QVERIFY(written == Files(batch.folder()));
    }

    void withoutADisplayOnlyTheUnattendedRunIsServed()
    {
        SampleCopy sample;
        QTemporaryDir config;
        const Run plain = RunProgram(QStringLiteral(POSTLOOM_BINARY), {sample.project()}, config.path());
        QVERIFY(plain.status > 0);
        QVERIFY(plain.errors.contains(QStringLiteral("display")));
    }

    void withoutADisplayAnEarlyEndFailsTheRun()
    {
        QTemporaryDir dir;
        QVERIFY(QDir(dir.path()).mkdir(QStringLiteral("empty")));
        WriteProject(dir.filePath(QStringLiteral("p.plp")), "PostloomVer=100\nMailExt=*.alm\nTargetPath=empty\n");
        QTemporaryDir config;
        const Run run = RunProgram(QStringLiteral(POSTLOOM_BINARY),
                                   {dir.filePath(QStringLiteral("p.plp")), QStringLiteral("auto"),
                                    QStringLiteral("exit")},
                                   config.path());
        QCOMPARE(run.status, 1);
        QVERIFY(run.errors.contains(QStringLiteral("no mails")));
    }

    void noMailsStopsAfterSortingAndClearsTheMarks()
    {
        QTemporaryDir dir;
        QVERIFY(QDir(dir.path()).mkdir(QStringLiteral("empty")));
        const QString project = dir.filePath(QStringLiteral("p.plp"));
        WriteProject(project, "PostloomVer=100\nMailExt=*.alm\nTargetPath=empty\n");
        // With a display: the program stays open and nothing is asked.
        TestProgram program({project, QStringLiteral("auto"), QStringLiteral("exit")});
        QSignalSpy dropped(&program.app->context().commands(), &CommandDispatcher::dropped);
        QSignalSpy quit(program.app.get(), &CPostloomApp::quitRequested);
        program.app->start();
        QTRY_VERIFY_WITH_TIMEOUT(dropped.size() == 1, kPatience);
        QCOMPARE(dropped.first().first().toInt(), int(ID_THREAD_EXPAND));
        QCOMPARE(program.app->context().marks().autoRun, 0);
        QCOMPARE(program.app->context().marks().exitAfterRun, 0);
        QVERIFY(program.prompts->asked.isEmpty());
        QCOMPARE(quit.size(), 0);
        // The window that stays holds the project as a window: an
        // unattended run goes on beside it instead of waiting.
        const QByteArray lock = test::ReadBytes(ProjectLockPath(project));
        QVERIFY(lock.startsWith(QByteArray::number(QCoreApplication::applicationPid()) + '\n'));
        QVERIFY(!lock.contains(QByteArray(platform::kUnattendedRunMarker.data())));
    }

    void goesOnBesideAWindowAndSaysSo()
    {
        SampleCopy sample;
        QTemporaryDir config;
        QLockFile window(ProjectLockPath(sample.project()));
        QVERIFY(window.tryLock());
        const QByteArray held = test::ReadBytes(ProjectLockPath(sample.project()));
        const Run run = RunProgram(QStringLiteral(POSTLOOM_BINARY),
                                   {sample.project(), QStringLiteral("auto"), QStringLiteral("exit")}, config.path());
        QCOMPARE(run.status, 0);
        QVERIFY2(run.errors.contains(QStringLiteral("postloom: %1 is open in a Postloom window (process %2 on ")
                                         .arg(sample.project())
                                         .arg(QCoreApplication::applicationPid())),
                 qPrintable(run.errors));
        QVERIFY(run.errors.contains(QStringLiteral("the run goes on, and the window asks before it saves")));
        QVERIFY(!run.errors.contains(QStringLiteral("opened anyway")));
        QVERIFY(QFile::exists(sample.file(QStringLiteral("site/index.html"))));
        QVERIFY(window.isLocked());
        QCOMPARE(test::ReadBytes(ProjectLockPath(sample.project())), held);
    }

    void waitsForAnotherUnattendedRun()
    {
        SampleCopy sample;
        QVERIFY(QDir(sample.file(QStringLiteral("site"))).removeRecursively());
        QTemporaryDir config;
        auto first = std::make_unique<platform::RunLock>(
            platform::RunLock::Take(LockFileOf(sample.project()), platform::RunLockWait{}));
        QVERIFY(first->held());
        QProcess second;
        StartProgram(second, QStringLiteral(POSTLOOM_BINARY),
                     {sample.project(), QStringLiteral("auto"), QStringLiteral("exit")}, config.path());
        QVERIFY(second.waitForStarted());
        // Nothing is read or written while the first run holds the project.
        QVERIFY(!second.waitForFinished(1500));
        QVERIFY(!QFile::exists(sample.file(QStringLiteral("site"))));
        first.reset();
        QVERIFY(second.waitForFinished(120000));
        QCOMPARE(second.exitCode(), 0);
        const QString errors = QString::fromLocal8Bit(second.readAllStandardError());
        QVERIFY2(errors.contains(QStringLiteral("postloom: waiting for another unattended run of %1 to end (process %2 on ")
                                     .arg(sample.project())
                                     .arg(QCoreApplication::applicationPid())),
                 qPrintable(errors));
        QVERIFY(QFile::exists(sample.file(QStringLiteral("site/index.html"))));
        QVERIFY(!QFile::exists(ProjectLockPath(sample.project())));
    }

    void qtAndTheCoreReadEachOthersLocks()
    {
        SampleCopy sample;
        const QString lockPath = ProjectLockPath(sample.project());
        {
            // An unattended run's lock is held for a window, and names it.
            TestProgram run({sample.project(), QStringLiteral("auto"), QStringLiteral("exit")}, true);
            QSignalSpy quit(run.app.get(), &CPostloomApp::quitRequested);
            run.app->start();
            QLockFile window(lockPath);
            QVERIFY(!window.tryLock());
            QCOMPARE(window.error(), QLockFile::LockFailedError);
            qint64 pid = 0;
            QVERIFY(window.getLockInfo(&pid, nullptr, nullptr));
            QCOMPARE(pid, QCoreApplication::applicationPid());
            QVERIFY(test::ReadBytes(lockPath).endsWith(QByteArray(platform::kUnattendedRunMarker.data()) + '\n'));
            QTRY_VERIFY_WITH_TIMEOUT(quit.size() == 1, kPatience);
            QCOMPARE(quit.first().first().toInt(), 0);
        }
        QVERIFY(!QFile::exists(lockPath));

        // Left by a run that ended: Qt takes it over, so the machine's
        // lines are the ones Qt writes.
        QByteArray text;
        {
            const platform::RunLock lock = platform::RunLock::Take(LockFileOf(sample.project()), {});
            text = test::ReadBytes(lockPath);
        }
        QVERIFY(test::WriteBytes(lockPath, WithEndedProcess(text)));
        {
            QLockFile window(lockPath);
            window.setStaleLockTime(0);
            QVERIFY(window.tryLock());
            text = test::ReadBytes(lockPath);
        }
        // Left by a window that ended: the core takes it over.
        QVERIFY(test::WriteBytes(lockPath, WithEndedProcess(text)));
        {
            const platform::RunLock lock = platform::RunLock::Take(LockFileOf(sample.project()), {});
            QVERIFY(lock.held());
        }
        QVERIFY(!QFile::exists(lockPath));
    }

    void nothingModifiedMeansNoSave()
    {
        SampleCopy sample;
        {
            TestProgram first({sample.project(), QStringLiteral("auto"), QStringLiteral("exit")}, true);
            QSignalSpy quit(first.app.get(), &CPostloomApp::quitRequested);
            first.app->start();
            QTRY_VERIFY_WITH_TIMEOUT(quit.size() == 1, kPatience);
            QCOMPARE(quit.first().first().toInt(), 0);
            QVERIFY(!first.app->document().isModified());
        }
        QFile project(sample.project());
        QVERIFY(project.open(QIODevice::ReadOnly));
        const QByteArray before = project.readAll();
        project.close();

        TestProgram second({sample.project(), QStringLiteral("auto"), QStringLiteral("exit")}, true);
        QSignalSpy dropped(&second.app->context().commands(), &CommandDispatcher::dropped);
        QSignalSpy quit(second.app.get(), &CPostloomApp::quitRequested);
        second.app->start();
        QTRY_VERIFY_WITH_TIMEOUT(quit.size() == 1, kPatience);
        QCOMPARE(quit.first().first().toInt(), 0);
        QCOMPARE(dropped.size(), 1);
        QCOMPARE(dropped.first().first().toInt(), int(ID_FILE_SAVE));
        QVERIFY(!second.app->gate().failed());
        QVERIFY(project.open(QIODevice::ReadOnly));
        QCOMPARE(project.readAll(), before);
    }

    void aFailedSaveEndsTheUnattendedRunWithoutAQuestion()
    {
        SampleCopy sample;
        TestProgram program({sample.project(), QStringLiteral("auto"), QStringLiteral("exit")});
        QSignalSpy quit(program.app.get(), &CPostloomApp::quitRequested);
        // The project file becomes a folder while the run goes on: the save
        // at its end cannot replace it.
        connect(&program.app->document(), &CPostloomDoc::readingFinished, this, [&] {
            QFile::remove(sample.project());
            QDir().mkdir(sample.project());
        });
        program.app->start();
        QTRY_VERIFY_WITH_TIMEOUT(quit.size() == 1, kPatience);
        QCOMPARE(quit.first().first().toInt(), 1);
        QVERIFY(program.app->gate().failed());
        QVERIFY(program.prompts->asked.isEmpty());
        QVERIFY(program.prompts->errors.isEmpty());
        QVERIFY(program.app->document().isModified());
    }

    void autoWithoutExitStaysOpenAndLaterCommandsDoNotChain()
    {
        SampleCopy sample;
        TestProgram program({sample.project(), QStringLiteral("auto")});
        QSignalSpy quit(program.app.get(), &CPostloomApp::quitRequested);
        CPostloomApp& app = *program.app;
        app.start();
        QTRY_VERIFY_WITH_TIMEOUT(QFile::exists(sample.file(QStringLiteral("site/index.html"))) &&
                                     app.view().chain().mailPagesResult().pagesWritten == 43 &&
                                     !app.view().hasWorkers(),
                                 kPatience);
        QCOMPARE(app.context().marks().autoRun, 0);
        QVERIFY(app.document().isModified());

        app.context().commands().send(ID_THREAD_EXPAND);
        QTRY_VERIFY_WITH_TIMEOUT(app.document().treeBuilt() && !app.view().hasWorkers(), kPatience);
        QCoreApplication::processEvents();
        QVERIFY(!app.view().hasWorkers());
        QCOMPARE(quit.size(), 0);
        QVERIFY(app.document().isModified());
    }
};

}  // namespace postloom

QTEST_MAIN(postloom::UnattendedRunTest)
#include "unattended_run_test.moc"

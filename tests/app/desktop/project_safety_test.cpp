#include "app/command_ids.h"
#include "desktop_test_support.h"

#include <QCoreApplication>
#include <QDir>
#include <QFile>
#include <QLockFile>
#include <QSysInfo>
#include <QTest>

#include <fcntl.h>
#include <sys/stat.h>
#include <sys/wait.h>
#include <unistd.h>

namespace postloom {

using test::kPatience;
using test::SampleCopy;
using test::ReadBytes;
using test::TestProgram;
using test::WriteBytes;

namespace {

const QString kOverwriteQuestion =
    QStringLiteral("Postloom|ﾌﾟﾛｼﾞｪｸﾄﾌｧｲﾙは他のﾌﾟﾛｸﾞﾗﾑで変更されています。上書きしますか?");
const QString kReloadQuestion = QStringLiteral("Postloom|手動で変更した順序とﾍﾟｰｼﾞの設定は失われます。再読込しますか?");

bool ReadingDone(CPostloomApp& app)
{
    return !app.document().busy() && !app.document().locked();
}

bool TreeDone(CPostloomApp& app)
{
    return app.document().treeBuilt() && !app.document().locked();
}

// Opens path in program and waits for the reading to end.
bool OpenAndRead(TestProgram& program, const QString& path)
{
    return program.app->openProject(path) && QTest::qWaitFor([&] { return ReadingDone(*program.app); }, kPatience);
}

bool BuildTree(TestProgram& program)
{
    program.app->context().commands().send(ID_THREAD_EXPAND);
    return QTest::qWaitFor([&] { return TreeDone(*program.app); }, kPatience);
}

// The sample project saved with its mails, as a project that has been
// worked on looks; no copy of the program has it open afterwards.
bool SaveSampleWithMails(const SampleCopy& sample)
{
    TestProgram program;
    program.app->start();
    return OpenAndRead(program, sample.project()) && program.app->document().save();
}

// The process id of a process that has ended.
qint64 EndedProcessId()
{
    const pid_t child = ::fork();
    if (child == 0) {
        ::_exit(0);
    }
    int status = 0;
    ::waitpid(child, &status, 0);
    return child;
}

// Puts the modification time of path an hour back.
bool AgeByAnHour(const QString& path)
{
    struct stat st {};
    const QByteArray native = QFile::encodeName(path);
    if (::stat(native.constData(), &st) != 0) {
        return false;
    }
    const timespec times[2] = {{st.st_atime - 3600, 0}, {st.st_mtime - 3600, 0}};
    return ::utimensat(AT_FDCWD, native.constData(), times, 0) == 0;
}

}  // namespace

class ProjectSafetyTest final : public QObject {
    Q_OBJECT

private Q_SLOTS:
    void lockTellsASecondCopyAndGoesWithTheProject()
    {
        SampleCopy sample;
        QVERIFY(sample.valid());
        const QString lockPath = ProjectLockPath(sample.project());
        TestProgram first;
        first.app->start();
        QVERIFY(OpenAndRead(first, sample.project()));
        QVERIFY(QFile::exists(lockPath));

        // Declined: the second copy keeps what it had.
        TestProgram second;
        second.app->start();
        QVERIFY(!second.app->openProject(sample.project()));
        QCOMPARE(second.prompts->asked.size(), 1);
        const QString shown = QDir::toNativeSeparators(sample.project());
        QVERIFY(second.prompts->asked.first().startsWith(
            QStringLiteral("Postloom|%1 は他の Postloom で開かれています。").arg(shown)));
        QVERIFY(second.prompts->asked.first().contains(QString::number(QCoreApplication::applicationPid())));
        QVERIFY(second.app->document().pathName().isEmpty());

        // Opened anyway: the lock stays the first copy's.
        second.prompts->answers.push_back(Answer::Yes);
        QVERIFY(OpenAndRead(second, sample.project()));
        QCOMPARE(second.app->document().pathName(), sample.project());
        second.app.reset();
        QVERIFY(QFile::exists(lockPath));

        // Opening the same project again in the same copy asks nothing.
        first.prompts->asked.clear();
        QVERIFY(first.app->document().save());
        QVERIFY(OpenAndRead(first, sample.project()));
        QVERIFY(first.prompts->asked.isEmpty());
        QVERIFY(QFile::exists(lockPath));

        // Another project, or none, releases the lock.
        first.app->document().newDocument();
        QVERIFY(!QFile::exists(lockPath));
        QVERIFY(OpenAndRead(first, sample.project()));
        QVERIFY(QFile::exists(lockPath));
        first.app.reset();
        QVERIFY(!QFile::exists(lockPath));
    }

    void declinedAtStartTheEmptyWindowStandsAsideOfTheCopyThatHasTheProject()
    {
        SampleCopy sample;
        TestProgram first;
        first.app->start();
        QVERIFY(OpenAndRead(first, sample.project()));

        TestProgram second({sample.project()});
        second.app->start();
        QCOMPARE(second.prompts->asked.size(), 1);
        QVERIFY(second.app->document().pathName().isEmpty());
        const QPoint offset = second.app->frame().pos() - first.app->frame().pos();
        QVERIFY2(offset.x() > 0 && offset.y() > 0, qPrintable(QStringLiteral("%1,%2").arg(offset.x()).arg(offset.y())));
    }

    void lockOfACrashedCopyIsTakenOverButAnOldLiveOneIsNot()
    {
        SampleCopy sample;
        const QString lockPath = ProjectLockPath(sample.project());
        // What a copy that crashed leaves: its process is gone.
        QVERIFY(WriteBytes(lockPath, QByteArray::number(EndedProcessId()) + "\npostloom\n" +
                                         QSysInfo::machineHostName().toUtf8() + "\n"));
        {
            TestProgram program;
            program.app->start();
            QVERIFY(OpenAndRead(program, sample.project()));
            QVERIFY(program.prompts->asked.isEmpty());
            qint64 owner = 0;
            QVERIFY(QLockFile(lockPath).getLockInfo(&owner, nullptr, nullptr));
            QCOMPARE(owner, QCoreApplication::applicationPid());
        }
        QVERIFY(!QFile::exists(lockPath));

        // A copy that has had the project open for an hour still has it.
        QLockFile holder(lockPath);
        QVERIFY(holder.tryLock());
        QVERIFY(AgeByAnHour(lockPath));
        TestProgram late;
        late.app->start();
        QVERIFY(!late.app->openProject(sample.project()));
        QCOMPARE(late.prompts->asked.size(), 1);
        QVERIFY(holder.isLocked());
        QVERIFY(QFile::exists(lockPath));
    }

    void unattendedRunOpensAProjectOpenInAWindowWithoutAQuestion()
    {
        SampleCopy sample;
        QLockFile holder(ProjectLockPath(sample.project()));
        QVERIFY(holder.tryLock());
        TestProgram program;
        program.app->start();
        program.app->gate().setUnattended(true);
        program.app->document().setUnattendedRun(true);
        QVERIFY(OpenAndRead(program, sample.project()));
        QVERIFY(program.prompts->asked.isEmpty());
        QVERIFY(!program.app->gate().failed());
        QVERIFY(holder.isLocked());
    }

    void withoutAnAnswerAProjectOpenElsewhereIsNotOpened()
    {
        SampleCopy sample;
        QLockFile holder(ProjectLockPath(sample.project()));
        QVERIFY(holder.tryLock());
        TestProgram program;
        program.app->start();
        program.app->gate().setUnattended(true);
        QVERIFY(!program.app->openProject(sample.project()));
        QVERIFY(program.prompts->asked.isEmpty());
        QVERIFY(program.app->gate().failed());
        QVERIFY(program.app->document().pathName().isEmpty());
    }

    void saveAsksBeforeOverwritingAFileChangedOnDisk()
    {
        SampleCopy sample;
        QVERIFY(SaveSampleWithMails(sample));
        TestProgram program;
        program.app->start();
        QVERIFY(OpenAndRead(program, sample.project()));
        CPostloomDoc& document = program.app->document();

        // Unchanged on disk: saved without a question, and again after that.
        document.setModified(true);
        QVERIFY(document.save());
        document.setModified(true);
        QVERIFY(document.save());
        QVERIFY(program.prompts->asked.isEmpty());

        // Another copy saved meanwhile: No (also the default) keeps its file.
        const QByteArray theirs = ReadBytes(sample.project()).replace("Title=", "Title=x");
        QVERIFY(WriteBytes(sample.project(), theirs));
        document.setModified(true);
        QVERIFY(!document.save());
        QCOMPARE(program.prompts->asked, QStringList{kOverwriteQuestion});
        QCOMPARE(ReadBytes(sample.project()), theirs);
        QVERIFY(document.isModified());
        QVERIFY(program.prompts->errors.isEmpty());

        // Yes overwrites; the next save has nothing to ask.
        program.prompts->answers.push_back(Answer::Yes);
        QVERIFY(document.save());
        QVERIFY(ReadBytes(sample.project()) != theirs);
        QVERIFY(!document.isModified());
        document.setModified(true);
        QVERIFY(document.save());
        QCOMPARE(program.prompts->asked.size(), 2);
    }

    void fileReplacedWithTheSameSizeAndTimeCountsAsChanged()
    {
        SampleCopy sample;
        QVERIFY(SaveSampleWithMails(sample));
        TestProgram program;
        program.app->start();
        QVERIFY(OpenAndRead(program, sample.project()));
        // Another program's atomic save: a new file of the same size and
        // time renamed over the old one; only the inode tells.
        struct stat before {};
        QVERIFY(::stat(QFile::encodeName(sample.project()).constData(), &before) == 0);
        const QString replacement = sample.file(QStringLiteral("replacement.plp"));
        QVERIFY(WriteBytes(replacement, ReadBytes(sample.project())));
        const timespec times[2] = {before.st_atim, before.st_mtim};
        QVERIFY(::utimensat(AT_FDCWD, QFile::encodeName(replacement).constData(), times, 0) == 0);
        QVERIFY(::rename(QFile::encodeName(replacement).constData(), QFile::encodeName(sample.project()).constData()) ==
                0);
        program.app->document().setModified(true);
        QVERIFY(!program.app->document().save());
        QCOMPARE(program.prompts->asked, QStringList{kOverwriteQuestion});
    }

    void unattendedSaveKeepsAFileChangedOnDiskAndFails()
    {
        SampleCopy sample;
        QVERIFY(SaveSampleWithMails(sample));
        TestProgram program;
        program.app->start();
        QVERIFY(OpenAndRead(program, sample.project()));
        const QByteArray theirs = ReadBytes(sample.project()).replace("Title=", "Title=y");
        QVERIFY(WriteBytes(sample.project(), theirs));
        program.app->gate().setUnattended(true);
        program.app->document().setModified(true);
        QVERIFY(!program.app->document().save());
        QVERIFY(program.app->gate().failed());
        QVERIFY(program.prompts->asked.isEmpty());
        QCOMPARE(ReadBytes(sample.project()), theirs);
    }

    void reloadAsksOnlyWhenItDropsPageSettingsOrOrder()
    {
        SampleCopy sample;
        TestProgram program;
        program.app->start();
        QVERIFY(OpenAndRead(program, sample.project()));
        QVERIFY(BuildTree(program));
        CPostloomApp& app = *program.app;
        CommandDispatcher& commands = app.context().commands();

        // Nothing changed by hand: read again at once.
        QVERIFY(commands.send(ID_MAIL_RELOAD));
        QVERIFY(program.prompts->asked.isEmpty());
        QVERIFY(QTest::qWaitFor([&] { return ReadingDone(app); }, kPatience));
        QVERIFY(BuildTree(program));

        // A page switched off: No keeps the mails, the tree and the flag.
        const ThreadTree& tree = app.view().treeModel().Tree();
        const TreeItem first = tree.FirstChild(tree.Root());
        app.view().selectItem(first);
        QVERIFY(commands.send(ID_MAILPAGE_OFF));
        QVERIFY(commands.send(ID_MAIL_RELOAD));
        QCOMPARE(program.prompts->asked, QStringList{kReloadQuestion});
        QVERIFY(app.document().treeBuilt());
        QVERIFY(!app.document().busy());
        QCOMPARE(app.document().settings().mailList[tree.ItemData(first)]->outputHtml, 0);

        // Yes reads every mail again, every page on.
        program.prompts->answers.push_back(Answer::Yes);
        QVERIFY(commands.send(ID_MAIL_RELOAD));
        QCOMPARE(program.prompts->asked.size(), 2);
        QVERIFY(QTest::qWaitFor([&] { return ReadingDone(app); }, kPatience));
        for (const auto& mail : app.document().settings().mailList) {
            QCOMPARE(mail->outputHtml, 1);
        }
        QVERIFY(!app.document().holdsHandWork());

        // A mail moved up among the threads.
        QVERIFY(BuildTree(program));
        app.view().selectItem(tree.NextSibling(tree.FirstChild(tree.Root())));
        QVERIFY(commands.send(ID_MAIL_UP));
        QVERIFY(app.document().holdsHandWork());
        QVERIFY(commands.send(ID_MAIL_RELOAD));
        QCOMPARE(program.prompts->asked.size(), 3);
        QVERIFY(program.prompts->asked.last() == kReloadQuestion);
    }

    void reloadAsksAfterADropAlsoOnceSavedAndOpenedAgain()
    {
        SampleCopy sample;
        {
            TestProgram program;
            program.app->start();
            QVERIFY(OpenAndRead(program, sample.project()));
            QVERIFY(BuildTree(program));
            CPostloomApp& app = *program.app;
            const ThreadTree& tree = app.view().treeModel().Tree();
            TreeItem start = tree.FirstChild(tree.Root());
            while (start != kNoItem && !tree.HasChildren(start)) {
                start = tree.NextSibling(start);
            }
            QVERIFY(start != kNoItem);
            QVERIFY(!app.document().holdsHandWork());
            // A reply made a thread of its own.
            QVERIFY(app.view().dropMail(tree.FirstChild(start), tree.Root()));
            QVERIFY(app.document().holdsHandWork());
            QVERIFY(app.document().save());
        }
        TestProgram program;
        program.app->start();
        QVERIFY(OpenAndRead(program, sample.project()));
        QVERIFY(program.app->document().holdsHandWork());
        QVERIFY(program.app->context().commands().send(ID_MAIL_RELOAD));
        QCOMPARE(program.prompts->asked, QStringList{kReloadQuestion});
    }

    void unattendedReloadAsksNothing()
    {
        SampleCopy sample;
        TestProgram program;
        program.app->start();
        QVERIFY(OpenAndRead(program, sample.project()));
        QVERIFY(BuildTree(program));
        CPostloomApp& app = *program.app;
        const ThreadTree& tree = app.view().treeModel().Tree();
        app.view().selectItem(tree.FirstChild(tree.Root()));
        QVERIFY(app.context().commands().send(ID_MAILPAGE_OFF));
        app.gate().setUnattended(true);
        QVERIFY(app.context().commands().send(ID_MAIL_RELOAD));
        QVERIFY(program.prompts->asked.isEmpty());
        QVERIFY(!app.gate().failed());
        QVERIFY(app.document().busy());
        QVERIFY(QTest::qWaitFor([&] { return ReadingDone(app); }, kPatience));
    }

    void openingWithoutNewMailLeavesTheProjectUnmodified()
    {
        SampleCopy sample;
        QVERIFY(SaveSampleWithMails(sample));
        TestProgram program({sample.project()});
        program.app->start();
        QVERIFY(QTest::qWaitFor([&] { return ReadingDone(*program.app); }, kPatience));
        QVERIFY(!program.app->document().isModified());
        QVERIFY(BuildTree(program));
        QVERIFY(!program.app->document().isModified());
        QVERIFY(!program.app->context().commands().isEnabled(ID_FILE_SAVE));

        // One new file in the folder: modified.
        QVERIFY(QFile::copy(sample.file(QStringLiteral("mail/00001.alm")),
                            sample.file(QStringLiteral("mail/99999.alm"))));
        QVERIFY(OpenAndRead(program, sample.project()));
        QVERIFY(program.app->document().isModified());
    }
};

}  // namespace postloom

QTEST_MAIN(postloom::ProjectSafetyTest)
#include "project_safety_test.moc"

#include "app/command_ids.h"
#include "desktop_test_support.h"

#include <QDir>
#include <QFile>
#include <QSignalSpy>
#include <QTest>

#include <cerrno>
#include <cstring>

namespace postloom {

using test::kPatience;
using test::SampleCopy;
using test::ScriptedDesktopPrompts;
using test::ReadBytes;
using test::TestProgram;
using test::WriteBytes;

namespace {

// The sample project cut inside its settings: no mail list, DispLink and
// the settings after it lost.
QByteArray CutSample(const SampleCopy& sample)
{
    const QByteArray whole = ReadBytes(sample.project());
    return whole.left(whole.indexOf("\nDispLink="));
}

bool ReadingDone(CPostloomApp& app)
{
    return !app.document().busy() && !app.document().locked();
}

}  // namespace

class DamagedProjectTest final : public QObject {
    Q_OBJECT

private Q_SLOTS:
    void cutProjectWarnsAndItsFirstSaveKeepsTheOldFile()
    {
        SampleCopy sample;
        QVERIFY(sample.valid());
        const QByteArray cut = CutSample(sample);
        QVERIFY(WriteBytes(sample.project(), cut));
        TestProgram program;
        program.app->start();
        CPostloomApp& app = *program.app;
        QVERIFY(app.openProject(sample.project()));
        const QString shown = QDir::toNativeSeparators(sample.project());
        QCOMPARE(program.prompts->warnings,
                 QStringList{shown + QStringLiteral(" にはﾒｰﾙ一覧がありません。ﾌｧｲﾙが途中で切れている可能性があります。")});
        QVERIFY(program.prompts->errors.isEmpty());
        QVERIFY(app.document().isModified());
        QTRY_VERIFY_WITH_TIMEOUT(ReadingDone(app), kPatience);

        const QString backup = sample.project() + QStringLiteral(".bak");
        QVERIFY(app.document().save());
        QCOMPARE(ReadBytes(backup), cut);
        QVERIFY(ReadBytes(sample.project()).contains("\nMailData\n"));
        QCOMPARE(program.prompts->warnings.size(), 2);
        QCOMPARE(program.prompts->warnings.last(),
                 QStringLiteral("元のﾌｧｲﾙを %1 に残しました。").arg(QDir::toNativeSeparators(backup)));

        // The repaired project is whole: saving it again keeps no copy.
        QVERIFY(WriteBytes(backup, "older"));
        app.document().setModified(true);
        QVERIFY(app.document().save());
        QCOMPARE(ReadBytes(backup), QByteArray("older"));
        QCOMPARE(program.prompts->warnings.size(), 2);
    }

    void brokenMailListWarnsAndSaveAsElsewhereKeepsNoCopy()
    {
        SampleCopy sample;
        QVERIFY(sample.valid());
        QByteArray broken = ReadBytes(sample.project());
        broken.chop(2);
        broken.append("\x05\x00", 2);  // five mails announced, none there
        QVERIFY(WriteBytes(sample.project(), broken));
        TestProgram program;
        program.app->start();
        CPostloomApp& app = *program.app;
        QVERIFY(app.openProject(sample.project()));
        QCOMPARE(program.prompts->warnings,
                 QStringList{QDir::toNativeSeparators(sample.project()) +
                             QStringLiteral(" のﾒｰﾙ一覧が壊れています。読み込めたﾒｰﾙを残しました。")});
        QVERIFY(app.document().isModified());
        QTRY_VERIFY_WITH_TIMEOUT(ReadingDone(app), kPatience);

        const QString other = sample.file(QStringLiteral("other.plp"));
        QVERIFY(app.document().saveDocument(other));
        QVERIFY(!QFile::exists(other + QStringLiteral(".bak")));
        QVERIFY(!QFile::exists(sample.project() + QStringLiteral(".bak")));
        QCOMPARE(ReadBytes(sample.project()), broken);
        QCOMPARE(program.prompts->warnings.size(), 1);
    }

    void refusedFilesSayWhy()
    {
        QTemporaryDir dir;
        QVERIFY(QDir(dir.path()).mkdir(QStringLiteral("folder.plp")));
        QVERIFY(WriteBytes(dir.filePath(QStringLiteral("letter.plp")), "Dear all,\nsee you\n"));
        QVERIFY(QFile::link(dir.filePath(QStringLiteral("b.plp")), dir.filePath(QStringLiteral("a.plp"))));
        QVERIFY(QFile::link(dir.filePath(QStringLiteral("a.plp")), dir.filePath(QStringLiteral("b.plp"))));
        const struct {
            const char* name;
            QString reason;
        } cases[] = {
            {"folder.plp", QStringLiteral("ﾌｫﾙﾀﾞか特殊なﾌｧｲﾙです。")},
            {"letter.plp", QStringLiteral("Postloom ﾌﾟﾛｼﾞｪｸﾄﾌｧｲﾙではありません。")},
            {"a.plp", QStringLiteral("ﾌｧｲﾙを読み込めませんでした。\n") + QString::fromLocal8Bit(std::strerror(ELOOP))},
        };
        TestProgram program;
        program.app->start();
        for (const auto& c : cases) {
            const QString path = dir.filePath(QString::fromLatin1(c.name));
            program.prompts->errors.clear();
            QVERIFY2(!program.app->openProject(path), c.name);
            QCOMPARE(program.prompts->errors,
                     QStringList{QDir::toNativeSeparators(path) + QStringLiteral(" を開けません。\n") + c.reason});
        }
        // A missing file is a new project of that name, nothing to warn of.
        program.prompts->errors.clear();
        QVERIFY(program.app->openProject(dir.filePath(QStringLiteral("new.plp"))));
        QVERIFY(program.prompts->errors.isEmpty());
        QVERIFY(program.prompts->warnings.isEmpty());
        QVERIFY(!program.app->document().isModified());
    }

    void unattendedWarningGoesToStderrWithoutFailingTheRun()
    {
        ScriptedDesktopPrompts interactive;
        UnattendedGate gate(interactive);
        int failures = 0;
        gate.onFailure = [&] { ++failures; };
        gate.showWarning(nullptr, QStringLiteral("shown"));
        QCOMPARE(interactive.warnings, QStringList{QStringLiteral("shown")});
        gate.setUnattended(true);
        gate.showWarning(nullptr, QStringLiteral("printed"));
        QCOMPARE(interactive.warnings.size(), 1);
        QVERIFY(!gate.failed());
        QCOMPARE(failures, 0);
    }

    void unattendedRunSavesTheRepairedProjectOnce()
    {
        SampleCopy sample;
        QVERIFY(sample.valid());
        const QByteArray cut = CutSample(sample);
        QVERIFY(WriteBytes(sample.project(), cut));
        const QString backup = sample.project() + QStringLiteral(".bak");
        {
            TestProgram first({sample.project(), QStringLiteral("auto"), QStringLiteral("exit")}, true);
            QSignalSpy quit(first.app.get(), &CPostloomApp::quitRequested);
            first.app->start();
            QTRY_VERIFY_WITH_TIMEOUT(quit.size() == 1, kPatience);
            // The damage is reported, as postloom-batch reports it: status 1.
            QCOMPARE(quit.first().first().toInt(), 1);
            QVERIFY(!first.app->gate().failed());
            QVERIFY(!first.app->document().isModified());
        }
        QCOMPARE(ReadBytes(backup), cut);
        const QByteArray repaired = ReadBytes(sample.project());
        QVERIFY(repaired.contains("\nMailData\n"));

        QVERIFY(QFile::remove(backup));
        TestProgram second({sample.project(), QStringLiteral("auto"), QStringLiteral("exit")}, true);
        QSignalSpy quit(second.app.get(), &CPostloomApp::quitRequested);
        second.app->start();
        QTRY_VERIFY_WITH_TIMEOUT(quit.size() == 1, kPatience);
        QCOMPARE(quit.first().first().toInt(), 0);
        QVERIFY(!QFile::exists(backup));
        QCOMPARE(ReadBytes(sample.project()), repaired);
    }
};

}  // namespace postloom

QTEST_MAIN(postloom::DamagedProjectTest)
#include "damaged_project_test.moc"

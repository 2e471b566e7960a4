// Where the File page looks for the index and mail page folders, and the
// reasons it gives when one cannot be created.

#include "settings_ui/folder_checks.h"

#include <QDir>
#include <QFile>
#include <QTemporaryDir>
#include <QTest>

#include <sys/stat.h>
#include <unistd.h>

#include <cerrno>
#include <system_error>

namespace postloom::test {

class FolderChecksTest : public QObject {
    Q_OBJECT

private slots:
    void resolvesFolders_data()
    {
        QTest::addColumn<bool>("windows");
        QTest::addColumn<QString>("indexPath");
        QTest::addColumn<QString>("mailPath");
        QTest::addColumn<bool>("toLower");
        QTest::addColumn<QString>("indexFolder");
        QTest::addColumn<QString>("mailFolder");
        QTest::addColumn<bool>("sameDrive");

        // Windows style, project in C:\proj.
        QTest::newRow("win-parent") << true << QStringLiteral("C:\\web\\index.html") << QStringLiteral("..\\mail")
                                    << false << QStringLiteral("C:\\web") << QStringLiteral("C:\\mail") << true;
        QTest::newRow("win-below") << true << QStringLiteral("C:\\web\\index.html") << QStringLiteral("mail")
                                   << false << QStringLiteral("C:\\web") << QStringLiteral("C:\\web\\mail") << true;
        QTest::newRow("win-other-drive") << true << QStringLiteral("C:\\web\\index.html") << QStringLiteral("d:\\mail")
                                         << false << QStringLiteral("C:\\web") << QStringLiteral("d:\\mail") << false;
        QTest::newRow("win-drive-case") << true << QStringLiteral("c:\\web\\index.html")
                                        << QStringLiteral("C:\\mail") << false << QStringLiteral("c:\\web")
                                        << QStringLiteral("C:\\mail") << true;
        QTest::newRow("win-relative-index") << true << QStringLiteral("index.html") << QStringLiteral("m") << false
                                            << QStringLiteral("C:\\proj") << QStringLiteral("C:\\proj\\m") << true;

        // Posix style, project in /proj.
        QTest::newRow("posix-relative") << false << QStringLiteral("site/index.html") << QStringLiteral("../mail")
                                        << false << QStringLiteral("/proj/site") << QStringLiteral("/proj/mail")
                                        << true;
        QTest::newRow("posix-no-index") << false << QString() << QStringLiteral("out") << false
                                        << QStringLiteral("/proj") << QStringLiteral("/proj/out") << true;
        QTest::newRow("posix-no-mail-path") << false << QStringLiteral("/srv/Web/index.html") << QString() << true
                                            << QStringLiteral("/srv/Web") << QStringLiteral("/srv/Web") << true;
        QTest::newRow("posix-lower-relative") << false << QStringLiteral("/srv/Web/index.html")
                                              << QStringLiteral("Mail/Pages") << true << QStringLiteral("/srv/Web")
                                              << QStringLiteral("/srv/Web/mail/pages") << true;
        QTest::newRow("posix-lower-absolute-kept") << false << QStringLiteral("/srv/index.html")
                                                   << QStringLiteral("/Srv/Mail") << true << QStringLiteral("/srv")
                                                   << QStringLiteral("/Srv/Mail") << true;
    }

    void resolvesFolders()
    {
        QFETCH(bool, windows);
        QFETCH(QString, indexPath);
        QFETCH(QString, mailPath);
        QFETCH(bool, toLower);
        QFETCH(QString, indexFolder);
        QFETCH(QString, mailFolder);
        QFETCH(bool, sameDrive);

        const FilePageFolders folders =
            ResolveFilePageFolders(indexPath.toStdString(), mailPath.toStdString(), toLower,
                                   windows ? "C:\\proj" : "/proj", windows ? PathStyle::Windows : PathStyle::Posix);
        QCOMPARE(QString::fromStdString(folders.indexFolder), indexFolder);
        QCOMPARE(QString::fromStdString(folders.mailFolder), mailFolder);
        QCOMPARE(folders.sameDrive, sameDrive);
    }

    void createsEveryMissingFolder()
    {
        QTemporaryDir dir;
        const QString deep = dir.filePath(QStringLiteral("a/b/c"));
        QVERIFY(!CreateFolderGivingReason(deep.toStdString()));
        QVERIFY(QDir(deep).exists());
        QVERIFY(!CreateFolderGivingReason(deep.toStdString()));
    }

    void reasonNamesWhatStandsInTheWay_data()
    {
        QTest::addColumn<QString>("folder");
        QTest::addColumn<int>("error");
        QTest::newRow("file-on-the-way") << QStringLiteral("file/sub/deeper") << ENOTDIR;
        QTest::newRow("file-of-that-name") << QStringLiteral("file") << EEXIST;
    }

    void reasonNamesWhatStandsInTheWay()
    {
        QFETCH(QString, folder);
        QFETCH(int, error);
        QTemporaryDir dir;
        QFile file(dir.filePath(QStringLiteral("file")));
        QVERIFY(file.open(QIODevice::WriteOnly));
        file.close();

        const std::optional<QString> reason = CreateFolderGivingReason(dir.filePath(folder).toStdString());
        QCOMPARE(reason.value_or(QString()), QString::fromLocal8Bit(std::generic_category().message(error)));
    }

    void reasonNamesAFolderThatMayNotBeWritten()
    {
        if (::geteuid() == 0)
            QSKIP("permissions do not bind the superuser");
        QTemporaryDir dir;
        const QString locked = dir.filePath(QStringLiteral("locked"));
        QVERIFY(QDir().mkdir(locked));
        QVERIFY(::chmod(QFile::encodeName(locked).constData(), 0555) == 0);

        const std::optional<QString> reason =
            CreateFolderGivingReason(dir.filePath(QStringLiteral("locked/a/b")).toStdString());
        ::chmod(QFile::encodeName(locked).constData(), 0755);
        QCOMPARE(reason.value_or(QString()), QString::fromLocal8Bit(std::generic_category().message(EACCES)));
    }
};

}  // namespace postloom::test

QTEST_GUILESS_MAIN(postloom::test::FolderChecksTest)
#include "folder_checks_test.moc"

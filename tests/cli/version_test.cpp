// The About box of postloom and postloom-batch --version show one version.

#include "app/desktop/postloom_app.h"

#include <QDialog>
#include <QLabel>
#include <QProcess>
#include <QTest>

#include <memory>

namespace postloom {

class VersionTest final : public QObject {
    Q_OBJECT

private Q_SLOTS:
    void aboutBoxShowsTheVersionThatTheBatchToolPrints()
    {
        QProcess batch;
        batch.start(QStringLiteral(POSTLOOM_BATCH_EXE), {QStringLiteral("--version")});
        QVERIFY(batch.waitForFinished(30000));
        QCOMPARE(batch.exitCode(), 0);
        const QString printed = QString::fromUtf8(batch.readAllStandardOutput());
        const QString prefix = QStringLiteral("postloom-batch ");
        QVERIFY2(printed.startsWith(prefix) && printed.endsWith(QLatin1Char('\n')), qPrintable(printed));
        const QString version = printed.mid(prefix.size()).trimmed();
        QVERIFY(!version.isEmpty());

        const std::unique_ptr<QDialog> box = CreateVersionBox(nullptr);
        QStringList texts;
        for (const QLabel* label : box->findChildren<QLabel*>()) {
            if (!label->text().isEmpty())
                texts.append(label->text());
        }
        QVERIFY2(texts.contains(QStringLiteral("Postloom Version ") + version), qPrintable(texts.join(u'|')));
    }
};

}  // namespace postloom

QTEST_MAIN(postloom::VersionTest)
#include "version_test.moc"

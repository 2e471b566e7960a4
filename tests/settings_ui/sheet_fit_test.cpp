// The property sheet on small screens and with large fonts: every page is
// whole and reachable (scrolled where it does not fit), and OK and ｷｬﾝｾﾙ
// are always in view.

#include "scripted_prompts.h"

#include "settings_ui/project_sheet_pages.h"

#include <QApplication>
#include <QFont>
#include <QPushButton>
#include <QRect>
#include <QScrollArea>
#include <QScrollBar>
#include <QTabWidget>
#include <QTest>

#include <memory>

namespace postloom::test {

namespace {

// What a desktop leaves of a screen: a panel at the top.
constexpr int kPanel = 32;

// The visible widgets of page that are cut: outside the page, or smaller
// than they need to be.
QStringList CutWidgets(QWidget& page)
{
    QStringList cut;
    for (QWidget* const widget : page.findChildren<QWidget*>()) {
        // Qt's own parts of a control (the edit inside a spin box) are
        // placed by the control.
        if (!widget->isVisibleTo(&page) || widget->isWindow() || widget->objectName().startsWith(QLatin1String("qt_")))
            continue;
        const QRect placed(widget->mapTo(&page, QPoint()), widget->size());
        const QSize needed = widget->minimumSizeHint();
        const bool outside = !page.rect().contains(placed);
        const bool squeezed = needed.isValid() && (widget->width() < needed.width() || widget->height() < needed.height());
        if (outside || squeezed)
            cut.append(QStringLiteral("%1 %2 at %3,%4 %5x%6")
                           .arg(QLatin1String(widget->metaObject()->className()), widget->objectName())
                           .arg(placed.x())
                           .arg(placed.y())
                           .arg(placed.width())
                           .arg(placed.height()));
    }
    return cut;
}

// Whether content, inside area, can be scrolled wholly into view.
bool Reachable(const QScrollArea& area)
{
    const QWidget& content = *area.widget();
    const QSize view = area.viewport()->size();
    const int overX = content.width() - view.width();
    const int overY = content.height() - view.height();
    return (overX <= 0 || area.horizontalScrollBar()->maximum() >= overX) &&
           (overY <= 0 || area.verticalScrollBar()->maximum() >= overY);
}

// The application's font, scaled while it lives.
class FontScale {
public:
    explicit FontScale(double scale) : normal_(QApplication::font())
    {
        QFont scaled = normal_;
        scaled.setPointSizeF(normal_.pointSizeF() * scale);
        QApplication::setFont(scaled);
    }
    ~FontScale() { QApplication::setFont(normal_); }
    FontScale(const FontScale&) = delete;
    FontScale& operator=(const FontScale&) = delete;

private:
    const QFont normal_;
};

}  // namespace

class SheetFitTest : public QObject {
    Q_OBJECT

private Q_SLOTS:
    void everyPageIsWholeOnScreen_data()
    {
        QTest::addColumn<QSize>("screen");
        QTest::addColumn<double>("fontScale");
        QTest::newRow("1366x768") << QSize(1366, 768) << 1.0;
        QTest::newRow("1366x768-large-font") << QSize(1366, 768) << 1.5;
        QTest::newRow("1280x720") << QSize(1280, 720) << 1.0;
        QTest::newRow("1280x720-large-font") << QSize(1280, 720) << 1.5;
    }

    void everyPageIsWholeOnScreen()
    {
        QFETCH(QSize, screen);
        QFETCH(double, fontScale);
        const FontScale scaled(fontScale);

        ScriptedPrompts prompts;
        ProjectSettings document;
        const std::unique_ptr<CProjectSheet> sheet = CreateProjectSheet(document, "/", prompts);
        sheet->show();
        const QRect available(0, kPanel, screen.width(), screen.height() - kPanel);
        sheet->fitToScreen(available);
        QApplication::processEvents();

        QVERIFY2(available.contains(sheet->geometry()), qPrintable(QStringLiteral("%1x%2 at %3,%4")
                                                                        .arg(sheet->width())
                                                                        .arg(sheet->height())
                                                                        .arg(sheet->x())
                                                                        .arg(sheet->y())));
        for (int page = 0; page < sheet->tabs()->count(); ++page) {
            sheet->tabs()->setCurrentIndex(page);
            QApplication::processEvents();
            QCOMPARE(sheet->tabs()->currentIndex(), page);
            QWidget& shown = *sheet->tabs()->widget(page);
            const QStringList cut = CutWidgets(shown);
            QVERIFY2(cut.isEmpty(), qPrintable(cut.join(QStringLiteral("; "))));
            QVERIFY(Reachable(*sheet->scrollArea()));
        }
        for (const QPushButton* button : {sheet->okButton(), sheet->cancelButton()}) {
            const QRect placed(button->mapTo(sheet.get(), QPoint()), button->size());
            QVERIFY(sheet->rect().contains(placed));
        }
        QVERIFY(prompts.questions.empty());
    }

    void aSheetThatFitsDoesNotScroll()
    {
        ScriptedPrompts prompts;
        ProjectSettings document;
        const std::unique_ptr<CProjectSheet> sheet = CreateProjectSheet(document, "/", prompts);
        sheet->show();
        sheet->fitToScreen(QRect(0, 0, 2560, 1600));
        QApplication::processEvents();
        QVERIFY(!sheet->scrollArea()->verticalScrollBar()->isVisible());
        QVERIFY(!sheet->scrollArea()->horizontalScrollBar()->isVisible());
        QVERIFY(sheet->scrollArea()->widget()->size().height() >= sheet->tabs()->minimumSizeHint().height());
    }
};

}  // namespace postloom::test

QTEST_MAIN(postloom::test::SheetFitTest)
#include "sheet_fit_test.moc"

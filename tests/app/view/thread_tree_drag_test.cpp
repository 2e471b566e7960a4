#include "app/view/thread_tree_model.h"

#include <QAbstractItemModelTester>
#include <QMimeData>
#include <QTest>

#include <memory>
#include <utility>
#include <vector>

using postloom::kNoItem;
using postloom::kThreadItemMimeType;
using postloom::ThreadTree;
using postloom::ThreadTreeModel;
using postloom::TreeItem;

class ThreadTreeDragTest final : public QObject {
    Q_OBJECT

private Q_SLOTS:
    void onlyMailItemsCanBeDragged()
    {
        ThreadTreeModel model;
        QAbstractItemModelTester tester(&model);
        const TreeItem project = model.InsertProjectItem("P");
        const TreeItem mail = model.Insert("a", 0, 0, project, ThreadTree::Place::Last);
        const QModelIndex projectIndex = model.IndexOf(project);
        const QModelIndex mailIndex = model.IndexOf(mail);

        QVERIFY(!(model.flags(projectIndex) & Qt::ItemIsDragEnabled));
        QVERIFY(model.flags(projectIndex) & Qt::ItemIsDropEnabled);
        QVERIFY(model.flags(mailIndex) & Qt::ItemIsDragEnabled);
        QVERIFY(model.flags(mailIndex) & Qt::ItemIsDropEnabled);
        QVERIFY(model.mimeData({projectIndex}) == nullptr);
        QVERIFY(model.mimeData({mailIndex, projectIndex}) == nullptr);
        const std::unique_ptr<QMimeData> data(model.mimeData({mailIndex}));
        QVERIFY(data != nullptr);
        QCOMPARE(data->formats(), QStringList{kThreadItemMimeType});
    }

    void dropCarriesTheDraggedHandleToTheHandler()
    {
        ThreadTreeModel model;
        QAbstractItemModelTester tester(&model);
        const TreeItem project = model.InsertProjectItem("P");
        const TreeItem a = model.Insert("a", 0, 0, project, ThreadTree::Place::Last);
        const TreeItem b = model.Insert("b", 0, 1, a, ThreadTree::Place::Last);
        const TreeItem c = model.Insert("c", 0, 2, b, ThreadTree::Place::Last);
        const TreeItem d = model.Insert("d", 0, 3, project, ThreadTree::Place::Last);
        std::vector<std::pair<TreeItem, TreeItem>> drops;
        model.SetDropHandler([&](TreeItem dragged, TreeItem target) {
            drops.emplace_back(dragged, target);
            return true;
        });
        const std::unique_ptr<QMimeData> dragB(model.mimeData({model.IndexOf(b)}));
        const auto canDrop = [&](TreeItem target) {
            return model.canDropMimeData(dragB.get(), Qt::MoveAction, -1, -1, model.IndexOf(target));
        };

        QVERIFY(canDrop(d));
        QVERIFY(canDrop(project));
        // The parent still takes the drop (the handler finds nothing to change there).
        QVERIFY(canDrop(a));
        QVERIFY(!canDrop(b));
        QVERIFY(!canDrop(c));
        QVERIFY(!model.canDropMimeData(dragB.get(), Qt::MoveAction, -1, -1, QModelIndex()));
        QVERIFY(!model.canDropMimeData(dragB.get(), Qt::CopyAction, -1, -1, model.IndexOf(d)));
        QVERIFY(!model.canDropMimeData(dragB.get(), Qt::MoveAction, 0, 0, model.IndexOf(d)));
        QVERIFY(!model.dropMimeData(dragB.get(), Qt::MoveAction, -1, -1, model.IndexOf(c)));
        QVERIFY(drops.empty());

        QVERIFY(model.dropMimeData(dragB.get(), Qt::MoveAction, -1, -1, model.IndexOf(d)));
        QCOMPARE(drops.size(), std::size_t{1});
        QCOMPARE(drops.front().first, b);
        QCOMPARE(drops.front().second, d);
    }

    void damagedOrStaleDragDataDropsNothing()
    {
        ThreadTreeModel model;
        const TreeItem project = model.InsertProjectItem("P");
        const TreeItem a = model.Insert("a", 0, 0, project, ThreadTree::Place::Last);
        const TreeItem b = model.Insert("b", 0, 1, project, ThreadTree::Place::Last);
        bool called = false;
        model.SetDropHandler([&](TreeItem, TreeItem) { return called = true; });

        QMimeData truncated;
        truncated.setData(kThreadItemMimeType, QByteArray("\x01", 1));
        QVERIFY(!model.dropMimeData(&truncated, Qt::MoveAction, -1, -1, model.IndexOf(b)));
        QMimeData otherFormat;
        otherFormat.setText(QStringLiteral("a"));
        QVERIFY(!model.dropMimeData(&otherFormat, Qt::MoveAction, -1, -1, model.IndexOf(b)));

        const std::unique_ptr<QMimeData> dragA(model.mimeData({model.IndexOf(a)}));
        model.Delete(a);
        QVERIFY(!model.dropMimeData(dragA.get(), Qt::MoveAction, -1, -1, model.IndexOf(b)));
        QVERIFY(!called);
    }
};

QTEST_MAIN(ThreadTreeDragTest)
#include "thread_tree_drag_test.moc"

#pragma once

// The changes of the thread tree made by hand, as commands of the project's
// undo stack: moving a mail up or down, placing it under another item (a
// drop, or a cut and paste) and switching pages on or off. Each command
// keeps, as plain values, what it needs to carry the change out again and
// to take it back exactly: mails are named by their index in the list,
// never by their tree items, which a move re-creates. The stack holds the
// changes in order, so each command finds the tree and the mails as it
// left them.

#include "app/desktop/mail_moves.h"

#include <QString>
#include <QUndoCommand>

#include <memory>
#include <vector>

namespace postloom {

// The view's side of the commands: the tree and the mails that they
// change, and what follows a change in the view.
class TreeEditHost {
public:
    virtual ThreadTreeModel& editedModel() = 0;
    virtual MailList& editedMails() = 0;
    // The items at and below item that are expanded, taken before a change
    // re-creates them.
    virtual std::vector<TreeItem> expandedBelow(TreeItem item) const = 0;
    // After a move or a placement: keep open what was open, select and
    // show the mail.
    virtual void treeChanged(const TreeChange& change, const std::vector<TreeItem>& expanded) = 0;
    // After a page switch: select and show the mail.
    virtual void pagesChanged(TreeItem item) = 0;

protected:
    ~TreeEditHost() = default;
};

// The undo texts, as the 編集 menu names the change.
inline const QString kUndoMoveUp = QStringLiteral("上へ移動");
inline const QString kUndoMoveDown = QStringLiteral("下へ移動");
inline const QString kUndoDrop = QStringLiteral("ﾄﾞﾛｯﾌﾟ");
inline const QString kUndoPaste = QStringLiteral("貼り付け");
inline const QString kUndoPageOn = QStringLiteral("ﾒｰﾙHTMLを出力する");
inline const QString kUndoPageOff = QStringLiteral("ﾒｰﾙHTMLを出力しない");

enum class MoveDirection { Up, Down };

// Each returns null where the change is not possible (the same checks as
// CanMoveUp, DropChanges, ...); otherwise pushing the command carries the
// change out.
std::unique_ptr<QUndoCommand> MakeMoveCommand(TreeEditHost& host, TreeItem selected, MoveDirection direction);
// text names the change: kUndoDrop or kUndoPaste.
std::unique_ptr<QUndoCommand> MakePlaceCommand(TreeEditHost& host, TreeItem dragged, TreeItem target,
                                               const QString& text);
std::unique_ptr<QUndoCommand> MakePageCommand(TreeEditHost& host, TreeItem selected, bool on);

}  // namespace postloom

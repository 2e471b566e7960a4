#include "app/command_ids.h"

#include <algorithm>
#include <array>

namespace postloom {
namespace {

using enum CommandKind;

constexpr std::array kCommands{
    CommandInfo{ID_PROJECT_PROPERTY, "ID_PROJECT_PROPERTY", Command},
    CommandInfo{ID_THREAD_EXPAND, "ID_THREAD_EXPAND", Command},
    CommandInfo{ID_UPDATE_TREEITEM, "ID_UPDATE_TREEITEM", Notice},
    CommandInfo{ID_UPDATE_GRAPHIC, "ID_UPDATE_GRAPHIC", Notice},
    CommandInfo{ID_UPDATE_INDEX, "ID_UPDATE_INDEX", Notice},
    CommandInfo{ID_UPDATE_HTML, "ID_UPDATE_HTML", Notice},
    CommandInfo{ID_HTML_CREATE, "ID_HTML_CREATE", Command},
    CommandInfo{ID_DISP_PROGRESS, "ID_DISP_PROGRESS", Message},
    CommandInfo{ID_UPDATE_PROGRESS, "ID_UPDATE_PROGRESS", Message},
    CommandInfo{ID_UPDATE_MAILCOUNT, "ID_UPDATE_MAILCOUNT", Reserved},
    CommandInfo{ID_MAIL_INFO, "ID_MAIL_INFO", Command},
    CommandInfo{ID_MAIL_OPEN, "ID_MAIL_OPEN", Command},
    CommandInfo{ID_INDEX_OPEN, "ID_INDEX_OPEN", Command},
    CommandInfo{ID_GRAPHIC_COPY, "ID_GRAPHIC_COPY", Command},
    CommandInfo{ID_INDEX_CREATE, "ID_INDEX_CREATE", Command},
    CommandInfo{ID_MAILPAGE_CREATE, "ID_MAILPAGE_CREATE", Command},
    CommandInfo{ID_MAIL_READ_FIN, "ID_MAIL_READ_FIN", Notice},
    CommandInfo{ID_MAIL_SORT_FIN, "ID_MAIL_SORT_FIN", Notice},
    CommandInfo{ID_MAIL_RELOAD, "ID_MAIL_RELOAD", Command},
    CommandInfo{ID_MAIL_UP, "ID_MAIL_UP", Command},
    CommandInfo{ID_MAIL_DOWN, "ID_MAIL_DOWN", Command},
    CommandInfo{ID_NEXT_INFO, "ID_NEXT_INFO", Message},
    CommandInfo{ID_PREV_INFO, "ID_PREV_INFO", Message},
    CommandInfo{ID_PARENT_INFO, "ID_PARENT_INFO", Message},
    CommandInfo{ID_CHILD_INFO, "ID_CHILD_INFO", Message},
    CommandInfo{ID_ABORT_PROCESS, "ID_ABORT_PROCESS", Reserved},
    CommandInfo{ID_MAILBAR, "ID_MAILBAR", Reserved},
    CommandInfo{ID_HTMLBAR, "ID_HTMLBAR", Reserved},
    CommandInfo{ID_VIEW_PROJECTBAR, "ID_VIEW_PROJECTBAR", Command},
    CommandInfo{ID_VIEW_MAILBAR, "ID_VIEW_MAILBAR", Command},
    CommandInfo{ID_VIEW_HTMLBAR, "ID_VIEW_HTMLBAR", Command},
    CommandInfo{ID_HTML_DELETE_ALL, "ID_HTML_DELETE_ALL", Command},
    CommandInfo{ID_MAILPAGE_ON, "ID_MAILPAGE_ON", Command},
    CommandInfo{ID_MAILPAGE_OFF, "ID_MAILPAGE_OFF", Command},
    CommandInfo{ID_POSTLOOM_CHECK, "ID_POSTLOOM_CHECK", Message},
    CommandInfo{ID_FILE_IMPORT, "ID_FILE_IMPORT", Command},
    CommandInfo{ID_FILE_IMPORT_FOLDER, "ID_FILE_IMPORT_FOLDER", Command},
    CommandInfo{ID_IMPORT_FIN, "ID_IMPORT_FIN", Notice},
    CommandInfo{ID_FILE_NEW_FROM_FOLDER, "ID_FILE_NEW_FROM_FOLDER", Command},
    CommandInfo{ID_HELP_GETTING_STARTED, "ID_HELP_GETTING_STARTED", Command},
    CommandInfo{ID_FILE_NEW, "ID_FILE_NEW", Command},
    CommandInfo{ID_FILE_OPEN, "ID_FILE_OPEN", Command},
    CommandInfo{ID_FILE_SAVE, "ID_FILE_SAVE", Command},
    CommandInfo{ID_FILE_SAVE_AS, "ID_FILE_SAVE_AS", Command},
    CommandInfo{ID_FILE_MRU_FILE1, "ID_FILE_MRU_FILE1", Command},
    CommandInfo{ID_EDIT_CUT, "ID_EDIT_CUT", Command},
    CommandInfo{ID_EDIT_PASTE, "ID_EDIT_PASTE", Command},
    CommandInfo{ID_EDIT_UNDO, "ID_EDIT_UNDO", Command},
    CommandInfo{ID_EDIT_REDO, "ID_EDIT_REDO", Command},
    CommandInfo{ID_APP_ABOUT, "ID_APP_ABOUT", Command},
    CommandInfo{ID_APP_EXIT, "ID_APP_EXIT", Command},
    CommandInfo{ID_HELP_FINDER, "ID_HELP_FINDER", Command},
    CommandInfo{ID_VIEW_STATUS_BAR, "ID_VIEW_STATUS_BAR", Command},
};

static_assert(std::ranges::is_sorted(kCommands, {}, &CommandInfo::id), "FindCommand(int) searches by bisection");

}  // namespace

std::span<const CommandInfo> CommandTable()
{
    return kCommands;
}

const CommandInfo* FindCommand(int id)
{
    const auto* const it = std::ranges::lower_bound(kCommands, id, {}, &CommandInfo::id);
    return it != kCommands.end() && it->id == id ? it : nullptr;
}

const CommandInfo* FindCommand(std::string_view name)
{
    const auto* const it = std::ranges::find(kCommands, name, &CommandInfo::name);
    return it != kCommands.end() ? it : nullptr;
}

}  // namespace postloom

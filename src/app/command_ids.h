#pragma once

// The ids of every command and message of the program, with their names and
// kinds. The numbers are fixed: they are the ids the menus, the tool bars and
// the workers agree on.

#include <span>
#include <string_view>

namespace postloom {

enum CommandId : int {
    // Framework commands.
    ID_FILE_NEW = 57600,
    ID_FILE_OPEN = 57601,
    ID_FILE_SAVE = 57603,
    ID_FILE_SAVE_AS = 57604,
    ID_FILE_MRU_FILE1 = 57616,
    ID_EDIT_CUT = 57635,
    ID_EDIT_PASTE = 57637,
    ID_EDIT_UNDO = 57643,
    ID_EDIT_REDO = 57644,
    ID_APP_ABOUT = 57664,
    ID_APP_EXIT = 57665,
    ID_HELP_FINDER = 57667,
    ID_VIEW_STATUS_BAR = 59393,

    // The program's own ids.
    ID_PROJECT_PROPERTY = 32772,
    ID_THREAD_EXPAND = 32773,
    ID_UPDATE_TREEITEM = 32774,
    ID_UPDATE_GRAPHIC = 32775,
    ID_UPDATE_INDEX = 32776,
    ID_UPDATE_HTML = 32777,
    ID_HTML_CREATE = 32778,
    ID_DISP_PROGRESS = 32779,
    ID_UPDATE_PROGRESS = 32780,
    ID_UPDATE_MAILCOUNT = 32781,
    ID_MAIL_INFO = 32782,
    ID_MAIL_OPEN = 32783,
    ID_INDEX_OPEN = 32784,
    ID_GRAPHIC_COPY = 32785,
    ID_INDEX_CREATE = 32786,
    ID_MAILPAGE_CREATE = 32787,
    ID_MAIL_READ_FIN = 32788,
    ID_MAIL_SORT_FIN = 32789,
    ID_MAIL_RELOAD = 32790,
    ID_MAIL_UP = 32792,
    ID_MAIL_DOWN = 32793,
    ID_NEXT_INFO = 32794,
    ID_PREV_INFO = 32795,
    ID_PARENT_INFO = 32796,
    ID_CHILD_INFO = 32797,
    ID_ABORT_PROCESS = 32798,
    ID_MAILBAR = 32800,
    ID_HTMLBAR = 32801,
    ID_VIEW_PROJECTBAR = 32802,
    ID_VIEW_MAILBAR = 32803,
    ID_VIEW_HTMLBAR = 32804,
    ID_HTML_DELETE_ALL = 32808,
    ID_MAILPAGE_ON = 32811,
    ID_MAILPAGE_OFF = 32813,
    ID_POSTLOOM_CHECK = 32815,
    ID_FILE_IMPORT = 32816,
    ID_FILE_IMPORT_FOLDER = 32817,
    ID_IMPORT_FIN = 32818,
    ID_FILE_NEW_FROM_FOLDER = 32819,
    ID_HELP_GETTING_STARTED = 32820,
};

enum class CommandKind {
    // A command of a menu entry or a tool bar button: passes its enable
    // rule before it runs, also when the program sends or posts it itself.
    Command,
    // A worker's completion notice: a command without an enable rule.
    Notice,
    // A message handled directly by the window that receives it.
    Message,
    // A reserved id that nothing sends.
    Reserved,
};

struct CommandInfo {
    int id;
    std::string_view name;
    CommandKind kind;
};

// Every id above, ordered by number.
std::span<const CommandInfo> CommandTable();

// The entry of id or name; nullptr when there is none.
const CommandInfo* FindCommand(int id);
const CommandInfo* FindCommand(std::string_view name);

}  // namespace postloom

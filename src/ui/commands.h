// Command ids of the main window's menus, toolbar, accelerators and the grid's
// context menus, and the small interface through which the frame routes them.
// Every QAction of the program carries one of these ids; the frame asks the
// handlers in turn (active view, document, application). UI thread only.
#pragma once

namespace lorvex {

enum CommandId : int {
    ID_SORT_NAME = 32771,
    ID_SORT_HITS = 32772,
    ID_SORT_SIZE = 32773,
    ID_SORT_DATE = 32774,
    ID_SORT_STAR = 32775,
    ID_SORT_TYPE = 32776,
    ID_SORT_FORWARD = 32777,
    ID_SORT_REVERSE = 32778,
    ID_EDIT_DELETE = 32784,
    ID_EDIT_COPY_TO = 32785,
    ID_PREVIOUS = 32786,
    ID_NEXT = 32787,
    ID_ZOOM_LESS = 32788,
    ID_ZOOM_MORE = 32789,
    ID_ZOOM_FULL = 32790,
    ID_ZOOM_FIT_IMAGE = 32791,
    ID_ZOOM_FIT_WIDTH = 32792,
    ID_ZOOM_FIT_HEIGHT = 32793,
    ID_ZOOM_LOCK = 32794,
    ID_CREATE_CLASS = 32798,
    ID_CREATE_ALBUM = 32799,
    ID_EDIT_MODE = 32802,
    ID_SET_STAR_1 = 32805,
    ID_SET_STAR_5 = 32809,
    ID_CLEAR_HITS = 32810,
    ID_HELP_CONTENTS = 32816,
    ID_HELP_UPDATE = 32817,
    ID_HELP_SUPPORT = 32818,
    ID_ADD_TO_DB_FIRST = 33000,
    ID_ADD_TO_DB_LAST = 33015,
    ID_ADD_TO_DB_PLACEHOLDER = 33016,
    ID_FILTER = 33100,  // "&Filter" of the grid's sort menu; no handler yet
    ID_APP_ABOUT = 57664,
    ID_APP_EXIT = 57665,
    ID_VIEW_TOOLBAR = 59392,
    ID_VIEW_STATUS_BAR = 59393,
};

// Enable and check state of one command, as its update function reports it.
struct CommandState {
    bool enabled = false;
    bool checked = false;
    bool checkable = false;
};

// One link of the routing chain. handles() says whether this target owns
// the command at all; only then are state() and run() asked.
class CommandTarget {
  public:
    virtual ~CommandTarget() = default;
    virtual bool handlesCommand(int id) const = 0;
    virtual CommandState commandState(int id) const = 0;
    virtual void runCommand(int id) = 0;
};

}  // namespace lorvex

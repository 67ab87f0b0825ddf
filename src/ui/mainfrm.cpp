#include "ui/mainfrm.h"

#include <QApplication>
#include <QEvent>
#include <QLabel>
#include <QMenu>
#include <QMenuBar>
#include <QStackedWidget>
#include <QStatusBar>
#include <QToolBar>

#include "ui/dockpagebar.h"
#include "ui/icons.h"

namespace lorvex {
namespace {

struct MenuEntry {
    int id;  // 0: separator
    const char* text;
};

// Texts of the menus, exactly as the user sees them.
constexpr MenuEntry kSortEntries[] = {
    {ID_SORT_NAME, "By &Name"},
    {ID_SORT_SIZE, "By &Size"},
    {ID_SORT_DATE, "By &Date"},
    {ID_SORT_STAR, "By S&tar"},
    {ID_SORT_HITS, "By &Hit Freq"},
    {ID_SORT_TYPE, "By &Type"},
    {0, nullptr},
    {ID_SORT_FORWARD, "&Forward"},
    {ID_SORT_REVERSE, "&Reverse"},
};

constexpr MenuEntry kZoomEntries[] = {
    {ID_ZOOM_MORE, "More            NumPad +"},
    {ID_ZOOM_LESS, "Less            NumPad -"},
    {0, nullptr},
    {ID_ZOOM_FULL, "Full Size       NumPad /"},
    {ID_ZOOM_FIT_IMAGE, "Fit Image       NumPad *"},
    {ID_ZOOM_FIT_WIDTH, "Fit Width       Alt + RightArrow"},
    {ID_ZOOM_FIT_HEIGHT, "Fit Height      Alt + DownArrow"},
    {0, nullptr},
    {ID_ZOOM_LOCK, "Lock            Ctrl + NumPad /"},
};

constexpr MenuEntry kHelpEntries[] = {
    {ID_HELP_CONTENTS, "Contents        F1"},
    {0, nullptr},
    {ID_HELP_UPDATE, "Check For Update"},
    {ID_HELP_SUPPORT, "Support"},
    {0, nullptr},
    {ID_APP_ABOUT, "About Lorvex"},
};

// Toolbar, left to right; 0 is a separator.
constexpr MenuEntry kToolbarEntries[] = {
    {ID_PREVIOUS, "Previous"},
    {ID_NEXT, "Next"},
    {0, nullptr},
    {ID_ZOOM_LESS, "Less"},
    {ID_ZOOM_MORE, "More"},
    {ID_ZOOM_FULL, "Full Size"},
    {ID_ZOOM_FIT_IMAGE, "Fit Image"},
    {ID_ZOOM_FIT_WIDTH, "Fit Width"},
    {ID_ZOOM_FIT_HEIGHT, "Fit Height"},
    {ID_ZOOM_LOCK, "Lock"},
    {0, nullptr},
    {ID_EDIT_MODE, "S/F"},
    {0, nullptr},
    {ID_EDIT_DELETE, "Delete"},
    {ID_EDIT_COPY_TO, "Copy To"},
};

struct Accelerator {
    QKeyCombination keys;
    int id;
};

const Accelerator kAccelerators[] = {
    {QKeyCombination(Qt::Key_Delete), ID_EDIT_DELETE},
    {QKeyCombination(Qt::AltModifier, Qt::Key_C), ID_EDIT_COPY_TO},
    {QKeyCombination(Qt::KeypadModifier, Qt::Key_Plus), ID_ZOOM_MORE},
    {QKeyCombination(Qt::KeypadModifier, Qt::Key_Minus), ID_ZOOM_LESS},
    {QKeyCombination(Qt::KeypadModifier, Qt::Key_Slash), ID_ZOOM_FULL},
    {QKeyCombination(Qt::KeypadModifier, Qt::Key_Asterisk), ID_ZOOM_FIT_IMAGE},
    {QKeyCombination(Qt::AltModifier, Qt::Key_Right), ID_ZOOM_FIT_WIDTH},
    {QKeyCombination(Qt::AltModifier, Qt::Key_Down), ID_ZOOM_FIT_HEIGHT},
    {QKeyCombination(Qt::Key_F1), ID_HELP_CONTENTS},
};

QString promptOf(int id) {
    switch (id) {
        case ID_EDIT_DELETE:
            return QStringLiteral("delete select files or items");
        case ID_ZOOM_LESS:
            return QStringLiteral("Zoom Out");
        case ID_ZOOM_MORE:
            return QStringLiteral("Zoom In");
        default:
            return QString();
    }
}

// Commands the frame's framework layer carries out itself.
bool isFrameworkCommand(int id) {
    return id == ID_APP_EXIT || id == ID_VIEW_TOOLBAR || id == ID_VIEW_STATUS_BAR;
}

// Pane widths in characters; pane 0 takes the rest of the bar.
constexpr int kPaneChars[CMainFrame::kStatusPaneCount] = {0, 1, 11, 42, 11};

}  // namespace

CMainFrame::CMainFrame(QWidget* parent) : QMainWindow(parent) {
    setObjectName(QStringLiteral("CMainFrame"));
    setDockNestingEnabled(true);
    buildToolBar();
    buildStatusBar();

    sourceBar_ = new CDockPageBar(kLeftBarId, QSize(200, 300), this);
    sourceBar_->setAllowedAreas(Qt::AllDockWidgetAreas);
    addDockWidget(Qt::LeftDockWidgetArea, sourceBar_);
    filterBar_ = new CDockPageBar(kBottomBarId, QSize(300, 250), this);
    filterBar_->setAllowedAreas(Qt::AllDockWidgetAreas);
    addDockWidget(Qt::BottomDockWidgetArea, filterBar_);

    mainArea_ = new QStackedWidget(this);
    setCentralWidget(mainArea_);
    buildMenus();
    buildAccelerators();
    setDocumentTitle(QString());
}

QAction* CMainFrame::makeAction(int id, const QString& text, QObject* owner) {
    auto* action = new QAction(text, owner);
    action->setData(id);
    action->setStatusTip(promptOf(id));
    connect(action, &QAction::triggered, this, [this, id] { runCommand(id); });
    actions_.emplace(id, action);
    return action;
}

void CMainFrame::buildToolBar() {
    toolBar_ = new QToolBar(QStringLiteral("Toolbar"), this);
    toolBar_->setObjectName(QStringLiteral("ToolBar128"));
    toolBar_->setIconSize(QSize(16, 16));
    toolBar_->setMovable(true);
    toolBar_->setAllowedAreas(Qt::AllToolBarAreas);
    for (const MenuEntry& entry : kToolbarEntries) {
        if (entry.id == 0) {
            toolBar_->addSeparator();
            continue;
        }
        QAction* action = makeAction(entry.id, QString::fromLatin1(entry.text), toolBar_);
        action->setIcon(commandIcon(entry.id));
        action->setToolTip(QString::fromLatin1(entry.text));
        toolBar_->addAction(action);
        toolbarActions_[entry.id] = action;
    }
    addToolBar(Qt::TopToolBarArea, toolBar_);
}

void CMainFrame::buildStatusBar() {
    QStatusBar* bar = statusBar();
    const int charWidth = bar->fontMetrics().averageCharWidth();
    for (int pane = 0; pane < kStatusPaneCount; ++pane) {
        auto* label = new QLabel(bar);
        label->setObjectName(QStringLiteral("StatusPane%1").arg(pane));
        panes_[pane] = label;
        if (pane == 0) {
            label->setText(QStringLiteral("Ready"));
            bar->addWidget(label, 1);
        } else {
            label->setMinimumWidth(charWidth * kPaneChars[pane] + 6);
            label->setFrameShape(QFrame::StyledPanel);
            bar->addPermanentWidget(label);
        }
    }
}

QMenu* CMainFrame::buildSortMenu(QWidget* parent) {
    auto* sort = new QMenu(QStringLiteral("Sort"), parent);
    for (const MenuEntry& entry : kSortEntries) {
        if (entry.id == 0) {
            sort->addSeparator();
            continue;
        }
        sort->addAction(makeAction(entry.id, QString::fromLatin1(entry.text), sort));
    }
    return sort;
}

void CMainFrame::buildMenus() {
    QMenuBar* bar = menuBar();
    auto add = [&](QMenu* menu, int id, const char* text) {
        QAction* action = makeAction(id, QString::fromLatin1(text), menu);
        menu->addAction(action);
        menuActions_[id] = action;
    };
    auto addAll = [&](QMenu* menu, const auto& entries) {
        for (const MenuEntry& entry : entries) {
            if (entry.id == 0) {
                menu->addSeparator();
            } else {
                add(menu, entry.id, entry.text);
            }
        }
    };

    QMenu* file = bar->addMenu(QStringLiteral("&File"));
    file->addSeparator();
    add(file, ID_APP_EXIT, "E&xit");

    QMenu* edit = bar->addMenu(QStringLiteral("&Edit"));
    add(edit, ID_EDIT_DELETE, "&Delete       DEL");
    add(edit, ID_EDIT_COPY_TO, "&Copy to      Alt + C");

    QMenu* view = bar->addMenu(QStringLiteral("&View"));
    add(view, ID_VIEW_TOOLBAR, "&Toolbar");
    add(view, ID_VIEW_STATUS_BAR, "&Status Bar");
    view->addSeparator();
    QMenu* sort = buildSortMenu(view);
    for (QAction* action : sort->actions()) {
        if (!action->isSeparator()) menuActions_[action->data().toInt()] = action;
    }
    view->addMenu(sort);
    view->addSeparator();
    add(view, ID_EDIT_MODE, "S/F");

    addAll(bar->addMenu(QStringLiteral("Zoom")), kZoomEntries);
    addAll(bar->addMenu(QStringLiteral("&Help")), kHelpEntries);

    for (QMenu* menu : bar->findChildren<QMenu*>()) {
        connect(menu, &QMenu::aboutToShow, this, &CMainFrame::refreshCommandStates);
    }
}

void CMainFrame::buildAccelerators() {
    for (const Accelerator& accel : kAccelerators) {
        QAction* action = makeAction(accel.id, QString(), this);
        action->setShortcut(QKeySequence(accel.keys));
        action->setShortcutContext(Qt::WindowShortcut);
        addAction(action);
    }
}

void CMainFrame::addSourcePage(const QString& title, QWidget* page) {
    sourceBar_->addPage(title, pageIcon(title), page);
}

void CMainFrame::addFilterPage(const QString& title, QWidget* page) {
    filterBar_->addPage(title, pageIcon(title), page);
}

void CMainFrame::setViews(QWidget* thumbnails, QWidget* picture) {
    mainArea_->addWidget(thumbnails);
    mainArea_->addWidget(picture);
    mainArea_->setCurrentWidget(thumbnails);
}

void CMainFrame::showView(QWidget* view) {
    mainArea_->setCurrentWidget(view);
    view->setFocus();
}

QWidget* CMainFrame::activeView() const {
    return mainArea_->currentWidget();
}

void CMainFrame::addCommandTarget(CommandTarget* target) {
    targets_.push_back(target);
}

void CMainFrame::runCommand(int id) {
    if (!commandState(id).enabled) return;
    if (id == ID_APP_EXIT) {
        close();
    } else if (id == ID_VIEW_TOOLBAR) {
        toolBar_->setVisible(!toolBar_->isVisible());
    } else if (id == ID_VIEW_STATUS_BAR) {
        statusBar()->setVisible(!statusBar()->isVisible());
    } else {
        for (CommandTarget* target : targets_) {
            if (target->handlesCommand(id)) {
                target->runCommand(id);
                break;
            }
        }
    }
    refreshCommandStates();
}

CommandState CMainFrame::commandState(int id) const {
    if (isFrameworkCommand(id)) {
        CommandState state{true, false, id != ID_APP_EXIT};
        if (id == ID_VIEW_TOOLBAR) state.checked = !toolBar_->isHidden();
        if (id == ID_VIEW_STATUS_BAR) state.checked = !statusBar()->isHidden();
        return state;
    }
    for (CommandTarget* target : targets_) {
        if (target->handlesCommand(id)) return target->commandState(id);
    }
    return CommandState{};  // no handler: shown disabled
}

void CMainFrame::refreshCommandStates() {
    int lastId = -1;
    CommandState state;
    for (const auto& [id, action] : actions_) {
        if (id != lastId) {
            state = commandState(id);
            lastId = id;
        }
        action->setEnabled(state.enabled);
        action->setCheckable(state.checkable);
        if (state.checkable) action->setChecked(state.checked);
    }
}

std::vector<QAction*> CMainFrame::actionsFor(int id) const {
    std::vector<QAction*> result;
    auto [first, last] = actions_.equal_range(id);
    for (auto it = first; it != last; ++it) result.push_back(it->second);
    return result;
}

QAction* CMainFrame::menuAction(int id) const {
    auto it = menuActions_.find(id);
    return it == menuActions_.end() ? nullptr : it->second;
}

QAction* CMainFrame::toolbarAction(int id) const {
    auto it = toolbarActions_.find(id);
    return it == toolbarActions_.end() ? nullptr : it->second;
}

void CMainFrame::setStatusText(int pane, const QString& text) {
    if (pane < 0 || pane >= kStatusPaneCount) return;
    panes_[pane]->setText(pane == 0 && text.isEmpty() ? QStringLiteral("Ready") : text);
}

QString CMainFrame::statusText(int pane) const {
    return pane >= 0 && pane < kStatusPaneCount ? panes_[pane]->text() : QString();
}

void CMainFrame::setDocumentTitle(const QString& title) {
    setWindowTitle(title.isEmpty() ? QString::fromLatin1(kProductName)
                                   : title + QStringLiteral(" - ") + QLatin1String(kProductName));
}

bool CMainFrame::event(QEvent* event) {
    // Toolbar buttons and accelerators have no menu to open first; keep
    // their states current whenever the window becomes active.
    if (event->type() == QEvent::WindowActivate) refreshCommandStates();
    return QMainWindow::event(event);
}

}  // namespace lorvex

// The main frame's chrome: menus with their texts and ids, toolbar order,
// accelerators, status panes, routing and the docking bars' page messages.
#include "ui/mainfrm.h"

#include <gtest/gtest.h>

#include <QApplication>
#include <QMenu>
#include <QMenuBar>
#include <QStatusBar>
#include <QToolBar>
#include <set>

#include "hub/message_hub.h"
#include "hub/messages.h"
#include "ui/dockpagebar.h"

namespace lorvex {
namespace {

class PageRecorder : public MessageReceiver {
  public:
    std::vector<std::string> titles;
    void OnMessage(uint32_t code, void* record) override {
        if (code != MSG_PANEL_PAGE || record == nullptr) return;
        auto* note = static_cast<PanelPageNote*>(record);
        if (note->magic == kPanelPageMagic) titles.emplace_back(note->title);
    }
};

// Claims the sort commands and records what it is asked to run.
class SortTarget : public CommandTarget {
  public:
    std::vector<int> ran;
    bool handlesCommand(int id) const override {
        return id >= ID_SORT_NAME && id <= ID_SORT_REVERSE;
    }
    CommandState commandState(int) const override { return CommandState{true, false, false}; }
    void runCommand(int id) override { ran.push_back(id); }
};

class MainFrameTest : public ::testing::Test {
  protected:
    void SetUp() override {
        set_app_hub(&hub);
        ASSERT_EQ(hub.Register(&recorder), 0);
        frame = std::make_unique<CMainFrame>();
        frame->addSourcePage("Dir", new QWidget);
        frame->addSourcePage("DB", new QWidget);
        frame->addFilterPage("Class", new QWidget);
        frame->addFilterPage("Album", new QWidget);
        frame->addFilterPage("Search", new QWidget);
        frame->addCommandTarget(&sort);
        frame->refreshCommandStates();
    }
    void TearDown() override {
        frame.reset();
        (void)hub.Unregister(&recorder);
        set_app_hub(nullptr);
    }
    // Texts and ids of a menu, separators as "-".
    static std::vector<std::pair<std::string, int>> entries(QMenu* menu) {
        std::vector<std::pair<std::string, int>> result;
        for (QAction* a : menu->actions()) {
            if (a->isSeparator()) {
                result.emplace_back("-", 0);
            } else {
                result.emplace_back(a->text().toStdString(), a->menu() ? -1 : a->data().toInt());
            }
        }
        return result;
    }
    QMenu* topMenu(const char* title) {
        for (QAction* a : frame->menuBar()->actions()) {
            if (a->text() == QLatin1String(title)) return a->menu();
        }
        return nullptr;
    }

    MessageHub hub;
    PageRecorder recorder;
    SortTarget sort;
    std::unique_ptr<CMainFrame> frame;
};

using Entries = std::vector<std::pair<std::string, int>>;

TEST_F(MainFrameTest, MenusCarryTheirTextsAndIds) {
    std::vector<std::string> titles;
    for (QAction* a : frame->menuBar()->actions()) titles.push_back(a->text().toStdString());
    EXPECT_EQ(titles, (std::vector<std::string>{"&File", "&Edit", "&View", "Zoom", "&Help"}));
    EXPECT_EQ(entries(topMenu("&File")), (Entries{{"-", 0}, {"E&xit", 57665}}));
    EXPECT_EQ(entries(topMenu("&Edit")),
              (Entries{{"&Delete       DEL", 32784}, {"&Copy to      Alt + C", 32785}}));
    EXPECT_EQ(entries(topMenu("&View")), (Entries{{"&Toolbar", 59392},
                                                  {"&Status Bar", 59393},
                                                  {"-", 0},
                                                  {"Sort", -1},
                                                  {"-", 0},
                                                  {"S/F", 32802}}));
    QMenu* sortMenu = topMenu("&View")->actions()[3]->menu();
    EXPECT_EQ(entries(sortMenu), (Entries{{"By &Name", 32771},
                                          {"By &Size", 32773},
                                          {"By &Date", 32774},
                                          {"By S&tar", 32775},
                                          {"By &Hit Freq", 32772},
                                          {"By &Type", 32776},
                                          {"-", 0},
                                          {"&Forward", 32777},
                                          {"&Reverse", 32778}}));
    EXPECT_EQ(entries(topMenu("Zoom")), (Entries{{"More            NumPad +", 32789},
                                                 {"Less            NumPad -", 32788},
                                                 {"-", 0},
                                                 {"Full Size       NumPad /", 32790},
                                                 {"Fit Image       NumPad *", 32791},
                                                 {"Fit Width       Alt + RightArrow", 32792},
                                                 {"Fit Height      Alt + DownArrow", 32793},
                                                 {"-", 0},
                                                 {"Lock            Ctrl + NumPad /", 32794}}));
    EXPECT_EQ(entries(topMenu("&Help")), (Entries{{"Contents        F1", 32816},
                                                  {"-", 0},
                                                  {"Check For Update", 32817},
                                                  {"Support", 32818},
                                                  {"-", 0},
                                                  {"About Lorvex", 57664}}));
}

TEST_F(MainFrameTest, ToolbarButtonsAndSeparatorsInOrder) {
    std::vector<int> ids;
    for (QAction* a : frame->toolBar()->actions())
        ids.push_back(a->isSeparator() ? 0 : a->data().toInt());
    EXPECT_EQ(ids, (std::vector<int>{32786, 32787, 0, 32788, 32789, 32790, 32791, 32792, 32793,
                                     32794, 0, 32802, 0, 32784, 32785}));
    EXPECT_EQ(frame->toolBar()->iconSize(), QSize(16, 16));
    for (QAction* a : frame->toolBar()->actions()) {
        if (!a->isSeparator()) {
            EXPECT_FALSE(a->icon().isNull()) << a->text().toStdString();
        }
    }
}

TEST_F(MainFrameTest, CommandsWithoutHandlerAreDisabledEverywhere) {
    for (int id : {int(ID_ZOOM_LOCK), int(ID_EDIT_DELETE), int(ID_EDIT_COPY_TO)}) {
        for (QAction* a : frame->actionsFor(id)) EXPECT_FALSE(a->isEnabled()) << id;
    }
    EXPECT_FALSE(frame->menuAction(ID_ZOOM_LOCK)->isEnabled());
    EXPECT_FALSE(frame->toolbarAction(ID_ZOOM_LOCK)->isEnabled());
    EXPECT_TRUE(frame->menuAction(ID_SORT_NAME)->isEnabled());
    EXPECT_TRUE(frame->menuAction(ID_APP_EXIT)->isEnabled());
}

TEST_F(MainFrameTest, AcceleratorsAndMenuEntriesRouteToTheOwningTarget) {
    frame->menuAction(ID_SORT_SIZE)->trigger();
    frame->runCommand(ID_ZOOM_LOCK);  // disabled: nothing runs
    EXPECT_EQ(sort.ran, std::vector<int>{ID_SORT_SIZE});
    std::set<int> withShortcut;
    for (int id : {32784, 32785, 32789, 32788, 32790, 32791, 32792, 32793, 32816}) {
        for (QAction* a : frame->actionsFor(id)) {
            if (!a->shortcut().isEmpty()) withShortcut.insert(id);
        }
    }
    EXPECT_EQ(withShortcut.size(), 9u);
    auto shortcutOf = [this](int id) {
        for (QAction* a : frame->actionsFor(id)) {
            if (!a->shortcut().isEmpty()) return a->shortcut();
        }
        return QKeySequence();
    };
    EXPECT_EQ(shortcutOf(ID_ZOOM_MORE), QKeySequence(Qt::KeypadModifier | Qt::Key_Plus));
    EXPECT_EQ(shortcutOf(ID_ZOOM_FIT_WIDTH), QKeySequence(Qt::AltModifier | Qt::Key_Right));
    EXPECT_EQ(shortcutOf(ID_EDIT_COPY_TO), QKeySequence(Qt::AltModifier | Qt::Key_C));
}

TEST_F(MainFrameTest, StatusBarHasFivePanesAndPrompts) {
    EXPECT_EQ(frame->statusText(0), QStringLiteral("Ready"));
    frame->setStatusText(2, QStringLiteral("3/7"));
    EXPECT_EQ(frame->statusText(2), QStringLiteral("3/7"));
    frame->setStatusText(0, QString());
    EXPECT_EQ(frame->statusText(0), QStringLiteral("Ready"));
    EXPECT_EQ(frame->menuAction(ID_EDIT_DELETE)->statusTip(),
              QStringLiteral("delete select files or items"));
    EXPECT_EQ(frame->menuAction(ID_ZOOM_LESS)->statusTip(), QStringLiteral("Zoom Out"));
    EXPECT_EQ(frame->menuAction(ID_ZOOM_MORE)->statusTip(), QStringLiteral("Zoom In"));
    EXPECT_TRUE(frame->menuAction(ID_ZOOM_FULL)->statusTip().isEmpty());
    EXPECT_GT(frame->findChild<QWidget*>("StatusPane3")->minimumWidth(),
              frame->findChild<QWidget*>("StatusPane2")->minimumWidth());
}

TEST_F(MainFrameTest, DockingBarsAnnounceTheirActivePages) {
    // The first page of each bar announced itself while the bar was filled.
    EXPECT_EQ(recorder.titles, (std::vector<std::string>{"Dir", "Class"}));
    EXPECT_EQ(frame->sourceBar()->activePage(), 0);
    EXPECT_EQ(frame->sourceBar()->windowTitle(), QStringLiteral("Dir"));
    EXPECT_EQ(frame->filterBar()->windowTitle(), QStringLiteral("Class"));
    EXPECT_EQ(frame->sourceBar()->childId(), 123);
    EXPECT_EQ(frame->filterBar()->childId(), 1234);
    frame->sourceBar()->setActivePage(1);
    frame->filterBar()->setActivePage(1);
    EXPECT_EQ(recorder.titles, (std::vector<std::string>{"Dir", "Class", "DB", "Album"}));
    EXPECT_EQ(frame->sourceBar()->windowTitle(), QStringLiteral("DB"));
}

TEST_F(MainFrameTest, CaptionFollowsTheDocumentTitle) {
    frame->setDocumentTitle(QStringLiteral("Setting MODE"));
    EXPECT_EQ(frame->windowTitle(), QStringLiteral("Setting MODE - Lorvex"));
}

TEST_F(MainFrameTest, ToolbarAndStatusBarToggleFromTheViewMenu) {
    frame->show();
    frame->refreshCommandStates();
    EXPECT_TRUE(frame->menuAction(ID_VIEW_TOOLBAR)->isChecked());
    frame->runCommand(ID_VIEW_TOOLBAR);
    EXPECT_FALSE(frame->toolBar()->isVisible());
    EXPECT_FALSE(frame->menuAction(ID_VIEW_TOOLBAR)->isChecked());
    frame->runCommand(ID_VIEW_STATUS_BAR);
    EXPECT_FALSE(frame->statusBar()->isVisible());
    EXPECT_FALSE(frame->menuAction(ID_VIEW_STATUS_BAR)->isChecked());
}

}  // namespace
}  // namespace lorvex

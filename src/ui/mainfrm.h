// The program's single top-level window: toolbar, five-pane status bar, the
// two tabbed docking bars with the source and filter panes, and the main
// area in which either the thumbnail grid or the picture view is visible.
// The frame handles no command itself: each command id goes to the first
// CommandTarget that owns it. The frame does not own the targets. UI thread.
#pragma once

#include <QAction>
#include <QMainWindow>
#include <QString>
#include <map>
#include <vector>

#include "ui/commands.h"

class QLabel;
class QStackedWidget;
class QToolBar;

namespace lorvex {

class CDockPageBar;

class CMainFrame : public QMainWindow {
    Q_OBJECT
  public:
    static constexpr int kLeftBarId = 123;
    static constexpr int kBottomBarId = 1234;
    static constexpr int kStatusPaneCount = 5;
    static constexpr const char* kProductName = "Lorvex";

    explicit CMainFrame(QWidget* parent = nullptr);

    // The docking bars' pages, added in order; the first page of each bar
    // becomes active while it is added (and announces itself).
    void addSourcePage(const QString& title, QWidget* page);
    void addFilterPage(const QString& title, QWidget* page);

    // The two views of the main area; the first is shown.
    void setViews(QWidget* thumbnails, QWidget* picture);
    // Shows one of the two views and hides the other.
    void showView(QWidget* view);
    QWidget* activeView() const;

    // Routing chain, asked in order. Targets must outlive the frame's use.
    void addCommandTarget(CommandTarget* target);
    // Runs a command through the chain, then refreshes every enable state.
    void runCommand(int id);
    // Asks every command's update function again and applies the answers
    // to its menu entries and toolbar buttons.
    void refreshCommandStates();
    CommandState commandState(int id) const;
    // Every action carrying id (menu entry, toolbar button, accelerator).
    std::vector<QAction*> actionsFor(int id) const;
    QAction* menuAction(int id) const;
    QAction* toolbarAction(int id) const;

    // Status bar: pane 0 is the prompt area ("Ready" when idle).
    void setStatusText(int pane, const QString& text);
    QString statusText(int pane) const;

    // Caption: "<document title> - Lorvex".
    void setDocumentTitle(const QString& title);

    CDockPageBar* sourceBar() const { return sourceBar_; }
    CDockPageBar* filterBar() const { return filterBar_; }
    QToolBar* toolBar() const { return toolBar_; }
    QMenu* buildSortMenu(QWidget* parent);

  protected:
    bool event(QEvent* event) override;

  private:
    QAction* makeAction(int id, const QString& text, QObject* owner);
    void buildToolBar();
    void buildStatusBar();
    void buildMenus();
    void buildAccelerators();

    std::multimap<int, QAction*> actions_;
    std::map<int, QAction*> menuActions_;
    std::map<int, QAction*> toolbarActions_;
    std::vector<CommandTarget*> targets_;
    QToolBar* toolBar_ = nullptr;
    CDockPageBar* sourceBar_ = nullptr;
    CDockPageBar* filterBar_ = nullptr;
    QStackedWidget* mainArea_ = nullptr;
    QLabel* panes_[kStatusPaneCount] = {};
};

}  // namespace lorvex

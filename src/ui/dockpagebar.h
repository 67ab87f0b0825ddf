// A docking bar that shows one page at a time under a row of tabs (icon and
// title). Whenever a page becomes active, including the first page while the
// bar is filled, it takes the title as its caption and broadcasts
// MSG_PANEL_PAGE with that title. The bar owns its pages. UI thread only.
#pragma once

#include <QDockWidget>
#include <QIcon>
#include <QString>

class QStackedWidget;
class QTabBar;

namespace lorvex {

class CDockPageBar : public QDockWidget {
    Q_OBJECT
  public:
    // childId is the bar's control id; defaultSize its preferred size.
    CDockPageBar(int childId, QSize defaultSize, QWidget* parent = nullptr);

    // Adds a page at the end; the first page added becomes the active one.
    void addPage(const QString& title, const QIcon& icon, QWidget* page);

    int pageCount() const;
    int activePage() const;
    QString pageTitle(int index) const;
    QWidget* page(int index) const;
    // Makes the page active as if the user had picked its tab.
    void setActivePage(int index);
    int childId() const { return childId_; }

    QSize sizeHint() const override { return defaultSize_; }

  private:
    void activate(int index);

    int childId_;
    QSize defaultSize_;
    QTabBar* tabs_;
    QStackedWidget* stack_;
};

}  // namespace lorvex

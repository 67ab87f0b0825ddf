// The folder source: a tree of folders rooted at the user's home folder. A
// node's sub-folders are read once, at its first expansion that finds some;
// only folders are listed (dot-folders hidden), sorted by name. Selecting a
// node hands its path to the folder scan. UI thread only.
#pragma once

#include <QString>
#include <QTreeWidget>
#include <functional>
#include <string>

namespace lorvex {

class CDirTreeCtrl : public QTreeWidget {
    Q_OBJECT
  public:
    static constexpr int kControlId = 133;
    static constexpr int kPathRole = Qt::UserRole + 1;

    // scan receives the file-system path of every selected node (the folder
    // scan of the browse module in the program).
    using ScanFunction = std::function<void(const std::string& path)>;

    CDirTreeCtrl(const QString& rootPath, ScanFunction scan, QWidget* parent = nullptr);

    QTreeWidgetItem* rootNode() const { return topLevelItem(0); }
    static QString nodePath(const QTreeWidgetItem* node);
    // Expands the nodes from the root down to path and selects it; returns
    // the node, or null when path is not below the root.
    QTreeWidgetItem* selectPath(const QString& path);

  private:
    void populate(QTreeWidgetItem* node);
    void onExpanded(QTreeWidgetItem* node);
    void onCurrentChanged(QTreeWidgetItem* current);

    ScanFunction scan_;
};

}  // namespace lorvex

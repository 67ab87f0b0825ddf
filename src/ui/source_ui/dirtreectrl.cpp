#include "ui/source_ui/dirtreectrl.h"

#include <QApplication>
#include <QCollator>
#include <QDir>
#include <QDirIterator>
#include <QFile>
#include <QFileInfo>
#include <QStyle>
#include <algorithm>
#include <vector>

namespace lorvex {
namespace {

// Whether a folder holds at least one visible sub-folder; unreadable
// folders hold none as far as the tree can tell.
bool hasSubFolders(const QString& path) {
    QDirIterator it(path, QDir::Dirs | QDir::NoDotAndDotDot);
    while (it.hasNext()) {
        it.next();
        if (!it.fileName().startsWith(QLatin1Char('.'))) return true;
    }
    return false;
}

}  // namespace

CDirTreeCtrl::CDirTreeCtrl(const QString& rootPath, ScanFunction scan, QWidget* parent)
    : QTreeWidget(parent), scan_(std::move(scan)) {
    setObjectName(QStringLiteral("CDirTreeCtrl"));
    setHeaderHidden(true);
    setColumnCount(1);
    setRootIsDecorated(true);
    setSelectionMode(QAbstractItemView::SingleSelection);
    setUniformRowHeights(true);

    QString root = QDir::cleanPath(rootPath);
    auto* node = new QTreeWidgetItem(this);
    QString name = QFileInfo(root).fileName();
    node->setText(0, name.isEmpty() ? root : name);
    node->setIcon(0, style()->standardIcon(QStyle::SP_DirHomeIcon));
    node->setData(0, kPathRole, root);
    node->setChildIndicatorPolicy(QTreeWidgetItem::ShowIndicator);

    connect(this, &QTreeWidget::itemExpanded, this, &CDirTreeCtrl::onExpanded);
    connect(this, &QTreeWidget::currentItemChanged, this,
            [this](QTreeWidgetItem* current, QTreeWidgetItem*) { onCurrentChanged(current); });
    populate(node);
    node->setExpanded(true);
}

QString CDirTreeCtrl::nodePath(const QTreeWidgetItem* node) {
    return node ? node->data(0, kPathRole).toString() : QString();
}

void CDirTreeCtrl::populate(QTreeWidgetItem* node) {
    QString path = nodePath(node);
    std::vector<QString> names;
    QDirIterator it(path, QDir::Dirs | QDir::NoDotAndDotDot);
    while (it.hasNext()) {
        it.next();
        QString name = it.fileName();
        if (!name.startsWith(QLatin1Char('.'))) names.push_back(name);
    }
    QCollator collator;
    collator.setCaseSensitivity(Qt::CaseInsensitive);
    collator.setNumericMode(true);
    std::sort(names.begin(), names.end(),
              [&](const QString& a, const QString& b) { return collator.compare(a, b) < 0; });

    QIcon closed = style()->standardIcon(QStyle::SP_DirClosedIcon);
    QIcon link = style()->standardIcon(QStyle::SP_DirLinkIcon);
    for (const QString& name : names) {
        QString childPath = path + QLatin1Char('/') + name;
        auto* child = new QTreeWidgetItem(node);
        child->setText(0, name);
        child->setIcon(0, QFileInfo(childPath).isSymLink() ? link : closed);
        child->setData(0, kPathRole, childPath);
        child->setChildIndicatorPolicy(hasSubFolders(childPath)
                                           ? QTreeWidgetItem::ShowIndicator
                                           : QTreeWidgetItem::DontShowIndicatorWhenChildless);
    }
}

void CDirTreeCtrl::onExpanded(QTreeWidgetItem* node) {
    if (node->childCount() > 0) return;
    populate(node);
    if (node->childCount() == 0) {
        // Nothing found this time: keep the mark, fold the node again and
        // look once more at the next expansion.
        node->setExpanded(false);
    }
}

void CDirTreeCtrl::onCurrentChanged(QTreeWidgetItem* current) {
    if (current == nullptr) return;
    QString path = nodePath(current);
    if (path.isEmpty() || !scan_) return;
    scan_(QFile::encodeName(path).toStdString());
}

QTreeWidgetItem* CDirTreeCtrl::selectPath(const QString& path) {
    QTreeWidgetItem* node = rootNode();
    QString target = QDir::cleanPath(path);
    QString rootPath = nodePath(node);
    if (target != rootPath && !target.startsWith(rootPath + QLatin1Char('/'))) return nullptr;
    QString rest = target.mid(rootPath.size());
    const QStringList parts = rest.split(QLatin1Char('/'), Qt::SkipEmptyParts);
    for (const QString& part : parts) {
        node->setExpanded(true);
        QTreeWidgetItem* next = nullptr;
        for (int i = 0; i < node->childCount() && next == nullptr; ++i) {
            if (node->child(i)->text(0) == part) next = node->child(i);
        }
        if (next == nullptr) return nullptr;
        node = next;
    }
    setCurrentItem(node);
    return node;
}

}  // namespace lorvex

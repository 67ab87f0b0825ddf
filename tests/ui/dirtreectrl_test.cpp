// The folder tree over a folder built by the test: folders only, sorted,
// dot-folders hidden, lazy expansion, and the scan call on selection.
#include "ui/source_ui/dirtreectrl.h"

#include <gtest/gtest.h>

#include <QDir>
#include <filesystem>

#include "support/temp_dir.h"

namespace lorvex {
namespace {

namespace fs = std::filesystem;

std::vector<std::string> childNames(QTreeWidgetItem* node) {
    std::vector<std::string> names;
    for (int i = 0; i < node->childCount(); ++i)
        names.push_back(node->child(i)->text(0).toStdString());
    return names;
}

QTreeWidgetItem* childNamed(QTreeWidgetItem* node, const char* name) {
    for (int i = 0; i < node->childCount(); ++i) {
        if (node->child(i)->text(0) == QLatin1String(name)) return node->child(i);
    }
    return nullptr;
}

class DirTreeTest : public ::testing::Test {
  protected:
    void SetUp() override {
        for (const char* d : {"b", "A", ".hidden", "c/sub", "x.jpg", "empty"}) {
            fs::create_directories(fs::path(root.path()) / d);
        }
        root.write("photo.jpg", "not a folder");
        root.write("c/inner.png", "file");
    }
    CDirTreeCtrl makeTree() {
        return CDirTreeCtrl(QString::fromStdString(root.path()),
                            [this](const std::string& p) { scanned.push_back(p); });
    }

    testing::TempDir root;
    std::vector<std::string> scanned;
};

TEST_F(DirTreeTest, RootListsSortedVisibleFoldersOnly) {
    CDirTreeCtrl tree = makeTree();
    QTreeWidgetItem* top = tree.rootNode();
    EXPECT_EQ(top->text(0), QDir(QString::fromStdString(root.path())).dirName());
    EXPECT_TRUE(top->isExpanded());
    EXPECT_EQ(childNames(top), (std::vector<std::string>{"A", "b", "c", "empty", "x.jpg"}));
    EXPECT_EQ(childNamed(top, "c")->childIndicatorPolicy(), QTreeWidgetItem::ShowIndicator);
    EXPECT_EQ(childNamed(top, "empty")->childIndicatorPolicy(),
              QTreeWidgetItem::DontShowIndicatorWhenChildless);
    EXPECT_TRUE(scanned.empty());  // nothing selected at start
}

TEST_F(DirTreeTest, ChildrenAreReadAtFirstExpansionOnly) {
    CDirTreeCtrl tree = makeTree();
    QTreeWidgetItem* c = childNamed(tree.rootNode(), "c");
    EXPECT_EQ(c->childCount(), 0);
    c->setExpanded(true);
    EXPECT_EQ(childNames(c), std::vector<std::string>{"sub"});
    fs::create_directories(fs::path(root.path()) / "c/later");
    c->setExpanded(false);
    c->setExpanded(true);
    EXPECT_EQ(childNames(c), std::vector<std::string>{"sub"});
}

TEST_F(DirTreeTest, ExpansionThatFindsNothingTriesAgainNextTime) {
    CDirTreeCtrl tree = makeTree();
    QTreeWidgetItem* c = childNamed(tree.rootNode(), "c");
    fs::remove(fs::path(root.path()) / "c/sub");
    c->setExpanded(true);
    EXPECT_EQ(c->childCount(), 0);
    EXPECT_FALSE(c->isExpanded());
    EXPECT_EQ(c->childIndicatorPolicy(), QTreeWidgetItem::ShowIndicator);
    fs::create_directories(fs::path(root.path()) / "c/again");
    c->setExpanded(true);
    EXPECT_EQ(childNames(c), std::vector<std::string>{"again"});
}

TEST_F(DirTreeTest, SelectingANodeScansItsPath) {
    CDirTreeCtrl tree = makeTree();
    ASSERT_NE(tree.selectPath(QString::fromStdString(root.file("c/sub"))), nullptr);
    tree.setCurrentItem(childNamed(tree.rootNode(), "b"));
    EXPECT_EQ(scanned, (std::vector<std::string>{root.file("c/sub"), root.file("b")}));
    EXPECT_EQ(tree.selectPath(QStringLiteral("/definitely/not/below")), nullptr);
}

}  // namespace
}  // namespace lorvex

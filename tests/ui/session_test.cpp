// The whole window over real folders: start-up state, a folder chosen in the
// tree listed and thumbnailed, the picture view opened and closed, zoom and
// edit commands' enable states, status panes, Help commands, and bad input
// (broken pictures, a folder removed or switched while loading, closing while
// the workers run).
#include "ui/session.h"

#include <gtest/gtest.h>

#include <QApplication>
#include <QElapsedTimer>
#include <QMenu>
#include <QTest>
#include <QWheelEvent>
#include <filesystem>
#include <fstream>

#include "shell/quillet_doc.h"
#include "support/temp_dir.h"
#include "ui/dockpagebar.h"
#include "ui/mainfrm.h"
#include "ui/msgbox.h"
#include "ui/source_ui/dirtreectrl.h"

namespace lorvex {
namespace {

namespace fs = std::filesystem;

bool waitFor(const std::function<bool()>& done, int ms = 15000) {
    QElapsedTimer timer;
    timer.start();
    while (!done() && timer.elapsed() < ms) QApplication::processEvents(QEventLoop::AllEvents, 10);
    return done();
}

void savePicture(const std::string& path, int w, int h, QRgb colour, const char* format) {
    QImage image(w, h, QImage::Format_RGB32);
    image.fill(colour);
    ASSERT_TRUE(image.save(QString::fromStdString(path), format)) << path;
}

class ViewSwitchRecorder : public MessageReceiver {
  public:
    std::vector<int32_t> targets;
    void OnMessage(uint32_t code, void* record) override {
        if (code != MSG_VIEW_SWITCHED || record == nullptr) return;
        auto* note = static_cast<ViewSwitchNote*>(record);
        if (note->magic == kViewSwitchMagic) targets.push_back(note->target);
    }
};

class SessionTest : public ::testing::Test {
  protected:
    void SetUp() override {
        fs::create_directories(fs::path(program.path()) / "_cfg");
        // The tree reads the home folder once, so every folder a test uses
        // exists before the window is built.
        for (const char* name : {"pics", "many", "few", "gone", "locked", "big"}) {
            fs::create_directories(fs::path(home.path()) / name);
        }
        setMessageBoxHook([this](const QString& text) { boxes.push_back(text.toStdString()); });
        AppSession::Options options;
        options.programDir = program.path();
        options.treeRoot = QString::fromStdString(home.path());
        options.vendorAddress = QStringLiteral("https://vendor.test");
        options.openUrl = [this](const QUrl& url) {
            opened.push_back(url.toString().toStdString());
        };
        session = std::make_unique<AppSession>(std::move(options));
        ASSERT_EQ(session->hub()->Register(&switches), 0);
        session->frame()->resize(1000, 700);
        session->frame()->show();
        QObject::connect(session->thumbView(), &CThumbView::loadFinished,
                         [this](int run) { finishedRun = run; });
    }
    void TearDown() override {
        if (session) (void)session->hub()->Unregister(&switches);
        session.reset();
        setMessageBoxHook({});
    }

    std::string folder(const std::string& name) const { return home.file(name); }
    // Selects a folder below the home folder in the tree and waits for the
    // grid to be complete.
    bool choose(const std::string& name, bool wait = true) {
        QTreeWidgetItem* node =
            session->dirTree()->selectPath(QString::fromStdString(folder(name)));
        if (node == nullptr) return false;
        if (!wait) return true;
        return waitFor([this] { return finishedRun == session->thumbView()->runNumber(); });
    }
    QString label(int p) const {
        auto* model = session->thumbView()->gridModel();
        return model->data(model->index(p), Qt::DisplayRole).toString();
    }
    void clickItem(int p, bool twice = false) {
        CThumbView* view = session->thumbView();
        QPoint at = view->visualRect(view->gridModel()->index(p)).center();
        QTest::mouseClick(view->viewport(), Qt::LeftButton, Qt::NoModifier, at);
        if (twice) {
            QTest::mousePress(view->viewport(), Qt::LeftButton, Qt::NoModifier, at);
            QTest::mouseDClick(view->viewport(), Qt::LeftButton, Qt::NoModifier, at);
        }
    }
    bool enabled(int id) { return session->frame()->commandState(id).enabled; }

    testing::TempDir program;
    testing::TempDir home;
    std::unique_ptr<AppSession> session;
    ViewSwitchRecorder switches;
    std::vector<std::string> boxes;
    std::vector<std::string> opened;
    int finishedRun = 0;
};

TEST_F(SessionTest, StartsWithDirAndClassPagesAndAnEmptyGrid) {
    EXPECT_EQ(session->frame()->sourceBar()->pageTitle(session->frame()->sourceBar()->activePage()),
              QStringLiteral("Dir"));
    EXPECT_EQ(session->frame()->filterBar()->pageTitle(session->frame()->filterBar()->activePage()),
              QStringLiteral("Class"));
    EXPECT_EQ(session->thumbView()->gridModel()->rowCount(), 0);
    EXPECT_EQ(session->frame()->windowTitle(), QStringLiteral("Filter MODE - Lorvex"));
    EXPECT_EQ(session->frame()->activeView(), session->thumbView());
    EXPECT_FALSE(session->workspace()->pictureShown());
    EXPECT_EQ(session->workspace()->picture_client_rect().width(), 0);
    EXPECT_EQ(session->document()->SourceMode(), kSourceNone);
    EXPECT_FALSE(session->frame()->menuAction(ID_ZOOM_LOCK)->isEnabled());
    EXPECT_FALSE(session->frame()->menuAction(ID_ZOOM_MORE)->isEnabled());
    EXPECT_EQ(session->thumbPaneId(), 59648);
    EXPECT_EQ(session->picturePaneId(), 59649);
}

TEST_F(SessionTest, ChosenFolderListsLabelsThenThumbnails) {
    savePicture(folder("pics/a.png"), 400, 300, qRgb(250, 0, 0), "PNG");
    savePicture(folder("pics/IMG_0001.JPG"), 300, 400, qRgb(0, 0, 250), "JPG");
    savePicture(folder("pics/photoJPG"), 50, 50, qRgb(0, 250, 0), "JPG");
    std::ofstream(folder("pics/broken.jpg")) << "not a picture";
    ASSERT_TRUE(choose("pics"));
    CThumbView* view = session->thumbView();
    ASSERT_EQ(view->gridModel()->rowCount(), 4);
    // Fresh list: by name, reverse.
    EXPECT_EQ(label(0), QStringLiteral("photojpg"));
    EXPECT_EQ(label(1), QStringLiteral("img_0001.jpg"));
    EXPECT_EQ(label(2), QStringLiteral("broken.jpg"));
    EXPECT_EQ(label(3), QStringLiteral("a.png"));
    const QImage& wide = view->gridModel()->cell(3);
    EXPECT_EQ(wide.pixel(50, 5), qRgb(100, 100, 100));
    EXPECT_EQ(wide.pixel(0, 0), qRgb(192, 192, 192));
    EXPECT_EQ(wide.pixel(50, 50), qRgb(250, 0, 0));
    const QImage& tall = view->gridModel()->cell(1);
    EXPECT_EQ(tall.pixel(6, 50), qRgb(100, 100, 100));  // left of the 74-wide picture at x 13
    EXPECT_NEAR(qBlue(tall.pixel(50, 50)), 250, 8);     // JPEG colours are approximate
    EXPECT_FALSE(view->gridModel()->isBlank(0));
    EXPECT_TRUE(view->gridModel()->isBlank(2));
    EXPECT_TRUE(boxes.empty());
}

TEST_F(SessionTest, AnotherFolderChosenMidLoadRestartsCleanly) {
    for (int i = 0; i < 40; ++i) {
        savePicture(folder("many/m" + std::to_string(100 + i) + ".png"), 640, 480, qRgb(200, 0, 0),
                    "PNG");
    }
    for (int i = 0; i < 3; ++i)
        savePicture(folder("few/f" + std::to_string(i) + ".png"), 60, 60, qRgb(0, 0, 200), "PNG");
    ASSERT_TRUE(choose("many", false));
    ASSERT_TRUE(waitFor([this] { return !session->thumbView()->gridModel()->isBlank(0); }));
    ASSERT_TRUE(choose("few"));
    QApplication::processEvents();
    ASSERT_EQ(session->thumbView()->gridModel()->rowCount(), 3);
    for (int p = 0; p < 3; ++p) {
        EXPECT_EQ(session->thumbView()->gridModel()->cell(p).pixel(50, 50), qRgb(0, 0, 200)) << p;
    }
}

TEST_F(SessionTest, FolderRemovedWhileItsThumbnailsLoad) {
    for (int i = 0; i < 40; ++i) {
        savePicture(folder("gone/g" + std::to_string(100 + i) + ".png"), 640, 480, qRgb(9, 9, 9),
                    "PNG");
    }
    ASSERT_TRUE(choose("gone", false));
    ASSERT_TRUE(waitFor([this] { return !session->thumbView()->gridModel()->isBlank(0); }));
    fs::remove_all(folder("gone"));
    ASSERT_TRUE(waitFor([this] { return finishedRun == session->thumbView()->runNumber(); }));
    EXPECT_EQ(session->thumbView()->gridModel()->rowCount(), 40);
    EXPECT_TRUE(session->thumbView()->gridModel()->isBlank(39));
}

TEST_F(SessionTest, UnreadableFolderShowsAnEmptyGrid) {
    savePicture(folder("pics/a.png"), 40, 40, qRgb(1, 1, 1), "PNG");
    ASSERT_TRUE(choose("pics"));
    ASSERT_EQ(session->thumbView()->gridModel()->rowCount(), 1);
    savePicture(folder("locked/b.png"), 40, 40, qRgb(1, 1, 1), "PNG");
    fs::permissions(folder("locked"), fs::perms::none);
    std::error_code error;
    const bool readable =
        fs::directory_iterator(folder("locked"), error) != fs::directory_iterator();
    ASSERT_TRUE(choose("locked"));
    fs::permissions(folder("locked"), fs::perms::owner_all);
    if (readable) GTEST_SKIP() << "permissions do not apply to this user";
    EXPECT_EQ(session->thumbView()->gridModel()->rowCount(), 0);
}

TEST_F(SessionTest, DoubleClickOpensThePictureViewAndEnablesZoom) {
    savePicture(folder("pics/b.png"), 400, 300, qRgb(10, 200, 30), "PNG");
    savePicture(folder("pics/a.png"), 200, 100, qRgb(200, 10, 30), "PNG");
    ASSERT_TRUE(choose("pics"));
    EXPECT_TRUE(enabled(ID_SORT_NAME));
    clickItem(0, true);
    ASSERT_TRUE(session->workspace()->pictureShown());
    EXPECT_EQ(session->frame()->activeView(), session->pictureView());
    EXPECT_EQ(switches.targets, std::vector<int32_t>{kTargetPicture});
    EXPECT_EQ(session->thumbPaneId(), 59649);
    for (int id : {ID_ZOOM_MORE, ID_ZOOM_LESS, ID_ZOOM_FULL, ID_ZOOM_FIT_IMAGE, ID_ZOOM_FIT_WIDTH,
                   ID_ZOOM_FIT_HEIGHT, ID_NEXT}) {
        EXPECT_TRUE(enabled(id)) << id;
        EXPECT_TRUE(session->frame()->menuAction(id) == nullptr ||
                    session->frame()->menuAction(id)->isEnabled())
            << id;
    }
    for (int id : {ID_ZOOM_LOCK, ID_EDIT_DELETE, ID_EDIT_COPY_TO, ID_PREVIOUS, ID_EDIT_MODE}) {
        EXPECT_FALSE(enabled(id)) << id;
    }
    EXPECT_EQ(session->frame()->statusText(2), QStringLiteral("1/2"));
    EXPECT_EQ(session->frame()->statusText(3), QStringLiteral("b.png"));
    EXPECT_EQ(session->frame()->statusText(4), QStringLiteral("100.00%"));

    // The preloader decodes; the view draws the picture centred on grey.
    CQuilletView* view = session->pictureView();
    ASSERT_TRUE(waitFor([view] {
        view->viewport()->repaint();
        return !view->lastFrame().isNull() && view->scrollableSize() == QSize(400, 300);
    }));
    const QSize client = view->viewport()->size();
    EXPECT_EQ(
        view->lastFrame().pixel((client.width() - 400) / 2 + 5, (client.height() - 300) / 2 + 5),
        qRgb(10, 200, 30));
    EXPECT_EQ(session->workspace()->picture_client_rect().width(), client.width());

    session->frame()->runCommand(ID_ZOOM_MORE);
    EXPECT_EQ(session->frame()->statusText(4), QStringLiteral("150.00%"));

    // Ctrl and the wheel zoom; with Shift as well they navigate.
    auto wheel = [view](int delta, Qt::KeyboardModifiers modifiers) {
        QPoint at(10, 10);
        QWheelEvent event(at, view->viewport()->mapToGlobal(at), QPoint(), QPoint(0, delta),
                          Qt::NoButton, modifiers, Qt::NoScrollPhase, false);
        QApplication::sendEvent(view->viewport(), &event);
    };
    wheel(-120, Qt::ControlModifier);
    EXPECT_FLOAT_EQ(session->document()->zoom(), 2.0f);
    EXPECT_FALSE(enabled(ID_ZOOM_MORE));
    wheel(-120, Qt::ControlModifier);  // guarded inside ZoomIn
    EXPECT_FLOAT_EQ(session->document()->zoom(), 2.0f);
    wheel(-120, Qt::ControlModifier | Qt::ShiftModifier);
    EXPECT_EQ(session->document()->CurrentPosition(), 1);
    EXPECT_EQ(session->frame()->statusText(2), QStringLiteral("2/2"));
    EXPECT_FALSE(enabled(ID_NEXT));
    EXPECT_TRUE(enabled(ID_PREVIOUS));
    QTest::keyClick(view, Qt::Key_Home);
    EXPECT_EQ(session->document()->CurrentPosition(), 0);
    QTest::keyClick(view, Qt::Key_End);
    EXPECT_EQ(session->document()->CurrentPosition(), 1);

    QTest::mouseDClick(view->viewport(), Qt::LeftButton, Qt::NoModifier, QPoint(5, 5));
    EXPECT_FALSE(session->workspace()->pictureShown());
    EXPECT_EQ(session->frame()->activeView(), session->thumbView());
    EXPECT_EQ(switches.targets, (std::vector<int32_t>{kTargetPicture, kTargetThumbnails}));
    EXPECT_EQ(session->thumbPaneId(), 59648);
    EXPECT_FALSE(enabled(ID_ZOOM_MORE));
}

TEST_F(SessionTest, PictureThatFailsToDecodeShowsOneBox) {
    std::ofstream(folder("pics/bad.png")) << "broken";
    ASSERT_TRUE(choose("pics"));
    clickItem(0, true);
    ASSERT_TRUE(session->workspace()->pictureShown());
    ASSERT_TRUE(waitFor([this] { return !boxes.empty(); }));
    EXPECT_EQ(boxes.size(), 1u);
    EXPECT_FALSE(boxes[0].empty());
}

TEST_F(SessionTest, FitWidthOfANarrowPictureDraws199PixelsWide) {
    savePicture(folder("pics/n.png"), 57, 30, qRgb(50, 60, 70), "PNG");
    ASSERT_TRUE(choose("pics"));
    clickItem(0, true);
    CQuilletView* view = session->pictureView();
    // A client area 200 pixels wide.
    session->frame()->resize(session->frame()->width() - view->viewport()->width() + 200,
                             session->frame()->height());
    QApplication::processEvents();
    ASSERT_EQ(view->viewport()->width(), 200);
    ASSERT_TRUE(waitFor([view] {
        view->viewport()->repaint();
        return view->scrollableSize() == QSize(57, 30);
    }));
    session->frame()->runCommand(ID_ZOOM_FIT_WIDTH);
    view->viewport()->repaint();
    EXPECT_EQ(view->scrollableSize().width(), 199);
    const QImage& frame = view->lastFrame();
    int drawn = 0;
    for (int x = 0; x < frame.width(); ++x)
        drawn += frame.pixel(x, frame.height() / 2) == qRgb(50, 60, 70);
    EXPECT_EQ(drawn, 199);
}

TEST_F(SessionTest, ContextMenusOfTheGrid) {
    savePicture(folder("pics/a.png"), 40, 40, qRgb(1, 1, 1), "PNG");
    ASSERT_TRUE(choose("pics"));
    std::unique_ptr<QMenu> out(session->buildContextMenu(false));
    ASSERT_EQ(out->actions().size(), 2);
    EXPECT_EQ(out->actions()[0]->text(), QStringLiteral("&Sort"));
    EXPECT_EQ(out->actions()[1]->text(), QStringLiteral("&Filter"));
    EXPECT_TRUE(out->actions()[0]->menu()->actions()[0]->isEnabled());
    std::unique_ptr<QMenu> in(session->buildContextMenu(true));
    std::vector<std::string> texts;
    for (QAction* a : in->actions()) texts.push_back(a->text().toStdString());
    EXPECT_EQ(texts, (std::vector<std::string>{"&Add To Private DB", "Set &Star", "Clear Hit Freq",
                                               "Create &Class", "Create &Album", "&Delete File",
                                               "&Copy To"}));
    for (QAction* a : in->actions()) {
        if (!a->menu()) {
            EXPECT_FALSE(a->isEnabled()) << a->text().toStdString();
        }
    }
    // Sorting from the menu re-lists the folder.
    const int run = session->thumbView()->runNumber();
    out->actions()[0]->menu()->actions()[7]->trigger();  // "&Forward"
    EXPECT_GT(session->thumbView()->runNumber(), run);
}

TEST_F(SessionTest, HelpCommandsOpenTheManualAndVendorPages) {
    session->frame()->runCommand(ID_HELP_CONTENTS);
    session->frame()->runCommand(ID_HELP_UPDATE);
    session->frame()->runCommand(ID_HELP_SUPPORT);
    EXPECT_EQ(opened, (std::vector<std::string>{
                          QUrl::fromLocalFile(QString::fromStdString(program.file("quillet.pdf")))
                              .toString()
                              .toStdString(),
                          "https://vendor.test/product.htm", "https://vendor.test/support.htm"}));
}

TEST_F(SessionTest, ClosingWhileLoaderAndPreloaderRun) {
    for (int i = 0; i < 40; ++i) {
        savePicture(folder("big/b" + std::to_string(100 + i) + ".png"), 800, 600, qRgb(3, 3, 3),
                    "PNG");
    }
    ASSERT_TRUE(choose("big", false));
    clickItem(0, true);
    EXPECT_TRUE(session->thumbView()->isLoading());
    session.reset();  // joins both workers before any widget goes
    QApplication::processEvents();
    EXPECT_EQ(app_hub(), nullptr);
}

}  // namespace
}  // namespace lorvex

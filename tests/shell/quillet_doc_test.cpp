// The document's browse state, commands and messages, with the windows
// replaced by a recording fake. Folder lists come from real folders scanned
// by the folder scan.
#include "shell/quillet_doc.h"

#include <gtest/gtest.h>

#include <QImage>
#include <cstring>
#include <string>
#include <vector>

#include "browse/folder_list.h"
#include "browse/folder_scan.h"
#include "engine/engine.h"
#include "shell/doc_fakes.h"
#include "support/temp_dir.h"

namespace lorvex {
namespace {

using testing::RecordingWindows;

// Records the mode and view notes the document sends.
class NoteLog : public MessageReceiver {
  public:
    void OnMessage(uint32_t code, void* record) override {
        if (code == MSG_EDIT_MODE) {
            edit_modes.push_back(static_cast<EditModeNote*>(record)->mode);
        } else if (code == MSG_VIEW_SWITCHED) {
            view_targets.push_back(static_cast<ViewSwitchNote*>(record)->target);
        }
    }
    std::vector<int32_t> edit_modes;
    std::vector<int32_t> view_targets;
};

class DocTest : public ::testing::Test {
  protected:
    DocTest()
        : workspace_(dir_.path()),
          windows_(&workspace_),
          doc_(&hub_, &workspace_, &windows_,
               [](const PictureRef&, QImage*, std::string*) { return 0; }) {
        windows_.on_show_picture = [this] { doc_.ShowCurrentPicture(); };
        EXPECT_EQ(hub_.Register(&notes_), 0);
    }
    ~DocTest() override { (void)hub_.Unregister(&notes_); }

    // A folder of count PNG files p0.png .. p<count-1>.png, listed and sorted
    // by name forward.
    void list_folder(int count, const std::string& folder_name = "pics") {
        const std::string folder = dir_.file(folder_name);
        for (int i = 0; i < count; ++i) {
            dir_.write(folder_name + "/p" + std::to_string(i) + ".png", "");
            QImage image(8, 8, QImage::Format_RGB32);
            image.fill(Qt::blue);
            ASSERT_TRUE(image.save(
                QString::fromStdString(folder + "/p" + std::to_string(i) + ".png"), "PNG"));
        }
        if (count == 0) dir_.write(folder_name + "/readme.txt", "no pictures");
        ASSERT_EQ(ScanFolder(folder.c_str(), &hub_), ScanOutcome::kListed);
        ASSERT_EQ(doc_.SetForward(), 0);
        folder_ = folder;
    }

    void send_list_ready(int32_t kind) {
        ListReadyNote note;
        note.kind = kind;
        hub_.Send(MSG_LIST_READY, &note);
    }

    void send_panel(const char* title) {
        PanelPageNote note;
        std::strncpy(note.title, title, sizeof(note.title) - 1);
        hub_.Send(MSG_PANEL_PAGE, &note);
    }

    std::string ref_name(const PictureRef& ref) { return testing::HeldDecoder::name_of(ref); }

    std::vector<std::string> posted_neighbours() {
        std::vector<std::string> names;
        const PreloadRequest& r = doc_.last_posted();
        for (int i = 0; i < r.neighbour_count; ++i) names.push_back(ref_name(r.neighbours[i]));
        return names;
    }

    void show_picture() {
        windows_.ShowPictureView();
        windows_.clear_calls();
    }

    testing::TempDir dir_;
    MessageHub hub_;
    Workspace workspace_;
    RecordingWindows windows_;
    NoteLog notes_;
    CQuilletDoc doc_;
    std::string folder_;
};

TEST_F(DocTest, ReceiversTakeTheirSlotsInConstructionOrder) {
    // Folder list, engine, document, then the test's own receiver.
    EXPECT_EQ(hub_.registered(), 4);
    EXPECT_EQ(hub_.slot(3), &notes_);
    EXPECT_EQ(doc_.title(), "Filter MODE");
    EXPECT_EQ(windows_.title(), "Filter MODE");
}

TEST(DocWithoutWindows, WorksWithNeitherWorkspaceNorWindows) {
    MessageHub hub;
    CQuilletDoc doc(&hub, nullptr, nullptr,
                    [](const PictureRef&, QImage*, std::string*) { return 0; });
    ListReadyNote note;
    note.kind = kListDatabase;
    hub.Send(MSG_LIST_READY, &note);
    EXPECT_EQ(doc.SourceMode(), kSourceDatabase);
    EXPECT_TRUE(doc.OnCommand(kCmdEditMode));
    EXPECT_EQ(doc.title(), "Setting MODE");
    EXPECT_FALSE(doc.IsCommandEnabled(kCmdZoomIn));
    doc.UpdateStatus();
    doc.ShowFirst();
}

TEST_F(DocTest, FolderListReadySwitchesToFolderModeAndLoadsTheGrid) {
    EXPECT_EQ(doc_.SourceMode(), kSourceNone);
    list_folder(5);
    EXPECT_EQ(doc_.SourceMode(), kSourceFolder);
    EXPECT_EQ(doc_.ListCount(), 5);
    EXPECT_EQ(doc_.SortedCountOf(), 5);
    EXPECT_EQ(doc_.CurrentPosition(), 0);
    const std::vector<std::string> calls = windows_.calls();
    ASSERT_FALSE(calls.empty());
    EXPECT_EQ(calls.back(), "StartThumbnailLoad");
    EXPECT_TRUE(notes_.view_targets.empty());  // the grid was already visible
}

TEST_F(DocTest, OperationsThatDoNotApplyReturnMinusOne) {
    char buffer[kMaxPath];
    std::string path;
    int32_t slot = 0;
    int32_t item = 0;
    // No list yet: every operation refuses.
    EXPECT_EQ(doc_.ListCount(), -1);
    EXPECT_EQ(doc_.SortedCountOf(), -1);
    EXPECT_EQ(doc_.CurrentPosition(), -1);
    EXPECT_EQ(doc_.SetCurrentPosition(0), -1);
    EXPECT_EQ(doc_.MoveNext(), -1);
    EXPECT_EQ(doc_.MoveFirst(), -1);
    EXPECT_EQ(doc_.FolderPath(buffer, sizeof(buffer)), -1);
    EXPECT_EQ(doc_.SetKey(SORT_SIZE), -1);
    EXPECT_EQ(doc_.SetForward(), -1);
    EXPECT_EQ(doc_.ItemAt(0, &slot, &item), -1);
    doc_.ShowCurrentPicture();
    doc_.ShowFirst();
    EXPECT_EQ(doc_.requests_posted(), 0);

    list_folder(3);
    // Folder mode: the database operations refuse.
    EXPECT_EQ(doc_.ItemAt(0, &slot, &item), -1);
    EXPECT_EQ(doc_.SetStar(0, 3), -1);
    EXPECT_EQ(doc_.CountHit(0, false), -1);
    EXPECT_EQ(doc_.AddToClass(0, 1, "trip"), -1);
    EXPECT_EQ(doc_.AddToAlbum(0, 1, "trip"), -1);
    EXPECT_EQ(doc_.RemoveClass(0, "trip"), -1);
    EXPECT_EQ(doc_.RemoveAlbum(0, "trip"), -1);
    // Positions out of range, and buffers too small.
    EXPECT_EQ(doc_.SetCurrentPosition(-1), -1);
    EXPECT_EQ(doc_.SetCurrentPosition(3), -1);
    EXPECT_EQ(doc_.NameAt(-1, buffer, sizeof(buffer)), -1);
    EXPECT_EQ(doc_.NameAt(3, buffer, sizeof(buffer)), -1);
    EXPECT_EQ(doc_.NameAt(0, buffer, 10), -1);
    EXPECT_EQ(doc_.FilePathAt(3, &path), -1);
    EXPECT_EQ(doc_.NameAt(2, buffer, sizeof(buffer)), 0);
    EXPECT_STREQ(buffer, "p2.png");
    EXPECT_EQ(doc_.FolderPath(buffer, sizeof(buffer)), 0);
    EXPECT_EQ(std::string(buffer), folder_);

    // Database mode: the folder operations refuse.
    send_list_ready(kListDatabase);
    EXPECT_EQ(doc_.SourceMode(), kSourceDatabase);
    EXPECT_EQ(doc_.ListCount(), 0);
    EXPECT_EQ(doc_.FolderPath(buffer, sizeof(buffer)), -1);
    EXPECT_EQ(doc_.NameAt(0, buffer, sizeof(buffer)), -1);
    EXPECT_EQ(doc_.CurrentName(buffer, sizeof(buffer)), -1);
    EXPECT_EQ(doc_.FilePathAt(0, &path), -1);
    EXPECT_EQ(doc_.ItemAt(0, &slot, &item), -1);  // empty order: maps to nothing
    doc_.ShowCurrentPicture();
    EXPECT_EQ(doc_.requests_posted(), 0);
}

TEST_F(DocTest, ShowPreviousAtTheFirstAndShowNextAtTheLastDoNothing) {
    list_folder(5);
    show_picture();
    ASSERT_EQ(doc_.SetCurrentPosition(0), 0);
    const int posted = doc_.requests_posted();
    EXPECT_FALSE(doc_.IsCommandEnabled(kCmdPrevious));
    doc_.ShowPrevious();
    EXPECT_FALSE(doc_.OnCommand(kCmdPrevious));
    EXPECT_EQ(doc_.CurrentPosition(), 0);
    EXPECT_EQ(doc_.requests_posted(), posted);

    ASSERT_EQ(doc_.SetCurrentPosition(4), 0);
    EXPECT_FALSE(doc_.IsCommandEnabled(kCmdNext));
    EXPECT_TRUE(doc_.IsCommandEnabled(kCmdPrevious));
    doc_.ShowNext();
    EXPECT_EQ(doc_.CurrentPosition(), 4);
    EXPECT_EQ(doc_.requests_posted(), posted);
}

TEST_F(DocTest, MovesRequestTheNewPictureWithNeighboursInTheDirectionOfTravel) {
    list_folder(5);
    show_picture();
    struct Case {
        int from;
        bool next;
        int to;
        std::vector<std::string> neighbours;
        const char* why;
    };
    const Case cases[] = {
        {0, true, 1, {"p2.png", "p3.png"}, "two neighbours ahead"},
        {2, true, 3, {"p4.png"}, "only one position is left after 3"},
        {3, true, 4, {}, "the last position has no neighbour ahead"},
        {4, false, 3, {"p2.png", "p1.png"}, "two neighbours behind"},
        {2, false, 1, {"p0.png"}, "only position 0 is left before 1"},
        {1, false, 0, {}, "position 0 has no neighbour behind"},
    };
    for (const Case& c : cases) {
        ASSERT_EQ(doc_.SetCurrentPosition(c.from), 0);
        const int posted = doc_.requests_posted();
        ASSERT_TRUE(doc_.OnCommand(c.next ? kCmdNext : kCmdPrevious)) << c.why;
        EXPECT_EQ(doc_.CurrentPosition(), c.to) << c.why;
        ASSERT_EQ(doc_.requests_posted(), posted + 1) << c.why;
        EXPECT_EQ(doc_.last_posted().live, 1);
        EXPECT_EQ(ref_name(doc_.last_posted().current), "p" + std::to_string(c.to) + ".png")
            << c.why;
        EXPECT_EQ(posted_neighbours(), c.neighbours) << c.why;
    }
}

TEST_F(DocTest, FirstAndLastRequestTheirPictureAloneAndRepaint) {
    list_folder(4);
    doc_.StopPreloader();  // only the document's own repaints count here
    ASSERT_EQ(doc_.SetCurrentPosition(2), 0);
    const int repaints = windows_.picture_repaints();
    doc_.ShowLast();
    EXPECT_EQ(doc_.CurrentPosition(), 3);
    EXPECT_EQ(ref_name(doc_.last_posted().current), "p3.png");
    EXPECT_EQ(doc_.last_posted().neighbour_count, 0);
    doc_.ShowFirst();
    EXPECT_EQ(doc_.CurrentPosition(), 0);
    EXPECT_EQ(ref_name(doc_.last_posted().current), "p0.png");
    EXPECT_EQ(windows_.picture_repaints(), repaints + 2);
}

TEST_F(DocTest, RequestsNameTheFileAsItLiesOnDisk) {
    const std::string folder = dir_.file("Upper");
    dir_.write("Upper/IMG_0001.JPG", "");
    ASSERT_EQ(ScanFolder(folder.c_str(), &hub_), ScanOutcome::kListed);
    doc_.ShowCurrentPicture();
    ASSERT_EQ(doc_.requests_posted(), 1);
    const PictureRef& ref = doc_.last_posted().current;
    EXPECT_EQ(ref.kind, kRefFile);
    EXPECT_EQ(std::string(ref.path, static_cast<size_t>(ref.path_length)),
              folder + "/IMG_0001.JPG");
}

TEST_F(DocTest, TheLongestPathThatFitsIsRequested) {
    // folder + "/" + name of exactly 259 characters.
    const std::string folder = dir_.file("long");
    const size_t name_length = 259 - folder.size() - 1;
    ASSERT_GT(name_length, 4u);
    ASSERT_LT(name_length, 256u);  // one path component
    const std::string name = std::string(name_length - 4, 'a') + ".png";
    dir_.write("long/" + name, "");
    ASSERT_EQ(ScanFolder(folder.c_str(), &hub_), ScanOutcome::kListed);
    ASSERT_EQ(doc_.ListCount(), 1);
    doc_.ShowCurrentPicture();
    ASSERT_EQ(doc_.requests_posted(), 1);
    EXPECT_EQ(doc_.last_posted().current.path_length, 259);
}

TEST_F(DocTest, StatusShowsPositionNameAndZoom) {
    list_folder(5);
    ASSERT_EQ(doc_.SetCurrentPosition(2), 0);
    EXPECT_EQ(windows_.pane(kPanePosition), "3/5");
    EXPECT_EQ(windows_.pane(kPaneName), "p2.png");
    EXPECT_EQ(windows_.pane(kPaneZoom), "100.00%");

    show_picture();
    ASSERT_TRUE(doc_.OnCommand(kCmdZoomIn));
    EXPECT_EQ(windows_.pane(kPaneZoom), "150.00%");
}

TEST_F(DocTest, StatusOfAnEmptyFolder) {
    list_folder(0);
    EXPECT_EQ(doc_.ListCount(), 0);
    EXPECT_EQ(windows_.pane(kPanePosition), "1/0");
    EXPECT_EQ(windows_.pane(kPaneName), "");
    doc_.ShowCurrentPicture();
    EXPECT_EQ(doc_.requests_posted(), 0);  // position 0 maps to nothing
}

TEST_F(DocTest, TheFilterSettingToggleSetsTheTitleAndTellsThePanes) {
    send_list_ready(kListDatabase);
    ASSERT_TRUE(doc_.IsCommandEnabled(kCmdEditMode));
    EXPECT_FALSE(doc_.IsCommandChecked(kCmdEditMode));

    ASSERT_TRUE(doc_.OnCommand(kCmdEditMode));
    EXPECT_EQ(doc_.EditMode(), kEditSetting);
    EXPECT_EQ(windows_.title(), "Setting MODE");
    EXPECT_TRUE(doc_.IsCommandChecked(kCmdEditMode));

    ASSERT_TRUE(doc_.OnCommand(kCmdEditMode));
    EXPECT_EQ(doc_.EditMode(), kEditFilter);
    EXPECT_EQ(windows_.title(), "Filter MODE");
    EXPECT_EQ(notes_.edit_modes, (std::vector<int32_t>{kModeSetting, kModeFilter}));
}

TEST_F(DocTest, TheFilterSettingToggleNeedsTheDatabaseGrid) {
    struct Case {
        int32_t list;  // 0: no list
        bool picture_shown;
        bool enabled;
        const char* why;
    };
    const Case cases[] = {
        {0, false, false, "no list yet"},
        {kListFolder, false, false, "folder mode"},
        {kListDatabase, true, false, "the picture view hides the grid"},
        {kListDatabase, false, true, "database grid"},
    };
    for (const Case& c : cases) {
        MessageHub hub;
        Workspace workspace(dir_.path());
        RecordingWindows windows(&workspace);
        CQuilletDoc doc(&hub, &workspace, &windows,
                        [](const PictureRef&, QImage*, std::string*) { return 0; });
        if (c.list != 0) {
            ListReadyNote note;
            note.kind = c.list;
            hub.Send(MSG_LIST_READY, &note);
        }
        workspace.set_pictureShown(c.picture_shown);
        EXPECT_EQ(doc.IsCommandEnabled(kCmdEditMode), c.enabled) << c.why;
        EXPECT_EQ(doc.OnCommand(kCmdEditMode), c.enabled) << c.why;
    }
}

TEST_F(DocTest, ZoomStepsAndTheirLimits) {
    list_folder(1);
    show_picture();
    struct Case {
        int command;
        int steps;
        std::vector<float> expected;  // zoom after each step
        const char* why;
    };
    const Case cases[] = {
        {kCmdZoomOut, 5, {0.75f, 0.5f, 0.25f, 0.125f, 0.0625f}, "from 1.0 down to the smallest"},
        {kCmdZoomIn,
         8,
         {0.125f, 0.25f, 0.5f, 0.75f, 1.0f, 1.5f, 2.0f, 2.0f},
         "back up to 2.0, then More does nothing"},
    };
    for (const Case& c : cases) {
        for (int i = 0; i < c.steps; ++i) {
            (void)doc_.OnCommand(c.command);
            EXPECT_EQ(doc_.zoom(), c.expected[static_cast<size_t>(i)]) << c.why << " step " << i;
        }
    }
    EXPECT_FALSE(doc_.IsCommandEnabled(kCmdZoomIn));
    EXPECT_TRUE(doc_.IsCommandEnabled(kCmdZoomOut));
    doc_.ZoomIn();  // the guard holds outside the command too
    EXPECT_EQ(doc_.zoom(), 2.0f);

    for (int i = 0; i < 6; ++i) doc_.ZoomOut();  // 1.5, 1.0, 0.75, 0.5, 0.25, 0.125
    EXPECT_EQ(doc_.zoom(), 0.125f);
    doc_.ZoomOut();
    EXPECT_EQ(doc_.zoom(), 0.0625f);
    EXPECT_FALSE(doc_.IsCommandEnabled(kCmdZoomOut));
    doc_.ZoomOut();
    EXPECT_EQ(doc_.zoom(), 0.0625f);

    ASSERT_TRUE(doc_.OnCommand(kCmdFullSize));
    EXPECT_EQ(doc_.zoom(), 1.0f);
}

TEST_F(DocTest, FitCommandsUseTheLastPictureAndTheClientArea) {
    list_folder(1);
    show_picture();
    // Nothing drawn yet: the fits change nothing.
    ASSERT_TRUE(doc_.OnCommand(kCmdFitImage));
    EXPECT_EQ(doc_.zoom(), 1.0f);

    workspace_.set_picture_client_rect({0, 0, 800, 600});
    doc_.SetLastPictureSize(1000, 500);
    struct Case {
        int command;
        float zoom;
        const char* why;
    };
    const Case cases[] = {
        {kCmdFitImage, 0.8f, "the smaller of 800/1000 and 600/500"},
        {kCmdFitWidth, 0.8f, "800/1000"},
        {kCmdFitHeight, 1.2f, "600/500"},
    };
    for (const Case& c : cases) {
        ASSERT_TRUE(doc_.OnCommand(c.command)) << c.why;
        EXPECT_EQ(doc_.zoom(), c.zoom) << c.why;
    }
    // A fit value is doubled once beyond 2.0, then More is disabled.
    EXPECT_TRUE(doc_.IsCommandEnabled(kCmdZoomIn));
    ASSERT_TRUE(doc_.OnCommand(kCmdZoomIn));
    EXPECT_EQ(doc_.zoom(), 2.4f);
    EXPECT_FALSE(doc_.IsCommandEnabled(kCmdZoomIn));
    EXPECT_EQ(windows_.pane(kPaneZoom), "240.00%");

    // An empty client area would give a zoom of 0: refused.
    workspace_.set_picture_client_rect({0, 0, 0, 0});
    ASSERT_TRUE(doc_.OnCommand(kCmdFitWidth));
    EXPECT_EQ(doc_.zoom(), 2.4f);
}

TEST_F(DocTest, ZoomAndNavigationNeedThePictureView) {
    list_folder(3);
    for (int id : {kCmdZoomIn, kCmdZoomOut, kCmdFullSize, kCmdFitImage, kCmdFitWidth, kCmdFitHeight,
                   kCmdNext, kCmdPrevious, kCmdLock}) {
        EXPECT_FALSE(doc_.IsCommandEnabled(id)) << id;
    }
    doc_.ZoomIn();
    EXPECT_EQ(doc_.zoom(), 1.0f);
    show_picture();
    EXPECT_FALSE(doc_.IsCommandEnabled(kCmdLock));
    EXPECT_FALSE(doc_.OnCommand(kCmdLock));
    EXPECT_TRUE(doc_.IsCommandEnabled(kCmdNext));
}

TEST_F(DocTest, SortCommandsResortTheActiveListAndReloadTheGrid) {
    // No list: nothing happens, yet the commands stay enabled.
    EXPECT_TRUE(doc_.IsCommandEnabled(kCmdBySize));
    EXPECT_TRUE(doc_.OnCommand(kCmdBySize));
    EXPECT_EQ(doc_.SourceMode(), kSourceNone);

    list_folder(3);
    struct Case {
        int command;
        int32_t key;
        bool forward;
    };
    const Case cases[] = {
        {kCmdBySize, SORT_SIZE, true},  {kCmdByType, SORT_TYPE, true},
        {kCmdByDate, SORT_DATE, true},  {kCmdByStar, SORT_STAR, true},
        {kCmdByHits, SORT_HITS, true},  {kCmdReverse, SORT_HITS, false},
        {kCmdByName, SORT_NAME, false}, {kCmdForward, SORT_NAME, true},
    };
    for (const Case& c : cases) {
        windows_.clear_calls();
        ASSERT_TRUE(doc_.OnCommand(c.command));
        EXPECT_EQ(doc_.folder_list()->Key(), c.key);
        EXPECT_EQ(doc_.folder_list()->IsForward(), c.forward);
        EXPECT_EQ(windows_.calls(), (std::vector<std::string>{"StartThumbnailLoad"}));
    }

    send_list_ready(kListDatabase);
    ASSERT_TRUE(doc_.OnCommand(kCmdByDate));
    EXPECT_EQ(doc_.engine()->engine_sort_key(), SORT_DATE);
    ASSERT_TRUE(doc_.OnCommand(kCmdForward));
    EXPECT_EQ(doc_.engine()->engine_direction(), kSortForward);
    EXPECT_EQ(doc_.folder_list()->Key(), SORT_NAME);  // the folder list is left alone
}

TEST_F(DocTest, BadListReadyAndPanelRecordsAreIgnored) {
    hub_.Send(MSG_LIST_READY, nullptr);
    ListReadyNote wrong_magic;
    wrong_magic.magic = 0x13a87002;
    wrong_magic.kind = kListFolder;
    hub_.Send(MSG_LIST_READY, &wrong_magic);
    send_list_ready(0x33);
    EXPECT_EQ(doc_.SourceMode(), kSourceNone);
    EXPECT_TRUE(windows_.calls().empty());

    send_list_ready(kListFolder);
    hub_.Send(MSG_PANEL_PAGE, nullptr);
    PanelPageNote wrong;
    wrong.magic = 0;
    std::strcpy(wrong.title, "DB");
    hub_.Send(MSG_PANEL_PAGE, &wrong);
    PanelPageNote unterminated;
    std::memset(unterminated.title, 'x', sizeof(unterminated.title));
    hub_.Send(MSG_PANEL_PAGE, &unterminated);
    EXPECT_EQ(doc_.SourceMode(), kSourceFolder);
}

TEST_F(DocTest, APanelSwitchBeforeAnyListChangesNothing) {
    send_panel("DB");
    send_panel("Dir");
    EXPECT_EQ(doc_.SourceMode(), kSourceNone);
    EXPECT_FALSE(workspace_.thumbnailsStale());
    EXPECT_TRUE(windows_.calls().empty());
}

TEST_F(DocTest, ADatabaseListWhileAFolderPictureIsShownReturnsToTheGrid) {
    list_folder(3);
    show_picture();
    send_list_ready(kListDatabase);
    EXPECT_EQ(doc_.SourceMode(), kSourceDatabase);
    EXPECT_FALSE(workspace_.pictureShown());
    EXPECT_EQ(windows_.calls(),
              (std::vector<std::string>{"ShowThumbnailView", "StartThumbnailLoad"}));
    EXPECT_EQ(notes_.view_targets, (std::vector<int32_t>{kTargetThumbnails}));
}

TEST_F(DocTest, PanelSwitchesReturnToEachModesOwnView) {
    list_folder(3);
    send_list_ready(kListDatabase);  // database mode, grid shown
    windows_.clear_calls();

    // To folder mode: never left before, so its grid is reloaded.
    send_panel("Dir");
    EXPECT_EQ(doc_.SourceMode(), kSourceFolder);
    EXPECT_EQ(doc_.database_view(), kViewThumbnails);
    EXPECT_TRUE(workspace_.thumbnailsStale());
    EXPECT_EQ(windows_.calls(),
              (std::vector<std::string>{"RepaintThumbnails", "StartThumbnailLoad"}));

    // A folder picture is shown, then the panel goes to the database.
    ASSERT_EQ(doc_.SetCurrentPosition(1), 0);
    show_picture();
    send_panel("DB");
    EXPECT_EQ(doc_.SourceMode(), kSourceDatabase);
    EXPECT_EQ(doc_.folder_view(), kViewPicture);
    EXPECT_FALSE(workspace_.pictureShown());
    EXPECT_EQ(windows_.calls(),
              (std::vector<std::string>{"ShowThumbnailView", "StartThumbnailLoad"}));
    windows_.clear_calls();

    // Back to the folder: its picture view returns, at its own position.
    const int posted = doc_.requests_posted();
    send_panel("Dir");
    EXPECT_EQ(doc_.SourceMode(), kSourceFolder);
    EXPECT_EQ(windows_.calls(), (std::vector<std::string>{"ShowPictureView"}));
    EXPECT_TRUE(workspace_.pictureShown());
    ASSERT_EQ(doc_.requests_posted(), posted + 1);
    EXPECT_EQ(ref_name(doc_.last_posted().current), "p1.png");
    EXPECT_EQ(notes_.view_targets, (std::vector<int32_t>{kTargetThumbnails, kTargetPicture}));

    // The same page again, and pages the document does not follow.
    windows_.clear_calls();
    send_panel("Dir");
    send_panel("Album");
    send_panel("Class");
    EXPECT_EQ(doc_.SourceMode(), kSourceFolder);
    EXPECT_TRUE(windows_.calls().empty());
}

TEST_F(DocTest, OpeningOrClosingADatabaseDropsItsCachedPictures) {
    PictureRef item;
    item.valid = 1;
    item.kind = kRefDatabase;
    item.db_slot = 5;
    item.item_id = 3;
    PictureRef file;
    file.valid = 1;
    file.kind = kRefFile;
    std::strcpy(file.path, "/x.png");
    file.path_length = 6;
    QImage image(2, 2, QImage::Format_RGB32);
    for (uint32_t code : {MSG_DB_OPEN, MSG_DB_CLOSE}) {
        (void)doc_.picture_cache()->store(file, image, kSlotNeighbour);
        (void)doc_.picture_cache()->store(item, image, kSlotCurrent);
        int32_t slot = 31;  // a slot no store has opened: the engine refuses it
        hub_.Send(code, &slot);
        EXPECT_LT(doc_.picture_cache()->find(item), 0) << code;
        EXPECT_GE(doc_.picture_cache()->find(file), 0) << code;
    }
}

}  // namespace
}  // namespace lorvex

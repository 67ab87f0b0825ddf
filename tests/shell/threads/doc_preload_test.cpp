// The document driving its preloader over a real folder, with a decoder
// that decodes for real but can be held mid-decode.
#include <gtest/gtest.h>

#include <QImage>
#include <string>
#include <thread>
#include <vector>

#include "browse/folder_scan.h"
#include "shell/doc_fakes.h"
#include "shell/picture_decoder.h"
#include "shell/quillet_doc.h"
#include "support/temp_dir.h"

namespace lorvex {
namespace {

using testing::current_name;
using testing::HeldDecoder;
using testing::RecordingWindows;

class DocPreloadTest : public ::testing::Test {
  protected:
    DocPreloadTest()
        : workspace_(dir_.path()),
          windows_(&workspace_),
          held_([](const PictureRef& ref, QImage* picture, std::string* error) {
              return DecodePicture(nullptr, ref, picture, error);
          }),
          doc_(&hub_, &workspace_, &windows_, held_.decoder()) {
        windows_.on_show_picture = [this] { doc_.ShowCurrentPicture(); };
    }
    ~DocPreloadTest() override { doc_.StopPreloader(); }

    // p0.png .. p<count-1>.png, each i + 1 pixels wide, listed by name forward.
    void list_folder(int count) {
        const std::string folder = dir_.file("pics");
        for (int i = 0; i < count; ++i) {
            dir_.write("pics/p" + std::to_string(i) + ".png", "");
            QImage image(i + 1, 3, QImage::Format_RGB32);
            image.fill(Qt::red);
            ASSERT_TRUE(image.save(
                QString::fromStdString(folder + "/p" + std::to_string(i) + ".png"), "PNG"));
        }
        ASSERT_EQ(ScanFolder(folder.c_str(), &hub_), ScanOutcome::kListed);
        ASSERT_EQ(doc_.SetForward(), 0);
    }

    // Opens the picture view at position.
    void show_at(int position) {
        ASSERT_EQ(doc_.SetCurrentPosition(position), 0);
        windows_.ShowPictureView();
    }

    bool wait_current(const std::string& name) {
        return windows_.wait_until([&] { return current_name(doc_.picture_cache()) == name; });
    }
    bool wait_asked_for(const std::string& name) {
        return windows_.wait_until([&] {
            for (const std::string& asked : held_.asked()) {
                if (asked == name) return true;
            }
            return false;
        });
    }
    std::string name_at(int position) {
        char name[kMaxPath] = {};
        EXPECT_EQ(doc_.NameAt(position, name, sizeof(name)), 0);
        return name;
    }
    int times_asked(const std::string& name) {
        int n = 0;
        for (const std::string& asked : held_.asked()) n += asked == name ? 1 : 0;
        return n;
    }

    testing::TempDir dir_;
    MessageHub hub_;
    Workspace workspace_;
    RecordingWindows windows_;
    HeldDecoder held_;
    CQuilletDoc doc_;
};

TEST_F(DocPreloadTest, PagingBackAndForthAlwaysLeavesAPictureOnScreen) {
    list_folder(5);
    show_at(4);
    ASSERT_TRUE(wait_current("p4.png"));
    for (int expected = 3; expected >= 0; --expected) {
        doc_.ShowPrevious();
        // Until the new picture is ready, the previous one stays current.
        EXPECT_NE(current_name(doc_.picture_cache()), "");
        ASSERT_TRUE(wait_current("p" + std::to_string(expected) + ".png"));
    }
    doc_.ShowNext();
    EXPECT_NE(current_name(doc_.picture_cache()), "");
    ASSERT_TRUE(wait_current("p1.png"));
    EXPECT_TRUE(windows_.reports().empty());
}

TEST_F(DocPreloadTest, NextThenPreviousFindsTheEarlierPictureInTheCache) {
    list_folder(5);
    show_at(0);
    ASSERT_TRUE(wait_current("p0.png"));
    held_.hold();
    doc_.ShowNext();
    ASSERT_TRUE(held_.wait_asked(2));  // p1 is being decoded
    doc_.ShowPrevious();
    held_.let_go();
    ASSERT_TRUE(wait_current("p0.png"));
    // p0 came from the cache; p1's neighbours were never wanted.
    EXPECT_EQ(held_.asked(), (std::vector<std::string>{"p0.png", "p1.png"}));
    EXPECT_GE(doc_.picture_cache()->find(doc_.last_posted().current), 0);
}

TEST_F(DocPreloadTest, ACachedNeighbourBecomesCurrentWithoutDecoding) {
    list_folder(5);
    show_at(0);
    doc_.ShowNext();  // p1, neighbours p2 and p3
    ASSERT_TRUE(wait_asked_for("p3.png"));
    doc_.ShowNext();  // p2 from the cache, then p4 as a new neighbour
    ASSERT_TRUE(wait_current("p2.png"));
    ASSERT_TRUE(wait_asked_for("p4.png"));
    EXPECT_EQ(times_asked("p2.png"), 1);
    EXPECT_EQ(times_asked("p3.png"), 1);
}

TEST_F(DocPreloadTest, TenQuickMovesDuringADecodeDecodeOnlyTheFirstAndTheTenth) {
    list_folder(14);  // by name: p0, p1, p10, p11, p12, p13, p2, ...
    show_at(0);
    ASSERT_TRUE(wait_current(name_at(0)));
    held_.hold();
    doc_.ShowNext();  // position 1
    ASSERT_TRUE(held_.wait_asked(2));
    for (int i = 0; i < 9; ++i) doc_.ShowNext();  // positions 2 .. 10
    EXPECT_EQ(doc_.CurrentPosition(), 10);
    held_.let_go();
    ASSERT_TRUE(wait_current(name_at(10)));
    ASSERT_TRUE(wait_asked_for(name_at(12)));
    EXPECT_EQ(held_.asked(), (std::vector<std::string>{name_at(0), name_at(1), name_at(10),
                                                       name_at(11), name_at(12)}));
}

TEST_F(DocPreloadTest, AnUndecodableFileIsReportedOnceAndThePictureStays) {
    list_folder(2);
    dir_.write("pics/p2.png", "not a png at all");
    ASSERT_EQ(ScanFolder(dir_.file("pics").c_str(), &hub_), ScanOutcome::kListed);
    show_at(1);
    ASSERT_TRUE(wait_current("p1.png"));
    const int repaints = windows_.picture_repaints();
    doc_.ShowNext();
    ASSERT_TRUE(windows_.wait_until([&] { return !windows_.reports().empty(); }));
    ASSERT_TRUE(windows_.wait_until([&] { return windows_.picture_repaints() > repaints; }));
    EXPECT_EQ(windows_.reports().size(), 1u);
    EXPECT_EQ(current_name(doc_.picture_cache()), "p1.png");
}

TEST_F(DocPreloadTest, DestroyingTheDocumentDuringADecodeEndsCleanly) {
    list_folder(3);
    held_.hold();
    show_at(0);
    ASSERT_TRUE(held_.wait_asked(1));
    // The decode may end before or while the stop waits for it.
    std::thread releaser([&] { held_.let_go(); });
    doc_.StopPreloader();
    releaser.join();
    doc_.ShowNext();  // no thread any more: the request just waits
    EXPECT_EQ(held_.asked().size(), 1u);
}

}  // namespace
}  // namespace lorvex

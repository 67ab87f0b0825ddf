// The preloader thread against a decoder that can be held mid-decode.
#include "shell/preloader.h"

#include <gtest/gtest.h>

#include <QImage>
#include <cstring>
#include <string>
#include <thread>
#include <vector>

#include "shell/doc_fakes.h"
#include "shell/picture_decoder.h"
#include "support/temp_dir.h"

namespace lorvex {
namespace {

using testing::current_name;
using testing::HeldDecoder;
using testing::RecordingWindows;

PictureRef file_ref(const std::string& path) {
    PictureRef ref;
    ref.valid = 1;
    ref.kind = kRefFile;
    std::memcpy(ref.path, path.data(), path.size());
    ref.path_length = static_cast<int32_t>(path.size());
    return ref;
}

class PreloaderTest : public ::testing::Test {
  protected:
    PreloaderTest()
        : workspace_(dir_.path()),
          windows_(&workspace_),
          held_([](const PictureRef& ref, QImage* picture, std::string* error) {
              return DecodePicture(nullptr, ref, picture, error);
          }),
          preloader_(&cache_, &mailbox_, held_.decoder()) {
        preloader_.set_windows(&windows_);
        EXPECT_EQ(preloader_.start(), 0);
    }

    // p<n>.png, n + 1 pixels wide, so a decoded picture tells its file.
    std::string picture_file(int n) {
        const std::string path = dir_.file("p" + std::to_string(n) + ".png");
        QImage image(n + 1, 2, QImage::Format_RGB32);
        image.fill(Qt::darkCyan);
        EXPECT_TRUE(image.save(QString::fromStdString(path), "PNG"));
        return path;
    }

    PreloadRequest request(int current, std::vector<int> neighbours) {
        PreloadRequest r;
        r.live = 1;
        r.current = file_ref(path_of(current));
        r.neighbour_count = static_cast<int32_t>(neighbours.size());
        for (size_t i = 0; i < neighbours.size(); ++i) {
            r.neighbours[i] = file_ref(path_of(neighbours[i]));
        }
        return r;
    }

    std::string path_of(int n) { return dir_.file("p" + std::to_string(n) + ".png"); }

    void post(const PreloadRequest& r) { ASSERT_EQ(preloader_.post(&r), 0); }

    bool wait_current(const std::string& name) {
        return windows_.wait_until([&] { return current_name(&cache_) == name; });
    }
    bool wait_asked(size_t count) { return held_.wait_asked(count); }

    testing::TempDir dir_;
    Workspace workspace_;
    RecordingWindows windows_;
    HeldDecoder held_;
    RequestMailbox mailbox_;
    PictureCache cache_;
    PreloaderThread preloader_;
};

TEST_F(PreloaderTest, DecodesTheCurrentPictureThenItsNeighbours) {
    for (int n = 0; n < 3; ++n) picture_file(n);
    post(request(0, {1, 2}));
    ASSERT_TRUE(wait_current("p0.png"));
    ASSERT_TRUE(windows_.wait_until([&] { return cache_.find(file_ref(path_of(2))) >= 0; }));
    EXPECT_EQ(held_.asked(), (std::vector<std::string>{"p0.png", "p1.png", "p2.png"}));
    EXPECT_GE(cache_.find(file_ref(path_of(1))), 0);
    {
        CurrentPicture current(&cache_);
        ASSERT_NE(current.picture(), nullptr);
        EXPECT_EQ(current.picture()->width(), 1);
    }
    EXPECT_GE(windows_.picture_repaints(), 1);
    EXPECT_TRUE(windows_.reports().empty());
}

TEST_F(PreloaderTest, TenQuickRequestsDuringADecodeDecodeOnlyTheFirstAndTheLast) {
    for (int n = 1; n <= 12; ++n) picture_file(n);
    held_.hold();
    post(request(1, {2, 3}));
    ASSERT_TRUE(wait_asked(1));  // the first decode is running
    for (int n = 2; n <= 10; ++n) post(request(n, {n + 1, n + 2}));
    held_.let_go();

    ASSERT_TRUE(wait_current("p10.png"));
    ASSERT_TRUE(windows_.wait_until([&] { return held_.asked().size() >= 4; }));
    // The tenth request's neighbours follow; pictures 2 to 9 never decode.
    EXPECT_EQ(held_.asked(), (std::vector<std::string>{"p1.png", "p10.png", "p11.png", "p12.png"}));
}

TEST_F(PreloaderTest, ACachedNeighbourBecomesCurrentWithoutDecoding) {
    for (int n = 0; n < 3; ++n) picture_file(n);
    post(request(0, {1, 2}));
    ASSERT_TRUE(windows_.wait_until([&] { return cache_.find(file_ref(path_of(2))) >= 0; }));
    const int neighbour_slot = cache_.find(file_ref(path_of(1)));
    const int former_slot = cache_.find(file_ref(path_of(0)));
    const int repaints = windows_.picture_repaints();

    post(request(1, {}));
    ASSERT_TRUE(wait_current("p1.png"));
    ASSERT_TRUE(windows_.wait_until([&] { return windows_.picture_repaints() > repaints; }));
    EXPECT_EQ(held_.asked().size(), 3u);
    EXPECT_EQ(cache_.snapshot(neighbour_slot).state, kSlotCurrent);
    EXPECT_EQ(cache_.snapshot(former_slot).state, kSlotUnused);
}

TEST_F(PreloaderTest, WithSlotsOneAndTwoBusyTheOldestOtherStampGoesEvenSlotZero) {
    for (int n = 0; n < 5; ++n) picture_file(n);
    // 0 -> slot 2 (stamp 0), 1 -> slot 1 (stamp 1), 2 -> slot 0 (stamp 2).
    post(request(0, {1, 2}));
    ASSERT_TRUE(windows_.wait_until([&] { return cache_.find(file_ref(path_of(2))) == 0; }));
    // 1 becomes current from the cache; 3 takes slot 2 (stamp 3), the last
    // of slots 1 and 2 that was not needed.
    post(request(1, {2, 3}));
    ASSERT_TRUE(windows_.wait_until([&] { return cache_.find(file_ref(path_of(3))) == 2; }));
    // Slot 1 (current, the oldest stamp) and slot 2 (neighbour) are busy: 4
    // evicts slot 0, the oldest of the slots that are not current.
    post(request(4, {}));
    ASSERT_TRUE(wait_current("p4.png"));
    EXPECT_EQ(cache_.find(file_ref(path_of(4))), 0);
    EXPECT_LT(cache_.find(file_ref(path_of(2))), 0);
    EXPECT_EQ(cache_.find(file_ref(path_of(1))), 1);
    EXPECT_EQ(cache_.find(file_ref(path_of(3))), 2);
    EXPECT_EQ(held_.asked(),
              (std::vector<std::string>{"p0.png", "p1.png", "p2.png", "p3.png", "p4.png"}));
}

TEST_F(PreloaderTest, AnUndecodableFileIsReportedOnceAndThePreviousPictureStays) {
    picture_file(0);
    dir_.write("broken.png", "this is not a picture");
    post(request(0, {}));
    ASSERT_TRUE(wait_current("p0.png"));

    PreloadRequest bad;
    bad.live = 1;
    bad.current = file_ref(dir_.file("broken.png"));
    post(bad);
    ASSERT_TRUE(windows_.wait_until([&] { return !windows_.reports().empty(); }));
    // Let the thread finish its pass: it goes back to sleep after the report.
    ASSERT_TRUE(windows_.wait_until([&] { return windows_.picture_repaints() >= 2; }));
    EXPECT_EQ(windows_.reports().size(), 1u);
    EXPECT_FALSE(windows_.reports()[0].empty());
    EXPECT_EQ(current_name(&cache_), "p0.png");
    EXPECT_LT(cache_.find(bad.current), 0);
}

TEST_F(PreloaderTest, ANeighbourThatFailsIsPassedOverQuietly) {
    picture_file(0);
    dir_.write("broken.png", "not a picture either");
    PreloadRequest r = request(0, {});
    r.neighbour_count = 1;
    r.neighbours[0] = file_ref(dir_.file("broken.png"));
    post(r);
    ASSERT_TRUE(wait_current("p0.png"));
    ASSERT_TRUE(wait_asked(2));
    // A later request proves the neighbour pass has ended.
    picture_file(1);
    post(request(1, {}));
    ASSERT_TRUE(wait_current("p1.png"));
    EXPECT_TRUE(windows_.reports().empty());
}

TEST_F(PreloaderTest, StopsWhileADecodeRuns) {
    picture_file(0);
    picture_file(1);
    held_.hold();
    post(request(0, {1}));
    ASSERT_TRUE(wait_asked(1));
    std::thread stopper([&] { preloader_.stop(); });
    EXPECT_TRUE(windows_.wait_until([&] { return preloader_.stop_requested(); }));
    held_.let_go();
    stopper.join();
    EXPECT_FALSE(preloader_.running());
    // The decode that ran was completed; nothing after it was started.
    EXPECT_EQ(held_.asked(), (std::vector<std::string>{"p0.png"}));
    EXPECT_EQ(preloader_.post(nullptr), -1);
}

TEST_F(PreloaderTest, ARequestThatIsNotLiveEndsTheThread) {
    PreloadRequest end;  // live 0
    post(end);
    ASSERT_TRUE(windows_.wait_until([&] { return !preloader_.running(); }));
    EXPECT_TRUE(held_.asked().empty());
}

TEST(PreloaderStart, RefusesASecondStartAndStopsTwice) {
    PictureCache cache;
    RequestMailbox mailbox;
    PreloaderThread preloader(&cache, &mailbox,
                              [](const PictureRef&, QImage*, std::string*) { return 0; });
    ASSERT_EQ(preloader.start(), 0);
    EXPECT_TRUE(preloader.running());
    EXPECT_EQ(preloader.start(), -1);
    preloader.stop();
    preloader.stop();
    EXPECT_FALSE(preloader.running());
}

}  // namespace
}  // namespace lorvex

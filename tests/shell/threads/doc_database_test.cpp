// The document in database mode: a plain private database made with the
// store, opened through the hub, its items shown through the engine and the
// preloader.
#include <gtest/gtest.h>

#include <QBuffer>
#include <QImage>
#include <cstring>
#include <string>

#include "engine/engine.h"
#include "engine/engine_records.h"
#include "shell/doc_fakes.h"
#include "shell/quillet_doc.h"
#include "store/store.h"
#include "support/temp_dir.h"

namespace lorvex {
namespace {

using testing::current_name;
using testing::RecordingWindows;

constexpr int32_t kSlot = 3;

std::string png_bytes(int width) {
    QImage image(width, 4, QImage::Format_RGB32);
    image.fill(Qt::green);
    QByteArray bytes;
    QBuffer buffer(&bytes);
    buffer.open(QIODevice::WriteOnly);
    image.save(&buffer, "PNG");
    return bytes.toStdString();
}

class DocDatabaseTest : public ::testing::Test {
  protected:
    DocDatabaseTest() : workspace_(dir_.path()), windows_(&workspace_) {
        store_init();
        doc_ = std::make_unique<CQuilletDoc>(&hub_, &workspace_, &windows_);
        windows_.on_show_picture = [this] { doc_->ShowCurrentPicture(); };
    }
    ~DocDatabaseTest() override {
        doc_->StopPreloader();
        doc_.reset();
        (void)store_close(kSlot);
    }

    // Item id, its data and its name (none when empty); ids must rise.
    struct Item {
        int32_t id;
        std::string data;
        std::string name;
    };

    void create_database(const std::vector<Item>& items) {
        const std::string path = dir_.file("pictures.db");
        ASSERT_EQ(store_create(path.c_str(), kSlot, 1, nullptr, 0, nullptr, 0, 0), 0);
        int32_t next = 1;
        for (const Item& item : items) {
            const uint32_t none[4] = {};
            ASSERT_EQ(
                store_insert_item(kSlot, item.id, none, 4, static_cast<int32_t>(item.data.size()),
                                  1000 + item.id, 0, 0, none, 4, none, 4),
                0);
            const blob_record data{item.id,
                                   reinterpret_cast<uint8_t*>(const_cast<char*>(item.data.data())),
                                   static_cast<uint32_t>(item.data.size())};
            ASSERT_EQ(store_put_data(kSlot, &data, 1), 0);
            if (!item.name.empty()) {
                char record[kNameRecordSize] = {};
                std::memcpy(record, item.name.data(), item.name.size());
                const blob_record name{item.id, reinterpret_cast<uint8_t*>(record),
                                       static_cast<uint32_t>(kNameRecordSize)};
                ASSERT_EQ(store_put_record(kSlot, &name, 1), 0);
            }
            while (next <= item.id) {
                ASSERT_EQ(store_advance_item_id(kSlot), 0);
                ++next;
            }
        }
        slot_request open{kSlot};
        hub_.Send(MSG_DB_OPEN, &open);
        ASSERT_EQ(doc_->SourceMode(), kSourceDatabase);
        ASSERT_EQ(doc_->SetForward(), 0);  // by size, smallest first
    }

    int position_of(int32_t item_id) {
        for (int p = 0; p < doc_->ListCount(); ++p) {
            int32_t slot = 0;
            int32_t id = 0;
            if (doc_->ItemAt(p, &slot, &id) == 0 && id == item_id) return p;
        }
        return -1;
    }

    bool wait_current(int32_t item_id) {
        const std::string name = std::to_string(kSlot) + ":" + std::to_string(item_id);
        return windows_.wait_until([&] { return current_name(doc_->picture_cache()) == name; });
    }

    testing::TempDir dir_;
    MessageHub hub_;
    Workspace workspace_;
    RecordingWindows windows_;
    std::unique_ptr<CQuilletDoc> doc_;
};

TEST_F(DocDatabaseTest, AnItemIsDecodedFromItsDataAsTheTypeOfItsName) {
    create_database({{1, png_bytes(5), "first.png"}, {2, png_bytes(60), "second.PNG"}});
    ASSERT_EQ(doc_->ListCount(), 2);
    ASSERT_EQ(doc_->SetCurrentPosition(position_of(2)), 0);
    EXPECT_EQ(windows_.pane(kPaneName), "second.PNG");
    EXPECT_EQ(windows_.pane(kPanePosition), std::to_string(position_of(2) + 1) + "/2");

    windows_.ShowPictureView();
    ASSERT_TRUE(wait_current(2));
    CurrentPicture current(doc_->picture_cache());
    ASSERT_NE(current.picture(), nullptr);
    EXPECT_EQ(current.picture()->width(), 60);
    EXPECT_EQ(current.slot()->path_length, 0);
}

TEST_F(DocDatabaseTest, AnItemWithoutANameShowsNothingAndReportsNothing) {
    create_database({{1, png_bytes(5), "first.png"}, {2, png_bytes(60), ""}});
    ASSERT_EQ(doc_->SetCurrentPosition(position_of(1)), 0);
    windows_.ShowPictureView();
    ASSERT_TRUE(wait_current(1));
    const int repaints = windows_.picture_repaints();
    ASSERT_EQ(doc_->SetCurrentPosition(position_of(2)), 0);
    doc_->ShowCurrentPicture();
    ASSERT_TRUE(windows_.wait_until([&] { return windows_.picture_repaints() > repaints; }));
    EXPECT_TRUE(windows_.reports().empty());
    EXPECT_EQ(current_name(doc_->picture_cache()), std::to_string(kSlot) + ":1");
}

TEST_F(DocDatabaseTest, UndecodableItemDataIsReportedOnce) {
    create_database({{1, png_bytes(5), "first.png"}, {2, "garbage, not a png", "broken.png"}});
    ASSERT_EQ(doc_->SetCurrentPosition(position_of(2)), 0);
    windows_.ShowPictureView();
    ASSERT_TRUE(windows_.wait_until([&] { return !windows_.reports().empty(); }));
    EXPECT_EQ(windows_.reports().size(), 1u);
    EXPECT_EQ(current_name(doc_->picture_cache()), "");
}

TEST_F(DocDatabaseTest, StarsHitsAndClassesReachTheItemAtAPosition) {
    create_database({{1, png_bytes(5), "first.png"}, {2, png_bytes(9), "second.png"}});
    const int position = position_of(2);
    ASSERT_EQ(doc_->SetStar(position, 4), 0);
    ASSERT_EQ(doc_->CountHit(position, false), 0);
    ASSERT_EQ(doc_->CountHit(position, false), 0);
    item_record item{};
    ASSERT_EQ(doc_->engine()->engine_find_item(kSlot, 2, &item), 0);
    EXPECT_EQ(item.star, 4);
    EXPECT_EQ(item.hits, 2);
    ASSERT_EQ(doc_->CountHit(position, true), 0);
    ASSERT_EQ(doc_->engine()->engine_find_item(kSlot, 2, &item), 0);
    EXPECT_EQ(item.hits, 0);
    EXPECT_EQ(doc_->SetStar(5, 1), -1);  // no item there
    EXPECT_EQ(doc_->SetStar(-1, 1), -1);

    EXPECT_EQ(doc_->AddToClass(kSlot, 2, "trip"), 1);
    EXPECT_EQ(doc_->AddToClass(kSlot, 1, "trip"), 0);
    EXPECT_GE(doc_->RemoveClass(kSlot, "trip"), 0);
    EXPECT_EQ(doc_->AddToAlbum(kSlot, 1, "best"), 1);
    EXPECT_GE(doc_->RemoveAlbum(kSlot, "best"), 0);
}

TEST_F(DocDatabaseTest, ClosingTheDatabaseDropsItsPicturesAndTheList) {
    create_database({{1, png_bytes(5), "first.png"}});
    windows_.ShowPictureView();
    ASSERT_TRUE(wait_current(1));
    ASSERT_EQ(store_close(kSlot), 0);
    slot_request close{kSlot};
    hub_.Send(MSG_DB_CLOSE, &close);
    EXPECT_EQ(current_name(doc_->picture_cache()), "");
    EXPECT_EQ(doc_->ListCount(), 0);
    EXPECT_FALSE(workspace_.pictureShown());  // the new (empty) list shows the grid
}

}  // namespace
}  // namespace lorvex

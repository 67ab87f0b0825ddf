#include "engine/transfer.h"

#include <gtest/gtest.h>
#include <sys/stat.h>
#include <unistd.h>

#include <cstring>
#include <string>
#include <tuple>
#include <vector>

#include "browse/file_time.h"
#include "endec_subsys/endec.h"
#include "engine/engine.h"
#include "engine/engine_records.h"
#include "engine/picture_fixtures.h"
#include "hub/messages.h"
#include "store/store.h"
#include "support/temp_dir.h"

namespace lorvex {
namespace {

using testing::encode_picture;
using testing::read_bytes;
using testing::two_halves;
using testing::write_bytes;

const uint32_t kTwoCiphers[] = {ENDEC_CAMELLIA, ENDEC_TWOFISH};
constexpr char kPassword[] = "secret";

class TransferTest : public ::testing::Test {
  protected:
    void SetUp() override {
        store_init();
        ASSERT_TRUE(make_db(0, "a.db", false));
        ASSERT_EQ(engine.engine_load_slot(0), 0);
        ASSERT_EQ(::mkdir(out_dir().c_str(), 0755), 0);
    }
    void TearDown() override {
        for (int32_t slot = 0; slot < 4; ++slot) {
            while (store_close(slot) == 0) {
            }
        }
    }

    bool make_db(int32_t slot, const std::string& name, bool enciphered) {
        const std::string path = dir.file(name);
        return enciphered
                   ? store_create(path.c_str(), slot, kStoreEnciphered, kPassword,
                                  static_cast<int32_t>(std::strlen(kPassword)), kTwoCiphers, 2,
                                  0) == 0
                   : store_create(path.c_str(), slot, kStorePlain, nullptr, 0, nullptr, 0, 0) == 0;
    }

    std::string out_dir() const { return dir.file("out"); }

    // A picture file in the test folder; its path.
    std::string picture(const std::string& name, int32_t format, int width = 400,
                        int height = 300) {
        EXPECT_TRUE(testing::write_picture(dir.file(name), two_halves(width, height), format));
        return dir.file(name);
    }

    int32_t rows(int32_t slot) {
        int32_t count = -1;
        store_free_result(store_query_range(slot, 0, 1 << 30, 100, &count));
        return count;
    }

    std::string data_of(int32_t slot, int32_t item_id) {
        uint8_t* buffer = nullptr;
        uint32_t length = 0;
        if (store_get_data(slot, item_id, &buffer, &length) != 0) return {};
        std::string bytes(reinterpret_cast<char*>(buffer), length);
        store_free_buffer(buffer);
        return bytes;
    }

    std::string thumbnail_of(int32_t slot, int32_t item_id) {
        uint8_t* buffer = nullptr;
        uint32_t length = 0;
        if (store_get_thumbnail(slot, item_id, &buffer, &length) != 0) return {};
        std::string bytes(reinterpret_cast<char*>(buffer), length);
        store_free_buffer(buffer);
        return bytes;
    }

    std::string name_of(int32_t slot, int32_t item_id) {
        blob_record* record = store_get_record(slot, item_id);
        if (!record) return {};
        std::string bytes(reinterpret_cast<char*>(record->data), record->length);
        store_free_record(record);
        return bytes;
    }

    item_record row_of(int32_t slot, int32_t item_id) {
        item_record row{};
        int32_t count = 0;
        query_result* result = store_query_range(slot, item_id, item_id, 1, &count);
        if (result && count == 1) row = result->items[0];
        store_free_result(result);
        return row;
    }

    void rename_item(int32_t slot, int32_t item_id, const std::string& name) {
        std::string record(kNameRecordSize, '\0');
        record.replace(0, name.size(), name);
        blob_record entry{item_id, reinterpret_cast<uint8_t*>(record.data()),
                          static_cast<uint32_t>(record.size())};
        ASSERT_EQ(store_delete_record(slot, item_id), 0);
        ASSERT_EQ(store_put_record(slot, &entry, 1), 0);
    }

    lorvex::testing::TempDir dir;
    db_engine engine{nullptr};
};

TEST_F(TransferTest, AddedFileLeavesEveryPieceAndEntersTheOrder) {
    const std::string path = picture("photo.png", kFormatPng);
    const std::string bytes = read_bytes(path);
    FileStatus status;
    ASSERT_EQ(file_status(path.c_str(), &status), 0);

    const transfer_result result = engine_add_file(&engine, 0, path.c_str());
    ASSERT_EQ(result.status, kTransferDone) << transfer_status_text(result.status);
    EXPECT_EQ(result.item_id, 1);

    const item_record row = row_of(0, 1);
    EXPECT_EQ(row.id, 1);
    EXPECT_EQ(row.size, static_cast<int32_t>(bytes.size()));
    EXPECT_EQ(row.date, static_cast<int32_t>(status.created));
    EXPECT_EQ(row.star, 0);
    EXPECT_EQ(row.hits, 0);
    EXPECT_EQ(data_of(0, 1).substr(0, bytes.size()), bytes);

    // A PNG gets a PNG thumbnail of its fit.
    const std::string thumbnail = thumbnail_of(0, 1);
    ASSERT_GT(thumbnail.size(), 8u);
    EXPECT_EQ(thumbnail.substr(1, 3), "PNG");
    CodecImage decoded;
    ASSERT_TRUE(decoded.Decode(reinterpret_cast<const uint8_t*>(thumbnail.data()),
                               static_cast<uint32_t>(thumbnail.size()), kFormatPng));
    EXPECT_EQ(decoded.GetWidth(), 100);
    EXPECT_EQ(decoded.GetHeight(), 75);

    std::string expected_name(kNameRecordSize, '\0');
    expected_name.replace(0, 9, "photo.png");
    EXPECT_EQ(name_of(0, 1), expected_name);

    item_record indexed{};
    EXPECT_EQ(engine.engine_find_item(0, 1, &indexed), 0);
    EXPECT_EQ(indexed.size, row.size);
    EXPECT_EQ(engine.engine_order_count(), 1);
    EXPECT_EQ(store_next_item_id(0), 2);
}

std::string png_bomb_bytes() {
    std::string png = encode_picture(two_halves(8, 8), kFormatPng);
    auto put_be32 = [&](size_t at, uint32_t value) {
        for (int i = 0; i < 4; ++i) png[at + i] = static_cast<char>(value >> (24 - 8 * i));
    };
    put_be32(16, 100000);
    put_be32(20, 100000);
    uint32_t crc = 0xffffffffu;
    for (size_t i = 12; i < 29; ++i) {
        crc ^= static_cast<uint8_t>(png[i]);
        for (int k = 0; k < 8; ++k) crc = (crc >> 1) ^ (0xedb88320u & (0u - (crc & 1u)));
    }
    put_be32(29, ~crc);
    return png;
}

struct BadFile {
    const char* name;
    std::string bytes;  // written unless write is false
    bool write;
    int32_t expect;
};

// Nothing of a refused file is stored, and each one still uses up an id.
TEST_F(TransferTest, FilesThatCannotBeAddedLeaveNothingButAUsedId) {
    const std::string jpeg = encode_picture(two_halves(64, 64), kFormatJpeg);
    const BadFile cases[] = {
        {"notes.txt", "some notes", true, kTransferNotAPicture},
        {"empty.jpg", "", true, kTransferUndecodable},
        {"text.png", "this is not a picture", true, kTransferUndecodable},
        {"header.jpg", jpeg.substr(0, 20), true, kTransferUndecodable},
        {"bomb.png", png_bomb_bytes(), true, kTransferUndecodable},
        {"gone.jpg", "", false, kTransferUnreadable},
    };
    int32_t next = store_next_item_id(0);
    for (const BadFile& c : cases) {
        if (c.write) {
            ASSERT_TRUE(write_bytes(dir.file(c.name), c.bytes)) << c.name;
        }
        const transfer_result result = engine_add_file(&engine, 0, dir.file(c.name).c_str());
        EXPECT_EQ(result.status, c.expect) << c.name;
        EXPECT_EQ(result.item_id, next) << c.name;
        EXPECT_EQ(store_next_item_id(0), next + 1) << c.name;
        EXPECT_EQ(data_of(0, next), "") << c.name;
        EXPECT_EQ(thumbnail_of(0, next), "") << c.name;
        EXPECT_EQ(name_of(0, next), "") << c.name;
        ++next;
    }
    ASSERT_EQ(::mkdir(dir.file("folder.jpg").c_str(), 0755), 0);
    EXPECT_EQ(engine_add_file(&engine, 0, dir.file("folder.jpg").c_str()).status,
              kTransferUnreadable);
    EXPECT_EQ(rows(0), 0);
    EXPECT_EQ(engine.engine_order_count(), 0);
    EXPECT_EQ(engine_add_file(&engine, 5, dir.file("notes.txt").c_str()).status,
              kTransferBadRequest)
        << "slot 5 is not open";
}

TEST_F(TransferTest, AddingAFileTwiceMakesTwoItems) {
    const std::string path = picture("twice.jpg", kFormatJpeg);
    EXPECT_EQ(engine_add_file(&engine, 0, path.c_str()).item_id, 1);
    EXPECT_EQ(engine_add_file(&engine, 0, path.c_str()).item_id, 2);
    EXPECT_EQ(rows(0), 2);
    EXPECT_EQ(data_of(0, 1), data_of(0, 2));
    EXPECT_EQ(engine.engine_order_count(), 2);
}

// Capital letters in the extension select the same format and thumbnail.
TEST_F(TransferTest, CapitalisedExtensionGivesTheSameThumbnail) {
    const std::string lower = picture("lower.jpg", kFormatJpeg, 640, 480);
    ASSERT_TRUE(write_bytes(dir.file("UPPER.JPG"), read_bytes(lower)));
    ASSERT_EQ(engine_add_file(&engine, 0, lower.c_str()).status, kTransferDone);
    ASSERT_EQ(engine_add_file(&engine, 0, dir.file("UPPER.JPG").c_str()).status, kTransferDone);
    EXPECT_FALSE(thumbnail_of(0, 1).empty());
    EXPECT_EQ(thumbnail_of(0, 1), thumbnail_of(0, 2));
}

TEST_F(TransferTest, MetafileGetsAPngThumbnail) {
    ASSERT_TRUE(write_bytes(dir.file("drawing.wmf"), testing::wmf_two_halves()));
    const transfer_result result = engine_add_file(&engine, 0, dir.file("drawing.wmf").c_str());
    ASSERT_EQ(result.status, kTransferDone) << transfer_status_text(result.status);
    EXPECT_EQ(thumbnail_of(0, 1).substr(1, 3), "PNG");
}

TEST_F(TransferTest, CopyKeepsPositionsSizeAndDateAndResetsStarAndHits) {
    ASSERT_TRUE(make_db(1, "b.db", true));
    ASSERT_EQ(engine.engine_load_slot(1), 0);
    ASSERT_EQ(engine_add_file(&engine, 0, picture("x.jpg", kFormatJpeg).c_str()).status,
              kTransferDone);
    const uint32_t class_three[4] = {1u << 3, 0, 0, 0};
    const uint32_t album_forty[4] = {0, 1u << 8, 0, 0};
    ASSERT_EQ(store_set_classes(0, class_three, 4, 1), 0);
    ASSERT_EQ(store_set_albums(0, album_forty, 4, 1), 0);
    ASSERT_EQ(store_set_star(0, 4, 1), 0);
    ASSERT_EQ(store_set_hit(0, 7, 1), 0);
    // Take a few ids of the target first, so the copy's id differs.
    for (int i = 0; i < 3; ++i) ASSERT_EQ(store_advance_item_id(1), 0);

    const transfer_result result = engine_copy_item(&engine, 0, 1, 1);
    ASSERT_EQ(result.status, kTransferDone) << transfer_status_text(result.status);
    EXPECT_EQ(result.item_id, 4);

    const item_record source = row_of(0, 1);
    const item_record copy = row_of(1, 4);
    EXPECT_EQ(copy.id, 4);
    EXPECT_EQ(copy.size, source.size);
    EXPECT_EQ(copy.date, source.date);
    EXPECT_EQ(copy.classes[0], 1u << 3);
    EXPECT_EQ(copy.albums[1], 1u << 8);
    EXPECT_EQ(copy.star, 0);
    EXPECT_EQ(copy.hits, 0);
    EXPECT_EQ(data_of(1, 4), data_of(0, 1));
    EXPECT_EQ(thumbnail_of(1, 4), thumbnail_of(0, 1));
    EXPECT_EQ(name_of(1, 4), name_of(0, 1));
    item_record indexed{};
    EXPECT_EQ(engine.engine_find_item(1, 4, &indexed), 0);
    EXPECT_EQ(indexed.star, 0);
    EXPECT_EQ(engine.engine_order_count(), 2);
}

TEST_F(TransferTest, CopyOfAnIncompleteItemStoresNothing) {
    ASSERT_TRUE(make_db(1, "b.db", false));
    ASSERT_EQ(engine_add_file(&engine, 0, picture("x.jpg", kFormatJpeg).c_str()).status,
              kTransferDone);
    EXPECT_EQ(engine_copy_item(&engine, 0, 9, 1).status, kTransferMissingItem);
    ASSERT_EQ(store_delete_data(0, 1), 0);
    const transfer_result result = engine_copy_item(&engine, 0, 1, 1);
    EXPECT_EQ(result.status, kTransferMissingPiece);
    EXPECT_EQ(result.item_id, 2) << "each copy uses up a target id";
    EXPECT_EQ(store_next_item_id(1), 3);
    EXPECT_EQ(rows(1), 0);
    EXPECT_EQ(thumbnail_of(1, 2), "");
    EXPECT_EQ(name_of(1, 2), "");
}

TEST_F(TransferTest, DeletingTheOnlyItemEmptiesTheDatabase) {
    ASSERT_EQ(engine_add_file(&engine, 0, picture("only.jpg", kFormatJpeg).c_str()).status,
              kTransferDone);
    ASSERT_EQ(engine.engine_order_count(), 1);
    const transfer_result result = engine_delete_item(&engine, 0, 1);
    EXPECT_EQ(result.status, kTransferDone);
    EXPECT_EQ(rows(0), 0);
    EXPECT_EQ(data_of(0, 1), "");
    EXPECT_EQ(thumbnail_of(0, 1), "");
    EXPECT_EQ(name_of(0, 1), "");
    item_record gone{};
    EXPECT_EQ(engine.engine_find_item(0, 1, &gone), -1);
    EXPECT_EQ(engine.engine_order_count(), 0);
    EXPECT_EQ(engine_delete_item(&engine, 0, 1).status, kTransferMissingItem);
    EXPECT_EQ(store_next_item_id(0), 2) << "ids are never reused";
}

TEST_F(TransferTest, ItemWithoutDataIsStillDeletedWhole) {
    ASSERT_EQ(engine_add_file(&engine, 0, picture("x.jpg", kFormatJpeg).c_str()).status,
              kTransferDone);
    ASSERT_EQ(store_delete_data(0, 1), 0);
    EXPECT_EQ(engine_delete_item(&engine, 0, 1).status, kTransferDone);
    EXPECT_EQ(rows(0), 0);
    EXPECT_EQ(name_of(0, 1), "");
}

class ExportTest : public TransferTest {
  protected:
    void SetUp() override {
        TransferTest::SetUp();
        source = picture("a.jpg", kFormatJpeg, 123, 77);
        ASSERT_EQ(engine_add_file(&engine, 0, source.c_str()).status, kTransferDone);
    }
    std::string out(const std::string& name) const { return out_dir() + "/" + name; }
    bool exists(const std::string& name) const {
        struct stat st {};
        return ::lstat(out(name).c_str(), &st) == 0;
    }
    std::string source;
};

TEST_F(ExportTest, WritesExactlyTheRecordedSize) {
    ASSERT_NE(read_bytes(source).size() % 64, 0u) << "the stored blob carries pad bytes";
    const transfer_result result = engine_export_item(0, 1, out_dir().c_str(), kExportRename);
    ASSERT_EQ(result.status, kTransferDone);
    EXPECT_EQ(result.path, out("a.jpg"));
    EXPECT_EQ(read_bytes(out("a.jpg")), read_bytes(source));
}

TEST_F(ExportTest, RenameTakesTheFirstFreeSuffix) {
    ASSERT_TRUE(write_bytes(out("a.jpg"), "old"));
    ASSERT_TRUE(write_bytes(out("a_0000.jpg"), "older"));
    const transfer_result result = engine_export_item(0, 1, out_dir().c_str(), kExportRename);
    ASSERT_EQ(result.status, kTransferDone);
    EXPECT_EQ(result.path, out("a_0001.jpg"));
    EXPECT_EQ(read_bytes(out("a_0001.jpg")), read_bytes(source));
    EXPECT_EQ(read_bytes(out("a.jpg")), "old");
    EXPECT_EQ(read_bytes(out("a_0000.jpg")), "older");
    // The same again gives the next one.
    EXPECT_EQ(engine_export_item(0, 1, out_dir().c_str(), kExportRename).path, out("a_0002.jpg"));
}

TEST_F(ExportTest, SkipAndNoChoiceLeaveExistingNamesAlone) {
    ASSERT_TRUE(write_bytes(out("a.jpg"), "old"));
    for (int32_t policy : {kExportSkip, kExportPassOver}) {
        EXPECT_EQ(engine_export_item(0, 1, out_dir().c_str(), policy).status, kTransferSkipped);
    }
    EXPECT_EQ(read_bytes(out("a.jpg")), "old");
    EXPECT_FALSE(exists("a_0000.jpg"));
}

struct NameCase {
    const char* stored;
    const char* existing;  // already in the folder, or null
    const char* expect;    // file written, or null
    int32_t status;
    const char* reason;
};

TEST_F(ExportTest, StoredNamesAreCutToASafeLastComponent) {
    const NameCase cases[] = {
        {"photoJPG", "photoJPG", "photoJPG_0000", kTransferDone, "no dot: suffix at the end"},
        {"../x.jpg", nullptr, "x.jpg", kTransferDone, "a parent step cannot escape"},
        {"a/b.jpg", nullptr, "b.jpg", kTransferDone, "folders in a name are dropped"},
        {"/etc/c.jpg", nullptr, "c.jpg", kTransferDone, "absolute names too"},
        {"v1.2/d", "d", "d_0000", kTransferDone, "a dot in a dropped folder is not the name's"},
        {"..", nullptr, nullptr, kTransferUnsafeName, "parent folder"},
        {"sub/.", nullptr, nullptr, kTransferUnsafeName, "current folder"},
        {"", nullptr, nullptr, kTransferUnsafeName, "empty"},
        {"dir/", nullptr, nullptr, kTransferUnsafeName, "nothing after the last slash"},
    };
    for (const NameCase& c : cases) {
        rename_item(0, 1, c.stored);
        if (c.existing) {
            ASSERT_TRUE(write_bytes(out(c.existing), "x")) << c.reason;
        }
        const transfer_result result = engine_export_item(0, 1, out_dir().c_str(), kExportRename);
        EXPECT_EQ(result.status, c.status) << c.reason;
        if (c.expect) {
            EXPECT_EQ(result.path, out(c.expect)) << c.reason;
            EXPECT_EQ(read_bytes(out(c.expect)), read_bytes(source)) << c.reason;
        }
    }
    struct stat st {};
    EXPECT_NE(::lstat(dir.file("x.jpg").c_str(), &st), 0) << "nothing was written above out/";
}

TEST_F(ExportTest, NeverWritesThroughASymbolicLink) {
    ASSERT_TRUE(write_bytes(dir.file("victim"), "keep me"));
    ASSERT_EQ(::symlink(dir.file("victim").c_str(), out("a.jpg").c_str()), 0);
    const transfer_result result = engine_export_item(0, 1, out_dir().c_str(), kExportRename);
    EXPECT_EQ(result.status, kTransferDone);
    EXPECT_EQ(result.path, out("a_0000.jpg"));
    EXPECT_EQ(read_bytes(dir.file("victim")), "keep me");
    // The raw handler replaces regular files but refuses links as well.
    EXPECT_EQ(engine_export_to(0, 1, out("a.jpg").c_str()).status, kTransferCannotWrite);
    EXPECT_EQ(read_bytes(dir.file("victim")), "keep me");
    ASSERT_TRUE(write_bytes(out("plain.jpg"), "longer old content than nothing"));
    EXPECT_EQ(engine_export_to(0, 1, out("plain.jpg").c_str()).status, kTransferDone);
    EXPECT_EQ(read_bytes(out("plain.jpg")), read_bytes(source));
}

TEST_F(ExportTest, WithoutAFreeNameTheEntryIsPassedOver) {
    ASSERT_TRUE(write_bytes(out("a.jpg"), ""));
    char name[32];
    for (int n = 0; n <= kExportMaxSuffix; ++n) {
        std::snprintf(name, sizeof name, "a_%04d.jpg", n);
        ASSERT_TRUE(write_bytes(out(name), ""));
    }
    EXPECT_EQ(engine_export_item(0, 1, out_dir().c_str(), kExportRename).status,
              kTransferNoFreeName);
    EXPECT_FALSE(exists("a_9999.jpg"));
}

TEST_F(ExportTest, FailuresWriteNothing) {
    EXPECT_EQ(engine_export_item(0, 1, dir.file("missing/folder").c_str(), kExportRename).status,
              kTransferCannotWrite);
    ASSERT_TRUE(write_bytes(dir.file("file"), "x"));
    EXPECT_EQ(engine_export_item(0, 1, dir.file("file").c_str(), kExportRename).status,
              kTransferCannotWrite)
        << "the target folder is a file";
    EXPECT_EQ(engine_export_item(0, 7, out_dir().c_str(), kExportRename).status,
              kTransferMissingItem);
    ASSERT_EQ(store_delete_data(0, 1), 0);
    EXPECT_EQ(engine_export_item(0, 1, out_dir().c_str(), kExportRename).status,
              kTransferMissingPiece);
    EXPECT_FALSE(exists("a.jpg")) << "no empty file is left behind";
}

TEST_F(TransferTest, HandlersCheckTheirRecords) {
    const std::string path = picture("h.jpg", kFormatJpeg);
    add_request add;
    add.kind = kAddFile;
    std::strncpy(add.path, path.c_str(), sizeof add.path - 1);
    add.target_slot = 0;
    add.magic = 0x1234;
    EXPECT_EQ(engine_handle_add(&engine, &add), -1);
    add.magic = kAddRequestMagic;
    add.kind = 3;
    EXPECT_EQ(engine_handle_add(&engine, &add), -1);
    EXPECT_EQ(store_next_item_id(0), 1) << "a refused record takes no id";
    add.kind = kAddFile;
    EXPECT_EQ(engine_handle_add(&engine, &add), 0);
    EXPECT_EQ(engine_handle_add(&engine, nullptr), -1);

    export_request out;
    out.kind = 2;
    out.slot = 0;
    out.item_id = 1;
    const std::string target = out_dir() + "/h.jpg";
    std::strncpy(out.path, target.c_str(), sizeof out.path - 1);
    EXPECT_EQ(engine_handle_export(&out), -1);
    out.kind = kExportToFile;
    out.magic = 0;  // only the kind is checked
    EXPECT_EQ(engine_handle_export(&out), 0);
    EXPECT_EQ(read_bytes(target), read_bytes(path));

    delete_request del;
    del.slot = 0;
    del.item_id = 1;
    del.magic = 0;
    EXPECT_EQ(engine_handle_delete(&engine, &del), -1);
    EXPECT_EQ(rows(0), 1);
    del.magic = kDeleteRequestMagic;
    EXPECT_EQ(engine_handle_delete(&engine, &del), 0);
    EXPECT_EQ(rows(0), 0);
}

TEST_F(TransferTest, EngineDispatchesTheItemCodes) {
    const std::string path = picture("m.jpg", kFormatJpeg);
    add_request add;
    add.kind = kAddFile;
    std::strncpy(add.path, path.c_str(), sizeof add.path - 1);
    engine.OnMessage(MSG_ITEM_ADD, &add);
    EXPECT_EQ(rows(0), 1);
    EXPECT_EQ(engine.engine_order_count(), 1);

    export_request out;
    out.item_id = 1;
    const std::string target = out_dir() + "/m.jpg";
    std::strncpy(out.path, target.c_str(), sizeof out.path - 1);
    engine.OnMessage(MSG_ITEM_EXPORT, &out);
    EXPECT_EQ(read_bytes(target), read_bytes(path));

    delete_request del;
    del.item_id = 1;
    engine.OnMessage(MSG_ITEM_DELETE, &del);
    EXPECT_EQ(rows(0), 0);
    EXPECT_EQ(engine.engine_order_count(), 0);
}

// Pictures of several formats and sizes, up to just under the 64 MiB a
// picture may have, survive storing in a plain and in a doubly enciphered
// database, closing, reopening and copying out, byte for byte.
TEST_F(TransferTest, PicturesRoundTripThroughClosedDatabases) {
    ASSERT_TRUE(make_db(1, "sealed.db", true));
    struct Picture {
        std::string name;
        std::string bytes;
    };
    std::vector<Picture> files;
    for (const auto& [name, format, width, height] :
         {std::tuple{"small.png", kFormatPng, 3, 2}, std::tuple{"wide.jpg", kFormatJpeg, 900, 40},
          std::tuple{"tall.tga", kFormatTga, 30, 500}, std::tuple{"mid.gif", kFormatGif, 256, 256},
          std::tuple{"big.bmp", kFormatBmp, 4096, 5461}}) {
        ASSERT_TRUE(testing::write_picture(dir.file(name), two_halves(width, height), format));
        files.push_back({name, read_bytes(dir.file(name))});
    }
    ASSERT_GT(files.back().bytes.size(), kStoreMaxBlob - 8192u);
    ASSERT_LE(files.back().bytes.size(), kStoreMaxBlob);

    for (int32_t slot : {0, 1}) {
        for (const Picture& file : files) {
            ASSERT_EQ(engine_add_file(nullptr, slot, dir.file(file.name).c_str()).status,
                      kTransferDone)
                << file.name;
        }
    }
    ASSERT_EQ(store_close(0), 0);
    ASSERT_EQ(store_close(1), 0);
    ASSERT_EQ(store_open(dir.file("a.db").c_str(), 0, "", 0), 0);
    ASSERT_EQ(store_open(dir.file("sealed.db").c_str(), 1, kPassword,
                         static_cast<int32_t>(std::strlen(kPassword))),
              0);
    for (int32_t slot : {0, 1}) {
        const std::string folder = out_dir() + "/" + std::to_string(slot);
        ASSERT_EQ(::mkdir(folder.c_str(), 0755), 0);
        for (int32_t id = 1; id <= static_cast<int32_t>(files.size()); ++id) {
            const transfer_result result =
                engine_export_item(slot, id, folder.c_str(), kExportRename);
            ASSERT_EQ(result.status, kTransferDone) << slot << "/" << id;
            EXPECT_EQ(result.path, folder + "/" + files[id - 1].name);
            EXPECT_TRUE(read_bytes(result.path) == files[id - 1].bytes) << result.path;
        }
    }
}

}  // namespace
}  // namespace lorvex

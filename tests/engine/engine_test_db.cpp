#include "engine_test_db.h"

namespace lorvex::testing {

void Recorder::OnMessage(uint32_t code, void* record) {
    if (record == nullptr) return;
    Seen s;
    s.code = code;
    if (engine != nullptr) s.order_count = engine->engine_order_count();
    switch (code) {
        case MSG_TAGS_CHANGED: {
            const auto* n = static_cast<const label_notice*>(record);
            if (n->magic != kLabelNoticeMagic) return;
            s.kind = n->kind;
            for (int i = 0; i < n->class_count; ++i) {
                s.classes.emplace_back(n->classes[i].name, strnlen(n->classes[i].name, 64));
                s.class_checksums.push_back(n->classes[i].checksum);
            }
            for (int i = 0; i < n->album_count; ++i) {
                s.albums.emplace_back(n->albums[i].name, strnlen(n->albums[i].name, 64));
            }
            break;
        }
        case MSG_LIST_READY:
            s.kind = static_cast<const ListReadyNote*>(record)->kind;
            break;
        case MSG_ITEM_INFO:
            s.info =
                std::make_shared<item_info_notice>(*static_cast<const item_info_notice*>(record));
            break;
        case MSG_SELECTION_QUERY: {
            auto* q = static_cast<SelectionQuery*>(record);
            if (q->positions == nullptr && !selection.empty()) {
                q->count = static_cast<int32_t>(selection.size());
                q->positions = new int32_t[selection.size()];
                std::memcpy(q->positions, selection.data(), selection.size() * sizeof(int32_t));
            }
            break;
        }
        default:
            return;
    }
    seen.push_back(std::move(s));
}

std::vector<Seen> Recorder::of(uint32_t code) const {
    std::vector<Seen> out;
    for (const Seen& s : seen) {
        if (s.code == code) out.push_back(s);
    }
    return out;
}

TestDbs::TestDbs() {
    store_init();
}

TestDbs::~TestDbs() {
    for (int32_t slot : open_) (void)store_close(slot);
}

label_table TestDbs::make_table(const std::vector<std::string>& names) {
    label_table table{};
    table.tag = 0xe2094b31;
    table.capacity = kMaxLabels;
    table.total_size = sizeof(label_table);
    for (size_t i = 0; i < names.size(); ++i) {
        label_entry& e = table.entries[i];
        e.id = static_cast<int32_t>(i) | kLabelIdBase;
        std::memcpy(e.name, names[i].data(), std::min<size_t>(names[i].size(), 64));
        e.checksum = name_checksum(e.name, label_name_length(e));
        ++table.used;
    }
    return table;
}

void TestDbs::create(int32_t slot, const std::vector<TestItem>& items,
                     const std::vector<std::string>& classes,
                     const std::vector<std::string>& albums) {
    const std::string path = dir_.file("db" + std::to_string(slot) + ".db");
    ASSERT_EQ(store_create(path.c_str(), slot, 1, nullptr, 0, nullptr, 0, 0), 0) << path;
    open_.push_back(slot);
    {
        StoreTransaction txn(slot);
        ASSERT_TRUE(txn.active());
        int32_t next = 1;
        for (const TestItem& item : items) {
            const uint32_t keep[4] = {};
            uint32_t class_bits[4] = {}, album_bits[4] = {};
            for (int c : item.classes) label_set_bit(class_bits, c, true);
            for (int a : item.albums) label_set_bit(album_bits, a, true);
            ASSERT_EQ(store_insert_item(slot, item.id, keep, 4, item.size, item.date, item.star,
                                        item.hits, class_bits, 4, album_bits, 4),
                      0);
            const std::string thumb = "thumb-" + std::to_string(item.id);
            const blob_record t{item.id,
                                reinterpret_cast<uint8_t*>(const_cast<char*>(thumb.data())),
                                static_cast<uint32_t>(thumb.size())};
            ASSERT_EQ(store_put_thumbnail(slot, &t, 1), 0);
            const std::string data = "data-" + std::to_string(item.id);
            const blob_record d{item.id, reinterpret_cast<uint8_t*>(const_cast<char*>(data.data())),
                                static_cast<uint32_t>(data.size())};
            ASSERT_EQ(store_put_data(slot, &d, 1), 0);
            if (!item.name.empty()) {
                char record[kNameRecordSize] = {};
                std::memcpy(record, item.name.data(), item.name.size());
                const blob_record n{item.id, reinterpret_cast<uint8_t*>(record), kNameRecordSize};
                ASSERT_EQ(store_put_record(slot, &n, 1), 0);
            }
            while (next <= item.id) {
                ASSERT_EQ(store_advance_item_id(slot), 0);
                ++next;
            }
        }
        ASSERT_EQ(txn.commit(), 0);
    }
    const label_table class_table = make_table(classes);
    const label_table album_table = make_table(albums);
    put_raw_record(slot, kKeyClassTable,
                   std::string(reinterpret_cast<const char*>(&class_table), sizeof(label_table)));
    put_raw_record(slot, kKeyAlbumTable,
                   std::string(reinterpret_cast<const char*>(&album_table), sizeof(label_table)));
}

void TestDbs::put_raw_record(int32_t slot, int32_t key, const std::string& bytes, bool present) {
    (void)store_delete_record(slot, key);
    if (!present) return;
    const blob_record r{key, reinterpret_cast<uint8_t*>(const_cast<char*>(bytes.data())),
                        static_cast<uint32_t>(bytes.size())};
    ASSERT_EQ(store_put_record(slot, &r, 1), 0);
}

std::vector<item_record> TestDbs::rows(int32_t slot) const {
    int count = 0;
    std::vector<item_record> out;
    query_result* result = store_query_range(slot, 0, 1 << 30, 9999, &count);
    if (result == nullptr) return out;
    if (result->count > 0) out.assign(result->items, result->items + result->count);
    store_free_result(result);
    return out;
}

label_table TestDbs::stored_table(int32_t slot, int32_t key) const {
    label_table table{};
    blob_record* record = store_get_record(slot, key);
    if (record == nullptr) return table;
    if (record->length == sizeof(label_table)) std::memcpy(&table, record->data, sizeof(table));
    store_free_record(record);
    return table;
}

std::vector<int32_t> order_ids(const db_engine& engine) {
    std::vector<int32_t> ids;
    for (const order_triple& t : engine.engine_order_snapshot()) ids.push_back(t.item_id);
    return ids;
}

std::vector<std::pair<int32_t, int32_t>> order_pairs(const db_engine& engine) {
    std::vector<std::pair<int32_t, int32_t>> pairs;
    for (const order_triple& t : engine.engine_order_snapshot()) {
        pairs.emplace_back(t.slot, t.item_id);
    }
    return pairs;
}

}  // namespace lorvex::testing

#include "engine/labels.h"

#include <cstring>

namespace lorvex {

size_t label_name_length(const label_entry& entry) {
    return strnlen(entry.name, sizeof(entry.name));
}

bool label_table_usable(const label_table& table) {
    return table.capacity >= 0 && table.capacity <= kMaxLabels && table.used >= 0 &&
           table.used <= table.capacity;
}

int label_find_name(const label_table& table, const char* name, size_t length) {
    if (name == nullptr || length > kLabelNameSize) return -1;
    for (int i = 0; i < kMaxLabels; ++i) {
        const label_entry& entry = table.entries[i];
        if (label_name_length(entry) == length && std::memcmp(entry.name, name, length) == 0) {
            return i;
        }
    }
    return -1;
}

int label_find_free(const label_table& table) {
    for (int i = 0; i < kMaxLabels; ++i) {
        if (table.entries[i].name[0] == '\0') return i;
    }
    return -1;
}

int label_find_identity(const label_table& table, int32_t checksum, const char* name,
                        int32_t length) {
    if (name == nullptr || length < 1 || static_cast<size_t>(length) > kLabelNameSize) return -1;
    for (int i = 0; i < kMaxLabels; ++i) {
        const label_entry& entry = table.entries[i];
        if (entry.id == 0 || entry.checksum != checksum) continue;
        if (label_name_length(entry) == static_cast<size_t>(length) &&
            std::memcmp(entry.name, name, static_cast<size_t>(length)) == 0) {
            return i;
        }
    }
    return -1;
}

int label_collect_notice(const label_table& table, notice_name* out) {
    int count = 0;
    for (int i = 0; i < kMaxLabels; ++i) {
        const label_entry& entry = table.entries[i];
        if (entry.id == 0) continue;
        out[count] = notice_name{};
        out[count].checksum = entry.checksum;
        std::memcpy(out[count].name, entry.name, label_name_length(entry));
        ++count;
    }
    return count;
}

int label_copy_names(const label_table& table, label_name* out, int room) {
    int count = 0;
    for (int i = 0; i < kMaxLabels && count < room && count < table.used; ++i) {
        const label_entry& entry = table.entries[i];
        if (entry.id == 0) continue;
        const size_t length = label_name_length(entry);
        out[count].checksum = entry.checksum;
        std::memset(out[count].name, 0, sizeof(out[count].name));
        std::memcpy(out[count].name, entry.name, length);
        out[count].length = static_cast<int32_t>(length);
        ++count;
    }
    return count;
}

int label_fill_info(const label_table& table, const uint32_t bits[4], info_entry* out) {
    int count = 0;
    for (int i = 0; i < kMaxLabels && count < table.used; ++i) {
        const label_entry& entry = table.entries[i];
        if (entry.id == 0) continue;
        const size_t length = label_name_length(entry);
        out[count] = info_entry{};
        out[count].checksum = entry.checksum;
        std::memcpy(out[count].name, entry.name, length);
        out[count].length = static_cast<int32_t>(length);
        out[count].member = label_bit(bits, i) ? 1 : 0;
        ++count;
    }
    return count;
}

}  // namespace lorvex

// Class and album tables of a database: name identity (checksum and bytes),
// lookups and the copies the engine hands to panes and views. Pure functions
// over a label_table; the caller guards the table. Names are 1 to 64 bytes;
// a 64-byte name fills its field without a terminator.
#pragma once

#include <cstddef>
#include <cstdint>

#include "engine/engine_records.h"

namespace lorvex {

// name_checksum (the identity of a name with its bytes) comes with the
// store's records.

// Length of an entry's name, never reading past its 64-byte field.
[[nodiscard]] size_t label_name_length(const label_entry& entry);

// A table the engine can use: capacity 0 to 128 and a used count within it.
[[nodiscard]] bool label_table_usable(const label_table& table);

// First entry whose name is exactly these bytes (same length, letter case
// significant), or -1.
[[nodiscard]] int label_find_name(const label_table& table, const char* name, size_t length);
// First entry with an empty name, or -1.
[[nodiscard]] int label_find_free(const label_table& table);
// The entry in use (id not 0) with this checksum and these name bytes, or -1.
// A length outside 1 to 64 finds nothing.
[[nodiscard]] int label_find_identity(const label_table& table, int32_t checksum, const char* name,
                                      int32_t length);

// Every entry in use, in table order, as (checksum, name). out has room for
// kMaxLabels. Returns the number written.
[[nodiscard]] int label_collect_notice(const label_table& table, notice_name* out);

// Names of the entries in use, in table order, as (checksum, name, length),
// until room is used up or the table's used count is reached. Returns the
// number written.
[[nodiscard]] int label_copy_names(const label_table& table, label_name* out, int room);

// Entries in use, in table order, with membership taken from bits, until
// the used count is reached. out has room for kMaxLabels. Returns the
// number written.
[[nodiscard]] int label_fill_info(const label_table& table, const uint32_t bits[4],
                                  info_entry* out);

// Membership bit n of a 128-bit set: word n / 32, bit n % 32.
[[nodiscard]] inline bool label_bit(const uint32_t bits[4], int position) {
    return (bits[position / 32] >> (position % 32)) & 1u;
}
inline void label_set_bit(uint32_t bits[4], int position, bool on) {
    const uint32_t mask = 1u << (position % 32);
    if (on) {
        bits[position / 32] |= mask;
    } else {
        bits[position / 32] &= ~mask;
    }
}

}  // namespace lorvex

#include "shell/picture_decoder.h"

#include <cstring>

#include "browse/picture_types.h"
#include "engine/codec.h"
#include "engine/engine.h"

namespace lorvex {

namespace {

int finish(const CodecImage& image, QImage* picture, std::string* error) {
    if (!image.IsValid()) {
        if (error != nullptr) *error = image.GetLastError();
        return -1;
    }
    *picture = image.GetImage();
    return 1;
}

int decode_file(const PictureRef& ref, QImage* picture, std::string* error) {
    if (ref.path_length <= 0 || static_cast<size_t>(ref.path_length) >= kMaxPath) {
        if (error != nullptr) *error = "The picture's path is too long.";
        return -1;
    }
    char path[kMaxPath] = {};
    std::memcpy(path, ref.path, static_cast<size_t>(ref.path_length));
    CodecImage image(image_type_of(path));
    (void)image.Load(path, image_type_of(path));
    return finish(image, picture, error);
}

int decode_item(db_engine* engine, const PictureRef& ref, QImage* picture, std::string* error) {
    if (engine == nullptr) return 0;
    blob_bytes name_record;
    if (engine->engine_get_name(ref.db_slot, ref.item_id, &name_record) <= 0) return 0;
    char name[kMaxPath] = {};
    std::memcpy(name, name_record.data(), std::min(name_record.size(), kMaxPath - 1));
    if (name[0] == '\0') return 0;

    uint8_t* data = nullptr;
    uint32_t length = 0;
    if (engine->engine_get_data(ref.db_slot, ref.item_id, &data, &length) < 0 || data == nullptr) {
        return 0;
    }
    // The stored data is padded; the item's size word is the picture's own.
    item_record item{};
    if (engine->engine_find_item(ref.db_slot, ref.item_id, &item) == 0 && item.size > 0 &&
        static_cast<uint32_t>(item.size) < length) {
        length = static_cast<uint32_t>(item.size);
    }
    const int32_t type = image_type_of(name);
    CodecImage image(type);
    (void)image.Decode(data, length, type);
    db_engine::engine_free_data(data);
    return finish(image, picture, error);
}

}  // namespace

int DecodePicture(db_engine* engine, const PictureRef& ref, QImage* picture, std::string* error) {
    if (picture == nullptr) return -1;
    if (ref.kind == kRefFile) return decode_file(ref, picture, error);
    if (ref.kind == kRefDatabase) return decode_item(engine, ref, picture, error);
    return 0;
}

PictureDecoder MakePictureDecoder(db_engine* engine) {
    return [engine](const PictureRef& ref, QImage* picture, std::string* error) {
        return DecodePicture(engine, ref, picture, error);
    };
}

}  // namespace lorvex

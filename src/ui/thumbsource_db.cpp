// Database item thumbnails for the grid: the engine hands out copies of the
// item's thumbnail blob and name record; the name's type decides the format.
#include <cstring>

#include "browse/picture_types.h"
#include "engine/engine.h"
#include "engine/thumbnail.h"
#include "ui/thumbsource.h"

namespace lorvex {
namespace {

// The name record as text: up to its first NUL, at most the whole record.
std::string recordText(const blob_bytes& record) {
    const char* bytes = reinterpret_cast<const char*>(record.data());
    return std::string(bytes, strnlen(bytes, record.size()));
}

}  // namespace

std::string databaseItemLabel(db_engine* engine, int32_t slot, int32_t itemId) {
    blob_bytes record;
    if (engine == nullptr || engine->engine_get_name(slot, itemId, &record) < 0) return {};
    std::string name = recordText(record);
    size_t cut = name.find_last_of("/\\");
    return cut == std::string::npos ? name : name.substr(cut + 1);
}

ThumbResult databaseThumbnail(db_engine* engine, int32_t slot, int32_t itemId, QImage* thumbnail,
                              QPoint* offset) {
    if (engine == nullptr) return ThumbResult::kPassedOver;
    blob_bytes record;
    blob_bytes blob;
    if (engine->engine_get_name(slot, itemId, &record) < 0) return ThumbResult::kPassedOver;
    const int32_t type = image_type_of(recordText(record).c_str());
    if (type == 0 || engine->engine_get_thumbnail(slot, itemId, &blob) < 0) {
        return ThumbResult::kPassedOver;
    }
    CodecImage picture;
    ThumbFit fit;
    if (!thumb_from_blob(blob.data(), static_cast<uint32_t>(blob.size()), type, &picture, &fit)) {
        return ThumbResult::kPassedOver;
    }
    *thumbnail = picture.GetImage();
    *offset = QPoint(fit.x, fit.y);
    return ThumbResult::kMade;
}

}  // namespace lorvex

// Thumbnails for the grid's loader thread: a folder file through the folder
// thumbnail cache, a database item through the engine's thumbnail cache.
// Each gives the thumbnail at its fitted size and its offset in the 100 x 100
// cell. Any thread; the results belong to the caller.
#pragma once

#include <QImage>
#include <QPoint>
#include <cstdint>
#include <string>

#include "ui/thumbview.h"

namespace lorvex {

class db_engine;

// path is the file's full on-disk path.
ThumbResult folderThumbnail(const std::string& path, QImage* thumbnail, QPoint* offset);
ThumbResult databaseThumbnail(db_engine* engine, int32_t slot, int32_t itemId, QImage* thumbnail,
                              QPoint* offset);
// The grid label of a database item: the file-name part of its name record.
std::string databaseItemLabel(db_engine* engine, int32_t slot, int32_t itemId);

}  // namespace lorvex

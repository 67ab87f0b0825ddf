// Thumbnails for the grid's loader thread: a folder file through the folder
// thumbnail cache, a database item through the engine's thumbnail cache.
// Each gives the thumbnail at its fitted size and its offset in the 100 x 100
// cell. Any thread; the results belong to the caller.
#pragma once

#include <QImage>
#include <QPoint>
#include <cstdint>
#include <string>
#include <vector>

#include "store/records.h"
#include "ui/thumbview.h"

namespace lorvex {

class db_engine;

// New thumbnail cache rows of one loader run, stored together: one
// transaction per batch instead of one per picture. Flushed when full and
// when the batch goes (the loader's run ends, stopped or not). Belongs to
// one loader thread.
class FolderThumbnailBatch {
  public:
    static constexpr size_t kRowsPerFlush = 32;
    FolderThumbnailBatch() = default;
    ~FolderThumbnailBatch();
    FolderThumbnailBatch(const FolderThumbnailBatch&) = delete;
    FolderThumbnailBatch& operator=(const FolderThumbnailBatch&) = delete;

    // Takes over entry.thumb (a codec buffer).
    void add(const thumb_entry& entry);
    void flush();
    size_t pending() const { return rows_.size(); }

  private:
    std::vector<thumb_entry> rows_;
};

// path is the file's full on-disk path. A new cache row goes into batch,
// or straight into the cache when batch is null.
ThumbResult folderThumbnail(const std::string& path, QImage* thumbnail, QPoint* offset,
                            FolderThumbnailBatch* batch = nullptr);
ThumbResult databaseThumbnail(db_engine* engine, int32_t slot, int32_t itemId, QImage* thumbnail,
                              QPoint* offset);
// The grid label of a database item: the file-name part of its name record.
std::string databaseItemLabel(db_engine* engine, int32_t slot, int32_t itemId);

}  // namespace lorvex

// The preloader's own decoder: a folder picture is decoded from its path on
// disk, a database item from the data the engine deciphers for it, each as
// the type its name gives. Runs on the preloader thread; the engine calls it
// makes are the ones the engine allows from any thread.
#pragma once

#include <QImage>
#include <string>

#include "shell/picture_cache.h"
#include "shell/preloader.h"

namespace lorvex {

class db_engine;

// Decodes ref into *picture. 1 when decoded; 0 when a database item has no
// data or no name (or engine is null for one); -1 when the codec cannot
// decode it, with its error text in *error.
[[nodiscard]] int DecodePicture(db_engine* engine, const PictureRef& ref, QImage* picture,
                                std::string* error);

// DecodePicture bound to engine, as the preloader takes it.
PictureDecoder MakePictureDecoder(db_engine* engine);

}  // namespace lorvex

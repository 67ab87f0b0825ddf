// Pictures drawn by code for the demonstration database and for tests: a
// fixed list of a dozen files in several formats, the same bytes at every
// run. Plain functions without shared state; any thread.
#pragma once

#include <QImage>
#include <string>
#include <vector>

namespace lorvex::tools {

struct DemoPicture {
    const char* name;  // file name; its ending selects the format
    int width;
    int height;
    int seed;  // selects the colours and shapes of the drawing
};

// The dozen pictures, in name order: JPEG, PNG, GIF, BMP, TIFF, PNM and ICO.
const std::vector<DemoPicture>& demo_picture_list();

// A width x height picture of gradients, rings and stripes chosen by seed;
// with alpha it has a transparent corner.
QImage draw_demo_picture(int width, int height, int seed, bool alpha = false);

// Encodes image into path in the format its ending names. 0, or -1 and
// *error says why.
[[nodiscard]] int write_picture(const QImage& image, const std::string& path, std::string* error);

// Writes every picture of demo_picture_list() into the existing folder dir.
[[nodiscard]] int write_demo_pictures(const std::string& dir, std::string* error);

}  // namespace lorvex::tools

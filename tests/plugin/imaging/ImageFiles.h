// Plain writers of small image files for the image-loading tests: BMP (24
// bits), TIFF with several pages (uncompressed RGB), and GIF with several
// frames (a palette of at most four colours). PNG comes from WritePNG.
#ifndef QUELVANE_IMAGEFILES_H
#define QUELVANE_IMAGEFILES_H

#include <string>
#include <vector>

#include "ReferenceDraw.h"

namespace imgtest {

// An opaque image of w x h filled by pattern.
Image MakeImage(int w, int h, const std::function<Px(int x, int y)> &pattern);

bool WriteBMP(const std::string &path, const Image &img);
bool WriteTIFF(const std::string &path, const std::vector<Image> &pages);
// Every colour of every frame must be one of the palette's (at most four).
bool WriteGIF(const std::string &path, const std::vector<Image> &frames, const std::vector<Px> &palette);
bool WritePNGImage(const std::string &path, const Image &img);

} // namespace imgtest

#endif

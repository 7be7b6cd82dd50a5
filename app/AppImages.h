// The editor's pictures, built into the program from the Tango icon theme
// (see AppImages.cmake): one strip per image list of the data module, the
// images in the order of their indices.
#pragma once

struct TImageStrip {
  int Size;   // each image is Size by Size pixels
  int Count;  // number of images
  // Count images one after another, each Size rows from the top, each
  // pixel blue, green, red and alpha (not premultiplied).
  const unsigned char* Pixels;
  const unsigned char* Pixel(int Image, int X, int Y) const {
    return Pixels + ((static_cast<long>(Image) * Size + Y) * Size + X) * 4;
  }
};

extern const TImageStrip ImageStripMenu16;   // menus, toolbars and pop-ups
extern const TImageStrip ImageStripTree16;   // the key tree
extern const TImageStrip ImageStripList16;   // the three lists, small images
extern const TImageStrip ImageStripList32;   // the three lists, large images
extern const TImageStrip ImageStripTabs16;   // the bookmarks and find-results tabs

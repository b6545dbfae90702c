// The main window's pictures: the skin strips painted along the screen edges
// and the two states of the focus-mode indicator. They are the program's own,
// drawn here rather than stored, so that they fit any screen size.
#pragma once

#include <cstdint>
#include <vector>

#include "app/device_identity.h"
#include "ui/canvas.h"

namespace cordavex::app {

struct SkinPicture {
  int32_t width = 0, height = 0;
  std::vector<uint32_t> pixels;
  ui::Picture view() const { return {width, height, pixels}; }
  bool empty() const { return pixels.empty(); }
};

struct Skin {
  // Bitmaps 111 and 112 (left and right strip), or 113 alone on the keypad
  // platform, where the picture strip runs down one edge.
  SkinPicture left, right, single;
  SkinPicture focusOn, focusOff;  // 317 and 318, 25 x 25
};

Skin LoadSkin(const DeviceIdentity& device);

// Paints the background: the strips tiled down the edges of a white screen.
void PaintSkin(const Skin& skin, ui::Canvas& canvas);

// The zoom bar: `position` of `steps` filled, with "+" right and "-" left of it.
void PaintZoomBar(ui::Canvas& canvas, int32_t x, int32_t y, int32_t width, int32_t position,
                  int32_t steps);

}  // namespace cordavex::app

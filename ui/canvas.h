// Drawing into a window's frame buffer: filled rectangles, pictures and short
// text, clipped to the buffer. Pixels are 0xRRGGBB.
#pragma once

#include <cstdint>
#include <span>
#include <string_view>

namespace cordavex::ui {

struct Rect {
  int32_t left = 0, top = 0, right = 0, bottom = 0;  // right and bottom exclusive
};

// A picture in memory: rows of 0xRRGGBB pixels.
struct Picture {
  int32_t width = 0, height = 0;
  std::span<const uint32_t> pixels;
};

struct Font {
  int32_t height = 14;
  bool bold = false;
};

class Canvas {
 public:
  Canvas() = default;
  Canvas(uint32_t* pixels, int32_t width, int32_t height);

  bool valid() const { return pixels_ != nullptr; }
  int32_t width() const { return width_; }
  int32_t height() const { return height_; }

  void FillRect(const Rect& rect, uint32_t colour);
  void DrawPicture(const Picture& picture, int32_t x, int32_t y);
  // The picture scaled into `target` (nearest pixel), as a stretched plain copy.
  // A picture with fewer pixels than its size is not drawn.
  void StretchPicture(const Picture& picture, const Rect& target);
  // Printable ASCII in a built-in bitmap font scaled to the font height, on a
  // transparent background; other characters draw as boxes. The top-left of
  // the text is at (x, y). The font is 5 x 7 pixels in a 6-pixel advance; each
  // of its pixels is a square of max(1, height / 7) screen pixels, the glyphs
  // centred in the height. Bold widens every stroke by one screen pixel (and
  // the advance with it).
  void DrawText(std::u16string_view text, int32_t x, int32_t y, const Font& font, uint32_t colour);
  // The width DrawText takes for the text (every character advances alike).
  static int32_t MeasureText(std::u16string_view text, const Font& font);
  // 0 outside the buffer.
  uint32_t PixelAt(int32_t x, int32_t y) const;

 private:
  uint32_t* pixels_ = nullptr;
  int32_t width_ = 0, height_ = 0;
};

}  // namespace cordavex::ui

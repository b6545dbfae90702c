#include "support/render.h"

#include <algorithm>
#include <cmath>
#include <numbers>
#include <random>

namespace cordavex::test {
namespace {

// Projective map from the unit square to a quadrilateral (Heckbert's closed form)
// and its inverse.
struct Homography {
  double m[9];  // row-major 3x3

  static Homography SquareToQuad(const double x[4], const double y[4]) {
    // Corners in order (0,0), (1,0), (1,1), (0,1).
    const double sx = x[0] - x[1] + x[2] - x[3];
    const double sy = y[0] - y[1] + y[2] - y[3];
    Homography h{};
    if (std::abs(sx) < 1e-12 && std::abs(sy) < 1e-12) {
      h.m[0] = x[1] - x[0]; h.m[1] = x[2] - x[1]; h.m[2] = x[0];
      h.m[3] = y[1] - y[0]; h.m[4] = y[2] - y[1]; h.m[5] = y[0];
      h.m[6] = 0; h.m[7] = 0; h.m[8] = 1;
      return h;
    }
    const double dx1 = x[1] - x[2], dx2 = x[3] - x[2];
    const double dy1 = y[1] - y[2], dy2 = y[3] - y[2];
    const double det = dx1 * dy2 - dx2 * dy1;
    const double g = (sx * dy2 - dx2 * sy) / det;
    const double k = (dx1 * sy - sx * dy1) / det;
    h.m[0] = x[1] - x[0] + g * x[1]; h.m[1] = x[3] - x[0] + k * x[3]; h.m[2] = x[0];
    h.m[3] = y[1] - y[0] + g * y[1]; h.m[4] = y[3] - y[0] + k * y[3]; h.m[5] = y[0];
    h.m[6] = g; h.m[7] = k; h.m[8] = 1;
    return h;
  }

  Homography Inverse() const {
    const double* a = m;
    Homography r{};
    r.m[0] = a[4] * a[8] - a[5] * a[7];
    r.m[1] = a[2] * a[7] - a[1] * a[8];
    r.m[2] = a[1] * a[5] - a[2] * a[4];
    r.m[3] = a[5] * a[6] - a[3] * a[8];
    r.m[4] = a[0] * a[8] - a[2] * a[6];
    r.m[5] = a[2] * a[3] - a[0] * a[5];
    r.m[6] = a[3] * a[7] - a[4] * a[6];
    r.m[7] = a[1] * a[6] - a[0] * a[7];
    r.m[8] = a[0] * a[4] - a[1] * a[3];
    return r;
  }

  void Apply(double x, double y, double& outX, double& outY) const {
    const double w = m[6] * x + m[7] * y + m[8];
    outX = (m[0] * x + m[1] * y + m[2]) / w;
    outY = (m[3] * x + m[4] * y + m[5]) / w;
  }
};

void GaussianBlur(std::vector<double>& image, int width, int height, double sigma) {
  const int radius = std::max(1, static_cast<int>(std::ceil(3 * sigma)));
  std::vector<double> kernel(static_cast<size_t>(2 * radius + 1));
  double sum = 0;
  for (int i = -radius; i <= radius; ++i) {
    kernel[static_cast<size_t>(i + radius)] = std::exp(-(i * i) / (2 * sigma * sigma));
    sum += kernel[static_cast<size_t>(i + radius)];
  }
  for (double& k : kernel) k /= sum;
  std::vector<double> tmp(image.size());
  auto at = [&](const std::vector<double>& img, int x, int y) {
    x = std::clamp(x, 0, width - 1);
    y = std::clamp(y, 0, height - 1);
    return img[static_cast<size_t>(y) * width + x];
  };
  for (int y = 0; y < height; ++y) {
    for (int x = 0; x < width; ++x) {
      double v = 0;
      for (int i = -radius; i <= radius; ++i) v += kernel[static_cast<size_t>(i + radius)] * at(image, x + i, y);
      tmp[static_cast<size_t>(y) * width + x] = v;
    }
  }
  for (int y = 0; y < height; ++y) {
    for (int x = 0; x < width; ++x) {
      double v = 0;
      for (int i = -radius; i <= radius; ++i) v += kernel[static_cast<size_t>(i + radius)] * at(tmp, x, y + i);
      image[static_cast<size_t>(y) * width + x] = v;
    }
  }
}

}  // namespace

std::vector<uint8_t> PackGrey(const std::vector<uint8_t>& grey, int bitsPerPixel, uint32_t seed) {
  std::mt19937 rng(seed ^ 0x9E3779B9u);
  const size_t n = grey.size();
  std::vector<uint8_t> out;
  switch (bitsPerPixel) {
    case 16:
      out.resize(2 * n);
      for (size_t i = 0; i < n; ++i) {
        // 2*R5 + 2*G6 + 2*B5 with R5 = B5 = v/8 and G6 = v/4 comes back within 6 of v.
        const unsigned v = grey[i];
        const unsigned word = ((v >> 3) << 11) | ((v >> 2) << 5) | (v >> 3);
        out[2 * i] = static_cast<uint8_t>(word & 0xFF);
        out[2 * i + 1] = static_cast<uint8_t>(word >> 8);
      }
      break;
    case 24:
      out.resize(3 * n);
      for (size_t i = 0; i < n; ++i) out[3 * i] = out[3 * i + 1] = out[3 * i + 2] = grey[i];
      break;
    case 32:
      out.resize(4 * n);
      for (size_t i = 0; i < n; ++i) {
        out[4 * i] = static_cast<uint8_t>(rng());  // ignored by the engine
        out[4 * i + 1] = out[4 * i + 2] = out[4 * i + 3] = grey[i];
      }
      break;
    default:
      out = grey;
      break;
  }
  return out;
}

Frame RenderModules(const std::vector<uint8_t>& modules, int size, const RenderOptions& o) {
  Frame frame;
  frame.width = o.width;
  frame.height = o.height;
  frame.bitsPerPixel = o.bitsPerPixel;

  // Corners of the symbol (without quiet zone) on screen: centred, keystoned,
  // mirrored, rotated, scaled.
  const double half = size * o.moduleSize / 2;
  const double angle = o.rotation * std::numbers::pi / 180;
  const double cx = o.centerX * o.width, cy = o.centerY * o.height;
  const double unitX[4] = {-1, 1, 1, -1}, unitY[4] = {-1, -1, 1, 1};
  double qx[4], qy[4];
  for (int i = 0; i < 4; ++i) {
    double x = unitX[i] * half * (1 + o.perspective * unitY[i]);
    const double y = unitY[i] * half;
    if (o.mirror) x = -x;
    qx[i] = cx + x * std::cos(angle) - y * std::sin(angle);
    qy[i] = cy + x * std::sin(angle) + y * std::cos(angle);
  }
  const Homography toScreen = Homography::SquareToQuad(qx, qy);
  const Homography toSymbol = toScreen.Inverse();

  const size_t n = static_cast<size_t>(o.width) * o.height;
  std::vector<double> image(n);
  constexpr int kSub = 3;  // supersampling per axis
  const double quiet = static_cast<double>(o.quietZone) / size;
  for (int py = 0; py < o.height; ++py) {
    for (int px = 0; px < o.width; ++px) {
      double sum = 0;
      for (int sy = 0; sy < kSub; ++sy) {
        for (int sx = 0; sx < kSub; ++sx) {
          double u, v;
          toSymbol.Apply(px + (sx + 0.5) / kSub, py + (sy + 0.5) / kSub, u, v);
          double value = o.background;
          if (u >= -quiet && u < 1 + quiet && v >= -quiet && v < 1 + quiet) {
            value = o.light;
            const int column = static_cast<int>(std::floor(u * size));
            const int row = static_cast<int>(std::floor(v * size));
            if (row >= 0 && row < size && column >= 0 && column < size &&
                modules[static_cast<size_t>(row) * size + column] != 0) {
              value = o.dark;
            }
          }
          sum += value;
        }
      }
      const double light = 1.0 - o.unevenLight * px / std::max(1, o.width - 1);
      image[static_cast<size_t>(py) * o.width + px] = sum / (kSub * kSub) * light;
    }
  }
  if (o.blur > 0) GaussianBlur(image, o.width, o.height, o.blur);

  std::mt19937 rng(o.seed);
  std::normal_distribution<double> noise(0.0, o.noise > 0 ? o.noise : 1.0);
  frame.grey.resize(n);
  for (size_t i = 0; i < n; ++i) {
    double v = image[i];
    if (o.noise > 0) v += noise(rng);
    frame.grey[i] = static_cast<uint8_t>(std::clamp(std::lround(v), 0L, 255L));
  }
  frame.pixels = PackGrey(frame.grey, o.bitsPerPixel, o.seed);
  return frame;
}

Frame RenderMatrix(const ModuleMatrix& matrix, int size, const RenderOptions& options) {
  std::vector<uint8_t> modules(static_cast<size_t>(size) * size);
  for (int r = 0; r < size; ++r) {
    for (int c = 0; c < size; ++c) modules[static_cast<size_t>(r) * size + c] = matrix.Get(r, c);
  }
  return RenderModules(modules, size, options);
}

}  // namespace cordavex::test

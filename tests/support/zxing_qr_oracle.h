// Independent read-back of QR symbols: renders a module matrix as a clean
// grey image and reads it with zxing-cpp. Test-only; allocates freely.
#pragma once

#include <cstdint>
#include <optional>
#include <vector>

namespace cordavex::test {

// Grey image of `side` x `side` modules (1 = dark at matrix[row * stride +
// column]), `scale` pixels per module, `border` light modules around.
std::vector<uint8_t> RenderModules(const uint8_t* matrix, int side, int stride, int scale,
                                   int border);

// The bytes zxing-cpp reads from the rendered symbol (no character-set
// conversion), or nothing when it finds no QR code.
std::optional<std::vector<uint8_t>> ZxingReadQr(const uint8_t* matrix, int side, int stride,
                                                int scale = 3, int border = 4);

// The same for an 8-bit grey image already in memory.
std::optional<std::vector<uint8_t>> ZxingReadQrImage(const uint8_t* grey, int width, int height);

}  // namespace cordavex::test

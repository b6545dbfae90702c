// QR code (model 2) facts the public calls share: the version range, the
// numbering of the error-correction levels and the sizes of the largest symbol,
// which bound the encoder's buffers. The decoder's tables are built on the same
// figures and check them against their rows.
//
// Constants only; safe from any thread.
#pragma once

namespace cordavex {

inline constexpr int kQrMinVersion = 1;
inline constexpr int kQrMaxVersion = 40;

// Error-correction levels are numbered 0 = L, 1 = M, 2 = Q, 3 = H throughout.
inline constexpr int kQrLevelL = 0;
inline constexpr int kQrLevelM = 1;
inline constexpr int kQrLevelQ = 2;
inline constexpr int kQrLevelH = 3;

inline constexpr int kQrMaxSide = 177;            // 4 * 40 + 17
inline constexpr int kQrMaxCodewords = 3706;      // version 40
inline constexpr int kQrMaxDataCodewords = 2956;  // version 40-L
inline constexpr int kQrMaxBlockCodewords = 153;  // longest block of any version and level

}  // namespace cordavex

// Content encryption: AES (FIPS-197) in electronic codebook mode under a key
// made from a password, with a one-byte check value. The generator enciphers
// the bytes of kinds 3 and 4; the result handler deciphers them once the user
// gives the password.
//
// Key: the password's bytes zero-filled to 16 bytes (AES-128) for passwords of
// up to 16 bytes, to 32 bytes (AES-256) for 17 to 32. Plaintext is filled with
// zero bytes to whole 16-byte blocks. Check byte: the XOR of the plaintext
// bytes (the zero fill changes nothing). A wrong password shows only in the
// check byte; one in 256 passes it.
//
// The block function is OpenSSL libcrypto's (EVP, no padding); its cipher
// context is the only allocation, made and freed inside each call. Buffers
// are the caller's. Re-entrant.
#pragma once

#include <cstdint>
#include <span>

namespace cordavex {

inline constexpr int kAesBlockBytes = 16;
inline constexpr int kMaxPasswordBytes = 32;
// The text DecryptContent writes: units cleared beforehand.
inline constexpr int kDecryptedTextUnits = 1024;

// Enciphers the first `length` bytes of `data` in place, filling up to whole
// blocks with zeros (`data` must hold the padded length), sets `length` to
// the padded length and `checkByte` to the XOR of the input. Returns 1, or 0
// (nothing changed) for a password empty or longer than 32 bytes, a buffer
// too small, or a cipher failure.
int EncryptContent(std::span<const uint8_t> password, std::span<uint8_t> data, int& length,
                   uint8_t& checkByte);

// Deciphers floor(length / 16) blocks of `data` in place with a 16- or 32-byte
// key and sets `checkByte` to the XOR of the first `length` bytes afterwards.
// Returns 1, or 0 when the key is neither 16 nor 32 bytes or the cipher fails.
int DecipherBlocks(std::span<const uint8_t> key, std::span<uint8_t> data, int length,
                   uint8_t& checkByte);

// Where enciphered bytes lie in a result's content (one byte per unit) and how
// they check: filled by LocateEncryptedPart.
struct EncryptedPart {
  char16_t* data = nullptr;  // the first enciphered unit
  int length = 0;            // enciphered bytes
  uint8_t checkByte = 0;
};

// Reads the side information (units: 2 the check byte, 3 the count n of length
// digits, 4.. the length in base-128 digits, least significant first, then the
// count m of offset digits and the offset's digits) and points `target` at the
// enciphered data in `content`. With an offset of 0 the data starts the
// content and the result is 0. With an offset of at least 1 the content holds a
// plain part first: the UTF-16 text of the symbol, one byte per unit,
// little-endian. It is folded into real units in place and ended with a zero
// unit, so that the plain part reads as text at the content's start, and the
// result is 1. Side information that points outside the content gives 0 and a
// target of length 0.
int LocateEncryptedPart(std::span<char16_t> content, std::span<const char16_t> sideInfo,
                        EncryptedPart& target);

// Deciphers the target with a length-prefixed password (byte 0 the length
// 1..32, the bytes after it) and, when the check byte matches, converts the
// plaintext (up to its zero fill) with the guessed character set into `text`
// (cleared first, 1024 units). Returns 1, or 0 for an empty or too long
// password, a wrong password, or a cipher failure; the target's units are
// left as they were on failure.
int DecryptContent(std::span<const uint8_t> password, std::span<char16_t> text,
                   const EncryptedPart& target);

}  // namespace cordavex

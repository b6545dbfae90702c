// The cipher of the Contacts hand-over: a contact card travels to the main
// program on its command line, enciphered with a fixed key and written as
// hexadecimal bytes ("%.2x " each, the trailing blank included).
//
// Format: the card's UTF-8 bytes and a zero byte (L bytes in all) packed
// little-endian into ceil(L / 4) words, one more word holding L, all n words
// enciphered by the word cipher below and unpacked little-endian into 4n
// bytes. The cipher is a block cipher of the XXTEA family, but its round
// function groups its terms differently from the published one:
//   MX = ((y >> 3) ^ (z << 4) ^ y ^ sum) + ((y << 2) ^ (z >> 5)) + (k[(p & 3) ^ e] ^ z)
// so it interoperates only with itself. Unsigned 32-bit arithmetic throughout.
//
// Ownership: the caller's buffers; nothing is allocated. Pure functions, safe
// from any thread.
#pragma once

#include <cstdint>
#include <span>
#include <string>
#include <string_view>

namespace cordavex {

// The key both sides use.
inline constexpr std::string_view kPayloadKey = "5831";
// The main program's command-line buffer: at most 1024 enciphered bytes, so at
// most 1020 bytes of plaintext (the card and its zero byte).
inline constexpr int kPayloadMaxBytes = 1024;
inline constexpr int kPayloadMaxPlainBytes = kPayloadMaxBytes - 4;

// Enciphers `plain` (L bytes) with `key`. With an empty `output` (no buffer)
// returns the size needed, 4 * (ceil(L / 4) + 1); otherwise writes that many
// bytes and returns their number. 0 when L is 0 or above 1020 (more than the
// main program takes), or the output is too small.
int EncipherPayload(std::span<const uint8_t> plain, std::span<const uint8_t> key,
                    std::span<uint8_t> output);

// Deciphers `cipher` (m bytes, packed into ceil(m / 4) words without a length
// word of their own) with `key` and writes the plaintext, whose length is the
// last word, into `output`. Returns that length, or 0 for empty input, no
// output, more than 1024 bytes, or a length that is 0 or does not fit the
// output or the words before the length word (what another key gives, in all
// but rare cases).
int DecipherPayload(std::span<const uint8_t> cipher, std::span<const uint8_t> key,
                    std::span<uint8_t> output);

// The command-line text of enciphered bytes: "%.2x " per byte.
std::string FormatPayloadText(std::span<const uint8_t> bytes);

// Reads command-line text back into bytes: split at blanks, each token read as
// "%2x" reads it (up to two hexadecimal digits, the rest of the token ignored;
// a token without one gives 0). Returns the number of bytes, or -1 when there
// are more tokens than `bytes` holds.
int ReadPayloadText(std::string_view text, std::span<uint8_t> bytes);

}  // namespace cordavex

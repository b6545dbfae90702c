// Enciphered Cordavex code content and the password a user types: the first
// byte splits the rest into the password, the side information and the
// content (one unit a byte, as a result record holds them). The located part
// is deciphered with the given password; half the inputs first encipher the
// content's tail with that same password, so that the check byte passes and
// the plaintext reaches the character-set conversion. Nothing may be read or
// written outside the content, the side information or the 1024-unit text.
#include <algorithm>
#include <cstdint>
#include <vector>

#include "decode/cv_crypto.h"

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, size_t size) {
  if (size < 3) return 0;
  const size_t passwordBytes = std::min<size_t>(data[0] % 40, size - 2);
  const bool encipherFirst = data[1] & 1;
  const size_t sideUnits = std::min<size_t>(data[1] >> 1, size - 2 - passwordBytes);
  const uint8_t* rest = data + 2;

  std::vector<uint8_t> password(1 + passwordBytes);
  password[0] = static_cast<uint8_t>(passwordBytes);
  std::copy(rest, rest + passwordBytes, password.begin() + 1);
  rest += passwordBytes;
  std::vector<char16_t> sideInfo(rest, rest + sideUnits);
  rest += sideUnits;
  const size_t contentBytes = size - 2 - passwordBytes - sideUnits;
  std::vector<char16_t> content(rest, rest + contentBytes);

  cordavex::EncryptedPart target;
  cordavex::LocateEncryptedPart(content, sideInfo, target);
  if (target.length < 0 || (target.length > 0 && (target.data < content.data() ||
                                                   target.data + target.length > content.data() + content.size()))) {
    __builtin_trap();  // the located part must lie inside the content
  }
  // Whole blocks only, so that the deciphered bytes are exactly the ones the
  // check byte was made from.
  const int blocks = target.length / cordavex::kAesBlockBytes * cordavex::kAesBlockBytes;
  if (encipherFirst && blocks > 0 && passwordBytes >= 1 && passwordBytes <= 32) {
    std::vector<uint8_t> bytes(static_cast<size_t>(blocks));
    for (int i = 0; i < blocks; ++i) bytes[static_cast<size_t>(i)] = static_cast<uint8_t>(target.data[i]);
    int length = blocks;
    uint8_t checkByte = 0;
    if (cordavex::EncryptContent({password.data() + 1, passwordBytes}, bytes, length, checkByte) == 1) {
      for (int i = 0; i < blocks; ++i) target.data[i] = bytes[static_cast<size_t>(i)];
      target.length = blocks;
      target.checkByte = checkByte;
    }
  }
  static std::vector<char16_t> text(cordavex::kDecryptedTextUnits);
  cordavex::DecryptContent(password, text, target);
  return 0;
}

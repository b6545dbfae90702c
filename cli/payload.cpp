// cordavex payload encipher|decipher: the Contacts hand-over's command-line
// text. `encipher` takes a card and prints the text the Contacts extension
// puts on the main program's command line; `decipher` reads such a text and
// prints the card, as the main program does at start-up.
#include <cstdio>
#include <iostream>
#include <iterator>
#include <string>
#include <string_view>
#include <vector>

#include "cli/commands.h"
#include "cordavex/payload_cipher.h"

namespace cordavex::cli {

namespace {

constexpr const char* kUsage = "usage: cordavex payload (encipher|decipher) TEXT|-\n";

std::span<const uint8_t> KeyBytes() {
  return {reinterpret_cast<const uint8_t*>(kPayloadKey.data()), kPayloadKey.size()};
}

int Encipher(const std::string& card) {
  // The card and its zero byte.
  std::vector<uint8_t> plain(card.begin(), card.end());
  plain.push_back(0);
  if (plain.size() > static_cast<size_t>(kPayloadMaxPlainBytes)) {
    std::fprintf(stderr,
                 "cordavex payload encipher: the card is too long for the hand-over (%zu bytes; at "
                 "most %d)\n",
                 card.size(), kPayloadMaxPlainBytes - 1);
    return 1;
  }
  std::vector<uint8_t> cipher(static_cast<size_t>(EncipherPayload(plain, KeyBytes(), {})));
  if (EncipherPayload(plain, KeyBytes(), cipher) != static_cast<int>(cipher.size())) {
    std::fputs("cordavex payload encipher: cannot encipher the card\n", stderr);
    return 1;
  }
  std::printf("%s\n", FormatPayloadText(cipher).c_str());
  return 0;
}

int Decipher(const std::string& text) {
  std::vector<uint8_t> bytes(kPayloadMaxBytes);
  const int m = ReadPayloadText(text, bytes);
  if (m < 0) {
    std::fprintf(stderr, "cordavex payload decipher: more than %d bytes\n", kPayloadMaxBytes);
    return 1;
  }
  // The main program ignores a command line without bytes or opening with 00.
  if (m == 0 || bytes[0] == 0) {
    std::fputs("cordavex payload decipher: no payload in the text\n", stderr);
    return 1;
  }
  std::vector<uint8_t> plain(static_cast<size_t>(m));
  const int length = DecipherPayload(std::span(bytes).first(static_cast<size_t>(m)), KeyBytes(), plain);
  if (length < 1) {
    std::fputs("cordavex payload decipher: not a payload of this program's key\n", stderr);
    return 1;
  }
  // The card ends at its zero byte.
  size_t end = 0;
  while (end < static_cast<size_t>(length) && plain[end] != 0) ++end;
  const std::string_view card(reinterpret_cast<const char*>(plain.data()), end);
  std::fwrite(card.data(), 1, card.size(), stdout);
  if (card.empty() || card.back() != '\n') std::fputc('\n', stdout);
  return 0;
}

}  // namespace

int PayloadCommand(int argc, char** argv) {
  if (argc == 2 && (std::string_view(argv[1]) == "-h" || std::string_view(argv[1]) == "--help")) {
    std::fputs(kUsage, stdout);
    return 0;
  }
  if (argc != 3) {
    std::fputs(kUsage, stderr);
    return 2;
  }
  const std::string_view action = argv[1];
  std::string text = argv[2];
  if (text == "-") {
    text.assign(std::istreambuf_iterator<char>(std::cin), std::istreambuf_iterator<char>());
    if (std::cin.bad()) {
      std::fputs("cordavex payload: cannot read standard input\n", stderr);
      return 2;
    }
  }
  if (action == "encipher") return Encipher(text);
  if (action == "decipher") return Decipher(text);
  std::fprintf(stderr, "cordavex payload: unknown action '%s' (use encipher or decipher)\n%s",
               argv[1], kUsage);
  return 2;
}

}  // namespace cordavex::cli

// What the reader, the decoders, the encoder and classification return on a
// fixed corpus, folded into one digest per group and compared with the digest
// recorded when the group last changed on purpose. Restructuring the code must
// leave every group as it is; a change in what the engine returns shows up here
// first, with the group that moved.
//
// The corpus: the real QR photos and rendered QR frames in every pixel format,
// through every mode with the QR mask (each call's status, module matrix,
// decoded bytes and classified record); the QR encoder at every level on a set
// of texts; and classification of QR bytes on a set of texts.
#include <gtest/gtest.h>

#include <cstdio>
#include <cstring>
#include <memory>
#include <string>
#include <vector>

#include "cli/image_io.h"
#include "cordavex/content.h"
#include "cordavex/recognizer.h"
#include "engine/workspace.h"
#include "cordavex/qr_encoder.h"
#include "support/digest.h"
#include "support/realworld.h"
#include "support/qr_symbols.h"
#include "support/render.h"
#include "support/workspace.h"

namespace cordavex {
namespace {

using test::Digest;

void AddRecord(Digest& d, const ScanResult& r) {
  d.AddInt(r.contentType);
  d.AddInt(r.subType);
  d.AddInt(r.number);
  d.AddInt(r.resultMarker);
  d.AddText(r.RawText());
  d.AddText(r.DisplayText());
  for (int f = 0; f < kFieldCount; ++f) d.AddText(r.Get(static_cast<Field>(f)));
}

void AddMatrix(Digest& d, const ModuleMatrix& m) {
  for (int row = 0; row < ModuleMatrix::kSize; ++row) {
    uint64_t bits[2] = {};
    for (int column = 0; column < ModuleMatrix::kSize; ++column) {
      if (m.Get(row, column)) bits[column >> 6] |= uint64_t{1} << (column & 63);
    }
    d.Add(bits, sizeof bits);
  }
}

// Every mode on one frame with the QR mask, `calls` calls each on one fresh
// workspace. Returns how many modes decoded, so a group can show that its
// corpus reaches the decoders and not only the "not found" paths.
int AddFrame(Digest& d, const uint8_t* pixels, int width, int height, int bitsPerPixel,
              int calls) {
  auto result = std::make_unique<ScanResult>();
  int decoded = 0;
  for (int mode = 0; mode <= 5; ++mode) {
    test::Workspace block(width, height);
    const Recognizer& r = block.r();
    for (int call = 0; call < calls; ++call) {
      result->Clear();
      result->mode() = mode;
      result->symbologyMask() = 1;
      const int32_t status =
          RecognizeImage(pixels, block.data(), width, height, bitsPerPixel, result.get());
      d.AddInt(status);
      AddMatrix(d, r.matrix);
      if (status == 1) {
        const DecodedSymbol s = LastDecodedSymbol(block.data());
        d.AddInt(s.symbology);
        d.AddBytes(s.bytes);
        AddRecord(d, *result);
        ++decoded;
        break;
      }
    }
  }
  return decoded;
}

void ExpectDigest(const char* group, uint64_t actual, uint64_t recorded) {
  std::printf("%s digest: 0x%016llx\n", group, static_cast<unsigned long long>(actual));
  EXPECT_EQ(actual, recorded) << group << " outputs changed";
}

TEST(OutputDigest, RealPhotosInEveryMode) {
  const std::vector<test::RealWorldPhoto> files = test::RealWorldPhotos("qr");
  if (files.empty()) GTEST_SKIP() << "no real photos beside the checkout";
  Digest d;
  int decoded = 0;
  for (const test::RealWorldPhoto& photo : files) {
    cli::Image image;
    std::string error;
    ASSERT_TRUE(cli::ReadImage(test::RealWorldDir() + "/images/" + photo.file, image, error)) << error;
    decoded += AddFrame(d, image.pixels.data(), image.width, image.height, image.bitsPerPixel, 3);
  }
  std::printf("real photos: %d of %zu photo-mode pairs decoded\n", decoded, 6 * files.size());
  ExpectDigest("real photos", d.value(), 0xe13a1f907ea69008);
}

TEST(OutputDigest, RenderedFramesInEveryModeAndFormat) {
  Digest d;
  int seed = 1, decoded = 0, frames = 0;
  for (int version = 1; version <= 13; version += 2) {
    const auto bytes = test::RandomBytes(static_cast<size_t>(test::QrByteCapacity(version, 1) / 2),
                                         static_cast<uint32_t>(version));
    const auto symbol = test::EncodeQrBytes(bytes, version, test::kLevelM);
    ASSERT_TRUE(symbol.has_value());
    for (int bitsPerPixel : {8, 16, 24, 32}) {
      test::RenderOptions o;
      o.width = version < 7 ? 320 : 640;
      o.height = version < 7 ? 240 : 480;
      o.bitsPerPixel = bitsPerPixel;
      o.moduleSize = version < 7 ? 4.5 : 5.0;
      o.rotation = 7.0 * seed;
      o.perspective = (seed % 3) * 0.05;
      o.blur = (seed % 2) * 0.8;
      o.noise = 4.0;
      o.unevenLight = (seed % 4) * 0.1;
      o.seed = static_cast<uint32_t>(seed++);
      const test::Frame f = test::RenderModules(symbol->modules, symbol->size, o);
      decoded += AddFrame(d, f.pixels.data(), f.width, f.height, f.bitsPerPixel, 3);
      frames += 6;
    }
  }
  std::printf("rendered frames: %d of %d frame-mode pairs decoded\n", decoded, frames);
  ExpectDigest("rendered frames", d.value(), 0x7b85f3111f9ac63c);
}

const char* const kTexts[] = {
    "http://www.example.com/",
    "HTTPS://EXAMPLE.ORG/path?q=1",
    "MECARD:N:Doe,John;TEL:0912345678;EMAIL:john@example.com;ADR:1 Main St;;",
    "BEGIN:VCARD\r\nVERSION:2.1\r\nN:Doe;Jane\r\nTEL;CELL:0987654321\r\nEND:VCARD",
    "MATMSG:TO:a@b.c;SUB:Hello;BODY:World;;",
    "SMSTO:0911222333:see you",
    "TEL:+886-2-1234-5678",
    "MEBKM:TITLE:Example;URL:http://example.com;;",
    "wtai://wp/mc;0912345678",
    "mailto:someone@example.com",
    "user@example.com",
    "0123456789012345678",
    "plain words, nothing more",
    "\xe4\xb8\xad\xe6\x96\x87\xe6\xb8\xac\xe8\xa9\xa6",
    "\xa4\xa4\xa4\xe5",
    "BIZCARD:N:Jo;X:Doe;T:Eng;C:Acme;A:Taipei;B:02-1234;E:j@acme.tw;;",
    "@TAG0123456789",
    "MEMORY:a memo\r\nNAME1:Ann\r\nTEL1:02 2222 3333",
    "01;0912345678",
};

TEST(OutputDigest, EncoderOnFixedTexts) {
  Digest d;
  auto encoder = std::make_unique<QrEncoder>();
  for (const char* text : kTexts) {
    for (int level = 0; level < 4; ++level) {
      const int ok = QrEncode(*encoder, level, 0, 1, -1, text, 0);
      d.AddInt(ok);
      if (ok != 1) continue;
      d.AddInt(encoder->version);
      d.AddInt(encoder->mask);
      for (int row = 0; row < encoder->side; ++row) {
        for (int column = 0; column < encoder->side; ++column) {
          d.AddInt(QrModule(*encoder, row, column));
        }
      }
    }
  }
  ExpectDigest("encoder", d.value(), 0xf6aa08e989bc01ef);
}

TEST(OutputDigest, ClassificationOfQrBytes) {
  Digest d;
  auto result = std::make_unique<ScanResult>();
  for (const char* text : kTexts) {
    for (uint32_t charset : {1u, 2u, 4u, 8u, 32u}) {
      const std::string_view bytes(text);
      d.AddInt(ClassifyQrBytes({reinterpret_cast<const uint8_t*>(bytes.data()), bytes.size()},
                               charset, *result));
      AddRecord(d, *result);
    }
  }
  ExpectDigest("classification", d.value(), 0xd567a223dccca3be);
}

}  // namespace
}  // namespace cordavex

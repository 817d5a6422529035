// The PNG writer: checksums against known values, and its output taken apart
// again (signature, chunks and their CRCs, IHDR, the stored zlib stream back
// to the pixels).
#include <gtest/gtest.h>

#include <cstdint>
#include <filesystem>
#include <fstream>
#include <iterator>
#include <string>
#include <vector>

#include "framework/platform_paths.h"
#include "framework/png_file.h"

namespace {

using Bytes = std::vector<std::uint8_t>;

Bytes Ascii(std::string_view s) { return Bytes(s.begin(), s.end()); }

std::uint32_t Be32(const Bytes& b, std::size_t at) {
  return (std::uint32_t{b.at(at)} << 24) | (std::uint32_t{b.at(at + 1)} << 16) | (std::uint32_t{b.at(at + 2)} << 8) |
         b.at(at + 3);
}

struct Chunk {
  std::string type;
  Bytes data;
};

// Splits a PNG into chunks, checking each CRC; fails the test on a bad one.
std::vector<Chunk> Chunks(const Bytes& png) {
  const Bytes signature = {0x89, 'P', 'N', 'G', '\r', '\n', 0x1A, '\n'};
  EXPECT_TRUE(png.size() >= 8 && std::equal(signature.begin(), signature.end(), png.begin()));
  std::vector<Chunk> chunks;
  std::size_t at = 8;
  while (at + 12 <= png.size()) {
    const std::uint32_t length = Be32(png, at);
    if (at + 12 + length > png.size()) {
      ADD_FAILURE() << "chunk runs past the end";
      break;
    }
    const std::span<const std::uint8_t> typeAndData(png.data() + at + 4, length + 4);
    EXPECT_EQ(Be32(png, at + 8 + length), fw::Crc32(typeAndData));
    chunks.push_back({std::string(png.begin() + static_cast<long>(at) + 4, png.begin() + static_cast<long>(at) + 8),
                      Bytes(png.begin() + static_cast<long>(at) + 8,
                            png.begin() + static_cast<long>(at + 8 + length))});
    at += 12 + length;
  }
  EXPECT_EQ(at, png.size());
  return chunks;
}

// Inflates a zlib stream made of stored blocks only; checks header and Adler-32.
Bytes InflateStored(const Bytes& z) {
  Bytes out;
  EXPECT_GE(z.size(), 2u + 5u + 4u);
  if (z.size() < 11) return out;
  EXPECT_EQ(z[0] & 0x0F, 8);  // deflate
  EXPECT_EQ(((z[0] << 8) | z[1]) % 31, 0);
  std::size_t at = 2;
  bool last = false;
  while (!last && at + 5 <= z.size()) {
    last = (z[at] & 1) != 0;
    EXPECT_EQ((z[at] >> 1) & 3, 0) << "not a stored block";
    const unsigned len = z[at + 1] | (z[at + 2] << 8);
    const unsigned nlen = z[at + 3] | (z[at + 4] << 8);
    EXPECT_EQ(len ^ 0xFFFFu, nlen);
    at += 5;
    if (at + len > z.size()) {
      ADD_FAILURE() << "block runs past the end";
      return out;
    }
    out.insert(out.end(), z.begin() + static_cast<long>(at), z.begin() + static_cast<long>(at + len));
    at += len;
  }
  EXPECT_TRUE(last);
  EXPECT_EQ(at + 4, z.size());
  if (at + 4 <= z.size()) {
    EXPECT_EQ(Be32(z, at), fw::Adler32(out));
  }
  return out;
}

Bytes Pattern(int width, int height) {
  Bytes rgb(static_cast<std::size_t>(width) * static_cast<std::size_t>(height) * 3);
  std::size_t at = 0;
  for (int y = 0; y < height; ++y) {
    for (int x = 0; x < width; ++x) {
      rgb[at++] = static_cast<std::uint8_t>(x);
      rgb[at++] = static_cast<std::uint8_t>(y);
      rgb[at++] = static_cast<std::uint8_t>(x * 7 + y * 13);
    }
  }
  return rgb;
}

// Decodes what EncodePng made back into RGB rows (filter byte 0 on each).
Bytes DecodeRgb(const Bytes& png, int& width, int& height) {
  std::vector<Chunk> chunks = Chunks(png);
  EXPECT_EQ(chunks.size(), 3u);
  if (chunks.size() != 3) return {};
  EXPECT_EQ(chunks[0].type, "IHDR");
  EXPECT_EQ(chunks[1].type, "IDAT");
  EXPECT_EQ(chunks[2].type, "IEND");
  EXPECT_TRUE(chunks[2].data.empty());
  const Bytes& ihdr = chunks[0].data;
  EXPECT_EQ(ihdr.size(), 13u);
  width = static_cast<int>(Be32(ihdr, 0));
  height = static_cast<int>(Be32(ihdr, 4));
  EXPECT_EQ(ihdr[8], 8);   // bit depth
  EXPECT_EQ(ihdr[9], 2);   // RGB
  EXPECT_EQ(ihdr[10], 0);  // deflate
  EXPECT_EQ(ihdr[11], 0);
  EXPECT_EQ(ihdr[12], 0);  // no interlace
  Bytes raw = InflateStored(chunks[1].data);
  const std::size_t row = static_cast<std::size_t>(width) * 3;
  EXPECT_EQ(raw.size(), (row + 1) * static_cast<std::size_t>(height));
  Bytes rgb;
  for (std::size_t at = 0; at + row + 1 <= raw.size(); at += row + 1) {
    EXPECT_EQ(raw[at], 0);
    rgb.insert(rgb.end(), raw.begin() + static_cast<long>(at) + 1, raw.begin() + static_cast<long>(at + row) + 1);
  }
  return rgb;
}

}  // namespace

TEST(PngChecksums, KnownValues) {
  EXPECT_EQ(fw::Crc32(Ascii("123456789")), 0xCBF43926u);
  EXPECT_EQ(fw::Crc32(Ascii("IEND")), 0xAE426082u);
  EXPECT_EQ(fw::Crc32({}), 0u);
  EXPECT_EQ(fw::Adler32(Ascii("Wikipedia")), 0x11E60398u);
  EXPECT_EQ(fw::Adler32({}), 1u);
  // Running sums: in two pieces as in one.
  Bytes big(100000);
  for (std::size_t i = 0; i < big.size(); ++i) big[i] = static_cast<std::uint8_t>(0xFF - i % 3);
  const std::span<const std::uint8_t> all(big);
  EXPECT_EQ(fw::Adler32(all.subspan(40000), fw::Adler32(all.first(40000))), fw::Adler32(all));
  EXPECT_EQ(fw::Crc32(all.subspan(40000), fw::Crc32(all.first(40000))), fw::Crc32(all));
}

TEST(PngEncode, SmallImageRoundTrips) {
  const Bytes rgb = Pattern(5, 3);
  int w = 0, h = 0;
  EXPECT_EQ(DecodeRgb(fw::EncodePng(5, 3, rgb), w, h), rgb);
  EXPECT_EQ(w, 5);
  EXPECT_EQ(h, 3);
}

TEST(PngEncode, ImageOverSeveralStoredBlocksRoundTrips) {
  // 300 x 200 RGB is about 180 KB raw: three stored blocks and a short last one.
  const Bytes rgb = Pattern(300, 200);
  int w = 0, h = 0;
  EXPECT_EQ(DecodeRgb(fw::EncodePng(300, 200, rgb), w, h), rgb);
  EXPECT_EQ(w, 300);
  EXPECT_EQ(h, 200);
}

TEST(PngEncode, RefusesBadSizes) {
  EXPECT_TRUE(fw::EncodePng(0, 3, {}).empty());
  EXPECT_TRUE(fw::EncodePng(-2, 3, Pattern(2, 3)).empty());
  EXPECT_TRUE(fw::EncodePng(2, 3, Bytes(17)).empty());  // one byte short
  EXPECT_TRUE(fw::EncodePng(2, 3, Bytes(19)).empty());
  EXPECT_TRUE(fw::EncodePng(1 << 20, 1 << 20, Bytes(3)).empty());  // too large, no overflow
  EXPECT_FALSE(fw::WritePngFile(fw::JoinPath(fw::TemporaryDirectory(), "png_test_bad.png"), 2, 3, Bytes(5)));
}

TEST(PngFile, WritesTheEncodedBytes) {
  const std::string path = fw::JoinPath(fw::TemporaryDirectory(), "png_test_\xE5\x9B\xBE.png");
  const Bytes rgb = Pattern(17, 9);
  ASSERT_TRUE(fw::WritePngFile(path, 17, 9, rgb));
  const std::filesystem::path file(std::u8string(path.begin(), path.end()));
  std::ifstream in(file, std::ios::binary);
  const Bytes written((std::istreambuf_iterator<char>(in)), std::istreambuf_iterator<char>());
  in.close();
  std::filesystem::remove(file);
  EXPECT_EQ(written, fw::EncodePng(17, 9, rgb));
  EXPECT_FALSE(fw::WritePngFile(fw::JoinPath(fw::TemporaryDirectory(), "no-such-dir/x.png"), 17, 9, rgb));
}

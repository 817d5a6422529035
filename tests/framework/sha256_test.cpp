// SHA-256 against the published test vectors, and against reference digests
// at the lengths where the padding spills into a second block.
#include <gtest/gtest.h>

#include <algorithm>
#include <string>
#include <vector>

#include "framework/sha256.h"

namespace {

std::string Pattern(std::size_t n) {
  std::string bytes;
  for (std::size_t i = 0; i < n; ++i) bytes += static_cast<char>(i * 7 % 256);
  return bytes;
}

TEST(Sha256, TheStandardsVectors) {
  EXPECT_EQ(fw::Sha256Hex(""), "e3b0c44298fc1c149afbf4c8996fb92427ae41e4649b934ca495991b7852b855");
  EXPECT_EQ(fw::Sha256Hex("abc"), "ba7816bf8f01cfea414140de5dae2223b00361a396177a9cb410ff61f20015ad");
  EXPECT_EQ(fw::Sha256Hex("abcdbcdecdefdefgefghfghighijhijkijkljklmklmnlmnomnopnopq"),
            "248d6a61d20638b8e5c026930c3e6039a33ce45964ff2167f6ecedd419db06c1");
  EXPECT_EQ(fw::Sha256Hex("abcdefghbcdefghicdefghijdefghijkefghijklfghijklmghijklmnhijklmnoijklmnopjklmnopqklmnopqrlmnopqrs"
                          "mnopqrstnopqrstu"),
            "cf5b16a778af8380036ce59e7b0492370b249b11e8f07a51afac45037afee9d1");
  // One million 'a', given in pieces that never line up with a block.
  fw::CSha256 hash;
  const std::string piece(997, 'a');
  std::size_t given = 0;
  for (; given + piece.size() <= 1000000; given += piece.size()) hash.Update(piece);
  hash.Update(std::string(1000000 - given, 'a'));
  EXPECT_EQ(fw::HexDigest(hash.Finish()), "cdc76e5c9914fb9281a1c7e284d73e67f1809a48a497200e046d39ccc7112cd0");
}

TEST(Sha256, LengthsAroundTheBlockAndPaddingEdges) {
  const std::vector<std::pair<std::size_t, std::string>> reference{
      {55, "576a1bf8d4478657e6dc4af9398544765c2a92cde28478b019235cfed315fc09"},
      {56, "9b20501dfd1d99161c257950f3444f3e49230c351c5c8e0943ef369f85f5205d"},
      {57, "a5534a9d0694341dfde5b1bb3d8addcb38bd46f44a629dc97b3f8fb2721b0720"},
      {63, "30b345906b493f06f69444b6521113511c242f30e29840462950035043682f1e"},
      {64, "d8bc63b4fc1156e5e7d95a418b9bf54cd3174bedbc2db40f74895349b229b3c0"},
      {65, "1ee23b0fbcaecc1aff4a9e8f1645f35ab2c8e13609cd73b68df8b5e3f63ce073"},
      {119, "7a6589821178918ca8d9edaba5abfc1e9b2669564f4469b66885379c1530b2c8"},
      {120, "655250427d56b1b0eeb8497d21428704273458a01772d6881b65c0abac0f8a98"},
      {128, "54c9eb041badfd7064645067b107661fed6113197ce2dd066ba69618abd3732f"},
  };
  for (const auto& [length, digest] : reference) {
    const std::string bytes = Pattern(length);
    EXPECT_EQ(fw::Sha256Hex(bytes), digest) << length << " bytes at once";
    // Byte by byte, and split where the pending block fills.
    fw::CSha256 single;
    for (const char c : bytes) single.Update(std::string_view(&c, 1));
    EXPECT_EQ(fw::HexDigest(single.Finish()), digest) << length << " bytes one by one";
    for (const std::size_t cut : {std::size_t{1}, std::min<std::size_t>(63, length), length / 2}) {
      fw::CSha256 split;
      split.Update(std::string_view(bytes).substr(0, cut));
      split.Update(std::string_view(bytes).substr(cut));
      EXPECT_EQ(fw::HexDigest(split.Finish()), digest) << length << " bytes cut at " << cut;
    }
  }
}

TEST(Sha256, FinishStartsOver) {
  fw::CSha256 hash;
  hash.Update("abc");
  (void)hash.Finish();
  EXPECT_EQ(fw::HexDigest(hash.Finish()), fw::Sha256Hex(""));
  hash.Update("abc");
  EXPECT_EQ(fw::HexDigest(hash.Finish()), "ba7816bf8f01cfea414140de5dae2223b00361a396177a9cb410ff61f20015ad");
}

}  // namespace

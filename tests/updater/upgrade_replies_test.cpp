// The loader's reply frames: framing, chunking, damage, the module-name
// table, and the limits of the receive area and the text fields.
#include <gtest/gtest.h>

#include <string>
#include <vector>

#include "loader_frames.h"
#include "updater/upgrade/upgrade_replies.h"

using brevan::CUpgradeReplies;

using loaderframes::Bytes;
using loaderframes::Feed;
using loaderframes::Join;
using loaderframes::Reply;

TEST(UpgradeReplies, EachReplyTypeSetsItsFields) {
  CUpgradeReplies r;
  std::vector<std::string> boxes;
  r.m_replyMessageBox = [&](std::string_view text) { boxes.emplace_back(text); };
  // Before a name, serial and version are kept but do not end probing: the type is not known yet.
  Feed(r, Join({Reply('.', "SN0041"), Reply('/', "V2.09")}));
  EXPECT_EQ(r.m_bProbing, 1);
  EXPECT_EQ(r.SerialNo(), "SN0041");
  EXPECT_EQ(r.SoftwareVersion(), "V2.09");
  Feed(r, Reply('-', "MC75.i"));
  r.m_bProbing = 1;
  Feed(r, Reply('.', "SN0042"));
  EXPECT_EQ(r.m_bProbing, 0);
  EXPECT_EQ(r.SerialNo(), "SN0042");
  r.m_bProbing = 1;
  Feed(r, Reply('/', "V2.10"));
  EXPECT_EQ(r.m_bProbing, 0);
  EXPECT_EQ(r.m_bPageAck, 1);
  EXPECT_EQ(r.SoftwareVersion(), "V2.10");
  r.m_bPageAck = 0;
  Feed(r, Reply('1', ""));
  EXPECT_EQ(r.m_bPageAck, 1);
  Feed(r, Join({Reply(',', ""), Reply('0', "xyz"), Reply('7', "ignored")}));
  EXPECT_EQ(boxes, (std::vector<std::string>{"Upgrade finish!", "48"}));
  EXPECT_EQ(r.m_nRxCount, 0);  // every frame consumed, the unknown one too
}

TEST(UpgradeReplies, ModuleNameTable) {
  const std::pair<const char*, int> rows[] = {
      {"GTM900-2", 0}, {"CM320-2", 1},   {"EM310.00", 2},      {"EM200.00", 3},    {"GC864.QUAD", 4},
      {"MC75.i", 5},   {"CC864.DUAL", 6}, {"NET100.A", 7},      {"UC864-E", 8},     {"GL868.x", 9},
      {"UC864", 8},    {"GL8689", 9},
  };
  for (auto [name, type] : rows) EXPECT_EQ(brevan::ModuleTypeForName(name, -5), type) << name;
  // Exact rows take nothing more or less; prefix rows need their dot.
  for (const char* miss : {"EM310.001", "EM310.0", "em310.00", "GC864", "MC75", "NET100", "GTM900-2 ", ""})
    EXPECT_EQ(brevan::ModuleTypeForName(miss, -5), -5) << miss;
}

TEST(UpgradeReplies, UnknownNameKeepsTheTypeAndRefusalThenNameAccepts) {
  CUpgradeReplies r;
  r.ResetForOpen();
  Feed(r, Reply('-', "XYZ"));
  EXPECT_EQ(r.m_nModuleType, 0);  // Open's value stays
  EXPECT_EQ(r.ModuleName(), "XYZ");
  EXPECT_EQ(r.m_bProbing, 1);
  EXPECT_EQ(r.m_bOtherModuleNamed, 1);
  Feed(r, Join({Reply('+', ""), Reply('-', "CC864.DUAL")}));
  EXPECT_EQ(r.m_nModuleType, 6);  // the name overwrites the refusal
  Feed(r, Join({Reply('-', "CC864.DUAL"), Reply('+', "")}));
  EXPECT_EQ(r.m_nModuleType, -1);
  Feed(r, Reply('-', "nothing known"));
  EXPECT_EQ(r.m_nModuleType, -1);  // a refusal stays when no row matches
  r.ResetForOpen();
  EXPECT_EQ(r.m_bOtherModuleNamed, 0);  // an earlier board's name says nothing of the next
  Feed(r, Reply('-', "EM200.00"));
  EXPECT_EQ(r.m_bOtherModuleNamed, 0);
}

TEST(UpgradeReplies, SplitRepliesWaitAndGarbageIsSkipped) {
  CUpgradeReplies r;
  const Bytes frame = Join({Bytes{0x00, 0x24, 0x10, 0x10, 0x24}, Reply('.', "SN77"), Reply('/', "V9")});
  // Byte by byte: each reply is acted on once its last byte is in.
  for (std::size_t i = 0; i < frame.size(); ++i) {
    r.ParseReplies(&frame[i], 1);
    if (i + 1 < frame.size() - Reply('/', "V9").size()) {
      EXPECT_EQ(r.SerialNo(), "") << i;
    }
  }
  EXPECT_EQ(r.SerialNo(), "SN77");
  EXPECT_EQ(r.SoftwareVersion(), "V9");
  EXPECT_EQ(r.m_nRxCount, 0);
  // At most seven trailing bytes of anything wait for more.
  Feed(r, Bytes{1, 2, 3, 4, 5, 6, 7});
  EXPECT_EQ(r.m_nRxCount, 7);
  Feed(r, Bytes{8});
  EXPECT_EQ(r.m_nRxCount, 7);
}

TEST(UpgradeReplies, OnlyAKnownModulesNameEndsProbing) {
  CUpgradeReplies r;
  r.ResetForOpen();
  // A name bent on the line, or of a module the bank has no slot for: no type, probing goes on.
  for (const char* name : {"CC864\x2c" "DUAL", "XYZ123", ""}) {
    Feed(r, Join({Reply('-', name), Reply('.', "SN"), Reply('/', "V1")}));
    EXPECT_EQ(r.m_bProbing, 1) << name;
    EXPECT_EQ(r.m_nModuleType, 0) << name;
  }
  Feed(r, Join({Reply('-', "CC864.DUAL"), Reply('.', "SN"), Reply('/', "V1")}));
  EXPECT_EQ(r.m_bProbing, 0);
  EXPECT_EQ(r.m_nModuleType, 6);
}

TEST(UpgradeReplies, LengthThatCannotFitTheAreaIsDamageNotAStall) {
  CUpgradeReplies r;
  // '$' '.' complement, length 0xFFFF: no such frame can ever complete.
  Feed(r, Join({Bytes{0x24, '.', 0xFF - '.', 0xFF, 0xFF, 0, 0}, Reply('.', "after")}));
  EXPECT_EQ(r.SerialNo(), "after");
  // The largest length that still fits is waited for.
  Bytes big = Reply('.', std::string(1014, 'x'));
  ASSERT_EQ(big.size(), 1024u);
  Feed(r, Bytes(big.begin(), big.begin() + 600));
  EXPECT_EQ(r.SerialNo(), "after");
  Feed(r, Bytes(big.begin() + 600, big.end()));
  EXPECT_EQ(r.SerialNo(), std::string(39, 'x'));  // cut to its field
}

TEST(UpgradeReplies, OverflowingChunkDropsTheOldestBytes) {
  CUpgradeReplies r;
  Feed(r, Bytes(1000, 0x24));  // '$' bytes that never form a frame (0x24 + 0x24 != 0xFF)
  EXPECT_LE(r.m_nRxCount, 7);
  // Fill with an incomplete frame, then a chunk larger than the space left.
  Bytes partial = Reply('.', std::string(900, 'p'));
  partial.resize(800);
  Feed(r, partial);
  const Bytes next = Reply('/', "V7");
  Bytes chunk(1024 - next.size(), 0);
  chunk.insert(chunk.end(), next.begin(), next.end());
  Feed(r, chunk);
  EXPECT_LE(r.m_nRxCount, brevan::kReceiveArea);
  EXPECT_EQ(r.SoftwareVersion(), "V7");  // the newest reply survived
}

TEST(UpgradeReplies, OpenResetsFlagsAndAreaButNotTexts) {
  CUpgradeReplies r;
  Feed(r, Join({Reply('.', "SN1"), Reply('+', ""), Bytes{0x24, 0x2E}}));
  r.ResetForOpen();
  EXPECT_EQ(r.m_nRxCount, 0);
  EXPECT_EQ(r.m_bProbing, 1);
  EXPECT_EQ(r.m_bPageAck, 0);
  EXPECT_EQ(r.m_nModuleType, 0);
  EXPECT_EQ(r.SerialNo(), "SN1");
}

TEST(UpgradeReplies, AnAnswersClosingSlashIsNoAcknowledgementOnceTheFirstPageIsOut) {
  const Bytes answer = Join({Reply('-', "GTM900-2"), Reply('.', "SN1"), Reply('/', "591021")});
  CUpgradeReplies r;
  r.ResetForOpen();
  // Before the first page the answer's '/' starts writing.
  Feed(r, answer);
  EXPECT_EQ(r.m_bPageAck, 1);
  r.m_bPageAck = 0;
  r.m_bFirstPageSent = 1;
  // A second answer, its '-' and '.' parsed before the page went out, its '/' after.
  Feed(r, Bytes(answer.begin(), answer.end() - 16));
  Feed(r, Bytes(answer.end() - 16, answer.end()));
  EXPECT_EQ(r.m_bPageAck, 0);
  EXPECT_EQ(r.SoftwareVersion(), "591021");
  // '1' always acknowledges, and so does a '/' that closes no answer.
  Feed(r, Reply('1', ""));
  EXPECT_EQ(r.m_bPageAck, 1);
  r.m_bPageAck = 0;
  Feed(r, Reply('/', ""));
  EXPECT_EQ(r.m_bPageAck, 1);
  r.m_bPageAck = 0;
  // A '.' alone opens an answer too; the next '/' closes it, the one after acknowledges.
  Feed(r, Join({Reply('.', "SN1"), Reply('/', "591021")}));
  EXPECT_EQ(r.m_bPageAck, 0);
  Feed(r, Reply('/', ""));
  EXPECT_EQ(r.m_bPageAck, 1);
  // Open starts over: the next upgrade's first '/' begins writing again.
  r.ResetForOpen();
  Feed(r, Join({Reply('-', "GTM900-2"), Reply('/', "591021")}));
  EXPECT_EQ(r.m_bPageAck, 1);
  EXPECT_EQ(r.m_bFirstPageSent, 0);
}

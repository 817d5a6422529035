// The PortDcb to termios2 mapping as a plain function, read back through an
// independent decoder, and how open() failures are told apart.
#include <gtest/gtest.h>

#include <cerrno>

#include "serial/posix/posix_line.h"
#include "serial/posix/posix_serial_port.h"
#include "support/posix/pty_testkit.h"

using serial::PortDcb;
using serial::posix::DcbToLine;
using serial::posix::LineImage;
using serial::posix::LineToDcb;
using serial::posix::testkit::CookedLine;
using serial::posix::testkit::Describe;

namespace {

PortDcb Dcb(std::uint32_t rate = 9600) {
  PortDcb d;
  d.BaudRate = rate;
  return d;
}

LineImage Mapped(const PortDcb& dcb) {
  LineImage image = CookedLine();
  EXPECT_TRUE(DcbToLine(dcb, image));
  return image;
}

}  // namespace

TEST(PosixLineMapping, ByteSizeFiveToEightOthersRefused) {
  for (std::uint8_t size = 5; size <= 8; ++size) {
    PortDcb d = Dcb();
    d.ByteSize = size;
    EXPECT_EQ(Describe(Mapped(d)).dataBits, size);
  }
  for (const int size : {0, 4, 9, 16}) {
    PortDcb d = Dcb();
    d.ByteSize = static_cast<std::uint8_t>(size);
    LineImage image = CookedLine();
    const LineImage before = image;
    EXPECT_FALSE(DcbToLine(d, image)) << size;
    EXPECT_EQ(Describe(image).dataBits, Describe(before).dataBits);
  }
}

TEST(PosixLineMapping, ParityCodesAndTheirReadBack) {
  struct Case {
    std::uint8_t code;
    bool enabled, odd, markSpace;
  };
  for (const Case c : {Case{serial::kNoParity, false, false, false}, Case{serial::kOddParity, true, true, false},
                       Case{serial::kEvenParity, true, false, false}, Case{serial::kMarkParity, true, true, true},
                       Case{serial::kSpaceParity, true, false, true}}) {
    PortDcb d = Dcb();
    d.Parity = c.code;
    const auto facts = Describe(Mapped(d));
    EXPECT_EQ(facts.parity, c.enabled) << int{c.code};
    if (c.enabled) {
      EXPECT_EQ(facts.oddParity, c.odd) << int{c.code};
    }
    EXPECT_EQ(facts.markSpace, c.markSpace) << int{c.code};
    PortDcb back = Dcb();
    back.Parity = serial::kEvenParity;
    LineToDcb(Mapped(d), back);
    EXPECT_EQ(back.Parity, c.code);
  }
  PortDcb d = Dcb();
  d.Parity = 5;
  LineImage image = CookedLine();
  EXPECT_FALSE(DcbToLine(d, image));
}

TEST(PosixLineMapping, StopBitsOneAndAHalfIsTwoOnTheLineAndKeptInTheRecord) {
  PortDcb d = Dcb();
  EXPECT_FALSE(Describe(Mapped(d)).twoStopBits);
  d.StopBits = serial::kTwoStopBits;
  EXPECT_TRUE(Describe(Mapped(d)).twoStopBits);
  d.StopBits = serial::kOne5StopBits;
  const LineImage image = Mapped(d);
  EXPECT_TRUE(Describe(image).twoStopBits);
  PortDcb back = d;
  LineToDcb(image, back);
  EXPECT_EQ(back.StopBits, serial::kOne5StopBits);
  back.StopBits = serial::kOneStopBit;
  LineToDcb(image, back);
  EXPECT_EQ(back.StopBits, serial::kTwoStopBits);
  d.StopBits = 3;
  LineImage refused = CookedLine();
  EXPECT_FALSE(DcbToLine(d, refused));
}

TEST(PosixLineMapping, FlowControlXonXoffAndParityCheck) {
  PortDcb none = Dcb();
  const auto plain = Describe(Mapped(none));
  EXPECT_FALSE(plain.rtsCts);
  EXPECT_FALSE(plain.xonOutput);  // the cooked line had it on
  EXPECT_FALSE(plain.xonInput);
  EXPECT_FALSE(plain.parityCheck);

  PortDcb cts = Dcb();
  cts.fOutxCtsFlow = 1;
  EXPECT_TRUE(Describe(Mapped(cts)).rtsCts);
  PortDcb rts = Dcb();
  rts.fRtsControl = serial::kRtsControlHandshake;
  EXPECT_TRUE(Describe(Mapped(rts)).rtsCts);
  PortDcb back = Dcb();
  LineToDcb(Mapped(rts), back);
  EXPECT_EQ(back.fOutxCtsFlow, 1);
  EXPECT_EQ(back.fRtsControl, serial::kRtsControlHandshake);
  LineToDcb(Mapped(none), back);
  EXPECT_EQ(back.fOutxCtsFlow, 0);
  EXPECT_EQ(back.fRtsControl, serial::kRtsControlEnable);

  PortDcb out = Dcb();
  out.fOutX = 1;
  out.XonChar = 0x11;
  out.XoffChar = 0x13;
  const auto outFacts = Describe(Mapped(out));
  EXPECT_TRUE(outFacts.xonOutput);
  EXPECT_FALSE(outFacts.xonInput);
  EXPECT_EQ(outFacts.startChar, 0x11);
  EXPECT_EQ(outFacts.stopChar, 0x13);
  PortDcb in = Dcb();
  in.fInX = 1;
  in.XonChar = 'Q';
  in.XoffChar = 'S';
  const auto inFacts = Describe(Mapped(in));
  EXPECT_FALSE(inFacts.xonOutput);
  EXPECT_TRUE(inFacts.xonInput);
  EXPECT_EQ(inFacts.startChar, 'Q');
  EXPECT_EQ(inFacts.stopChar, 'S');

  PortDcb check = Dcb();
  check.fParity = 1;
  EXPECT_TRUE(Describe(Mapped(check)).parityCheck);
}

TEST(PosixLineMapping, AnyRateBothWaysAndZeroRefused) {
  for (const std::uint32_t rate : {250000u, 57600u, 9600u, 3000000u, 1u}) {
    const auto facts = Describe(Mapped(Dcb(rate)));
    EXPECT_TRUE(facts.anyRate) << rate;
    EXPECT_EQ(facts.inRate, rate);
    EXPECT_EQ(facts.outRate, rate);
  }
  LineImage image = CookedLine();
  EXPECT_FALSE(DcbToLine(Dcb(0), image));
  EXPECT_EQ(Describe(image).outRate, 38400u);
}

TEST(PosixLineMapping, RoundTripKeepsEveryMappedFieldWhateverTheRecordHeld) {
  for (std::uint8_t size = 5; size <= 8; ++size) {
    for (std::uint8_t parity = 0; parity <= serial::kSpaceParity; ++parity) {
      for (const std::uint8_t stop : {serial::kOneStopBit, serial::kTwoStopBits}) {
        PortDcb d = Dcb(100000u + size * 1000u + parity * 10u + stop);
        d.ByteSize = size;
        d.Parity = parity;
        d.StopBits = stop;
        d.fOutX = parity & 1;
        d.fInX = size & 1;
        d.fParity = stop != 0 ? 1 : 0;
        d.fOutxCtsFlow = parity > 2 ? 1 : 0;
        d.fRtsControl = parity > 2 ? serial::kRtsControlHandshake : serial::kRtsControlDisable;
        d.XonChar = static_cast<char>(size);
        d.XoffChar = static_cast<char>(parity + 40);
        PortDcb back;  // nothing of `d` in it
        LineToDcb(Mapped(d), back);
        EXPECT_EQ(back, d) << int{size} << "/" << int{parity} << "/" << int{stop};
      }
    }
  }
}

TEST(PosixLineMapping, RawModeFromACookedLine) {
  LineImage image = CookedLine();
  ASSERT_FALSE(Describe(image).raw);
  serial::posix::MakeRaw(image);
  const auto facts = Describe(image);
  EXPECT_TRUE(facts.raw);
  EXPECT_FALSE(facts.xonOutput);
  EXPECT_EQ(facts.dataBits, 8);
  EXPECT_FALSE(facts.parity);
  EXPECT_TRUE(facts.local);
  EXPECT_TRUE(facts.receiverOn);
  EXPECT_EQ(facts.vmin, 0);
  EXPECT_EQ(facts.vtime, 0);
  EXPECT_EQ(facts.outRate, 38400u);  // the rate is not raw mode's business
}

TEST(PosixOpenErrors, ErrnoTellsTheUserWhatToDo) {
  using serial::OpenFailure;
  using serial::posix::ClassifyOpenErrno;
  for (const int e : {ENOENT, ENODEV, ENXIO}) EXPECT_EQ(ClassifyOpenErrno(e), OpenFailure::NotFound) << e;
  for (const int e : {EACCES, EPERM}) EXPECT_EQ(ClassifyOpenErrno(e), OpenFailure::AccessDenied) << e;
  EXPECT_EQ(ClassifyOpenErrno(EBUSY), OpenFailure::Busy);
  for (const int e : {EIO, EINVAL, EISDIR, EMFILE}) EXPECT_EQ(ClassifyOpenErrno(e), OpenFailure::Other) << e;
}

// COM-port listing: number order, the POSIX directory scan with its probe.
#include <gtest/gtest.h>

#include <fstream>
#include <set>
#include <string>
#include <vector>

#include "serial/port_list.h"
#include "support/temp_dir.h"

namespace {

using Names = std::vector<std::string>;

TEST(PortOrder, NumbersCompareByValueNotText) {
  Names names = {"ttyS10", "ttyS2", "ttyS1", "ttyS0", "ttyS100", "ttyS9"};
  serial::SortByPortNumber(names);
  EXPECT_EQ(names, (Names{"ttyS0", "ttyS1", "ttyS2", "ttyS9", "ttyS10", "ttyS100"}));
}

TEST(PortOrder, ComNamesInRisingNumber) {
  Names names = {"COM12", "COM3", "COM255", "COM1"};
  serial::SortByPortNumber(names);
  EXPECT_EQ(names, (Names{"COM1", "COM3", "COM12", "COM255"}));
}

TEST(PortOrder, StemsGroupBeforeNumbers) {
  Names names = {"ttyUSB1", "ttyACM0", "ttyUSB0", "ttyACM10", "ttyACM2"};
  serial::SortByPortNumber(names);
  EXPECT_EQ(names, (Names{"ttyACM0", "ttyACM2", "ttyACM10", "ttyUSB0", "ttyUSB1"}));
}

TEST(PortOrder, NumberedNamesNeedTheStemAndOnlyDigitsAfterIt) {
  EXPECT_TRUE(serial::IsNumberedName("ttyUSB0", "ttyUSB"));
  EXPECT_TRUE(serial::IsNumberedName("rfcomm12", "rfcomm"));
  EXPECT_FALSE(serial::IsNumberedName("ttyUSB", "ttyUSB"));    // no number
  EXPECT_FALSE(serial::IsNumberedName("ttyUSB0a", "ttyUSB"));  // not only digits
  EXPECT_FALSE(serial::IsNumberedName("ttyS0", "ttyUSB"));
  EXPECT_FALSE(serial::IsNumberedName("xttyS0", "ttyS"));      // stem at the start only
}

class PortScan : public ::testing::Test {
 protected:
  void Touch(const std::string& name) { std::ofstream(m_dir.File(name)).put('x'); }
  std::string Path(const std::string& name) const { return m_dir.File(name); }
  std::string Dir() const { return m_dir.Path().string(); }
  testing_support::TempDir m_dir;
};

TEST_F(PortScan, GroupsInOrderTtySFirst) {
  for (const char* n : {"ttyACM1", "ttyUSB10", "ttyS10", "ttyUSB2", "ttyS2", "ttyACM0", "ttyS0"}) Touch(n);
  const Names got = serial::ListSerialDevices(Dir(), [](const std::string&) { return true; });
  EXPECT_EQ(got, (Names{Path("ttyS0"), Path("ttyS2"), Path("ttyS10"), Path("ttyUSB2"), Path("ttyUSB10"),
                        Path("ttyACM0"), Path("ttyACM1")}));
}

TEST_F(PortScan, ProbeFiltersOnlyLegacyPorts) {
  for (const char* n : {"ttyS0", "ttyS1", "ttyS3", "ttyUSB0", "ttyACM0"}) Touch(n);
  std::set<std::string> probed;
  const Names got = serial::ListSerialDevices(Dir(), [&](const std::string& path) {
    probed.insert(path);
    return path == Path("ttyS1");
  });
  EXPECT_EQ(got, (Names{Path("ttyS1"), Path("ttyUSB0"), Path("ttyACM0")}));
  EXPECT_EQ(probed, (std::set<std::string>{Path("ttyS0"), Path("ttyS1"), Path("ttyS3")}));
}

TEST_F(PortScan, OtherNamesAreNotPorts) {
  for (const char* n : {"tty0", "ttyS", "ttySx1", "ttyUSB1a", "console", "ttyprintk", "ttyACM", "ttyS4"}) Touch(n);
  const Names got = serial::ListSerialDevices(Dir(), [](const std::string&) { return true; });
  EXPECT_EQ(got, (Names{Path("ttyS4")}));
}

TEST_F(PortScan, MissingDirectoryListsNothing) {
  EXPECT_TRUE(serial::ListSerialDevices(Path("absent"), [](const std::string&) { return true; }).empty());
}

TEST(PortList, SystemListIsSortedAndUnique) {
  const Names ports = serial::ListCommPorts();
  Names sorted = ports;
  serial::SortByPortNumber(sorted);
  // Natively the three groups are kept apart, so only check within the list's own order on Windows.
#ifdef _WIN32
  EXPECT_EQ(ports, sorted);
  for (const std::string& p : ports) EXPECT_TRUE(p.starts_with("COM")) << p;
#else
  for (const std::string& p : ports) EXPECT_TRUE(p.starts_with("/dev/tty")) << p;
#endif
  EXPECT_EQ(std::set<std::string>(ports.begin(), ports.end()).size(), ports.size());
}

}  // namespace

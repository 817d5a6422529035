// The one group-name lookup: a named group by its name, an unnamed one as nothing
// (the engine then leaves permissionGroup empty, the facts show the number).
#include <gtest/gtest.h>

#include <grp.h>
#include <unistd.h>

#include <string>

#include "serial/posix/group_name_posix.h"

namespace {

TEST(GroupName, NamedGroupAndGroupWithoutName) {
  const gid_t own = ::getegid();
  const group* entry = ::getgrgid(own);
  ASSERT_NE(entry, nullptr) << "this process's group has no entry";
  EXPECT_EQ(serial::posix::GroupNameOf(own), std::string(entry->gr_name));

  gid_t unnamed = 3999999;
  while (::getgrgid(unnamed) != nullptr) ++unnamed;
  EXPECT_FALSE(serial::posix::GroupNameOf(unnamed).has_value());
}

}  // namespace

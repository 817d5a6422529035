// The thread locale set by id on Windows.
#include <gtest/gtest.h>

#include "framework/ui_language.h"
#include "framework/win32/win32_api.h"

namespace {

TEST(Win32Locale, ThreadLocaleByIdIsTheThreadsLocale) {
  const LCID before = GetThreadLocale();
  for (unsigned long id : {0x0416ul, 0x0404ul, 0x0409ul}) {
    SCOPED_TRACE(id);
    EXPECT_TRUE(fw::ApplyThreadLocaleId(id));
    EXPECT_EQ(GetThreadLocale(), id);
  }
  SetThreadLocale(before);
}

}  // namespace

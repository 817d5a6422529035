#pragma once
// The Win32 updater's profile, placed where the user who runs it can write it
// (framework/profile_place.h), found out by trying.
#include <string_view>

#include "framework/profile.h"

namespace fw::win32 {

// modulePath: the program file; the profile is named after it ("Brevan.INI").
CProfile PlacedProgramProfile(std::string_view modulePath);

}  // namespace fw::win32

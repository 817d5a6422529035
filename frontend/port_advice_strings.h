#pragma once
// Texts of the advice on a port that did not open, English and Chinese.
#include "framework/string_table.h"

namespace fe {

enum PortAdviceStringId : int {
  kAdviceMissing = 1,         // %1 path, %2 ports present
  kAdviceNoDevice,            // %1 path (the node is there, no device behind it), %2 ports present
  kAdviceNoneFound,           // in place of the ports present
  kAdviceMorePorts,           // %1 ports, %2 how many more
  kAdviceListSeparator,
  kAdviceJoinGroup,           // %1 path, %2 group, %3 user
  kAdviceLogInAgain,          // %1 path, %2 group, %3 user
  kAdviceGroupHasNoAccess,    // %1 path, %2 group, %3 mode
  kAdviceDeniedInGroup,       // %1 path, %2 group, %3 system text
  kAdviceDenied,              // %1 path, %2 system text
  kAdviceHeldBy,              // %1 path, %2 holders
  kAdviceHeldByModemManager,  // %1 path, %2 holder
  kAdviceHeldByUnknown,       // %1 path
  kAdviceHeldByUnknownHint,   // %1 path: not every process could be looked at
  kAdviceHolder,              // %1 name, %2 pid
  kAdviceHolderNoName,        // %1 pid
  kAdviceNotSerial,           // %1 path, %2 what it is, %3 ports present
  kAdviceKindRegular,
  kAdviceKindDirectory,
  kAdviceKindDevice,          // a device that is no terminal
  kAdviceKindOther,
  kAdviceOpenFailed,          // %1 path, %2 system text
  kAdviceOpenFailedNoText,    // %1 path
};

const fw::CStringTable& PortAdviceStrings();

}  // namespace fe

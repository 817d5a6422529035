#include "packaging/file_bytes.h"

#include "framework/file.h"
#include "framework/text_format.h"
#include "packaging/file_ops.h"
#include "packaging/pack_messages.h"

namespace brevan::pack {

bool ReadWholeFile(std::string_view path, std::size_t limit, std::vector<std::uint8_t>& bytes,
                   std::string& message) {
  CFile file;
  if (!file.Open(path, FileMode::Read)) {
    message = fw::FormatText(msg::kOpenFailed, {path, file.ErrorText()});
    return false;
  }
  const std::int64_t size = file.Size();
  if (size < 0) {
    message = fw::FormatText(msg::kReadFailed, {path, file.ErrorText()});
    return false;
  }
  if (static_cast<std::uint64_t>(size) > limit) {
    message = fw::FormatText(msg::kFileTooLarge, {path, std::to_string(size), std::to_string(limit)});
    return false;
  }
  // One byte more than expected shows a file that grew meanwhile.
  bytes.assign(static_cast<std::size_t>(size) + 1, 0);
  const std::int64_t got = file.Read(bytes);
  if (got < 0) {
    message = fw::FormatText(msg::kReadFailed, {path, file.ErrorText()});
    return false;
  }
  if (got != size) {
    message = fw::FormatText(msg::kFileChanged, {path});
    return false;
  }
  bytes.pop_back();
  return true;
}

bool WriteFileReplacing(std::string_view target, std::span<const std::uint8_t> bytes,
                        std::string_view permissionsFrom, std::string& message) {
  const std::string temporary = std::string(target) + ".pack-tmp";
  auto fail = [&](std::string text) {
    platform::RemoveFile(temporary);
    message = std::move(text);
    return false;
  };
  {
    CFile file;
    if (!file.Open(temporary, FileMode::CreateWrite)) {
      return fail(fw::FormatText(msg::kCreateFailed, {temporary, file.ErrorText()}));
    }
    if (!file.Write(bytes)) return fail(fw::FormatText(msg::kWriteFailed, {temporary, file.ErrorText()}));
  }  // closed before the move: Windows cannot rename an open file
  std::string cause;
  if (!platform::CopyPermissionBits(permissionsFrom, temporary, cause)) {
    return fail(fw::FormatText(msg::kPermissionsFailed, {temporary, permissionsFrom, cause}));
  }
  if (!platform::ReplaceFile(temporary, target, cause)) {
    return fail(fw::FormatText(msg::kRenameFailed, {target, cause}));
  }
  return true;
}

}  // namespace brevan::pack

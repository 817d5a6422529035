#include "updater/resources/brevan_strings.h"

#include <array>

#include "framework/string_table.h"
#include "framework/text_format.h"
#include "updater/image_bank/overlay_format.h"

namespace brevan {

namespace {

constexpr std::array kEnglish{
    fw::StringEntry{IDS_FILE_OPEN_FAILED, "ERROR:>>cannot open file \"%1\": %2"},
    fw::StringEntry{IDS_FILE_READ_FAILED, "ERROR:>>cannot read file \"%1\": %2"},
    fw::StringEntry{IDS_FILE_CREATE_FAILED, "ERROR:>>cannot create file \"%1\": %2"},
    fw::StringEntry{IDS_FILE_WRITE_FAILED, "ERROR:>>cannot write file \"%1\": %2"},
    fw::StringEntry{IDS_OVERLAY_TRUNCATED, "ERROR:>>the firmware images in \"%1\" are incomplete: %2 of %3 bytes present"},
    fw::StringEntry{IDS_NO_IMAGES, "ERROR:>>\"%1\" carries no firmware images; choose a firmware file with --image FILE"},
    fw::StringEntry{IDS_LIST_LOAD_MODE, "load mode %1, loaded module %2"},
    fw::StringEntry{IDS_LIST_USAGE,
                    "usage: brevan --list [--image FILE]\n"
                    "  --list          print the firmware image bank: slot, module, version, length\n"
                    "  --image FILE    load FILE (Intel HEX or memory image) instead of the built-in images"},
};

constexpr std::array kChinese{
    fw::StringEntry{IDS_FILE_OPEN_FAILED, "错误:>>无法打开文件“%1”：%2"},
    fw::StringEntry{IDS_FILE_READ_FAILED, "错误:>>无法读取文件“%1”：%2"},
    fw::StringEntry{IDS_FILE_CREATE_FAILED, "错误:>>无法创建文件“%1”：%2"},
    fw::StringEntry{IDS_FILE_WRITE_FAILED, "错误:>>无法写入文件“%1”：%2"},
    fw::StringEntry{IDS_OVERLAY_TRUNCATED, "错误:>>“%1”中的固件映像不完整：只有 %2 / %3 字节"},
    fw::StringEntry{IDS_NO_IMAGES, "错误:>>“%1”中没有固件映像，请用 --image FILE 选择固件文件"},
    fw::StringEntry{IDS_LIST_LOAD_MODE, "load mode %1, loaded module %2"},
    fw::StringEntry{IDS_LIST_USAGE,
                    "用法: brevan --list [--image FILE]\n"
                    "  --list          列出固件映像: 槽号、模块、版本、长度\n"
                    "  --image FILE    改用文件 FILE（Intel HEX 或内存映像）代替内置的固件映像"},
};

constexpr fw::CStringTable kBrevanStrings(kChinese, kEnglish);

}  // namespace

const fw::CStringTable& BrevanStrings() { return kBrevanStrings; }

std::string_view BrevanString(fw::UiLanguage language, int id) { return kBrevanStrings.Lookup(language, id); }

std::string DescribeFileProblem(fw::UiLanguage language, const FileProblem& problem) {
  auto text = [&](int id) { return BrevanString(language, id); };
  switch (problem.step) {
    case FileStep::None:
      return {};
    case FileStep::Open:
      return fw::FormatText(text(IDS_FILE_OPEN_FAILED), {problem.path, problem.cause});
    case FileStep::Read:
      return fw::FormatText(text(IDS_FILE_READ_FAILED), {problem.path, problem.cause});
    case FileStep::Create:
      return fw::FormatText(text(IDS_FILE_CREATE_FAILED), {problem.path, problem.cause});
    case FileStep::Write:
      return fw::FormatText(text(IDS_FILE_WRITE_FAILED), {problem.path, problem.cause});
    case FileStep::OverlayTruncated:
      return fw::FormatText(text(IDS_OVERLAY_TRUNCATED),
                            {problem.path, std::to_string(problem.bytesFound), std::to_string(kOverlaySize)});
  }
  return {};
}

}  // namespace brevan

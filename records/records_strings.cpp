#include "records/records_strings.h"

#include <string_view>

#include "framework/text_format.h"
#include "records/identity_rules.h"
#include "records/schema.h"

namespace records {

namespace {

constexpr fw::StringEntry kEnglish[] = {
    {IDS_RECORDS_UNREACHABLE, "The record store %1 cannot be reached: %2."},
    {IDS_RECORDS_REFUSED, "The record store %1 refused the connection: %2."},
    {IDS_RECORDS_BUSY, "The record store %1 stayed locked by another program: %2."},
    {IDS_RECORDS_READ_ONLY, "The record store %1 is read-only: %2."},
    {IDS_RECORDS_CORRUPT, "The record store %1 is damaged or not a record store: %2."},
    {IDS_RECORDS_TOO_NEW, "The record store %1 was written by a newer program (its version %2, this program's %3)."},
    {IDS_RECORDS_DISK_FULL, "The disk of the record store %1 is full: %2."},
    {IDS_RECORDS_BAD_URL, "\"%1\" is not a record store: %2."},
    {IDS_RECORDS_DAY_FULL, "The record store %1 has handed out all %3 serial numbers of %2 in the %4 form."},
    {IDS_RECORDS_VALUE_TAKEN,
     "The record store %1 already holds the %2 %3: board with serial number %4 (label \"%5\", station %6)."},
    {IDS_RECORDS_LABEL_PASSED,
     "The label \"%2\" belongs to a board that passed: serial number %3, station %4 (record store %1)."},
    {IDS_RECORDS_NOT_FOUND, "The record store %1 has no board for \"%2\"."},
    {IDS_RECORDS_CONFLICT, "The record store %1 kept meeting a value another station took at the same time: %2."},
    {IDS_RECORDS_OTHER, "The record store %1 failed: %2."},
    {IDS_RECORDS_FIELD_NAMES, "serial number\nlocal id\nlogin\nlabel\nnarrow\nwide"},
    {IDS_RECORDS_NO_CAUSE, "no cause given"},
    {IDS_RECORDS_TOO_OLD,
     "The record store %1 is at version %2 and this program needs %3: open it once with a program that may write it."},
    {IDS_RECORDS_BAD_DATE, "The record store %1 was given the local date %2, which does not exist."},
    {IDS_RECORDS_BAD_TIME, "The record store %1 was given the time \"%2\", which is not a UTC time such as 2026-12-09T21:05:00Z."},
};

constexpr fw::StringEntry kChinese[] = {
    {IDS_RECORDS_UNREACHABLE, "无法连接记录库 %1：%2。"},
    {IDS_RECORDS_REFUSED, "记录库 %1 拒绝了连接：%2。"},
    {IDS_RECORDS_BUSY, "记录库 %1 一直被其他程序锁住：%2。"},
    {IDS_RECORDS_READ_ONLY, "记录库 %1 只读：%2。"},
    {IDS_RECORDS_CORRUPT, "记录库 %1 已损坏或不是记录库：%2。"},
    {IDS_RECORDS_TOO_NEW, "记录库 %1 由更新的程序写入（其版本 %2，本程序版本 %3）。"},
    {IDS_RECORDS_DISK_FULL, "记录库 %1 所在磁盘已满：%2。"},
    {IDS_RECORDS_BAD_URL, "“%1”不是记录库：%2。"},
    {IDS_RECORDS_DAY_FULL, "记录库 %1 已发完 %2 的全部 %3 个%4序列号。"},
    {IDS_RECORDS_VALUE_TAKEN, "记录库 %1 中已有%2 %3：序列号为 %4 的板卡（标签“%5”，工位 %6）。"},
    {IDS_RECORDS_LABEL_PASSED, "标签“%2”属于已通过的板卡：序列号 %3，工位 %4（记录库 %1）。"},
    {IDS_RECORDS_NOT_FOUND, "记录库 %1 中没有“%2”对应的板卡。"},
    {IDS_RECORDS_CONFLICT, "记录库 %1 中的值反复被其他工位同时占用：%2。"},
    {IDS_RECORDS_OTHER, "记录库 %1 出错：%2。"},
    {IDS_RECORDS_FIELD_NAMES, "序列号\n本地编号\n登录名\n标签\n窄格式\n宽格式"},
    {IDS_RECORDS_NO_CAUSE, "未给出原因"},
    {IDS_RECORDS_TOO_OLD, "记录库 %1 的版本为 %2，本程序需要版本 %3：请先用可写入它的程序打开一次。"},
    {IDS_RECORDS_BAD_DATE, "交给记录库 %1 的本地日期 %2 不存在。"},
    {IDS_RECORDS_BAD_TIME, "交给记录库 %1 的时间“%2”不是 2026-12-09T21:05:00Z 这样的协调世界时。"},
};

constexpr fw::CStringTable kTable(kChinese, kEnglish);

std::string FieldName(IdField field, fw::UiLanguage language) {
  std::string_view names = kTable.Lookup(language, IDS_RECORDS_FIELD_NAMES);
  for (int i = 1; i < static_cast<int>(field); ++i) {
    const std::size_t lf = names.find('\n');
    if (lf == std::string_view::npos) return {};
    names.remove_prefix(lf + 1);
  }
  return std::string(names.substr(0, names.find('\n')));
}

RecordsStringId IdOf(ErrorKind kind) {
  switch (kind) {
    case ErrorKind::Unreachable: return IDS_RECORDS_UNREACHABLE;
    case ErrorKind::Refused: return IDS_RECORDS_REFUSED;
    case ErrorKind::Busy: return IDS_RECORDS_BUSY;
    case ErrorKind::ReadOnly: return IDS_RECORDS_READ_ONLY;
    case ErrorKind::Corrupt: return IDS_RECORDS_CORRUPT;
    case ErrorKind::TooNew: return IDS_RECORDS_TOO_NEW;
    case ErrorKind::TooOld: return IDS_RECORDS_TOO_OLD;
    case ErrorKind::BadDate: return IDS_RECORDS_BAD_DATE;
    case ErrorKind::BadTime: return IDS_RECORDS_BAD_TIME;
    case ErrorKind::DiskFull: return IDS_RECORDS_DISK_FULL;
    case ErrorKind::BadUrl: return IDS_RECORDS_BAD_URL;
    case ErrorKind::DayFull: return IDS_RECORDS_DAY_FULL;
    case ErrorKind::ValueTaken: return IDS_RECORDS_VALUE_TAKEN;
    case ErrorKind::LabelPassed: return IDS_RECORDS_LABEL_PASSED;
    case ErrorKind::NotFound: return IDS_RECORDS_NOT_FOUND;
    case ErrorKind::Conflict: return IDS_RECORDS_CONFLICT;
    case ErrorKind::None:
    case ErrorKind::Other: break;
  }
  return IDS_RECORDS_OTHER;
}

}  // namespace

const fw::CStringTable& RecordsStrings() { return kTable; }

std::string Describe(const StoreError& error, fw::UiLanguage language) {
  const std::string_view pattern = kTable.Lookup(language, IdOf(error.kind));
  const std::string cause =
      error.detail.empty() ? std::string(kTable.Lookup(language, IDS_RECORDS_NO_CAUSE)) : error.detail;
  switch (error.kind) {
    case ErrorKind::TooNew:
    case ErrorKind::TooOld:
      return fw::FormatText(pattern, {error.store, error.value, std::to_string(kSchemaVersion)});
    case ErrorKind::DayFull: {
      const SerialForm form = error.field == IdField::WideForm ? SerialForm::Wide : SerialForm::Narrow;
      return fw::FormatText(pattern, {error.store, error.value, std::to_string(SerialsPerDay(form)),
                                      FieldName(error.field, language)});
    }
    case ErrorKind::ValueTaken:
      return fw::FormatText(pattern, {error.store, FieldName(error.field, language), error.value,
                                      error.holder.serialNumber, error.holder.label, error.holder.station});
    case ErrorKind::LabelPassed:
      return fw::FormatText(pattern, {error.store, error.value, error.holder.serialNumber, error.holder.station});
    case ErrorKind::NotFound:
    case ErrorKind::BadDate:
    case ErrorKind::BadTime:
      return fw::FormatText(pattern, {error.store, error.value});
    case ErrorKind::BadUrl:
      return fw::FormatText(pattern, {error.value, cause});
    default:
      return fw::FormatText(pattern, {error.store, cause});
  }
}

}  // namespace records

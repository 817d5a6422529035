#pragma once
// The record store over either database: the same statements and rules, the
// connection giving the dialect's differences.
#include <cstdint>
#include <memory>

#include "records/identity_rules.h"
#include "records/record_store.h"
#include "records/sql_connection.h"

namespace records {

class SqlRecordStore final : public RecordStore {
 public:
  // firstCount: the count of an empty store's first board.
  SqlRecordStore(std::unique_ptr<SqlConnection> connection, std::int64_t firstCount);

  const std::string& Name() const override { return m_connection->StoreName(); }
  Result<Identity> TakeIdentity(const IdentityRequest& request) override;
  StoreError FinishBoard(std::int64_t boardId, const BoardResult& result) override;
  Result<std::int64_t> RecordUpgrade(const UpgradeRecord& upgrade) override;
  StoreError ForEachBoard(const RecordFilter& filter, const std::function<void(const BoardRow&)>& onRow) override;
  StoreError ForEachUpgrade(const RecordFilter& filter, const std::function<void(const UpgradeRow&)>& onRow) override;
  StoreError ForEachLogin(const std::string& since, const std::function<void(const LoginRow&)>& onRow) override;
  Result<BoardDetail> FindBoard(const std::string& key) override;
  StoreError ForEachBoardStart(const std::string& from, const std::string& to,
                               const std::function<void(const BoardStartRow&)>& onRow) override;
  StoreError ForEachFailureCause(const std::string& from, const std::string& to,
                                 const std::function<void(const FailureCauseRow&)>& onRow) override;
  StoreError SearchBoards(const std::string& text, std::int64_t limit,
                          const std::function<void(const BoardRow&)>& onRow) override;

 private:
  // One attempt inside an open transaction; Conflict asks for another.
  Result<Identity> TakeInTransaction(const IdentityRequest& request, const std::string& startedAt);
  Result<Identity> ReuseLabel(const IdentityRequest& request, const std::string& startedAt, std::int64_t identityId);
  Result<std::int64_t> InsertBoard(const IdentityRequest& request, const std::string& startedAt, std::int64_t identityId);
  // The board holding value in column (a fixed name), or nothing.
  Result<std::optional<Holder>> HolderOf(std::string_view column, std::string_view value);
  StoreError Refusal(ErrorKind kind, IdField field, std::string value, Holder holder = {}) const;
  // BadTime for the first of the texts that is neither a UTC time nor, where
  // allowed, empty.
  StoreError CheckTimes(std::initializer_list<std::string_view> times, bool emptyAllowed) const;
  Result<std::string> FreeId(const std::optional<std::string>& given, std::string_view column, IdField field,
                             bool login);
  StoreError WriteResult(std::int64_t boardId, const BoardResult& result);

  std::unique_ptr<SqlConnection> m_connection;
  std::int64_t m_firstCount;
  IdDraw m_draw;
};

}  // namespace records

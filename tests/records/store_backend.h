#pragma once
// A fresh, empty store per test on either backend: a file in a private
// directory, or a schema of its own on the suite's PostgreSQL server (whose
// URL the ctest fixture leaves in RECORDS_PG_DIR/url).
#include <libpq-fe.h>
#include <sqlite3.h>

#include <fstream>
#include <memory>
#include <random>
#include <string>

#include <gtest/gtest.h>

#include "support/temp_dir.h"

namespace records_testing {

enum class Backend { Sqlite, Postgres };

inline void PrintTo(Backend backend, std::ostream* out) { *out << (backend == Backend::Sqlite ? "sqlite" : "postgres"); }

inline std::string PostgresServerUrl() {
  std::ifstream in(std::string(RECORDS_PG_DIR) + "/url");
  std::string url;
  std::getline(in, url);
  return url;
}

// Runs one statement on the server; the error text, empty on success.
inline std::string PostgresExec(const std::string& url, const std::string& sql) {
  PGconn* conn = PQconnectdb(url.c_str());
  std::string error;
  if (PQstatus(conn) != CONNECTION_OK) {
    error = PQerrorMessage(conn);
  } else {
    PQclear(PQexec(conn, "SET client_min_messages = warning"));
    PGresult* result = PQexec(conn, sql.c_str());
    if (PQresultStatus(result) != PGRES_COMMAND_OK && PQresultStatus(result) != PGRES_TUPLES_OK) {
      error = PQresultErrorMessage(result);
    }
    PQclear(result);
  }
  PQfinish(conn);
  return error;
}

class FreshStore {
 public:
  explicit FreshStore(Backend backend) : m_backend(backend) {
    if (backend == Backend::Sqlite) {
      m_url = m_dir.File("records.sqlite3");
      return;
    }
    const std::string server = PostgresServerUrl();
    if (server.empty()) {
      ADD_FAILURE() << "no PostgreSQL server: " << RECORDS_PG_DIR << "/url is missing (fixture records_pg)";
      return;
    }
    std::mt19937_64 rng(std::random_device{}());
    m_schema = "t" + std::to_string(rng() % 1'000'000'000'000ull);
    const std::string error = PostgresExec(server, "CREATE SCHEMA " + m_schema);
    if (!error.empty()) ADD_FAILURE() << "CREATE SCHEMA: " << error;
    m_server = server;
    m_url = server + "?options=-csearch_path%3D" + m_schema;
  }
  ~FreshStore() {
    if (!m_schema.empty()) PostgresExec(m_server, "DROP SCHEMA " + m_schema + " CASCADE");
  }
  FreshStore(const FreshStore&) = delete;
  FreshStore& operator=(const FreshStore&) = delete;

  const std::string& Url() const { return m_url; }
  Backend Kind() const { return m_backend; }
  const testing_support::TempDir& Dir() const { return m_dir; }
  // Runs SQL on this store behind its back; the error text, empty on success.
  std::string Exec(const std::string& sql) const {
    if (m_backend == Backend::Postgres) return PostgresExec(m_url, sql);
    sqlite3* db = nullptr;
    std::string error;
    // As the store has it: foreign keys are a setting of each connection.
    const std::string script = "PRAGMA foreign_keys = ON; " + sql;
    if (sqlite3_open(m_url.c_str(), &db) != SQLITE_OK ||
        sqlite3_exec(db, script.c_str(), nullptr, nullptr, nullptr) != SQLITE_OK) {
      error = sqlite3_errmsg(db);
    }
    sqlite3_close(db);
    return error;
  }

 private:
  Backend m_backend;
  testing_support::TempDir m_dir;
  std::string m_url;
  std::string m_server;
  std::string m_schema;
};

}  // namespace records_testing

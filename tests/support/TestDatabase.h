// Test databases made through the private server with isql: a small shop schema with several
// tables, indexes and (on request) BLOBs large enough to need pages of their own.
//
//   CUSTOMERS (ID pk, NAME indexed, CITY, CREATED, CODE unique "C<ID>",
//              CONTRACT_ID fk -> DOCUMENTS = ID / 10)                    `rows` rows
//   SALES     (ID pk, CUSTOMER_ID fk -> CUSTOMERS, AMOUNT indexed, NOTE, RECEIPT blob)  `rows` rows
//   DOCUMENTS (ID pk, TITLE, BODY blob)           rows/10 + 1 rows, BODY ~20 KB with blobs
// and on request
//   "ТОВАРЫ"  ("КОД" pk, "НАИМЕНОВАНИЕ" indexed, "ОПИСАНИЕ" blob)  `rows` rows, ~12 KB with blobs
// The database is WIN1251, as a Russian shop's is, and its texts are Russian.
#pragma once

#include <cstdint>
#include <string>

#include "tests/support/FbTestServer.h"
#include "tests/support/ToolRun.h"

namespace testsupport {

enum class TestTables { Shop, WithCyrillicTable };

// Creates the database file `path` (must not exist) with `rows` rows in CUSTOMERS and SALES.
// Throws std::runtime_error with isql's own text on failure.
void CreateTestDatabase(const FbTestServer& server, const std::string& path, int rows, bool blobs,
                        TestTables tables = TestTables::Shop);

// Runs an SQL script against an existing database as SYSDBA.
ToolResult RunIsql(const FbTestServer& server, const std::string& path, const std::string& sql);

// The first number a query answers; throws std::runtime_error when the query fails.
std::int64_t QueryNumber(const FbTestServer& server, const std::string& path,
                         const std::string& query);

// Templates of test databases made before the schema last changed must not be reused.
inline constexpr int kTestSchemaVersion = 3;

// Row count of a table; throws std::runtime_error when the query fails.
std::int64_t CountRows(const FbTestServer& server, const std::string& path,
                       const std::string& table);

// RDB$RELATION_ID of a table; throws when it is not found.
int RelationId(const FbTestServer& server, const std::string& path, const std::string& table);

// gfix -v -full over the server: what the check reads is in `err`.
ToolResult ValidateFull(const FbTestServer& server, const std::string& path);

}  // namespace testsupport

#include "tests/support/TestDatabase.h"

#include <unistd.h>

#include <atomic>
#include <filesystem>
#include <fstream>
#include <sstream>
#include <stdexcept>

namespace testsupport {

namespace {

std::string SqlQuoted(const std::string& text) {
  std::string quoted = "'";
  for (char c : text) {
    quoted += c;
    if (c == '\'')
      quoted += '\'';
  }
  return quoted + "'";
}

// Writes an isql script into a private temporary file, removed when this object goes.
class ScriptFile {
 public:
  explicit ScriptFile(const std::string& text) {
    static std::atomic<int> counter{0};
    path_ = (std::filesystem::temp_directory_path() /
             ("velmar-isql-" + std::to_string(getpid()) + "-" + std::to_string(++counter) + ".sql"))
                .string();
    std::ofstream out(path_, std::ios::binary);
    out << text;
    if (!out)
      throw std::runtime_error("cannot write " + path_);
  }
  ~ScriptFile() { std::filesystem::remove(path_); }
  const std::string& Path() const { return path_; }

 private:
  std::string path_;
};

std::string SchemaAndData(int rows, bool blobs, TestTables tables) {
  std::ostringstream sql;
  // A chain of references (SALES -> CUSTOMERS -> DOCUMENTS) and a unique key besides the
  // primary keys; nothing refers to SALES, so damage there breaks no reference.
  sql << "create table DOCUMENTS (ID integer not null primary key, TITLE varchar(100),\n"
         "  BODY blob sub_type text);\n"
         "create table CUSTOMERS (ID integer not null primary key, NAME varchar(60) not null,\n"
         "  CITY varchar(40), CREATED timestamp default current_timestamp,\n"
         "  CODE varchar(12) not null unique, CONTRACT_ID integer references DOCUMENTS (ID));\n"
         "create index IX_CUSTOMERS_NAME on CUSTOMERS (NAME);\n"
         "create table SALES (ID integer not null primary key,\n"
         "  CUSTOMER_ID integer not null references CUSTOMERS (ID), AMOUNT numeric(15, 2),\n"
         "  NOTE varchar(200), RECEIPT blob sub_type text);\n"
         "create index IX_SALES_AMOUNT on SALES (AMOUNT);\n"
         "commit;\n"
         "set term ^;\n"
         "execute block as\n"
         "  declare i integer = 0;\n"
         "begin\n"
         "  while (i <= "
      << rows / 10
      << ") do begin\n"
         "    insert into DOCUMENTS (ID, TITLE, BODY) values (:i, 'Договор № ' || :i, "
      // Assigned as text: a blob made on the way would leave freed blob pages behind.
      << (blobs ? "lpad(_WIN1251 '', 20000, 'Текст договора № ' || :i || '. ')" : "null")
      << ");\n"
         "    i = i + 1;\n"
         "  end\n"
         "  i = 0;\n"
         "  while (i < "
      << rows
      << ") do begin\n"
         "    insert into CUSTOMERS (ID, NAME, CITY, CODE, CONTRACT_ID) values (:i,\n"
         "      'Покупатель ' || :i, 'Город ' || mod(:i, 17), 'C' || :i, :i / 10);\n"
         "    insert into SALES (ID, CUSTOMER_ID, AMOUNT, NOTE, RECEIPT) values (:i, :i,\n"
         "      :i * 1.25, lpad('', 40 + mod(:i, 60), 'примечание ' || :i || ' '),\n"
      << (blobs ? "'Чек № ' || :i" : "null")
      << ");\n"
         "    i = i + 1;\n"
         "  end\n"
         "end^\n"
         "set term ;^\n"
         "commit;\n";
  if (tables == TestTables::WithCyrillicTable)
    sql << "create table \"ТОВАРЫ\" (\"КОД\" integer not null primary key,\n"
           "  \"НАИМЕНОВАНИЕ\" varchar(80) not null, \"ОПИСАНИЕ\" blob sub_type text);\n"
           "create index \"ИНД_ТОВАРЫ\" on \"ТОВАРЫ\" (\"НАИМЕНОВАНИЕ\");\n"
           "commit;\n"
           "insert into \"ТОВАРЫ\" select ID, 'Товар ' || ID, "
        << (blobs ? "lpad(_WIN1251 '', 12000, 'Описание товара ' || ID || '. ')" : "null")
        << " from SALES;\n"
           "commit;\n";
  return sql.str();
}

}  // namespace

void CreateTestDatabase(const FbTestServer& server, const std::string& path, int rows, bool blobs,
                        TestTables tables) {
  // The script is UTF-8; the server stores its texts in the database's WIN1251.
  std::string sql = "set names UTF8;\ncreate database " + SqlQuoted(server.Address(path)) +
                    " user 'SYSDBA' password " + SqlQuoted(server.password) +
                    " page_size 8192 default character set WIN1251;\n" +
                    SchemaAndData(rows, blobs, tables);
  ScriptFile script(sql);
  ToolResult result = RunTool(IsqlPath(), {"-q", "-b", "-i", script.Path()});
  if (result.exitCode != 0 || !std::filesystem::exists(path)) {
    throw std::runtime_error("isql could not create " + path + ": " + result.err + result.out);
  }
}

ToolResult RunIsql(const FbTestServer& server, const std::string& path, const std::string& sql) {
  ScriptFile script(sql);
  // Scripts are UTF-8; without saying so, their Russian texts would reach a WIN1251 database
  // as raw bytes.
  return RunTool(IsqlPath(), {"-q", "-b", "-ch", "UTF8", "-user", "SYSDBA", "-password",
                              server.password, "-i", script.Path(), server.Address(path)});
}

std::int64_t QueryNumber(const FbTestServer& server, const std::string& path,
                         const std::string& query) {
  ToolResult result = RunIsql(server, path, "set heading off;\n" + query + ";\n");
  std::istringstream in(result.out);
  std::int64_t value = 0;
  if (result.exitCode != 0 || !(in >> value)) {
    throw std::runtime_error("query failed on " + path + ": " + query + ": " + result.err +
                             result.out);
  }
  return value;
}

std::int64_t CountRows(const FbTestServer& server, const std::string& path,
                       const std::string& table) {
  return QueryNumber(server, path, "select count(*) from " + table);
}

int RelationId(const FbTestServer& server, const std::string& path, const std::string& table) {
  return static_cast<int>(QueryNumber(
      server, path,
      "select rdb$relation_id from rdb$relations where rdb$relation_name = " + SqlQuoted(table)));
}

ToolResult ValidateFull(const FbTestServer& server, const std::string& path) {
  return RunTool(GfixPath(), {"-v", "-full", "-user", "SYSDBA", "-pass", server.password,
                              server.Address(path)});
}

}  // namespace testsupport

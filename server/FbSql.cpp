#include "server/FbSql.h"

#include <firebird/Interface.h>

#include <algorithm>
#include <cstring>

#include "server/FbClient.h"
#include "server/FbServiceClientLibrary.h"

using Firebird::FbException;
using Firebird::IAttachment;
using Firebird::IBlob;
using Firebird::IMessageMetadata;
using Firebird::IMetadataBuilder;
using Firebird::IResultSet;
using Firebird::IStatus;
using Firebird::ITransaction;
using Firebird::IUtil;
using Firebird::IXpbBuilder;
using Firebird::ThrowStatusWrapper;

namespace fbsql {

namespace {

constexpr unsigned kCharsetOctets = 1;
constexpr unsigned kCharsetUtf8 = 4;
constexpr unsigned kTextBytes = 32765;  // the longest VARCHAR, in bytes
constexpr unsigned kDialect = 3;

using fbclient::StatusText;

template <typename T>
void Release(T*& p) {
  if (p != nullptr)
    p->release();
  p = nullptr;
}

}  // namespace

struct Connection::Impl {
  Firebird::IMaster* master;
  IUtil* util;
  ThrowStatusWrapper status;
  IAttachment* attachment = nullptr;
  ITransaction* transaction = nullptr;

  explicit Impl(Firebird::IMaster* m)
      : master(m), util(m->getUtilInterface()), status(m->getStatus()) {}
  ~Impl() {
    try {
      if (transaction != nullptr)
        transaction->rollback(&status);
    } catch (const FbException&) {
      transaction->release();
    }
    try {
      if (attachment != nullptr)
        attachment->detach(&status);
    } catch (const FbException&) {
      attachment->release();
    }
    status.dispose();
  }

  [[noreturn]] void Raise(const FbException& e) {
    throw EFirebirdError(StatusText(util, e.getStatus()));
  }

  ITransaction* Transaction() {
    if (transaction == nullptr)
      transaction = attachment->startTransaction(&status, 0, nullptr);
    return transaction;
  }

  std::string ReadBlob(ISC_QUAD* id) {
    IBlob* blob = attachment->openBlob(&status, Transaction(), id, 0, nullptr);
    std::string bytes;
    std::vector<char> segment(32768);
    try {
      for (;;) {
        unsigned got = 0;
        const int result =
            blob->getSegment(&status, static_cast<unsigned>(segment.size()), segment.data(), &got);
        if (result != IStatus::RESULT_OK && result != IStatus::RESULT_SEGMENT)
          break;
        bytes.append(segment.data(), got);
      }
      blob->close(&status);
    } catch (...) {
      blob->release();
      throw;
    }
    return bytes;
  }

  Result Query(const std::string& sql) {
    Firebird::IStatement* statement = nullptr;
    IMessageMetadata* given = nullptr;
    IMetadataBuilder* builder = nullptr;
    IMessageMetadata* meta = nullptr;
    IResultSet* cursor = nullptr;
    Result result;
    try {
      statement = attachment->prepare(&status, Transaction(), 0, sql.c_str(), kDialect,
                                      Firebird::IStatement::PREPARE_PREFETCH_METADATA);
      given = statement->getOutputMetadata(&status);
      const unsigned count = given->getCount(&status);
      builder = given->getBuilder(&status);
      std::vector<bool> blob(count), binary(count);
      for (unsigned i = 0; i < count; ++i) {
        result.columns.emplace_back(given->getAlias(&status, i));
        const unsigned type = given->getType(&status, i) & ~1u;
        const unsigned charset = given->getCharSet(&status, i);
        blob[i] = type == SQL_BLOB;
        if (blob[i]) {
          binary[i] = given->getSubType(&status, i) != 1;
          continue;
        }
        binary[i] = (type == SQL_TEXT || type == SQL_VARYING) && charset == kCharsetOctets;
        builder->setType(&status, i, SQL_VARYING + 1);
        builder->setLength(&status, i, kTextBytes);
        builder->setScale(&status, i, 0);
        builder->setSubType(&status, i, 0);
        builder->setCharSet(&status, i, binary[i] ? kCharsetOctets : kCharsetUtf8);
      }
      meta = builder->getMetadata(&status);
      cursor = statement->openCursor(&status, Transaction(), nullptr, nullptr, meta, 0);
      std::vector<unsigned char> buffer(meta->getMessageLength(&status));
      while (cursor->fetchNext(&status, buffer.data()) == IStatus::RESULT_OK) {
        Row row(count);
        for (unsigned i = 0; i < count; ++i) {
          row[i].binary = binary[i];
          short null = 0;
          std::memcpy(&null, buffer.data() + meta->getNullOffset(&status, i), sizeof null);
          if (null != 0)
            continue;
          const unsigned char* at = buffer.data() + meta->getOffset(&status, i);
          if (blob[i]) {
            ISC_QUAD id;
            std::memcpy(&id, at, sizeof id);
            row[i].text = ReadBlob(&id);
          } else {
            std::uint16_t length = 0;
            std::memcpy(&length, at, sizeof length);
            row[i].text = std::string(reinterpret_cast<const char*>(at + 2), length);
          }
        }
        result.rows.push_back(std::move(row));
      }
      cursor->close(&status);
      cursor = nullptr;
    } catch (const FbException& e) {
      Release(cursor);
      Release(meta);
      Release(builder);
      Release(given);
      Release(statement);
      Raise(e);
    }
    Release(meta);
    Release(builder);
    Release(given);
    statement->free(&status);
    return result;
  }
};

Connection::Connection(const Login& login, const std::string& databaseFile) {
  auto impl = std::make_unique<Impl>(fbclient::Master());
  try {
    impl->attachment =
        fbclient::Attach(impl->master, &impl->status, login, databaseFile, login.noGarbageCollect);
  } catch (const FbException& e) {
    impl->Raise(e);
  }
  impl_ = std::move(impl);
}

Connection::~Connection() = default;

Result Connection::Query(const std::string& sql) {
  return impl_->Query(sql);
}

void Connection::Execute(const std::string& sql) {
  try {
    impl_->attachment->execute(&impl_->status, impl_->Transaction(), 0, sql.c_str(), kDialect,
                               nullptr, nullptr, nullptr, nullptr);
  } catch (const FbException& e) {
    impl_->Raise(e);
  }
}

void Connection::Commit() {
  if (impl_->transaction == nullptr)
    return;
  try {
    impl_->transaction->commit(&impl_->status);
    impl_->transaction = nullptr;
  } catch (const FbException& e) {
    impl_->Raise(e);
  }
}

void Connection::Rollback() {
  if (impl_->transaction == nullptr)
    return;
  try {
    impl_->transaction->rollback(&impl_->status);
    impl_->transaction = nullptr;
  } catch (const FbException& e) {
    impl_->Raise(e);
  }
}

std::string Identifier(const std::string& name) {
  std::string quoted = "\"";
  for (char c : name)
    quoted += c == '"' ? std::string("\"\"") : std::string(1, c);
  return quoted + "\"";
}

namespace {

// A literal holds at most 16,383 characters under a UTF8 attachment (65,535 bytes).
constexpr std::size_t kTextPiece = 16000;
constexpr std::size_t kBinaryPiece = 32000;

std::string ShortLiteral(const std::string& text, bool binary) {
  if (binary) {
    static const char kHex[] = "0123456789ABCDEF";
    std::string hex = "x'";
    for (unsigned char c : text) {
      hex += kHex[c >> 4];
      hex += kHex[c & 15];
    }
    return hex + "'";
  }
  std::string quoted = "'";
  for (char c : text)
    quoted += c == '\'' ? std::string("''") : std::string(1, c);
  return quoted + "'";
}

}  // namespace

std::string Literal(const Value& value) {
  if (!value.text)
    return "NULL";
  const std::string& text = *value.text;
  const std::size_t most = value.binary ? kBinaryPiece : kTextPiece;
  if (text.size() <= most)
    return ShortLiteral(text, value.binary);
  // A longer value (a description, a picture) is put together on the server as a blob.
  std::string sql;
  for (std::size_t at = 0; at < text.size();) {
    std::size_t length = std::min(most, text.size() - at);
    while (!value.binary && at + length < text.size() &&
           (static_cast<unsigned char>(text[at + length]) & 0xC0) == 0x80)
      --length;  // UTF-8 characters stay whole
    const std::string piece = ShortLiteral(text.substr(at, length), value.binary);
    sql += at == 0 ? "cast(" + piece +
                         (value.binary ? " as blob sub_type binary)"
                                       : " as blob sub_type text character set UTF8)")
                   : " || " + piece;
    at += length;
  }
  return sql;
}

}  // namespace fbsql

#include "server/FbRowCounter.h"

#include <firebird/Interface.h>

#include <cstring>
#include <memory>
#include <mutex>
#include <vector>

#include "os/Exception.h"
#include "server/FbClient.h"
#include "server/FbServiceClientLibrary.h"

using fbclient::Disposed;
using fbclient::Held;
using fbclient::StatusText;
using Firebird::FbException;
using Firebird::IAttachment;
using Firebird::IMaster;
using Firebird::IMessageMetadata;
using Firebird::IMetadataBuilder;
using Firebird::IProvider;
using Firebird::IResultSet;
using Firebird::IStatus;
using Firebird::ITransaction;
using Firebird::IUtil;
using Firebird::IXpbBuilder;
using Firebird::ThrowStatusWrapper;

namespace rowcount {

namespace {

constexpr unsigned kCharsetUtf8 = 4;
constexpr unsigned kNameBytes = 1024;  // any metadata name in UTF-8

// Persistent tables only: views have no rows of their own, an external table's file may be
// anywhere, temporary tables are empty for every new attachment.
constexpr char kUserTables[] =
    "select trim(rdb$relation_name) from rdb$relations"
    " where coalesce(rdb$system_flag, 0) = 0 and rdb$view_blr is null"
    " and rdb$external_file is null and coalesce(rdb$relation_type, 0) = 0"
    " order by 1";

std::string QuotedIdentifier(const std::string& name) {
  std::string quoted = "\"";
  for (char c : name) {
    quoted += c;
    if (c == '"')
      quoted += '"';
  }
  return quoted + "\"";
}

// One attachment and what every query needs.
class Reader {
 public:
  Reader(IMaster* master, const Login& login, const std::string& databaseFile)
      : master_(master), util_(master->getUtilInterface()), status_(master->getStatus()) {
    try {
      attachment_ = fbclient::Attach(master, &status_, login, databaseFile,
                                     /*noGarbageCollect=*/true);
    } catch (...) {
      status_.dispose();  // the destructor will not run
      throw;
    }
  }
  ~Reader() {
    if (attachment_ != nullptr) {
      try {
        attachment_->detach(&status_);
      } catch (const FbException&) {
        attachment_->release();
      }
    }
    status_.dispose();
  }
  Reader(const Reader&) = delete;
  Reader& operator=(const Reader&) = delete;

  std::string Text(const FbException& e) { return StatusText(util_, e.getStatus()); }

  // From another thread: the statement running now fails with "operation was cancelled".
  void Cancel() noexcept {
    ThrowStatusWrapper status(master_->getStatus());
    try {
      attachment_->cancelOperation(&status, fb_cancel_raise);
    } catch (const FbException&) {
      // Nothing running or already detaching: nothing to cancel.
    }
    status.dispose();
  }

  std::vector<std::string> UserTables() {
    Transaction transaction(*this);
    Held<IMessageMetadata> meta(Metadata(SQL_VARYING, kNameBytes, kCharsetUtf8));
    std::vector<unsigned char> row(meta->getMessageLength(&status_));
    const unsigned offset = meta->getOffset(&status_, 0);
    const unsigned nullOffset = meta->getNullOffset(&status_, 0);
    Held<IResultSet> cursor(attachment_->openCursor(&status_, transaction.Get(), 0, kUserTables,
                                                    SQL_DIALECT_V6, nullptr, nullptr, meta.Get(),
                                                    nullptr, 0));
    std::vector<std::string> names;
    while (cursor->fetchNext(&status_, row.data()) == IStatus::RESULT_OK) {
      if (*reinterpret_cast<short*>(row.data() + nullOffset) != 0)
        continue;
      std::uint16_t length = 0;
      std::memcpy(&length, row.data() + offset, sizeof length);
      names.emplace_back(reinterpret_cast<const char*>(row.data() + offset + 2), length);
    }
    cursor->close(&status_);
    cursor.Release();
    transaction.Commit();
    return names;
  }

  std::int64_t Count(const std::string& table) {
    Transaction transaction(*this);
    Held<IMessageMetadata> meta(Metadata(SQL_INT64, sizeof(std::int64_t), 0));
    std::vector<unsigned char> row(meta->getMessageLength(&status_));
    const std::string sql = "select count(*) from " + QuotedIdentifier(table);
    Held<IResultSet> cursor(attachment_->openCursor(&status_, transaction.Get(), 0, sql.c_str(),
                                                    SQL_DIALECT_V6, nullptr, nullptr, meta.Get(),
                                                    nullptr, 0));
    std::int64_t rows = 0;
    if (cursor->fetchNext(&status_, row.data()) == IStatus::RESULT_OK)
      std::memcpy(&rows, row.data() + meta->getOffset(&status_, 0), sizeof rows);
    cursor->close(&status_);
    cursor.Release();
    transaction.Commit();
    return rows;
  }

 private:
  // Read-only snapshot; rolled back when left by an error.
  class Transaction {
   public:
    explicit Transaction(Reader& reader) : reader_(reader) {
      Disposed<IXpbBuilder> tpb(
          reader.util_->getXpbBuilder(&reader.status_, IXpbBuilder::TPB, nullptr, 0));
      tpb->insertTag(&reader.status_, isc_tpb_read);
      tpb->insertTag(&reader.status_, isc_tpb_concurrency);
      tpb->insertTag(&reader.status_, isc_tpb_nowait);
      transaction_ = reader.attachment_->startTransaction(
          &reader.status_, tpb->getBufferLength(&reader.status_), tpb->getBuffer(&reader.status_));
    }
    ~Transaction() {
      if (transaction_ == nullptr)
        return;
      try {
        transaction_->rollback(&reader_.status_);
      } catch (const FbException&) {
        transaction_->release();
      }
    }
    Transaction(const Transaction&) = delete;
    Transaction& operator=(const Transaction&) = delete;
    ITransaction* Get() const { return transaction_; }
    void Commit() {
      transaction_->commit(&reader_.status_);
      transaction_ = nullptr;
    }

   private:
    Reader& reader_;
    ITransaction* transaction_ = nullptr;
  };

  IMessageMetadata* Metadata(unsigned type, unsigned length, unsigned charset) {
    Held<IMetadataBuilder> builder(master_->getMetadataBuilder(&status_, 1));
    builder->setType(&status_, 0, type + 1);  // +1: the field may be NULL
    builder->setLength(&status_, 0, length);
    if (charset != 0)
      builder->setCharSet(&status_, 0, charset);
    return builder->getMetadata(&status_);
  }

  IMaster* master_;
  IUtil* util_;
  ThrowStatusWrapper status_;
  IAttachment* attachment_ = nullptr;
};

}  // namespace

TableRowCounts CountTableRows(const Login& login, const std::string& databaseFile,
                              const std::function<void(const std::string&)>& onTable,
                              std::stop_token stop) {
  TableRowCounts counts;
  IMaster* master = nullptr;
  try {
    master = fbclient::Master();
  } catch (const Exception& e) {
    counts.error = e.Message();
    return counts;
  }
  IUtil* util = master->getUtilInterface();
  try {
    std::mutex readerLock;  // the cancel comes from another thread
    auto reader = std::make_unique<Reader>(master, login, databaseFile);
    // Declared after the reader, so it is gone before the reader detaches.
    std::stop_callback cancel(stop, [&reader, &readerLock] {
      std::lock_guard lock(readerLock);
      if (reader)
        reader->Cancel();
    });
    std::vector<std::string> names;
    try {
      names = reader->UserTables();
    } catch (const FbException& e) {
      counts.error = reader->Text(e);
      return counts;
    }
    for (const std::string& name : names) {
      if (stop.stop_requested()) {
        counts.cancelled = true;
        return counts;
      }
      if (onTable)
        onTable(name);
      TableRows table{name, std::nullopt, {}};
      try {
        // After a bugcheck on a damaged record the server refuses everything else on that
        // attachment, and every new one while it is open: each table after a failure is
        // counted on a new attachment, so a failure is always the table's own.
        if (!reader) {
          auto fresh = std::make_unique<Reader>(master, login, databaseFile);
          std::lock_guard lock(readerLock);
          reader = std::move(fresh);
        }
        table.rows = reader->Count(name);
      } catch (const FbException& e) {
        if (!reader) {
          counts.error = StatusText(util, e.getStatus());
          return counts;
        }
        table.error = reader->Text(e);
        std::unique_ptr<Reader> spoilt;
        {
          std::lock_guard lock(readerLock);
          spoilt = std::move(reader);
        }
      }
      if (stop.stop_requested()) {
        counts.cancelled = true;  // the failure above is the cancel, not the table's
        return counts;
      }
      counts.tables.push_back(std::move(table));
    }
  } catch (const FbException& e) {
    counts.tables.clear();
    counts.error = StatusText(util, e.getStatus());
  }
  return counts;
}

}  // namespace rowcount

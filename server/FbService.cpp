#include "server/FbService.h"

#include <firebird/Interface.h>

#include <vector>

#include "server/FbClient.h"
#include "server/FbServiceClientLibrary.h"
#include "server/FbServiceReply.h"

using fbclient::StatusText;
using Firebird::CheckStatusWrapper;
using Firebird::IMaster;
using Firebird::IProvider;
using Firebird::IService;
using Firebird::IStatus;
using Firebird::IUtil;
using Firebird::IXpbBuilder;

namespace {

// Big enough for any output line of the backup; a longer one arrives cut (and flagged).
constexpr unsigned kReplyBufferSize = 32 * 1024;

bool Failed(const CheckStatusWrapper& status) {
  return (status.getState() & IStatus::STATE_ERRORS) != 0;
}

// A parameter block built by the library's own builder, disposed with it.
class ParameterBlock {
 public:
  ParameterBlock(IUtil* util, CheckStatusWrapper& status, unsigned kind)
      : status_(status), builder_(util->getXpbBuilder(&status, kind, nullptr, 0)) {}
  ~ParameterBlock() {
    if (builder_ != nullptr)
      builder_->dispose();
  }
  ParameterBlock(const ParameterBlock&) = delete;
  ParameterBlock& operator=(const ParameterBlock&) = delete;

  bool Valid() const { return builder_ != nullptr && !Failed(status_); }
  void Tag(unsigned char tag) {
    if (Valid())
      builder_->insertTag(&status_, tag);
  }
  void String(unsigned char tag, const std::string& value) {
    if (Valid())
      builder_->insertString(&status_, tag, value.c_str());
  }
  unsigned Length() { return Valid() ? builder_->getBufferLength(&status_) : 0; }
  const unsigned char* Buffer() { return Valid() ? builder_->getBuffer(&status_) : nullptr; }

 private:
  CheckStatusWrapper& status_;
  IXpbBuilder* builder_;
};

}  // namespace

// One attachment to the service manager and the library objects it needs.
struct FbServiceConnection::Session {
  IMaster* master = nullptr;
  IUtil* util = nullptr;
  IProvider* provider = nullptr;
  IService* service = nullptr;
  CheckStatusWrapper status;

  explicit Session(IMaster* m)
      : master(m),
        util(m->getUtilInterface()),
        provider(m->getDispatcher()),
        status(m->getStatus()) {}
  ~Session() {
    if (service != nullptr) {
      service->detach(&status);
      // A failed detach leaves the interface ours to free.
      if (Failed(status))
        service->release();
    }
    if (provider != nullptr)
      provider->release();
    status.dispose();
  }
  Session(const Session&) = delete;
  Session& operator=(const Session&) = delete;

  [[noreturn]] void Raise() { throw EFirebirdError(StatusText(util, &status)); }
  void RaiseIfFailed() {
    if (Failed(status))
      Raise();
  }
};

FbServiceConnection::FbServiceConnection() = default;

FbServiceConnection::~FbServiceConnection() {
  Detach();
}

std::string FbServiceConnection::ServiceName(const std::string& host, std::int32_t port) {
  return host + "/" + std::to_string(port) + ":service_mgr";
}

void FbServiceConnection::Attach(const std::string& host, std::int32_t port,
                                 const std::string& userName, const std::string& password) {
  Detach();
  auto session = std::make_unique<Session>(fbclient::Master());
  {
    ParameterBlock spb(session->util, session->status, IXpbBuilder::SPB_ATTACH);
    spb.String(isc_spb_user_name, userName);
    spb.String(isc_spb_password, password);
    // File names in the start block are UTF-8, as every string inside the program.
    spb.Tag(isc_spb_utf8_filename);
    const unsigned length = spb.Length();
    const unsigned char* buffer = spb.Buffer();
    session->RaiseIfFailed();
    const std::string name = ServiceName(host, port);
    session->service =
        session->provider->attachServiceManager(&session->status, name.c_str(), length, buffer);
    if (Failed(session->status)) {
      session->service = nullptr;
      session->Raise();
    }
  }
  session_ = std::move(session);
}

void FbServiceConnection::StartBackup(const std::string& databaseFile,
                                      const std::string& backupFile, bool verbose) {
  if (!Attached())
    throw EFirebirdError("Нет подключения к менеджеру сервисов");
  if (started_)
    throw EFirebirdError("Сервис уже запущен через это подключение");
  Session& session = *session_;
  ParameterBlock spb(session.util, session.status, IXpbBuilder::SPB_START);
  spb.Tag(isc_action_svc_backup);
  spb.String(isc_spb_dbname, databaseFile);
  spb.String(isc_spb_bkp_file, backupFile);
  if (verbose)
    spb.Tag(isc_spb_verbose);
  const unsigned length = spb.Length();
  const unsigned char* buffer = spb.Buffer();
  session.RaiseIfFailed();
  session.service->start(&session.status, length, buffer);
  session.RaiseIfFailed();
  started_ = true;
  finished_ = false;
}

std::optional<std::string> FbServiceConnection::NextLine() {
  while (true) {
    if (!pendingLines_.empty()) {
      std::string line = std::move(pendingLines_.front());
      pendingLines_.pop_front();
      return line;
    }
    if (pendingError_) {
      EFirebirdError error = *pendingError_;
      pendingError_.reset();
      finished_ = true;
      throw error;
    }
    if (finished_)
      return std::nullopt;
    if (!Attached() || !started_)
      throw EFirebirdError("Сервис не запущен");

    Session& session = *session_;
    const unsigned char items[] = {isc_info_svc_line};
    std::vector<std::uint8_t> reply(kReplyBufferSize);
    session.service->query(&session.status, 0, nullptr, sizeof items, items,
                           static_cast<unsigned>(reply.size()), reply.data());
    // A backup that fails part-way may still have put its last lines into the buffer: take
    // them before the error.
    const bool failed = Failed(session.status);
    if (failed)
      pendingError_ = EFirebirdError(StatusText(session.util, &session.status));
    try {
      fbreply::ServiceReply parsed = fbreply::ParseServiceReply(reply.data(), reply.size());
      pendingLines_.insert(pendingLines_.end(), parsed.lines.begin(), parsed.lines.end());
      if (parsed.endOfOutput)
        finished_ = true;
      // Asking again could never bring more than this answer did.
      if (!failed && parsed.lines.empty() && !parsed.endOfOutput && !parsed.dataNotReady) {
        throw EFirebirdError("Менеджер сервисов не вернул строку вывода");
      }
    } catch (const EFirebirdError&) {
      // After a failed query the buffer holds nothing meaningful; the status says it all.
      if (!failed)
        throw;
    }
  }
}

bool FbServiceConnection::NextLine(std::string& line) {
  std::optional<std::string> next = NextLine();
  if (!next)
    return false;
  line = std::move(*next);
  return true;
}

void FbServiceConnection::Detach() {
  session_.reset();
  pendingLines_.clear();
  pendingError_.reset();
  started_ = false;
  finished_ = false;
}

bool FbServiceConnection::Attached() const {
  return session_ != nullptr;
}

void FbServiceConnection::StartAction(const std::vector<std::uint8_t>& startBlock) {
  if (!Attached())
    throw EFirebirdError("Нет подключения к менеджеру сервисов");
  if (started_)
    throw EFirebirdError("Сервис уже запущен через это подключение");
  Session& session = *session_;
  session.service->start(&session.status, static_cast<unsigned>(startBlock.size()),
                         startBlock.data());
  session.RaiseIfFailed();
  started_ = true;
  finished_ = false;
}

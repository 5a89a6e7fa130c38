#include "server/FbServiceRestore.h"

#include <firebird/Interface.h>

#include <vector>

#include "server/FbClient.h"
#include "server/FbServiceClientLibrary.h"
#include "server/FbServiceReply.h"

using Firebird::CheckStatusWrapper;
using Firebird::IService;
using Firebird::IStatus;
using Firebird::IUtil;
using Firebird::IXpbBuilder;

namespace {

constexpr unsigned kReplySize = 32 * 1024;

bool Failed(const CheckStatusWrapper& status) {
  return (status.getState() & IStatus::STATE_ERRORS) != 0;
}

using fbclient::StatusText;

}  // namespace

struct FbRestoreService::Session {
  IUtil* util;
  Firebird::IProvider* provider;
  IService* service = nullptr;
  CheckStatusWrapper status;

  explicit Session(Firebird::IMaster* master)
      : util(master->getUtilInterface()),
        provider(master->getDispatcher()),
        status(master->getStatus()) {}
  ~Session() {
    if (service != nullptr) {
      service->detach(&status);
      if (Failed(status))
        service->release();
    }
    provider->release();
    status.dispose();
  }
  Session(const Session&) = delete;
  Session& operator=(const Session&) = delete;

  void RaiseIfFailed() {
    if (Failed(status))
      throw EFirebirdError(StatusText(util, &status));
  }

  // Builds a parameter block with `fill`, then hands its bytes to `use`.
  template <typename Fill, typename Use>
  void WithBlock(unsigned kind, Fill fill, Use use) {
    fbclient::Disposed<IXpbBuilder> builder(util->getXpbBuilder(&status, kind, nullptr, 0));
    RaiseIfFailed();
    fill(builder.Get());
    const unsigned length = builder->getBufferLength(&status);
    const unsigned char* bytes = builder->getBuffer(&status);
    if (!Failed(status))
      use(length, bytes);
    RaiseIfFailed();
  }
};

FbRestoreService::FbRestoreService() = default;

FbRestoreService::~FbRestoreService() {
  Detach();
}

void FbRestoreService::Attach(const std::string& host, std::int32_t port,
                              const std::string& userName, const std::string& password) {
  Detach();
  auto session = std::make_unique<Session>(fbclient::Master());
  Session& s = *session;
  const std::string name = FbServiceConnection::ServiceName(host, port);
  s.WithBlock(
      IXpbBuilder::SPB_ATTACH,
      [&](IXpbBuilder* spb) {
        spb->insertString(&s.status, isc_spb_user_name, userName.c_str());
        spb->insertString(&s.status, isc_spb_password, password.c_str());
        spb->insertTag(&s.status, isc_spb_utf8_filename);
      },
      [&](unsigned length, const unsigned char* bytes) {
        IService* service =
            s.provider->attachServiceManager(&s.status, name.c_str(), length, bytes);
        if (!Failed(s.status))
          s.service = service;
      });
  session_ = std::move(session);
}

void FbRestoreService::Start(const std::string& backupFile, const std::string& databaseFile,
                             bool indexesInactive) {
  if (!session_)
    throw EFirebirdError("Нет подключения к менеджеру сервисов");
  Session& s = *session_;
  const int options = isc_spb_res_create | (indexesInactive ? isc_spb_res_deactivate_idx : 0);
  s.WithBlock(
      IXpbBuilder::SPB_START,
      [&](IXpbBuilder* spb) {
        spb->insertTag(&s.status, isc_action_svc_restore);
        spb->insertString(&s.status, isc_spb_bkp_file, backupFile.c_str());
        spb->insertString(&s.status, isc_spb_dbname, databaseFile.c_str());
        spb->insertInt(&s.status, isc_spb_options, options);
        spb->insertTag(&s.status, isc_spb_verbose);
      },
      [&](unsigned length, const unsigned char* bytes) {
        s.service->start(&s.status, length, bytes);
      });
  finished_ = false;
}

std::optional<std::string> FbRestoreService::NextLine() {
  while (true) {
    if (!pending_.empty()) {
      std::string line = std::move(pending_.front());
      pending_.pop_front();
      return line;
    }
    if (error_) {
      EFirebirdError error = *error_;
      error_.reset();
      finished_ = true;
      throw error;
    }
    if (finished_ || !session_)
      return std::nullopt;
    Session& s = *session_;
    const unsigned char items[] = {isc_info_svc_line};
    std::vector<std::uint8_t> reply(kReplySize);
    s.service->query(&s.status, 0, nullptr, sizeof items, items,
                     static_cast<unsigned>(reply.size()), reply.data());
    if (Failed(s.status)) {
      error_ = EFirebirdError(StatusText(s.util, &s.status));
      continue;
    }
    const fbreply::ServiceReply parsed = fbreply::ParseServiceReply(reply.data(), reply.size());
    pending_.insert(pending_.end(), parsed.lines.begin(), parsed.lines.end());
    if (parsed.endOfOutput)
      finished_ = true;
    else if (parsed.lines.empty() && !parsed.dataNotReady)
      throw EFirebirdError("Менеджер сервисов не вернул строку вывода");
  }
}

void FbRestoreService::Detach() {
  session_.reset();
  pending_.clear();
  error_.reset();
  finished_ = false;
}

bool RestoreLeftIndexesOff(const std::string& line) {
  for (const char* sign : {"is not online", "cannot commit index", "failed to activate"})
    if (line.find(sign) != std::string::npos)
      return true;
  return false;
}

#include "server/FbClient.h"

#include <firebird/Interface.h>

#include <vector>

namespace fbclient {

std::string StatusText(Firebird::IUtil* util, Firebird::IStatus* status) {
  std::vector<char> buffer(4096);
  util->formatStatus(buffer.data(), static_cast<unsigned>(buffer.size()), status);
  std::string text;
  for (const char* c = buffer.data(); *c != '\0'; ++c) {
    if (*c == '\n')
      text += "\r\n";
    else
      text += *c;
  }
  while (!text.empty() && (text.back() == '\n' || text.back() == '\r' || text.back() == ' '))
    text.pop_back();
  return text;
}

Firebird::IAttachment* Attach(Firebird::IMaster* master, Firebird::ThrowStatusWrapper* status,
                              const ServerLogin& login, const std::string& databaseFile,
                              bool noGarbageCollect) {
  using Firebird::IXpbBuilder;
  Held<Firebird::IProvider> provider(master->getDispatcher());
  Disposed<IXpbBuilder> dpb(
      master->getUtilInterface()->getXpbBuilder(status, IXpbBuilder::DPB, nullptr, 0));
  dpb->insertString(status, isc_dpb_user_name, login.userName.c_str());
  dpb->insertString(status, isc_dpb_password, login.password.c_str());
  dpb->insertString(status, isc_dpb_lc_ctype, "UTF8");
  dpb->insertTag(status, isc_dpb_utf8_filename);
  dpb->insertInt(status, isc_dpb_no_db_triggers, 1);
  if (noGarbageCollect)
    dpb->insertTag(status, isc_dpb_no_garbage_collect);
  const std::string name = login.host + "/" + std::to_string(login.port) + ":" + databaseFile;
  return provider->attachDatabase(status, name.c_str(), dpb->getBufferLength(status),
                                  dpb->getBuffer(status));
}

}  // namespace fbclient

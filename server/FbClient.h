// Small pieces every user of the database server's client library needs: the library's text
// for a failed status, and holders that give its interfaces back however a scope is left.
#pragma once

#include <string>

#include "server/ServerLogin.h"

namespace Firebird {
class IAttachment;
class IMaster;
class IStatus;
class IUtil;
class ThrowStatusWrapper;
}  // namespace Firebird

namespace fbclient {

// The library's own text for a failed status, its lines joined with CR LF, without trailing
// line breaks or blanks.
std::string StatusText(Firebird::IUtil* util, Firebird::IStatus* status);

// Attaches to `databaseFile` on the server of `login` the way the program reads: names and
// texts in UTF-8, and the database's connect triggers off (they may write, refuse us or fail
// on the damage). `noGarbageCollect`: reading a damaged database must not set the server to
// clean up record versions on its damaged pages. Throws FbException.
Firebird::IAttachment* Attach(Firebird::IMaster* master, Firebird::ThrowStatusWrapper* status,
                              const ServerLogin& login, const std::string& databaseFile,
                              bool noGarbageCollect);

// Holds an interface and calls `release()` (reference-counted interfaces: provider,
// attachment, transaction, cursor, metadata) or `dispose()` (parameter block builders, status)
// on it when the holder goes.
enum class GiveBack { Release, Dispose };

template <typename T, GiveBack how = GiveBack::Release>
class Held {
 public:
  Held() = default;
  explicit Held(T* p) : p_(p) {}
  ~Held() { Reset(); }
  Held(const Held&) = delete;
  Held& operator=(const Held&) = delete;
  T* operator->() const { return p_; }
  T* Get() const { return p_; }
  // The caller takes the interface over (after a detach, close or commit that freed it).
  T* Release() {
    T* p = p_;
    p_ = nullptr;
    return p;
  }
  void Reset(T* p = nullptr) {
    if (p_ != nullptr) {
      if constexpr (how == GiveBack::Release)
        p_->release();
      else
        p_->dispose();
    }
    p_ = p;
  }

 private:
  T* p_ = nullptr;
};

template <typename T>
using Disposed = Held<T, GiveBack::Dispose>;

}  // namespace fbclient

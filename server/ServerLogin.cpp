#include "server/ServerLogin.h"

#include "server/FBUtils.h"

ServerLogin LocalServerLogin() {
  ServerLogin login;
  login.port = GetFBPort();
  login.password = GetFBPassword();
  return login;
}

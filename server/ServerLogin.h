// The one login the program uses everywhere: SYSDBA on the local server, at the port and with
// the password the suite's library gives. Only those two ever vary, so they come first.
#pragma once

#include <cstdint>
#include <string>

struct ServerLogin {
  std::int32_t port = 0;
  std::string password;
  std::string host = "127.0.0.1";
  std::string userName = "SYSDBA";
};

// Asks the suite's library anew (port first, then the password), so a changed setting is
// taken at the next step.
ServerLogin LocalServerLogin();

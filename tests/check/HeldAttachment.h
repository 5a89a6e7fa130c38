// Another application attached to a database: isql in a background process, attached until
// this object goes away.
#pragma once

#include <sys/types.h>

#include <string>

#include "tests/support/FbTestServer.h"

namespace checktest {

class HeldAttachment {
 public:
  // Returns once the attachment is made and `statements` have run (their transaction stays
  // open: an update holds its table as a till's unfinished sale does); throws
  // std::runtime_error when it is not.
  HeldAttachment(const testsupport::FbTestServer& server, const std::string& databasePath,
                 const std::string& statements = "");
  ~HeldAttachment();
  HeldAttachment(const HeldAttachment&) = delete;
  HeldAttachment& operator=(const HeldAttachment&) = delete;

 private:
  pid_t pid_ = -1;
  int input_ = -1;
  int output_ = -1;  // kept open: isql dies of SIGPIPE when it writes into a closed pipe
};

}  // namespace checktest

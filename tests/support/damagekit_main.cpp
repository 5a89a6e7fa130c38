// velmar_damagekit: makes and damages test databases on the private server ($VELMAR_FB_DIR).
//   velmar_damagekit create <db> <rows> [--blobs]
//   velmar_damagekit damage <db> <kind>
//   velmar_damagekit count <db> <table>
//   velmar_damagekit kinds
#include <cstring>
#include <exception>
#include <filesystem>
#include <iostream>
#include <string>

#include "tests/support/DamageKit.h"
#include "tests/support/TestDatabase.h"

using namespace testsupport;

namespace {

int Usage() {
  std::cerr << "usage: velmar_damagekit create <db> <rows> [--blobs]\n"
               "       velmar_damagekit damage <db> <kind>\n"
               "       velmar_damagekit count <db> <table>\n"
               "       velmar_damagekit kinds\n"
               "The private server is found through VELMAR_FB_DIR.\n";
  return 2;
}

// The server resolves relative names against its own working folder, not ours.
std::string Absolute(const char* path) {
  return std::filesystem::absolute(path).string();
}

FbTestServer Server() {
  auto server = FbTestServer::FromEnvironment();
  if (!server)
    throw std::runtime_error("no running server in $VELMAR_FB_DIR");
  return *server;
}

}  // namespace

int main(int argc, char** argv) {
  if (argc < 2)
    return Usage();
  const std::string command = argv[1];
  try {
    if (command == "kinds" && argc == 2) {
      for (DamageKind kind : AllDamageKinds())
        std::cout << DamageKindName(kind) << "\n";
      return 0;
    }
    if (command == "create" && (argc == 4 || (argc == 5 && !std::strcmp(argv[4], "--blobs")))) {
      CreateTestDatabase(Server(), Absolute(argv[2]), std::stoi(argv[3]), argc == 5);
      std::cout << "created " << argv[2] << "\n";
      return 0;
    }
    if (command == "damage" && argc == 4) {
      auto kind = ParseDamageKind(argv[3]);
      if (!kind) {
        std::cerr << "unknown kind " << argv[3] << " (see: velmar_damagekit kinds)\n";
        return 2;
      }
      std::cout << Damage(Server(), Absolute(argv[2]), *kind).what << "\n";
      return 0;
    }
    if (command == "count" && argc == 4) {
      std::cout << CountRows(Server(), Absolute(argv[2]), argv[3]) << "\n";
      return 0;
    }
  } catch (const std::exception& e) {
    std::cerr << "velmar_damagekit: " << e.what() << "\n";
    return 1;
  }
  return Usage();
}

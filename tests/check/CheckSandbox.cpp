#include "tests/check/CheckSandbox.h"

#include <unistd.h>

#include <filesystem>

#include "tests/support/TestDatabase.h"

namespace fs = std::filesystem;

namespace checktest {

std::string TemplateDatabase(const testsupport::FbTestServer& server, const std::string& name,
                             int rows, bool blobs) {
  const std::string dir =
      server.DatabasesDir() + "/check-templates-" + std::to_string(testsupport::kTestSchemaVersion);
  const std::string path = dir + "/" + name + ".fdb";
  if (fs::exists(path))
    return path;
  fs::create_directories(dir);
  // Made under another name first: a run stopped half-way must not leave a broken template.
  const std::string partial = dir + "/" + name + ".partial-" + std::to_string(getpid());
  fs::remove(partial);
  testsupport::CreateTestDatabase(server, partial, rows, blobs);
  fs::rename(partial, path);
  return path;
}

void CopyDatabase(const std::string& from, const std::string& path) {
  fs::copy_file(from, path, fs::copy_options::overwrite_existing);
  fs::permissions(path, fs::perms::owner_read | fs::perms::owner_write | fs::perms::group_read |
                            fs::perms::group_write | fs::perms::others_read |
                            fs::perms::others_write);
}

std::vector<std::string> FilesEndingWith(const std::string& dir, const std::string& suffix) {
  std::vector<std::string> found;
  for (const auto& entry : fs::directory_iterator(dir)) {
    const std::string name = entry.path().filename().string();
    if (name.size() >= suffix.size() &&
        name.compare(name.size() - suffix.size(), suffix.size(), suffix) == 0) {
      found.push_back(name);
    }
  }
  return found;
}

}  // namespace checktest

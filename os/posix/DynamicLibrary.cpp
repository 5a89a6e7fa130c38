#include "os/DynamicLibrary.h"

#include <dlfcn.h>

namespace os {

namespace {

class PosixLibrary : public DynamicLibrary {
 public:
  explicit PosixLibrary(void* handle) : handle_(handle) {}
  ~PosixLibrary() override { dlclose(handle_); }
  void* Symbol(const char* name) const override { return dlsym(handle_, name); }

 private:
  void* handle_;
};

}  // namespace

std::unique_ptr<DynamicLibrary> DynamicLibrary::Load(const std::string& path, std::string* error) {
  void* handle = dlopen(path.c_str(), RTLD_NOW | RTLD_LOCAL);
  if (handle == nullptr) {
    if (error != nullptr) {
      const char* text = dlerror();
      *error = text != nullptr ? text : "dlopen failed";
    }
    return nullptr;
  }
  return std::make_unique<PosixLibrary>(handle);
}

}  // namespace os

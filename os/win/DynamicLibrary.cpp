#include "os/DynamicLibrary.h"

#include "os/SystemError.h"
#include "os/win/Wide.h"

namespace os {

namespace {

class WinLibrary : public DynamicLibrary {
 public:
  explicit WinLibrary(HMODULE module) : module_(module) {}
  ~WinLibrary() override { FreeLibrary(module_); }
  void* Symbol(const char* name) const override {
    return reinterpret_cast<void*>(GetProcAddress(module_, name));
  }

 private:
  HMODULE module_;
};

}  // namespace

std::unique_ptr<DynamicLibrary> DynamicLibrary::Load(const std::string& path, std::string* error) {
  // A library named by a full path (fbclient.dll in the server's folder) must find the DLLs
  // that lie beside it, not only those on the program's search path.
  const bool fullPath = path.find_first_of("\\/") != std::string::npos;
  HMODULE module = LoadLibraryExW(win::ToWide(path).c_str(), nullptr,
                                  fullPath ? LOAD_WITH_ALTERED_SEARCH_PATH : 0);
  if (module == nullptr) {
    const DWORD code = GetLastError();
    if (error != nullptr) {
      *error = SystemErrorText(static_cast<int>(code));
      if (error->empty())
        *error = "LoadLibrary error " + std::to_string(code);
    }
    SetLastError(code);
    return nullptr;
  }
  return std::make_unique<WinLibrary>(module);
}

}  // namespace os

// Loading a shared library at run time and finding its exports.
#pragma once

#include <memory>
#include <string>

namespace os {

class DynamicLibrary {
 public:
  // Returns nullptr on failure; `error` (if given) receives the loader's text.
  static std::unique_ptr<DynamicLibrary> Load(const std::string& path,
                                              std::string* error = nullptr);
  virtual ~DynamicLibrary() = default;               // frees the library
  virtual void* Symbol(const char* name) const = 0;  // nullptr when not exported
};

}  // namespace os

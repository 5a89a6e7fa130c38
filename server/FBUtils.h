// Binding to the suite's database utility library (fbUtils.dll / libfbUtils.so), the
// instance mutex, and two general operations: CreateGlobalMutex and ChainException.
// (The binding library completes this header.)
//
//   std::string GetFBPassword();      // throws Exception when the export is missing
//   std::int32_t GetFBPort();
//   std::unique_ptr<os::NamedMutex> CreateGlobalMutex(const std::string& name);
//   std::unique_ptr<Exception> ChainException(const std::exception& e,
//                                             const std::string& context, bool addClassTag);
//   std::string BuildInstanceMutexName(const std::string& prefix, const std::string& path);
#pragma once

// The program's error classes. Every error carries a Russian, operator-facing message in UTF-8.
// Classes keep a name of their own (shown in chained messages and log records) and can be
// re-created with another message while keeping their class, which is what chaining needs.
#pragma once

#include <exception>
#include <memory>
#include <string>

class Exception : public std::exception {
 public:
  explicit Exception(std::string message) : message_(std::move(message)) {}
  ~Exception() override = default;

  const std::string& Message() const { return message_; }
  const char* what() const noexcept override { return message_.c_str(); }

  virtual const char* ClassName() const { return "Exception"; }
  // A new error of the same class that carries `message`.
  virtual std::unique_ptr<Exception> CloneWithMessage(std::string message) const {
    return std::make_unique<Exception>(std::move(message));
  }
  // Throws this object with its dynamic type (a plain `throw e` would slice it).
  [[noreturn]] virtual void Raise() const { throw *this; }

 private:
  std::string message_;
};

// Declares an error class `Name` derived from `Base` whose class name is "Name".
#define VELMAR_DECLARE_EXCEPTION(Name, Base)                                          \
  class Name : public Base {                                                          \
   public:                                                                            \
    using Base::Base;                                                                 \
    const char* ClassName() const override { return #Name; }                          \
    std::unique_ptr<Exception> CloneWithMessage(std::string message) const override { \
      return std::make_unique<Name>(std::move(message));                              \
    }                                                                                 \
    [[noreturn]] void Raise() const override { throw *this; }                         \
  }

// A failure of the file layer (open, read, write), carrying the system's error code.
class EFileError : public Exception {
 public:
  EFileError(std::string message, int code) : Exception(std::move(message)), code_(code) {}
  int Code() const { return code_; }
  const char* ClassName() const override { return "EFileError"; }
  std::unique_ptr<Exception> CloneWithMessage(std::string message) const override {
    return std::make_unique<EFileError>(std::move(message), code_);
  }
  [[noreturn]] void Raise() const override { throw *this; }

 private:
  int code_;
};

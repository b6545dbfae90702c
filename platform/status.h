// The outcome of a platform operation: success, or a kind of failure with a
// message that names the operation and its object, for a person to read.
//
// A plain value: copy it, return it, compare its code. Nothing in platform/
// throws across its interfaces; a failure always comes back as a Status.
#pragma once

#include <string>
#include <utility>

namespace cordavex::platform {

class Status {
 public:
  enum class Code {
    kOk,
    kNotFound,         // no such file, folder, key or value
    kInvalidArgument,  // a path or name that cannot be used, a value of the wrong type
    kIoError,          // the host refused or failed the operation
    kInjectedFault,    // a test's fault-injecting device refused the operation
  };

  Status() = default;
  static Status Ok() { return Status(); }
  static Status NotFound(std::string message) { return Status(Code::kNotFound, std::move(message)); }
  static Status InvalidArgument(std::string message) {
    return Status(Code::kInvalidArgument, std::move(message));
  }
  static Status IoError(std::string message) { return Status(Code::kIoError, std::move(message)); }
  static Status InjectedFault(std::string message) {
    return Status(Code::kInjectedFault, std::move(message));
  }

  bool ok() const { return code_ == Code::kOk; }
  bool IsNotFound() const { return code_ == Code::kNotFound; }
  Code code() const { return code_; }
  const std::string& message() const { return message_; }
  // "not found: Temp/a.txt", or "ok".
  std::string ToString() const;

 private:
  Status(Code code, std::string message) : code_(code), message_(std::move(message)) {}

  Code code_ = Code::kOk;
  std::string message_;
};

// The Win32 error code the phone would have reported for a failure of this kind
// (ERROR_FILE_NOT_FOUND, ERROR_INVALID_PARAMETER, ERROR_CANTWRITE...), 0 for
// success, for the callers that answer in HRESULTs.
unsigned long Win32ErrorOf(const Status& status);

}  // namespace cordavex::platform

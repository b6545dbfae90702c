#include "platform/status.h"

namespace cordavex::platform {

std::string Status::ToString() const {
  switch (code_) {
    case Code::kOk: return "ok";
    case Code::kNotFound: return "not found: " + message_;
    case Code::kInvalidArgument: return "invalid argument: " + message_;
    case Code::kIoError: return "I/O error: " + message_;
    case Code::kInjectedFault: return "injected fault: " + message_;
  }
  return message_;
}

unsigned long Win32ErrorOf(const Status& status) {
  constexpr unsigned long kErrorFileNotFound = 2;
  constexpr unsigned long kErrorGenFailure = 31;
  constexpr unsigned long kErrorInvalidParameter = 87;
  switch (status.code()) {
    case Status::Code::kOk: return 0;
    case Status::Code::kNotFound: return kErrorFileNotFound;
    case Status::Code::kInvalidArgument: return kErrorInvalidParameter;
    case Status::Code::kIoError:
    case Status::Code::kInjectedFault: return kErrorGenFailure;
  }
  return kErrorGenFailure;
}

}  // namespace cordavex::platform

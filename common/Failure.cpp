// The failures that nothing in a run handles; the entry point reports them and exits with 1.
#include "Failure.h"

#include <cstdio>

#include "Process.h"

namespace jarvet {

EFailure::EFailure(std::string kindName, const std::string& message, const void* raisedAt)
    : std::runtime_error(message),
      KindName_(std::move(kindName)),
      Message_(message),
      Address_(ModuleOffset(raisedAt)) {}

// The constructors are not inlined, so their return address is the code that raised the failure.
EInOutError::EInOutError(int code)
    : EFailure("EInOutError", InOutErrorMessage(code), __builtin_return_address(0)), Code_(code) {}

EStringListError::EStringListError(std::int64_t index)
    : EFailure("EStringListError", "List index out of bounds (" + std::to_string(index) + ")",
               __builtin_return_address(0)) {}

EProblem::EProblem(int status, const std::string& message)
    : EFailure("EProblem", message, __builtin_return_address(0)), Status_(status) {}

std::string InOutErrorMessage(int code) {
  switch (code) {
    case 2: return "File not found";
    case 3: return "Invalid filename";
    case 4: return "Too many open files";
    case 5: return "File access denied";
    case 100: return "Read beyond end of file";
    case 101: return "Disk full";
    case 106: return "Invalid numeric input";
    default: return "I/O error " + std::to_string(code);
  }
}

std::string FailureReport(const EFailure& failure, const std::string& moduleName) {
  char address[16];
  std::snprintf(address, sizeof address, "%08X", static_cast<unsigned>(failure.Address()));
  const std::string& message = failure.Message();
  const bool addPeriod = !message.empty() && message.back() != '.';
  return "Exception " + failure.KindName() + " in module " + moduleName + " at " + address +
         ".\n" + message + (addPeriod ? "." : "") + "\r\n";
}

}  // namespace jarvet

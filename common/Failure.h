// The failures that nothing in a run handles; the entry point reports them and exits with 1.
#pragma once

#include <cstdint>
#include <stdexcept>
#include <string>

namespace jarvet {

class EFailure : public std::runtime_error {
 public:
  EFailure(std::string kindName, const std::string& message, const void* raisedAt);
  const std::string& KindName() const { return KindName_; }
  const std::string& Message() const { return Message_; }
  // Where it was raised, as an offset into the running executable.
  std::uint32_t Address() const { return Address_; }

 private:
  std::string KindName_;
  std::string Message_;
  std::uint32_t Address_;
};

// A file or standard-output operation failed; Code is the platform's error code.
class EInOutError : public EFailure {
 public:
  __attribute__((noinline)) explicit EInOutError(int code);
  int Code() const { return Code_; }

 private:
  int Code_;
};

// A list entry was asked for at an index outside the list.
class EStringListError : public EFailure {
 public:
  __attribute__((noinline)) explicit EStringListError(std::int64_t index);
};

// Exit statuses of a run.
constexpr int kExitFailure = 1;       // output or a file failed
constexpr int kExitBadArgument = 2;
constexpr int kExitNoPlayer = 3;      // none running, or it stopped answering
constexpr int kExitNothingPlaying = 4;
constexpr int kExitNotOffered = 5;    // the player lacks what the command needs

// A problem a command reports as one line, "jarvet: <message>", on standard error, ending the
// run with its status.
class EProblem : public EFailure {
 public:
  __attribute__((noinline)) EProblem(int status, const std::string& message);
  int Status() const { return Status_; }

 private:
  int Status_;
};

std::string InOutErrorMessage(int code);

// "Exception <kind> in module <module> at <address>.\n<message>[.]\r\n"
std::string FailureReport(const EFailure& failure, const std::string& moduleName);

}  // namespace jarvet

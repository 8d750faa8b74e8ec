// What the file writers of every platform say alike.
#include "File.h"

namespace jarvet {

TFileWriteResult TFileWriteResult::Because(TProblem problem, std::string reason) {
  TFileWriteResult result;
  result.Problem = problem;
  result.Reason = std::move(reason);
  return result;
}

TFileWriteResult TFileWriteResult::NobodyRead(int timeoutMs) {
  const std::string wait = timeoutMs % 1000 == 0 ? std::to_string(timeoutMs / 1000) + " s"
                                                 : std::to_string(timeoutMs) + " ms";
  return Because(NoReader, "nothing read it within " + wait);
}

}  // namespace jarvet

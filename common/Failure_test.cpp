#include "Failure.h"

#include <gtest/gtest.h>

#include "support/FailureReport.h"


namespace jarvet {
namespace {

TEST(Failure, InOutErrorMessagesByCode) {
  const struct {
    int Code;
    const char* Message;
  } cases[] = {{2, "File not found"},
               {3, "Invalid filename"},
               {4, "Too many open files"},
               {5, "File access denied"},
               {100, "Read beyond end of file"},
               {101, "Disk full"},
               {106, "Invalid numeric input"},
               {32, "I/O error 32"},
               {0, "I/O error 0"}};
  for (const auto& c : cases) {
    const EInOutError failure(c.Code);
    EXPECT_EQ(failure.KindName(), "EInOutError");
    EXPECT_EQ(failure.Message(), c.Message);
    EXPECT_EQ(failure.Code(), c.Code);
  }
}

TEST(Failure, ReportFormat) {
  const std::string report = FailureReport(EInOutError(2), "jarvet.exe");
  EXPECT_TRUE(testing::IsFailureReport(report, "EInOutError", "File not found\\.", "jarvet\\.exe"))
      << report;
  // The period is added only where the message lacks one.
  struct TDotted : EFailure {
    TDotted(const char* message) : EFailure("EKind", message, nullptr) {}
  };
  EXPECT_EQ(FailureReport(TDotted("Done."), "m"),
            "Exception EKind in module m at 00000000.\nDone.\r\n");
  EXPECT_EQ(FailureReport(TDotted(""), "m"), "Exception EKind in module m at 00000000.\n\r\n");
}

}  // namespace
}  // namespace jarvet

// One run of the program, from its raw command line to its exit status.
#include "Jarvet.h"

#include "CommandLine.h"
#include "Commands.h"
#include "Failure.h"
#include "Text.h"
#include "WinampApi.h"

namespace jarvet {

namespace {

constexpr char kBannerTitle[] = "Jarvet 1.1";
constexpr char kBannerAuthors[] = "Command-line remote control, written by the jarvet developers";

void Run(std::string_view raw, TPlatform& platform, TOutput& out) {
  const std::vector<TParameter> parameters = SplitCommandLine(raw);
  const std::size_t count = parameters.empty() ? 0 : parameters.size() - 1;
  if (count < 2) {
    out.WriteLine(kBannerTitle);
    out.WriteLine(kBannerAuthors);
    return;
  }
  TWinampApi player(platform, parameters[1].Text);
  // Everything behind the command word as the splitter scanned it, so that neither an earlier
  // occurrence of its letters nor its quotes can shift the argument.
  std::string argText = count > 2 ? TrimControl(raw.substr(parameters[2].End)) : std::string();
  TCommandContext context{player, out, std::move(argText)};
  DispatchCommand(parameters[2].Text, context);
}

}  // namespace

int RunJarvet(std::string_view rawCommandLine, TPlatform& platform, TOutputSink& sink,
              const std::string& moduleName, TOutputSink* reportFallback) {
  TOutput out(sink);
  try {
    Run(rawCommandLine, platform, out);
    out.Flush();
    return 0;
  } catch (const EFailure& failure) {
    try {
      out.Flush();
    } catch (const EFailure&) {
      out.Discard();
    }
    // The report is often about this very output (a full disk, a closed pipe): someone should
    // still see it.
    const std::string report = FailureReport(failure, moduleName);
    int ignored = 0;
    if (!sink.Write(report, ignored) && reportFallback != nullptr) {
      reportFallback->Write(report, ignored);
    }
    return 1;
  }
}

}  // namespace jarvet

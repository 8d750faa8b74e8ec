// One run of the program, from its raw command line to its exit status.
#include "Jarvet.h"

#include <optional>

#include "CodePage.h"
#include "CommandLine.h"
#include "CommandTable.h"
#include "Failure.h"
#include "Text.h"

namespace jarvet {

namespace {

constexpr char kBannerTitle[] = "Jarvet 1.1";
constexpr char kBannerAuthors[] =
    "Command-line remote control by the jarvet developers; \"jarvet DIR HELP\" lists the commands";

// Everything behind the command word as the splitter scanned it, so that neither an earlier
// occurrence of its letters nor its quotes can shift the argument.
std::string ArgumentText(std::string_view raw, const std::vector<TParameter>& parameters) {
  return parameters.size() > 3 ? TrimControl(raw.substr(parameters[2].End)) : std::string();
}

// The words after the command word as the platform passed them, in UTF-8: only where the split
// of the text found the same first three (an empty word or a quote in them shifts it).
std::optional<std::vector<std::string>> WordsAfterCommand(
    const std::vector<std::string>* words, const std::vector<TParameter>& parameters) {
  if (words == nullptr || words->size() < 3 || parameters.size() < 3) return std::nullopt;
  for (std::size_t i = 0; i < 3; ++i) {
    if ((*words)[i] != parameters[i].Text) return std::nullopt;
  }
  std::vector<std::string> utf8;
  for (auto word = words->begin() + 3; word != words->end(); ++word) {
    utf8.push_back(AnsiToUtf8(*word));
  }
  return utf8;
}

int Run(TRawCommandLine raw, const TConnect& connect, TOutput& out, TOutputSink& errors) {
  const std::vector<TParameter> parameters = SplitCommandLine(raw.Ansi);
  const std::size_t count = parameters.empty() ? 0 : parameters.size() - 1;
  if (count < 2) {
    out.WriteLine(kBannerTitle);
    out.WriteLine(kBannerAuthors);
    return 0;
  }
  const TCommand* command = FindCommand(parameters[2].Text);
  if (command == nullptr) return 0;
  const std::string playerName = parameters[1].Text;
  const std::unique_ptr<TPlayer> player = connect(playerName);
  std::string argText = ArgumentText(raw.Ansi, parameters);
  // The UTF-8 text is split only where it differs from the code-page one.
  std::string argTextUtf8 =
      raw.Utf8 == raw.Ansi ? argText : ArgumentText(raw.Utf8, SplitCommandLine(raw.Utf8));
  TCommandContext context{*player, out, std::move(argText), errors, std::move(argTextUtf8),
                          [&connect, playerName] { return connect(playerName); }};
  context.ArgWords = WordsAfterCommand(raw.Words, parameters);
  return RunCommand(*command, context);
}

}  // namespace

int RunJarvet(TRawCommandLine raw, const TConnect& connect, TOutputSink& sink,
              TOutputSink& errors, const std::string& moduleName) {
  TOutput out(sink);
  try {
    const int status = Run(raw, connect, out, errors);
    out.Flush();
    return status;
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
    if (!sink.Write(report, ignored)) errors.Write(report, ignored);
    return 1;
  }
}

}  // namespace jarvet

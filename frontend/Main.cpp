// jarvet: remote control for the media player, one command a run.
#include "CodePage.h"
#include "Jarvet.h"
#include "Process.h"

int main(int argc, char** argv) {
  jarvet::PrepareProcess();
  jarvet::InitCodePage();
  const auto platform = jarvet::CreateSystemPlatform();
  const std::string ansi = jarvet::RawCommandLine(argc, argv);
  const std::string utf8 = jarvet::RawCommandLineUtf8(argc, argv);
  const auto words = jarvet::CommandWords(argc, argv);
  return jarvet::RunJarvet({ansi, utf8, words ? &*words : nullptr}, *platform,
                           jarvet::StandardOutput(), jarvet::StandardError(),
                           jarvet::ModuleFileName());
}

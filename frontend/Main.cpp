// jarvet: remote control for media players, one command a run.
#include "Connect.h"
#include "Jarvet.h"
#include "Process.h"

int main(int argc, char** argv) {
  jarvet::PrepareProcess();
  const auto platform = jarvet::CreateSystemPlatform();
  const std::string ansi = jarvet::RawCommandLine(argc, argv);
  const std::string utf8 = jarvet::RawCommandLineUtf8(argc, argv);
  const auto words = jarvet::CommandWords(argc, argv);
  const jarvet::TConnect connect = [&platform](const std::string& parameter) {
    return jarvet::ConnectPlayer(parameter, *platform);
  };
  return jarvet::RunJarvet({ansi, utf8, words ? &*words : nullptr}, connect,
                           jarvet::StandardOutput(), jarvet::StandardError(),
                           jarvet::ModuleFileName());
}

// jarvet: remote control for media players, one command a run.
#include "CodePage.h"
#include "Connect.h"
#include "Jarvet.h"
#include "Process.h"

int main(int argc, char** argv) {
  jarvet::PrepareProcess();
  jarvet::InitCodePage();
  const auto platform = jarvet::CreateSystemPlatform();
  const std::string ansi = jarvet::RawCommandLine(argc, argv);
  const std::string utf8 = jarvet::RawCommandLineUtf8(argc, argv);
  const jarvet::TConnect connect = [&platform](const std::string& parameter) {
    return jarvet::ConnectPlayer(parameter, *platform);
  };
  return jarvet::RunJarvet({ansi, utf8}, connect, jarvet::StandardOutput(),
                           jarvet::StandardError(), jarvet::ModuleFileName());
}

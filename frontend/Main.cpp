// jarvet: remote control for the media player, one command a run.
#include "CodePage.h"
#include "Jarvet.h"
#include "Process.h"

int main(int argc, char** argv) {
  jarvet::PrepareProcess();
  jarvet::InitCodePage();
  const auto platform = jarvet::CreateSystemPlatform();
  return jarvet::RunJarvet(jarvet::RawCommandLine(argc, argv), *platform,
                           jarvet::StandardOutput(), jarvet::ModuleFileName(),
                           &jarvet::StandardError());
}

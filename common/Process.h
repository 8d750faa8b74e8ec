// Facts about the running process: its command line, and its executable for the failure report.
#pragma once

#include <cstdint>
#include <optional>
#include <string>
#include <vector>

namespace jarvet {

// The command line as one text, the invocation name first, quotes as typed. Where the platform
// passes only a parameter list, it is rebuilt from it.
std::string RawCommandLine(int argc, char** argv);
// The same in UTF-8: on Windows from the wide command line, so that no character is lost.
std::string RawCommandLineUtf8(int argc, char** argv);

// The parameters as the platform passed them, the invocation name first, in the code page; none
// where the platform passes one command-line text (Windows), which RawCommandLine gives whole.
std::optional<std::vector<std::string>> CommandWords(int argc, char** argv);

// Called before anything is opened: standard input, output and error are made valid (a closed
// one is replaced by a descriptor that fails every write), and a closed pipe on standard output
// must be a write error, not the end of the process.
void PrepareProcess();

// The running executable's file name without its directory.
std::string ModuleFileName();

// A code address as an offset from the start of the module that holds it, so that the same
// build reports the same address on every run.
std::uint32_t ModuleOffset(const void* codeAddress);

}  // namespace jarvet

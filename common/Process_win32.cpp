// Facts about the running process: Win32.
#include <windows.h>

#include "Process.h"
#include "Unicode.h"

namespace jarvet {

std::string RawCommandLine(int, char**) { return GetCommandLineA(); }

std::string RawCommandLineUtf8(int, char**) {
  const auto* wide = reinterpret_cast<const char16_t*>(GetCommandLineW());
  return Utf16ToUtf8(wide);
}

std::optional<std::vector<std::string>> CommandWords(int, char**) { return std::nullopt; }

void PrepareProcess() {}

std::string ModuleFileName() {
  char path[MAX_PATH];
  const DWORD length = GetModuleFileNameA(nullptr, path, MAX_PATH);
  if (length == 0) return "jarvet.exe";
  const std::string full(path, length);
  return full.substr(full.find_last_of("\\/") + 1);
}

std::uint32_t ModuleOffset(const void* codeAddress) {
  // A null name would give the executable's module, whatever the address.
  if (codeAddress == nullptr) return 0;
  HMODULE module = nullptr;
  const auto address = reinterpret_cast<std::uintptr_t>(codeAddress);
  if (GetModuleHandleExA(GET_MODULE_HANDLE_EX_FLAG_FROM_ADDRESS |
                             GET_MODULE_HANDLE_EX_FLAG_UNCHANGED_REFCOUNT,
                         static_cast<LPCSTR>(codeAddress), &module)) {
    return static_cast<std::uint32_t>(address - reinterpret_cast<std::uintptr_t>(module));
  }
  return static_cast<std::uint32_t>(address);
}

}  // namespace jarvet

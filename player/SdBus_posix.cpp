// Loads sd-bus from libsystemd.so.0 by dlopen.
#include "SdBus_posix.h"

#include <dlfcn.h>

namespace jarvet {
namespace {

constexpr const char* kLibraryName = "libsystemd.so.0";

template <typename Function>
bool Bind(void* library, Function& function, const char* name) {
  function = reinterpret_cast<Function>(dlsym(library, name));
  return function != nullptr;
}

bool LoadInto(TSdBus& f) {
  // Kept loaded for the rest of the run: the bus it opens lives as long.
  void* library = dlopen(kLibraryName, RTLD_NOW | RTLD_LOCAL);
  if (library == nullptr) return false;
  const bool complete =
      Bind(library, f.OpenUser, "sd_bus_open_user") &&
      Bind(library, f.FlushCloseUnref, "sd_bus_flush_close_unref") &&
      Bind(library, f.SetMethodCallTimeout, "sd_bus_set_method_call_timeout") &&
      Bind(library, f.Call, "sd_bus_call") && Bind(library, f.Process, "sd_bus_process") &&
      Bind(library, f.Wait, "sd_bus_wait") && Bind(library, f.AddMatch, "sd_bus_add_match") &&
      Bind(library, f.SlotUnref, "sd_bus_slot_unref") &&
      Bind(library, f.NewMethodCall, "sd_bus_message_new_method_call") &&
      Bind(library, f.MessageUnref, "sd_bus_message_unref") &&
      Bind(library, f.AppendBasic, "sd_bus_message_append_basic") &&
      Bind(library, f.OpenContainer, "sd_bus_message_open_container") &&
      Bind(library, f.CloseContainer, "sd_bus_message_close_container") &&
      Bind(library, f.ReadBasic, "sd_bus_message_read_basic") &&
      Bind(library, f.Skip, "sd_bus_message_skip") &&
      Bind(library, f.EnterContainer, "sd_bus_message_enter_container") &&
      Bind(library, f.ExitContainer, "sd_bus_message_exit_container") &&
      Bind(library, f.PeekType, "sd_bus_message_peek_type") &&
      Bind(library, f.ErrorFree, "sd_bus_error_free");
  if (!complete) dlclose(library);
  return complete;
}

}  // namespace

const TSdBus* LoadSdBus() {
  static TSdBus functions{};
  static const bool loaded = LoadInto(functions);
  return loaded ? &functions : nullptr;
}

}  // namespace jarvet

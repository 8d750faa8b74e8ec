// The few functions of sd-bus (libsystemd) that the MPRIS player uses, loaded at run time so
// that a run addressing a window-message player never loads them and the program starts where
// libsystemd is missing.
#pragma once

#include <systemd/sd-bus.h>

namespace jarvet {

struct TSdBus {
  decltype(&sd_bus_open_user) OpenUser;
  decltype(&sd_bus_flush_close_unref) FlushCloseUnref;
  decltype(&sd_bus_set_method_call_timeout) SetMethodCallTimeout;
  decltype(&sd_bus_call) Call;
  decltype(&sd_bus_process) Process;
  decltype(&sd_bus_wait) Wait;
  decltype(&sd_bus_add_match) AddMatch;
  decltype(&sd_bus_slot_unref) SlotUnref;
  decltype(&sd_bus_message_new_method_call) NewMethodCall;
  decltype(&sd_bus_message_unref) MessageUnref;
  decltype(&sd_bus_message_append_basic) AppendBasic;
  decltype(&sd_bus_message_open_container) OpenContainer;
  decltype(&sd_bus_message_close_container) CloseContainer;
  decltype(&sd_bus_message_read_basic) ReadBasic;
  decltype(&sd_bus_message_skip) Skip;
  decltype(&sd_bus_message_enter_container) EnterContainer;
  decltype(&sd_bus_message_exit_container) ExitContainer;
  decltype(&sd_bus_message_peek_type) PeekType;
  decltype(&sd_bus_error_free) ErrorFree;
};

// The functions, loaded on the first call; nullptr when libsystemd.so.0 or one of them cannot
// be loaded.
const TSdBus* LoadSdBus();

}  // namespace jarvet

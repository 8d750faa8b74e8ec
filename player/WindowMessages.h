// The player's window-message interface: message kinds, command numbers and request numbers,
// and the wire form of one message in the POSIX build's own window layer.
#pragma once

#include <cstdint>

namespace jarvet {

constexpr char kPlayerWindowClass[] = "Winamp v1.x";

// Message kinds.
constexpr std::int32_t kWmCommand = 273;  // wParam: command number; lParam 0
constexpr std::int32_t kWmUser = 1024;    // wParam: argument; lParam: request number
constexpr std::int32_t kWmCopyData = 74;  // a started executable hands a file to the running one

// Command numbers (kWmCommand).
constexpr std::int32_t kCmdClose = 40001;
constexpr std::int32_t kCmdPrevTrack = 40044;
constexpr std::int32_t kCmdPlay = 40045;
constexpr std::int32_t kCmdPause = 40046;
constexpr std::int32_t kCmdStop = 40047;
constexpr std::int32_t kCmdNextTrack = 40048;
constexpr std::int32_t kCmdVolumeUp = 40058;
constexpr std::int32_t kCmdVolumeDown = 40059;
constexpr std::int32_t kCmdRewind5s = 40144;
constexpr std::int32_t kCmdForward5s = 40148;

// Request numbers (kWmUser).
constexpr std::int32_t kReqGetVersion = 0;
constexpr std::int32_t kReqClearPlaylist = 101;
constexpr std::int32_t kReqGetStatus = 104;
constexpr std::int32_t kReqGetOutputTime = 105;  // wParam 0: position in ms; 1: length in s
constexpr std::int32_t kReqJumpToTime = 106;
constexpr std::int32_t kReqWritePlaylist = 120;
constexpr std::int32_t kReqSetPlaylistPos = 121;
constexpr std::int32_t kReqSetVolume = 122;
constexpr std::int32_t kReqGetPlaylistLength = 124;
constexpr std::int32_t kReqGetPlaylistPos = 125;
constexpr std::int32_t kReqGetInfo = 126;  // wParam 1: bit rate in kbit/s

// What the started executable asks of the running one: kWmCopyData's dwData on Windows, its
// wParam in the POSIX window layer.
constexpr std::int32_t kCopyDataOpen = 0;  // replace the playlist with the file and play
constexpr std::int32_t kCopyDataAdd = 1;   // append the file to the playlist

// POSIX window layer: a window is a Unix-domain stream socket named after its class in the
// window directory. A message is one TWireMessage in host byte order, answered by one int32.
// For kWmCopyData, lParam bytes of the file name follow the message.
struct TWireMessage {
  std::int32_t Message;
  std::int32_t WParam;
  std::int32_t LParam;
};

// Environment variable that points the window directory elsewhere (tests run isolated).
constexpr char kWindowDirVariable[] = "JARVET_WINDOW_DIR";
// Environment variable with the descriptor that a started program closes once it is ready to
// take messages (it is closed on exit in any case).
constexpr char kReadyFdVariable[] = "JARVET_READY_FD";

}  // namespace jarvet

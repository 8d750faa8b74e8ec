// The player's window-message interface, as both jarvet and the simulated player speak it:
// message kinds, command and request numbers, their wParam modes and answers, and the fixed
// names of the player's files and switches.
#pragma once

#include <cstdint>

namespace jarvet {

constexpr char kPlayerWindowClass[] = "Winamp v1.x";
constexpr char kExecutableName[] = "winamp.exe";
constexpr char kPlaylistDumpName[] = "winamp.m3u";  // written into the player directory
constexpr char kAddSwitch[] = "/ADD";               // the executable appends instead of replacing

// Message kinds.
constexpr std::int32_t kWmCommand = 273;  // wParam: command number; lParam 0
constexpr std::int32_t kWmUser = 1024;    // wParam: argument; lParam: request number
constexpr std::int32_t kWmCopyData = 74;  // dwData: what the bytes are

// Command numbers (kWmCommand).
constexpr std::int32_t kCmdClose = 40001;
constexpr std::int32_t kCmdPrevTrack = 40044;
constexpr std::int32_t kCmdPlay = 40045;  // unpauses when paused, else restarts the entry
constexpr std::int32_t kCmdPause = 40046;  // a toggle; nothing while stopped
constexpr std::int32_t kCmdStop = 40047;
constexpr std::int32_t kCmdNextTrack = 40048;
constexpr std::int32_t kCmdVolumeUp = 40058;
constexpr std::int32_t kCmdVolumeDown = 40059;
constexpr std::int32_t kCmdRewind5s = 40144;
constexpr std::int32_t kCmdFadeOut = 40147;  // fades out, then stops
constexpr std::int32_t kCmdForward5s = 40148;

// Request numbers (kWmUser).
constexpr std::int32_t kReqGetVersion = 0;
constexpr std::int32_t kReqClearPlaylist = 101;
constexpr std::int32_t kReqGetStatus = 104;
constexpr std::int32_t kReqGetOutputTime = 105;
constexpr std::int32_t kReqJumpToTime = 106;  // 0 done, -1 not playing, 1 beyond the end
constexpr std::int32_t kReqWritePlaylist = 120;
constexpr std::int32_t kReqSetPlaylistPos = 121;
constexpr std::int32_t kReqSetVolume = 122;
constexpr std::int32_t kReqGetPlaylistLength = 124;
constexpr std::int32_t kReqGetPlaylistPos = 125;
constexpr std::int32_t kReqGetInfo = 126;
constexpr std::int32_t kReqGetPlaylistFile = 211;  // answers a pointer to ANSI text
constexpr std::int32_t kReqGetPlaylistTitle = 212;
constexpr std::int32_t kReqGetPlaylistTitleW = 213;  // answers a pointer to UTF-16 text
constexpr std::int32_t kReqGetPlaylistFileW = 214;
constexpr std::int32_t kReqGetShuffle = 250;
constexpr std::int32_t kReqGetRepeat = 251;
constexpr std::int32_t kReqSetShuffle = 252;
constexpr std::int32_t kReqSetRepeat = 253;
constexpr std::int32_t kReqGetPlayingFileW = 3031;
constexpr std::int32_t kReqGetPlayingTitleW = 3034;

// wParam of kReqGetOutputTime.
constexpr std::int32_t kTimePosition = 0;      // ms, -1 when stopped
constexpr std::int32_t kTimeLength = 1;        // s, -1 when unknown
constexpr std::int32_t kTimeLengthMs = 2;      // ms; players before 5.0 don't know it
// wParam of kReqGetInfo.
constexpr std::int32_t kInfoSampleRateKhz = 0;
constexpr std::int32_t kInfoBitrate = 1;  // kbit/s
constexpr std::int32_t kInfoChannels = 2;
constexpr std::int32_t kInfoSampleRateHz = 5;
// wParam of kReqSetVolume that reads the volume instead of setting it.
constexpr std::int32_t kVolumeQuery = -666;

// kReqGetStatus answers.
constexpr std::int32_t kStatusStopped = 0;
constexpr std::int32_t kStatusPlaying = 1;
constexpr std::int32_t kStatusPaused = 3;

// What a request the player does not know answers.
constexpr std::int32_t kUnknownRequestAnswer = 1;

// kWmCopyData's dwData. The player appends the file (or a list's entries) to its playlist.
constexpr std::int32_t kCopyDataPlayFile = 100;    // ANSI bytes and a NUL
constexpr std::int32_t kCopyDataPlayFileW = 1100;  // UTF-16LE units and a NUL
// A started executable hands its file to the running player.
constexpr std::int32_t kCopyDataOpen = 0;  // replace the playlist with the file and play
constexpr std::int32_t kCopyDataAdd = 1;   // append the file to the playlist

// The first version that knows the wide requests and the length in ms (5.0).
constexpr std::int32_t kFirstWideVersion = 0x5000;

// A player is a 32-bit program: its pointers are the low 32 bits of an answer, and nothing
// lives in the first 64 KiB of its address space.
constexpr std::uint32_t kLowestPlayerAddress = 0x10000;

}  // namespace jarvet

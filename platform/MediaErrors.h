#pragma once
// Media error numbers, in the classic media-error numbering so that a number means the same in
// every message, and our own Japanese text for each.
#include <QString>
#include <cstdint>

namespace zypo::mcierr {
inline constexpr int Base = 256;
inline constexpr int InvalidDeviceId = 257;
inline constexpr int UnrecognizedKeyword = 259;
inline constexpr int UnrecognizedCommand = 261;
inline constexpr int Hardware = 262;
inline constexpr int InvalidDeviceName = 263;
inline constexpr int OutOfMemory = 264;
inline constexpr int DeviceOpen = 265;
inline constexpr int CannotLoadDriver = 266;
inline constexpr int MissingCommandString = 267;
inline constexpr int BadInteger = 270;
inline constexpr int FileNotFound = 275;
inline constexpr int DeviceNotReady = 276;
inline constexpr int Internal = 277;
inline constexpr int Driver = 278;
inline constexpr int ExtensionNotFound = 281;
inline constexpr int OutOfRange = 282;
inline constexpr int DeviceTypeRequired = 287;
inline constexpr int DuplicateAlias = 289;
inline constexpr int MissingDeviceName = 292;
inline constexpr int NoClosingQuote = 294;
inline constexpr int InvalidFile = 296;
inline constexpr int NonapplicableFunction = 302;
inline constexpr int FilenameRequired = 304;
inline constexpr int ExtraCharacters = 305;
inline constexpr int DeviceNotInstalled = 306;
inline constexpr int WaveOutputsInUse = 320;
inline constexpr int WaveOutputsUnsuitable = 324;
inline constexpr int SeqDivIncompatible = 336;
inline constexpr int SeqPortInUse = 337;
inline constexpr int SeqPortNonexistent = 338;
inline constexpr int SeqNoMidiPresent = 343;
inline constexpr int NoWindow = 346;
inline constexpr int CreateWindow = 347;
inline constexpr int FileRead = 348;
} // namespace zypo::mcierr

namespace zypo {

/// The platform's text for an error number. Returns 1 and fills `text` for a number it knows,
/// 0 otherwise (text left empty).
int mciGetErrorString(std::int32_t error, QString& text);

} // namespace zypo

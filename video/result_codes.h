#pragma once
// Result codes of the media-detector layer. 0 is success; every failure has a
// fixed negative value, the conventional platform value where one exists.
#include <cstdint>

constexpr int32_t S_OK = 0;
constexpr int32_t E_FAIL = -2147467259;           // 0x80004005 unspecified failure
constexpr int32_t E_INVALIDARG = -2147024809;     // 0x80070057 bad argument (negative time, bad size)
constexpr int32_t E_POINTER = -2147467261;        // 0x80004003 null pointer argument
constexpr int32_t E_OUTOFMEMORY = -2147024882;    // 0x8007000E allocation failed
constexpr int32_t E_FILE_NOT_FOUND = -2147024894; // 0x80070002 file does not exist
constexpr int32_t E_ACCESSDENIED = -2147024891;   // 0x80070005 file may not be read
constexpr int32_t VFW_E_INVALID_FILE_FORMAT = -2147220872;  // 0x80040278 not a media file / no decoder
constexpr int32_t VX_E_DECODE = -2147220735;      // 0x80040301 a frame could not be decoded
constexpr int32_t VX_E_NOT_VIDEO = -2147220734;   // 0x80040302 the current stream is not video (frame rate, grab)
constexpr int32_t VX_E_FRAME_SIZE = -2147220733;  // 0x80040303 frame size of 0 or less, or too large for the buffers

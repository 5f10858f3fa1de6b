#pragma once

// The codes HTTPSocket reports in its Error event and LastErrorCode. The numbers follow Linux
// errno, so that they stay the same on every system, and are the ones users are told about.

#include <cstdint>

namespace fw::http_error {

inline constexpr std::int32_t kFileNotPrepared = 1;  // no regular file can be written there
inline constexpr std::int32_t kFileWriteFailed = 5;  // the disk is full, or the file is lost
inline constexpr std::int32_t kPermissionDenied = 13;
inline constexpr std::int32_t kBadAddress = 22;      // not a usable http:// address
inline constexpr std::int32_t kTooManyFiles = 24;
inline constexpr std::int32_t kOtherSocketError = 71;  // any socket failure not named here
inline constexpr std::int32_t kIncompleteAnswer = 74;  // no header block, or a body cut short
inline constexpr std::int32_t kNotSupported = 95;
inline constexpr std::int32_t kAddressInUse = 98;
inline constexpr std::int32_t kAddressNotAvailable = 99;
inline constexpr std::int32_t kNetworkUnreachable = 101;
inline constexpr std::int32_t kLookupFailed = 103;  // the host name is unknown
inline constexpr std::int32_t kConnectionReset = 104;
inline constexpr std::int32_t kTimedOut = 110;  // no connection within the timeout or deadline
inline constexpr std::int32_t kConnectionRefused = 111;

// The code of a socket failure, by the system's errno.
std::int32_t FromSystemError(int error);

}  // namespace fw::http_error

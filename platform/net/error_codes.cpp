#include "platform/net/error_codes.h"

#include <cerrno>

namespace fw::http_error {

namespace {

struct SystemErrorCode {
  int error;
  std::int32_t code;
};
constexpr SystemErrorCode kSystemErrorCodes[] = {
    {ECONNREFUSED, kConnectionRefused},   {ECONNRESET, kConnectionReset},
    {EPIPE, kConnectionReset},            {ENETUNREACH, kNetworkUnreachable},
    {EHOSTUNREACH, kNetworkUnreachable},  {ETIMEDOUT, kTimedOut},
    {EACCES, kPermissionDenied},          {EPERM, kPermissionDenied},
    {EMFILE, kTooManyFiles},              {ENFILE, kTooManyFiles},
    {EADDRINUSE, kAddressInUse},          {EADDRNOTAVAIL, kAddressNotAvailable},
    {EAFNOSUPPORT, kNotSupported},        {EOPNOTSUPP, kNotSupported},
};

}  // namespace

std::int32_t FromSystemError(int error) {
  for (const auto& entry : kSystemErrorCodes)
    if (entry.error == error) return entry.code;
  return kOtherSocketError;
}

}  // namespace fw::http_error

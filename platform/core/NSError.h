#pragma once
// Error objects as the system reports them: a domain, a code and user information, with the
// platform's wording for their description; and the exception that carries one out of a
// throwing call (never on the render path).

#include <cstdint>
#include <exception>
#include <map>
#include <string>

namespace pf {

inline constexpr const char* NSOSStatusErrorDomain = "NSOSStatusErrorDomain";
inline constexpr const char* NSCocoaErrorDomain = "NSCocoaErrorDomain";
inline constexpr const char* NSPOSIXErrorDomain = "NSPOSIXErrorDomain";
inline constexpr const char* NSLocalizedDescriptionKey = "NSLocalizedDescription";
inline constexpr const char* NSFilePathErrorKey = "NSFilePath";
inline constexpr const char* NSDebugDescriptionErrorKey = "NSDebugDescription";

// File-system error codes of NSCocoaErrorDomain used by the platform layer.
inline constexpr std::int64_t NSFileNoSuchFileError = 4;
inline constexpr std::int64_t NSFileReadUnknownError = 256;
inline constexpr std::int64_t NSFileReadNoPermissionError = 257;
inline constexpr std::int64_t NSFileReadTooLargeError = 263;
inline constexpr std::int64_t NSFileWriteUnknownError = 512;
inline constexpr std::int64_t NSFileWriteNoPermissionError = 513;
inline constexpr std::int64_t NSFileWriteFileExistsError = 516;
inline constexpr std::int64_t NSPropertyListReadCorruptError = 3840;

class NSError {
public:
    using UserInfo = std::map<std::string, std::string>;

    NSError(std::string domain, std::int64_t code, UserInfo userInfo = {});

    const std::string& domain() const noexcept { return domain_; }
    std::int64_t code() const noexcept { return code_; }
    const UserInfo& userInfo() const noexcept { return userInfo_; }

    // The NSLocalizedDescription entry when there is one; otherwise the platform's generic text,
    // e.g. "The operation couldn’t be completed. (OSStatus error -66742.)".
    std::string localizedDescription() const;
    // Error Domain=<domain> Code=<code> "<description or (null)>" UserInfo={key=value, ...}
    std::string debugDescription() const;

    // An error of NSPOSIXErrorDomain for `errnoValue`, described by the C library.
    static NSError posix(int errnoValue);

private:
    std::string domain_;
    std::int64_t code_;
    UserInfo userInfo_;
};

class NSErrorException : public std::exception {
public:
    explicit NSErrorException(NSError error);
    const NSError& error() const noexcept { return error_; }
    // The error's localized description.
    const char* what() const noexcept override { return what_.c_str(); }

private:
    NSError error_;
    std::string what_;
};

} // namespace pf

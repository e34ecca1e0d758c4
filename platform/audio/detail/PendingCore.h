// Temporary: error objects until the core layer's NSError lands.
#pragma once
#include <exception>
#include <string>
#include "audio/CoreAudioTypes.h"
namespace pf {
struct NSError {
    std::string domain;
    NSInteger code = 0;
    static NSError osStatus(OSStatus status) { return {"NSOSStatusErrorDomain", status}; }
    std::string localizedDescription() const {
        return "The operation couldn’t be completed. (OSStatus error " + std::to_string(code) + ".)";
    }
};
struct NSErrorException : std::exception {
    explicit NSErrorException(NSError e) : error(std::move(e)) {}
    const char* what() const noexcept override { return "NSError"; }
    NSError error;
};
} // namespace pf

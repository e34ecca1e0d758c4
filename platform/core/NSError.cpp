#include "core/NSError.h"

#include <cstring>
#include <string_view>

namespace pf {

NSError::NSError(std::string domain, std::int64_t code, UserInfo userInfo)
    : domain_(std::move(domain)), code_(code), userInfo_(std::move(userInfo)) {}

std::string NSError::localizedDescription() const {
    if (auto it = userInfo_.find(NSLocalizedDescriptionKey); it != userInfo_.end())
        return it->second;
    const std::string prefix = "The operation couldn\u2019t be completed. ";
    if (domain_ == NSPOSIXErrorDomain) return prefix + std::strerror(static_cast<int>(code_));
    const std::string name = domain_ == NSOSStatusErrorDomain ? "OSStatus" : domain_;
    return prefix + "(" + name + " error " + std::to_string(code_) + ".)";
}

std::string NSError::debugDescription() const {
    std::string out = "Error Domain=" + domain_ + " Code=" + std::to_string(code_) + " \"";
    auto it = userInfo_.find(NSLocalizedDescriptionKey);
    out += it != userInfo_.end() ? it->second : "(null)";
    out += '"';
    if (!userInfo_.empty()) {
        out += " UserInfo={";
        bool first = true;
        for (const auto& [key, value] : userInfo_) {
            if (!first) out += ", ";
            first = false;
            out += key + "=" + value;
        }
        out += '}';
    }
    return out;
}

NSError NSError::posix(int errnoValue) {
    return NSError(NSPOSIXErrorDomain, errnoValue);
}

NSErrorException::NSErrorException(NSError error)
    : error_(std::move(error)), what_(error_.localizedDescription()) {}

} // namespace pf

#pragma once
// Facts about the running process. [any-thread]

#include <string>

namespace pf {

class ProcessInfo {
public:
    static ProcessInfo& processInfo();

    // The executable's file name (from /proc/self/exe).
    const std::string& processName() const noexcept { return name_; }
    int processIdentifier() const noexcept;
    // A new text on every call, unique across processes and hosts: a random UUID, the pid and a
    // per-process counter ("3F2504E0-4F89-41D3-9A0C-0305E82C3301-1234-000000000000002A").
    std::string globallyUniqueString() const;

private:
    ProcessInfo();
    std::string name_;
};

} // namespace pf

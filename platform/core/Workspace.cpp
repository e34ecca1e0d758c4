#include "core/Workspace.h"

#include <spawn.h>
#include <sys/wait.h>

#include <cerrno>
#include <mutex>
#include <string>
#include <vector>

#include "core/Dispatch.h"

extern char** environ;

namespace pf {
namespace {

std::mutex gMutex;
std::string gProgram = "xdg-open";

} // namespace

bool Workspace::openURL(const URL& url, Completion completion) {
    std::string program;
    {
        std::lock_guard lock(gMutex);
        program = gProgram;
    }
    std::string argument = url.absoluteString();
    std::vector<char*> argv{program.data(), argument.data(), nullptr};
    pid_t pid = 0;
    if (::posix_spawnp(&pid, program.c_str(), nullptr, nullptr, argv.data(), environ) != 0) {
        return false;
    }
    DispatchQueue::global().async([pid, completion = std::move(completion)] {
        int status = 0;
        while (::waitpid(pid, &status, 0) < 0 && errno == EINTR) {
        }
        if (completion) {
            const bool accepted = WIFEXITED(status) && WEXITSTATUS(status) == 0;
            DispatchQueue::main().async([completion, accepted] { completion(accepted); });
        }
    });
    return true;
}

void Workspace::setOpenCommandForTesting(std::string program) {
    std::lock_guard lock(gMutex);
    gProgram = program.empty() ? std::string("xdg-open") : std::move(program);
}

} // namespace pf

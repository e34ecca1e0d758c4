#include "core/Workspace.h"

#include <fcntl.h>
#include <spawn.h>
#include <sys/wait.h>
#include <unistd.h>

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
    // The browser's own chatter must not reach standard output, which carries the system's log.
    posix_spawn_file_actions_t actions;
    ::posix_spawn_file_actions_init(&actions);
    ::posix_spawn_file_actions_addopen(&actions, STDIN_FILENO, "/dev/null", O_RDONLY, 0);
    ::posix_spawn_file_actions_addopen(&actions, STDOUT_FILENO, "/dev/null", O_WRONLY, 0);
    ::posix_spawn_file_actions_addopen(&actions, STDERR_FILENO, "/dev/null", O_WRONLY, 0);
    pid_t pid = 0;
    const int spawned =
        ::posix_spawnp(&pid, program.c_str(), &actions, nullptr, argv.data(), environ);
    ::posix_spawn_file_actions_destroy(&actions);
    if (spawned != 0) return false;
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

// What the open panel costs: runs the real application with the plug-in's panel shown and
// playing (PF_UI_ACTIONS, null audio output) and prints the process's CPU use in percent of one
// core (user + system, from /proc), the presents per second and the mean pixels uploaded per
// present. The window backend is the caller's PF_UI_BACKEND (sdl needs a display: run it under
// `xvfb-run -a -s "-screen 0 1280x1024x24"`).
//
//   app_present_bench [APP] [SECONDS]
//
// The first three seconds (start-up, loading the plug-in) are left out of the figures.
#include <fcntl.h>
#include <poll.h>
#include <signal.h>
#include <sys/wait.h>
#include <unistd.h>

#include <chrono>
#include <cstdio>
#include <cstdlib>
#include <fstream>
#include <sstream>
#include <string>
#include <vector>

namespace {

using Clock = std::chrono::steady_clock;

// User + system time of the process in seconds (a zombie not yet reaped still answers).
bool cpuSeconds(pid_t pid, double& seconds) {
    std::ifstream in("/proc/" + std::to_string(pid) + "/stat");
    std::string line;
    if (!std::getline(in, line)) return false;
    const auto close = line.rfind(')');
    if (close == std::string::npos) return false;
    std::istringstream fields(line.substr(close + 2));
    std::string field;
    unsigned long long utime = 0, stime = 0;
    // Fields after the command: state is field 3; utime and stime are fields 14 and 15.
    for (int i = 3; i <= 15 && fields >> field; ++i) {
        if (i == 14) utime = std::stoull(field);
        if (i == 15) stime = std::stoull(field);
    }
    seconds = double(utime + stime) / double(sysconf(_SC_CLK_TCK));
    return true;
}

struct Sample {
    Clock::time_point at;
    double cpu = 0;
    unsigned long long presents = 0, pixels = 0;
};

} // namespace

int main(int argc, char** argv) {
    const std::string app = argc > 1 ? argv[1] : ORVEX_APP_EXECUTABLE;
    const int seconds = argc > 2 ? std::atoi(argv[2]) : 20;
    const auto warmUp = std::chrono::seconds(3);
    const std::string actions = "Plug-In; Play; wait " + std::to_string(seconds) + "; quit";

    int err[2];
    if (pipe2(err, O_CLOEXEC) != 0) return 1;
    const pid_t pid = fork();
    if (pid < 0) return 1;
    if (pid == 0) {
        dup2(err[1], STDERR_FILENO);
        const int devnull = open("/dev/null", O_WRONLY);
        if (devnull >= 0) dup2(devnull, STDOUT_FILENO);
        setenv("PF_AUDIO_OUTPUT", "null", 1);
        setenv("PF_UI_PRESENT_STATS", "1", 1);
        setenv("PF_UI_ACTIONS", actions.c_str(), 0);
        execl(app.c_str(), app.c_str(), static_cast<char*>(nullptr));
        std::perror(app.c_str());
        _exit(127);
    }
    close(err[1]);

    const Clock::time_point start = Clock::now();
    Sample first, last;
    bool haveFirst = false;
    unsigned long long presents = 0, pixels = 0;
    std::string pending;
    const auto deadline = start + std::chrono::seconds(seconds + 15);
    for (bool open = true; open && Clock::now() < deadline;) {
        pollfd p{err[0], POLLIN, 0};
        if (poll(&p, 1, 100) > 0) {
            char buf[4096];
            const ssize_t n = read(err[0], buf, sizeof buf);
            if (n <= 0)
                open = false;
            else
                pending.append(buf, std::size_t(n));
            for (std::size_t nl; (nl = pending.find('\n')) != std::string::npos;) {
                const std::string line = pending.substr(0, nl);
                pending.erase(0, nl + 1);
                if (std::sscanf(line.c_str(), "pf: presents %llu pixels %llu", &presents,
                                &pixels) != 2)
                    std::fprintf(stderr, "app: %s\n", line.c_str());
            }
        }
        Sample now{Clock::now(), 0, presents, pixels};
        if (!cpuSeconds(pid, now.cpu)) break;
        if (!haveFirst && now.at - start >= warmUp) {
            first = now;
            haveFirst = true;
        }
        if (haveFirst) last = now;
    }
    kill(pid, SIGTERM);
    int status = 0;
    waitpid(pid, &status, 0);
    const double span = std::chrono::duration<double>(last.at - first.at).count();
    if (!haveFirst || span <= 0) {
        std::fprintf(stderr, "the application ended before it could be measured\n");
        return 1;
    }
    const unsigned long long frames = last.presents - first.presents;
    std::printf("backend %s, %.1f s measured\n",
                std::getenv("PF_UI_BACKEND") ? std::getenv("PF_UI_BACKEND") : "sdl", span);
    std::printf("cpu %.2f %% of one core\n", 100.0 * (last.cpu - first.cpu) / span);
    std::printf("presents %.2f per second\n", double(frames) / span);
    std::printf("pixels %.0f per present\n",
                frames ? double(last.pixels - first.pixels) / double(frames) : 0.0);
    return 0;
}

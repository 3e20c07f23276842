// A program run with posix_spawn, fed and heard through pipes.
#include "child_process.h"

#include <fcntl.h>
#include <poll.h>
#include <signal.h>
#include <spawn.h>
#include <sys/wait.h>
#include <unistd.h>

#include <cerrno>
#include <chrono>
#include <cstring>

extern char** environ;

namespace publisher {

namespace {

class Pipe {
public:
    Pipe() {
        if (pipe2(ends_, O_CLOEXEC) != 0) ends_[0] = ends_[1] = -1;
    }
    ~Pipe() {
        Close(0);
        Close(1);
    }
    Pipe(const Pipe&) = delete;
    Pipe& operator=(const Pipe&) = delete;
    bool ok() const { return ends_[0] >= 0; }
    int end(int which) const { return ends_[which]; }
    void Close(int which) {
        if (ends_[which] >= 0) close(ends_[which]);
        ends_[which] = -1;
    }

private:
    int ends_[2];
};

// Feeds `input` and gathers the output at once, so that neither side waits
// on a full pipe; false when the program is still talking at `deadline`.
bool Exchange(Pipe& in, Pipe& out, const std::string& input, std::string& output,
              std::chrono::steady_clock::time_point deadline) {
    size_t fed = 0;
    if (input.empty()) in.Close(1);
    char chunk[4096];
    while (out.end(0) >= 0) {
        auto left = std::chrono::duration_cast<std::chrono::milliseconds>(deadline - std::chrono::steady_clock::now());
        if (left.count() <= 0) return false;
        pollfd ends[2] = {{out.end(0), POLLIN, 0}, {in.end(1), POLLOUT, 0}};
        int ready = poll(ends, in.end(1) >= 0 ? 2 : 1, int(left.count()));
        if (ready < 0) {
            if (errno == EINTR) continue;
            return true;
        }
        if (ready == 0) continue;
        if (ends[0].revents) {
            ssize_t got = read(out.end(0), chunk, sizeof chunk);
            if (got > 0) {
                output.append(chunk, size_t(got));
            } else if (got == 0 || errno != EINTR) {
                out.Close(0);
            }
        }
        if (in.end(1) >= 0 && ends[1].revents) {
            ssize_t put = write(in.end(1), input.data() + fed, input.size() - fed);
            if (put > 0) fed += size_t(put);
            if ((put < 0 && errno != EINTR && errno != EAGAIN) || fed == input.size()) in.Close(1);
        }
    }
    return true;
}

}  // namespace

Result<ProgramRun> RunProgram(const std::vector<std::string>& arguments, const std::string& input, bool* missing,
                              int seconds) {
    if (missing) *missing = false;
    if (arguments.empty()) return Error{"no program to run"};
    Pipe in, out;
    if (!in.ok() || !out.ok()) return Error{std::string("cannot make a pipe: ") + std::strerror(errno)};
    posix_spawn_file_actions_t actions;
    posix_spawn_file_actions_init(&actions);
    posix_spawn_file_actions_adddup2(&actions, in.end(0), 0);
    posix_spawn_file_actions_adddup2(&actions, out.end(1), 1);
    posix_spawn_file_actions_adddup2(&actions, out.end(1), 2);
    std::vector<char*> argv;
    for (const std::string& argument : arguments) argv.push_back(const_cast<char*>(argument.c_str()));
    argv.push_back(nullptr);
    pid_t child = 0;
    int failed = posix_spawnp(&child, argv[0], &actions, nullptr, argv.data(), environ);
    posix_spawn_file_actions_destroy(&actions);
    if (failed != 0) {
        if (missing) *missing = failed == ENOENT;
        return Error{"cannot run " + arguments[0] + ": " + std::strerror(failed)};
    }
    in.Close(0);
    out.Close(1);
    // A program that stops reading must not end this one with SIGPIPE.
    struct sigaction ignore {}, before {};
    ignore.sa_handler = SIG_IGN;
    sigaction(SIGPIPE, &ignore, &before);
    ProgramRun run;
    bool ended = Exchange(in, out, input, run.output, std::chrono::steady_clock::now() + std::chrono::seconds(seconds));
    sigaction(SIGPIPE, &before, nullptr);
    if (!ended) kill(child, SIGKILL);
    int status = 0;
    while (waitpid(child, &status, 0) < 0 && errno == EINTR) {
    }
    if (!ended) return Error{arguments[0] + " did not end within " + std::to_string(seconds) + " s"};
    run.status = WIFEXITED(status) ? WEXITSTATUS(status) : -1;
    return run;
}

}  // namespace publisher

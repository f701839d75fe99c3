// What the tests ask of a POSIX host: running a program, and file times.
#include "TestSupport.h"

#include <gtest/gtest.h>

#include <cerrno>
#include <chrono>
#include <csignal>
#include <cstdlib>
#include <sstream>
#include <thread>

#include <fcntl.h>
#include <poll.h>
#include <sys/stat.h>
#include <sys/wait.h>
#include <unistd.h>

namespace testsupport {

Process::Process(const std::string& program, const std::vector<std::string>& args,
                 const std::string& cwd) {
    std::vector<std::string> argvStore;
    if (const char* wrapper = std::getenv("VELKO_TEST_WRAPPER")) {
        std::istringstream words(wrapper);
        for (std::string word; words >> word;)
            argvStore.push_back(word);
    }
    argvStore.push_back(program);
    argvStore.insert(argvStore.end(), args.begin(), args.end());
    std::vector<char*> argv;
    for (auto& a : argvStore) {
        command_ += (command_.empty() ? "" : " ") + a;
        argv.push_back(a.data());
    }
    argv.push_back(nullptr);
    // Close-on-exec, so that another program started meanwhile does not
    // hold these pipes open.
    int outPipe[2], errPipe[2];
    if (pipe2(outPipe, O_CLOEXEC) != 0 || pipe2(errPipe, O_CLOEXEC) != 0) {
        ADD_FAILURE() << "pipe failed";
        ended_ = true;
        return;
    }
    pid_ = fork();
    if (pid_ == 0) {
        const int devnull = open("/dev/null", O_RDONLY);
        dup2(devnull, 0);
        dup2(outPipe[1], 1);
        dup2(errPipe[1], 2);
        if (chdir(cwd.c_str()) != 0)
            _exit(126);
        execvp(argv[0], argv.data());
        _exit(127);
    }
    close(outPipe[1]);
    close(errPipe[1]);
    out_ = outPipe[0];
    err_ = errPipe[0];
    if (pid_ < 0) {
        ADD_FAILURE() << "fork failed";
        ended_ = true;
    }
}

Process::~Process() {
    if (!ended_) {
        Kill();
        Reap(0);
    }
    for (int fd : {out_, err_})
        if (fd >= 0)
            close(fd);
}

bool Process::Reap(int flags) {
    int status = 0;
    pid_t got;
    while ((got = waitpid(pid_, &status, flags)) < 0 && errno == EINTR) {
    }
    if (got != pid_)
        return false;
    if (WIFEXITED(status))
        status_ = WEXITSTATUS(status);
    else if (WIFSIGNALED(status))
        status_ = 128 + WTERMSIG(status);
    else
        return true; // stopped
    ended_ = true;
    return true;
}

bool Process::Stop() {
    if (ended_)
        return false;
    kill(pid_, SIGSTOP);
    Reap(WUNTRACED);
    return !ended_;
}

void Process::Continue() {
    if (!ended_)
        kill(pid_, SIGCONT);
}

void Process::Kill() {
    if (!ended_)
        kill(pid_, SIGKILL);
}

bool Process::Ended() {
    if (!ended_)
        Reap(WNOHANG);
    return ended_;
}

RunResult Process::Wait(int timeoutSeconds) {
    RunResult result;
    const auto deadline = std::chrono::steady_clock::now() + std::chrono::seconds(timeoutSeconds);
    bool timedOut = false;
    pollfd fds[2] = {{out_, POLLIN, 0}, {err_, POLLIN, 0}};
    std::string* sinks[2] = {&result.out, &result.err};
    // The pipes close when the program ends (or is killed).
    while (fds[0].fd >= 0 || fds[1].fd >= 0) {
        const auto left = std::chrono::duration_cast<std::chrono::milliseconds>(
            deadline - std::chrono::steady_clock::now());
        if (!timedOut && left.count() <= 0) {
            timedOut = true;
            Kill();
        }
        const int ready = poll(fds, 2, timedOut ? -1 : static_cast<int>(left.count()) + 1);
        if (ready < 0 && errno != EINTR)
            break;
        for (int i = 0; i < 2 && ready > 0; ++i) {
            if (fds[i].fd < 0 || fds[i].revents == 0)
                continue;
            char buf[65536];
            const ssize_t n = read(fds[i].fd, buf, sizeof buf);
            if (n > 0) {
                sinks[i]->append(buf, static_cast<std::size_t>(n));
            } else if (n == 0 || errno != EINTR) {
                close(fds[i].fd);
                fds[i].fd = -1;
            }
        }
    }
    out_ = err_ = -1;
    while (!ended_ && Reap(0)) {
    }
    if (timedOut)
        ADD_FAILURE() << command_ << ": still running after " << timeoutSeconds << " s, killed";
    result.status = status_;
    return result;
}

bool RunsUntil(Process& process, const std::function<bool()>& condition, int timeoutSeconds) {
    const auto deadline = std::chrono::steady_clock::now() + std::chrono::seconds(timeoutSeconds);
    while (!process.Ended() && !condition()) {
        if (std::chrono::steady_clock::now() > deadline) {
            ADD_FAILURE() << "still waiting after " << timeoutSeconds << " s";
            return false;
        }
        std::this_thread::sleep_for(std::chrono::microseconds(200));
    }
    return !process.Ended();
}

RunResult Run(const std::string& program, const std::vector<std::string>& args,
              const std::string& cwd, int timeoutSeconds) {
    return Process(program, args, cwd).Wait(timeoutSeconds);
}

void SetModTime(const std::string& path, std::int64_t seconds, long nanoseconds) {
    struct timespec times[2];
    times[0].tv_sec = static_cast<time_t>(seconds);
    times[0].tv_nsec = nanoseconds;
    times[1] = times[0];
    if (utimensat(AT_FDCWD, path.c_str(), times, 0) != 0)
        ADD_FAILURE() << "cannot set the time of " << path;
}

} // namespace testsupport

// Runs one command and prints its wall time in seconds, its peak resident
// memory in KiB and its exit status, on one line:
//
//     benchtime [-o file] command [argument...]
//
// The command's standard output goes to `file` (created or emptied), or to
// /dev/null. The peak comes from wait4(), so it is the command's own: this
// process is small, and what it had before the exec counts towards the peak
// too.
#include <fcntl.h>
#include <sys/resource.h>
#include <sys/wait.h>
#include <time.h>
#include <unistd.h>

#include <cstdio>
#include <cstring>

namespace {

double Seconds(const timespec& t) {
    return static_cast<double>(t.tv_sec) + static_cast<double>(t.tv_nsec) / 1e9;
}

} // namespace

int main(int argc, char** argv) {
    const char* output = "/dev/null";
    int first = 1;
    if (argc > 2 && std::strcmp(argv[1], "-o") == 0) {
        output = argv[2];
        first = 3;
    }
    if (first >= argc) {
        std::fprintf(stderr, "usage: benchtime [-o file] command [argument...]\n");
        return 2;
    }
    timespec start{};
    timespec end{};
    clock_gettime(CLOCK_MONOTONIC, &start);
    const pid_t pid = fork();
    if (pid < 0) {
        std::perror("benchtime: fork");
        return 2;
    }
    if (pid == 0) {
        const int fd = open(output, O_WRONLY | O_CREAT | O_TRUNC, 0666);
        if (fd < 0 || dup2(fd, STDOUT_FILENO) < 0) {
            std::perror(output);
            _exit(127);
        }
        close(fd);
        execvp(argv[first], argv + first);
        std::perror(argv[first]);
        _exit(127);
    }
    int status = 0;
    rusage usage{};
    if (wait4(pid, &status, 0, &usage) < 0) {
        std::perror("benchtime: wait4");
        return 2;
    }
    clock_gettime(CLOCK_MONOTONIC, &end);
    const int code = WIFEXITED(status) ? WEXITSTATUS(status) : 128 + WTERMSIG(status);
    std::printf("%.6f %ld %d\n", Seconds(end) - Seconds(start), usage.ru_maxrss, code);
    return 0;
}

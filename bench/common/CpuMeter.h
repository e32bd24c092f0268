// CPU time of this process and of the X server it draws through, for benchmarks whose
// frames are finished by the server (a present is copied again there).
#pragma once

#include <dirent.h>
#include <time.h>
#include <unistd.h>

#include <algorithm>
#include <chrono>
#include <cstdlib>
#include <fstream>
#include <iterator>
#include <string>
#include <vector>

namespace benchkit {

inline double ProcessCpuSeconds() {
    timespec ts{};
    clock_gettime(CLOCK_PROCESS_CPUTIME_ID, &ts);
    return double(ts.tv_sec) + double(ts.tv_nsec) * 1e-9;
}

// The X server serving $DISPLAY (an Xvfb or Xorg started with that display's name) when
// it runs on this machine under this user's view of /proc; -1 otherwise.
inline int FindXServer() {
    const char* display = std::getenv("DISPLAY");
    if (!display) return -1;
    std::string name = display;
    name = name.substr(0, name.find('.'));  // ":99.0" -> ":99"
    DIR* proc = opendir("/proc");
    if (!proc) return -1;
    int found = -1;
    while (dirent* e = readdir(proc)) {
        const int pid = std::atoi(e->d_name);
        if (pid <= 0) continue;
        std::ifstream in("/proc/" + std::string(e->d_name) + "/cmdline", std::ios::binary);
        const std::string cmd((std::istreambuf_iterator<char>(in)), std::istreambuf_iterator<char>());
        std::vector<std::string> args;
        for (size_t at = 0; at < cmd.size();) {
            const size_t end = std::min(cmd.find('\0', at), cmd.size());
            args.push_back(cmd.substr(at, end - at));
            at = end + 1;
        }
        if (args.empty()) continue;
        const std::string exe = args[0].substr(args[0].rfind('/') + 1);
        if ((exe == "Xvfb" || exe == "Xorg" || exe == "X") && std::find(args.begin(), args.end(), name) != args.end()) {
            found = pid;
            break;
        }
    }
    closedir(proc);
    return found;
}

// The CPU time of another process, all its threads, in seconds (user + system ticks).
inline double ProcessCpuSecondsOf(int pid) {
    std::ifstream stat("/proc/" + std::to_string(pid) + "/stat");
    std::string line;
    std::getline(stat, line);
    const size_t close = line.rfind(')');
    if (close == std::string::npos) return 0;
    std::vector<std::string> fields;
    std::string field;
    for (size_t i = close + 2; i <= line.size(); ++i) {
        if (i == line.size() || line[i] == ' ') {
            fields.push_back(field);
            field.clear();
        } else {
            field += line[i];
        }
    }
    if (fields.size() < 13) return 0;  // utime and stime are the 12th and 13th after the name
    return (std::atof(fields[11].c_str()) + std::atof(fields[12].c_str())) / double(sysconf(_SC_CLK_TCK));
}

// The server's CPU time in seconds (nanosecond run time from schedstat where the kernel
// keeps it, else user + system ticks); 0 without a server.
inline double XServerCpuSeconds(int pid) {
    if (pid <= 0) return 0;
    std::ifstream sched("/proc/" + std::to_string(pid) + "/schedstat");
    double ns = 0;
    if (sched >> ns) return ns * 1e-9;
    return ProcessCpuSecondsOf(pid);
}

inline void SleepSeconds(double seconds) {
    const timespec ts{time_t(seconds), long((seconds - double(time_t(seconds))) * 1e9)};
    nanosleep(&ts, nullptr);
}

// CPU of this process plus the X server, and wall time, over a stretch of work.
struct CpuSample {
    double wall = 0, process = 0, server = 0;
    double Cpu() const { return process + server; }
};

template <typename F>
CpuSample MeasureCpu(int server, F f) {
    const auto t0 = std::chrono::steady_clock::now();
    const double p0 = ProcessCpuSeconds(), s0 = XServerCpuSeconds(server);
    f();
    CpuSample s;
    s.process = ProcessCpuSeconds() - p0;
    s.server = XServerCpuSeconds(server) - s0;
    s.wall = std::chrono::duration<double>(std::chrono::steady_clock::now() - t0).count();
    return s;
}

inline double Median(std::vector<double> v) {
    if (v.empty()) return 0;
    std::sort(v.begin(), v.end());
    return v.size() % 2 ? v[v.size() / 2] : 0.5 * (v[v.size() / 2 - 1] + v[v.size() / 2]);
}

}  // namespace benchkit

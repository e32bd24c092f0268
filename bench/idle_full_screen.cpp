// The idle game full screen against the idle game in a window: the real `tessmar` on its
// sample content, two copies side by side, each on its own virtual X server of
// 1920 x 1080 (Xvfb), one with fullScreen=true and one with fullScreen=false in its
// options, both under the sample's frame cap. From 10 s after each has started (its log
// shows the display's present parameters), the game processes' CPU (all their threads,
// the X servers not counted) is sampled over the same windows of a few seconds, both at
// once, so that the other work on a busy machine weighs on both alike (sampled in turns,
// a build starting or ending between two turns moved the ratio by half); the median of
// the windows' ratios is printed. Each game's log must show the mode it was asked for,
// and both must still run at the end, or no figure is printed.
//
//     build-rel/bench_idle_full_screen [game executable]   (needs Xvfb and xdotool, no display of its own)
//
// The game executable defaults to the build's own `tessmar` (another build's, to compare,
// runs from the same folder, beside the packed content).
#include <fcntl.h>
#include <signal.h>
#include <sys/wait.h>
#include <unistd.h>

#include <algorithm>
#include <chrono>
#include <cstdio>
#include <cstdlib>
#include <filesystem>
#include <fstream>
#include <iterator>
#include <string>
#include <thread>
#include <vector>

#include "bench/common/CpuMeter.h"

namespace {

namespace fs = std::filesystem;
using Clock = std::chrono::steady_clock;

constexpr int kScreenW = 1920, kScreenH = 1080;
constexpr double kSettleSeconds = 10, kWindowSeconds = 3;
constexpr int kWindows = 15;

// Runs argv with the environment changed by `env` (NAME=value), in `folder`, its output
// to `log`; answers the child's pid (or -1).
int Spawn(const std::vector<std::string>& argv, const std::vector<std::string>& env, const std::string& folder,
          const std::string& log, int keepFd = -1) {
    const pid_t pid = fork();
    if (pid != 0) return pid;
    for (const std::string& e : env) putenv(const_cast<char*>(e.c_str()));
    if (!folder.empty() && chdir(folder.c_str()) != 0) _exit(127);
    const int out = open(log.c_str(), O_WRONLY | O_CREAT | O_TRUNC, 0644);
    if (out >= 0) {
        dup2(out, 1);
        dup2(out, 2);
    }
    for (int fd = 3; fd < 1024; ++fd)
        if (fd != keepFd) close(fd);
    std::vector<char*> args;
    for (const std::string& a : argv) args.push_back(const_cast<char*>(a.c_str()));
    args.push_back(nullptr);
    execvp(args[0], args.data());
    _exit(127);
}

void Stop(int pid) {
    if (pid <= 0) return;
    kill(pid, SIGKILL);
    waitpid(pid, nullptr, 0);
}

bool Running(int pid) { return pid > 0 && waitpid(pid, nullptr, WNOHANG) == 0; }

std::string ReadFile(const fs::path& path) {
    std::ifstream in(path, std::ios::binary);
    return std::string((std::istreambuf_iterator<char>(in)), std::istreambuf_iterator<char>());
}

// A virtual X server of the screen's size on a free display number (Xvfb picks it and
// writes it to a pipe).
struct Server {
    int pid = -1;
    std::string display;

    // Other X servers starting at the same time (tests under xvfb-run on a busy machine)
    // can take the number Xvfb chose before it listens, and it ends: it is started again
    // unless it still runs a moment after naming its display.
    explicit Server(const std::string& log) {
        for (int attempt = 0; attempt < 5 && display.empty(); ++attempt) {
            int fds[2];
            if (pipe(fds) != 0) return;
            const std::string screen = std::to_string(kScreenW) + "x" + std::to_string(kScreenH) + "x24";
            pid = Spawn({"Xvfb", "-displayfd", std::to_string(fds[1]), "-screen", "0", screen, "-nolisten", "tcp"}, {},
                        "", log, fds[1]);
            close(fds[1]);
            char buf[32] = {};
            const ssize_t n = read(fds[0], buf, sizeof buf - 1);
            close(fds[0]);
            const std::string text(buf, size_t(n > 0 ? n : 0));
            std::this_thread::sleep_for(std::chrono::milliseconds(500));
            if (n <= 0) {
                Stop(pid);
                pid = -1;
            } else if (Running(pid)) {
                display = ":" + text.substr(0, text.find('\n'));
            } else {
                pid = -1;  // ended, and reaped by Running
            }
        }
    }
    ~Server() { Stop(pid); }
};

// One copy of the game with its own user folder (its own options, log and lock).
struct Game {
    fs::path home;
    int pid = -1;

    Game(const fs::path& root, const std::string& name, bool fullScreen, const std::string& display,
         const std::string& executable) {
        home = root / name;
        const fs::path user = home / Vendor() / "Tessmar5";
        fs::create_directories(user);
        std::ofstream(user / "options.cfg") << "[main]\nfullScreen=" << (fullScreen ? "true" : "false") << "\n";
        pid = Spawn({executable}, {"DISPLAY=" + display, "XDG_DATA_HOME=" + home.string()}, GAME_FOLDER,
                    (root / (name + ".out")).string());
    }
    ~Game() { Stop(pid); }

    std::string Log() const { return ReadFile(home / Vendor() / "Tessmar5" / "log.txt"); }
    bool Started() const { return Log().find("InitPresentParams") != std::string::npos; }

    // The vendor's folder name, as the sample content names it.
    static std::string Vendor() {
        const std::string cfg = ReadFile(fs::path(RUV3_SOURCE_DIR) / "data" / "cfg" / "vendor.cfg");
        const size_t at = cfg.find("name=");
        if (at == std::string::npos) return "Tarn";
        return cfg.substr(at + 5, cfg.find_first_of("\r\n", at) - at - 5);
    }
};

// Gives the game's window on `display` (found by its class, the executable's name) the
// keyboard focus, and waits until it has it. With no window manager a window gets the
// focus only by chance (the pointer over it, or a focus request that wins a race at its
// start), and a game without it waits for messages between frames instead of running at
// its frame cap: sampled so, the ratio went from under 1 to 6 from one run to the next.
bool Focus(const std::string& display, const std::string& executable, const fs::path& log) {
    const std::string name = fs::path(executable).filename().string();
    const int pid = Spawn({"timeout", "20", "xdotool", "search", "--sync", "--onlyvisible", "--classname", name,
                           "windowfocus", "--sync"},
                          {"DISPLAY=" + display}, "", log.string());
    int status = 0;
    return pid > 0 && waitpid(pid, &status, 0) == pid && WIFEXITED(status) && WEXITSTATUS(status) == 0;
}

}  // namespace

int main(int argc, char** argv) {
    const std::string executable = argc > 1 ? fs::absolute(argv[1]).string() : std::string(TESSMAR_EXE);
    const fs::path root = fs::temp_directory_path() / ("bench_idle_full_screen." + std::to_string(getpid()));
    fs::create_directories(root);
    bool ok = false;
    {
        Server fullServer((root / "xvfb-full.out").string()), windowServer((root / "xvfb-window.out").string());
        if (fullServer.display.empty() || windowServer.display.empty()) {
            std::fprintf(stderr, "bench_idle_full_screen: Xvfb did not start\n");
        } else {
            Game full(root, "full", true, fullServer.display, executable);
            Game windowed(root, "window", false, windowServer.display, executable);
            // Start-up: both logs show the display's parameters (a generous deadline).
            const auto deadline = Clock::now() + std::chrono::seconds(120);
            while (Clock::now() < deadline && !(full.Started() && windowed.Started()) && Running(full.pid) &&
                   Running(windowed.pid))
                std::this_thread::sleep_for(std::chrono::milliseconds(100));
            if (!full.Started() || !windowed.Started()) {
                std::fprintf(stderr, "bench_idle_full_screen: the games did not start (logs in %s)\n", root.c_str());
            } else if (!Focus(fullServer.display, executable, root / "focus-full.out") ||
                       !Focus(windowServer.display, executable, root / "focus-window.out")) {
                std::fprintf(stderr, "bench_idle_full_screen: a game's window did not take the focus (xdotool; logs in %s)\n",
                             root.c_str());
            } else {
                benchkit::SleepSeconds(kSettleSeconds);
                // Both games' CPU over the same windows.
                std::vector<double> fullCpu, windowCpu, ratios;
                for (int k = 0; k < kWindows; ++k) {
                    const double f0 = benchkit::ProcessCpuSecondsOf(full.pid);
                    const double w0 = benchkit::ProcessCpuSecondsOf(windowed.pid);
                    benchkit::SleepSeconds(kWindowSeconds);
                    fullCpu.push_back(benchkit::ProcessCpuSecondsOf(full.pid) - f0);
                    windowCpu.push_back(benchkit::ProcessCpuSecondsOf(windowed.pid) - w0);
                    if (windowCpu.back() > 0) ratios.push_back(fullCpu.back() / windowCpu.back());
                }
                const std::string fullLog = full.Log(), windowLog = windowed.Log();
                const std::string fullMode = "windowed = 0", windowMode = "windowed = 1";
                ok = !ratios.empty() && Running(full.pid) && Running(windowed.pid) &&
                     fullLog.find(fullMode) != std::string::npos &&
                     windowLog.find(windowMode) != std::string::npos;
                if (!ok) {
                    std::fprintf(stderr, "bench_idle_full_screen: a game ended or did not take its mode (logs in %s)\n",
                                 root.c_str());
                } else {
                    const double r = benchkit::Median(ratios), goal = 1.5;
                    std::printf("%s\n", executable.c_str());
                    std::printf("idle sample on %d x %d virtual screens, %d windows of %.0f s each from %.0f s after "
                                "start-up, both games at once: full screen %.1f %% of a core, windowed %.1f %% "
                                "(medians); ratios from %.2f to %.2f\n",
                                kScreenW, kScreenH, kWindows, kWindowSeconds, kSettleSeconds,
                                benchkit::Median(fullCpu) / kWindowSeconds * 100,
                                benchkit::Median(windowCpu) / kWindowSeconds * 100,
                                *std::min_element(ratios.begin(), ratios.end()),
                                *std::max_element(ratios.begin(), ratios.end()));
                    std::printf("  %-70s %7.2f  (%.3f ms CPU over %.3f ms CPU, median of %zu windows' ratios; goal <= "
                                "%.1f: %s)\n",
                                "idle CPU of the game, full screen 1920x1080 / windowed 800x600", r,
                                benchkit::Median(fullCpu) * 1e3, benchkit::Median(windowCpu) * 1e3, ratios.size(), goal,
                                r <= goal ? "met" : "missed");
                }
            }
        }
    }
    if (ok) fs::remove_all(root);
    return ok ? 0 : 1;
}

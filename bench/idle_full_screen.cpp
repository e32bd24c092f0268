// The idle game full screen against the idle game in a window: the real `tessmar` on its
// sample content, two copies side by side, each on its own virtual X server of
// 1920 x 1080 (Xvfb), one with fullScreen=true and one with fullScreen=false in its
// options, both under the sample's frame cap. From 10 s after each has started (its log
// shows the display's present parameters), the game processes' CPU (all their threads,
// the X servers not counted) is sampled in turns, a few seconds each, and the ratio of
// the medians printed. Each game's log must show the mode it was asked for, and both must
// still run at the end, or no figure is printed.
//
//     build-rel/bench_idle_full_screen [game executable]   (needs Xvfb, no display of its own)
//
// The game executable defaults to the build's own `tessmar` (another build's, to compare,
// runs from the same folder, beside the packed content).
#include <fcntl.h>
#include <signal.h>
#include <sys/wait.h>
#include <unistd.h>

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
#include "bench/common/InTurns.h"

namespace {

namespace fs = std::filesystem;
using Clock = std::chrono::steady_clock;

constexpr int kScreenW = 1920, kScreenH = 1080;
constexpr double kSettleSeconds = 10, kTurnSeconds = 3;
constexpr int kRounds = 7;

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

    explicit Server(const std::string& log) {
        int fds[2];
        if (pipe(fds) != 0) return;
        const std::string screen = std::to_string(kScreenW) + "x" + std::to_string(kScreenH) + "x24";
        pid = Spawn({"Xvfb", "-displayfd", std::to_string(fds[1]), "-screen", "0", screen, "-nolisten", "tcp"}, {}, "",
                    log, fds[1]);
        close(fds[1]);
        char buf[32] = {};
        const ssize_t n = read(fds[0], buf, sizeof buf - 1);
        close(fds[0]);
        if (n > 0) display = ":" + std::string(buf, size_t(n)).substr(0, std::string(buf, size_t(n)).find('\n'));
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
            } else {
                benchkit::SleepSeconds(kSettleSeconds);
                benchkit::InTurns turns;
                const size_t f = turns.Watch("full screen", kTurnSeconds, full.pid);
                const size_t w = turns.Watch("windowed", kTurnSeconds, windowed.pid);
                turns.Run(kRounds);
                const std::string fullLog = full.Log(), windowLog = windowed.Log();
                const std::string fullMode = "windowed = 0", windowMode = "windowed = 1";
                ok = Running(full.pid) && Running(windowed.pid) && fullLog.find(fullMode) != std::string::npos &&
                     windowLog.find(windowMode) != std::string::npos;
                if (!ok) {
                    std::fprintf(stderr, "bench_idle_full_screen: a game ended or did not take its mode (logs in %s)\n",
                                 root.c_str());
                } else {
                    using M = benchkit::InTurns::Measure;
                    std::printf("%s\n", executable.c_str());
                    std::printf("idle sample on %d x %d virtual screens, %d turns of %.0f s each from %.0f s after "
                                "start-up: full screen %.1f %% of a core, windowed %.1f %%\n",
                                kScreenW, kScreenH, kRounds, kTurnSeconds, kSettleSeconds,
                                turns.Median(f, M::Watched) / kTurnSeconds * 100,
                                turns.Median(w, M::Watched) / kTurnSeconds * 100);
                    turns.PrintRatio("idle CPU of the game, full screen 1920x1080 / windowed 800x600", f, M::Watched, w,
                                     M::Watched, 1.5);
                }
            }
        }
    }
    if (ok) fs::remove_all(root);
    return ok ? 0 : 1;
}

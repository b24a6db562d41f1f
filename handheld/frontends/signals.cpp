// The handler only writes the signal's number to a pipe: removing a folder is not something a
// signal handler may do, so a watcher thread does it and then lets the signal end the program.
#include "frontends/signals.h"

#include <chrono>
#include <condition_variable>
#include <csignal>
#include <filesystem>
#include <mutex>
#include <thread>
#include <unistd.h>

namespace handheld {

namespace {

constexpr int kSignals[] = {SIGINT, SIGTERM, SIGHUP};

int wakeFd[2] = {-1, -1};
std::mutex folderLock;
std::string folder; // the folder to remove, empty when none
struct sigaction previous[3];

volatile sig_atomic_t received = 0; // the signal being handled, 0 for none

void onSignal(int sig) {
    received = sig;
    unsigned char b = static_cast<unsigned char>(sig);
    if (write(wakeFd[1], &b, 1) < 0) {
        // Nowhere to report it: end the program as the signal would.
        signal(sig, SIG_DFL);
        raise(sig);
    }
}

void watcher() {
    unsigned char sig;
    while (read(wakeFd[0], &sig, 1) == 1) {
        {
            // The device may be removing it at the same time: go on until it is gone.
            std::lock_guard<std::mutex> lock(folderLock);
            std::error_code ec;
            for (int tries = 0; !folder.empty() && tries < 100; ++tries) {
                std::filesystem::remove_all(folder, ec);
                if (!std::filesystem::exists(std::filesystem::symlink_status(folder, ec)))
                    break;
            }
        }
        signal(sig, SIG_DFL);
        raise(sig);
    }
}

} // namespace

void TempFolderOnSignals::watch(const emul::Device &device) {
    if (armed_ || !device.ownsRoot())
        return;
    static std::once_flag started;
    bool ready = true;
    std::call_once(started, [&] {
        if (pipe(wakeFd) != 0) {
            ready = false;
            return;
        }
        std::thread(watcher).detach();
    });
    if (!ready || wakeFd[0] < 0)
        return;
    {
        std::lock_guard<std::mutex> lock(folderLock);
        folder = device.rootDir();
    }
    struct sigaction sa {};
    sa.sa_handler = onSignal;
    sigemptyset(&sa.sa_mask);
    for (size_t i = 0; i < 3; ++i)
        sigaction(kSignals[i], &sa, &previous[i]);
    armed_ = true;
}

TempFolderOnSignals::~TempFolderOnSignals() {
    if (!armed_)
        return;
    // The signal may have cut a read short, so that the program got here as if its input had
    // ended: it still ends as the signal would, once the watcher has removed the folder.
    if (int sig = received) {
        std::lock_guard<std::mutex> lock(folderLock);
        signal(sig, SIG_DFL);
        raise(sig);
    }
    for (size_t i = 0; i < 3; ++i)
        sigaction(kSignals[i], &previous[i], nullptr);
    std::lock_guard<std::mutex> lock(folderLock);
    folder.clear();
}

namespace {

int deadlineFd[2] = {-1, -1};
std::mutex deadlineLock;
std::condition_variable deadlineDisarmed;
bool deadlineArmed = false;
std::function<void()> deadlineLastWords;

void deadlineWatcher() {
    unsigned char sig;
    while (read(deadlineFd[0], &sig, 1) == 1) {
        std::unique_lock<std::mutex> lock(deadlineLock);
        if (deadlineDisarmed.wait_for(lock, std::chrono::seconds(1), [] { return !deadlineArmed; }))
            continue;
        if (deadlineLastWords)
            deadlineLastWords();
        signal(sig, SIG_DFL);
        raise(sig);
    }
}

} // namespace

SignalDeadline::SignalDeadline(std::function<void()> beforeEnd) {
    static std::once_flag started;
    std::call_once(started, [] {
        if (pipe(deadlineFd) == 0)
            std::thread(deadlineWatcher).detach();
    });
    std::lock_guard<std::mutex> lock(deadlineLock);
    deadlineLastWords = std::move(beforeEnd);
    deadlineArmed = true;
}

SignalDeadline::~SignalDeadline() {
    std::lock_guard<std::mutex> lock(deadlineLock);
    deadlineArmed = false;
    deadlineLastWords = nullptr;
    deadlineDisarmed.notify_all();
}

void SignalDeadline::started(int sig) {
    if (deadlineFd[1] < 0)
        return;
    unsigned char b = static_cast<unsigned char>(sig);
    if (write(deadlineFd[1], &b, 1) < 0) {
        // Nothing would end the program later: leave it to the front end.
    }
}

} // namespace handheld

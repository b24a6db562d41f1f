// The running device's monitor as another terminal uses it: `handheld screenshot` gets the
// device's screen as a PNG, a file that cannot be written is an error for the asker and leaves
// the folder as it was, and without a device the asker is told so in one line.
#include <windows.h>

#include "frontends/monitor.h"

#include "emul/device.h"
#include "emul/graphics.h"

#include <gtest/gtest.h>

#include <atomic>
#include <csignal>
#include <filesystem>
#include <fstream>
#include <set>
#include <sys/resource.h>
#include <sys/socket.h>
#include <sys/stat.h>
#include <sys/un.h>
#include <thread>
#include <unistd.h>

namespace fs = std::filesystem;

namespace {

std::set<std::string> listing(const std::string &dir) {
    std::set<std::string> names;
    for (const auto &e : fs::directory_iterator(dir))
        names.insert(e.path().filename().string());
    return names;
}

class MonitorTest : public ::testing::Test {
  protected:
    MonitorTest() {
        char tmpl[] = "/tmp/handheld-monitor-XXXXXX";
        dir = mkdtemp(tmpl);
    }
    ~MonitorTest() override { fs::remove_all(dir); }

    // `handheld screenshot FILE` from another process's point of view, served by the device's
    // first thread as a front end serves it; its exit status and what it said.
    int screenshot(emul::Device &device, handheld::Monitor &monitor, const std::string &file,
                   std::string *said) {
        std::atomic<bool> done{false};
        int status = -1;
        testing::internal::CaptureStderr();
        std::thread asker([&] {
            status = handheld::requestScreenshot(socket(), dir, file);
            done = true;
            device.kernel().wake();
        });
        while (!done) {
            device.kernel().block([&] { return done || monitor.pending(); }, emul::kNever);
            if (monitor.pending())
                monitor.serve();
        }
        asker.join();
        *said = testing::internal::GetCapturedStderr();
        return status;
    }
    std::string socket() const { return dir + "/monitor"; }

    std::string dir;
};

TEST_F(MonitorTest, AScreenshotIsTheDevicesScreenAndAFailedOneTouchesNothing) {
    emul::DeviceOptions o;
    o.realTime = true;
    emul::Device device(o);
    HDC screen = GetDC(nullptr);
    RECT r{10, 20, 50, 60};
    FillRect(screen, &r, static_cast<HBRUSH>(GetStockObject(WHITE_BRUSH)));
    ReleaseDC(nullptr, screen);
    handheld::Monitor monitor(device, socket());
    ASSERT_TRUE(monitor.listening()) << monitor.error();
    EXPECT_EQ(fs::status(socket()).permissions() & fs::perms::all,
              fs::perms::owner_read | fs::perms::owner_write);

    std::string said;
    ASSERT_EQ(screenshot(device, monitor, dir + "/shot.png", &said), 0) << said;
    int w = 0, h = 0;
    std::vector<uint8_t> rgb;
    std::string error;
    ASSERT_TRUE(emul::readPng(dir + "/shot.png", &w, &h, &rgb, &error)) << error;
    EXPECT_EQ(w, 240);
    EXPECT_EQ(h, 320);
    EXPECT_EQ(rgb, device.graphics().rgb());
    EXPECT_EQ(rgb[(30 * 240 + 30) * 3], 255);

    // A folder that is not there, a folder in the file's place: the asker hears why, and the
    // state folder holds what it held.
    auto before = listing(dir);
    EXPECT_EQ(screenshot(device, monitor, dir + "/missing/shot.png", &said), 1);
    EXPECT_EQ(said, "handheld screenshot: cannot write " + dir +
                        "/missing/shot.png: No such file or directory\n");
    EXPECT_EQ(listing(dir), before);
    fs::create_directory(dir + "/folder.png");
    before = listing(dir);
    EXPECT_EQ(screenshot(device, monitor, dir + "/folder.png", &said), 1);
    EXPECT_NE(said.find("Is a directory"), std::string::npos) << said;
    EXPECT_EQ(listing(dir), before);
    EXPECT_TRUE(fs::is_empty(dir + "/folder.png"));
}

// Whatever stands at the path but a plain file stays as it is: a pipe (which would hold the
// device forever), a link (whose target is another file), and a write cut short leaves no file.
TEST_F(MonitorTest, OnlyAPlainFileIsWritten) {
    emul::DeviceOptions o;
    o.realTime = true;
    emul::Device device(o);
    handheld::Monitor monitor(device, socket());
    ASSERT_TRUE(monitor.listening()) << monitor.error();
    std::string said;
    ASSERT_EQ(mkfifo((dir + "/pipe.png").c_str(), 0600), 0);
    EXPECT_EQ(screenshot(device, monitor, dir + "/pipe.png", &said), 1);
    EXPECT_NE(said.find("pipe.png: not a plain file"), std::string::npos) << said;
    EXPECT_TRUE(fs::is_fifo(dir + "/pipe.png"));

    std::ofstream(dir + "/kept.txt") << "kept";
    fs::create_symlink(dir + "/kept.txt", dir + "/link.png");
    EXPECT_EQ(screenshot(device, monitor, dir + "/link.png", &said), 1);
    EXPECT_NE(said.find("link.png: it is a symbolic link"), std::string::npos) << said;
    EXPECT_TRUE(fs::is_symlink(dir + "/link.png"));
    EXPECT_EQ(fs::file_size(dir + "/kept.txt"), 4u);

    // A file size limit cuts the write short, as a full disk would.
    std::ofstream(dir + "/full.png") << "an older picture";
    signal(SIGXFSZ, SIG_IGN);
    rlimit before{}, limit{};
    getrlimit(RLIMIT_FSIZE, &before);
    limit = before;
    limit.rlim_cur = 100;
    setrlimit(RLIMIT_FSIZE, &limit);
    EXPECT_EQ(screenshot(device, monitor, dir + "/full.png", &said), 1);
    setrlimit(RLIMIT_FSIZE, &before);
    EXPECT_NE(said.find("full.png: File too large"), std::string::npos) << said;
    EXPECT_FALSE(fs::exists(dir + "/full.png"));
}

TEST_F(MonitorTest, WithoutADeviceTheAskerIsToldInOneLine) {
    std::string said;
    testing::internal::CaptureStderr();
    EXPECT_EQ(handheld::requestScreenshot(socket(), dir, dir + "/shot.png"), 1);
    said = testing::internal::GetCapturedStderr();
    EXPECT_EQ(said, "handheld screenshot: no device runs from " + dir +
                        " (start one with: handheld --state " + dir + ")\n");
    // What an ended device left behind: a socket nobody listens on.
    int fd = ::socket(AF_UNIX, SOCK_STREAM, 0);
    sockaddr_un addr{};
    addr.sun_family = AF_UNIX;
    std::snprintf(addr.sun_path, sizeof addr.sun_path, "%s", socket().c_str());
    ASSERT_EQ(bind(fd, reinterpret_cast<sockaddr *>(&addr), sizeof addr), 0);
    close(fd);
    testing::internal::CaptureStderr();
    EXPECT_EQ(handheld::requestScreenshot(socket(), dir, dir + "/shot.png"), 1);
    EXPECT_EQ(testing::internal::GetCapturedStderr(), said);
    EXPECT_FALSE(fs::exists(dir + "/shot.png"));

    // The next device takes the stale socket over, but never a file of another kind.
    emul::DeviceOptions o;
    o.realTime = true;
    {
        emul::Device device(o);
        handheld::Monitor monitor(device, socket());
        EXPECT_TRUE(monitor.listening()) << monitor.error();
    }
    EXPECT_FALSE(fs::exists(socket()));
    std::ofstream(socket()) << "notes";
    emul::Device device(o);
    handheld::Monitor monitor(device, socket());
    EXPECT_FALSE(monitor.listening());
    EXPECT_NE(monitor.error().find(socket()), std::string::npos);
    std::ifstream in(socket());
    std::string kept;
    in >> kept;
    EXPECT_EQ(kept, "notes");
}

// A state folder deep enough that its socket's path outgrows a socket address.
TEST_F(MonitorTest, ALongStateFolderPathStillWorks) {
    std::string deep = dir + "/" + std::string(60, 'a') + "/" + std::string(60, 'b');
    fs::create_directories(deep);
    std::string path = deep + "/monitor";
    ASSERT_GT(path.size(), sizeof(sockaddr_un::sun_path));
    emul::DeviceOptions o;
    o.realTime = true;
    emul::Device device(o);
    handheld::Monitor monitor(device, path);
    ASSERT_TRUE(monitor.listening()) << monitor.error();
    int fd = handheld::connectMonitor(path);
    ASSERT_GE(fd, 0);
    close(fd);
}

} // namespace

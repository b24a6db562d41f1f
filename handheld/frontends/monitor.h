// The running device's monitor: a Unix socket in its state folder on which other programs ask
// the device for things (`handheld screenshot`). One request a connection: a line of text in,
// one line back, "ok" or "error " and the reason.
#pragma once

#include "emul/device.h"

#include <memory>
#include <string>
#include <vector>

namespace handheld {

class Monitor {
  public:
    // Listens on `socketPath` (a stale socket of a device that ended is replaced): only this
    // user's processes are served. Not listening is no reason to stop the device: error() says
    // why, for the front end to show.
    Monitor(emul::Device &device, const std::string &socketPath);
    ~Monitor();
    Monitor(const Monitor &) = delete;
    Monitor &operator=(const Monitor &) = delete;

    bool listening() const { return listenFd_ >= 0; }
    const std::string &error() const { return error_; }
    // A request has come in whole and waits for serve(). Requests are heard at any switch but
    // served by the front end's own step, where no program is half-way through drawing.
    bool pending() const { return pending_; }
    void serve();

  private:
    struct Client {
        int fd;
        std::string in;
    };
    void acceptClients();
    void readClient(int fd);
    void drop(size_t i);
    std::string answer(const std::string &request);

    emul::Device &device_;
    std::string path_;
    std::string error_;
    int listenFd_ = -1;
    int dirFd_ = -1; // the folder, for a socket path too long to name directly
    std::vector<Client> clients_;
    bool pending_ = false;
};

// `handheld screenshot FILE`: the running device at `socketPath` writes its screen to `file`
// as a PNG. Returns the exit status, the reason on standard error.
int requestScreenshot(const std::string &socketPath, const std::string &stateDir,
                      const std::string &file);

// Connects to a monitor socket; -1 with errno set. Paths longer than a socket address holds
// are reached through their folder.
int connectMonitor(const std::string &socketPath);

} // namespace handheld

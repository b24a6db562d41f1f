// Writes an interactive session as a scenario: the bytes on the infrared line with their device
// times and the user's actions, so `handheld play` acts it out again.
#pragma once

#include <cstdint>
#include <fstream>
#include <string>
#include <vector>

namespace handheld {

class SessionRecorder {
  public:
    // False when the file cannot be written.
    bool open(const std::string &path);
    bool active() const { return out_.is_open(); }
    // A command at device time `t` (ms); a `wait` for the time since the last one goes first.
    void command(uint64_t t, const std::string &line);
    void bytes(uint64_t t, const std::vector<uint8_t> &bytes);
    // Ends the scenario with a last wait, so what the last keys did is in its journal.
    void close(uint64_t t);

  private:
    std::ofstream out_;
    uint64_t last_ = 0;
};

} // namespace handheld

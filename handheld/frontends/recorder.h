// Writes an interactive session as a scenario: the bytes on the infrared line with their device
// times and the user's actions, so `handheld play` acts it out again.
#pragma once

#include <cstdint>
#include <fstream>
#include <string>
#include <vector>

namespace handheld {

// A word of a scenario command in double quotes, with " and \ escaped.
std::string scenarioWord(const std::string &text);

class SessionRecorder {
  public:
    // False when the file cannot be written.
    bool open(const std::string &path);
    bool active() const { return out_.is_open(); }
    // A command at device time `t` (ms); a `wait` for the time since the last one goes first.
    void command(uint64_t t, const std::string &line);
    void bytes(uint64_t t, const std::vector<uint8_t> &bytes);
    // A command that must come before the last one written: the answer to a question that the
    // last command (or the bytes it sent) brought up, which a replay has to have queued by then.
    void before(const std::string &line);
    // Ends the scenario with a last wait, so what the last keys did is in its journal.
    void close(uint64_t t);

  private:
    std::ofstream out_;
    uint64_t last_ = 0;
    std::streampos lastAt_ = 0; // where the last command (with its wait) starts in the file
    std::string lastText_;
};

} // namespace handheld

// The state folder of the interactive device: its registry hive, its file system and, while it
// runs, the link to its infrared line.
#pragma once

#include <string>

namespace handheld {

struct StateDir {
    std::string dir;
    std::string hive() const { return dir + "/registry.db"; }
    std::string root() const { return dir + "/device"; } // the device's "\"
    std::string irLine() const { return dir + "/ir-line"; }
    // While the device runs: what `handheld reg` changed, as scenario commands, for its recording.
    std::string regChanges() const { return dir + "/reg-changes"; }
    // While the device runs: the socket on which it takes requests (`handheld screenshot`).
    std::string monitor() const { return dir + "/monitor"; }
};

// $XDG_STATE_HOME/handheld, else ~/.local/state/handheld.
std::string defaultStateDir();
// `dir`, or the default when empty.
StateDir stateDir(const std::string &dir);
// Makes the state folder and the device's folder in it; false with a message that names what
// stands in the way, the state folder or its device folder.
bool makeStateDir(const StateDir &dir, std::string *problem);
// Readies the folder for one running device: starts it over with `reset`, makes it, locks it
// for this process and settles the driver build: `wanted` (or the baseline) for a new device,
// else the one it was installed with. False, with one line on standard error, when another
// device runs from it, it cannot be made, or `wanted` is not the installed build.
bool openStateFolder(const StateDir &dir, bool reset, const std::string &wanted,
                     std::string *build);

} // namespace handheld

// A host thread's turn to run: it sleeps in the host kernel until another thread hands it over.
// The emulated kernel passes its baton with these, one wake-up and one sleep a switch.
#pragma once

#include <atomic>
#include <cstdint>

namespace emul::hostturn {

// Gives the turn kept in `word` to the thread that awaits (or will await) it.
void give(std::atomic<uint32_t> &word);
// Sleeps until the turn in `word` is given, and takes it.
void await(std::atomic<uint32_t> &word);

} // namespace emul::hostturn

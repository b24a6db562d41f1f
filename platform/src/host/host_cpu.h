// Host cores a thread may run on.
#pragma once

#include <vector>

namespace emul::hostcpu {

// Keeps the calling host thread (and the threads it starts from now on) to the core it is on.
// Returns its previous affinity mask, empty when nothing changed (one core allowed already,
// or the host refused).
std::vector<unsigned char> keepToThisCore();
// Gives the calling thread back the mask keepToThisCore returned; an empty one is left alone.
void restoreCores(const std::vector<unsigned char> &mask);

} // namespace emul::hostcpu

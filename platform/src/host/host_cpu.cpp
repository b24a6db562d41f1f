// Host cores through sched_setaffinity; the mask is kept as bytes so the header needs no
// host types.
#include "host/host_cpu.h"

#include <cstring>
#include <sched.h>

namespace emul::hostcpu {

std::vector<unsigned char> keepToThisCore() {
    cpu_set_t before;
    if (sched_getaffinity(0, sizeof before, &before) != 0 || CPU_COUNT(&before) <= 1)
        return {};
    int cpu = sched_getcpu();
    if (cpu < 0 || cpu >= CPU_SETSIZE || !CPU_ISSET(cpu, &before))
        return {};
    cpu_set_t one;
    CPU_ZERO(&one);
    CPU_SET(cpu, &one);
    if (sched_setaffinity(0, sizeof one, &one) != 0)
        return {};
    std::vector<unsigned char> mask(sizeof before);
    std::memcpy(mask.data(), &before, sizeof before);
    return mask;
}

void restoreCores(const std::vector<unsigned char> &mask) {
    if (mask.size() != sizeof(cpu_set_t))
        return;
    cpu_set_t before;
    std::memcpy(&before, mask.data(), sizeof before);
    sched_setaffinity(0, sizeof before, &before);
}

} // namespace emul::hostcpu

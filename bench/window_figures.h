// The figures of the device's window and terminal screen, for bench_figures.
#pragma once

#include <string>

// Prints the rows of the idle CPU with a screen open and of the key-to-pixels latency.
void windowFigures(int rounds, const std::string &handheld, bool idle, bool latency);

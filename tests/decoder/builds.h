// The one place where a decoder test learns which driver build it was compiled with: tests state
// what each build does, side by side, and take the value of the build under test.
#pragma once

template <typename T> T ByBuild(T ce420, T ce400, T ce300) {
#if IRK_BUILD == 420
    (void)ce400, (void)ce300;
    return ce420;
#elif IRK_BUILD == 400
    (void)ce420, (void)ce300;
    return ce400;
#else
    (void)ce420, (void)ce400;
    return ce300;
#endif
}

// Whether the build under test is the baseline (CE 4.20) or one of the older builds.
inline bool BaselineBuild() {
    return ByBuild(true, false, false);
}

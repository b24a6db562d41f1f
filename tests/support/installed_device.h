// A freshly installed device without its line, which the scenario runner adds as a scenario
// starts, and a runner to play scenario text on it: the set-up of tests that act as a scenario.
#pragma once

#include "handheld/image/install.h"
#include "handheld/scenario/scenario.h"

#include "emul/device.h"

#include <gtest/gtest.h>

#include <memory>
#include <string>

namespace test_support {

class InstalledDevice {
  public:
    InstalledDevice() {
        handheld::InstallOptions options;
        options.withPort = false;
        handheld::install(device, options);
        runner = std::make_unique<handheld::ScenarioRunner>(device);
    }
    // Plays scenario lines; a line that fails fails the test with its number and message.
    void Play(const std::string &text) {
        handheld::ScnError err;
        ASSERT_TRUE(runner->playText(text, &err)) << err.line << ": " << err.message;
    }

    emul::Device device;
    std::unique_ptr<handheld::ScenarioRunner> runner;
};

} // namespace test_support

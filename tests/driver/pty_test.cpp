// In real time over a host pseudo-terminal: a byte written to the terminal reaches the decoder
// as its inverted code. The limits are generous; nothing here measures time.
#include "support/driver_fixture.h"

#include "emul/serial_line.h"

#include <fcntl.h>
#include <unistd.h>

using testing_support::DriverTest;

namespace {

class RealTime : public DriverTest {
  protected:
    static emul::DeviceOptions Live() {
        emul::DeviceOptions o;
        o.realTime = true;
        return o;
    }
    RealTime() : DriverTest(Live()) {}
};

TEST_F(RealTime, ByteWrittenToAPseudoTerminalReachesTheDecoderInverted) {
    std::string error;
    std::string slave;
    auto line = emul::openPtyLine(&slave, &error);
    if (!line)
        GTEST_SKIP() << "no pseudo-terminal on this host: " << error;
    Line().connect(std::move(line));
    int fd = open(slave.c_str(), O_WRONLY | O_NOCTTY);
    ASSERT_GE(fd, 0);
    ASSERT_NE(Boot(), 0u);
    for (int i = 0; i < 100 && !Line().isOpen(); ++i)
        Wait(50);
    ASSERT_TRUE(Line().isOpen());
    const unsigned char bytes[] = {0x05, 0x02, 0xEE};
    ASSERT_EQ(write(fd, bytes, sizeof bytes), ssize_t(sizeof bytes));
    for (int i = 0; i < 200 && Codes().empty(); ++i)
        Wait(50);
    close(fd);
    ASSERT_FALSE(Codes().empty());
    EXPECT_EQ(Codes()[0], "17/1");
}

} // namespace

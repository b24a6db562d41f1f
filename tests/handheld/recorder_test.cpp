// A recorded session: answers to questions that one command brought up go before it, each on
// its own line and in the order they were given, so a replay has them queued in that order.
#include "handheld/frontends/recorder.h"

#include <gtest/gtest.h>

#include <cstdlib>
#include <fstream>
#include <sstream>
#include <string>
#include <unistd.h>

TEST(SessionRecorder, AnswersGivenToOneCommandStayLinesOfTheirOwnInOrder) {
    char tmpl[] = "/tmp/handheld-rec-XXXXXX";
    int fd = mkstemp(tmpl);
    ASSERT_GE(fd, 0);
    close(fd);
    const std::string path = tmpl;
    {
        handheld::SessionRecorder rec;
        ASSERT_TRUE(rec.open(path));
        rec.command(0, "run kbsettings");
        rec.command(30, "ok");
        rec.before("answer no");
        rec.before("choose \"\\My Documents\\a.txt\"");
        rec.command(50, "select 1009 \"Choose Data File...\"");
        rec.before("choose cancel");
        rec.close(50);
    }
    std::ifstream in(path);
    std::stringstream text;
    text << in.rdbuf();
    std::remove(path.c_str());
    std::string body = text.str();
    body = body.substr(body.find("run kbsettings"));
    EXPECT_EQ(body, "run kbsettings\n"
                    "answer no\n"
                    "choose \"\\My Documents\\a.txt\"\n"
                    "wait 30\n"
                    "ok\n"
                    "choose cancel\n"
                    "wait 20\n"
                    "select 1009 \"Choose Data File...\"\n"
                    "wait 2000\n"
                    "# the end of the session\n");
}

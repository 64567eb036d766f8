#include "RemoteCommand.h"

#include <gtest/gtest.h>

namespace {

TEST(RemoteCommand, AnswersAndClosesByTheWordsInTheText) {
    struct Case {
        const char* text;
        int answer;
        bool closes;
    };
    const Case cases[] = {
        {"Status", 1, false},
        {"Close", 2, true},
        {"please Close now", 2, true},
        {"Close, then Status", 1, true}, // both: the status answer, and the window still closes
        {"status close", 0, false},      // the words are matched as written
        {"", 0, false},
    };
    for (const Case& c : cases) {
        SCOPED_TRACE(c.text);
        EXPECT_EQ(RemoteCommand::Answer(c.text), c.answer);
        EXPECT_EQ(RemoteCommand::AsksToClose(c.text), c.closes);
    }
}

} // namespace

#include <gtest/gtest.h>

#include "common/error.h"

namespace ortholay {
namespace {

TEST(MessageForDisplay, AppendsAPeriodOnlyAfterCharactersAbovePeriod) {
    struct Row {
        const char* message;
        const char* shown;
    };
    const Row rows[] = {
        {"Stream write error", "Stream write error."},
        {"Cannot open file /a/b.jgw", "Cannot open file /a/b.jgw."},
        {"List index out of bounds (4)", "List index out of bounds (4)"},
        {"Already ends.", "Already ends."},
        {"ends in a comma,", "ends in a comma,"},
        {"ends in a dash-", "ends in a dash-"},
        {"ends in a space ", "ends in a space "},
        {"JPEG error #41", "JPEG error #41."},
        {"colon:", "colon:."},
        {"\xE8\x88\xAA\xE7\x85\xA7", "\xE8\x88\xAA\xE7\x85\xA7."},  // a Chinese character
        {"", ""},
    };
    for (const Row& row : rows) {
        SCOPED_TRACE(row.message);
        EXPECT_EQ(MessageForDisplay(row.message), row.shown);
    }
}

TEST(ErrorKinds, CarryTheirExactTexts) {
    EXPECT_STREQ(InvalidIntegerError("abc").what(), "'abc' is not a valid integer value");
    EXPECT_STREQ(InvalidFloatError("").what(), "'' is not a valid floating point value");
    EXPECT_STREQ(ListIndexError(5).what(), "List index out of bounds (5)");
    EXPECT_STREQ(FileOpenError("/x/a.jpg").what(), "Cannot open file /x/a.jpg");
    EXPECT_STREQ(FileCreateError("/x/a.kml").what(), "Cannot create file /x/a.kml");
    EXPECT_STREQ(StreamWriteError().what(), "Stream write error");
    EXPECT_STREQ(JpegError(41).what(), "JPEG error #41");
    EXPECT_STREQ(DivisionByZeroError().what(), "Division by zero");
    EXPECT_STREQ(OutOfMemoryError().what(), "Out of memory");
    EXPECT_STREQ(StreamExpansionError().what(), "Out of memory while expanding memory stream");
}

}  // namespace
}  // namespace ortholay

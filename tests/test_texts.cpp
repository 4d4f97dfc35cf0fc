// Status bar times, the version line, the joining rule.
#include "platform/DriveMap.h"
#include "playback/TimeText.h"

#include <gtest/gtest.h>

namespace zypo {
QString composeVersionText(int major, int minor, int revision);
}
using namespace zypo;

TEST(TimeText, LengthIsCutDownToThousandths) {
    EXPECT_EQ(lengthText(3723456), QStringLiteral("01:02:03.456"));
    EXPECT_EQ(lengthText(0), QStringLiteral("00:00:00.000"));
    EXPECT_EQ(lengthText(360000000), QStringLiteral("100:00:00.000"));
    EXPECT_EQ(lengthText(59999), QStringLiteral("00:00:59.999"));
}

TEST(TimeText, ElapsedRoundsHalfToEven) {
    EXPECT_EQ(roundedSeconds(2500), 2);
    EXPECT_EQ(roundedSeconds(3500), 4);
    EXPECT_EQ(roundedSeconds(1499), 1);
    EXPECT_EQ(elapsedText(roundedSeconds(59500)), QStringLiteral("00:01:00"));
    EXPECT_EQ(elapsedText(roundedSeconds(58500)), QStringLiteral("00:00:58"));
    EXPECT_EQ(elapsedText(roundedSeconds(3600000)), QStringLiteral("01:00:00"));
    EXPECT_EQ(elapsedText(roundedSeconds(360000000)), QStringLiteral("100:00:00"));
    EXPECT_EQ(elapsedText(3723), QStringLiteral("01:02:03"));
}

TEST(VersionText, ComposedFromTheVersionNumbers) {
    EXPECT_EQ(composeVersionText(3, 0, 1), QStringLiteral("Version 3.00.0001 (32Bit Application)"));
    EXPECT_EQ(composeVersionText(12, 34, 56789), QStringLiteral("Version 12.34.56789 (32Bit Application)"));
}

TEST(JoiningRule, NoDoubledBackslashAtADriveRoot) {
    EXPECT_EQ(joinPath(QStringLiteral("C:\\"), QStringLiteral("A.MID")), QStringLiteral("C:\\A.MID"));
    EXPECT_EQ(joinPath(QStringLiteral("C:\\MUSIC"), QStringLiteral("A.MID")),
              QStringLiteral("C:\\MUSIC\\A.MID"));
}

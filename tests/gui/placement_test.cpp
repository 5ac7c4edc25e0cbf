// Where the results window goes beside the main window, on screens large and small.

#include "widgets/placement.h"

#include <gtest/gtest.h>

TEST(Placement, BesideTheOwnerWhereThereIsRoomElseOverItsRightPart)
{
    const QSize results(820, 480);
    const QSize main(665, 419);
    const struct {
        const char *what;
        QRect room;
        QRect owner;
        QRect placed;
    } cases[] = {
        {"wide screen: to the right", {0, 0, 2560, 1440}, {{100, 100}, main}, {765, 100, 820, 480}},
        {"room only on the left", {0, 0, 1920, 1080}, {{1255, 40}, main}, {435, 40, 820, 480}},
        {"1024 x 768, centred: over the right part, narrowed",
         {0, 0, 1024, 768},
         {{175, 174}, main},
         {396, 174, 628, 480}},
        {"1280 x 1024 at the corner: against the screen's edge",
         {0, 0, 1280, 1024},
         {{0, 0}, main},
         {460, 0, 820, 480}},
        {"low on the screen: raised to fit", {0, 0, 1024, 768}, {{0, 340}, main}, {221, 288, 803, 480}},
        {"a screen lower than the window", {0, 24, 800, 400}, {{0, 24}, main}, {221, 24, 579, 400}},
        {"a second screen to the right", {1280, 0, 1920, 1080}, {{1300, 10}, main}, {1965, 10, 820, 480}},
    };
    for (const auto &c : cases) {
        const QRect placed = besideRect(c.owner, results, c.room);
        EXPECT_EQ(placed, c.placed) << c.what;
        EXPECT_TRUE(c.room.contains(placed)) << c.what;
        EXPECT_FALSE(placed.contains(c.owner)) << c.what << ": the main window is never covered whole";
    }
}

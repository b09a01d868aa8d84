// SPDX-License-Identifier: GPL-3.0-or-later
#include "UiFixture.h"
#include "ui/Countdialog.h"

#include <QProgressDialog>

#include <gtest/gtest.h>

#include <thread>

TEST(CountdialogTest, ShowsOnlyALongCountAndItsCancelStopsTheCount)
{
    TUiWindows w;
    TCountDlg dlg(w.MainFrm.get());
    const TCountProgress count = dlg.Handler(); // on the GUI thread it applies each report at once
    EXPECT_TRUE(count(0, 4000, "album.ogg"));
    ASSERT_NE(dlg.Bar(), nullptr);
    EXPECT_EQ(dlg.Bar()->labelText(), "Counting samples of album.ogg...");
    EXPECT_TRUE(count(40, 4000, "album.ogg"));
    EXPECT_FALSE(dlg.Bar()->isVisible()); // a count of a moment shows nothing

    std::this_thread::sleep_for(std::chrono::milliseconds(600));
    EXPECT_TRUE(count(80, 4000, "album.ogg"));
    EXPECT_TRUE(dlg.Bar()->isVisible());
    EXPECT_EQ(dlg.Bar()->value(), 20);
    // The next file names itself; the end of a count hides the window.
    EXPECT_TRUE(count(100, 4000, "next.ogg"));
    EXPECT_EQ(dlg.Bar()->labelText(), "Counting samples of next.ogg...");
    EXPECT_TRUE(count(4000, 4000, "next.ogg"));
    EXPECT_FALSE(dlg.Bar()->isVisible());

    dlg.Bar()->cancel(); // what its Cancel button does
    EXPECT_FALSE(count(10, 4000, "next.ogg"));
}

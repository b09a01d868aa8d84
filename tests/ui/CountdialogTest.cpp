#include "UiFixture.h"
#include "ui/Countdialog.h"

#include <QProgressDialog>

#include <gtest/gtest.h>

#include <thread>

TEST(CountdialogTest, ShowsOnlyALongCountAndItsCancelStopsTheCount)
{
    TUiWindows w;
    TCountDlg dlg(w.MainFrm.get());
    EXPECT_TRUE(TCountDlg::Handler(0, 4000, "album.ogg", &dlg));
    ASSERT_NE(dlg.Bar(), nullptr);
    EXPECT_EQ(dlg.Bar()->labelText(), "Counting samples of album.ogg...");
    EXPECT_TRUE(TCountDlg::Handler(40, 4000, "album.ogg", &dlg));
    EXPECT_FALSE(dlg.Bar()->isVisible()); // a count of a moment shows nothing

    std::this_thread::sleep_for(std::chrono::milliseconds(600));
    EXPECT_TRUE(TCountDlg::Handler(80, 4000, "album.ogg", &dlg));
    EXPECT_TRUE(dlg.Bar()->isVisible());
    EXPECT_EQ(dlg.Bar()->value(), 20);
    // The next file names itself; the end of a count hides the window.
    EXPECT_TRUE(TCountDlg::Handler(100, 4000, "next.ogg", &dlg));
    EXPECT_EQ(dlg.Bar()->labelText(), "Counting samples of next.ogg...");
    EXPECT_TRUE(TCountDlg::Handler(4000, 4000, "next.ogg", &dlg));
    EXPECT_FALSE(dlg.Bar()->isVisible());

    dlg.Bar()->cancel(); // what its Cancel button does
    EXPECT_FALSE(TCountDlg::Handler(10, 4000, "next.ogg", &dlg));
}

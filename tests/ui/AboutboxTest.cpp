// SPDX-License-Identifier: GPL-3.0-or-later
#include "UiFixture.h"

#include "ui/Platform.h"

#include <QFileInfo>
#include <QLabel>
#include <QPushButton>

#include <gtest/gtest.h>

TEST(AboutboxTest, TextsAndPageByLanguage)
{
    TUiWindows w;
    TAboutBox english(w.MainFrm.get(), QLocale(QLocale::English, QLocale::UnitedStates));
    TAboutBox japanese(w.MainFrm.get(), QLocale(QLocale::Japanese, QLocale::Japan));
    EXPECT_FALSE(english.IsJapanese());
    EXPECT_TRUE(japanese.IsJapanese());

    EXPECT_EQ(Child<QLabel>(english, "ProductName")->text(), "Sarvex");
    EXPECT_TRUE(Child<QLabel>(english, "ProductName")->font().bold());
    EXPECT_EQ(Child<QLabel>(english, "Version")->text(), "Version 1.00");
    EXPECT_EQ(Child<QLabel>(english, "MessageLbl")->text(), "This program is Free software.\nUse it at your own risk.");
    EXPECT_EQ(Child<QPushButton>(english, "OKButton")->text(), "&OK");
    EXPECT_TRUE(Child<QPushButton>(english, "OKButton")->isDefault());
    EXPECT_EQ(Child<QPushButton>(english, "WebSiteBtn")->text(), "&WebSite");

    std::vector<QUrl> opened;
    for (TAboutBox* box : {&english, &japanese})
        box->SetUrlOpener([&](const QUrl& url) {
            opened.push_back(url);
            return true;
        });
    Child<QPushButton>(english, "WebSiteBtn")->click();
    Child<QPushButton>(japanese, "WebSiteBtn")->click();
    ASSERT_EQ(opened.size(), 2u);
    EXPECT_TRUE(opened[0].isLocalFile());
    EXPECT_TRUE(opened[0].toLocalFile().endsWith("/guide.html"));
    EXPECT_TRUE(opened[1].toLocalFile().endsWith("/guide.ja.html"));
    EXPECT_TRUE(QFileInfo::exists(opened[0].toLocalFile()));
    EXPECT_TRUE(QFileInfo::exists(opened[1].toLocalFile()));
    EXPECT_TRUE(w.Boxes.empty());
}

// With no browser to start, the box says so and where the guide is.
TEST(AboutboxTest, AFailedBrowserIsReportedWithTheGuidePath)
{
    TUiWindows w;
    w.AboutBox->SetUrlOpener([](const QUrl&) { return false; });
    Child<QPushButton>(*w.AboutBox, "WebSiteBtn")->click();
    ASSERT_EQ(w.Boxes.size(), 1u);
    EXPECT_EQ(w.Boxes[0].Caption, "Error");
    EXPECT_EQ(w.Boxes[0].Icon, QMessageBox::Critical);
    EXPECT_EQ(w.Boxes[0].Text, "No web browser could be started to show the guide.");
    const QString guide = GuidePageUrl(false).toLocalFile();
    EXPECT_TRUE(QFileInfo::exists(guide));
    EXPECT_EQ(w.Boxes[0].Detail, "The guide is at \"" + guide + "\".");
}

#include "UiFixture.h"

#include <QFileInfo>
#include <QLabel>
#include <QPushButton>

#include <gtest/gtest.h>

TEST(AboutboxTest, TextsAndPageByLanguage)
{
    TUiWindows w;
    TAboutBox english(w.MainFrm.get(), QLocale(QLocale::English, QLocale::UnitedStates));
    TAboutBox japanese(w.MainFrm.get(), QLocale(QLocale::Japanese, QLocale::Japan));
    EXPECT_FALSE(english.IsJapanese);
    EXPECT_TRUE(japanese.IsJapanese);

    EXPECT_EQ(english.ProductName->text(), "Sarvex");
    EXPECT_TRUE(english.ProductName->font().bold());
    EXPECT_EQ(english.Version->text(), "Version 1.00");
    EXPECT_EQ(english.MessageLbl->text(), "This program is Free software.\nUse it at your own risk.");
    EXPECT_EQ(english.OKButton->text(), "&OK");
    EXPECT_TRUE(english.OKButton->isDefault());
    EXPECT_EQ(english.WebSiteBtn->text(), "&WebSite");

    std::vector<QUrl> opened;
    for (TAboutBox* box : {&english, &japanese})
        box->OpenUrl = [&](const QUrl& url) {
            opened.push_back(url);
            return false; // a browser that fails is not reported
        };
    english.WebSiteBtn->click();
    japanese.WebSiteBtn->click();
    ASSERT_EQ(opened.size(), 2u);
    EXPECT_TRUE(opened[0].isLocalFile());
    EXPECT_TRUE(opened[0].toLocalFile().endsWith("/guide.html"));
    EXPECT_TRUE(opened[1].toLocalFile().endsWith("/guide.ja.html"));
    EXPECT_TRUE(QFileInfo::exists(opened[0].toLocalFile()));
    EXPECT_TRUE(QFileInfo::exists(opened[1].toLocalFile()));
    EXPECT_TRUE(w.Boxes.empty());
}

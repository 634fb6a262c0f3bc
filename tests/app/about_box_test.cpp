// SPDX-License-Identifier: GPL-3.0-or-later
#include <QAction>
#include <QApplication>
#include <QEnterEvent>
#include <QFileInfo>
#include <QLabel>
#include <QMenu>
#include <QPushButton>
#include <QTest>

#include "app/about_box.h"
#include "app/link_label.h"
#include "app/links.h"
#include "window_fixture.h"

using namespace test_support;

namespace {

TEST_F(WindowTest, TheAboutMenuListsItsItemsBetweenSeparators) {
  QStringList items;
  for (QAction* action : Window->pmAbout->actions())
    items << (action->isSeparator() ? QStringLiteral("-") : action->text());
  EXPECT_EQ(items, QStringList({"&Homepage", "-", "&Donate", "-", "&About...", "-", "&Exit"}));
}

TEST_F(WindowTest, AboutShowsTheBoxAndOkClosesIt) {
  QStringList labels;
  WhenModal([&](QWidget* widget) {
    auto* about = qobject_cast<TfrmAbout*>(widget);
    ASSERT_NE(about, nullptr);
    labels << about->windowTitle() << about->Label1->text() << about->Label2->text()
           << about->Label4->text() << about->bOK->text();
    QTest::mouseClick(about->bOK, Qt::LeftButton);
  });
  Window->pmAbout->findChild<QAction*>("miAbout")->trigger();
  EXPECT_EQ(labels,
            QStringList({"About Quarvo Trimora", "Quarvo Trimora", "Version: 1.0   Build 20261208",
                         "If you like it, please feel free to donate, any donations\n"
                         "large or small are greatly appreciated.",
                         "&OK"}));
}

// Without a browser (as on the offscreen platform) a link says where its page is instead.
TEST_F(WindowTest, ALinkThatCannotBeOpenedGivesItsAddress) {
  TMessageLog messages;
  Window->pmAbout->findChild<QAction*>("miHomepage")->trigger();
  ASSERT_TRUE(messages.WaitFor(1));
  EXPECT_TRUE(messages.Texts().first().contains("README.md#trimora"))
      << messages.Texts().first().toStdString();
}

TEST_F(WindowTest, ExitClosesTheWindow) {
  Window->pmAbout->findChild<QAction*>("miExit")->trigger();
  EXPECT_FALSE(Window->isVisible());
}

TEST(Links, EveryPageIsTheShippedReadmeNeverAMadeUpAddress) {
  for (const char* page :
       {links::kProductPage, links::kHomePage, links::kUpdatePage, links::kDonationPage}) {
    const QUrl url = links::PageUrl(page);
    EXPECT_TRUE(url.isLocalFile()) << url.toString().toStdString();
    EXPECT_TRUE(QFileInfo(url.toLocalFile()).isFile()) << url.toString().toStdString();
    EXPECT_EQ(QFileInfo(url.toLocalFile()).fileName(), "README.md");
  }
}

TEST_F(WindowTest, TheUpdateLinkIsWhiteAndRedUnderTheMouse) {
  auto color = [&] { return Window->lUpdate->palette().color(QPalette::WindowText); };
  EXPECT_EQ(color(), QColor(Qt::white));
  QEnterEvent enter(QPointF(2, 2), QPointF(2, 2), QPointF(2, 2));
  QApplication::sendEvent(Window->lUpdate, &enter);
  EXPECT_EQ(color(), QColor(Qt::red));
  QEvent leave(QEvent::Leave);
  QApplication::sendEvent(Window->lUpdate, &leave);
  EXPECT_EQ(color(), QColor(Qt::white));
  EXPECT_EQ(Window->lUpdate->text(), "Check for updates...");
  // The update link sits 10 pixels from the banner's right edge, its icon 20 pixels left.
  const QWidget* banner = Window->lUpdate->parentWidget();
  EXPECT_EQ(banner->height(), 50);
  EXPECT_EQ(banner->width(), Window->width());
  EXPECT_EQ(Window->lUpdate->geometry().right() + 1, banner->width() - 10);
  EXPECT_EQ(Window->iUpdate->x(), Window->lUpdate->x() - 20);
}

}  // namespace

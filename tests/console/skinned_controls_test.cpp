#include <gtest/gtest.h>

#include <QDialog>
#include <QEnterEvent>
#include <QKeyEvent>
#include <QLabel>
#include <QSignalSpy>
#include <QTest>

#include "console/foundation/icon_button.h"
#include "console/foundation/page_container.h"
#include "console/foundation/skin_button.h"
#include "fakes.h"

namespace orv::console {
namespace {

TEST(ChooseSkinImage, FallsBackToTheNormalImage) {
  // Disabled: its own image, else the normal one greyed (even while pressed or hovered).
  EXPECT_EQ(ChooseSkinImage(false, true, true, true, true, true).image, SkinState::Disabled);
  SkinChoice greyed = ChooseSkinImage(false, true, true, true, true, false);
  EXPECT_EQ(greyed.image, SkinState::Normal);
  EXPECT_TRUE(greyed.greyed);
  // Pressed beats mouse-over; without a pressed image the normal one is shifted.
  EXPECT_EQ(ChooseSkinImage(true, true, true, true, true, false).image, SkinState::Pressed);
  SkinChoice shifted = ChooseSkinImage(true, true, true, false, true, false);
  EXPECT_EQ(shifted.image, SkinState::Normal);
  EXPECT_TRUE(shifted.shifted);
  EXPECT_EQ(ChooseSkinImage(true, false, true, true, true, false).image, SkinState::MouseOver);
  EXPECT_EQ(ChooseSkinImage(true, false, true, true, false, false).image, SkinState::Normal);
  EXPECT_EQ(ChooseSkinImage(true, false, false, true, true, true).image, SkinState::Normal);
}

TEST(CSkinButton, TracksTheMouseAndTakesFocusOnClick) {
  QWidget window;
  auto* button = new CSkinButton(&window);
  auto* other = new QLabel(&window);
  other->setFocusPolicy(Qt::StrongFocus);
  button->setGeometry(0, 0, 66, 26);
  window.show();
  other->setFocus();
  QSignalSpy entered(button, &CSkinButton::MouseEntered);
  QEnterEvent enter(QPointF(5, 5), QPointF(5, 5), QPointF(5, 5));
  QCoreApplication::sendEvent(button, &enter);
  EXPECT_TRUE(button->IsMouseOver());
  EXPECT_EQ(entered.count(), 1);
  QEvent leave(QEvent::Leave);
  QCoreApplication::sendEvent(button, &leave);
  EXPECT_FALSE(button->IsMouseOver());
  QTest::mouseClick(button, Qt::LeftButton);
  EXPECT_EQ(window.focusWidget(), button);
  EXPECT_FALSE(button->autoDefault());
}

class PageContainerTest : public ::testing::Test {
 protected:
  void SetUp() override {
    dialog_.resize(546, 403);
    container_ = new CPageContainer(&dialog_);
    container_->setGeometry(0, 0, 546, 403);
    for (int i = 0; i < 4; ++i) {
      pages_[i] = new QWidget;
      container_->AddPage(1013 + i, QStringLiteral("tab%1").arg(i), pages_[i]);
    }
    dialog_.show();
  }

  QDialog dialog_;
  CPageContainer* container_ = nullptr;
  QWidget* pages_[4] = {};
};

TEST_F(PageContainerTest, PlacesTabsAndPages) {
  const int xs[4] = {12, 76, 140, 204};
  for (int i = 0; i < 4; ++i) {
    EXPECT_EQ(container_->TabButton(1013 + i)->geometry(), QRect(xs[i], 0, 66, 26));
    EXPECT_EQ(pages_[i]->geometry(), QRect(14, 40, 520, 345));
    EXPECT_EQ(pages_[i]->isVisible(), i == 0);
  }
  EXPECT_EQ(container_->CurrentTabId(), 1013);
  EXPECT_EQ(container_->TabButton(1013)->TextColorFor(SkinState::Normal), QColor(255, 0, 0));
  EXPECT_EQ(container_->TabButton(1014)->TextColorFor(SkinState::Normal), QColor(Qt::black));
  EXPECT_EQ(container_->TabButton(1014)->TextColorFor(SkinState::MouseOver), QColor(255, 0, 0));
}

TEST_F(PageContainerTest, ClickingATabSwitchesPagesAndColours) {
  QTest::mouseClick(container_->TabButton(1015), Qt::LeftButton);
  EXPECT_TRUE(pages_[2]->isVisible());
  EXPECT_FALSE(pages_[0]->isVisible());
  EXPECT_EQ(container_->CurrentTabId(), 1015);
  EXPECT_EQ(container_->TabButton(1015)->TextColorFor(SkinState::Normal), QColor(255, 0, 0));
  EXPECT_EQ(container_->TabButton(1013)->TextColorFor(SkinState::Normal), QColor(Qt::black));
  // The visible tab again: nothing changes.
  QTest::mouseClick(container_->TabButton(1015), Qt::LeftButton);
  EXPECT_TRUE(pages_[2]->isVisible());
  EXPECT_EQ(container_->CurrentTabId(), 1015);
}

TEST_F(PageContainerTest, EscapeAndEnterNeverCloseTheDialogAround) {
  container_->setFocus();
  QTest::keyClick(container_, Qt::Key_Escape);
  QTest::keyClick(container_, Qt::Key_Return);
  QTest::keyClick(container_, Qt::Key_Enter);
  EXPECT_TRUE(dialog_.isVisible());
  EXPECT_TRUE(container_->isVisible());
}

TEST(CIconButton, CheckBoxModeAndWebAddress) {
  CIconButton checkBox;
  checkBox.resize(100, 32);
  checkBox.SetCheckBoxMode(true);
  QTest::mouseClick(&checkBox, Qt::LeftButton);
  EXPECT_TRUE(checkBox.IsCheckedState());
  QTest::mouseClick(&checkBox, Qt::LeftButton);
  EXPECT_FALSE(checkBox.IsCheckedState());

  testing::FakeShell shell;
  CIconButton link;
  link.resize(100, 32);
  link.SetUrl(QStringLiteral("https://www.orvane.net/") + QString(300, QLatin1Char('x')), &shell);
  QTest::mouseClick(&link, Qt::LeftButton);
  ASSERT_EQ(shell.opened.size(), 1);
  EXPECT_EQ(shell.opened[0].size(), 260);
}

TEST(CIconButton, ColoursPerRoleDefaultToTheSystemButtonColours) {
  CIconButton button;
  EXPECT_EQ(button.TextColor(CIconButton::ColorRole::MouseAway),
            QApplication::palette().color(QPalette::ButtonText));
  button.SetColors(CIconButton::ColorRole::MouseOver, Qt::white, QColor(255, 0, 0));
  EXPECT_EQ(button.TextColor(CIconButton::ColorRole::MouseOver), QColor(255, 0, 0));
  EXPECT_EQ(button.BackgroundColor(CIconButton::ColorRole::MouseOver), QColor(Qt::white));
}

}  // namespace
}  // namespace orv::console

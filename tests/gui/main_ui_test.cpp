#include <FL/Fl_Double_Window.H>
#include <gtest/gtest.h>

#include "tests/gui/app_fixture.h"

TEST(MainUITest, BuildsTheMainWindow) {
  ensureApplicationObjects();
  ASSERT_NE(g_ui->window, nullptr);
  EXPECT_EQ(g_ui->window->w(), 1038);
  EXPECT_EQ(g_ui->window->h(), 542);
}

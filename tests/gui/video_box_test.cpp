// The test framework before the drawing headers: these bring in the X11
// headers, which define names such as None as macros.
#include <gtest/gtest.h>

#include <FL/Fl.H>
#include <FL/Fl_Double_Window.H>
#include <FL/Fl_Image_Surface.H>
#include <FL/fl_draw.H>

#include "view/video_box.h"

#include <cstring>
#include <initializer_list>
#include <memory>
#include <vector>

#include "tests/fake_frame_detector.h"
#include "tests/gui/view_state_guard.h"

namespace {

// Lets a test call the box's draw directly.
class DrawnVideoBox : public VideoBox {
 public:
  DrawnVideoBox() : VideoBox(kBoxX, kBoxY, 640, 480) {}
  void drawNow() { draw(); }
  static constexpr int kBoxX = 10;
  static constexpr int kBoxY = 10;
};

struct Rgb {
  int r, g, b;
  bool operator==(const Rgb& o) const { return r == o.r && g == o.g && b == o.b; }
};
std::ostream& operator<<(std::ostream& os, const Rgb& c) {
  return os << "(" << c.r << "," << c.g << "," << c.b << ")";
}

const Rgb kBlack{0, 0, 0};
const Rgb kBlue{0, 0, 255};
const Rgb kRed{255, 0, 0};
const Rgb kCyan{0, 255, 255};
const Rgb kUnpainted{255, 0, 255};  // the ground the off-screen buffer starts with

// What a draw of the box left in an off-screen image of kWidth x kHeight.
class Picture {
 public:
  static constexpr int kWidth = 760;
  static constexpr int kHeight = 560;

  explicit Picture(DrawnVideoBox& box) {
    Fl_Image_Surface surface(kWidth, kHeight);
    surface.set_current();
    fl_color(255, 0, 255);  // kUnpainted
    fl_rectf(0, 0, kWidth, kHeight);
    box.drawNow();
    image_.reset(surface.image());
    Fl_Display_Device::display_device()->set_current();
  }

  // The colour at frame pixel (x, y), which the box shows at its origin plus (x, y).
  Rgb frame(int x, int y) const {
    const uchar* pixels = reinterpret_cast<const uchar*>(image_->data()[0]);
    const uchar* p =
        pixels + 3 * ((DrawnVideoBox::kBoxY + y) * kWidth + DrawnVideoBox::kBoxX + x);
    return {p[0], p[1], p[2]};
  }

 private:
  std::unique_ptr<Fl_RGB_Image> image_;
};

// A frame pixel and the colour the picture should have there.
struct Expected {
  int x, y;
  Rgb colour;
};

void expectColours(const Picture& p, std::initializer_list<Expected> points) {
  for (const Expected& e : points) EXPECT_EQ(p.frame(e.x, e.y), e.colour) << e.x << "," << e.y;
}

class VideoBoxTest : public ::testing::Test {
 protected:
  void SetUp() override {
    fl_open_display();
    // The controls as the window starts, set here so that no test depends on
    // another's leftovers.
    MainUI& ui = *g_ui;
    ui.originalButton->value(1);
    ui.processedButton->value(0);
    ui.drawBoundaryButton->value(1);
    ui.drawExcludedBoxButton->value(0);
    ui.drawActiveArmCheck->value(1);
    setBoundary(321, 241, 36);
    ui.excludeX0->value(340);
    ui.excludeY0->value(0);
    ui.excludeW->value(146);
    ui.excludeH->value(26);
    g_tracker->currentRegion = REGION_UPPER;
  }

  static void setBoundary(double x0, double y0, double r) {
    g_ui->boundaryX0->value(x0);
    g_ui->boundaryY0->value(y0);
    g_ui->boundaryR->value(r);
  }
  static void resizeFrame(int32_t width, int32_t height) {
    g_tracker->width = width;
    g_tracker->height = height;
    ASSERT_TRUE(g_tracker->allocateBuffers());
  }
  static void fillColour(uint8_t r, uint8_t g, uint8_t b) {
    for (int32_t i = 0; i < g_tracker->pixelCount; ++i) {
      g_tracker->rgbBuf[3 * i] = r;
      g_tracker->rgbBuf[3 * i + 1] = g;
      g_tracker->rgbBuf[3 * i + 2] = b;
    }
  }

  ViewStateGuard guard_;
  DrawnVideoBox box_;
};

}  // namespace

TEST_F(VideoBoxTest, DefaultOutlinesOnABlackFrame) {
  const Picture p(box_);
  expectColours(p, {
      {100, 100, kBlack},  {600, 400, kBlack},
      // The band through the side arms: (0,205) (639,205) (639,277) (0,277).
      {0, 205, kBlue},     {100, 205, kBlue},   {639, 240, kBlue},  {0, 240, kBlue},
      {500, 277, kBlue},   {639, 277, kBlue},   {100, 204, kBlack}, {100, 278, kBlack},
      // The band through the closed arms: (285,0) (357,0) (357,479) (285,479).
      {285, 400, kBlue},   {357, 400, kBlue},   {320, 479, kBlue},  {357, 300, kBlue},
      {286, 400, kBlack},  {356, 400, kBlack},
      // The upper arm in red over the blue: (285,0) (357,0) (357,205) (285,205).
      {320, 0, kRed},      {285, 100, kRed},    {357, 100, kRed},   {320, 205, kRed},
      {285, 0, kRed},      {357, 205, kRed},
      // The exclude box is not drawn while its button is off.
      {400, 0, kBlack},    {486, 13, kBlack},
      // The painting stops at the frame's edges.
      {640, 100, kUnpainted}, {100, 480, kUnpainted}, {-1, 100, kUnpainted},
      {100, -1, kUnpainted},
  });
}

TEST_F(VideoBoxTest, ExcludeBoxInCyanWhenItsButtonIsOn) {
  g_ui->drawExcludedBoxButton->value(1);
  g_ui->drawBoundaryButton->value(0);
  g_ui->drawActiveArmCheck->value(0);
  expectColours(Picture(box_), {
      // (340,0) (486,0) (486,26) (340,26): the sums with no -1.
      {400, 0, kCyan}, {340, 13, kCyan}, {486, 13, kCyan}, {413, 26, kCyan},
      {413, 13, kBlack}, {487, 13, kBlack},
      // No boundary and no region outline.
      {285, 400, kBlack}, {285, 100, kBlack},
  });
}

TEST_F(VideoBoxTest, RegionOutlines) {
  struct Case {
    int region;
    int x, y;  // a point on the red outline
  };
  const Case cases[] = {
      {REGION_RIGHT, 639, 240},  // ends on the last column
      {REGION_RIGHT, 500, 205},
      {REGION_LOWER, 320, 479},  // ends on the last row
      {REGION_LOWER, 285, 300},
      {REGION_LEFT, 0, 240},
      {REGION_LEFT, 285, 240},
      {REGION_CENTER, 285, 240},
      {REGION_CENTER, 320, 277},
  };
  for (const Case& c : cases) {
    g_tracker->currentRegion = c.region;
    const Picture p(box_);
    EXPECT_EQ(p.frame(c.x, c.y), kRed) << "region " << c.region;
    // The upper arm's own top edge stays blue.
    EXPECT_EQ(p.frame(320, 0), kBlue) << "region " << c.region;
  }
}

TEST_F(VideoBoxTest, PictureChosenByTheViewButtons) {
  fillColour(200, 10, 30);
  for (int32_t y = 0; y < 480; ++y) {
    for (int32_t x = 0; x < 640; ++x) g_tracker->grayBuf[y * 640 + x] = uint8_t((x + 2 * y) % 251);
  }
  g_ui->drawBoundaryButton->value(0);
  g_ui->drawActiveArmCheck->value(0);

  const Picture original(box_);
  EXPECT_EQ(original.frame(50, 60), (Rgb{200, 10, 30}));
  EXPECT_EQ(original.frame(639, 479), (Rgb{200, 10, 30}));

  g_ui->originalButton->value(0);
  g_ui->processedButton->value(1);
  const Picture processed(box_);
  for (const auto& xy : {std::pair<int, int>{50, 60}, {0, 0}, {639, 479}, {300, 7}}) {
    const int level = (xy.first + 2 * xy.second) % 251;
    EXPECT_EQ(processed.frame(xy.first, xy.second), (Rgb{level, level, level}))
        << xy.first << "," << xy.second;
  }

  g_ui->processedButton->value(0);
  const Picture neither(box_);
  EXPECT_EQ(neither.frame(50, 60), kBlack);
}

TEST_F(VideoBoxTest, NoColourBufferGivesBlackWithOutlines) {
  std::memset(g_tracker->grayBuf.get(), 128, g_tracker->pixelCount);
  g_tracker->rgbBuf.reset();
  g_ui->processedButton->value(1);  // not looked at while Original is on
  expectColours(Picture(box_), {{100, 100, kBlack}, {285, 400, kBlue}, {320, 0, kRed}});
}

TEST_F(VideoBoxTest, FramesSmallerAndLargerThanTheBox) {
  resizeFrame(100, 80);
  fillColour(50, 100, 150);
  setBoundary(50, 40, 10);
  const Rgb colour{50, 100, 150};
  expectColours(Picture(box_), {
      {20, 20, colour}, {99, 79, colour},
      {99, 30, kBlue},  // the band ends on the frame's last column
      {40, 79, kBlue},  // and on its last row
      {100, 30, kUnpainted}, {300, 300, kUnpainted}, {50, 80, kUnpainted},
  });
  // A frame larger than the box is not cut to the box.
  resizeFrame(700, 500);
  fillColour(50, 100, 150);
  expectColours(Picture(box_), {{680, 100, colour}, {100, 495, colour}, {700, 100, kUnpainted}});
}

TEST_F(VideoBoxTest, OutlinesOutsideTheFrameAreCutOff) {
  setBoundary(10, 470, 36);  // X0 - R = -26, Y0 + R = 506
  g_ui->drawExcludedBoxButton->value(1);
  g_ui->excludeX0->value(600);
  g_ui->excludeY0->value(100);
  g_ui->excludeW->value(100);
  g_ui->excludeH->value(0);  // a line from (600,100) to (700,100)
  g_tracker->currentRegion = REGION_CENTER;
  expectColours(Picture(box_), {
      {0, 470, kBlue}, {639, 470, kBlue},
      {0, 490, kUnpainted}, {639, 495, kUnpainted}, {300, 506, kUnpainted},
      {46, 470, kRed},  // the centre's right edge, X0 + R
      {620, 100, kCyan}, {639, 100, kCyan}, {660, 100, kUnpainted},
  });
}

TEST_F(VideoBoxTest, BoundaryChangeDrawsAtOnceWithoutProcessing) {
  auto detector = std::make_unique<FakeFrameDetector>();
  FakeFrameDetector* fake = detector.get();
  ASSERT_TRUE(prepareTracker(*g_tracker, 640, 480));
  g_tracker->mediaDet = std::move(detector);
  g_tracker->regionCount[0] = 7;

  Fl_Double_Window& window = *g_ui->window;
  window.show();
  for (int i = 0; i < 200 && (!window.visible() || window.damage()); ++i) Fl::wait(0.01);
  ASSERT_TRUE(window.visible());
  ASSERT_EQ(g_ui->videoBox->damage(), 0);

  // A view option asks for a redraw and leaves the drawing to the event loop.
  onRedrawView(g_ui->drawBoundaryButton, nullptr);
  EXPECT_NE(g_ui->videoBox->damage(), 0);
  Fl::flush();
  EXPECT_EQ(g_ui->videoBox->damage(), 0);

  // A boundary change is drawn before the callback returns.
  g_ui->boundaryX0->value(300);
  onBoundaryChanged(g_ui->boundaryX0, nullptr);
  EXPECT_EQ(g_ui->videoBox->damage(), 0);

  EXPECT_EQ(fake->grabs, 0);
  EXPECT_EQ(g_tracker->regionCount[0], 7);
  window.hide();
  Fl::check();
}

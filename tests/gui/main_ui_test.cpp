// The windows as built: every widget against the layout table, the
// information text, and showing and hiding the information window.
#include <gtest/gtest.h>
// gtest before the toolkit: the X headers define None.
#include <FL/Fl.H>
#include <FL/Fl_Box.H>
#include <FL/Fl_Button.H>
#include <FL/Fl_Check_Button.H>
#include <FL/Fl_Double_Window.H>
#include <FL/Fl_Group.H>
#include <FL/Fl_Output.H>
#include <FL/Fl_Text_Buffer.H>
#include <FL/Fl_Text_Display.H>
#include <FL/Fl_Value_Output.H>
#include <FL/Fl_Window.H>

#include <cstdlib>
#include <cstring>
#include <memory>
#include <optional>
#include <string>
#include <typeinfo>
#include <vector>

#include "playback/callbacks.h"
#include "tests/gui/app_fixture.h"
#include "view/video_box.h"

namespace {

// The toolkit's numbers for the values the layout uses.
static_assert(FL_NO_BOX == 0 && FL_DOWN_BOX == 3 && FL_UP_FRAME == 4 && FL_BORDER_FRAME == 16);
static_assert(FL_ALIGN_CENTER == 0 && FL_ALIGN_TOP == 1 && FL_ALIGN_LEFT == 4 &&
              FL_ALIGN_RIGHT == 8 && (FL_ALIGN_TOP | FL_ALIGN_INSIDE) == 17);
static_assert(FL_WHEN_NEVER == 0 && FL_WHEN_CHANGED == 1 && FL_WHEN_RELEASE == 4);
static_assert(FL_TOGGLE_BUTTON == 1 && FL_RADIO_BUTTON == 102 && FL_NORMAL_OUTPUT == 8 &&
              FL_DOUBLE_WINDOW == 241);
static_assert(FL_NORMAL_LABEL == 0 && FL_NO_LABEL == 1 && FL_HELVETICA == 0 &&
              FL_HELVETICA_BOLD == 1);
static_assert(FL_FOREGROUND_COLOR == 0 && FL_BACKGROUND_COLOR == 49);

enum class Kind { VideoBox, Box, Button, CheckButton, Output, ValueOutput, Group, TextDisplay };

const std::type_info& classOf(Kind kind) {
  switch (kind) {
    case Kind::VideoBox: return typeid(VideoBox);
    case Kind::Box: return typeid(Fl_Box);
    case Kind::Button: return typeid(Fl_Button);
    case Kind::CheckButton: return typeid(Fl_Check_Button);
    case Kind::Output: return typeid(Fl_Output);
    case Kind::ValueOutput: return typeid(Fl_Value_Output);
    case Kind::Group: return typeid(Fl_Group);
    case Kind::TextDisplay: return typeid(Fl_Text_Display);
  }
  return typeid(void);
}

// A fresh widget of the kind, outside any window: the toolkit's defaults.
std::unique_ptr<Fl_Widget> defaultWidget(Kind kind, int x, int y, int w, int h, const char* l) {
  Fl_Group::current(nullptr);
  switch (kind) {
    case Kind::VideoBox: return std::make_unique<VideoBox>(x, y, w, h, l);
    case Kind::Box: return std::make_unique<Fl_Box>(x, y, w, h, l);
    case Kind::Button: return std::make_unique<Fl_Button>(x, y, w, h, l);
    case Kind::CheckButton: return std::make_unique<Fl_Check_Button>(x, y, w, h, l);
    case Kind::Output: return std::make_unique<Fl_Output>(x, y, w, h, l);
    case Kind::ValueOutput: return std::make_unique<Fl_Value_Output>(x, y, w, h, l);
    case Kind::Group: {
      auto group = std::make_unique<Fl_Group>(x, y, w, h, l);
      group->end();
      return group;
    }
    case Kind::TextDisplay: {
      auto display = std::make_unique<Fl_Text_Display>(x, y, w, h, l);
      display->end();
      return display;
    }
  }
  return nullptr;
}

using FieldOf = Fl_Widget* (*)(const MainUI&);
#define FIELD(name) [](const MainUI& ui) -> Fl_Widget* { return ui.name; }

// One row of the layout: what the table says of a widget. A property left
// unset must keep the toolkit's default for the class.
struct Row {
  Row(Kind k, int x_, int y_, int w_, int h_, const char* l = nullptr)
      : kind(k), x(x_), y(y_), w(w_), h(h_), label(l) {}

  Row& field(FieldOf f) { fieldOf = f; return *this; }
  Row& cb(Fl_Callback* c) { callback = c; return *this; }
  Row& box(Fl_Boxtype b) { boxType = b; return *this; }
  Row& color(int c) { colour = c; return *this; }
  Row& selection(int c) { selectionColour = c; return *this; }
  Row& labeltype(Fl_Labeltype t) { labelType = t; return *this; }
  Row& labelfont(int f) { labelFont = f; return *this; }
  Row& labelsize(int s) { labelSize = s; return *this; }
  Row& labelcolor(int c) { labelColour = c; return *this; }
  Row& align(int a) { alignment = a; return *this; }
  Row& when(int w_) { whenValue = w_; return *this; }
  Row& type(int t) { typeValue = t; return *this; }
  Row& textfont(int f) { textFont = f; return *this; }
  Row& downbox(Fl_Boxtype b) { downBox = b; return *this; }
  Row& pressed(int v) { buttonValue = v; return *this; }
  Row& range(double max, double step, double value) {
    maximum = max;
    stepValue = step;
    valuatorValue = value;
    return *this;
  }
  Row& children(std::vector<Row> rows) { kids = std::move(rows); return *this; }

  Kind kind;
  int x, y, w, h;
  const char* label;
  FieldOf fieldOf = nullptr;
  Fl_Callback* callback = nullptr;
  std::optional<int> boxType, colour, selectionColour, labelType, labelFont, labelSize,
      labelColour, alignment, whenValue, typeValue, textFont, downBox, buttonValue;
  std::optional<double> maximum, stepValue, valuatorValue;
  std::vector<Row> kids;
};

Row panel(int x, int y, int w, int h, const char* label = nullptr) {
  return Row(Kind::Group, x, y, w, h, label).box(FL_DOWN_BOX).color(51);
}
Row output(int x, int y, int w, int h, const char* label = nullptr) {
  return Row(Kind::Output, x, y, w, h, label).color(214);
}
Row setting(int x, int y, const char* label, double max, double value, Fl_Callback* cb) {
  return Row(Kind::ValueOutput, x, y, 40, 24, label).color(215).range(max, 1, value).cb(cb);
}
Row ratio(int x, int y, const char* label, FieldOf f) {
  return output(x, y, 35, 24, label).align(FL_ALIGN_TOP).when(FL_WHEN_NEVER).field(f);
}

std::vector<Row> mainWindowLayout() {
  using K = Kind;
  return {
      Row(K::VideoBox, 10, 10, 640, 480, "label")
          .box(FL_NO_BOX).color(4).selection(49).labeltype(FL_NORMAL_LABEL).labelfont(0)
          .labelsize(14).labelcolor(0).align(FL_ALIGN_CENTER).when(FL_WHEN_RELEASE)
          .field(FIELD(videoBox)),
      Row(K::Button, 665, 11, 85, 24, "Open File").cb(onOpenFile),
      Row(K::Output, 75, 496, 575, 24, "File Name").field(FIELD(fileNameOut)),
      Row(K::Box, 10, 10, 640, 480).box(FL_BORDER_FRAME).color(0).labeltype(FL_NO_LABEL),
      panel(660, 394, 295, 141).children({
          Row(K::Button, 665, 399, 64, 24, "Record")
              .type(FL_TOGGLE_BUTTON).selection(1).cb(onRecord).field(FIELD(recordButton)),
          output(665, 425, 65, 24, "Number of Closed Arm Entry")
              .align(FL_ALIGN_RIGHT).field(FIELD(closedEntriesOut)),
          output(665, 475, 65, 24, "Time in Open Arm (Sec)")
              .align(FL_ALIGN_RIGHT).when(FL_WHEN_NEVER).field(FIELD(openArmTimeOut)),
          output(665, 500, 65, 24, "Total Time (Sec)")
              .align(FL_ALIGN_RIGHT).when(FL_WHEN_NEVER).field(FIELD(totalTimeOut)),
          output(820, 399, 60, 24, "Record Time")
              .textfont(FL_HELVETICA_BOLD).align(FL_ALIGN_LEFT).field(FIELD(recordTimeOut)),
          output(880, 399, 60, 24)
              .labeltype(FL_NO_LABEL).textfont(FL_HELVETICA_BOLD).align(FL_ALIGN_CENTER)
              .field(FIELD(recordClockOut)),
          output(665, 450, 65, 24, "Number of Open Arm Entry")
              .align(FL_ALIGN_RIGHT).field(FIELD(openEntriesOut)),
      }),
      panel(660, 40, 240, 65).children({
          Row(K::Button, 665, 46, 40, 24, "@>")
              .type(FL_TOGGLE_BUTTON).selection(214).cb(onPlay).field(FIELD(playButton)),
          output(835, 76, 60, 24)
              .labeltype(FL_NO_LABEL).align(FL_ALIGN_CENTER).field(FIELD(videoClockOut)),
          Row(K::ValueOutput, 740, 76, 90, 24, "Video Time")
              .color(247).range(1000, 0.1, 0).cb(onVideoTime).field(FIELD(videoTime)),
          Row(K::Button, 715, 46, 40, 24, "@<|").cb(onStepBack),
          Row(K::Button, 760, 46, 40, 24, "@|>").cb(onStepForward),
          Row(K::Button, 810, 46, 40, 24, "@|<").cb(onGoToStart),
          Row(K::Button, 855, 46, 40, 24, "@>|").cb(onGoToEnd),
      }),
      panel(660, 110, 140, 110).children({
          setting(685, 141, "X0", 500, 321, onBoundaryChanged).field(FIELD(boundaryX0)),
          setting(755, 141, "Y0", 500, 241, onBoundaryChanged).field(FIELD(boundaryY0)),
          setting(755, 166, "R", 1000, 36, onBoundaryChanged).field(FIELD(boundaryR)),
          Row(K::Button, 665, 116, 130, 24, "Draw Boundary")
              .type(FL_TOGGLE_BUTTON).pressed(1).selection(254).cb(onRedrawView)
              .field(FIELD(drawBoundaryButton)),
      }),
      panel(805, 110, 145, 110).children({
          setting(830, 141, "X0", 500, 340, onExcludeBoxChanged).field(FIELD(excludeX0)),
          setting(830, 166, "Y0", 500, 0, onExcludeBoxChanged).field(FIELD(excludeY0)),
          setting(890, 141, "W", 1000, 146, onExcludeBoxChanged).field(FIELD(excludeW)),
          setting(890, 166, "H", 1000, 26, onExcludeBoxChanged).field(FIELD(excludeH)),
          Row(K::Button, 810, 116, 135, 24, "Draw Excluded Box")
              .type(FL_TOGGLE_BUTTON).selection(254).pressed(0).cb(onRedrawView)
              .field(FIELD(drawExcludedBoxButton)),
          Row(K::CheckButton, 830, 191, 100, 24, "Exclude Box")
              .downbox(FL_DOWN_BOX).pressed(1).cb(onProcessingOption)
              .field(FIELD(excludeBoxCheck)),
      }),
      Row(K::Button, 755, 11, 85, 24, "Information").cb(onShowInfo),
      panel(660, 225, 205, 165).children({
          Row(K::Button, 665, 231, 125, 24, "Save Background")
              .cb(onSaveBackground).field(FIELD(saveBackgroundButton)),
          Row(K::ValueOutput, 665, 303, 50, 24, "Pixel Threshold")
              .color(215).range(255, 1, 50).align(FL_ALIGN_RIGHT).cb(onThresholdChanged)
              .field(FIELD(pixelThreshold)),
          Row(K::CheckButton, 665, 253, 155, 24, "Remove Background")
              .downbox(FL_DOWN_BOX).pressed(1).cb(onProcessingOption)
              .field(FIELD(removeBackgroundCheck)),
          Row(K::CheckButton, 665, 278, 125, 24, "Draw Active Arm")
              .downbox(FL_DOWN_BOX).pressed(1).cb(onProcessingOption)
              .field(FIELD(drawActiveArmCheck)),
          Row(K::ValueOutput, 665, 328, 50, 24, "Pixel Count Threshold")
              .color(215).range(10000, 1, 1000).align(FL_ALIGN_RIGHT).cb(onThresholdChanged)
              .field(FIELD(pixelCountThreshold)),
          Row(K::ValueOutput, 665, 353, 50, 24, "Ratio Threshold (%)")
              .color(215).range(100, 1, 60).align(FL_ALIGN_RIGHT).cb(onThresholdChanged)
              .field(FIELD(ratioThreshold)),
      }),
      panel(870, 225, 160, 165, "Active Pixel Ratio (%)").align(17).children({
          ratio(930, 256, "0", FIELD(ratioOut[0])),
          ratio(980, 296, "1", FIELD(ratioOut[1])),
          ratio(930, 336, "2", FIELD(ratioOut[2])),
          ratio(880, 296, "3", FIELD(ratioOut[3])),
          ratio(930, 296, "4", FIELD(ratioOut[4])),
          output(955, 361, 65, 24, "Pixel Count")
              .textfont(FL_HELVETICA_BOLD).when(FL_WHEN_NEVER).align(FL_ALIGN_LEFT)
              .field(FIELD(pixelCountOut)),
      }),
      panel(910, 20, 100, 55).children({
          Row(K::Button, 915, 25, 90, 20, "Original")
              .type(FL_RADIO_BUTTON).pressed(1).selection(254).cb(onRedrawView)
              .field(FIELD(originalButton)),
          Row(K::Button, 915, 50, 90, 20, "Processed")
              .type(FL_RADIO_BUTTON).selection(254).pressed(0).cb(onRedrawView)
              .field(FIELD(processedButton)),
      }),
  };
}

std::vector<Row> infoWindowLayout() {
  return {
      Row(Kind::Button, 165, 556, 64, 24, "Close").cb(onCloseInfo),
      Row(Kind::TextDisplay, 5, 5, 385, 545).box(FL_UP_FRAME).field(FIELD(infoDisplay)),
  };
}

std::string describe(const Row& row) {
  return "widget at " + std::to_string(row.x) + "," + std::to_string(row.y) + " \"" +
         (row.label ? row.label : "") + "\"";
}

int textFontOf(Fl_Widget* widget, Kind kind) {
  switch (kind) {
    case Kind::Output: return static_cast<Fl_Output*>(widget)->textfont();
    case Kind::ValueOutput: return static_cast<Fl_Value_Output*>(widget)->textfont();
    case Kind::TextDisplay: return static_cast<Fl_Text_Display*>(widget)->textfont();
    default: return -1;
  }
}

// Compares one widget, and a group's children in creation order, against the
// layout; a property the row leaves unset is compared with the default.
void expectMatches(const MainUI& ui, Fl_Group* parent, Fl_Widget* widget, const Row& row) {
  SCOPED_TRACE(describe(row));
  ASSERT_NE(widget, nullptr);
  ASSERT_EQ(typeid(*widget), classOf(row.kind));
  std::unique_ptr<Fl_Widget> def = defaultWidget(row.kind, row.x, row.y, row.w, row.h, row.label);

  EXPECT_EQ(widget->parent(), parent);
  if (row.fieldOf != nullptr) {
    EXPECT_EQ(row.fieldOf(ui), widget);
  }
  EXPECT_EQ(widget->x(), row.x);
  EXPECT_EQ(widget->y(), row.y);
  EXPECT_EQ(widget->w(), row.w);
  EXPECT_EQ(widget->h(), row.h);
  if (row.label == nullptr) {
    EXPECT_EQ(widget->label(), nullptr);
  } else {
    ASSERT_NE(widget->label(), nullptr);
    EXPECT_STREQ(widget->label(), row.label);
  }
  EXPECT_EQ(widget->box(), row.boxType.value_or(def->box()));
  EXPECT_EQ(widget->color(), static_cast<Fl_Color>(row.colour.value_or(int(def->color()))));
  EXPECT_EQ(widget->selection_color(),
            static_cast<Fl_Color>(row.selectionColour.value_or(int(def->selection_color()))));
  EXPECT_EQ(widget->labeltype(), row.labelType.value_or(def->labeltype()));
  EXPECT_EQ(widget->labelfont(), row.labelFont.value_or(def->labelfont()));
  EXPECT_EQ(widget->labelsize(), row.labelSize.value_or(def->labelsize()));
  EXPECT_EQ(widget->labelcolor(),
            static_cast<Fl_Color>(row.labelColour.value_or(int(def->labelcolor()))));
  EXPECT_EQ(int(widget->align()), row.alignment.value_or(int(def->align())));
  EXPECT_EQ(int(widget->when()), row.whenValue.value_or(int(def->when())));
  EXPECT_EQ(int(widget->type()), row.typeValue.value_or(int(def->type())));
  EXPECT_EQ(textFontOf(widget, row.kind), row.textFont.value_or(textFontOf(def.get(), row.kind)));
  if (row.callback != nullptr) {
    EXPECT_EQ(widget->callback(), row.callback);
  } else {
    EXPECT_EQ(widget->callback(), def->callback());
  }
  EXPECT_EQ(widget->user_data(), nullptr);
  EXPECT_EQ(widget->tooltip(), nullptr);

  if (auto* button = dynamic_cast<Fl_Button*>(widget)) {
    auto* defButton = static_cast<Fl_Button*>(def.get());
    EXPECT_EQ(button->value(), row.buttonValue.value_or(defButton->value()));
    EXPECT_EQ(button->down_box(), row.downBox.value_or(defButton->down_box()));
    EXPECT_EQ(button->shortcut(), 0);
  }
  if (auto* valuator = dynamic_cast<Fl_Valuator*>(widget)) {
    auto* defValuator = static_cast<Fl_Valuator*>(def.get());
    EXPECT_EQ(valuator->minimum(), 0.0);
    EXPECT_EQ(valuator->maximum(), row.maximum.value_or(defValuator->maximum()));
    EXPECT_EQ(valuator->step(), row.stepValue.value_or(defValuator->step()));
    EXPECT_EQ(valuator->value(), row.valuatorValue.value_or(defValuator->value()));
  }
  if (auto* out = dynamic_cast<Fl_Output*>(widget)) {
    EXPECT_EQ(out->type(), FL_NORMAL_OUTPUT);
    EXPECT_STREQ(out->value(), "");
  }
  if (row.kind == Kind::Group) {
    auto* group = static_cast<Fl_Group*>(widget);
    ASSERT_EQ(group->children(), static_cast<int>(row.kids.size()));
    for (int i = 0; i < group->children(); ++i) {
      expectMatches(ui, group, group->child(i), row.kids[static_cast<size_t>(i)]);
    }
  }
}

// Each test builds its own windows, so what one test presses cannot reach
// another; the application objects exist as well, as they do for every
// callback of the program.
class MainUITest : public ::testing::Test {
 protected:
  MainUITest() { ensureApplicationObjects(); }
  ~MainUITest() override {
    delete ui.infoWindow;
    delete ui.window;
  }

  MainUI ui;
};

// A top-level window of the MainUI, hidden, and its children in creation order.
void expectWindow(const MainUI& ui, Fl_Window* window, const std::type_info& windowClass, int w,
                  int h, const char* title, int type, const std::vector<Row>& layout) {
  SCOPED_TRACE(title);
  ASSERT_EQ(typeid(*window), windowClass);
  EXPECT_EQ(window->w(), w);
  EXPECT_EQ(window->h(), h);
  EXPECT_STREQ(window->label(), title);
  EXPECT_EQ(window->type(), type);
  EXPECT_EQ(window->user_data(), &ui);
  EXPECT_EQ(window->parent(), nullptr);
  EXPECT_FALSE(window->shown());
  ASSERT_EQ(window->children(), static_cast<int>(layout.size()));
  for (int i = 0; i < window->children(); ++i) {
    expectMatches(ui, window, window->child(i), layout[static_cast<size_t>(i)]);
  }
}

TEST_F(MainUITest, MainWindowIsBuiltAsTheLayoutSays) {
  expectWindow(ui, ui.window, typeid(Fl_Double_Window), 1038, 542, "Verdaxel", FL_DOUBLE_WINDOW,
               mainWindowLayout());
}

TEST_F(MainUITest, InformationWindowIsBuiltAsTheLayoutSays) {
  expectWindow(ui, ui.infoWindow, typeid(Fl_Window), 395, 587, "Verdaxel Information", FL_WINDOW,
               infoWindowLayout());
  EXPECT_TRUE(ui.infoWindow->modal());
  EXPECT_EQ(ui.infoDisplay->buffer(), nullptr);
}

TEST_F(MainUITest, WindowsHaveTheToolkitsCallbackAndCannotBeResized) {
  Fl_Group::current(nullptr);
  Fl_Window plain(10, 10);
  plain.end();
  for (Fl_Window* window : {static_cast<Fl_Window*>(ui.window), ui.infoWindow}) {
    SCOPED_TRACE(window->label());
    EXPECT_EQ(window->callback(), plain.callback());
    EXPECT_EQ(window->resizable(), nullptr);
  }
}

TEST_F(MainUITest, ViewButtonsReleaseEachOtherWhenClicked) {
  auto click = [](Fl_Button* button) {
    Fl::e_x = button->x() + button->w() / 2;
    Fl::e_y = button->y() + button->h() / 2;
    Fl::e_keysym = FL_Button + 1;
    button->handle(FL_PUSH);
    button->handle(FL_RELEASE);
  };
  click(ui.processedButton);
  EXPECT_EQ(ui.processedButton->value(), 1);
  EXPECT_EQ(ui.originalButton->value(), 0);
  click(ui.originalButton);
  EXPECT_EQ(ui.originalButton->value(), 1);
  EXPECT_EQ(ui.processedButton->value(), 0);
  click(ui.originalButton);
  EXPECT_EQ(ui.originalButton->value(), 1);
}

int g_dragCallbacks = 0;
void countDragCallback(Fl_Widget*, void*) { ++g_dragCallbacks; }

// Dragging a value output: whole steps (Video Time 0.1), never below 0 or
// above the maximum, and the callback runs at every change during the drag.
TEST_F(MainUITest, DraggedValueOutputsStepAndStayInRange) {
  struct Case {
    Fl_Value_Output* out;
    double maximum;
    double step;
  };
  const Case cases[] = {
      {ui.videoTime, 1000, 0.1},        {ui.boundaryX0, 500, 1},
      {ui.boundaryY0, 500, 1},          {ui.boundaryR, 1000, 1},
      {ui.excludeX0, 500, 1},           {ui.excludeY0, 500, 1},
      {ui.excludeW, 1000, 1},           {ui.excludeH, 1000, 1},
      {ui.pixelThreshold, 255, 1},      {ui.pixelCountThreshold, 10000, 1},
      {ui.ratioThreshold, 100, 1},
  };
  auto dragTo = [](Fl_Value_Output* out, int button, int dx) {
    const int startX = out->x() + out->w() / 2;
    Fl::e_keysym = FL_Button + button;
    Fl::e_x = Fl::e_x_root = startX;
    Fl::e_y = Fl::e_y_root = out->y() + out->h() / 2;
    out->handle(FL_PUSH);
    Fl::e_x = Fl::e_x_root = startX + dx;
    out->handle(FL_DRAG);
    out->handle(FL_RELEASE);
  };
  for (const Case& c : cases) {
    SCOPED_TRACE(c.out->label());
    const double initial = c.out->value();
    c.out->callback(countDragCallback);
    g_dragCallbacks = 0;

    dragTo(c.out, 1, 6);  // one step past the dead zone of five pixels
    EXPECT_NEAR(c.out->value(), initial + c.step, 1e-9);
    EXPECT_EQ(g_dragCallbacks, 1);

    dragTo(c.out, 3, 100000);  // the right button moves a hundred steps a pixel
    EXPECT_EQ(c.out->value(), c.maximum);
    EXPECT_EQ(g_dragCallbacks, 2);

    dragTo(c.out, 3, -100000);
    EXPECT_EQ(c.out->value(), 0.0);
    EXPECT_EQ(g_dragCallbacks, 3);
  }
}

// The information text and window of the program as started.
class InformationWindowTest : public ::testing::Test {
 protected:
  InformationWindowTest() { ensureApplicationObjects(); }

  static Fl_Widget* buttonLabelled(Fl_Group* group, const char* label) {
    for (int i = 0; i < group->children(); ++i) {
      Fl_Widget* child = group->child(i);
      if (child->label() != nullptr && std::strcmp(child->label(), label) == 0) return child;
    }
    return nullptr;
  }

  static std::string infoText() {
    char* text = g_playback->infoText->text();
    std::string copy(text);
    free(text);
    return copy;
  }
};

TEST_F(InformationWindowTest, TextIsFramedBySeparatorsAndHasTheFixedPieces) {
  const std::string separator(46, '=');
  const std::string text = infoText();
  ASSERT_GT(text.size(), 2 * separator.size());
  EXPECT_EQ(text.substr(0, 47), separator + "\n");
  EXPECT_EQ(text.substr(text.size() - 47), "\n" + separator);
  EXPECT_EQ(text.find(std::string(47, '=')), std::string::npos);

  // The fixed pieces, in order, with the separators between them; the
  // worded lines (author, laboratory, addresses) sit in the gaps.
  const std::string fixedInOrder[] = {
      separator + "\nVerdaxel (version 1.00)\n\n",
      "\nEmail: ",
      "\n\n" + separator + "\nThis program was developed with:\n\n - Windows SDK 6.0\n" +
          " - FLTK 1.1.10\n\n" + separator + "\nThank you for using Verdaxel.\n\n" +
          "If you like this program, please consider supporting\n",
      " \npurchase through either:\n\n(1) ",
      "\n\n or\n\n(2) email:",
      ")\n\nThank you for your support.\n\n" + separator + "\nMore information in:\n\n",
      "\n\n" + separator,
  };
  size_t from = 0;
  for (const std::string& piece : fixedInOrder) {
    const size_t at = text.find(piece, from);
    ASSERT_NE(at, std::string::npos) << "missing or out of order: " << piece;
    from = at + piece.size();
  }
  EXPECT_EQ(from, text.size());
}

TEST_F(InformationWindowTest, AddressesAreUnderTheReservedExampleDomain) {
  const std::string text = infoText();
  int addresses = 0;
  for (size_t at = text.find_first_of("@/"); at != std::string::npos;
       at = text.find_first_of("@/", at + 1)) {
    if (text[at] == '/' && text.compare(at, 2, "//") != 0) continue;
    const size_t host = at + (text[at] == '@' ? 1 : 2);
    const size_t end = text.find_first_of("/ )\n", host);
    const std::string name = text.substr(host, end - host);
    EXPECT_TRUE(name == "example.org" ||
                (name.size() > 12 && name.compare(name.size() - 12, 12, ".example.org") == 0))
        << name;
    ++addresses;
    if (text[at] == '/') ++at;
  }
  EXPECT_EQ(addresses, 5);  // two e-mail addresses and three web addresses
}

TEST_F(InformationWindowTest, InformationShowsItModallyAndCloseHidesIt) {
  if (std::getenv("DISPLAY") == nullptr) GTEST_SKIP() << "needs a display";
  Fl_Widget* information = buttonLabelled(g_ui->window, "Information");
  Fl_Widget* close = buttonLabelled(g_ui->infoWindow, "Close");
  ASSERT_NE(information, nullptr);
  ASSERT_NE(close, nullptr);
  Fl_Text_Buffer* const text = g_playback->infoText;
  const int length = text->length();

  for (int round = 0; round < 2; ++round) {
    SCOPED_TRACE(round == 0 ? "first showing" : "second showing");
    information->do_callback();
    EXPECT_TRUE(g_ui->infoWindow->shown());
    EXPECT_TRUE(g_ui->infoWindow->visible());
    EXPECT_EQ(Fl::modal(), g_ui->infoWindow);
    EXPECT_EQ(g_ui->infoDisplay->buffer(), text);
    EXPECT_EQ(text->length(), length);

    close->do_callback();
    EXPECT_FALSE(g_ui->infoWindow->visible());
    EXPECT_EQ(Fl::modal(), nullptr);
  }
}

}  // namespace

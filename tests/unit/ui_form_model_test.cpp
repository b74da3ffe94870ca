#include <gtest/gtest.h>

#include <string>
#include <utility>
#include <vector>

#include "ui/form_model.h"

namespace nd::ui {
namespace {

struct TestWindow : Form {
  TestWindow() : Form("TestWindow") {}
  Panel Page1{*this, "Page1"};
  Label Label44{*this, "Label44"};
  CommandButton Command1{*this, "Command1"};
  CheckBox Check1{*this, "Check1"};
  CheckBox Check2{*this, "Check2"};
  OptionGroup modes;
  OptionButton Option1{*this, "Option1", &modes};
  OptionButton Option2{*this, "Option2", &modes};
  ControlArray<CheckBox> DiskSelect{*this, "DiskSelect"};
  ControlArray<OptionButton> Mode{*this, "Mode", &modes};
  ProgressBar Bar{*this, "Bar"};
  ListView List{*this, "List"};
};

// Records what a binding would hear, as "name(index):property" texts.
struct Recorder : ModelObserver {
  std::vector<std::string> events;
  std::function<void()> on_change;
  void ControlChanged(Control& c, Property p) override {
    events.push_back(Id(c) + ":" + std::to_string(static_cast<int>(p)));
    if (on_change) on_change();
  }
  void ControlLoaded(Control& c) override { events.push_back("load " + Id(c)); }
  void ControlUnloading(Control& c) override { events.push_back("unload " + Id(c)); }
  void FormChanged(Form& f, Property p) override {
    events.push_back(f.Name() + ":" + std::to_string(static_cast<int>(p)));
  }
  static std::string Id(const Control& c) {
    return c.Index() < 0 ? c.Name() : c.Name() + "(" + std::to_string(c.Index()) + ")";
  }
};

std::string Ev(const std::string& id, Property p) {
  return id + ":" + std::to_string(static_cast<int>(p));
}

class FormModelTest : public ::testing::Test {
 protected:
  void SetUp() override { w.SetObserver(&seen); }
  TestWindow w;
  Recorder seen;
};

TEST_F(FormModelTest, CheckBoxChangedFromCodeClicksOncePerRealChange) {
  std::vector<int> clicks;
  w.Check1.OnClick = [&] { clicks.push_back(w.Check1.Value()); };
  w.Check1.SetValue(1);
  w.Check1.SetValue(1);
  w.Check1.SetValue(7);  // still checked
  w.Check1.SetValue(0);
  EXPECT_EQ(clicks, (std::vector<int>{1, 0}));
  EXPECT_EQ(seen.events, (std::vector<std::string>{Ev("Check1", Property::kValue),
                                                   Ev("Check1", Property::kValue)}));
}

TEST_F(FormModelTest, HandlersThatChangeControlsAgainSettleWithoutLooping) {
  // Check1 refuses to be checked while Check2 is; Check2's handler checks Check1 back off.
  int clicks1 = 0, clicks2 = 0;
  w.Check1.OnClick = [&] {
    ++clicks1;
    if (w.Check1.Value() == 1 && w.Check2.Value() == 1) w.Check1.SetValue(0);
  };
  w.Check2.OnClick = [&] {
    ++clicks2;
    w.Check1.SetValue(w.Check2.Value());
  };
  w.Check2.SetValue(1);  // Check1 set to 1, which undoes itself
  EXPECT_EQ(w.Check1.Value(), 0);
  EXPECT_EQ(clicks1, 2);
  EXPECT_EQ(clicks2, 1);
}

TEST_F(FormModelTest, SelectingAnOptionDeselectsTheGroupSilentlyAndFiresOnlyItself) {
  std::vector<std::string> clicks;
  w.Option1.OnClick = [&] { clicks.push_back("Option1"); };
  w.Option2.OnClick = [&] { clicks.push_back("Option2"); };
  w.Mode.OnClick = [&](int i) { clicks.push_back("Mode" + std::to_string(i)); };
  w.Option1.SetValue(true);
  w.Mode[0].SetValue(true);
  w.Mode[0].SetValue(true);
  EXPECT_FALSE(w.Option1.Value());
  EXPECT_EQ(w.modes.Selected(), &w.Mode[0]);
  w.Mode[0].SetValue(false);  // from code: nothing fires, nothing else is selected
  EXPECT_EQ(w.modes.Selected(), nullptr);
  EXPECT_EQ(clicks, (std::vector<std::string>{"Option1", "Mode0"}));
}

TEST_F(FormModelTest, OptionHandlerSelectingAnotherOptionKeepsOneSelection) {
  int max_selected = 0;
  seen.on_change = [&] {
    int n = 0;
    for (OptionButton* b : w.modes.Members()) n += b->Value();
    max_selected = std::max(max_selected, n);
  };
  std::vector<std::string> clicks;
  w.Option1.OnClick = [&] {
    clicks.push_back("Option1");
    w.Option2.SetValue(true);
  };
  w.Option2.OnClick = [&] { clicks.push_back("Option2"); };
  w.Option1.SetValue(true);
  EXPECT_EQ(w.modes.Selected(), &w.Option2);
  EXPECT_FALSE(w.Option1.Value());
  EXPECT_EQ(clicks, (std::vector<std::string>{"Option1", "Option2"}));
  EXPECT_EQ(max_selected, 1);
}

TEST_F(FormModelTest, UserClicksReachOnlyEnabledShownControls) {
  int label = 0, button = 0, check = 0, option = 0;
  w.Label44.OnClick = [&] { ++label; };
  w.Command1.OnClick = [&] { ++button; };
  w.Check1.OnClick = [&] { ++check; };
  w.Option1.OnClick = [&] { ++option; };
  w.Check1.UserClick();
  w.Check1.UserClick();
  EXPECT_EQ(check, 2);
  EXPECT_EQ(w.Check1.Value(), 0);
  w.Option1.UserClick();
  w.Option1.UserClick();  // already selected: nothing changes
  EXPECT_EQ(option, 1);

  w.Command1.SetEnabled(false);
  w.Command1.UserClick();
  w.Label44.SetVisible(false);
  w.Label44.UserClick();
  w.Check1.SetParent(&w.Page1);
  w.Page1.SetEnabled(false);
  w.Check1.UserClick();
  EXPECT_TRUE(w.Check1.IsShown());
  w.Page1.SetEnabled(true);
  w.Page1.SetVisible(false);
  w.Check1.UserClick();
  EXPECT_FALSE(w.Check1.IsShown());
  EXPECT_EQ(label + button, 0);
  EXPECT_EQ(check, 2);
  // Code is not bound by what a user can reach.
  w.Check1.SetValue(1);
  EXPECT_EQ(check, 3);
}

TEST_F(FormModelTest, ObserverHearsChangesOnlyAndInOrder) {
  w.Command1.SetCaption("Start");
  w.Command1.SetCaption("Start");
  w.Command1.Move(0, 120, 0, 0);  // only Top differs from the start
  w.Command1.SetFontCharset(1);   // the default already
  w.Command1.SetFontCharset(204);
  w.SetCaption("Title");
  w.SetCaption("Title");
  w.Bar.SetMax(100);
  w.Bar.SetValue(-5);  // taken as 0, the current value
  w.List.Clear();      // nothing to clear
  EXPECT_EQ(seen.events,
            (std::vector<std::string>{
                Ev("Command1", Property::kCaption), Ev("Command1", Property::kTop),
                Ev("Command1", Property::kFontCharset), Ev("TestWindow", Property::kCaption)}));
}

TEST_F(FormModelTest, LoadCopiesElementZeroHiddenAndRefusesExistingIndices) {
  CheckBox& first = w.DiskSelect[0];
  first.SetCaption("C:");
  first.SetValue(1);
  first.Move(10, 20, 300, 40);
  first.SetFontCharset(238);
  first.SetParent(&w.Page1);
  seen.events.clear();

  ASSERT_TRUE(w.DiskSelect.Load(3));
  CheckBox& copy = w.DiskSelect[3];
  EXPECT_EQ(copy.Caption(), "C:");
  EXPECT_EQ(copy.Value(), 1);
  EXPECT_EQ(copy.Top(), 20);
  EXPECT_EQ(copy.Height(), 40);
  EXPECT_EQ(copy.FontCharset(), 238);
  EXPECT_EQ(copy.Parent(), &w.Page1);
  EXPECT_EQ(copy.Index(), 3);
  EXPECT_FALSE(copy.Visible());
  EXPECT_TRUE(first.Visible());

  copy.SetCaption("D:");
  EXPECT_FALSE(w.DiskSelect.Load(3));
  EXPECT_FALSE(w.DiskSelect.Load(0));
  EXPECT_FALSE(w.DiskSelect.Load(-1));
  EXPECT_EQ(w.DiskSelect[3].Caption(), "D:");
  EXPECT_FALSE(w.DiskSelect.Unload(0));
  EXPECT_FALSE(w.DiskSelect.Unload(2));
  ASSERT_TRUE(w.DiskSelect.Load(1));
  EXPECT_EQ(w.DiskSelect.Indices(), (std::vector<int>{0, 1, 3}));
  EXPECT_EQ(w.DiskSelect.UBound(), 3);
  EXPECT_EQ(w.Find("DiskSelect", 3), &copy);

  ASSERT_TRUE(w.DiskSelect.Unload(3));
  EXPECT_FALSE(w.DiskSelect.Contains(3));
  EXPECT_EQ(w.DiskSelect.UBound(), 1);
  EXPECT_EQ(w.Find("DiskSelect", 3), nullptr);
  EXPECT_EQ(seen.events,
            (std::vector<std::string>{"load DiskSelect(3)", Ev("DiskSelect(3)", Property::kCaption),
                                      "load DiskSelect(1)", "unload DiskSelect(3)"}));
}

TEST_F(FormModelTest, ArrayHandlersGetTheIndexAndMayUnloadTheirOwnElement) {
  std::vector<int> clicks;
  w.DiskSelect.OnClick = [&](int i) {
    clicks.push_back(i);
    if (i == 2) w.DiskSelect.Unload(2);
  };
  w.DiskSelect.Load(2);
  w.DiskSelect[2].UserClick();  // still hidden
  w.DiskSelect[2].SetVisible(true);
  w.DiskSelect[0].UserClick();
  w.DiskSelect[2].UserClick();
  EXPECT_EQ(clicks, (std::vector<int>{0, 2}));
  EXPECT_EQ(w.DiskSelect.Indices(), (std::vector<int>{0}));
}

TEST_F(FormModelTest, LoadedOptionJoinsTheGroupUnselectedAndLeavesItOnUnload) {
  w.Mode[0].SetValue(true);
  ASSERT_TRUE(w.Mode.Load(1));
  EXPECT_FALSE(w.Mode[1].Value());
  EXPECT_EQ(w.Mode[1].Group(), &w.modes);
  w.Mode[1].SetValue(true);
  EXPECT_FALSE(w.Mode[0].Value());
  w.Mode.Unload(1);
  EXPECT_EQ(w.modes.Members().size(), 3u);
  EXPECT_EQ(w.modes.Selected(), nullptr);
}

TEST_F(FormModelTest, ControlsAreShownOnlyInsideVisiblePanelsAndPanelsCannotNestInThemselves) {
  Panel inner{w, "Inner"};
  ASSERT_TRUE(inner.SetParent(&w.Page1));
  ASSERT_TRUE(w.Label44.SetParent(&inner));
  EXPECT_FALSE(w.Page1.SetParent(&inner));
  EXPECT_FALSE(inner.SetParent(&inner));
  EXPECT_EQ(w.Page1.Parent(), nullptr);
  w.Page1.SetVisible(false);
  EXPECT_FALSE(w.Label44.IsShown());
  w.Page1.SetVisible(true);
  EXPECT_TRUE(w.Label44.IsShown());
}

TEST(ProgressBar, ValueAndMaxMayComeInEitherOrder) {
  ProgressBar bar("Bar");
  bar.SetValue(3e9);  // past the old maximum, before the new one arrives
  bar.SetMax(6e9);
  EXPECT_DOUBLE_EQ(bar.Value(), 3e9);
  EXPECT_DOUBLE_EQ(bar.Fraction(), 0.5);
  bar.SetMax(1e9);
  EXPECT_DOUBLE_EQ(bar.Fraction(), 1.0);
  bar.SetMax(0);
  EXPECT_DOUBLE_EQ(bar.Fraction(), 0.0);
}

TEST(ListView, RowsHoldItemAndSubItemsAndClearKeepsColumns) {
  ListView list("List");
  list.AddColumn("Volume", 1200);
  list.AddColumn("Free", 900);
  EXPECT_EQ(list.AddRow({"C:", "12 GB"}), 0);
  EXPECT_EQ(list.AddRow({}), 1);
  list.SetText(1, 2, "ready");
  EXPECT_EQ(list.Row(1), (std::vector<std::string>{"", "", "ready"}));
  EXPECT_EQ(list.Text(0, 1), "12 GB");
  EXPECT_EQ(list.Text(0, 5), "");
  EXPECT_TRUE(list.Row(7).empty());
  list.SetText(9, 0, "ignored");
  list.Clear();
  EXPECT_EQ(list.RowCount(), 0);
  EXPECT_EQ(list.Columns().size(), 2u);
}

TEST_F(FormModelTest, CloseAsksQueryUnloadThenUnloadsAndHides) {
  std::vector<CloseReason> asked;
  int unloads = 0;
  bool refuse = true;
  w.OnQueryUnload = [&](CloseReason reason) {
    asked.push_back(reason);
    return refuse;
  };
  w.OnUnload = [&] {
    ++unloads;
    EXPECT_FALSE(w.Close(CloseReason::kFromCode));  // already under way
  };
  w.Show();
  EXPECT_FALSE(w.Close(CloseReason::kUserClose));
  EXPECT_TRUE(w.Visible());
  EXPECT_EQ(unloads, 0);
  refuse = false;
  EXPECT_TRUE(w.Close(CloseReason::kSessionEnding));
  EXPECT_TRUE(w.IsClosed());
  EXPECT_FALSE(w.Visible());
  EXPECT_TRUE(w.Close(CloseReason::kFromCode));  // nothing runs twice
  EXPECT_EQ(asked,
            (std::vector<CloseReason>{CloseReason::kUserClose, CloseReason::kSessionEnding}));
  EXPECT_EQ(unloads, 1);
}

}  // namespace
}  // namespace nd::ui

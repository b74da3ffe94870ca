// The second window: the language page, the newsletter page and the quality-improvement page,
// each a panel of which one is shown. It lives in a process of its own, started with "lang" or
// "subscribe", and ends that process when the user has finished with it.
#pragma once

#include <cstddef>
#include <functional>
#include <string>
#include <vector>

#include "localisation/context.h"
#include "ui/form_model.h"
#include "ui/host.h"

namespace nd::online {

struct SecondServices {
  Context& context;
  ui::Host& host;
  // Whether the display is at the standard scale of 96 DPI, which the layout is drawn for.
  std::function<bool()> standard_display_scale;
  // One GET of `url`; true, with the body in `file_path`, only when it is exactly
  // `expected_length` bytes long.
  std::function<bool(const std::string& url, const std::string& file_path, size_t expected_length)>
      download;
};

// The window's client size in twips.
inline constexpr int kSecondWidth = 8100;
inline constexpr int kSecondHeight = 6300;

class SecondForm : public ui::Form {
 public:
  explicit SecondForm(SecondServices services);

  SecondServices svc;

  // The language page.
  ui::Panel Picture4{*this, "Picture4"};
  ui::OptionGroup languages;
  ui::ControlArray<ui::OptionButton> LangArray{*this, "LangArray", &languages};
  ui::Picture CFlag{*this, "CFlag"};
  ui::CommandButton Command3{*this, "Command3"};

  // The newsletter page.
  ui::Panel Picture1{*this, "Picture1"};
  ui::Label Label3{*this, "Label3"};
  ui::Label Label2{*this, "Label2"};
  ui::Label Label11{*this, "Label11"};
  ui::TextBox FN{*this, "FN"};
  ui::Label Label17{*this, "Label17"};
  ui::TextBox LN{*this, "LN"};
  ui::Label Label1{*this, "Label1"};
  ui::TextBox Text1{*this, "Text1"};
  ui::CommandButton Command2{*this, "Command2"};
  ui::CommandButton Command1{*this, "Command1"};

  // The quality-improvement page.
  ui::Panel Picture5{*this, "Picture5"};
  ui::Label Label16{*this, "Label16"};
  ui::Label Label4{*this, "Label4"};
  ui::CheckBox Check1{*this, "Check1"};
  ui::CommandButton Command8{*this, "Command8"};

 private:
  void Design();
};

// Labels drawn as page headings, for the toolkit binding.
std::vector<std::string> SecondHeadingLabels();

}  // namespace nd::online

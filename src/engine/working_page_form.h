// A window of its own that holds just the working page's elements: the headless runner shows
// the job through it, and tests drive jobs with it without the wizard.
#pragma once

#include "engine/working_page.h"
#include "ui/form.h"

namespace nd::engine {

class WorkingPageForm : public ui::Form {
 public:
  WorkingPageForm();

  // Selects the overwrite method, 1-5 (0: none selected).
  void SelectMethod(int method);
  WorkingPage& Page() { return page_; }

  ui::Label status{*this, "status"};
  ui::Label Label9{*this, "Label9"};
  ui::Label Label10{*this, "Label10"};
  ui::Label Label13{*this, "Label13"};
  ui::Label Label14{*this, "Label14"};
  ui::Label Label32{*this, "Label32"};
  ui::Label Label44{*this, "Label44"};
  ui::ProgressBar ProgressBar1{*this, "ProgressBar1"};
  ui::CheckBox Check2{*this, "Check2"};
  ui::CheckBox Check4{*this, "Check4"};
  ui::CommandButton Command4{*this, "Command4"};
  ui::ControlArray<ui::Picture> StepImage{*this, "StepImage"};
  ui::Picture IconPEND{*this, "IconPEND"};
  ui::Picture IconCURR{*this, "IconCURR"};
  ui::Picture IconPAUSE{*this, "IconPAUSE"};
  ui::Picture IconOK{*this, "IconOK"};
  ui::Picture IconOKgray{*this, "IconOKgray"};
  ui::Picture IconERROR{*this, "IconERROR"};
  ui::ControlArray<ui::Picture> ReportImage{*this, "ReportImage"};
  ui::ControlArray<ui::Label> ReportDisk{*this, "ReportDisk"};
  ui::ControlArray<ui::Label> ReportInfo{*this, "ReportInfo"};
  ui::OptionGroup methods;
  ui::OptionButton Option1{*this, "Option1", &methods};
  ui::OptionButton Option2{*this, "Option2", &methods};
  ui::OptionButton Option3{*this, "Option3", &methods};
  ui::OptionButton Option4{*this, "Option4", &methods};
  ui::OptionButton Option5{*this, "Option5", &methods};

 private:
  WorkingPage page_;
};

}  // namespace nd::engine

#include "engine/working_page_form.h"

namespace nd::engine {

WorkingPageForm::WorkingPageForm() : ui::Form("WorkingPage"), page_(engine::WorkingPageOf(*this)) {
  IconPEND.SetPicture("IconPEND");
  IconCURR.SetPicture("IconCURR");
  IconPAUSE.SetPicture("IconPAUSE");
  IconOK.SetPicture("IconOK");
  IconOKgray.SetPicture("IconOKgray");
  IconERROR.SetPicture("IconERROR");
  for (int i = 1; i < 4; ++i) {
    StepImage.Load(i);
    StepImage[i].SetVisible(true);
  }
  ReportImage[0].SetVisible(false);
  ReportDisk[0].SetVisible(false);
  ReportInfo[0].SetVisible(false);
  Option2.SetValue(true);
}

void WorkingPageForm::SelectMethod(int method) {
  ui::OptionButton* buttons[] = {&Option1, &Option2, &Option3, &Option4, &Option5};
  for (int i = 0; i < 5; ++i) buttons[i]->SetValue(i + 1 == method);
}

}  // namespace nd::engine

#include "online/second_form.h"

#include <utility>

#include "ui/layout.h"

namespace nd::online {
namespace {

using ui::Place;

constexpr int kMargin = 40;
constexpr int kContentWidth = 460;
constexpr int kPageWidth = 540;
constexpr int kPageHeight = 420;
constexpr int kButtonTop = 386;  // on the background's bottom band

}  // namespace

SecondForm::SecondForm(SecondServices services)
    : ui::Form("ORTAVE_FORM_2_2"), svc(std::move(services)) {
  Design();
}

void SecondForm::Design() {
  for (ui::Panel* page : {&Picture4, &Picture1, &Picture5}) {
    Place(*page, nullptr, 0, 0, kPageWidth, kPageHeight);
    page->SetVisible(false);
  }

  // Element 0 is English; the others are loaded below and beside it, three columns of six.
  ui::Panel* p = &Picture4;
  Place(LangArray[0], p, kMargin, 40, 140, 22);
  LangArray[0].SetCaption("English");
  Place(CFlag, p, kMargin, 230, 96, 64);
  Place(Command3, p, 400, kButtonTop, 100, 30);
  Command3.SetCaption("OK");

  p = &Picture1;
  Place(Label3, p, kMargin, 30, kContentWidth, 30);
  Place(Label2, p, kMargin, 72, kContentWidth, 72);
  Place(Label11, p, kMargin, 164, 140, 22);
  Place(FN, p, 190, 160, 310, 28);
  Place(Label17, p, kMargin, 204, 140, 22);
  Place(LN, p, 190, 200, 310, 28);
  Place(Label1, p, kMargin, 244, 140, 22);
  Place(Text1, p, 190, 240, 310, 28);
  Place(Command2, p, 230, kButtonTop, 130, 30);
  Place(Command1, p, 370, kButtonTop, 130, 30);

  p = &Picture5;
  Place(Label16, p, kMargin, 30, kContentWidth, 30);
  Label16.SetCaption("Quality Improvement Program <>");
  Place(Label4, p, kMargin, 72, kContentWidth, 110);
  Place(Check1, p, kMargin, 196, kContentWidth, 24);
  Check1.SetCaption("Join customer imporvement program");
  Place(Command8, p, 370, kButtonTop, 130, 30);
  Command8.SetCaption("Save <>");
}

std::vector<std::string> SecondHeadingLabels() { return {"Label3", "Label16"}; }

}  // namespace nd::online

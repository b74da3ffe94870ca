#include "wizard/start_form.h"

#include <initializer_list>
#include <utility>

#include "ui/layout.h"

namespace nd::wizard {
namespace {

using ui::kTwipsPerPixel;
using ui::Place;

constexpr int kMargin = 40;
constexpr int kContentWidth = 640;
constexpr int kIndent = 24;
constexpr int kPageHeight = 490;

// A full-width text of the page at height `y`.
void Row(ui::Control& control, ui::Panel* page, int y, int h) {
  Place(control, page, kMargin, y, kContentWidth, h);
}

void HideControl(ui::Control& control) { control.SetVisible(false); }

}  // namespace

Start::Start(StartServices services)
    : ui::Form("Start"),
      svc(std::move(services)),
      working_page(engine::WorkingPageOf(*this)),
      job{svc.context, svc.host, working_page,   job_state, svc.volumes,
          svc.random,  {},       svc.power_hook, {},        {}} {
  Design();
}

ui::OptionButton& Start::OptionNumber(int n) {
  ui::OptionButton* buttons[] = {&Option1, &Option2, &Option3, &Option4, &Option5,
                                 &Option6, &Option7, &Option8, &Option9, &Option10};
  return *buttons[n - 1];
}

int Start::SelectedMethod() const {
  for (int i = 0; i < 5; ++i) {
    if (working_page.Method[i]->Value()) return i + 1;
  }
  return 0;
}

void Start::Design() {
  Page(0).Move(0, 0, kStartWidth, kPageHeight * kTwipsPerPixel);
  Page(0).SetVisible(false);
  for (int n = 1; n <= kLastPage; ++n) win.Load(n);

  ui::Panel* p = &Page(1);
  Row(Label1, p, 24, 36);
  Row(Label2, p, 76, 120);
  Row(Label41, p, 206, 84);
  Place(Label12, p, kMargin, 300, 300, 22);
  Row(Check7, p, 452, 24);

  p = &Page(2);
  Row(Label3, p, 18, 32);
  Row(Label5, p, 54, 60);
  // Tile 0; the others are placed one seventh of the window width apart when loaded.
  Place(DiskImage[0], p, kMargin + 4, 116, 48, 48);
  Place(DiskImageSel[0], p, kMargin + 54, 140, 24, 24);
  Place(DiskLabel[0], p, kMargin + 4, 166, 48, 20);
  Place(DiskSelect[0], p, kMargin, 116, 16, 16);
  // Hidden until the first rebuild finds a volume, so that an empty list shows no tile.
  for (ui::Control* tile : std::initializer_list<ui::Control*>{&DiskSelect[0], &DiskImage[0],
                                                               &DiskImageSel[0], &DiskLabel[0]}) {
    HideControl(*tile);
  }
  Place(Label29, p, kMargin, 198, 360, 22);
  Place(Check9, p, 400, 196, 280, 24);
  Row(ListView1, p, 222, 220);
  Row(Line1, p, 448, 1);
  Line1.SetPicture("Line");
  Place(Label22, p, kMargin, 454, 300, 20);

  p = &Page(3);
  Row(Label15, p, 18, 32);
  Row(Option6, p, 56, 24);
  Place(Label26, p, kMargin + kIndent, 82, kContentWidth - kIndent, 80);
  Row(Option7, p, 166, 24);
  Place(Label27, p, kMargin + kIndent, 192, kContentWidth - kIndent, 80);
  Row(Label25, p, 282, 22);
  Row(Label28, p, 306, 96);
  Row(Picture1, p, 408, 56);
  Place(Option8, &Picture1, 0, 0, 210, 48);
  Place(Option9, &Picture1, 215, 0, 210, 48);
  Place(Option10, &Picture1, 430, 0, 210, 48);

  p = &Page(4);
  Row(Label23, p, 14, 30);
  Row(Check6, p, 50, 40);
  Check6.SetEnabled(svc.paging_file != nullptr);
  Place(Label7, p, kMargin + kIndent, 90, kContentWidth - kIndent, 40);
  Row(Check5, p, 132, 24);
  Row(Label37, p, 164, 22);
  Row(Label38, p, 186, 60);
  Row(Check4, p, 248, 24);
  Row(Label4, p, 278, 72);
  int y = 352;
  for (ui::OptionButton* method : {&Option2, &Option1, &Option3, &Option4, &Option5}) {
    Place(*method, p, kMargin, y, 400, 24);
    y += 24;
  }

  p = &Page(5);
  Row(Label6, p, 18, 32);
  constexpr int kCaptionWidth = 230;
  constexpr int kValueLeft = kMargin + kCaptionWidth + 10;
  constexpr int kValueWidth = kContentWidth - kCaptionWidth - 10;
  Place(Label16, p, kMargin, 70, kCaptionWidth, 24);
  Place(Label18, p, kValueLeft, 70, kValueWidth, 24);
  Place(Label11, p, kMargin, 100, kCaptionWidth, 24);
  Place(Label19, p, kValueLeft, 100, kValueWidth, 44);
  Place(Label36, p, kMargin, 150, kCaptionWidth, 24);
  Place(Label20, p, kValueLeft, 150, kValueWidth, 24);
  Place(Label39, p, kMargin, 180, kCaptionWidth, 24);
  Place(Label40, p, kValueLeft, 180, kValueWidth, 24);
  Row(Label33, p, 222, 112);
  Row(Label34, p, 344, 44);

  p = &Page(6);
  Row(status, p, 16, 30);
  Row(Label10, p, 50, 52);
  Place(StepImage[0], p, kMargin, 108, 24, 24);
  Place(StepInfo[0], p, kMargin + 32, 110, 420, 22);
  for (int i = 1; i < 4; ++i) {
    StepImage.Load(i);
    StepInfo.Load(i);
    StepImage[i].SetTop(StepImage[0].Top() + i * 28 * kTwipsPerPixel);
    StepInfo[i].SetTop(StepInfo[0].Top() + i * 28 * kTwipsPerPixel);
    StepImage[i].SetVisible(true);
    StepInfo[i].SetVisible(true);
  }
  Row(Label9, p, 226, 22);
  Row(Label13, p, 248, 22);
  Row(Label14, p, 270, 22);
  Row(ProgressBar1, p, 296, 22);
  Row(Label32, p, 322, 22);
  Row(Label44, p, 346, 52);
  Place(Check2, p, kMargin, 404, 300, 24);
  Row(Check3, p, 430, 24);
  Row(Check1, p, 456, 24);

  p = &Page(7);
  Row(Label8, p, 18, 32);
  Place(ReportImage[0], p, kMargin, 64, 24, 24);
  Place(ReportDisk[0], p, kMargin + 32, 66, 60, 22);
  Place(ReportInfo[0], p, kMargin + 96, 66, kContentWidth - 96, 22);
  HideControl(ReportImage[0]);
  HideControl(ReportDisk[0]);
  HideControl(ReportInfo[0]);
  Row(Label21, p, 360, 44);
  Place(Label43, p, kMargin, 410, 400, 22);
  Place(Label46, p, kMargin, 434, 400, 22);
  Place(Label24, p, kMargin, 458, 400, 22);

  Place(Command2, nullptr, 460, 500, 120, 30);
  Place(Command1, nullptr, 590, 500, 120, 30);
  Place(Command4, nullptr, 590, 500, 120, 30);
  HideControl(Command4);

  struct Held {
    ui::Picture& control;
    const char* picture;
  };
  for (Held held :
       {Held{IconPEND, "IconPEND"}, Held{IconCURR, "IconCURR"}, Held{IconPAUSE, "IconPAUSE"},
        Held{IconOK, "IconOK"}, Held{IconOKgray, "IconOKgray"}, Held{IconERROR, "IconERROR"},
        Held{DiskHDD, "DiskHDD"}, Held{DiskFlash, "DiskFlash"}, Held{DiskEHDD, "DiskEHDD"}}) {
    held.control.SetPicture(held.picture);
    HideControl(held.control);
  }
  DiskImage[0].SetPicture("DiskHDD");
  for (int i = 0; i < 4; ++i) StepImage[i].SetPicture("IconPEND");

  // The designed selection: method 2, and no way or NTFS mode until the settings say so.
  Option2.SetValue(true);

  worknow.SetInterval(50);
  DiskListRefresher.SetInterval(500);
  PlayWAV.SetInterval(5000);
  turnoff.SetInterval(1000);
  for (ui::Timer* timer : {&worknow, &DiskListRefresher, &PlayWAV, &turnoff}) {
    timer->SetEnabled(false);
  }
}

std::vector<std::string> HeadingLabels() {
  return {"Label1", "Label3", "Label15", "Label23", "Label6", "status", "Label8"};
}

std::vector<std::string> LinkLabels() {
  return {"Label12", "Label22", "Label43", "Label46", "Label24", "DiskLabel"};
}

}  // namespace nd::wizard

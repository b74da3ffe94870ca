// The main window: the seven wizard pages with all their controls and designed positions, its
// timers, the job state it owns, and the outside services its handlers reach.
#pragma once

#include <cstdint>
#include <functional>
#include <string>
#include <vector>

#include "engine/standby.h"
#include "engine/volume_access.h"
#include "engine/working_page.h"
#include "localisation/context.h"
#include "platform/paging_file.h"
#include "system/scramble.h"
#include "ui/form_model.h"
#include "ui/host.h"

namespace nd::wizard {

// What the main window's handlers need beyond their controls.
struct StartServices {
  Context& context;
  ui::Host& host;
  engine::VolumeAccess& volumes;
  RandomFraction random;
  // Null where refusing stand-by cannot work at all.
  engine::PowerHook* power_hook = nullptr;
  // Plays a WAV file without waiting, cutting off the previous play; failures are silent.
  std::function<void(const std::string& path)> play_sound;
  // Asks the system to switch off; failures are silent.
  std::function<void()> power_off;
  // Makes the file the window's background; false when it cannot be decoded.
  std::function<bool(const std::string& path)> load_background;
  // Everything after the program's name on its command line, as one text.
  std::string command_line;
  // Opens the second window on the page of mode "lang" or "subscribe".
  std::function<void(const std::string& mode)> open_second_window;
  // Starts another copy of the program with `mode` as its one argument, without waiting;
  // false when it could not be started.
  std::function<bool(const std::string& mode)> start_second_copy;
  // The machine's paging-file policy behind `Check6`; null where the system has none.
  platform::PagingFilePolicy* paging_file = platform::SystemPagingFilePolicy();
};

// Window size in twips (15 twips make a pixel on a 96-DPI screen).
inline constexpr int kStartWidth = 10800;
inline constexpr int kStartHeight = 8100;
inline constexpr int kLastPage = 7;
// The title of the window's message boxes.
inline constexpr const char* kProgramTitle = "Nulldrift";

class Start : public ui::Form {
 public:
  explicit Start(StartServices services);

  StartServices svc;
  Context& context() { return svc.context; }
  ui::Host& host() { return svc.host; }
  int Width() const { return kStartWidth; }

  // Pages 1-7 in `win`(1..7); `win`(0) has no content and is never shown.
  ui::ControlArray<ui::Panel> win{*this, "win"};

  // Page 1: welcome.
  ui::Label Label1{*this, "Label1"};
  ui::Label Label2{*this, "Label2"};
  ui::Label Label41{*this, "Label41"};
  ui::Label Label12{*this, "Label12"};
  ui::CheckBox Check7{*this, "Check7"};

  // Page 2: disks and run history.
  ui::Label Label3{*this, "Label3"};
  ui::Label Label5{*this, "Label5"};
  ui::ControlArray<ui::CheckBox> DiskSelect{*this, "DiskSelect"};
  ui::ControlArray<ui::Picture> DiskImage{*this, "DiskImage"};
  ui::ControlArray<ui::Picture> DiskImageSel{*this, "DiskImageSel"};
  ui::ControlArray<ui::Label> DiskLabel{*this, "DiskLabel"};
  ui::Label Label29{*this, "Label29"};
  ui::CheckBox Check9{*this, "Check9"};
  ui::ListView ListView1{*this, "ListView1"};
  ui::Picture Line1{*this, "Line1"};
  ui::Label Label22{*this, "Label22"};

  // Page 3: cleaning way and NTFS mode.
  ui::Label Label15{*this, "Label15"};
  ui::OptionGroup ways;
  ui::OptionButton Option6{*this, "Option6", &ways};
  ui::Label Label26{*this, "Label26"};
  ui::OptionButton Option7{*this, "Option7", &ways};
  ui::Label Label27{*this, "Label27"};
  ui::Label Label25{*this, "Label25"};
  ui::Label Label28{*this, "Label28"};
  ui::Panel Picture1{*this, "Picture1"};
  ui::OptionGroup ntfs_modes;
  ui::OptionButton Option8{*this, "Option8", &ntfs_modes};
  ui::OptionButton Option9{*this, "Option9", &ntfs_modes};
  ui::OptionButton Option10{*this, "Option10", &ntfs_modes};

  // Page 4: method and options.
  ui::Label Label23{*this, "Label23"};
  ui::CheckBox Check6{*this, "Check6"};
  ui::Label Label7{*this, "Label7"};
  ui::CheckBox Check5{*this, "Check5"};
  ui::Label Label37{*this, "Label37"};
  ui::Label Label38{*this, "Label38"};
  ui::CheckBox Check4{*this, "Check4"};
  ui::Label Label4{*this, "Label4"};
  ui::OptionGroup methods;
  ui::OptionButton Option2{*this, "Option2", &methods};
  ui::OptionButton Option1{*this, "Option1", &methods};
  ui::OptionButton Option3{*this, "Option3", &methods};
  ui::OptionButton Option4{*this, "Option4", &methods};
  ui::OptionButton Option5{*this, "Option5", &methods};

  // Page 5: review.
  ui::Label Label6{*this, "Label6"};
  ui::Label Label16{*this, "Label16"};
  ui::Label Label18{*this, "Label18"};
  ui::Label Label11{*this, "Label11"};
  ui::Label Label19{*this, "Label19"};
  ui::Label Label36{*this, "Label36"};
  ui::Label Label20{*this, "Label20"};
  ui::Label Label39{*this, "Label39"};
  ui::Label Label40{*this, "Label40"};
  ui::Label Label33{*this, "Label33"};
  ui::Label Label34{*this, "Label34"};

  // Page 6: working.
  ui::Label status{*this, "status"};
  ui::Label Label10{*this, "Label10"};
  ui::ControlArray<ui::Picture> StepImage{*this, "StepImage"};
  ui::ControlArray<ui::Label> StepInfo{*this, "StepInfo"};
  ui::Label Label9{*this, "Label9"};
  ui::Label Label13{*this, "Label13"};
  ui::Label Label14{*this, "Label14"};
  ui::ProgressBar ProgressBar1{*this, "ProgressBar1"};
  ui::Label Label32{*this, "Label32"};
  ui::Label Label44{*this, "Label44"};
  ui::CheckBox Check2{*this, "Check2"};
  ui::CheckBox Check3{*this, "Check3"};
  ui::CheckBox Check1{*this, "Check1"};

  // Page 7: report.
  ui::Label Label8{*this, "Label8"};
  ui::ControlArray<ui::Picture> ReportImage{*this, "ReportImage"};
  ui::ControlArray<ui::Label> ReportDisk{*this, "ReportDisk"};
  ui::ControlArray<ui::Label> ReportInfo{*this, "ReportInfo"};
  ui::Label Label21{*this, "Label21"};
  ui::Label Label43{*this, "Label43"};
  ui::Label Label46{*this, "Label46"};
  ui::Label Label24{*this, "Label24"};

  // Outside the pages.
  ui::CommandButton Command2{*this, "Command2"};
  ui::CommandButton Command1{*this, "Command1"};
  ui::CommandButton Command4{*this, "Command4"};
  // The status pictures: hidden, each holding one picture that others copy.
  ui::Picture IconPEND{*this, "IconPEND"};
  ui::Picture IconCURR{*this, "IconCURR"};
  ui::Picture IconPAUSE{*this, "IconPAUSE"};
  ui::Picture IconOK{*this, "IconOK"};
  ui::Picture IconOKgray{*this, "IconOKgray"};
  ui::Picture IconERROR{*this, "IconERROR"};
  // The volume icons, hidden as well.
  ui::Picture DiskHDD{*this, "DiskHDD"};
  ui::Picture DiskFlash{*this, "DiskFlash"};
  ui::Picture DiskEHDD{*this, "DiskEHDD"};

  // Timers, all created disabled.
  ui::Timer worknow{*this, "worknow"};
  ui::Timer DiskListRefresher{*this, "DiskListRefresher"};
  ui::Timer PlayWAV{*this, "PlayWAV"};
  ui::Timer turnoff{*this, "turnoff"};

  // State the window keeps for the life of the process.
  int16_t CurrentPage = 0;
  int16_t SoundPlayCount = 0;
  int16_t PowerOffCountdown = 20;
  engine::JobState job_state;
  engine::WorkingPage working_page;
  engine::JobEnvironment job;
  // A close that could not be refused arrived during a job: the window closes when it ends.
  bool close_after_job = false;

  // The page panel `n`.
  ui::Panel& Page(int n) { return win[n]; }
  // Option1 ... Option10 by number, 1-10.
  ui::OptionButton& OptionNumber(int n);
  // The selected overwrite method, 1-5, or 0 when none is.
  int SelectedMethod() const;
  // Whether a job runs: Next and Back are both hidden only then.
  bool JobRunning() const { return !Command1.Visible() && !Command2.Visible(); }

 private:
  void Design();
};

// Labels drawn as page headings and labels drawn as links, for the toolkit binding.
std::vector<std::string> HeadingLabels();
std::vector<std::string> LinkLabels();

}  // namespace nd::wizard

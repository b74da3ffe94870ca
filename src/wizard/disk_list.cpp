#include "wizard/disk_list.h"

#include <cctype>
#include <cmath>
#include <cstdio>
#include <iterator>

#include "engine/job_log.h"
#include "engine/usable_volumes.h"
#include "engine/work_folder.h"
#include "system/settings_keys.h"

namespace nd::wizard {
namespace {

constexpr int kMostTiles = 21;
constexpr double kLargeRemovable = 33'000'000'000.0;

std::string Upper(std::string text) {
  for (char& c : text) c = static_cast<char>(std::toupper(static_cast<unsigned char>(c)));
  return text;
}

bool StoredAsSelected(const Start& w, const std::string& letter) {
  return w.svc.context.settings.Get(kAppNdrf, settings::kDiskSelectionSection, letter) == "YES";
}

// Loads element `n` of `array` where needed and puts it one tile to the right of element n-1.
template <class T>
T& PlaceTile(ui::ControlArray<T>& array, int n, int step, bool shift) {
  array.Load(n);
  T& tile = array[n];
  T& first = array[0];
  tile.SetTop(first.Top());
  tile.SetWidth(first.Width());
  tile.SetHeight(first.Height());
  if (n > 0 && shift) tile.SetLeft(array[n - 1].Left() + step);
  return tile;
}

}  // namespace

std::string DiskIconFor(const VolumeInfo& volume) {
  switch (volume.DriveType) {
    case kDriveRemovable:
      return volume.TotalSize > kLargeRemovable ? "DiskEHDD" : "DiskFlash";
    case kDriveFixed:
    case kDriveNetwork:
      return "DiskHDD";
    default:
      return "";
  }
}

std::string VolumeSizeText(double bytes) {
  static const char* const kUnits[] = {"B", "kB", "MB", "GB", "TB", "PB", "EB"};
  if (!std::isfinite(bytes) || bytes < 0) bytes = 0;
  size_t unit = 0;
  // From 999.5 on the figure would round to four digits: the next unit reads "1.0".
  while (unit + 1 < std::size(kUnits) && bytes >= 999.5) {
    bytes /= 1000;
    ++unit;
  }
  char text[32];
  if (unit == 0 || bytes >= 9.95) {
    std::snprintf(text, sizeof text, "%.0f %s", bytes, kUnits[unit]);
  } else {
    std::snprintf(text, sizeof text, "%.1f %s", bytes, kUnits[unit]);
  }
  return text;
}

std::string DiskToolTip(const VolumeInfo& volume) {
  std::string text = volume.RootPath;
  if (!volume.VolumeName.empty()) text += "\n" + volume.VolumeName;
  text += "\n" + volume.FileSystem;
  if (volume.IsReady) text += ", " + VolumeSizeText(volume.TotalSize);
  return text;
}

void RefreshDiskList(Start& w) {
  const Environment& env = w.svc.context.env;
  engine::TraceStep(env, "DISKREFRESH0");
  std::vector<VolumeInfo> volumes = w.svc.volumes.Volumes();
  engine::TraceStep(env, "DISKREFRESH1");
  for (int i = 0; i < kMostTiles; ++i) {
    w.DiskSelect.Unload(i);
    w.DiskLabel.Unload(i);
    w.DiskImage.Unload(i);
    w.DiskImageSel.Unload(i);
  }
  engine::TraceStep(env, "DISKREFRESH2");
  const int step = w.Width() / 7;
  int n = -1;
  for (const VolumeInfo& volume : volumes) {
    if (!engine::IsUsableVolume(volume)) continue;
    ++n;
    std::string letter = Upper(volume.DriveLetter);
    bool selected = StoredAsSelected(w, letter);

    ui::Label& label = PlaceTile(w.DiskLabel, n, step, true);
    label.SetCaption(letter);
    label.SetToolTipText(DiskToolTip(volume));
    label.SetVisible(true);
    ui::CheckBox& select = PlaceTile(w.DiskSelect, n, step, false);
    select.SetLeft(w.DiskSelect[0].Left());
    select.SetValue(selected ? 1 : 0);
    ui::Picture& overlay = PlaceTile(w.DiskImageSel, n, step, true);
    overlay.SetPicture(selected ? w.IconOK.PictureName() : "");
    overlay.SetVisible(true);
    ui::Picture& image = PlaceTile(w.DiskImage, n, step, true);
    image.SetToolTipText(label.ToolTipText());
    image.SetVisible(true);
    std::string icon = DiskIconFor(volume);
    if (!icon.empty()) image.SetPicture(icon);
  }
  engine::TraceStep(env, "");
  engine::RemoveLeftoverWorkFolders(w.svc.context, w.svc.host, w.svc.volumes);
}

std::string SelectedDiskLetters(const Start& w) {
  std::string letters;
  for (int i : w.DiskSelect.Indices()) {
    if (w.DiskSelect[i].Value() == 1 && w.DiskLabel.Contains(i)) {
      letters += w.DiskLabel[i].Caption();
    }
  }
  return letters;
}

void DiskTile_Click(Start& w, int i) {
  if (!w.DiskSelect.Contains(i) || !w.DiskLabel.Contains(i)) return;
  ui::CheckBox& select = w.DiskSelect[i];
  const std::string& letter = w.DiskLabel[i].Caption();
  bool now_selected = select.Value() != 1;
  select.SetValue(now_selected ? 1 : 0);
  w.svc.context.settings.Save(kAppNdrf, settings::kDiskSelectionSection, letter,
                              now_selected ? "YES" : "");
  RefreshDiskList(w);
}

void DiskListRefresher_Timer(Start& w) {
  int usable = 0;
  for (const VolumeInfo& volume : w.svc.volumes.Volumes()) {
    if (engine::IsUsableVolume(volume)) ++usable;
  }
  if (usable != w.DiskSelect.UBound() + 1) RefreshDiskList(w);
}

}  // namespace nd::wizard

#include "ui/host.h"

namespace nd::ui {

MsgBoxResult DefaultAnswer(MsgBoxButtons buttons) {
  switch (buttons) {
    case MsgBoxButtons::kOk:
    case MsgBoxButtons::kOkCancel:
      return MsgBoxResult::kOk;
    case MsgBoxButtons::kYesNo:
    case MsgBoxButtons::kYesNoCancel:
      return MsgBoxResult::kYes;
    case MsgBoxButtons::kRetryCancel:
      return MsgBoxResult::kRetry;
    case MsgBoxButtons::kAbortRetryIgnore:
      return MsgBoxResult::kAbort;
  }
  return MsgBoxResult::kOk;
}

}  // namespace nd::ui

// How a toolkit binding keeps real widgets in step with the form model: it is told of every
// property that changes value and of control-array elements being loaded and unloaded.
#pragma once

namespace nd::ui {

class Control;
class Form;

enum class Property {
  kCaption,
  kToolTipText,
  kVisible,
  kEnabled,
  kFontCharset,
  kLeft,
  kTop,
  kWidth,
  kHeight,
  kParent,
  kValue,     // check box, option button, progress bar
  kMax,       // progress bar
  kPicture,   // picture
  kColumns,   // list view headers and widths
  kRows,      // list view texts
  kInterval,  // timer
  kClosed,    // window
};

// One observer serves a whole window (Form::SetObserver). Calls come after the new value is
// stored and before any event handler that the change fires. An observer only reads the model:
// changing it from inside a notification is not supported.
class ModelObserver {
 public:
  virtual ~ModelObserver() = default;
  virtual void ControlChanged(Control& control, Property property) = 0;
  // A loaded array element, already holding its copied properties.
  virtual void ControlLoaded(Control& /*control*/) {}
  // Called while the element still exists, just before it is destroyed.
  virtual void ControlUnloading(Control& /*control*/) {}
  virtual void FormChanged(Form& /*form*/, Property /*property*/) {}
  // The program asks for the keyboard focus to go to `control`.
  virtual void FocusRequested(Control& /*control*/) {}
};

}  // namespace nd::ui

#include "ui/wx/form_window.h"

#include <wx/app.h>
#include <wx/button.h>
#include <wx/checkbox.h>
#include <wx/dcclient.h>
#include <wx/filefn.h>
#include <wx/frame.h>
#include <wx/gauge.h>
#include <wx/generic/statbmpg.h>
#include <wx/generic/stattextg.h>
#include <wx/image.h>
#include <wx/listctrl.h>
#include <wx/log.h>
#include <wx/panel.h>
#include <wx/radiobut.h>
#include <wx/settings.h>
#include <wx/textctrl.h>

#include <algorithm>
#include <cmath>
#include <map>
#include <string>
#include <string_view>
#include <utility>
#include <vector>

#include "ui/form_model.h"
#include "ui/handler_scope.h"
#include "ui/text_wrap.h"
#include "ui/utf8.h"
#include "ui/wx/wx_timers.h"

namespace nd::ui::wx {

wxString ToolkitText(std::string_view utf8) {
  const std::string valid = ReplaceInvalidUtf8(utf8);
  return wxString::FromUTF8(valid.data(), valid.size());
}

namespace {

constexpr double kTwipsPerPixel = 15;
constexpr int kGaugeRange = 1000;
constexpr double kHeadingScale = 1.4;
const wxColour kLinkColour(0, 72, 168);

int Px(int twips) { return static_cast<int>(std::lround(twips / kTwipsPerPixel)); }

wxString Text(std::string_view utf8) { return ToolkitText(utf8); }

// Panels are not real windows (the background must show through them), so a control's place
// on the client area adds up the offsets of the panels around it.
wxRect PixelRect(const Control& control) {
  int left = 0;
  int top = 0;
  for (const Control* c = &control; c; c = c->Parent()) {
    left += c->Left();
    top += c->Top();
  }
  // GTK complains about empty widgets; a one-pixel one is as good as none.
  return {Px(left), Px(top), std::max(Px(control.Width()), 1), std::max(Px(control.Height()), 1)};
}

bool EnabledWithPanels(const Control& control) {
  for (const Control* c = &control; c; c = c->Parent()) {
    if (!c->Enabled()) return false;
  }
  return true;
}

std::string NameOf(const Control& control) {
  if (control.Index() < 0) return control.Name();
  return control.Name() + "(" + std::to_string(control.Index()) + ")";
}

// Whether a caption needs more room than its widget has. A label wraps at its width, so it
// overflows when the wrapped lines are taller than the label or one word is wider. Check boxes
// and option buttons wrap too and are measured with their indicator; a button keeps one line.
bool Overflows(wxWindow* widget) {
  const wxSize room = widget->GetSize();
  if (auto* label = dynamic_cast<wxGenericStaticText*>(widget)) {
    if (label->GetLabelText().empty()) return false;
    wxClientDC dc(label);
    dc.SetFont(label->GetFont());
    const wxSize need = dc.GetMultiLineTextExtent(label->GetLabelText());
    return need.x > room.x || need.y > room.y;
  }
  if (widget->GetLabel().empty()) return false;
  if (dynamic_cast<wxButton*>(widget)) return widget->GetBestSize().x > room.x;
  // The indicator's own frame may be taller than the box; the caption's lines must not be.
  wxClientDC dc(widget);
  dc.SetFont(widget->GetFont());
  const wxSize text = dc.GetMultiLineTextExtent(widget->GetLabel());
  return widget->GetBestSize().x > room.x || text.y > room.y;
}

// `text` broken into lines of at most `width` pixels in the widget's font.
wxString Wrapped(const wxWindow* widget, const std::string& text, int width) {
  return Text(WrapText(text, width, [widget](std::string_view piece) {
    return widget->GetTextExtent(Text(std::string(piece))).x;
  }));
}

bool Listed(const std::set<std::string>& names, const Control& control) {
  return names.contains(control.Name()) || names.contains(NameOf(control));
}

// Loads quietly: a missing picture leaves its place blank instead of raising a log window.
wxImage LoadImage(const std::string& path) {
  wxLogNull quiet;
  wxImage image;
  if (!path.empty() && wxFileExists(Text(path))) image.LoadFile(Text(path));
  return image;
}

// Pictures repeat (status icons on every volume row), so each file is decoded once.
const wxBitmap& CachedBitmap(const std::string& path) {
  static std::map<std::string, wxBitmap> cache;
  auto it = cache.find(path);
  if (it == cache.end()) {
    wxImage image = LoadImage(path);
    it = cache.emplace(path, image.IsOk() ? wxBitmap(image) : wxNullBitmap).first;
  }
  return it->second;
}

// What the frame needs from the window that owns it. The frame outlives its owner's interest in
// it (destruction is deferred), so every call goes through a pointer that the owner clears.
class FrameOwner {
 public:
  virtual void Clicked(wxWindow* widget) = 0;
  virtual void TextEdited(wxWindow* widget) = 0;
  virtual void CloseRequested(wxCloseEvent& event) = 0;
  virtual void RefreshAll() = 0;
  virtual void FrameGone() = 0;

 protected:
  ~FrameOwner() = default;
};

class FormFrame final : public wxFrame {
 public:
  FormFrame(FrameOwner* owner, const wxString& title, wxSize client_size) : owner_(owner) {
    Create(nullptr, wxID_ANY, title, wxDefaultPosition, wxDefaultSize,
           wxDEFAULT_FRAME_STYLE & ~(wxRESIZE_BORDER | wxMAXIMIZE_BOX));
    SetClientSize(client_size);
    Bind(wxEVT_CLOSE_WINDOW, &FormFrame::OnClose, this);
    Bind(wxEVT_TEXT, [this](wxCommandEvent& event) {
      auto* widget = dynamic_cast<wxWindow*>(event.GetEventObject());
      if (owner_ && widget) owner_->TextEdited(widget);
    });
    // Command events of the widgets bubble up to the frame.
    for (auto type : {wxEVT_BUTTON, wxEVT_CHECKBOX, wxEVT_RADIOBUTTON}) {
      Bind(type, [this](wxCommandEvent& event) {
        Click(dynamic_cast<wxWindow*>(event.GetEventObject()));
      });
    }
  }
  ~FormFrame() override {
    if (owner_) owner_->FrameGone();
  }

  void Click(wxWindow* widget) {
    if (owner_ && widget) owner_->Clicked(widget);
  }
  void RefreshAllLater() {
    CallAfter([this] {
      if (owner_) owner_->RefreshAll();
    });
  }

  // The model is done with a widget; it goes once no model code is running.
  void Retire(wxWindow* widget) {
    widget->Hide();
    retired_.push_back(widget);
  }
  // The model is done with the whole window.
  void Disown() {
    owner_ = nullptr;
    Hide();
  }

  void OnInternalIdle() override {
    wxFrame::OnInternalIdle();
    if (!HandlerScope::NoneRunning()) return;
    if (!owner_) {
      if (!IsBeingDeleted()) Destroy();
      return;
    }
    for (wxWindow* widget : retired_) widget->Destroy();
    retired_.clear();
  }

 private:
  void OnClose(wxCloseEvent& event) {
    if (owner_) {
      owner_->CloseRequested(event);
    } else {
      event.Skip();
    }
  }

  FrameOwner* owner_;
  std::vector<wxWindow*> retired_;
};

// The client area: paints the background picture, and every widget of the form is its child.
class Backdrop final : public wxPanel {
 public:
  Backdrop(wxWindow* parent, wxSize size, const wxImage& image) {
    SetBackgroundStyle(wxBG_STYLE_PAINT);
    Create(parent, wxID_ANY, wxPoint(0, 0), size, wxTAB_TRAVERSAL | wxBORDER_NONE);
    if (image.IsOk()) {
      bitmap_ = wxBitmap(image.Scale(size.x, size.y, wxIMAGE_QUALITY_HIGH));
    }
    Bind(wxEVT_PAINT, &Backdrop::OnPaint, this);
  }

 private:
  void OnPaint(wxPaintEvent& /*event*/) {
    wxPaintDC dc(this);
    if (bitmap_.IsOk()) {
      dc.DrawBitmap(bitmap_, 0, 0);
    } else {
      dc.SetBackground(wxBrush(GetBackgroundColour()));
      dc.Clear();
    }
  }

  wxBitmap bitmap_;
};

std::vector<FormWindow*>& LiveWindows() {
  static std::vector<FormWindow*> windows;
  return windows;
}

}  // namespace

class FormWindow::Impl final : public ModelObserver, public TimerScheduler, public FrameOwner {
 public:
  Impl(Form& form, WindowOptions options) : form_(&form), options_(std::move(options)) {
    if (!wxImage::FindHandler(wxBITMAP_TYPE_JPEG)) wxInitAllImageHandlers();
    if (!options_.background_file.empty()) {
      background_ = LoadImage(options_.background_file);
      background_loaded_ = background_.IsOk();
    }
    form.SetObserver(this);
    form.SetScheduler(this);
    if (form.IsClosed()) return;
    if (form.Visible()) ShowFrame(true);
    for (Timer* timer : form.Timers()) TimerChanged(*timer);
  }

  ~Impl() override {
    if (form_) {
      if (form_->Observer() == this) form_->SetObserver(nullptr);
      if (form_->Scheduler() == this) form_->SetScheduler(nullptr);
    }
    timers_.StopAll();
    DropFrame();
  }

  bool BackgroundLoaded() const { return background_loaded_; }
  wxFrame* Frame() const { return frame_; }
  Form* Model() const { return form_; }

  void Shutdown() {
    shut_down_ = true;
    timers_.StopAll();
    DropFrame();
  }

  // ModelObserver
  void ControlChanged(Control& control, Property property) override {
    if (!frame_) return;
    if (dynamic_cast<Panel*>(&control)) {
      // Geometry, visibility and enabled state of everything inside may have changed with it.
      RefreshAll();
      return;
    }
    auto it = widgets_.find(&control);
    if (it == widgets_.end()) {
      CreateWidget(control);
      return;
    }
    wxWindow* widget = it->second.window;
    switch (property) {
      case Property::kCaption:
        ApplyCaption(control, widget);
        break;
      case Property::kToolTipText:
        ApplyToolTip(control, widget);
        break;
      case Property::kVisible:
      case Property::kEnabled:
        ApplyState(control, it->second);
        break;
      case Property::kLeft:
      case Property::kTop:
      case Property::kWidth:
      case Property::kHeight:
      case Property::kParent:
        ApplyGeometry(control, widget);
        ApplyState(control, it->second);
        break;
      case Property::kValue:
      case Property::kMax:
        ApplyValue(control, it->second);
        break;
      case Property::kPicture:
        ApplyPicture(control, widget);
        break;
      case Property::kColumns:
        ApplyColumns(control, widget);
        break;
      case Property::kRows:
        ApplyRows(control, widget);
        break;
      case Property::kFontCharset:
      case Property::kInterval:
      case Property::kClosed:
        break;
    }
  }

  void ControlLoaded(Control& control) override {
    if (frame_) CreateWidget(control);
  }

  void ControlUnloading(Control& control) override {
    if (!frame_) return;
    auto it = widgets_.find(&control);
    if (it != widgets_.end()) {
      frame_->Retire(it->second.window);
      if (it->second.deselected) frame_->Retire(it->second.deselected);
      widgets_.erase(it);
    }
    // The form moves the controls of a vanishing panel onto the window itself, silently and
    // only after this call.
    if (dynamic_cast<Panel*>(&control)) frame_->RefreshAllLater();
  }

  void FormChanged(Form& form, Property property) override {
    switch (property) {
      case Property::kCaption:
        if (frame_) frame_->SetTitle(Text(form.Caption()));
        break;
      case Property::kVisible:
        ShowFrame(form.Visible());
        break;
      case Property::kClosed:
        if (form.IsClosed()) {
          timers_.StopAll();
          DropFrame();
        } else {
          for (Timer* timer : form.Timers()) TimerChanged(*timer);
        }
        break;
      default:
        break;
    }
  }

  // TimerScheduler
  void TimerChanged(Timer& timer) override {
    if (!form_ || form_->IsClosed() || shut_down_) {
      timers_.Stop(timer);
    } else {
      timers_.Restart(timer);
    }
  }
  void TimerRemoved(Timer& timer) override { timers_.Stop(timer); }
  void FormDestroyed(Form& /*form*/) override {
    timers_.StopAll();
    DropFrame();
    form_ = nullptr;
  }

  // FrameOwner
  void Clicked(wxWindow* widget) override {
    auto* clickable = dynamic_cast<ClickableControl*>(ControlOf(widget));
    if (!clickable) return;
    {
      HandlerScope scope;
      clickable->UserClick();
    }
    // The toolkit has already toggled the widget, but the model decides what it shows; the
    // handler may also have unloaded the control or closed the window meanwhile.
    if (Control* control = ControlOf(widget)) ApplyValue(*control, widgets_[control]);
  }

  void TextEdited(wxWindow* widget) override {
    auto* box = dynamic_cast<TextBox*>(ControlOf(widget));
    if (!box) return;
    HandlerScope scope;
    box->SetText(static_cast<wxTextCtrl*>(widget)->GetValue().utf8_string());
  }

  void FocusRequested(Control& control) override {
    auto it = widgets_.find(&control);
    if (it != widgets_.end()) it->second.window->SetFocus();
  }

  void CloseRequested(wxCloseEvent& event) override {
    if (!form_) {
      event.Skip();
      return;
    }
    CloseReason reason = event.CanVeto() ? CloseReason::kUserClose : CloseReason::kSessionEnding;
    bool closed;
    {
      HandlerScope scope;
      closed = form_->Close(reason);
    }
    // A refusal that cannot be vetoed leaves the frame up; the program closes it itself later.
    if (!closed && event.CanVeto()) event.Veto();
  }

  void RefreshAll() override {
    for (auto& [control, widget] : widgets_) {
      ApplyGeometry(*control, widget.window);
      ApplyState(*control, widget);
    }
  }

  void FrameGone() override {
    frame_ = nullptr;
    backdrop_ = nullptr;
    widgets_.clear();
  }

 private:
  struct Widget {
    wxWindow* window = nullptr;
    // An option button's hidden partner: GTK cannot clear a lone radio button, so the model's
    // "not selected" selects this one instead.
    wxRadioButton* deselected = nullptr;
  };

  void ShowFrame(bool show) {
    if (show && !frame_ && form_ && !form_->IsClosed() && !shut_down_) BuildFrame();
    if (!frame_) return;
    if (show) {
      frame_->Show();
      frame_->Raise();
    } else {
      frame_->Hide();
    }
  }

  void BuildFrame() {
    wxSize size(Px(options_.client_width_twips), Px(options_.client_height_twips));
    frame_ = new FormFrame(this, Text(form_->Caption()), size);
    backdrop_ = new Backdrop(frame_, size, background_);
    for (Control* control : form_->Controls()) CreateWidget(*control);
    frame_->Centre();
  }

  // The frame goes once no model code is on the stack (it may be closing from its own button).
  void DropFrame() {
    if (!frame_) return;
    frame_->Disown();
    FrameGone();
  }

  Control* ControlOf(wxWindow* window) const {
    for (const auto& [control, widget] : widgets_) {
      if (widget.window == window) return control;
    }
    return nullptr;
  }

  void CreateWidget(Control& control) {
    if (!backdrop_ || widgets_.contains(&control)) return;
    const wxRect rect = PixelRect(control);
    const wxPoint pos = rect.GetPosition();
    const wxSize size = rect.GetSize();
    Widget widget;
    if (dynamic_cast<Label*>(&control)) {
      widget.window = CreateLabel(control, rect);
    } else if (dynamic_cast<CommandButton*>(&control)) {
      widget.window = new wxButton(backdrop_, wxID_ANY, wxString(), pos, size);
    } else if (dynamic_cast<CheckBox*>(&control)) {
      widget.window = new wxCheckBox(backdrop_, wxID_ANY, wxString(), pos, size);
    } else if (dynamic_cast<OptionButton*>(&control)) {
      // The partner must come first: a radio button joins the group of the one made before it.
      widget.deselected =
          new wxRadioButton(backdrop_, wxID_ANY, wxString(), pos, wxSize(1, 1), wxRB_GROUP);
      widget.deselected->Hide();
      widget.window = new wxRadioButton(backdrop_, wxID_ANY, wxString(), pos, size);
    } else if (dynamic_cast<TextBox*>(&control)) {
      widget.window = new wxTextCtrl(backdrop_, wxID_ANY, wxString(), pos, size);
    } else if (dynamic_cast<Picture*>(&control)) {
      widget.window = CreatePicture(rect);
    } else if (dynamic_cast<ProgressBar*>(&control)) {
      widget.window =
          new wxGauge(backdrop_, wxID_ANY, kGaugeRange, pos, size, wxGA_HORIZONTAL | wxGA_SMOOTH);
    } else if (dynamic_cast<ListView*>(&control)) {
      widget.window = new wxListCtrl(backdrop_, wxID_ANY, pos, size,
                                     wxLC_REPORT | wxLC_SINGLE_SEL | wxBORDER_THEME);
    } else {
      return;  // panels and timers have no widget of their own
    }
    widgets_[&control] = widget;
    ApplyCaption(control, widget.window);
    ApplyToolTip(control, widget.window);
    ApplyValue(control, widget);
    ApplyPicture(control, widget.window);
    ApplyColumns(control, widget.window);
    ApplyState(control, widget);
  }

  wxWindow* CreateLabel(const Control& control, const wxRect& rect) {
    auto* label = new wxGenericStaticText(backdrop_, wxID_ANY, wxString(), rect.GetPosition(),
                                          rect.GetSize(), wxST_NO_AUTORESIZE);
    wxFont font = wxSystemSettings::GetFont(wxSYS_DEFAULT_GUI_FONT);
    if (Listed(options_.heading_labels, control)) {
      font.SetFractionalPointSize(font.GetFractionalPointSize() * kHeadingScale);
      font.MakeBold();
    }
    if (Listed(options_.link_labels, control)) {
      font.MakeUnderlined();
      label->SetForegroundColour(kLinkColour);
      label->SetCursor(wxCursor(wxCURSOR_HAND));
    }
    label->SetFont(font);
    BindMouseClick(label);
    return label;
  }

  wxWindow* CreatePicture(const wxRect& rect) {
    auto* picture = new wxGenericStaticBitmap(backdrop_, wxID_ANY, wxNullBitmap, rect.GetPosition(),
                                              rect.GetSize());
    BindMouseClick(picture);
    return picture;
  }

  // Static texts and pictures have no click event of their own. The pointer grab sends the
  // release to the window that saw the press, so a release inside it completes a click.
  void BindMouseClick(wxWindow* widget) {
    FormFrame* frame = frame_;
    widget->Bind(wxEVT_LEFT_UP, [frame, widget](wxMouseEvent& event) {
      event.Skip();
      if (wxRect(widget->GetClientSize()).Contains(event.GetPosition())) frame->Click(widget);
    });
  }

  void ApplyToolTip(const Control& control, wxWindow* widget) {
    if (control.ToolTipText().empty()) {
      widget->UnsetToolTip();
    } else {
      widget->SetToolTip(Text(control.ToolTipText()));
    }
  }

  void ApplyCaption(const Control& control, wxWindow* widget) {
    const wxString caption = Text(control.Caption());
    if (auto* label = dynamic_cast<wxGenericStaticText*>(widget)) {
      // Labels show "&" as it is; wrapping inserts line breaks, so it starts from the full text.
      label->SetLabelText(Wrapped(label, control.Caption(), widget->GetSize().x));
      label->Refresh();
    } else if (auto* box = dynamic_cast<wxTextCtrl*>(widget)) {
      // ChangeValue sends no text event back to the model.
      if (box->GetValue() != caption) box->ChangeValue(caption);
      return;
    } else if (dynamic_cast<wxCheckBox*>(widget) || dynamic_cast<wxRadioButton*>(widget)) {
      // Like labels, they wrap their caption within their box, beside the indicator.
      if (widget->GetLabel() != caption) widget->SetLabel(caption);
      widget->InvalidateBestSize();
      const int width = widget->GetSize().x;
      if (widget->GetBestSize().x > width) {
        const int room = width - (widget->GetBestSize().x - widget->GetTextExtent(caption).x);
        widget->SetLabel(Wrapped(widget, control.Caption(), room));
        widget->InvalidateBestSize();
      }
    } else if (dynamic_cast<wxButton*>(widget)) {
      if (widget->GetLabel() != caption) widget->SetLabel(caption);
    } else {
      return;
    }
    if (options_.overflow && Overflows(widget))
      options_.overflow(NameOf(control), control.Caption());
  }

  void ApplyState(const Control& control, const Widget& widget) {
    widget.window->Show(control.IsShown());
    widget.window->Enable(EnabledWithPanels(control));
  }

  void ApplyGeometry(const Control& control, wxWindow* widget) {
    const wxRect rect = PixelRect(control);
    if (widget->GetRect() == rect) return;
    const bool rewrap = widget->GetSize().x != rect.width;
    widget->SetSize(rect);
    if (rewrap && dynamic_cast<wxGenericStaticText*>(widget)) ApplyCaption(control, widget);
  }

  void ApplyValue(const Control& control, const Widget& widget) {
    if (const auto* check = dynamic_cast<const CheckBox*>(&control)) {
      static_cast<wxCheckBox*>(widget.window)->SetValue(check->Value() != 0);
    } else if (const auto* option = dynamic_cast<const OptionButton*>(&control)) {
      if (option->Value()) {
        static_cast<wxRadioButton*>(widget.window)->SetValue(true);
      } else {
        widget.deselected->SetValue(true);
      }
    } else if (const auto* bar = dynamic_cast<const ProgressBar*>(&control)) {
      auto* gauge = static_cast<wxGauge*>(widget.window);
      const int value = static_cast<int>(std::lround(bar->Fraction() * kGaugeRange));
      if (gauge->GetValue() != value) gauge->SetValue(value);
    }
  }

  void ApplyPicture(const Control& control, wxWindow* widget) {
    const auto* picture = dynamic_cast<const Picture*>(&control);
    if (!picture) return;
    std::string path;
    if (!picture->PictureName().empty() && options_.pictures) {
      path = options_.pictures(picture->PictureName());
    }
    const wxBitmap& bitmap = CachedBitmap(path);
    const wxSize room = widget->GetSize();
    if (bitmap.IsOk() && (bitmap.GetWidth() > room.x || bitmap.GetHeight() > room.y)) {
      const double scale = std::min(static_cast<double>(room.x) / bitmap.GetWidth(),
                                    static_cast<double>(room.y) / bitmap.GetHeight());
      wxImage image = bitmap.ConvertToImage().Scale(
          std::max(1, static_cast<int>(bitmap.GetWidth() * scale)),
          std::max(1, static_cast<int>(bitmap.GetHeight() * scale)), wxIMAGE_QUALITY_HIGH);
      static_cast<wxGenericStaticBitmap*>(widget)->SetBitmap(wxBitmap(image));
    } else {
      static_cast<wxGenericStaticBitmap*>(widget)->SetBitmap(bitmap);
    }
    widget->Refresh();
  }

  void ApplyColumns(const Control& control, wxWindow* widget) {
    const auto* view = dynamic_cast<const ListView*>(&control);
    if (!view) return;
    auto* list = static_cast<wxListCtrl*>(widget);
    std::vector<ListColumn> columns = view->Columns();
    // A report list without columns cannot hold rows; one unnamed column spans the list.
    if (columns.empty()) {
      columns.push_back({"", control.Width()});
    }
    bool same_headers = list->GetColumnCount() == static_cast<int>(columns.size());
    for (int i = 0; same_headers && i < list->GetColumnCount(); ++i) {
      wxListItem item;
      item.SetMask(wxLIST_MASK_TEXT);
      list->GetColumn(i, item);
      same_headers = item.GetText() == Text(columns[i].header);
    }
    if (same_headers) {
      for (int i = 0; i < list->GetColumnCount(); ++i) {
        if (list->GetColumnWidth(i) != Px(columns[i].width)) {
          list->SetColumnWidth(i, Px(columns[i].width));
        }
      }
      return;
    }
    list->ClearAll();
    for (size_t i = 0; i < columns.size(); ++i) {
      list->InsertColumn(static_cast<long>(i), Text(columns[i].header), wxLIST_FORMAT_LEFT,
                         Px(columns[i].width));
    }
    ApplyRows(control, widget);
  }

  void ApplyRows(const Control& control, wxWindow* widget) {
    const auto* view = dynamic_cast<const ListView*>(&control);
    if (!view) return;
    auto* list = static_cast<wxListCtrl*>(widget);
    const int rows = view->RowCount();
    const int columns = list->GetColumnCount();
    while (list->GetItemCount() > rows) list->DeleteItem(list->GetItemCount() - 1);
    // Rows usually change one cell or one appended row at a time: only differences are applied.
    for (int row = 0; row < rows; ++row) {
      if (row >= list->GetItemCount()) list->InsertItem(row, Text(view->Text(row, 0)));
      for (int column = 0; column < columns; ++column) {
        const wxString text = Text(view->Text(row, column));
        if (list->GetItemText(row, column) != text) list->SetItem(row, column, text);
      }
    }
  }

  Form* form_;
  WindowOptions options_;
  wxImage background_;
  bool background_loaded_ = true;
  bool shut_down_ = false;
  FormFrame* frame_ = nullptr;
  Backdrop* backdrop_ = nullptr;
  std::map<Control*, Widget> widgets_;
  TimerRunner timers_;
};

FormWindow::FormWindow(Form& form, WindowOptions options)
    : impl_(std::make_unique<Impl>(form, std::move(options))) {
  LiveWindows().push_back(this);
}

FormWindow::~FormWindow() { std::erase(LiveWindows(), this); }

bool FormWindow::BackgroundLoaded() const { return impl_->BackgroundLoaded(); }
wxFrame* FormWindow::Frame() const { return impl_->Frame(); }
Form* FormWindow::Model() const { return impl_->Model(); }
void FormWindow::Shutdown() { impl_->Shutdown(); }
std::vector<FormWindow*> FormWindow::All() { return LiveWindows(); }

}  // namespace nd::ui::wx

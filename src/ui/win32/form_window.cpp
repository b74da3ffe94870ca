#include "ui/win32/form_window.h"

#include <commctrl.h>

#include <algorithm>
#include <cmath>
#include <map>
#include <string>
#include <string_view>
#include <tuple>
#include <utility>
#include <vector>

#include "engine/standby.h"
#include "platform/windows/win_text.h"
#include "ui/font_charset.h"
#include "ui/form_model.h"
#include "ui/handler_scope.h"
#include "ui/pixel_layout.h"
#include "ui/text_wrap.h"
#include "ui/utf8.h"
#include "ui/win32/images.h"
#include "ui/win32/win32_timers.h"

namespace nd::ui::win32 {
namespace {

constexpr wchar_t kFrameClass[] = L"NulldriftForm";
constexpr wchar_t kPictureClass[] = L"NulldriftPicture";
constexpr int kGaugeRange = 1000;
constexpr double kHeadingScale = 1.4;
constexpr COLORREF kLinkColour = RGB(0, 72, 168);
// The program's icon in its resources.
constexpr int kIconResource = 1;

// A text of the model as the W functions take it. Broken bytes (a volume label can hold any)
// become U+FFFD, or the whole text would vanish.
std::wstring Wide(std::string_view utf8) { return platform::win::Widen(ReplaceInvalidUtf8(utf8)); }

// Line breaks as the controls draw them.
std::wstring WideLines(std::string_view utf8) {
  std::wstring text;
  for (wchar_t c : Wide(utf8)) {
    if (c == L'\n') text += L'\r';
    text += c;
  }
  return text;
}

std::string NameOf(const Control& control) {
  if (control.Index() < 0) return control.Name();
  return control.Name() + "(" + std::to_string(control.Index()) + ")";
}

bool Listed(const std::set<std::string>& names, const Control& control) {
  return names.contains(control.Name()) || names.contains(NameOf(control));
}

bool EnabledWithPanels(const Control& control) {
  for (const Control* c = &control; c; c = c->Parent()) {
    if (!c->Enabled()) return false;
  }
  return true;
}

int ScreenDpi() {
  HDC screen = ::GetDC(nullptr);
  const int dpi = ::GetDeviceCaps(screen, LOGPIXELSY);
  ::ReleaseDC(nullptr, screen);
  return dpi > 0 ? dpi : kStandardDpi;
}

HINSTANCE Instance() { return ::GetModuleHandleW(nullptr); }

bool g_busy = false;

// Windows and controls that the model is done with; they go once no model code is running,
// since the system may still be inside the very message that dropped them.
std::vector<HWND>& Retired() {
  static std::vector<HWND> retired;
  return retired;
}

void Retire(HWND window) {
  ::ShowWindow(window, SW_HIDE);
  Retired().push_back(window);
}

// The message font of the system in the control's character set, and larger and bold for
// headings, underlined for links. Fonts are shared by every control that looks the same.
class FontCache {
 public:
  ~FontCache() {
    for (auto& [key, font] : fonts_) ::DeleteObject(font);
  }

  HFONT Get(uint8_t charset, bool heading, bool link, int dpi) {
    const auto key = std::make_tuple(charset, heading, link, dpi);
    auto it = fonts_.find(key);
    if (it != fonts_.end()) return it->second;
    NONCLIENTMETRICSW metrics{};
    metrics.cbSize = sizeof metrics;
    ::SystemParametersInfoW(SPI_GETNONCLIENTMETRICS, sizeof metrics, &metrics, 0);
    LOGFONTW font = metrics.lfMessageFont;
    if (font.lfHeight == 0) font.lfHeight = -::MulDiv(8, dpi, 72);
    font.lfCharSet = charset;
    if (heading) {
      font.lfHeight = static_cast<LONG>(std::lround(font.lfHeight * kHeadingScale));
      font.lfWeight = FW_BOLD;
    }
    if (link) font.lfUnderline = TRUE;
    font.lfQuality = CLEARTYPE_QUALITY;
    HFONT made = ::CreateFontIndirectW(&font);
    fonts_[key] = made;
    return made;
  }

 private:
  std::map<std::tuple<uint8_t, bool, bool, int>, HFONT> fonts_;
};

FontCache& Fonts() {
  static FontCache fonts;
  return fonts;
}

// The size of `text` in `font` as DrawText lays it out within `width` (0: one line per line).
SIZE TextSize(HFONT font, const std::wstring& text, int width) {
  HDC dc = ::GetDC(nullptr);
  HGDIOBJ old = ::SelectObject(dc, font);
  RECT rect{0, 0, width > 0 ? width : 0, 0};
  UINT flags = DT_CALCRECT | DT_NOPREFIX | DT_EXPANDTABS;
  if (width > 0) flags |= DT_WORDBREAK;
  ::DrawTextW(dc, text.empty() ? L" " : text.c_str(), -1, &rect, flags);
  ::SelectObject(dc, old);
  ::ReleaseDC(nullptr, dc);
  return {rect.right - rect.left, rect.bottom - rect.top};
}

// `text` broken into lines of at most `width` pixels in `font`.
std::string Wrapped(HFONT font, const std::string& text, int width) {
  return WrapText(text, width,
                  [font](std::string_view piece) { return TextSize(font, Wide(piece), 0).cx; });
}

std::vector<FormWindow*>& LiveWindows() {
  static std::vector<FormWindow*> windows;
  return windows;
}

}  // namespace

class FormWindow::Impl final : public ModelObserver, public TimerScheduler {
 public:
  Impl(Form& form, WindowOptions options) : form_(&form), options_(std::move(options)) {
    static const bool registered = RegisterClasses();
    static_cast<void>(registered);
    dpi_ = ScreenDpi();
    if (!options_.background_file.empty()) {
      background_loaded_ = CachedImage(options_.background_file).Ok();
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
  HWND Frame() const { return frame_; }
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
    Widget& widget = it->second;
    switch (property) {
      case Property::kCaption:
        ApplyCaption(control, widget);
        break;
      case Property::kToolTipText:
        ApplyToolTip(control, widget);
        break;
      case Property::kVisible:
      case Property::kEnabled:
        ApplyState(control, widget);
        break;
      case Property::kLeft:
      case Property::kTop:
      case Property::kWidth:
      case Property::kHeight:
      case Property::kParent:
        ApplyGeometry(control, widget);
        ApplyState(control, widget);
        break;
      case Property::kValue:
      case Property::kMax:
        ApplyValue(control, widget);
        break;
      case Property::kPicture:
        ::InvalidateRect(widget.hwnd, nullptr, TRUE);
        break;
      case Property::kColumns:
        ApplyColumns(control, widget);
        break;
      case Property::kRows:
        ApplyRows(control, widget);
        break;
      case Property::kFontCharset:
        ApplyFont(control, widget);
        ApplyCaption(control, widget);
        break;
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
      RemoveToolTip(it->second.hwnd);
      controls_.erase(it->second.hwnd);
      Retire(it->second.hwnd);
      widgets_.erase(it);
    }
    // The form moves the controls of a vanishing panel onto the window itself, silently and
    // only after this call.
    if (dynamic_cast<Panel*>(&control)) ::PostMessageW(frame_, kRefreshMessage, 0, 0);
  }

  void FormChanged(Form& form, Property property) override {
    switch (property) {
      case Property::kCaption:
        if (frame_) ::SetWindowTextW(frame_, Wide(form.Caption()).c_str());
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

  void FocusRequested(Control& control) override {
    auto it = widgets_.find(&control);
    if (it != widgets_.end()) ::SetFocus(it->second.hwnd);
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

  static LRESULT CALLBACK FrameProc(HWND hwnd, UINT message, WPARAM wparam, LPARAM lparam) {
    auto* self = reinterpret_cast<Impl*>(::GetWindowLongPtrW(hwnd, GWLP_USERDATA));
    if (!self) {
      // A dropped frame waits hidden for its destruction and answers nothing itself.
      if (message == WM_CLOSE) return 0;
      return ::DefWindowProcW(hwnd, message, wparam, lparam);
    }
    return self->Handle(message, wparam, lparam);
  }

  static LRESULT CALLBACK PictureProc(HWND hwnd, UINT message, WPARAM wparam, LPARAM lparam) {
    auto* self = reinterpret_cast<Impl*>(::GetWindowLongPtrW(::GetParent(hwnd), GWLP_USERDATA));
    switch (message) {
      case WM_ERASEBKGND:
        return 1;
      case WM_PAINT: {
        PAINTSTRUCT paint;
        HDC dc = ::BeginPaint(hwnd, &paint);
        if (self) self->PaintPicture(hwnd, dc);
        ::EndPaint(hwnd, &paint);
        return 0;
      }
      case WM_LBUTTONDOWN:
        ::SetCapture(hwnd);
        return 0;
      case WM_LBUTTONUP: {
        if (::GetCapture() != hwnd) return 0;
        ::ReleaseCapture();
        RECT room;
        ::GetClientRect(hwnd, &room);
        const POINT at{static_cast<short>(LOWORD(lparam)), static_cast<short>(HIWORD(lparam))};
        if (self && ::PtInRect(&room, at)) self->Clicked(hwnd);
        return 0;
      }
      default:
        return ::DefWindowProcW(hwnd, message, wparam, lparam);
    }
  }

  static bool RegisterClasses() {
    WNDCLASSEXW frame{};
    frame.cbSize = sizeof frame;
    frame.lpfnWndProc = &FrameProc;
    frame.hInstance = Instance();
    frame.hIcon = ::LoadIconW(Instance(), MAKEINTRESOURCEW(kIconResource));
    frame.hIconSm = frame.hIcon;
    frame.hCursor = ::LoadCursorW(nullptr, IDC_ARROW);
    frame.lpszClassName = kFrameClass;
    WNDCLASSEXW picture{};
    picture.cbSize = sizeof picture;
    picture.lpfnWndProc = &PictureProc;
    picture.hInstance = Instance();
    picture.hCursor = ::LoadCursorW(nullptr, IDC_ARROW);
    picture.lpszClassName = kPictureClass;
    return ::RegisterClassExW(&frame) != 0 && ::RegisterClassExW(&picture) != 0;
  }

 private:
  static constexpr UINT kRefreshMessage = WM_APP + 1;

  struct Widget {
    HWND hwnd = nullptr;
    // What the list shows, so that only differences are sent to it.
    std::vector<std::vector<std::string>> rows;
    std::vector<ListColumn> columns;
  };

  LRESULT Handle(UINT message, WPARAM wparam, LPARAM lparam) {
    switch (message) {
      case WM_COMMAND:
        Command(reinterpret_cast<HWND>(lparam), HIWORD(wparam));
        return 0;
      case WM_NOTIFY:
        return Notify(*reinterpret_cast<NMHDR*>(lparam));
      case WM_CTLCOLORSTATIC:
      case WM_CTLCOLORBTN:
        return ControlColour(reinterpret_cast<HDC>(wparam), reinterpret_cast<HWND>(lparam));
      case WM_ERASEBKGND:
        PaintBackground(reinterpret_cast<HDC>(wparam));
        return 1;
      case WM_PRINTCLIENT:
        PaintBackground(reinterpret_cast<HDC>(wparam));
        return 0;
      case WM_SETCURSOR:
        if (SetCursorFor(reinterpret_cast<HWND>(wparam))) return TRUE;
        break;
      case WM_CLOSE:
        CloseRequested();
        return 0;
      case WM_QUERYENDSESSION:
        return SessionMayEnd() ? TRUE : FALSE;
      case WM_ENDSESSION:
        if (wparam) SessionEnds();
        return 0;
      case WM_POWER:
      case WM_POWERBROADCAST: {
        // The normal handling first, for every power message; only the suspend query gets
        // another answer, and only while the job refuses suspend.
        const LRESULT normal = ::DefWindowProcW(frame_, message, wparam, lparam);
        const auto refusal = engine::SuspendRefusal(message, wparam);
        if (refusal && options_.refuse_suspend && options_.refuse_suspend()) {
          return static_cast<LRESULT>(*refusal);
        }
        return normal;
      }
      case kRefreshMessage:
        RefreshAll();
        return 0;
      case WM_DESTROY:
        FrameGone();
        return 0;
      default:
        break;
    }
    return ::DefWindowProcW(frame_, message, wparam, lparam);
  }

  void Command(HWND child, WORD code) {
    if (!child) return;
    if (code == BN_CLICKED) {  // also STN_CLICKED of the labels
      Clicked(child);
    } else if (code == EN_CHANGE && !setting_text_) {
      TextEdited(child);
    }
  }

  LRESULT Notify(const NMHDR& header) {
    // The columns stay as the program set them: no resizing by dragging or double-clicking.
    switch (header.code) {
      case HDN_BEGINTRACKW:
      case HDN_BEGINTRACKA:
      case HDN_DIVIDERDBLCLICKW:
      case HDN_DIVIDERDBLCLICKA:
        return TRUE;
      default:
        return 0;
    }
  }

  void Clicked(HWND child) {
    auto* clickable = dynamic_cast<ClickableControl*>(ControlOf(child));
    if (!clickable) return;
    {
      HandlerScope scope;
      clickable->UserClick();
    }
    // The model decides what the control shows; the handler may also have unloaded the control
    // or closed the window meanwhile.
    if (Control* control = ControlOf(child)) ApplyValue(*control, widgets_[control]);
  }

  void TextEdited(HWND child) {
    auto* box = dynamic_cast<TextBox*>(ControlOf(child));
    if (!box) return;
    const int length = ::GetWindowTextLengthW(child);
    std::wstring text(static_cast<size_t>(length) + 1, L'\0');
    ::GetWindowTextW(child, text.data(), length + 1);
    text.resize(static_cast<size_t>(length));
    HandlerScope scope;
    box->SetText(platform::win::Narrow(text));
  }

  void CloseRequested() {
    if (!form_) return;
    HandlerScope scope;
    form_->Close(CloseReason::kUserClose);
  }

  // The session asks whether it may end. The form closes as for the end of the session; a job
  // that runs stops first and deletes what it wrote, and until it has, the session waits.
  bool SessionMayEnd() {
    if (!form_ || form_->IsClosed()) return true;
    bool closed;
    {
      HandlerScope scope;
      closed = form_->Close(CloseReason::kSessionEnding);
    }
    if (!closed && frame_) {
      ::ShutdownBlockReasonCreate(frame_, L"Deleting the files of the stopped cleaning job");
    }
    return closed;
  }

  // The session ends once this returns: whatever is still open closes now.
  void SessionEnds() {
    if (!form_ || form_->IsClosed()) return;
    HandlerScope scope;
    form_->Close(CloseReason::kSessionEnding);
  }

  bool SetCursorFor(HWND child) {
    if (g_busy) {
      ::SetCursor(::LoadCursorW(nullptr, IDC_WAIT));
      return true;
    }
    Control* control = ControlOf(child);
    if (control && Listed(options_.link_labels, *control) && EnabledWithPanels(*control)) {
      ::SetCursor(::LoadCursorW(nullptr, IDC_HAND));
      return true;
    }
    return false;
  }

  // Texts, check boxes and option buttons are drawn over the background picture: their
  // background is the picture's piece behind them.
  LRESULT ControlColour(HDC dc, HWND child) {
    ::SetBkMode(dc, TRANSPARENT);
    Control* control = ControlOf(child);
    if (control && Listed(options_.link_labels, *control)) ::SetTextColor(dc, kLinkColour);
    if (!background_brush_) return reinterpret_cast<LRESULT>(::GetSysColorBrush(COLOR_BTNFACE));
    RECT rect;
    ::GetWindowRect(child, &rect);
    ::MapWindowPoints(nullptr, frame_, reinterpret_cast<POINT*>(&rect), 2);
    ::SetBrushOrgEx(dc, -rect.left, -rect.top, nullptr);
    return reinterpret_cast<LRESULT>(background_brush_);
  }

  void PaintBackground(HDC dc) {
    RECT room;
    ::GetClientRect(frame_, &room);
    if (background_bitmap_) {
      HDC source = ::CreateCompatibleDC(dc);
      HGDIOBJ old = ::SelectObject(source, background_bitmap_);
      ::BitBlt(dc, 0, 0, room.right, room.bottom, source, 0, 0, SRCCOPY);
      ::SelectObject(source, old);
      ::DeleteDC(source);
    } else {
      ::FillRect(dc, &room, ::GetSysColorBrush(COLOR_BTNFACE));
    }
  }

  void PaintPicture(HWND hwnd, HDC dc) {
    RECT room;
    ::GetClientRect(hwnd, &room);
    // Off screen first, so that the picture does not flicker over its background.
    HDC buffer = ::CreateCompatibleDC(dc);
    HBITMAP bitmap =
        ::CreateCompatibleBitmap(dc, std::max(1L, room.right), std::max(1L, room.bottom));
    HGDIOBJ old = ::SelectObject(buffer, bitmap);
    const LRESULT brush = ControlColour(buffer, hwnd);
    ::FillRect(buffer, &room, reinterpret_cast<HBRUSH>(brush));
    const auto* picture = dynamic_cast<const Picture*>(ControlOf(hwnd));
    if (picture && !picture->PictureName().empty() && options_.pictures) {
      CachedImage(options_.pictures(picture->PictureName())).DrawFitted(buffer, room);
    }
    ::BitBlt(dc, 0, 0, room.right, room.bottom, buffer, 0, 0, SRCCOPY);
    ::SelectObject(buffer, old);
    ::DeleteObject(bitmap);
    ::DeleteDC(buffer);
  }

  void ShowFrame(bool show) {
    if (show && !frame_ && form_ && !form_->IsClosed() && !shut_down_) BuildFrame();
    if (!frame_) return;
    if (show) {
      ::ShowWindow(frame_, SW_SHOW);
      ::SetForegroundWindow(frame_);
    } else {
      ::ShowWindow(frame_, SW_HIDE);
    }
  }

  void BuildFrame() {
    const int width = Px(options_.client_width_twips);
    const int height = Px(options_.client_height_twips);
    const DWORD style = WS_OVERLAPPED | WS_CAPTION | WS_SYSMENU | WS_MINIMIZEBOX | WS_CLIPCHILDREN;
    RECT outer{0, 0, width, height};
    ::AdjustWindowRectEx(&outer, style, FALSE, 0);
    const int outer_w = outer.right - outer.left;
    const int outer_h = outer.bottom - outer.top;
    // Centred on the primary screen's work area, where the taskbar does not cover it.
    RECT work{0, 0, ::GetSystemMetrics(SM_CXSCREEN), ::GetSystemMetrics(SM_CYSCREEN)};
    ::SystemParametersInfoW(SPI_GETWORKAREA, 0, &work, 0);
    const int x = std::max(work.left, work.left + (work.right - work.left - outer_w) / 2);
    const int y = std::max(work.top, work.top + (work.bottom - work.top - outer_h) / 2);
    frame_ =
        ::CreateWindowExW(WS_EX_CONTROLPARENT, kFrameClass, Wide(form_->Caption()).c_str(), style,
                          x, y, outer_w, outer_h, nullptr, nullptr, Instance(), nullptr);
    if (!frame_) return;
    ::SetWindowLongPtrW(frame_, GWLP_USERDATA, reinterpret_cast<LONG_PTR>(this));
    const Image& background = CachedImage(options_.background_file);
    background_bitmap_ = background.Scaled(width, height);
    if (background_bitmap_) background_brush_ = ::CreatePatternBrush(background_bitmap_);
    tool_tips_ =
        ::CreateWindowExW(WS_EX_TOPMOST, TOOLTIPS_CLASSW, nullptr,
                          WS_POPUP | TTS_ALWAYSTIP | TTS_NOPREFIX, CW_USEDEFAULT, CW_USEDEFAULT,
                          CW_USEDEFAULT, CW_USEDEFAULT, frame_, nullptr, Instance(), nullptr);
    for (Control* control : form_->Controls()) CreateWidget(*control);
  }

  // The frame goes once no model code is on the stack (it may be closing from its own button).
  void DropFrame() {
    if (!frame_) return;
    ::SetWindowLongPtrW(frame_, GWLP_USERDATA, 0);
    Retire(frame_);
    FrameGone();
  }

  void FrameGone() {
    frame_ = nullptr;
    tool_tips_ = nullptr;
    widgets_.clear();
    controls_.clear();
    if (background_brush_) ::DeleteObject(background_brush_);
    if (background_bitmap_) ::DeleteObject(background_bitmap_);
    background_brush_ = nullptr;
    background_bitmap_ = nullptr;
  }

  Control* ControlOf(HWND hwnd) const {
    auto it = controls_.find(hwnd);
    return it == controls_.end() ? nullptr : it->second;
  }

  int Px(int twips) const { return PixelsFromTwips(twips, dpi_); }

  // Panels are not real windows (the background must show through them), so a control's place
  // on the client area adds up the offsets of the panels around it.
  RECT PixelRect(const Control& control) const {
    int left = 0;
    int top = 0;
    for (const Control* c = &control; c; c = c->Parent()) {
      left += c->Left();
      top += c->Top();
    }
    const int x = Px(left);
    const int y = Px(top);
    return {x, y, x + std::max(Px(control.Width()), 1), y + std::max(Px(control.Height()), 1)};
  }

  void CreateWidget(Control& control) {
    if (!frame_ || widgets_.contains(&control)) return;
    const wchar_t* window_class = nullptr;
    DWORD style = WS_CHILD | WS_CLIPSIBLINGS;
    DWORD ex_style = 0;
    if (dynamic_cast<Label*>(&control)) {
      window_class = WC_STATICW;
      style |= SS_LEFT | SS_NOPREFIX | SS_NOTIFY;
    } else if (dynamic_cast<CommandButton*>(&control)) {
      window_class = WC_BUTTONW;
      style |= BS_PUSHBUTTON | WS_TABSTOP;
    } else if (dynamic_cast<CheckBox*>(&control)) {
      window_class = WC_BUTTONW;
      style |= BS_CHECKBOX | BS_MULTILINE | WS_TABSTOP;
    } else if (dynamic_cast<OptionButton*>(&control)) {
      window_class = WC_BUTTONW;
      style |= BS_RADIOBUTTON | BS_MULTILINE | WS_TABSTOP;
    } else if (dynamic_cast<TextBox*>(&control)) {
      window_class = WC_EDITW;
      style |= ES_AUTOHSCROLL | WS_TABSTOP;
      ex_style |= WS_EX_CLIENTEDGE;
    } else if (dynamic_cast<Picture*>(&control)) {
      window_class = kPictureClass;
    } else if (dynamic_cast<ProgressBar*>(&control)) {
      window_class = PROGRESS_CLASSW;
      style |= PBS_SMOOTH;
    } else if (dynamic_cast<ListView*>(&control)) {
      window_class = WC_LISTVIEWW;
      style |= LVS_REPORT | LVS_SINGLESEL | LVS_NOSORTHEADER | LVS_SHOWSELALWAYS | WS_TABSTOP;
      ex_style |= WS_EX_CLIENTEDGE;
    } else {
      return;  // panels and timers have no window of their own
    }
    const RECT rect = PixelRect(control);
    HWND hwnd = ::CreateWindowExW(ex_style, window_class, L"", style, rect.left, rect.top,
                                  rect.right - rect.left, rect.bottom - rect.top, frame_, nullptr,
                                  Instance(), nullptr);
    if (!hwnd) return;
    Widget& widget = widgets_[&control];
    widget.hwnd = hwnd;
    controls_[hwnd] = &control;
    if (dynamic_cast<ProgressBar*>(&control)) {
      ::SendMessageW(hwnd, PBM_SETRANGE32, 0, kGaugeRange);
    } else if (dynamic_cast<ListView*>(&control)) {
      ::SendMessageW(hwnd, LVM_SETEXTENDEDLISTVIEWSTYLE, LVS_EX_FULLROWSELECT,
                     LVS_EX_FULLROWSELECT);
      HWND header = reinterpret_cast<HWND>(::SendMessageW(hwnd, LVM_GETHEADER, 0, 0));
      if (header) {
        ::SetWindowLongPtrW(header, GWL_STYLE,
                            ::GetWindowLongPtrW(header, GWL_STYLE) | HDS_NOSIZING);
      }
    }
    ApplyFont(control, widget);
    ApplyCaption(control, widget);
    ApplyToolTip(control, widget);
    ApplyValue(control, widget);
    ApplyColumns(control, widget);
    ApplyState(control, widget);
  }

  // The font of the control's character set; Hebrew and Arabic texts also read and align from
  // the right, within the same layout.
  void ApplyFont(const Control& control, const Widget& widget) {
    HFONT font = Fonts().Get(FontCharsetByte(control.FontCharset()),
                             Listed(options_.heading_labels, control),
                             Listed(options_.link_labels, control), dpi_);
    ::SendMessageW(widget.hwnd, WM_SETFONT, reinterpret_cast<WPARAM>(font), TRUE);
    const bool rtl = ReadsRightToLeft(control.FontCharset());
    LONG_PTR ex_style = ::GetWindowLongPtrW(widget.hwnd, GWL_EXSTYLE);
    LONG_PTR style = ::GetWindowLongPtrW(widget.hwnd, GWL_STYLE);
    const LONG_PTR rtl_ex = WS_EX_RTLREADING | WS_EX_RIGHT;
    ex_style = rtl ? (ex_style | rtl_ex) : (ex_style & ~rtl_ex);
    if (dynamic_cast<const Label*>(&control)) {
      style = (style & ~static_cast<LONG_PTR>(SS_TYPEMASK)) | (rtl ? SS_RIGHT : SS_LEFT);
    } else if (dynamic_cast<const CheckBox*>(&control) ||
               dynamic_cast<const OptionButton*>(&control)) {
      style = rtl ? (style | BS_RIGHTBUTTON) : (style & ~static_cast<LONG_PTR>(BS_RIGHTBUTTON));
    }
    ::SetWindowLongPtrW(widget.hwnd, GWL_EXSTYLE, ex_style);
    ::SetWindowLongPtrW(widget.hwnd, GWL_STYLE, style);
  }

  HFONT FontOf(HWND hwnd) const {
    return reinterpret_cast<HFONT>(::SendMessageW(hwnd, WM_GETFONT, 0, 0));
  }

  static SIZE RoomOf(HWND hwnd) {
    RECT rect;
    ::GetWindowRect(hwnd, &rect);
    return {rect.right - rect.left, rect.bottom - rect.top};
  }

  // The indicator of a check box or option button and the gap before its caption.
  int IndicatorWidth() const { return ::MulDiv(13 + 6, dpi_, kStandardDpi); }

  void ApplyCaption(const Control& control, Widget& widget) {
    HWND hwnd = widget.hwnd;
    const SIZE room = RoomOf(hwnd);
    HFONT font = FontOf(hwnd);
    std::wstring shown;
    bool overflows = false;
    if (auto* box = dynamic_cast<const TextBox*>(&control)) {
      const std::wstring text = Wide(box->Text());
      const int length = ::GetWindowTextLengthW(hwnd);
      std::wstring current(static_cast<size_t>(length) + 1, L'\0');
      ::GetWindowTextW(hwnd, current.data(), length + 1);
      current.resize(static_cast<size_t>(length));
      if (current != text) {
        // The program's own change is not the user's typing.
        setting_text_ = true;
        ::SetWindowTextW(hwnd, text.c_str());
        setting_text_ = false;
      }
      return;
    }
    if (dynamic_cast<const Label*>(&control)) {
      // Wrapping inserts line breaks, so it starts from the full text.
      shown = WideLines(Wrapped(font, control.Caption(), room.cx));
      const SIZE need = TextSize(font, shown, room.cx);
      overflows = !control.Caption().empty() && (need.cx > room.cx || need.cy > room.cy);
    } else if (dynamic_cast<const CheckBox*>(&control) ||
               dynamic_cast<const OptionButton*>(&control)) {
      // Like labels, they wrap their caption within their box, beside the indicator.
      const int text_room = room.cx - IndicatorWidth();
      shown = WideLines(Wrapped(font, control.Caption(), text_room));
      const SIZE need = TextSize(font, shown, 0);
      overflows = !control.Caption().empty() && (need.cx > text_room || need.cy > room.cy);
    } else if (dynamic_cast<const CommandButton*>(&control)) {
      shown = Wide(control.Caption());
      const SIZE need = TextSize(font, shown, 0);
      const int margin = ::MulDiv(8, dpi_, kStandardDpi);
      overflows = !shown.empty() && need.cx + margin > room.cx;
    } else {
      return;
    }
    ::SetWindowTextW(hwnd, shown.c_str());
    ::InvalidateRect(hwnd, nullptr, TRUE);
    if (overflows && options_.overflow) options_.overflow(NameOf(control), control.Caption());
  }

  void ApplyToolTip(const Control& control, const Widget& widget) {
    if (!tool_tips_) return;
    RemoveToolTip(widget.hwnd);
    if (control.ToolTipText().empty()) return;
    std::wstring text = Wide(control.ToolTipText());
    TOOLINFOW tool{};
    tool.cbSize = sizeof tool;
    tool.uFlags = TTF_IDISHWND | TTF_SUBCLASS;
    tool.hwnd = frame_;
    tool.uId = reinterpret_cast<UINT_PTR>(widget.hwnd);
    tool.lpszText = text.data();
    ::SendMessageW(tool_tips_, TTM_ADDTOOLW, 0, reinterpret_cast<LPARAM>(&tool));
  }

  void RemoveToolTip(HWND hwnd) {
    if (!tool_tips_) return;
    TOOLINFOW tool{};
    tool.cbSize = sizeof tool;
    tool.hwnd = frame_;
    tool.uId = reinterpret_cast<UINT_PTR>(hwnd);
    ::SendMessageW(tool_tips_, TTM_DELTOOLW, 0, reinterpret_cast<LPARAM>(&tool));
  }

  void ApplyState(const Control& control, const Widget& widget) {
    const bool shown = control.IsShown();
    const bool enabled = EnabledWithPanels(control);
    if ((::IsWindowEnabled(widget.hwnd) != FALSE) != enabled) {
      ::EnableWindow(widget.hwnd, enabled ? TRUE : FALSE);
    }
    if ((::IsWindowVisible(widget.hwnd) != FALSE) != shown) {
      ::ShowWindow(widget.hwnd, shown ? SW_SHOWNA : SW_HIDE);
    }
  }

  void ApplyGeometry(const Control& control, Widget& widget) {
    const RECT rect = PixelRect(control);
    RECT now;
    ::GetWindowRect(widget.hwnd, &now);
    ::MapWindowPoints(nullptr, frame_, reinterpret_cast<POINT*>(&now), 2);
    if (::EqualRect(&now, &rect)) return;
    const bool resized = (now.right - now.left) != (rect.right - rect.left);
    ::SetWindowPos(widget.hwnd, nullptr, rect.left, rect.top, rect.right - rect.left,
                   rect.bottom - rect.top, SWP_NOZORDER | SWP_NOACTIVATE);
    if (resized) ApplyCaption(control, widget);
    if (resized && dynamic_cast<const ListView*>(&control)) ApplyColumnWidths(widget);
  }

  void ApplyValue(const Control& control, const Widget& widget) {
    if (const auto* check = dynamic_cast<const CheckBox*>(&control)) {
      ::SendMessageW(widget.hwnd, BM_SETCHECK, check->Value() ? BST_CHECKED : BST_UNCHECKED, 0);
    } else if (const auto* option = dynamic_cast<const OptionButton*>(&control)) {
      ::SendMessageW(widget.hwnd, BM_SETCHECK, option->Value() ? BST_CHECKED : BST_UNCHECKED, 0);
    } else if (const auto* bar = dynamic_cast<const ProgressBar*>(&control)) {
      const int value = static_cast<int>(std::lround(bar->Fraction() * kGaugeRange));
      if (::SendMessageW(widget.hwnd, PBM_GETPOS, 0, 0) != value) {
        ::SendMessageW(widget.hwnd, PBM_SETPOS, static_cast<WPARAM>(value), 0);
      }
    }
  }

  void ApplyColumns(const Control& control, Widget& widget) {
    const auto* view = dynamic_cast<const ListView*>(&control);
    if (!view) return;
    std::vector<ListColumn> columns = view->Columns();
    // A report list without columns cannot hold rows; one unnamed column spans the list.
    if (columns.empty()) columns.push_back({"", control.Width()});
    const bool same_headers =
        columns.size() == widget.columns.size() &&
        std::equal(columns.begin(), columns.end(), widget.columns.begin(),
                   [](const ListColumn& a, const ListColumn& b) { return a.header == b.header; });
    widget.columns = columns;
    if (!same_headers) {
      ::SendMessageW(widget.hwnd, LVM_DELETEALLITEMS, 0, 0);
      widget.rows.clear();
      while (::SendMessageW(widget.hwnd, LVM_DELETECOLUMN, 0, 0)) {
      }
      for (size_t i = 0; i < columns.size(); ++i) {
        std::wstring header = Wide(columns[i].header);
        LVCOLUMNW column{};
        column.mask = LVCF_TEXT | LVCF_WIDTH | LVCF_FMT;
        column.fmt = LVCFMT_LEFT;
        column.pszText = header.data();
        column.cx = 0;
        ::SendMessageW(widget.hwnd, LVM_INSERTCOLUMNW, i, reinterpret_cast<LPARAM>(&column));
      }
    }
    ApplyColumnWidths(widget);
    if (!same_headers) ApplyRows(control, widget);
  }

  void ApplyColumnWidths(Widget& widget) {
    RECT inner;
    ::GetClientRect(widget.hwnd, &inner);
    const std::vector<int> widths = ColumnPixelWidths(widget.columns, inner.right, dpi_);
    for (size_t i = 0; i < widths.size(); ++i) {
      if (::SendMessageW(widget.hwnd, LVM_GETCOLUMNWIDTH, i, 0) != widths[i]) {
        ::SendMessageW(widget.hwnd, LVM_SETCOLUMNWIDTH, i, widths[i]);
      }
    }
  }

  void ApplyRows(const Control& control, Widget& widget) {
    const auto* view = dynamic_cast<const ListView*>(&control);
    if (!view) return;
    const int rows = view->RowCount();
    const size_t columns = widget.columns.size();
    while (static_cast<int>(widget.rows.size()) > rows) {
      widget.rows.pop_back();
      ::SendMessageW(widget.hwnd, LVM_DELETEITEM, widget.rows.size(), 0);
    }
    // Rows usually change one cell or one appended row at a time: only differences are sent.
    for (int row = 0; row < rows; ++row) {
      if (row >= static_cast<int>(widget.rows.size())) {
        LVITEMW item{};
        item.mask = LVIF_TEXT;
        item.iItem = row;
        std::wstring text = Wide(view->Text(row, 0));
        item.pszText = text.data();
        ::SendMessageW(widget.hwnd, LVM_INSERTITEMW, 0, reinterpret_cast<LPARAM>(&item));
        widget.rows.emplace_back(columns);
        widget.rows.back()[0] = view->Text(row, 0);
      }
      for (size_t column = 0; column < columns; ++column) {
        const std::string& text = view->Text(row, static_cast<int>(column));
        if (widget.rows[row][column] == text) continue;
        widget.rows[row][column] = text;
        std::wstring wide = Wide(text);
        LVITEMW item{};
        item.iSubItem = static_cast<int>(column);
        item.pszText = wide.data();
        ::SendMessageW(widget.hwnd, LVM_SETITEMTEXTW, static_cast<WPARAM>(row),
                       reinterpret_cast<LPARAM>(&item));
      }
    }
    ApplyColumnWidths(widget);
  }

  void RefreshAll() {
    for (auto& [control, widget] : widgets_) {
      ApplyGeometry(*control, widget);
      ApplyState(*control, widget);
    }
  }

  Form* form_;
  WindowOptions options_;
  int dpi_ = kStandardDpi;
  bool background_loaded_ = true;
  bool shut_down_ = false;
  bool setting_text_ = false;
  HWND frame_ = nullptr;
  HWND tool_tips_ = nullptr;
  HBITMAP background_bitmap_ = nullptr;
  HBRUSH background_brush_ = nullptr;
  std::map<Control*, Widget> widgets_;
  std::map<HWND, Control*> controls_;
  TimerRunner timers_;
};

FormWindow::FormWindow(Form& form, WindowOptions options)
    : impl_(std::make_unique<Impl>(form, std::move(options))) {
  LiveWindows().push_back(this);
}

FormWindow::~FormWindow() { std::erase(LiveWindows(), this); }

bool FormWindow::BackgroundLoaded() const { return impl_->BackgroundLoaded(); }
HWND FormWindow::Frame() const { return impl_->Frame(); }
Form* FormWindow::Model() const { return impl_->Model(); }
void FormWindow::Shutdown() { impl_->Shutdown(); }
std::vector<FormWindow*> FormWindow::All() { return LiveWindows(); }

bool FormWindow::AnyFrame() {
  return std::any_of(LiveWindows().begin(), LiveWindows().end(),
                     [](const FormWindow* window) { return window->Frame() != nullptr; });
}

bool PreTranslate(MSG& message) {
  if (!message.hwnd) return false;
  HWND root = ::GetAncestor(message.hwnd, GA_ROOT);
  for (const FormWindow* window : LiveWindows()) {
    if (window->Frame() && window->Frame() == root) {
      return ::IsDialogMessageW(root, &message) != FALSE;
    }
  }
  return false;
}

void CollectRetired() {
  if (!HandlerScope::NoneRunning()) return;
  std::vector<HWND> retired = std::move(Retired());
  Retired().clear();
  for (HWND window : retired) {
    if (::IsWindow(window)) ::DestroyWindow(window);
  }
}

void SetBusyCursor(bool busy) {
  g_busy = busy;
  POINT at;
  ::GetCursorPos(&at);
  // The cursor changes at once, not only when the pointer next moves.
  ::SetCursorPos(at.x, at.y);
  ::SetCursor(::LoadCursorW(nullptr, busy ? IDC_WAIT : IDC_ARROW));
}

}  // namespace nd::ui::win32

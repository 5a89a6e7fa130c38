#include "progress/ProgressViewer.h"

#include <algorithm>
#include <cerrno>
#include <condition_variable>
#include <cstdlib>
#include <thread>

#include "os/Format.h"
#include "os/Time.h"
#include "progress/ViewerDrawing.h"
#include "progress/ViewerWindow.h"

std::string ApplicationCaption = "Ваше приложение";
std::string CancelButtonCaption = "Отмена (Esc)";
std::string CancelMessage = "Прервано пользователем!";
std::string WaitLine1 = "Выполняется длительная операция. Она может";
std::string WaitLine2 = "продлиться несколько минут. Пожалуйста, подождите!";
std::string TotalTimeFormat = "Общее время: %s";
std::string GlobalFontName = "MS Sans Serif";
TColorValue GlobalColor = 0;
std::int32_t GlobalFontSize = 8;
std::uint8_t GlobalFontStyle = 0;
std::uint32_t LoopDelay = 50;
bool ShowPercentText = true;
bool ShowTotalTime = true;
TColorValue BarColor = 0xFFFF00;
std::atomic<bool> ClassRegistered{false};

namespace {

// The registry and the thread count outlive every static destructor on purpose: a viewer
// thread may still be finishing while the process exits.
struct Registry {
  std::mutex lock;  // WindowList's lock; guards ViewerList too
  std::vector<TWindowHandle> WindowList;
  std::vector<TProgressViewer*> ViewerList;
};
Registry& TheRegistry() {
  static Registry* registry = new Registry;
  return *registry;
}

struct ThreadCount {
  std::mutex lock;
  std::condition_variable ended;
  int live = 0;
};
ThreadCount& Threads() {
  static ThreadCount* count = new ThreadCount;
  return *count;
}
void ThreadStarting() {
  std::lock_guard<std::mutex> guard(Threads().lock);
  ++Threads().live;
}
void ThreadEnded() {
  ThreadCount& t = Threads();
  std::lock_guard<std::mutex> guard(t.lock);
  --t.live;
  t.ended.notify_all();
}

struct CycleHook {
  std::mutex lock;
  std::function<void(TProgressViewer&)> hook;
};
CycleHook& TheCycleHook() {
  static CycleHook* hook = new CycleHook;
  return *hook;
}

void RunCycleHook(TProgressViewer& viewer) {
  std::function<void(TProgressViewer&)> hook;
  {
    std::lock_guard<std::mutex> guard(TheCycleHook().lock);
    hook = TheCycleHook().hook;
  }
  if (hook) {
    hook(viewer);
  }
}

[[noreturn]] void RaiseConversion(const std::string& value, const char* target) {
  throw EConvertError(Format("Значение \"%s\" нельзя преобразовать в %s", {value, target}));
}

std::string ToText(const TParamValue& value) {
  if (auto* s = std::get_if<std::string>(&value)) {
    return *s;
  }
  if (auto* i = std::get_if<std::int64_t>(&value)) {
    return std::to_string(*i);
  }
  return std::get<bool>(value) ? "True" : "False";
}

std::int64_t ToInteger(const TParamValue& value) {
  if (auto* i = std::get_if<std::int64_t>(&value)) {
    return *i;
  }
  if (auto* b = std::get_if<bool>(&value)) {
    return *b ? -1 : 0;  // the runtime's variant rule: True is -1
  }
  const std::string& s = std::get<std::string>(value);
  std::string trimmed = s;
  trimmed.erase(0, trimmed.find_first_not_of(' '));
  trimmed.erase(trimmed.find_last_not_of(' ') + 1);
  if (trimmed.empty()) {
    RaiseConversion(s, "целое число");
  }
  errno = 0;
  char* end = nullptr;
  long long parsed = std::strtoll(trimmed.c_str(), &end, 10);
  if (errno != 0 || *end != '\0') {
    RaiseConversion(s, "целое число");
  }
  return parsed;
}

bool ToBoolean(const TParamValue& value) {
  if (auto* b = std::get_if<bool>(&value)) {
    return *b;
  }
  if (auto* i = std::get_if<std::int64_t>(&value)) {
    return *i != 0;
  }
  const std::string& s = std::get<std::string>(value);
  std::string lower;
  for (char c : s) {
    lower += static_cast<char>(std::tolower(static_cast<unsigned char>(c)));
  }
  if (lower == "true") {
    return true;
  }
  if (lower == "false") {
    return false;
  }
  try {
    return ToInteger(value) != 0;
  } catch (const EConvertError&) {
    RaiseConversion(s, "логическое значение");
  }
}

}  // namespace

// ---- TAdditionalThread ----

TAdditionalThread::TAdditionalThread(TProgressViewer* viewer, TViewerProc workProc)
    : Viewer(viewer), WorkProc(std::move(workProc)) {}

void TAdditionalThread::Resume() {
  if (started_) {
    return;
  }
  started_ = true;
  ThreadStarting();
  std::thread([this] {
    Execute();
    delete this;
    ThreadEnded();
  }).detach();
}

void TAdditionalThread::Terminate() {
  terminated_.store(true);
}

void TAdditionalThread::Execute() {
  try {
    if (WorkProc) {
      WorkProc(*Viewer);
    }
  } catch (...) {
    // A failing work procedure ends quietly, as a thread's unhandled error does.
  }
  while (!terminated_.load()) {
    os::SleepMs(50);
  }
}

// ---- TProgressViewer ----

TProgressViewer::TProgressViewer(const std::string& caption, bool showPercent, bool canCancel,
                                 TViewerProc workProc)
    : ShowPercent(showPercent), CanCancel(canCancel) {
  if (!ClassRegistered.load()) {
    throw EProgressException(
        "Класс окна визуализации \"ProgressViewerFormClass\" не зарегистрирован!");
  }
  Width = progress_internal::kInitialWidth;
  Height = progress_internal::kMinHeight;
  TextBackColor = kButtonFaceColor;
  progress_internal::WorkArea area = progress_internal::QueryWorkArea();
  progress_internal::Placement place = progress_internal::PlaceOnWorkArea(
      area.left, area.top, area.right, area.bottom, Width, Height);
  Left = place.left;
  Top = place.top;
  DefaultColor = kDefaultColor;
  DefaultFontSize = -1;
  DefaultFontStyle = kDefaultFontStyle;
  DefaultFontName.clear();

  SetCaption(caption.empty() ? " " : caption);
  SetString(-1, ApplicationCaption, taCenter, false, 0, fsBold, 12, "MS Sans Serif");
  SetString(1000, " ", taCenter, false, 0, fsBold, 8, "");
  SetString(1001, WaitLine1, taCenter, false, 0, fsBold, 10, "MS Sans Serif");
  SetString(1002, WaitLine2, taCenter, false, 0, fsBold, 10, "MS Sans Serif");

  if (workProc) {
    AdditionalThread = new TAdditionalThread(this, std::move(workProc));
  }

  // The thread starts only now that the object is complete.
  ThreadStarting();
  try {
    std::thread([this] {
      Execute();
      delete this;
      ThreadEnded();
    }).detach();
  } catch (...) {
    ThreadEnded();
    delete AdditionalThread;
    throw EProgressException("Не удалось запустить поток окна визуализации!");
  }
}

TProgressViewer::~TProgressViewer() = default;

void TProgressViewer::Execute() {
  std::unique_ptr<progress_internal::ViewerWindow> window;
  try {
    window = progress_internal::ViewerWindow::Create(*this);
  } catch (...) {
    window.reset();  // no window: the cycles run without painting
  }
  Window = window.get();
  StartTime = os::MonotonicMs();
  if (AdditionalThread) {
    AdditionalThread->Resume();
  }
  while (!terminated_.load()) {
    RunCycle(window.get());
  }
  if (AdditionalThread) {
    AdditionalThread->Terminate();
  }
  if (window) {
    try {
      window->Close();
    } catch (...) {
    }
    UnregisterWindow(this);
    Handle = 0;
    ButtonHandle = 0;
    Window = nullptr;
    window.reset();
  }
}

void TProgressViewer::RunCycle(progress_internal::ViewerWindow* window) {
  if (window) {
    window->DispatchMessages();
  }
  try {
    RunCycleHook(*this);
  } catch (...) {
  }
  {
    std::lock_guard<std::recursive_mutex> guard(StringsLock);
    if (!LayoutValid) {
      try {
        if (window) {
          window->LayOut();
        }
      } catch (...) {
        // A failed layout is tried again after the next change only.
      }
      LayoutValid = true;
    }
  }
  if (window && window->HasWindow()) {
    try {
      window->PaintFrame();
    } catch (...) {
    }
  }
  if (window && ButtonHandle.load() != 0) {
    window->RefreshButton();
  }
  os::SleepMs(LoopDelay);
}

void TProgressViewer::SetString(std::int32_t number, const std::string& text,
                                std::uint8_t alignment, bool wordWrap, TColorValue color,
                                std::uint8_t fontStyle, std::int32_t fontSize,
                                const std::string& fontName) {
  std::lock_guard<std::recursive_mutex> guard(StringsLock);
  int i = IndexOfString(number);
  if (i == -1) {
    Strings.emplace_back();
    i = static_cast<int>(Strings.size()) - 1;
  }
  if (color == kDefaultColor) {
    color = DefaultColor != kDefaultColor ? DefaultColor : GlobalColor;
  }
  if (fontSize == -1) {
    fontSize = DefaultFontSize != -1 ? DefaultFontSize : GlobalFontSize;
  }
  if (fontStyle == kDefaultFontStyle) {
    fontStyle = DefaultFontStyle != kDefaultFontStyle ? DefaultFontStyle : GlobalFontStyle;
  }
  std::string name = fontName;
  if (name.empty()) {
    name = !DefaultFontName.empty() ? DefaultFontName : GlobalFontName;
  }
  TStringInfo& line = Strings[i];
  line.Number = number;
  line.Text = text;
  line.Alignment = alignment;
  line.WordWrap = wordWrap;
  line.FontName = name;
  line.FontSize = fontSize;
  line.FontStyle = fontStyle;
  line.Color = color;
  SortStrings();
  LayoutValid = false;
}

void TProgressViewer::SortStrings() {
  std::lock_guard<std::recursive_mutex> guard(StringsLock);
  const int count = static_cast<int>(Strings.size());
  for (int i = 0; i < count - 1; ++i) {
    for (int j = count - 1; j > i; --j) {
      if (Strings[i].Number > Strings[j].Number) {
        std::swap(Strings[i], Strings[j]);
      }
    }
  }
}

void TProgressViewer::ChangeStringParams(std::int32_t number,
                                         const std::vector<TStringParam>& params,
                                         const std::vector<TParamValue>& values) {
  std::lock_guard<std::recursive_mutex> guard(StringsLock);
  try {
    int i = IndexOfString(number);
    if (i == -1) {
      throw EProgressException(Format("Строка с номером %d не найдена!", {std::int64_t{number}}));
    }
    TStringInfo line = Strings[i];
    if (params.size() != values.size()) {
      throw EProgressException("Количество параметров и соответствующих им значений не совпадают!");
    }
    for (std::size_t k = 0; k < params.size(); ++k) {
      const TParamValue& value = values[k];
      switch (params[k]) {
        case spText:
          line.Text = ToText(value);
          break;
        case spAlignment:
          line.Alignment = static_cast<std::uint8_t>(ToInteger(value));
          break;
        case spWordWrap:
          line.WordWrap = ToBoolean(value);
          break;
        case spFontName:
          line.FontName = ToText(value);
          break;
        case spFontSize:
          line.FontSize = static_cast<std::int32_t>(ToInteger(value));
          break;
        case spFontStyle:
          line.FontStyle = static_cast<std::uint8_t>(ToInteger(value));
          break;
        case spColor:
          line.Color = static_cast<TColorValue>(ToInteger(value));
          break;
        default:
          break;  // unknown kinds are skipped
      }
    }
    Strings[i] = line;
  } catch (const std::exception& e) {
    throw EProgressException(std::string("TProgressViewer.ChangeStringParams -> ") + e.what());
  }
  LayoutValid = false;
}

void TProgressViewer::SetCaption(const std::string& text) {
  std::lock_guard<std::recursive_mutex> guard(StringsLock);
  Caption = text;
  if (IndexOfString(0) == -1) {
    SetString(0, text, taCenter, false, 0, fsBold, 14, "");
  } else {
    ChangeStringParams(0, {spText}, {text});
  }
}

std::string TProgressViewer::GetCaption() const {
  std::lock_guard<std::recursive_mutex> guard(StringsLock);
  return Caption;
}

int TProgressViewer::IndexOfString(std::int32_t number) const {
  std::lock_guard<std::recursive_mutex> guard(StringsLock);
  for (std::size_t i = 0; i < Strings.size(); ++i) {
    if (Strings[i].Number == number) {
      return static_cast<int>(i);
    }
  }
  return -1;
}

std::vector<TStringInfo> TProgressViewer::StringsSnapshot() const {
  std::lock_guard<std::recursive_mutex> guard(StringsLock);
  return Strings;
}

void TProgressViewer::CheckCancel() const {
  if (cancelled_.load()) {
    throw EProgressCancelByUser(CancelMessage);
  }
}

void TProgressViewer::Cancel() {
  cancelled_.store(true);
  TViewerProc handler;
  {
    std::lock_guard<std::mutex> guard(onCancelLock_);
    handler = OnCancel;
  }
  if (handler) {
    try {
      handler(*this);
    } catch (...) {
      // The user's cancel stands whatever the handler does.
    }
  }
}

void TProgressViewer::SetOnCancel(TViewerProc handler) {
  std::lock_guard<std::mutex> guard(onCancelLock_);
  OnCancel = std::move(handler);
}

// ---- unit: window registry, start-up and shutdown ----

void RegisterWindow(TProgressViewer* viewer) {
  TWindowHandle handle = viewer->GetHandle();
  if (handle == 0) {
    return;
  }
  Registry& r = TheRegistry();
  std::lock_guard<std::mutex> guard(r.lock);
  if (std::find(r.WindowList.begin(), r.WindowList.end(), handle) == r.WindowList.end()) {
    r.WindowList.push_back(handle);
    r.ViewerList.push_back(viewer);
  }
}

void UnregisterWindow(TProgressViewer* viewer) {
  TWindowHandle handle = viewer->GetHandle();
  Registry& r = TheRegistry();
  std::lock_guard<std::mutex> guard(r.lock);
  auto it = std::find(r.WindowList.begin(), r.WindowList.end(), handle);
  if (it != r.WindowList.end()) {
    std::size_t index = static_cast<std::size_t>(it - r.WindowList.begin());
    r.WindowList.erase(it);
    r.ViewerList.erase(r.ViewerList.begin() + static_cast<std::ptrdiff_t>(index));
  }
}

TProgressViewer* FindViewer(TWindowHandle window) {
  Registry& r = TheRegistry();
  std::lock_guard<std::mutex> guard(r.lock);
  auto it = std::find(r.WindowList.begin(), r.WindowList.end(), window);
  if (it == r.WindowList.end()) {
    return nullptr;
  }
  return r.ViewerList[static_cast<std::size_t>(it - r.WindowList.begin())];
}

std::vector<TWindowHandle> WindowListSnapshot() {
  Registry& r = TheRegistry();
  std::lock_guard<std::mutex> guard(r.lock);
  return r.WindowList;
}

void ProgressViewerUnitInitialize() {
  {
    Registry& r = TheRegistry();
    std::lock_guard<std::mutex> guard(r.lock);
    r.WindowList.clear();
    r.ViewerList.clear();
  }
  ClassRegistered = progress_internal::RegisterProgressWindowClass();
}

void ProgressViewerUnitFinalize() {
  // Viewers already told to end need at most a cycle or two; without this wait their
  // threads would still run while the process tears down.
  WaitForViewerThreads(2000);
  Registry& r = TheRegistry();
  std::lock_guard<std::mutex> guard(r.lock);
  r.WindowList.clear();
  r.ViewerList.clear();
}

int LiveViewerThreads() {
  std::lock_guard<std::mutex> guard(Threads().lock);
  return Threads().live;
}

bool WaitForViewerThreads(std::uint32_t timeoutMs) {
  ThreadCount& t = Threads();
  std::unique_lock<std::mutex> guard(t.lock);
  return t.ended.wait_for(guard, std::chrono::milliseconds(timeoutMs), [&] { return t.live == 0; });
}

void SetViewerCycleHook(std::function<void(TProgressViewer&)> hook) {
  std::lock_guard<std::mutex> guard(TheCycleHook().lock);
  TheCycleHook().hook = std::move(hook);
}

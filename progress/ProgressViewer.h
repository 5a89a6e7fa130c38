// A progress window on a thread of its own. Public surface used by the rest of the program
// (the progress library completes this header with the full class):
//
//   auto* viewer = new TProgressViewer(caption, /*showPercent=*/false, /*canCancel=*/true);
//   try { ... viewer->SetString(10, text, 0, false, 0x008000, 1, 12, ""); viewer->CheckCancel(); }
//   catch (...) { viewer->Terminate(); throw; }
//   viewer->Terminate();   // the viewer frees itself on its own thread; never touch it again
//
//   viewer->Cancelled() / viewer->SetCancelled(false)
//   ProgressViewerUnitInitialize() / ProgressViewerUnitFinalize()   (start-up and shutdown)
//   ApplicationCaption                                               (heading of new viewers)
//   SetViewerCycleHook(fn): tests play the operator; fn runs on each viewer's own thread once
//                           per cycle and may call viewer.Cancel() as Esc would.
#pragma once

#include <atomic>
#include <cstdint>
#include <functional>
#include <memory>
#include <mutex>
#include <string>
#include <variant>
#include <vector>

#include "os/Exception.h"

VELMAR_DECLARE_EXCEPTION(EProgressException, Exception);
VELMAR_DECLARE_EXCEPTION(EProgressCancelByUser, EProgressException);

// Colour values: 0x00BBGGRR for an RGB colour, 0xFF0000nn for system colour nn,
// kDefaultColor for "take the default".
using TColorValue = std::uint32_t;
inline constexpr TColorValue kDefaultColor = 0x20000000;
inline constexpr TColorValue kButtonFaceColor = 0xFF00000F;

// Font style flags; kDefaultFontStyle (all four) asks SetString for the default style.
inline constexpr std::uint8_t fsBold = 1;
inline constexpr std::uint8_t fsItalic = 2;
inline constexpr std::uint8_t fsUnderline = 4;
inline constexpr std::uint8_t fsStrikeOut = 8;
inline constexpr std::uint8_t kDefaultFontStyle = 15;

// Alignment of a line.
inline constexpr std::uint8_t taLeft = 0;
inline constexpr std::uint8_t taRight = 1;
inline constexpr std::uint8_t taCenter = 2;

// One text line of the window.
struct TStringInfo {
  std::int32_t Number = 0;
  std::string Text;  // UTF-8
  std::uint8_t Alignment = 0;
  bool WordWrap = false;
  std::string FontName;
  std::int32_t FontSize = 0;
  std::uint8_t FontStyle = 0;
  TColorValue Color = 0;
  std::int32_t Height = 0;  // set by the layout, not by callers
};

enum TStringParam : std::uint8_t {
  spText = 0,
  spAlignment = 1,
  spWordWrap = 2,
  spFontName = 3,
  spFontSize = 4,
  spFontStyle = 5,
  spColor = 6,
};

// A value for ChangeStringParams; converted to the attribute's type when stored.
using TParamValue = std::variant<std::string, std::int64_t, bool>;

class TProgressViewer;
using TViewerProc = std::function<void(TProgressViewer&)>;

// Platform window handle (HWND or X window id); 0 for none.
using TWindowHandle = std::uintptr_t;

namespace progress_internal {
class ViewerWindow;
}

// Runs a WorkProc beside the viewer; frees itself after its termination request.
class TAdditionalThread {
 public:
  TAdditionalThread(TProgressViewer* viewer, TViewerProc workProc);  // created suspended
  void Resume();                                                     // starts the thread once
  void Terminate();  // the thread ends within 50 ms and frees the object

  TProgressViewer* const Viewer;
  const TViewerProc WorkProc;

 private:
  friend class TProgressViewer;
  ~TAdditionalThread() = default;
  void Execute();
  std::atomic<bool> terminated_{false};
  bool started_ = false;
};

class TProgressViewer {
 public:
  // Raises EProgressException when the window class is not available (unit not
  // initialised). The thread starts when construction is complete.
  TProgressViewer(const std::string& caption, bool showPercent, bool canCancel,
                  TViewerProc workProc = nullptr);
  TProgressViewer(const TProgressViewer&) = delete;
  TProgressViewer& operator=(const TProgressViewer&) = delete;

  // Adds the line `number` or overwrites all its attributes. kDefaultColor, -1,
  // kDefaultFontStyle and "" ask for the default colour, size, style and font name.
  void SetString(std::int32_t number, const std::string& text, std::uint8_t alignment,
                 bool wordWrap, TColorValue color, std::uint8_t fontStyle, std::int32_t fontSize,
                 const std::string& fontName);
  // Changes selected attributes of an existing line; on any failure raises
  // EProgressException and leaves the line as it was.
  void ChangeStringParams(std::int32_t number, const std::vector<TStringParam>& params,
                          const std::vector<TParamValue>& values);
  void SetCaption(const std::string& text);
  int IndexOfString(std::int32_t number) const;

  // Raises EProgressCancelByUser while Cancelled is true.
  void CheckCancel() const;
  bool Cancelled() const { return cancelled_.load(); }
  void SetCancelled(bool value) { cancelled_.store(value); }

  // What Esc and the cancel button do: sets Cancelled and calls OnCancel (its errors are
  // discarded). Runs on the viewer's thread.
  void Cancel();
  // Called on the viewer's thread when the user cancels.
  void SetOnCancel(TViewerProc handler);

  // Ends the viewer at the end of its current cycle; it then frees itself. The caller must
  // not touch the object afterwards.
  void Terminate() { terminated_.store(true); }

  // Percentage shown when constructed with showPercent (clamped to 0..100 when painted).
  void SetPosition(double percent) { Position.store(percent); }

  // Read-only views, safe from any thread.
  std::vector<TStringInfo> StringsSnapshot() const;
  std::string GetCaption() const;
  std::int32_t GetWidth() const { return Width.load(); }
  std::int32_t GetHeight() const { return Height.load(); }
  std::int32_t GetLeft() const { return Left.load(); }
  std::int32_t GetTop() const { return Top.load(); }
  TWindowHandle GetHandle() const { return Handle.load(); }
  TWindowHandle GetButtonHandle() const { return ButtonHandle.load(); }
  bool GetCanCancel() const { return CanCancel; }
  bool GetShowPercent() const { return ShowPercent; }

 private:
  friend class progress_internal::ViewerWindow;
  friend class TAdditionalThread;

  ~TProgressViewer();  // only the viewer's own thread frees it
  void Execute();
  void RunCycle(progress_internal::ViewerWindow* window);
  void SortStrings();

  std::atomic<double> Position{0};
  const bool ShowPercent;
  std::atomic<std::int32_t> Left{0};
  std::atomic<std::int32_t> Top{0};
  std::atomic<TWindowHandle> Handle{0};
  std::atomic<TWindowHandle> ButtonHandle{0};
  std::uint64_t StartTime = 0;  // monotonic milliseconds
  TAdditionalThread* AdditionalThread = nullptr;
  mutable std::recursive_mutex StringsLock;
  std::vector<TStringInfo> Strings;
  bool LayoutValid = false;
  std::atomic<std::int32_t> Width{450};
  std::atomic<std::int32_t> Height{70};
  const bool CanCancel;
  std::atomic<bool> cancelled_{false};
  TColorValue TextBackColor = kButtonFaceColor;
  std::string Caption;
  std::mutex onCancelLock_;
  TViewerProc OnCancel;
  TColorValue DefaultColor = kDefaultColor;
  std::int32_t DefaultFontSize = -1;
  std::uint8_t DefaultFontStyle = kDefaultFontStyle;
  std::string DefaultFontName;
  std::atomic<bool> terminated_{false};
  progress_internal::ViewerWindow* Window = nullptr;  // set on the viewer's thread
};

// Unit-level state (one copy per process). Texts are UTF-8.
extern std::string ApplicationCaption;
extern std::string CancelButtonCaption;
extern std::string CancelMessage;
extern std::string WaitLine1;
extern std::string WaitLine2;
extern std::string TotalTimeFormat;
extern std::string GlobalFontName;
extern TColorValue GlobalColor;
extern std::int32_t GlobalFontSize;
extern std::uint8_t GlobalFontStyle;
extern std::uint32_t LoopDelay;
extern bool ShowPercentText;
extern bool ShowTotalTime;
extern TColorValue BarColor;
extern std::atomic<bool> ClassRegistered;

// The heading of this program's progress windows; the main window sets it when it is created.
inline constexpr const char* VelmarApplicationCaption = "Velmar: Диагностика базы данных";
inline void UseVelmarApplicationCaption() {
  ApplicationCaption = VelmarApplicationCaption;
}

// Registry of live progress windows; WindowList[i] is the window of ViewerList[i].
void RegisterWindow(TProgressViewer* viewer);
void UnregisterWindow(TProgressViewer* viewer);
TProgressViewer* FindViewer(TWindowHandle window);
std::vector<TWindowHandle> WindowListSnapshot();

// Start-up: creates the registry and registers the window class "ProgressViewerFormClass".
void ProgressViewerUnitInitialize();
// Shutdown: gives viewers already terminated a moment to end, then empties the registry.
void ProgressViewerUnitFinalize();

// Viewers (and their additional threads) whose threads have not ended yet.
int LiveViewerThreads();
// Waits until no viewer thread is left; false on time-out.
bool WaitForViewerThreads(std::uint32_t timeoutMs);

// Tests play the operator through this: `hook` runs on each viewer's own thread once per
// cycle, after the window's messages were handled. An empty function removes it.
void SetViewerCycleHook(std::function<void(TProgressViewer&)> hook);

// The window model: a Win32-shaped world of windows with procedures, one
// message queue served by the UI thread, posted and sent messages, timers,
// modal dialogs and message boxes with their own nested loops, two-softkey menu
// bars, dialog controls and the main window's frame buffer. Front ends (the
// scripted driver, the web page) read it through the screen snapshot and feed
// it through the input calls at the bottom; they never touch a window.
//
// Threads: one UI thread runs the loop (RunMessageLoop, or the nested loops of
// DialogBox and MessageBox) and is the only one that may call the window
// functions. It is the thread that made the system until a loop or PumpPending
// runs, then the thread running it. PostMessage, SendMessage, PostQuitMessage,
// SetTimer, KillTimer, InvalidateWindow, the input calls, Snapshot, ReadFrame,
// Emit and the listeners are safe from any thread (worker threads arm and kill
// the main window's timers).
//
// Order: messages posted or sent from other threads, the input calls and the
// quit message share one queue and are handled in the order they were made.
// Timer messages are made when that queue is empty (earliest deadline first),
// then paint messages, as Win32 makes its low-priority messages.
//
// Quitting: once PostQuitMessage has been called, PostMessage answers false,
// SendMessage from another thread returns 0 at once, inputs are refused, and
// DialogBox and MessageBox return 0 without showing anything. When a loop
// reaches the quit message every loop ends (the nested ones first, their
// DialogBox / MessageBox returning 0), the rest of the queue is dropped and
// threads waiting in SendMessage get 0. Windows still open then are not sent
// kMsgDestroy.
#pragma once

#include <cstdint>
#include <functional>
#include <memory>
#include <optional>
#include <string>
#include <string_view>
#include <vector>

#include "resources/resource_module.h"
#include "ui/canvas.h"
#include "ui/clock.h"

namespace cordavex::ui {

using Window = uint32_t;  // a window handle
inline constexpr Window kNoWindow = 0;

// Message numbers as Win32 has them.
enum : uint32_t {
  kMsgCreate = 0x0001,
  kMsgDestroy = 0x0002,
  kMsgSize = 0x0005,      // wParam: kSizeRestored / kSizeMinimized; lParam: width | height << 16
  kMsgActivate = 0x0006,  // wParam: kInactive / kActive / kClickActive
  kMsgPaint = 0x000F,
  kMsgClose = 0x0010,
  kMsgSettingChange = 0x001A,
  kMsgKeyDown = 0x0100,  // wParam: virtual key
  kMsgKeyUp = 0x0101,
  kMsgInitDialog = 0x0110,
  kMsgCommand = 0x0111,  // wParam: command or control id (low 16 bits) | notification << 16
  kMsgSysCommand = 0x0112,
  kMsgTimer = 0x0113,    // wParam: timer id
  kMsgVScroll = 0x0115,  // wParam: kScroll* code | thumb position << 16
  kMsgUser = 0x0400,
  kMsgApp = 0x8000,
};
enum : uint32_t { kSizeRestored = 0, kSizeMinimized = 1 };
enum : uint32_t { kInactive = 0, kActive = 1, kClickActive = 2 };
enum : uint32_t { kScrollLineUp = 0, kScrollLineDown = 1, kScrollPageUp = 2, kScrollPageDown = 3,
                  kScrollThumbTrack = 5 };
inline constexpr uint32_t kSysCommandClose = 0xF060;
inline constexpr uint32_t kButtonClicked = 0;  // the kMsgCommand notification of a click

// Virtual keys.
enum : uint32_t {
  kKeyBack = 0x08,
  kKeyReturn = 0x0D,
  kKeyEscape = 0x1B,
  kKeyLeft = 0x25,
  kKeyUp = 0x26,
  kKeyRight = 0x27,
  kKeyDown = 0x28,
  kKeySoftLeft = 0x70,   // the left softkey (VK_F1 / VK_TSOFT1)
  kKeySoftRight = 0x71,  // the right softkey
};

// Message box buttons and answers (MB_* and ID* values).
enum : uint32_t {
  kMbOk = 0x0,
  kMbOkCancel = 0x1,
  kMbYesNoCancel = 0x3,
  kMbYesNo = 0x4,
  kMbIconQuestion = 0x20,
  kMbIconExclamation = 0x30,
  kMbIconInformation = 0x40,
  kMbSetForeground = 0x10000,
};
enum : int { kIdOk = 1, kIdCancel = 2, kIdYes = 6, kIdNo = 7 };

using WindowProc = std::function<intptr_t(Window, uint32_t message, uintptr_t wParam, intptr_t lParam)>;
// A dialog procedure answers true when it handled the message. kMsgInitDialog
// comes once the controls exist; clicks arrive as kMsgCommand with the control
// id; a softkey arrives as kMsgCommand with its command.
using DialogProc = std::function<bool(Window, uint32_t message, uintptr_t wParam, intptr_t lParam)>;

struct WindowDescription {
  std::string kind;          // snapshot kind: "main", "result", "history", ...
  std::u16string className;  // for FindWindow
  std::u16string title;
  bool hasFrameBuffer = false;  // the main window: painted pixels at screen size
};

struct Control {
  uint32_t id = 0;
  resources::ControlKind kind = resources::ControlKind::kLabel;
  std::u16string text;
  bool checked = false;
  bool enabled = true;
  bool visible = true;
  bool group = false;  // a radio button starting a group (kControlGroup)
};

struct ListRow {
  std::u16string label, value;
  uint32_t icon = 0;
  uint32_t command = 0;
};

struct MenuItem {
  uint32_t command = 0;  // 0: separator
  std::u16string text;
  bool enabled = true;
};

struct MenuBar {
  std::u16string leftText;
  uint32_t leftCommand = 0;
  std::u16string rightText;
  uint32_t rightCommand = 0;
  std::vector<MenuItem> items;  // non-empty: the right key opens this menu
};
MenuBar MenuBarFrom(const resources::MenuBarTemplate& resource);

struct Screen;  // snapshot.h

// Front-end events on the snapshot stream: {"event": NAME, ...fields}.
struct Event {
  std::string name;               // "sound", "launch", "error", "stub", "foreground", ...
  std::vector<std::pair<std::string, std::string>> fields;  // string values, UTF-8
};

class WindowSystem {
 public:
  // The screen the snapshot and the main window's frame buffer have.
  WindowSystem(int32_t screenWidth, int32_t screenHeight, std::shared_ptr<Clock> clock);
  ~WindowSystem();
  WindowSystem(const WindowSystem&) = delete;
  WindowSystem& operator=(const WindowSystem&) = delete;

  Clock& clock();
  int32_t screenWidth() const;
  int32_t screenHeight() const;

  // --- windows (UI thread) ---
  // Sends kMsgCreate; a procedure answering -1 to it fails the creation (0 back,
  // no kMsgDestroy). The window stays hidden until ShowWindow.
  Window CreateWindow(const WindowDescription& description, WindowProc proc);
  // Shows the window on top and activates it (kMsgActivate to the one that
  // loses activation, then to it; lParam the other window). The first showing
  // also sends kMsgSize (kSizeRestored) with the screen size.
  void ShowWindow(Window window);
  // Sends kMsgDestroy, removes the window and its timers; activation moves to
  // the window below. Modal dialogs and message boxes it owns end (result 0).
  // A dialog or message box given here ends as if EndDialog(window, 0).
  void DestroyWindow(Window window);
  bool IsWindow(Window window) const;
  Window FindWindow(std::u16string_view className, std::u16string_view title) const;
  Window ForegroundWindow() const;
  // Raises the window (and its modal children) and emits {"event":"foreground"}.
  void SetForegroundWindow(Window window);
  void SetWindowText(Window window, std::u16string text);
  void SetMenuBar(Window window, MenuBar menuBar);
  // The Done button of a full-screen dialog: shown in the snapshot ("done"),
  // and ChooseCommand(kIdOk) then reaches the dialog as kMsgCommand kIdOk.
  void SetDoneButton(Window window, bool shown);
  // What Win32's default procedure does with the messages the model knows:
  // kMsgSysCommand / kSysCommandClose sends kMsgClose, kMsgClose destroys the
  // window; everything else answers 0.
  intptr_t DefWindowProc(Window window, uint32_t message, uintptr_t wParam, intptr_t lParam);

  // --- messages ---
  // Any thread. False once the loop has quit.
  bool PostMessage(Window window, uint32_t message, uintptr_t wParam, intptr_t lParam);
  // On the UI thread: calls the procedure directly. From another thread: queues
  // the message and waits until the UI thread has handled it; returns 0 without
  // waiting once the loop has quit or the window is gone.
  intptr_t SendMessage(Window window, uint32_t message, uintptr_t wParam, intptr_t lParam);
  void PostQuitMessage(int exitCode);
  // Runs the loop until the quit message; returns its exit code.
  int RunMessageLoop();
  // Handles what is queued and due now (timers on the clock included) without
  // waiting; for tests that drive the loop by hand with a manual clock.
  void PumpPending();

  // --- timers ---
  // Repeats every `milliseconds` (at least 1) on the clock until killed;
  // setting an existing id restarts it. Any thread.
  //
  // A due timer sends one kMsgTimer (wParam the id, lParam 0) and its next
  // deadline is counted from the time it fired: periods missed while the loop
  // was busy, or skipped by one ManualClock::Advance, are not made up. So after
  // an Advance each timer that became due fires exactly once, the timers in
  // the order of their deadlines (equal deadlines: the earlier set first).
  void SetTimer(Window window, uint32_t id, uint32_t milliseconds);
  void KillTimer(Window window, uint32_t id);

  // --- painting ---
  // Marks the window for painting: one kMsgPaint when the queue is otherwise
  // empty, however often it was marked. Any thread.
  void InvalidateWindow(Window window);
  // The canvas of a window with a frame buffer (an invalid canvas otherwise),
  // holding the current frame; what is drawn appears in the snapshot stream
  // when EndPaint is called. Clears the window's pending paint.
  Canvas BeginPaint(Window window);
  void EndPaint(Window window);
  // A copy of the frame buffer (0xRRGGBB pixels, screen size) and its version,
  // which grows with every EndPaint. Any thread.
  uint64_t ReadFrame(std::vector<uint32_t>* pixels) const;

  // --- modal dialogs and message boxes (UI thread) ---
  // Builds the dialog from the template (controls and menu bar), shows it on top
  // of the owner, sends kMsgInitDialog and runs a nested loop until EndDialog;
  // returns the result given there. `kind` is its snapshot kind ("settings").
  // The procedure gets kMsgInitDialog, then kMsgSize with the screen size, then
  // kMsgActivate when it shows; kMsgDestroy when it has ended. The menu bar is
  // the module's menu bar with the template's id (none when it has none).
  int DialogBox(const resources::DialogTemplate& dialog, const resources::ResourceModule& module,
                Window owner, std::string kind, DialogProc proc);
  void EndDialog(Window dialog, int result);
  // A modal box with its own nested loop; returns the answer (kIdOk, ...).
  // Its buttons (kMbOk, kMbOkCancel, kMbYesNo, kMbYesNoCancel; other button
  // sets show OK) are also its softkeys: the first on the left, the second on
  // the right, or a right menu holding the second and third. Enter answers the
  // first; Escape and Back answer Cancel, or OK on an OK-only box.
  // kMbSetForeground emits {"event":"foreground"}.
  int MessageBox(Window owner, std::u16string text, std::u16string caption, uint32_t flags);

  // --- controls (UI thread) ---
  // Valid until the dialog is destroyed. Read through it; change controls
  // through the calls below, which the snapshot's readers see safely.
  Control* FindControl(Window dialog, uint32_t id);
  void CheckButton(Window dialog, uint32_t id, bool checked);
  bool IsButtonChecked(Window dialog, uint32_t id);
  // Checks `id` and clears the other radio buttons with ids from firstId to
  // lastId, as Win32 does.
  void CheckRadioButton(Window dialog, uint32_t firstId, uint32_t lastId, uint32_t id);
  void EnableControl(Window dialog, uint32_t id, bool enabled);
  void SetControlText(Window dialog, uint32_t id, std::u16string text);
  // Rows of a list screen and the selected one (-1: none).
  void SetRows(Window window, std::vector<ListRow> rows, int selected);
  int SelectedRow(Window window) const;
  // Vertical scroll state shown in the snapshot (range, page, position).
  void SetScroll(Window window, int32_t minimum, int32_t maximum, int32_t page, int32_t position);
  int32_t ScrollPosition(Window window) const;

  // --- front ends ---
  // The screen as the snapshot JSON (see snapshot.h). Any thread.
  std::string Snapshot() const;
  // The same as data, and the top window's kind alone ("" when none).
  Screen CurrentScreen() const;
  std::string TopKind() const;
  // True once a loop has reached the quit message. Any thread.
  bool HasQuit() const;
  // Called (on the thread that made the change) after every change that alters
  // the snapshot or the frame, and for every event; never with the system's
  // lock held, so a listener may call Snapshot. A notification already under
  // way may still reach a listener just removed: listeners hold what they use
  // by shared ownership.
  using ChangeListener = std::function<void()>;
  using EventListener = std::function<void(const Event&)>;
  int AddChangeListener(ChangeListener listener);
  int AddEventListener(EventListener listener);
  void RemoveListener(int id);
  void Emit(Event event);

  // Input, any thread: each is queued and handled on the UI thread in order, as
  // the device would deliver it to the top window. An input the top window
  // refuses emits {"event":"error","input":NAME,"message":WHY,...}.
  // A key press: kMsgKeyDown then kMsgKeyUp to the top window. The softkeys run
  // the left command, or open / choose from the right menu. While the menu is
  // open Up and Down move over its enabled items, Enter or the left softkey
  // chooses, and the right softkey, Back or Escape close it. On a dialog Escape
  // is kMsgCommand kIdCancel, as the dialog manager makes it. A window
  // without a menu bar gets the softkeys as keys.
  void PressKey(uint32_t virtualKey);
  // A menu or softkey command chosen on the top window (ignored with an error
  // event when the top window offers no such enabled command).
  void ChooseCommand(uint32_t command);
  // A click on a control of the top dialog; with `check`, clicks only when the
  // state differs. Disabled controls ignore clicks (an error event). A check
  // box toggles, a radio button is checked and the others of its group cleared;
  // then the dialog procedure gets kMsgCommand (id | kButtonClicked << 16).
  // Buttons click too; labels, edits, lists and pictures refuse.
  void ClickControl(uint32_t id, std::optional<bool> check = std::nullopt);
  // Selects a row of the top window's list; a row with a command then sends it
  // as kMsgCommand.
  void SelectRow(int row);
  // kMsgVScroll (code | position << 16) to the top window, when it scrolls.
  void Scroll(uint32_t code, int32_t position = 0);
  // Answers the top message box (kIdOk, kIdYes, kIdNo, kIdCancel).
  void Answer(int answer);
  // Closes the top-level window as the system's close would (kMsgSysCommand /
  // kSysCommandClose to the main window: the first top-level window created
  // that still exists).
  void RequestClose();
  // Waits until every input queued so far has been taken by the UI thread
  // (judged, and refused or handed to the window), at most `milliseconds`.
  // False on timeout or once the loop has quit with inputs left untaken.
  bool WaitInputsTaken(int32_t milliseconds);

 private:
  struct State;
  std::unique_ptr<State> state_;
};

}  // namespace cordavex::ui

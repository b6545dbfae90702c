#include "ui/window_system.h"

#include <algorithm>
#include <chrono>
#include <condition_variable>
#include <deque>
#include <map>
#include <mutex>
#include <thread>
#include <utility>

#include "ui/snapshot.h"

namespace cordavex::ui {

namespace {

enum class WindowType { kWindow, kDialog, kMessageBox };

// A thread waiting in SendMessage for the UI thread's answer.
struct Reply {
  bool done = false;
  intptr_t result = 0;
};

// What an input does once judged on the UI thread: deliver to the window, or
// nothing (refused, or complete in itself).
using Delivery = std::function<void()>;
using Input = std::function<Delivery()>;

struct Item {
  enum class Type { kMessage, kSent, kInput, kQuit } type = Type::kMessage;
  Window window = kNoWindow;
  uint32_t message = 0;
  uintptr_t wParam = 0;
  intptr_t lParam = 0;
  std::shared_ptr<Reply> reply;  // kSent
  Input input;                   // kInput
  int exitCode = 0;              // kQuit
};

struct WindowData {
  Window handle = kNoWindow;
  WindowType type = WindowType::kWindow;
  std::string kind;
  std::u16string className, title;
  // Shared so that a procedure that destroys its own window keeps running.
  std::shared_ptr<const WindowProc> proc;
  std::shared_ptr<const DialogProc> dialogProc;
  Window owner = kNoWindow;
  bool visible = false;
  bool shownOnce = false;
  bool destroying = false;
  std::optional<MenuBar> menuBar;
  bool menuOpen = false;
  int menuSelected = -1;
  uint32_t dialogId = 0;
  std::vector<Control> controls;
  std::vector<ListRow> rows;
  int selected = -1;
  std::optional<ScrollState> scroll;
  bool ended = false;  // a dialog after EndDialog, an answered message box
  int result = 0;
  MessageView message;  // message boxes
  bool paintPending = false;
  bool hasFrame = false;
  bool done = false;  // a full-screen dialog's Done button (kIdOk)
};

struct Timer {
  Window window = kNoWindow;
  uint32_t id = 0;
  int64_t periodMicros = 0;
  int64_t deadline = 0;
  uint64_t order = 0;  // ties of deadline: the earlier set fires first
};

// The lock and the condition the UI thread and the sending threads wait on.
// Shared with the clock's wake, which may outlive the system.
struct Sync {
  std::mutex mutex;
  std::condition_variable changed;
  uint64_t wakes = 0;  // counts every change a waiting loop must look at
};

bool IsCheckable(resources::ControlKind kind) {
  return kind == resources::ControlKind::kCheckBox || kind == resources::ControlKind::kRadioButton;
}

std::vector<int> ButtonsOf(uint32_t flags) {
  switch (flags & 0xF) {
    case kMbOkCancel: return {kIdOk, kIdCancel};
    case kMbYesNoCancel: return {kIdYes, kIdNo, kIdCancel};
    case kMbYesNo: return {kIdYes, kIdNo};
    default: return {kIdOk};
  }
}

std::u16string ButtonText(int answer) {
  switch (answer) {
    case kIdCancel: return u"Cancel";
    case kIdYes: return u"Yes";
    case kIdNo: return u"No";
    default: return u"OK";
  }
}

MenuBar MessageBoxMenuBar(const std::vector<int>& buttons) {
  MenuBar bar;
  bar.leftText = ButtonText(buttons[0]);
  bar.leftCommand = static_cast<uint32_t>(buttons[0]);
  if (buttons.size() == 2) {
    bar.rightText = ButtonText(buttons[1]);
    bar.rightCommand = static_cast<uint32_t>(buttons[1]);
  } else if (buttons.size() > 2) {
    bar.rightText = u"Menu";
    for (size_t i = 1; i < buttons.size(); ++i) {
      bar.items.push_back({static_cast<uint32_t>(buttons[i]), ButtonText(buttons[i]), true});
    }
  }
  return bar;
}

const resources::MenuBarTemplate* MenuBarTemplateOf(const resources::ResourceModule& module, uint32_t id) {
  if (id == 0 || module.menuBars == nullptr) return nullptr;
  for (uint32_t i = 0; i < module.menuBarCount; ++i) {
    if (module.menuBars[i].id == id) return &module.menuBars[i];
  }
  return nullptr;
}

std::u16string TextOf(const char16_t* text) { return text ? std::u16string(text) : std::u16string(); }

intptr_t SizeParameter(int32_t width, int32_t height) {
  return static_cast<intptr_t>((static_cast<uint32_t>(width) & 0xFFFF) |
                               ((static_cast<uint32_t>(height) & 0xFFFF) << 16));
}

// Calls the window's procedure on the UI thread, without the lock.
intptr_t CallProcedure(const std::shared_ptr<const WindowProc>& proc,
                       const std::shared_ptr<const DialogProc>& dialogProc, Window window, uint32_t message,
                       uintptr_t wParam, intptr_t lParam) {
  if (proc && *proc) return (*proc)(window, message, wParam, lParam);
  if (dialogProc && *dialogProc) return (*dialogProc)(window, message, wParam, lParam) ? 1 : 0;
  return 0;
}

}  // namespace

MenuBar MenuBarFrom(const resources::MenuBarTemplate& resource) {
  MenuBar bar;
  bar.leftText = TextOf(resource.leftText);
  bar.leftCommand = resource.leftCommand;
  bar.rightText = TextOf(resource.rightText);
  bar.rightCommand = resource.rightCommand;
  if (resource.items != nullptr) {
    for (uint32_t i = 0; i < resource.itemCount; ++i) {
      bar.items.push_back({resource.items[i].command, TextOf(resource.items[i].text), true});
    }
  }
  return bar;
}

struct WindowSystem::State {
  State(int32_t screenWidth, int32_t screenHeight, std::shared_ptr<Clock> timeSource)
      : width(std::max(screenWidth, 1)),
        height(std::max(screenHeight, 1)),
        clock(timeSource ? std::move(timeSource) : SteadyClock()),
        sync(std::make_shared<Sync>()),
        frame(static_cast<size_t>(width) * static_cast<size_t>(height), 0xFFFFFF),
        uiThread(std::this_thread::get_id()) {}

  const int32_t width, height;
  const std::shared_ptr<Clock> clock;
  const std::shared_ptr<Sync> sync;

  // Guarded by sync->mutex.
  std::deque<Item> queue;
  std::map<Window, std::unique_ptr<WindowData>> windows;  // by handle: creation order
  std::vector<Window> zOrder;                             // the shown windows, bottom to top
  std::vector<Timer> timers;
  uint64_t timerOrder = 0;
  Window nextHandle = 1;
  Window active = kNoWindow;
  bool quitPosted = false;
  bool quit = false;
  int exitCode = 0;
  std::vector<uint32_t> frame;
  uint64_t frameVersion = 0;
  Window frameWindow = kNoWindow;
  uint64_t inputsQueued = 0, inputsTaken = 0;

  // The UI thread's own.
  std::vector<uint32_t> paintPixels;
  Window painting = kNoWindow;

  std::atomic<std::thread::id> uiThread;

  std::mutex listenerMutex;
  std::map<int, std::shared_ptr<const ChangeListener>> changeListeners;
  std::map<int, std::shared_ptr<const EventListener>> eventListeners;
  int nextListener = 1;

  // --- with sync->mutex held ---
  WindowData* Find(Window window) const {
    auto found = windows.find(window);
    return found == windows.end() ? nullptr : found->second.get();
  }
  Window Top() const { return zOrder.empty() ? kNoWindow : zOrder.back(); }
  void Wake() {
    ++sync->wakes;
    sync->changed.notify_all();
  }
  // Moves the window and the windows it owns (theirs too) to the top, keeping
  // their order among themselves.
  void Raise(Window window) {
    std::vector<Window> group{window};
    for (size_t i = 0; i < group.size(); ++i) {
      for (Window shown : zOrder) {
        const WindowData* data = Find(shown);
        if (data && data->owner == group[i] && std::find(group.begin(), group.end(), shown) == group.end()) {
          group.push_back(shown);
        }
      }
    }
    std::vector<Window> raised;
    for (Window shown : zOrder) {
      if (std::find(group.begin(), group.end(), shown) != group.end()) raised.push_back(shown);
    }
    if (std::find(raised.begin(), raised.end(), window) == raised.end()) raised.insert(raised.begin(), window);
    std::erase_if(zOrder, [&](Window w) { return std::find(raised.begin(), raised.end(), w) != raised.end(); });
    zOrder.insert(zOrder.end(), raised.begin(), raised.end());
  }
  void Hide(Window window) {
    std::erase(zOrder, window);
    std::erase_if(timers, [&](const Timer& timer) { return timer.window == window; });
  }
  // Ends the queue: the senders still waiting get 0.
  void DrainQueue() {
    for (Item& item : queue) {
      if (item.reply) item.reply->done = true;
    }
    queue.clear();
  }
  Window MainWindow() const {
    for (const auto& [handle, data] : windows) {
      if (data->type == WindowType::kWindow && !data->destroying) return handle;
    }
    return kNoWindow;
  }
  Screen ScreenOfTop() const {
    Screen screen;
    for (Window shown : zOrder) {
      if (const WindowData* data = Find(shown)) screen.stack.push_back(data->kind);
    }
    screen.frame = frameVersion;
    const WindowData* top = Find(Top());
    if (top == nullptr) return screen;
    screen.window = top->kind;
    if (top->type == WindowType::kDialog) screen.dialog = top->dialogId;
    screen.title = top->title;
    screen.rows = top->rows;
    screen.selected = top->selected;
    for (const Control& control : top->controls) {
      if (control.visible) screen.controls.push_back(control);
    }
    if (top->menuBar) screen.softkeys = *top->menuBar;
    screen.done = top->done;
    screen.menuOpen = top->menuOpen;
    screen.menuSelected = top->menuOpen ? top->menuSelected : -1;
    if (top->type == WindowType::kMessageBox) screen.message = top->message;
    screen.scroll = top->scroll;
    return screen;
  }

  // --- on the UI thread, without the lock unless said ---

  static intptr_t Call(State& s, Window window, uint32_t message, uintptr_t wParam,
                       intptr_t lParam) {
    std::shared_ptr<const WindowProc> proc;
    std::shared_ptr<const DialogProc> dialogProc;
    {
      std::lock_guard lock(s.sync->mutex);
      const WindowData* data = s.Find(window);
      if (data == nullptr) return 0;
      proc = data->proc;
      dialogProc = data->dialogProc;
    }
    return CallProcedure(proc, dialogProc, window, message, wParam, lParam);
  }

  // A modal window's own loop: runs until the window has ended (when `run`),
  // then removes it and gives its result (0 when it never ended).
  static int RunModal(State& s, Window handle, bool run) {
    if (run) {
      Loop(s, [&s, handle] {
        const WindowData* data = s.Find(handle);
        return data == nullptr || data->ended;
      }, false);
    }
    int result = 0;
    {
      std::lock_guard lock(s.sync->mutex);
      if (const WindowData* data = s.Find(handle)) result = data->ended ? data->result : 0;
    }
    Remove(s, handle);
    return result;
  }

  static void NotifyChange(State& s) {
    std::vector<std::shared_ptr<const WindowSystem::ChangeListener>> listeners;
    {
      std::lock_guard lock(s.listenerMutex);
      for (const auto& [id, listener] : s.changeListeners) listeners.push_back(listener);
    }
    for (const auto& listener : listeners) (*listener)();
  }

  static void Emit(State& s, const Event& event) {
    std::vector<std::shared_ptr<const WindowSystem::EventListener>> listeners;
    {
      std::lock_guard lock(s.listenerMutex);
      for (const auto& [id, listener] : s.eventListeners) listeners.push_back(listener);
    }
    for (const auto& listener : listeners) (*listener)(event);
  }

  static void Refuse(State& s, std::string input, std::string message,
                     std::vector<std::pair<std::string, std::string>> more = {}) {
    Event event{"error", {{"input", std::move(input)}, {"message", std::move(message)}}};
    for (auto& field : more) event.fields.push_back(std::move(field));
    Emit(s, event);
  }

  // Moves activation to the top window, if it is not active already: the one
  // losing it hears first, then the one gaining it (lParam: the other one).
  static void UpdateActivation(State& s) {
    Window previous, top;
    bool previousAlive;
    {
      std::lock_guard lock(s.sync->mutex);
      top = s.Top();
      previous = s.active;
      if (top == previous) return;
      s.active = top;
      WindowData* old = s.Find(previous);
      previousAlive = old != nullptr;
      // A menu does not stay open on a window that lost activation.
      if (old) old->menuOpen = false;
    }
    if (previousAlive) Call(s, previous, kMsgActivate, kInactive, static_cast<intptr_t>(top));
    if (top != kNoWindow) Call(s, top, kMsgActivate, kActive, static_cast<intptr_t>(previous));
    NotifyChange(s);
  }

  // Takes the window out of the screen, lets activation move, then sends
  // kMsgDestroy and forgets it.
  static void Remove(State& s, Window window) {
    {
      std::lock_guard lock(s.sync->mutex);
      WindowData* data = s.Find(window);
      if (data == nullptr) return;
      data->destroying = true;
      s.Hide(window);
      if (s.painting == window) s.painting = kNoWindow;
      s.Wake();
    }
    UpdateActivation(s);
    Call(s, window, kMsgDestroy, 0, 0);
    {
      std::lock_guard lock(s.sync->mutex);
      s.windows.erase(window);
      if (s.frameWindow == window) s.frameWindow = kNoWindow;
      if (s.active == window) s.active = kNoWindow;
    }
    NotifyChange(s);
  }

  // Handles what is queued and due until `done` holds (checked with the lock
  // held) or the quit message comes; with `pumpOnly`, also when nothing is left
  // to do now instead of waiting.
  static void Loop(State& s, const std::function<bool()>& done, bool pumpOnly) {
    std::unique_lock lock(s.sync->mutex);
    while (!s.quit && !(done && done())) {
      if (!s.queue.empty()) {
        Item item = std::move(s.queue.front());
        s.queue.pop_front();
        lock.unlock();
        Dispatch(s, item);
        lock.lock();
        continue;
      }
      const int64_t now = s.clock->NowMicros();
      Timer* due = nullptr;
      for (Timer& timer : s.timers) {
        if (timer.deadline > now) continue;
        if (!due || timer.deadline < due->deadline ||
            (timer.deadline == due->deadline && timer.order < due->order)) {
          due = &timer;
        }
      }
      if (due) {
        due->deadline = now + due->periodMicros;
        Window window = due->window;
        uint32_t id = due->id;
        lock.unlock();
        Call(s, window, kMsgTimer, id, 0);
        lock.lock();
        continue;
      }
      Window paint = kNoWindow;
      for (auto& [handle, data] : s.windows) {
        if (data->paintPending) {
          data->paintPending = false;
          paint = handle;
          break;
        }
      }
      if (paint != kNoWindow) {
        lock.unlock();
        Call(s, paint, kMsgPaint, 0, 0);
        lock.lock();
        continue;
      }
      if (pumpOnly) return;
      const uint64_t seen = s.sync->wakes;
      std::optional<int64_t> next;
      if (!s.clock->manual()) {
        for (const Timer& timer : s.timers) {
          if (!next || timer.deadline < *next) next = timer.deadline;
        }
      }
      auto woken = [&] { return s.sync->wakes != seen; };
      if (next) {
        s.sync->changed.wait_for(lock, std::chrono::microseconds(*next - now), woken);
      } else {
        s.sync->changed.wait(lock, woken);
      }
    }
  }

  static void Dispatch(State& s, Item& item) {
    switch (item.type) {
      case Item::Type::kMessage:
        Call(s, item.window, item.message, item.wParam, item.lParam);
        return;
      case Item::Type::kSent: {
        intptr_t result = Call(s, item.window, item.message, item.wParam, item.lParam);
        std::lock_guard lock(s.sync->mutex);
        item.reply->result = result;
        item.reply->done = true;
        s.sync->changed.notify_all();
        return;
      }
      case Item::Type::kInput: {
        Delivery delivery = item.input();
        {
          std::lock_guard lock(s.sync->mutex);
          ++s.inputsTaken;
          s.sync->changed.notify_all();
        }
        if (delivery) delivery();
        NotifyChange(s);
        return;
      }
      case Item::Type::kQuit: {
        {
          std::lock_guard lock(s.sync->mutex);
          s.quit = true;
          s.exitCode = item.exitCode;
          s.DrainQueue();
          s.Wake();
        }
        NotifyChange(s);
        return;
      }
    }
  }

  static void QueueInput(State& s, const char* name, Input input) {
    {
      std::lock_guard lock(s.sync->mutex);
      if (!s.quitPosted) {
        Item item;
        item.type = Item::Type::kInput;
        item.input = std::move(input);
        s.queue.push_back(std::move(item));
        ++s.inputsQueued;
        s.Wake();
        return;
      }
    }
    Refuse(s, name, "the program has quit");
  }

  // A command of the top window's menu bar (or a message box's button) given
  // to it.
  static Delivery DeliverCommand(State& s, Window window, uint32_t command) {
    return [&s, window, command] {
      bool answered = false;
      {
        std::lock_guard lock(s.sync->mutex);
        WindowData* data = s.Find(window);
        if (data == nullptr) return;
        data->menuOpen = false;
        if (data->type == WindowType::kMessageBox) {
          data->ended = true;
          data->result = static_cast<int>(command);
          answered = true;
          s.Wake();
        }
      }
      if (!answered) Call(s, window, kMsgCommand, command, 0);
    };
  }

  // With the lock held: whether the window offers this command now.
  static bool OffersCommand(const WindowData& data, uint32_t command) {
    if (data.done && command == static_cast<uint32_t>(kIdOk)) return true;
    if (command == 0 || !data.menuBar) return false;
    const MenuBar& bar = *data.menuBar;
    if (command == bar.leftCommand) return true;
    if (bar.items.empty()) return command == bar.rightCommand;
    return std::any_of(bar.items.begin(), bar.items.end(),
                       [&](const MenuItem& item) { return item.command == command && item.enabled; });
  }

  static Delivery Key(State& s, uint32_t key) {
    std::unique_lock lock(s.sync->mutex);
    Window top = s.Top();
    WindowData* data = s.Find(top);
    const std::string keyField = std::to_string(key);
    if (data == nullptr) {
      lock.unlock();
      Refuse(s, "key", "no window is shown", {{"key", keyField}});
      return {};
    }
    if (data->menuOpen) {
      const auto& items = data->menuBar->items;
      auto selectable = [&](int i) { return items[i].command != 0 && items[i].enabled; };
      const int count = static_cast<int>(items.size());
      switch (key) {
        case kKeyUp:
          for (int i = data->menuSelected - 1; i >= 0; --i) {
            if (selectable(i)) {
              data->menuSelected = i;
              break;
            }
          }
          return {};
        case kKeyDown:
          for (int i = data->menuSelected + 1; i < count; ++i) {
            if (selectable(i)) {
              data->menuSelected = i;
              break;
            }
          }
          return {};
        case kKeyReturn:
        case kKeySoftLeft:
          if (data->menuSelected >= 0 && data->menuSelected < count && selectable(data->menuSelected)) {
            return DeliverCommand(s, top, items[data->menuSelected].command);
          }
          data->menuOpen = false;
          return {};
        case kKeySoftRight:
        case kKeyBack:
        case kKeyEscape:
          data->menuOpen = false;
          return {};
        default:
          return {};
      }
    }
    if ((key == kKeySoftLeft || key == kKeySoftRight) && data->menuBar) {
      const MenuBar& bar = *data->menuBar;
      if (key == kKeySoftRight && !bar.items.empty()) {
        data->menuOpen = true;
        data->menuSelected = -1;
        for (size_t i = 0; i < bar.items.size(); ++i) {
          if (bar.items[i].command != 0 && bar.items[i].enabled) {
            data->menuSelected = static_cast<int>(i);
            break;
          }
        }
        return {};
      }
      uint32_t command = key == kKeySoftLeft ? bar.leftCommand : bar.rightCommand;
      if (command == 0) {
        lock.unlock();
        Refuse(s, "key", "the softkey has no command", {{"key", keyField}});
        return {};
      }
      return DeliverCommand(s, top, command);
    }
    if (data->type == WindowType::kMessageBox) {
      const std::vector<int>& buttons = data->message.buttons;
      int answer = 0;
      if (key == kKeyReturn) {
        answer = buttons.front();
      } else if (key == kKeyEscape || key == kKeyBack) {
        if (std::find(buttons.begin(), buttons.end(), kIdCancel) != buttons.end()) {
          answer = kIdCancel;
        } else if (buttons.size() == 1) {
          answer = buttons.front();
        }
      }
      if (answer == 0) return {};  // the box ignores the key, as a box does
      return DeliverCommand(s, top, static_cast<uint32_t>(answer));
    }
    if (data->type == WindowType::kDialog && key == kKeyEscape) {
      return [&s, top] { Call(s, top, kMsgCommand, static_cast<uintptr_t>(kIdCancel), 0); };
    }
    return [&s, top, key] {
      Call(s, top, kMsgKeyDown, key, 1);
      Call(s, top, kMsgKeyUp, key, static_cast<intptr_t>(0xC0000001u));
    };
  }
};

WindowSystem::WindowSystem(int32_t screenWidth, int32_t screenHeight, std::shared_ptr<Clock> clock)
    : state_(std::make_unique<State>(screenWidth, screenHeight, std::move(clock))) {
  if (auto* manual = dynamic_cast<ManualClock*>(state_->clock.get())) {
    std::weak_ptr<Sync> weak = state_->sync;
    manual->SetWake([weak] {
      if (auto sync = weak.lock()) {
        std::lock_guard lock(sync->mutex);
        ++sync->wakes;
        sync->changed.notify_all();
      }
    });
  }
}

WindowSystem::~WindowSystem() {
  if (auto* manual = dynamic_cast<ManualClock*>(state_->clock.get())) manual->SetWake(nullptr);
  std::lock_guard lock(state_->sync->mutex);
  state_->quitPosted = true;
  state_->quit = true;
  state_->DrainQueue();
  state_->Wake();
}

Clock& WindowSystem::clock() { return *state_->clock; }
int32_t WindowSystem::screenWidth() const { return state_->width; }
int32_t WindowSystem::screenHeight() const { return state_->height; }



// ---------------------------------------------------------------- windows

Window WindowSystem::CreateWindow(const WindowDescription& description, WindowProc proc) {
  State& s = *state_;
  Window handle;
  {
    std::lock_guard lock(s.sync->mutex);
    handle = s.nextHandle++;
    auto data = std::make_unique<WindowData>();
    data->handle = handle;
    data->type = WindowType::kWindow;
    data->kind = description.kind;
    data->className = description.className;
    data->title = description.title;
    data->proc = std::make_shared<const WindowProc>(std::move(proc));
    data->hasFrame = description.hasFrameBuffer;
    if (description.hasFrameBuffer && s.frameWindow == kNoWindow) s.frameWindow = handle;
    s.windows.emplace(handle, std::move(data));
  }
  if (State::Call(s, handle, kMsgCreate, 0, 0) == -1) {
    std::lock_guard lock(s.sync->mutex);
    s.windows.erase(handle);
    if (s.frameWindow == handle) s.frameWindow = kNoWindow;
    return kNoWindow;
  }
  return handle;
}

void WindowSystem::ShowWindow(Window window) {
  State& s = *state_;
  bool first;
  {
    std::lock_guard lock(s.sync->mutex);
    WindowData* data = s.Find(window);
    if (data == nullptr || data->destroying) return;
    data->visible = true;
    first = !data->shownOnce;
    data->shownOnce = true;
    s.Raise(window);
  }
  State::UpdateActivation(s);
  if (first) State::Call(s, window, kMsgSize, kSizeRestored, SizeParameter(s.width, s.height));
  State::NotifyChange(s);
}

void WindowSystem::DestroyWindow(Window window) {
  State& s = *state_;
  std::vector<Window> owned;
  {
    std::lock_guard lock(s.sync->mutex);
    WindowData* data = s.Find(window);
    if (data == nullptr || data->destroying) return;
    if (data->type != WindowType::kWindow) {
      // Modal windows belong to their nested loops, which end them.
      if (!data->ended) data->result = 0;
      data->ended = true;
      s.Wake();
      return;
    }
    for (const auto& [handle, other] : s.windows) {
      if (other->owner == window) owned.push_back(handle);
    }
  }
  for (Window child : owned) DestroyWindow(child);
  State::Remove(s, window);
}

bool WindowSystem::IsWindow(Window window) const {
  std::lock_guard lock(state_->sync->mutex);
  return state_->Find(window) != nullptr;
}

Window WindowSystem::FindWindow(std::u16string_view className, std::u16string_view title) const {
  std::lock_guard lock(state_->sync->mutex);
  for (const auto& [handle, data] : state_->windows) {
    if (data->type != WindowType::kWindow || data->destroying) continue;
    if ((className.empty() || data->className == className) && (title.empty() || data->title == title)) {
      return handle;
    }
  }
  return kNoWindow;
}

Window WindowSystem::ForegroundWindow() const {
  std::lock_guard lock(state_->sync->mutex);
  return state_->Top();
}

void WindowSystem::SetForegroundWindow(Window window) {
  State& s = *state_;
  std::string kind;
  {
    std::lock_guard lock(s.sync->mutex);
    WindowData* data = s.Find(window);
    if (data == nullptr || data->destroying) return;
    kind = data->kind;
    if (data->visible) s.Raise(window);
  }
  State::UpdateActivation(s);
  State::NotifyChange(s);
  State::Emit(s, Event{"foreground", {{"window", kind}}});
}

void WindowSystem::SetWindowText(Window window, std::u16string text) {
  {
    std::lock_guard lock(state_->sync->mutex);
    WindowData* data = state_->Find(window);
    if (data == nullptr) return;
    data->title = std::move(text);
  }
  State::NotifyChange(*state_);
}

void WindowSystem::SetDoneButton(Window window, bool shown) {
  State& s = *state_;
  {
    std::lock_guard lock(s.sync->mutex);
    WindowData* data = s.Find(window);
    if (data == nullptr) return;
    data->done = shown;
  }
  State::NotifyChange(s);
}

void WindowSystem::SetMenuBar(Window window, MenuBar menuBar) {
  {
    std::lock_guard lock(state_->sync->mutex);
    WindowData* data = state_->Find(window);
    if (data == nullptr) return;
    data->menuBar = std::move(menuBar);
    data->menuOpen = false;
  }
  State::NotifyChange(*state_);
}

intptr_t WindowSystem::DefWindowProc(Window window, uint32_t message, uintptr_t wParam, intptr_t) {
  if (message == kMsgSysCommand && (wParam & 0xFFF0) == kSysCommandClose) {
    return SendMessage(window, kMsgClose, 0, 0);
  }
  if (message == kMsgClose) DestroyWindow(window);
  return 0;
}

// ---------------------------------------------------------------- messages

bool WindowSystem::PostMessage(Window window, uint32_t message, uintptr_t wParam, intptr_t lParam) {
  State& s = *state_;
  std::lock_guard lock(s.sync->mutex);
  if (s.quitPosted || s.Find(window) == nullptr) return false;
  Item item;
  item.type = Item::Type::kMessage;
  item.window = window;
  item.message = message;
  item.wParam = wParam;
  item.lParam = lParam;
  s.queue.push_back(std::move(item));
  s.Wake();
  return true;
}

intptr_t WindowSystem::SendMessage(Window window, uint32_t message, uintptr_t wParam, intptr_t lParam) {
  State& s = *state_;
  if (std::this_thread::get_id() == s.uiThread.load()) return State::Call(s, window, message, wParam, lParam);
  std::shared_ptr<Sync> sync = s.sync;
  auto reply = std::make_shared<Reply>();
  std::unique_lock lock(sync->mutex);
  if (s.quitPosted || s.Find(window) == nullptr) return 0;
  Item item;
  item.type = Item::Type::kSent;
  item.window = window;
  item.message = message;
  item.wParam = wParam;
  item.lParam = lParam;
  item.reply = reply;
  s.queue.push_back(std::move(item));
  s.Wake();
  sync->changed.wait(lock, [&] { return reply->done; });
  return reply->result;
}

void WindowSystem::PostQuitMessage(int exitCode) {
  State& s = *state_;
  std::lock_guard lock(s.sync->mutex);
  if (s.quitPosted) return;
  s.quitPosted = true;
  Item item;
  item.type = Item::Type::kQuit;
  item.exitCode = exitCode;
  s.queue.push_back(std::move(item));
  s.Wake();
}

int WindowSystem::RunMessageLoop() {
  State& s = *state_;
  s.uiThread = std::this_thread::get_id();
  State::Loop(s, nullptr, false);
  std::lock_guard lock(s.sync->mutex);
  return s.exitCode;
}

void WindowSystem::PumpPending() {
  state_->uiThread = std::this_thread::get_id();
  State::Loop(*state_, nullptr, true);
}

bool WindowSystem::HasQuit() const {
  std::lock_guard lock(state_->sync->mutex);
  return state_->quit;
}

// ---------------------------------------------------------------- timers

void WindowSystem::SetTimer(Window window, uint32_t id, uint32_t milliseconds) {
  State& s = *state_;
  std::lock_guard lock(s.sync->mutex);
  const WindowData* data = s.Find(window);
  if (data == nullptr || data->destroying) return;
  const int64_t period = int64_t{std::max<uint32_t>(milliseconds, 1)} * 1000;
  const int64_t deadline = s.clock->NowMicros() + period;
  auto found = std::find_if(s.timers.begin(), s.timers.end(),
                            [&](const Timer& timer) { return timer.window == window && timer.id == id; });
  if (found == s.timers.end()) {
    s.timers.push_back({window, id, period, deadline, s.timerOrder++});
  } else {
    found->periodMicros = period;
    found->deadline = deadline;
    found->order = s.timerOrder++;
  }
  s.Wake();
}

void WindowSystem::KillTimer(Window window, uint32_t id) {
  State& s = *state_;
  std::lock_guard lock(s.sync->mutex);
  std::erase_if(s.timers, [&](const Timer& timer) { return timer.window == window && timer.id == id; });
  s.Wake();
}

// ---------------------------------------------------------------- painting

void WindowSystem::InvalidateWindow(Window window) {
  State& s = *state_;
  std::lock_guard lock(s.sync->mutex);
  WindowData* data = s.Find(window);
  if (data == nullptr || data->paintPending) return;
  data->paintPending = true;
  s.Wake();
}

Canvas WindowSystem::BeginPaint(Window window) {
  State& s = *state_;
  std::lock_guard lock(s.sync->mutex);
  WindowData* data = s.Find(window);
  if (data == nullptr) return Canvas();
  data->paintPending = false;
  if (window != s.frameWindow) return Canvas();
  s.paintPixels = s.frame;
  s.painting = window;
  return Canvas(s.paintPixels.data(), s.width, s.height);
}

void WindowSystem::EndPaint(Window window) {
  State& s = *state_;
  {
    std::lock_guard lock(s.sync->mutex);
    if (s.painting != window || window == kNoWindow) return;
    s.painting = kNoWindow;
    s.frame.swap(s.paintPixels);
    ++s.frameVersion;
  }
  State::NotifyChange(s);
}

uint64_t WindowSystem::ReadFrame(std::vector<uint32_t>* pixels) const {
  std::lock_guard lock(state_->sync->mutex);
  if (pixels) *pixels = state_->frame;
  return state_->frameVersion;
}

// ---------------------------------------------------------------- modal windows

int WindowSystem::DialogBox(const resources::DialogTemplate& dialog, const resources::ResourceModule& module,
                            Window owner, std::string kind, DialogProc proc) {
  State& s = *state_;
  Window handle;
  {
    std::lock_guard lock(s.sync->mutex);
    if (s.quitPosted) return 0;
    handle = s.nextHandle++;
    auto data = std::make_unique<WindowData>();
    data->handle = handle;
    data->type = WindowType::kDialog;
    data->kind = std::move(kind);
    data->title = TextOf(dialog.caption);
    data->dialogProc = std::make_shared<const DialogProc>(std::move(proc));
    data->owner = owner;
    data->dialogId = dialog.id;
    if (dialog.controls != nullptr) {
      for (uint32_t i = 0; i < dialog.controlCount; ++i) {
        const resources::ControlTemplate& control = dialog.controls[i];
        Control made;
        made.id = control.id;
        made.kind = control.kind;
        made.text = TextOf(control.text);
        made.checked = (control.flags & resources::kControlChecked) != 0;
        made.enabled = (control.flags & resources::kControlDisabled) == 0;
        made.group = (control.flags & resources::kControlGroup) != 0;
        data->controls.push_back(std::move(made));
      }
    }
    if (const resources::MenuBarTemplate* bar = MenuBarTemplateOf(module, dialog.menuBar)) {
      data->menuBar = MenuBarFrom(*bar);
    }
    s.windows.emplace(handle, std::move(data));
  }
  State::Call(s, handle, kMsgInitDialog, 0, 0);
  State::Call(s, handle, kMsgSize, kSizeRestored, SizeParameter(s.width, s.height));
  bool ended;
  {
    std::lock_guard lock(s.sync->mutex);
    WindowData* data = s.Find(handle);
    ended = data == nullptr || data->ended;
    if (!ended) {
      data->visible = true;
      data->shownOnce = true;
      s.Raise(handle);
    }
  }
  if (!ended) {
    State::UpdateActivation(s);
    State::NotifyChange(s);
  }
  return State::RunModal(s, handle, !ended);
}

void WindowSystem::EndDialog(Window dialog, int result) {
  State& s = *state_;
  std::lock_guard lock(s.sync->mutex);
  WindowData* data = s.Find(dialog);
  if (data == nullptr || data->type != WindowType::kDialog || data->ended) return;
  data->ended = true;
  data->result = result;
  s.Wake();
}

int WindowSystem::MessageBox(Window owner, std::u16string text, std::u16string caption, uint32_t flags) {
  State& s = *state_;
  Window handle;
  {
    std::lock_guard lock(s.sync->mutex);
    if (s.quitPosted) return 0;
    handle = s.nextHandle++;
    auto data = std::make_unique<WindowData>();
    data->handle = handle;
    data->type = WindowType::kMessageBox;
    data->kind = "message-box";
    data->title = caption;
    data->owner = owner;
    data->message.text = std::move(text);
    data->message.caption = std::move(caption);
    data->message.flags = flags;
    data->message.buttons = ButtonsOf(flags);
    data->menuBar = MessageBoxMenuBar(data->message.buttons);
    data->visible = true;
    data->shownOnce = true;
    s.windows.emplace(handle, std::move(data));
    s.Raise(handle);
  }
  State::UpdateActivation(s);
  State::NotifyChange(s);
  if (flags & kMbSetForeground) State::Emit(s, Event{"foreground", {{"window", "message-box"}}});
  return State::RunModal(s, handle, true);
}

// ---------------------------------------------------------------- controls

Control* WindowSystem::FindControl(Window dialog, uint32_t id) {
  std::lock_guard lock(state_->sync->mutex);
  WindowData* data = state_->Find(dialog);
  if (data == nullptr) return nullptr;
  for (Control& control : data->controls) {
    if (control.id == id) return &control;
  }
  return nullptr;
}

void WindowSystem::CheckButton(Window dialog, uint32_t id, bool checked) {
  Control* control = FindControl(dialog, id);
  if (control == nullptr) return;
  {
    std::lock_guard lock(state_->sync->mutex);
    control->checked = checked;
  }
  State::NotifyChange(*state_);
}

bool WindowSystem::IsButtonChecked(Window dialog, uint32_t id) {
  const Control* control = FindControl(dialog, id);
  return control != nullptr && control->checked;
}

void WindowSystem::CheckRadioButton(Window dialog, uint32_t firstId, uint32_t lastId, uint32_t id) {
  {
    std::lock_guard lock(state_->sync->mutex);
    WindowData* data = state_->Find(dialog);
    if (data == nullptr) return;
    for (Control& control : data->controls) {
      if (control.id == id) {
        control.checked = true;
      } else if (control.id >= firstId && control.id <= lastId &&
                 control.kind == resources::ControlKind::kRadioButton) {
        control.checked = false;
      }
    }
  }
  State::NotifyChange(*state_);
}

void WindowSystem::EnableControl(Window dialog, uint32_t id, bool enabled) {
  Control* control = FindControl(dialog, id);
  if (control == nullptr) return;
  {
    std::lock_guard lock(state_->sync->mutex);
    control->enabled = enabled;
  }
  State::NotifyChange(*state_);
}

void WindowSystem::SetControlText(Window dialog, uint32_t id, std::u16string text) {
  Control* control = FindControl(dialog, id);
  if (control == nullptr) return;
  {
    std::lock_guard lock(state_->sync->mutex);
    control->text = std::move(text);
  }
  State::NotifyChange(*state_);
}

void WindowSystem::SetRows(Window window, std::vector<ListRow> rows, int selected) {
  {
    std::lock_guard lock(state_->sync->mutex);
    WindowData* data = state_->Find(window);
    if (data == nullptr) return;
    data->rows = std::move(rows);
    data->selected = selected >= 0 && selected < static_cast<int>(data->rows.size()) ? selected : -1;
  }
  State::NotifyChange(*state_);
}

int WindowSystem::SelectedRow(Window window) const {
  std::lock_guard lock(state_->sync->mutex);
  const WindowData* data = state_->Find(window);
  return data ? data->selected : -1;
}

void WindowSystem::SetScroll(Window window, int32_t minimum, int32_t maximum, int32_t page, int32_t position) {
  {
    std::lock_guard lock(state_->sync->mutex);
    WindowData* data = state_->Find(window);
    if (data == nullptr) return;
    maximum = std::max(maximum, minimum);
    page = std::max(page, 0);
    // The position stays where the last page still fits, as Win32 keeps it.
    int64_t highest = std::max<int64_t>(minimum, int64_t{maximum} - std::max(page - 1, 0));
    position = static_cast<int32_t>(std::clamp<int64_t>(position, minimum, highest));
    data->scroll = ScrollState{minimum, maximum, page, position};
  }
  State::NotifyChange(*state_);
}

int32_t WindowSystem::ScrollPosition(Window window) const {
  std::lock_guard lock(state_->sync->mutex);
  const WindowData* data = state_->Find(window);
  return data && data->scroll ? data->scroll->position : 0;
}

// ---------------------------------------------------------------- front ends

std::string WindowSystem::Snapshot() const { return SnapshotJson(CurrentScreen()); }

Screen WindowSystem::CurrentScreen() const {
  std::lock_guard lock(state_->sync->mutex);
  return state_->ScreenOfTop();
}

std::string WindowSystem::TopKind() const {
  std::lock_guard lock(state_->sync->mutex);
  const WindowData* data = state_->Find(state_->Top());
  return data ? data->kind : std::string();
}

int WindowSystem::AddChangeListener(ChangeListener listener) {
  std::lock_guard lock(state_->listenerMutex);
  int id = state_->nextListener++;
  state_->changeListeners.emplace(id, std::make_shared<const ChangeListener>(std::move(listener)));
  return id;
}

int WindowSystem::AddEventListener(EventListener listener) {
  std::lock_guard lock(state_->listenerMutex);
  int id = state_->nextListener++;
  state_->eventListeners.emplace(id, std::make_shared<const EventListener>(std::move(listener)));
  return id;
}

void WindowSystem::RemoveListener(int id) {
  std::lock_guard lock(state_->listenerMutex);
  state_->changeListeners.erase(id);
  state_->eventListeners.erase(id);
}

void WindowSystem::Emit(Event event) { State::Emit(*state_, event); }

// ---------------------------------------------------------------- input

void WindowSystem::PressKey(uint32_t virtualKey) {
  State& s = *state_;
  State::QueueInput(s, "key", [&s, virtualKey] { return State::Key(s, virtualKey); });
}

void WindowSystem::ChooseCommand(uint32_t command) {
  State& s = *state_;
  State::QueueInput(s, "command", [&s, command]() -> Delivery {
    std::unique_lock lock(s.sync->mutex);
    Window top = s.Top();
    const WindowData* data = s.Find(top);
    bool offered = data != nullptr && State::OffersCommand(*data, command);
    if (data && data->type == WindowType::kMessageBox) {
      const auto& buttons = data->message.buttons;
      offered = std::find(buttons.begin(), buttons.end(), static_cast<int>(command)) != buttons.end();
    }
    lock.unlock();
    if (!offered) {
      State::Refuse(s, "command", "the top window offers no such enabled command",
                     {{"command", std::to_string(command)}});
      return {};
    }
    return State::DeliverCommand(s, top, command);
  });
}

void WindowSystem::ClickControl(uint32_t id, std::optional<bool> check) {
  State& s = *state_;
  State::QueueInput(s, "click", [&s, id, check]() -> Delivery {
    std::unique_lock lock(s.sync->mutex);
    Window top = s.Top();
    WindowData* data = s.Find(top);
    std::string refusal;
    Control* control = nullptr;
    if (data == nullptr || data->type != WindowType::kDialog) {
      refusal = "the top window has no controls";
    } else {
      for (Control& candidate : data->controls) {
        if (candidate.id == id && candidate.visible) control = &candidate;
      }
      if (control == nullptr) {
        refusal = "the top window has no such control";
      } else if (!control->enabled) {
        refusal = "the control is disabled";
      } else if (check && !IsCheckable(control->kind)) {
        refusal = "the control cannot be checked";
      } else if (!IsCheckable(control->kind) && control->kind != resources::ControlKind::kButton) {
        refusal = "the control cannot be clicked";
      } else if (check && *check == control->checked) {
        return {};  // already as asked
      } else if (check && !*check && control->kind == resources::ControlKind::kRadioButton) {
        refusal = "a radio button is switched off by choosing another one of its group";
      }
    }
    if (!refusal.empty()) {
      lock.unlock();
      State::Refuse(s, "click", refusal, {{"control", std::to_string(id)}});
      return {};
    }
    if (control->kind == resources::ControlKind::kCheckBox) {
      control->checked = !control->checked;
    } else if (control->kind == resources::ControlKind::kRadioButton) {
      // The group: the run of radio buttons around this one, a group flag
      // starting a new run.
      auto& controls = data->controls;
      size_t at = static_cast<size_t>(control - controls.data());
      size_t first = at;
      while (first > 0 && !controls[first].group &&
             controls[first - 1].kind == resources::ControlKind::kRadioButton) {
        --first;
      }
      size_t last = at + 1;
      while (last < controls.size() && controls[last].kind == resources::ControlKind::kRadioButton &&
             !controls[last].group) {
        ++last;
      }
      for (size_t i = first; i < last; ++i) controls[i].checked = i == at;
    }
    return [&s, top, id] {
      State::NotifyChange(s);
      State::Call(s, top, kMsgCommand, id | (uintptr_t{kButtonClicked} << 16), 0);
    };
  });
}

void WindowSystem::SelectRow(int row) {
  State& s = *state_;
  State::QueueInput(s, "select", [&s, row]() -> Delivery {
    std::unique_lock lock(s.sync->mutex);
    Window top = s.Top();
    WindowData* data = s.Find(top);
    if (data == nullptr || row < 0 || row >= static_cast<int>(data->rows.size())) {
      lock.unlock();
      State::Refuse(s, "select", "the top window has no such row", {{"row", std::to_string(row)}});
      return {};
    }
    data->selected = row;
    uint32_t command = data->rows[static_cast<size_t>(row)].command;
    if (command == 0) return {};
    return [&s, top, command] { State::Call(s, top, kMsgCommand, command, 0); };
  });
}

void WindowSystem::Scroll(uint32_t code, int32_t position) {
  State& s = *state_;
  State::QueueInput(s, "scroll", [&s, code, position]() -> Delivery {
    std::unique_lock lock(s.sync->mutex);
    Window top = s.Top();
    const WindowData* data = s.Find(top);
    if (data == nullptr || !data->scroll) {
      lock.unlock();
      State::Refuse(s, "scroll", "the top window does not scroll");
      return {};
    }
    uintptr_t wParam = (code & 0xFFFF) | ((static_cast<uintptr_t>(position) & 0xFFFF) << 16);
    return [&s, top, wParam] { State::Call(s, top, kMsgVScroll, wParam, 0); };
  });
}

void WindowSystem::Answer(int answer) {
  State& s = *state_;
  State::QueueInput(s, "answer", [&s, answer]() -> Delivery {
    std::unique_lock lock(s.sync->mutex);
    Window top = s.Top();
    const WindowData* data = s.Find(top);
    if (data == nullptr || data->type != WindowType::kMessageBox) {
      lock.unlock();
      State::Refuse(s, "answer", "no message box is shown", {{"answer", AnswerName(answer)}});
      return {};
    }
    const auto& buttons = data->message.buttons;
    if (std::find(buttons.begin(), buttons.end(), answer) == buttons.end()) {
      lock.unlock();
      State::Refuse(s, "answer", "the message box has no such button", {{"answer", AnswerName(answer)}});
      return {};
    }
    return State::DeliverCommand(s, top, static_cast<uint32_t>(answer));
  });
}

void WindowSystem::RequestClose() {
  State& s = *state_;
  State::QueueInput(s, "close", [&s]() -> Delivery {
    Window main;
    {
      std::lock_guard lock(s.sync->mutex);
      main = s.MainWindow();
    }
    if (main == kNoWindow) {
      State::Refuse(s, "close", "there is no window to close");
      return {};
    }
    return [&s, main] { State::Call(s, main, kMsgSysCommand, kSysCommandClose, 0); };
  });
}

bool WindowSystem::WaitInputsTaken(int32_t milliseconds) {
  State& s = *state_;
  std::shared_ptr<Sync> sync = s.sync;
  std::unique_lock lock(sync->mutex);
  const uint64_t target = s.inputsQueued;
  sync->changed.wait_for(lock, std::chrono::milliseconds(std::max(milliseconds, 0)),
                         [&] { return s.inputsTaken >= target || s.quit; });
  return s.inputsTaken >= target;
}

}  // namespace cordavex::ui

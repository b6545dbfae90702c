// What the web front end sees of the phone and how it drives it: the screen
// snapshot, the main window's frame buffer, the change and event listeners,
// and the input calls the scripted driver uses too. Every call is safe from
// any thread: the server's threads call nothing else of the window model.
//
// PhoneOf(WindowSystem&) is the real one; the server's tests give a fake.
#pragma once

#include <cstdint>
#include <functional>
#include <memory>
#include <optional>
#include <string>
#include <vector>

#include "ui/window_system.h"

namespace cordavex::web {

class Phone {
 public:
  virtual ~Phone() = default;

  virtual int32_t screenWidth() const = 0;
  virtual int32_t screenHeight() const = 0;

  // The snapshot JSON (one object).
  virtual std::string Snapshot() const = 0;
  // A copy of the frame buffer (0xRRGGBB, screen size) and its version.
  virtual uint64_t ReadFrame(std::vector<uint32_t>* pixels) const = 0;

  // Listeners are called on the thread that made the change; they must return
  // quickly and call nothing of the phone.
  virtual int AddChangeListener(std::function<void()> listener) = 0;
  virtual int AddEventListener(std::function<void(const ui::Event&)> listener) = 0;
  virtual void RemoveListener(int id) = 0;

  virtual void PressKey(uint32_t virtualKey) = 0;
  virtual void ChooseCommand(uint32_t command) = 0;
  virtual void ClickControl(uint32_t id, std::optional<bool> check) = 0;
  virtual void SelectRow(int row) = 0;
  virtual void Answer(int answer) = 0;
};

// The phone of a window system; it must outlive the returned object.
std::unique_ptr<Phone> PhoneOf(ui::WindowSystem& windows);

}  // namespace cordavex::web

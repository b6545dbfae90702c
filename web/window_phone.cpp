#include "web/phone.h"

namespace cordavex::web {

namespace {

class WindowPhone final : public Phone {
 public:
  explicit WindowPhone(ui::WindowSystem& windows) : windows_(windows) {}

  int32_t screenWidth() const override { return windows_.screenWidth(); }
  int32_t screenHeight() const override { return windows_.screenHeight(); }
  std::string Snapshot() const override { return windows_.Snapshot(); }
  uint64_t ReadFrame(std::vector<uint32_t>* pixels) const override { return windows_.ReadFrame(pixels); }
  int AddChangeListener(std::function<void()> listener) override {
    return windows_.AddChangeListener(std::move(listener));
  }
  int AddEventListener(std::function<void(const ui::Event&)> listener) override {
    return windows_.AddEventListener(std::move(listener));
  }
  void RemoveListener(int id) override { windows_.RemoveListener(id); }
  void PressKey(uint32_t virtualKey) override { windows_.PressKey(virtualKey); }
  void ChooseCommand(uint32_t command) override { windows_.ChooseCommand(command); }
  void ClickControl(uint32_t id, std::optional<bool> check) override { windows_.ClickControl(id, check); }
  void SelectRow(int row) override { windows_.SelectRow(row); }
  void Answer(int answer) override { windows_.Answer(answer); }

 private:
  ui::WindowSystem& windows_;
};

}  // namespace

std::unique_ptr<Phone> PhoneOf(ui::WindowSystem& windows) { return std::make_unique<WindowPhone>(windows); }

}  // namespace cordavex::web

// The library's exported functions: thin doors onto the process-wide filter
// state, the COM entries and self-registration. Built into the shared library
// only; everything else in it is hidden.
#include "filter/exports.h"

#include <dlfcn.h>
#include <stdlib.h>

#include <memory>
#include <string>

#include "filter/com_objects.h"
#include "filter/registration.h"
#include "platform/linux_device.h"

using namespace cordavex;
using filter::ProcessFilterState;

namespace {

// This library's own path, for InprocServer32.
std::u16string LibraryPath() {
  Dl_info info{};
  if (dladdr(reinterpret_cast<void*>(&DllRegisterServer), &info) == 0 || info.dli_fname == nullptr) {
    return {};
  }
  char* real = realpath(info.dli_fname, nullptr);
  const std::string path = real != nullptr ? real : info.dli_fname;
  free(real);
  return platform::Utf16(path);
}

// The device whose registry holds the registration: the program and its
// helpers share it through the device root.
filter::HRESULT WithDevice(filter::HRESULT (*action)(platform::Device&)) {
  std::unique_ptr<platform::LinuxDevice> device;
  const platform::Status status = platform::LinuxDevice::Open(platform::DefaultDeviceRoot(), &device);
  if (!status.ok()) {
    return filter::HresultFromWin32(static_cast<uint32_t>(platform::Win32ErrorOf(status)));
  }
  return action(*device);
}

}  // namespace

int32_t SetAutoDetectRotate(int32_t flag) { return ProcessFilterState().SetAutoDetectRotate(flag); }
int32_t SetGlobalRotate(int32_t rotation) { return ProcessFilterState().SetGlobalRotate(rotation); }
filter::FrameFormat* getVideoFormat(filter::FrameFormat* format) {
  return ProcessFilterState().GetVideoFormat(format);
}
void* getVideoBuffer(void* destination, int32_t size) {
  return ProcessFilterState().GetVideoBuffer(destination, size);
}
int32_t previewStartStop(int32_t flag) { return ProcessFilterState().PreviewStartStop(flag); }
int32_t setScreenXY(int32_t x, int32_t y) { return ProcessFilterState().SetScreenXY(x, y); }
int32_t setRxy(int32_t x, int32_t y) { return ProcessFilterState().SetRxy(x, y); }

filter::HRESULT DllRegisterServer() {
  return WithDevice([](platform::Device& device) {
    return filter::RegisterFilterServer(device, LibraryPath());
  });
}

filter::HRESULT DllUnregisterServer() {
  return WithDevice([](platform::Device& device) { return filter::UnregisterFilterServer(device); });
}

filter::HRESULT DllGetClassObject(const filter::Guid& clsid, const filter::Guid& iid, void** object) {
  return filter::GetFilterClassObject(clsid, iid, object);
}

filter::HRESULT DllCanUnloadNow() { return filter::CanUnloadFilterLibrary(); }

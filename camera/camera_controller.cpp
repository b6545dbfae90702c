#include "camera/camera_controller.h"

namespace cordavex::camera {

SimulatedCameraController::SimulatedCameraController() {
  camera_[kCameraZoom] = {{100, 400, 50, 100, kFlagsManual}, 100, kFlagsManual};
  camera_[kCameraFocus] = {{0, 2, 1, 0, kFlagsAuto | kFlagsManual}, 0, kFlagsAuto};
  camera_[kCameraFocusMode] = {{0, 2, 1, 0, kFlagsManual}, 0, kFlagsManual};
  for (int32_t property = kBrightness; property <= kGain; ++property) {
    procAmp_[property] = {{0, 10000, 1, 0, kFlagsAuto | kFlagsManual}, 0, kFlagsAuto};
  }
}

void SimulatedCameraController::SetCameraRange(int32_t property, const ControlRange& range) {
  std::lock_guard lock(mutex_);
  camera_[property] = {range, range.defaultValue, kFlagsManual};
}

void SimulatedCameraController::RemoveCameraProperty(int32_t property) {
  std::lock_guard lock(mutex_);
  camera_.erase(property);
}

void SimulatedCameraController::SetProcAmpValue(int32_t property, int32_t value) {
  std::lock_guard lock(mutex_);
  procAmp_[property].value = value;
}

void SimulatedCameraController::SetHasCameraControl(bool has) {
  std::lock_guard lock(mutex_);
  hasCameraControl_ = has;
}

void SimulatedCameraController::SetHasProcAmp(bool has) {
  std::lock_guard lock(mutex_);
  hasProcAmp_ = has;
}

void SimulatedCameraController::FailSets(int32_t property, HRESULT result) {
  std::lock_guard lock(mutex_);
  if (result == filter::S_OK) {
    failSets_.erase(property);
  } else {
    failSets_[property] = result;
  }
}

bool SimulatedCameraController::HasCameraControl() {
  std::lock_guard lock(mutex_);
  return hasCameraControl_;
}

bool SimulatedCameraController::HasProcAmp() {
  std::lock_guard lock(mutex_);
  return hasProcAmp_;
}

HRESULT SimulatedCameraController::GetCameraRange(int32_t property, ControlRange* range) {
  if (range == nullptr) return filter::E_POINTER;
  std::lock_guard lock(mutex_);
  if (!hasCameraControl_) return filter::E_NOINTERFACE;
  const auto it = camera_.find(property);
  if (it == camera_.end()) return E_PROP_ID_UNSUPPORTED;
  *range = it->second.range;
  return filter::S_OK;
}

HRESULT SimulatedCameraController::Get(Interface interface, std::map<int32_t, Control>& controls,
                                       int32_t property, int32_t* value, int32_t* flags) {
  if (value == nullptr || flags == nullptr) return filter::E_POINTER;
  std::lock_guard lock(mutex_);
  if (!(interface == Interface::kCamera ? hasCameraControl_ : hasProcAmp_)) return filter::E_NOINTERFACE;
  const auto it = controls.find(property);
  if (it == controls.end()) return E_PROP_ID_UNSUPPORTED;
  *value = it->second.value;
  *flags = it->second.flags;
  calls_.push_back({interface, false, property, *value, *flags});
  return filter::S_OK;
}

HRESULT SimulatedCameraController::Set(Interface interface, std::map<int32_t, Control>& controls,
                                       int32_t property, int32_t value, int32_t flags) {
  std::lock_guard lock(mutex_);
  if (!(interface == Interface::kCamera ? hasCameraControl_ : hasProcAmp_)) return filter::E_NOINTERFACE;
  calls_.push_back({interface, true, property, value, flags});
  const auto failing = failSets_.find(property);
  if (failing != failSets_.end()) return failing->second;
  const auto it = controls.find(property);
  if (it == controls.end()) return E_PROP_ID_UNSUPPORTED;
  // A manual value outside the range is refused, as cameras refuse it.
  if ((flags & kFlagsManual) != 0 && (value < it->second.range.min || value > it->second.range.max)) {
    return filter::E_INVALIDARG;
  }
  if ((flags & kFlagsManual) != 0) it->second.value = value;
  it->second.flags = flags;
  return filter::S_OK;
}

HRESULT SimulatedCameraController::GetCamera(int32_t property, int32_t* value, int32_t* flags) {
  return Get(Interface::kCamera, camera_, property, value, flags);
}

HRESULT SimulatedCameraController::SetCamera(int32_t property, int32_t value, int32_t flags) {
  return Set(Interface::kCamera, camera_, property, value, flags);
}

HRESULT SimulatedCameraController::GetProcAmp(int32_t property, int32_t* value, int32_t* flags) {
  return Get(Interface::kProcAmp, procAmp_, property, value, flags);
}

HRESULT SimulatedCameraController::SetProcAmp(int32_t property, int32_t value, int32_t flags) {
  return Set(Interface::kProcAmp, procAmp_, property, value, flags);
}

std::vector<SimulatedCameraController::Call> SimulatedCameraController::calls() const {
  std::lock_guard lock(mutex_);
  return calls_;
}

std::vector<SimulatedCameraController::Call> SimulatedCameraController::sets() const {
  std::lock_guard lock(mutex_);
  std::vector<Call> out;
  for (const Call& call : calls_) {
    if (call.set) out.push_back(call);
  }
  return out;
}

int32_t SimulatedCameraController::CameraValue(int32_t property) const {
  std::lock_guard lock(mutex_);
  const auto it = camera_.find(property);
  return it != camera_.end() ? it->second.value : 0;
}

int32_t SimulatedCameraController::ProcAmpValue(int32_t property) const {
  std::lock_guard lock(mutex_);
  const auto it = procAmp_.find(property);
  return it != procAmp_.end() ? it->second.value : 0;
}

}  // namespace cordavex::camera

// The camera's picture and lens controls as the camera graph uses them: the
// camera-control properties (zoom, focus, and the vendor focus-mode property)
// and the video processing amplifier (brightness, contrast...), each with a
// range, a value and auto/manual flags, answering in HRESULTs as the
// platform's camera interfaces do.
//
// SimulatedCameraController stands for the camera of a file or pushed source:
// it holds the values it is given within its ranges and records every call,
// so tests use it as a recording controller. The V4L2 source gives a
// controller over the device's own controls (v4l2_source.h).
//
// Threads: every controller is safe from any thread (the window thread zooms
// while the power thread may trigger the focus).
#pragma once

#include <cstdint>
#include <map>
#include <mutex>
#include <string>
#include <vector>

#include "filter/hresult.h"

namespace cordavex::camera {

using filter::HRESULT;

// Camera-control properties, as the platform numbers them.
enum CameraProperty : int32_t {
  kCameraPan = 0,
  kCameraTilt = 1,
  kCameraRoll = 2,
  kCameraZoom = 3,
  kCameraExposure = 4,
  kCameraIris = 5,
  kCameraFocus = 6,
  kCameraFocusMode = 11,  // a vendor property: 1 = focus mode on, 2 = off / pulse
};

// Video processing amplifier properties.
enum ProcAmpProperty : int32_t {
  kBrightness = 0,
  kContrast = 1,
  kHue = 2,
  kSaturation = 3,
  kSharpness = 4,
  kGamma = 5,
  kColorEnable = 6,
  kWhiteBalance = 7,
  kBacklightCompensation = 8,
  kGain = 9,
};

// Control flags.
constexpr int32_t kFlagsAuto = 1;
constexpr int32_t kFlagsManual = 2;

// The property is not one this camera has (E_PROP_ID_UNSUPPORTED).
constexpr HRESULT E_PROP_ID_UNSUPPORTED = filter::MakeHresult(0x80070490);

struct ControlRange {
  int32_t min = 0;
  int32_t max = 0;
  int32_t step = 0;
  int32_t defaultValue = 0;
  int32_t flags = kFlagsManual;
};

class CameraController {
 public:
  virtual ~CameraController() = default;

  // False when the camera has no camera-control interface at all.
  virtual bool HasCameraControl() = 0;
  virtual HRESULT GetCameraRange(int32_t property, ControlRange* range) = 0;
  virtual HRESULT GetCamera(int32_t property, int32_t* value, int32_t* flags) = 0;
  virtual HRESULT SetCamera(int32_t property, int32_t value, int32_t flags) = 0;

  // False when the camera has no video processing amplifier.
  virtual bool HasProcAmp() = 0;
  virtual HRESULT GetProcAmp(int32_t property, int32_t* value, int32_t* flags) = 0;
  virtual HRESULT SetProcAmp(int32_t property, int32_t value, int32_t flags) = 0;
};

class SimulatedCameraController : public CameraController {
 public:
  enum class Interface { kCamera, kProcAmp };
  // One Get or Set call.
  struct Call {
    Interface interface;
    bool set;
    int32_t property;
    int32_t value;  // the value set, or the value read
    int32_t flags;
    friend bool operator==(const Call&, const Call&) = default;
  };

  // Zoom 100 to 400 in steps of 50 (default 100), focus 0 to 2, the focus
  // mode property 0 to 2, every amplifier property 0 to 10000 (default 0).
  SimulatedCameraController();

  // Changes the simulated camera (before use).
  void SetCameraRange(int32_t property, const ControlRange& range);
  void RemoveCameraProperty(int32_t property);
  void SetProcAmpValue(int32_t property, int32_t value);
  void SetHasCameraControl(bool has);
  void SetHasProcAmp(bool has);
  // Makes every Set of a property fail with `result` (S_OK to stop).
  void FailSets(int32_t property, HRESULT result);

  bool HasCameraControl() override;
  HRESULT GetCameraRange(int32_t property, ControlRange* range) override;
  HRESULT GetCamera(int32_t property, int32_t* value, int32_t* flags) override;
  HRESULT SetCamera(int32_t property, int32_t value, int32_t flags) override;
  bool HasProcAmp() override;
  HRESULT GetProcAmp(int32_t property, int32_t* value, int32_t* flags) override;
  HRESULT SetProcAmp(int32_t property, int32_t value, int32_t flags) override;

  std::vector<Call> calls() const;
  // Only the Set calls.
  std::vector<Call> sets() const;
  int32_t CameraValue(int32_t property) const;
  int32_t ProcAmpValue(int32_t property) const;

 private:
  struct Control {
    ControlRange range;
    int32_t value = 0;
    int32_t flags = kFlagsManual;
  };
  HRESULT Get(Interface interface, std::map<int32_t, Control>& controls, int32_t property, int32_t* value,
              int32_t* flags);
  HRESULT Set(Interface interface, std::map<int32_t, Control>& controls, int32_t property, int32_t value,
              int32_t flags);

  mutable std::mutex mutex_;
  bool hasCameraControl_ = true;
  bool hasProcAmp_ = true;
  std::map<int32_t, Control> camera_;
  std::map<int32_t, Control> procAmp_;
  std::map<int32_t, HRESULT> failSets_;
  std::vector<Call> calls_;
};

}  // namespace cordavex::camera

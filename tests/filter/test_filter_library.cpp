// The built filter library, loaded by its logical name through the platform
// loader as the phone program loads it: its exports, its COM class, and a QR
// code carried from a YUY2 camera frame through the transform into the engine.
#include <gtest/gtest.h>

#include <cstdlib>
#include <filesystem>
#include <string>
#include <vector>

#include "filter/com_objects.h"
#include "filter/exports.h"
#include "filter/media_fixture.h"
#include "platform/device_fixture.h"
#include "platform/library_loader.h"
#include "support/engine_frames.h"
#include "support/qr_symbols.h"
#include "support/render.h"

namespace cordavex::filter {
namespace {

// The exports, bound by name as the program binds them.
struct FilterLibrary {
  platform::LibraryHandle handle = nullptr;
  SetAutoDetectRotateFunction* setAutoDetectRotate = nullptr;
  SetGlobalRotateFunction* setGlobalRotate = nullptr;
  GetVideoFormatFunction* getVideoFormat = nullptr;
  GetVideoBufferFunction* getVideoBuffer = nullptr;
  PreviewStartStopFunction* previewStartStop = nullptr;
  SetScreenXYFunction* setScreenXY = nullptr;
  SetRxyFunction* setRxy = nullptr;
  DllRegisterServerFunction* registerServer = nullptr;
  DllUnregisterServerFunction* unregisterServer = nullptr;
  DllGetClassObjectFunction* getClassObject = nullptr;
  DllCanUnloadNowFunction* canUnloadNow = nullptr;

  explicit FilterLibrary(std::string* error) {
    platform::SetLibraryFolder(CORDAVEX_FILTER_LIBRARY_DIR);
    handle = platform::LoadLibrary("CordavexDSFilter.dll", error);
    platform::SetLibraryFolder("");
    if (handle == nullptr) return;
    using platform::GetProcAddressAs;
    setAutoDetectRotate = GetProcAddressAs<SetAutoDetectRotateFunction>(handle, "SetAutoDetectRotate");
    setGlobalRotate = GetProcAddressAs<SetGlobalRotateFunction>(handle, "SetGlobalRotate");
    getVideoFormat = GetProcAddressAs<GetVideoFormatFunction>(handle, "getVideoFormat");
    getVideoBuffer = GetProcAddressAs<GetVideoBufferFunction>(handle, "getVideoBuffer");
    previewStartStop = GetProcAddressAs<PreviewStartStopFunction>(handle, "previewStartStop");
    setScreenXY = GetProcAddressAs<SetScreenXYFunction>(handle, "setScreenXY");
    setRxy = GetProcAddressAs<SetRxyFunction>(handle, "setRxy");
    registerServer = GetProcAddressAs<DllRegisterServerFunction>(handle, "DllRegisterServer");
    unregisterServer = GetProcAddressAs<DllUnregisterServerFunction>(handle, "DllUnregisterServer");
    getClassObject = GetProcAddressAs<DllGetClassObjectFunction>(handle, "DllGetClassObject");
    canUnloadNow = GetProcAddressAs<DllCanUnloadNowFunction>(handle, "DllCanUnloadNow");
  }
  ~FilterLibrary() { platform::FreeLibrary(handle); }
  FilterLibrary(const FilterLibrary&) = delete;
  FilterLibrary& operator=(const FilterLibrary&) = delete;

  bool complete() const {
    return setAutoDetectRotate && setGlobalRotate && getVideoFormat && getVideoBuffer &&
           previewStartStop && setScreenXY && setRxy && registerServer && unregisterServer &&
           getClassObject && canUnloadNow;
  }
};

// A grey frame as a YUY2 camera delivers it: Y is the grey, Cb = Cr = 128.
std::vector<uint8_t> GreyToYuy2(const std::vector<uint8_t>& grey) {
  std::vector<uint8_t> yuy2(grey.size() * 2);
  for (size_t i = 0; i < grey.size(); ++i) {
    yuy2[2 * i] = grey[i];
    yuy2[2 * i + 1] = 128;
  }
  return yuy2;
}

TEST(FilterLibrary, CarriesAQrCodeFromTheCameraToTheEngine) {
  std::string error;
  FilterLibrary library(&error);
  ASSERT_NE(library.handle, nullptr) << error;
  ASSERT_TRUE(library.complete());
  // Nothing of the library's internals is visible.
  EXPECT_EQ(platform::GetProcAddress(library.handle, "_ZN8cordavex6filter18ProcessFilterStateEv"), nullptr);

  // Before a camera is connected: no format, no frame.
  FrameFormat format{1, 1, 1, 1, 1, 1, 1};
  EXPECT_EQ(library.getVideoFormat(&format), &format);
  EXPECT_EQ(format.outputWidth, 0);
  EXPECT_EQ(format.sourceWidth, 0);
  std::vector<uint8_t> frame(192 * 144 * 3, 0x33);
  EXPECT_EQ(library.getVideoBuffer(frame.data(), static_cast<int32_t>(frame.size())), frame.data());
  EXPECT_EQ(frame, std::vector<uint8_t>(192 * 144 * 3, 0x33));

  // The program's settings: no rotation, the default limits.
  EXPECT_EQ(library.setGlobalRotate(0), 0);
  EXPECT_EQ(library.setRxy(192, 144), 144);
  EXPECT_EQ(library.setScreenXY(320, 240), 240);
  EXPECT_EQ(library.setAutoDetectRotate(0), 0);

  // The camera graph creates the filter through the class factory.
  void* object = nullptr;
  ASSERT_EQ(library.getClassObject(kClsidCvDSFilter, kIidIClassFactory, &object), S_OK);
  auto* factory = static_cast<IClassFactory*>(object);
  ASSERT_EQ(factory->CreateInstance(nullptr, kIidIBaseFilter, &object), S_OK);
  factory->Release();
  auto* filter = static_cast<IFrameTransformFilter*>(object);
  EXPECT_EQ(library.canUnloadNow(), S_FALSE);

  const std::string text = "https://example.com/cordavex/filter";
  const auto symbol = test::EncodeQrBytes(
      std::span(reinterpret_cast<const uint8_t*>(text.data()), text.size()), 3, test::kLevelM);
  ASSERT_TRUE(symbol);
  test::RenderOptions options;
  options.width = 320;
  options.height = 240;
  options.moduleSize = 3.5;
  options.seed = 7;
  const test::Frame camera = test::RenderModules(symbol->modules, symbol->size, options);

  ASSERT_EQ(filter->SetInputType(test::VideoType(kSubtypeYUY2, 320, 240, 16)), S_OK);
  MediaType out;
  ASSERT_EQ(filter->GetMediaType(0, &out), S_OK);
  ASSERT_EQ(filter->CheckTransform(test::VideoType(kSubtypeYUY2, 320, 240, 16), out), S_OK);
  test::TestAllocator allocator;
  AllocatorProperties request;
  ASSERT_EQ(filter->DecideBufferSize(&allocator, &request), S_OK);

  test::OwnedSample in(320 * 240 * 2), output(static_cast<size_t>(request.bufferSize));
  in.bytes = GreyToYuy2(camera.grey);
  in.sample.buffer = in.bytes.data();
  ASSERT_EQ(filter->Transform(in.sample, &output.sample), S_OK);

  library.getVideoFormat(&format);
  EXPECT_EQ(format.sourceWidth, 320);
  EXPECT_EQ(format.sourceHeight, 240);
  EXPECT_EQ(format.formatCode, 9);
  EXPECT_EQ(format.bitsPerPixel, 24);
  ASSERT_EQ(format.outputWidth, 192);
  ASSERT_EQ(format.outputHeight, 144);
  EXPECT_EQ(format.rotation, 0);

  // The preview thread's copy, handed to the engine as the decode thread does.
  test::Frame copied;
  copied.width = format.outputWidth;
  copied.height = format.outputHeight;
  copied.bitsPerPixel = format.bitsPerPixel;
  copied.pixels.assign(static_cast<size_t>(copied.width) * copied.height * 3, 0);
  library.getVideoBuffer(copied.pixels.data(), static_cast<int32_t>(copied.pixels.size()));
  const test::Outcome outcome = test::RecognizeFrame(copied);
  EXPECT_EQ(outcome.status, 1);
  EXPECT_EQ(outcome.bytes, text);

  // The private rotation interface reaches the same process-wide state.
  void* rotationObject = nullptr;
  ASSERT_EQ(filter->QueryInterface(kIidCvRotation, &rotationObject), S_OK);
  int32_t rotation = 1;
  EXPECT_EQ(static_cast<ICvRotation*>(rotationObject)->SetRotation(&rotation), S_OK);
  library.getVideoFormat(&format);
  EXPECT_EQ(format.rotation, 1);
  static_cast<ICvRotation*>(rotationObject)->Release();

  filter->Stop();
  EXPECT_EQ(filter->Release(), 0u);
  EXPECT_EQ(library.canUnloadNow(), S_OK);
}

TEST(FilterLibrary, RegistersItselfInTheDeviceRegistry) {
  test::TemporaryFolder folder;
  const char* saved = std::getenv("CORDAVEX_DEVICE_ROOT");
  const std::string keep = saved != nullptr ? saved : "";
  const std::string root = (std::filesystem::path(folder.path()) / "device").string();
  ::setenv("CORDAVEX_DEVICE_ROOT", root.c_str(), 1);

  std::string error;
  FilterLibrary library(&error);
  ASSERT_NE(library.handle, nullptr) << error;
  const HRESULT registered = library.registerServer();

  // The program's own view of the same device sees the library's keys.
  std::unique_ptr<platform::LinuxDevice> device;
  ASSERT_TRUE(platform::LinuxDevice::Open(root, &device).ok());
  const std::u16string inproc = u"CLSID\\{45C247BA-D8C4-4894-91A1-0C62F025FB40}\\InprocServer32";
  platform::RegistryValue path;
  const platform::Status read = device->GetValue(platform::RegistryRoot::kClassesRoot, inproc, u"", &path);
  const HRESULT unregistered = library.unregisterServer();
  const platform::Status gone = device->OpenKey(platform::RegistryRoot::kClassesRoot, inproc);
  if (saved != nullptr) {
    ::setenv("CORDAVEX_DEVICE_ROOT", keep.c_str(), 1);
  } else {
    ::unsetenv("CORDAVEX_DEVICE_ROOT");
  }

  EXPECT_EQ(registered, S_OK);
  ASSERT_TRUE(read.ok()) << read.ToString();
  std::u16string text;
  ASSERT_TRUE(path.AsString(&text));
  const std::string built = std::filesystem::canonical(
      std::filesystem::path(CORDAVEX_FILTER_LIBRARY_DIR) / "libCordavexDSFilter.so").string();
  EXPECT_EQ(platform::Utf8(text), built);
  EXPECT_EQ(unregistered, S_OK);
  EXPECT_TRUE(gone.IsNotFound());
}

}  // namespace
}  // namespace cordavex::filter

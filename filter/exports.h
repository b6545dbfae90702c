// The camera filter library's exports, as the main program binds them by name
// after loading "CordavexDSFilter.dll" (platform/library_loader.h): the
// function types to cast GetProcAddress results to, and the declarations the
// library itself defines.
//
// The setters are plain stores read by the filter's streaming thread;
// getVideoFormat and getVideoBuffer may be called from any thread.
#pragma once

#include <cstdint>

#include "filter/filter_state.h"
#include "filter/guid.h"
#include "filter/hresult.h"

namespace cordavex::filter {

using SetAutoDetectRotateFunction = int32_t(int32_t flag);
using SetGlobalRotateFunction = int32_t(int32_t rotation);
using GetVideoFormatFunction = FrameFormat*(FrameFormat* format);
using GetVideoBufferFunction = void*(void* destination, int32_t size);
using PreviewStartStopFunction = int32_t(int32_t flag);
using SetScreenXYFunction = int32_t(int32_t x, int32_t y);
using SetRxyFunction = int32_t(int32_t x, int32_t y);
using DllRegisterServerFunction = HRESULT();
using DllUnregisterServerFunction = HRESULT();
using DllGetClassObjectFunction = HRESULT(const Guid& clsid, const Guid& iid, void** object);
using DllCanUnloadNowFunction = HRESULT();

}  // namespace cordavex::filter

#define CORDAVEX_FILTER_EXPORT extern "C" __attribute__((visibility("default")))

CORDAVEX_FILTER_EXPORT int32_t SetAutoDetectRotate(int32_t flag);
CORDAVEX_FILTER_EXPORT int32_t SetGlobalRotate(int32_t rotation);
CORDAVEX_FILTER_EXPORT cordavex::filter::FrameFormat* getVideoFormat(
    cordavex::filter::FrameFormat* format);
CORDAVEX_FILTER_EXPORT void* getVideoBuffer(void* destination, int32_t size);
CORDAVEX_FILTER_EXPORT int32_t previewStartStop(int32_t flag);
CORDAVEX_FILTER_EXPORT int32_t setScreenXY(int32_t x, int32_t y);
CORDAVEX_FILTER_EXPORT int32_t setRxy(int32_t x, int32_t y);
// Register in the registry of the device at platform::DefaultDeviceRoot(): a
// program started with its own device root sets CORDAVEX_DEVICE_ROOT to it
// before calling, so that the library writes where the program reads.
CORDAVEX_FILTER_EXPORT cordavex::filter::HRESULT DllRegisterServer();
CORDAVEX_FILTER_EXPORT cordavex::filter::HRESULT DllUnregisterServer();
CORDAVEX_FILTER_EXPORT cordavex::filter::HRESULT DllGetClassObject(
    const cordavex::filter::Guid& clsid, const cordavex::filter::Guid& iid, void** object);
CORDAVEX_FILTER_EXPORT cordavex::filter::HRESULT DllCanUnloadNow();

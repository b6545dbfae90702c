// The filter library's self-registration: its COM class under
// HKEY_CLASSES_ROOT\CLSID and its entry for the filter mapper, written through
// the device's registry and removed again.
//
//   CLSID\{45C247BA-…}                  (default) "CvDSFilter Filter", Merit
//   CLSID\{45C247BA-…}\InprocServer32   (default) the library's path, ThreadingModel "Both"
//   CLSID\{45C247BA-…}\Pins\XForm In    and XForm Out, each with its video media type
//   Filter\{45C247BA-…}                 (default) "CvDSFilter Filter"
//
// A registry failure comes back as the HRESULT of its Win32 error; what was
// written before it stays (registering again completes it). Thread-safe as
// the device is.
#pragma once

#include <string_view>

#include "filter/hresult.h"
#include "platform/device.h"

namespace cordavex::filter {

// The filter mapper's merit for a filter that intelligent connection never
// picks: the camera graph inserts this filter by its class.
constexpr uint32_t kMeritDoNotUse = 0x00200000;

HRESULT RegisterFilterServer(platform::Device& device, std::u16string_view libraryPath);
// Removing what is not there is success.
HRESULT UnregisterFilterServer(platform::Device& device);

}  // namespace cordavex::filter

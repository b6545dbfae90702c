#include "filter/registration.h"

#include <string>
#include <tuple>

#include "filter/guid.h"
#include "platform/status.h"

namespace cordavex::filter {

namespace {

using platform::Device;
using platform::RegistryRoot;
using platform::RegistryValue;
using platform::Status;

constexpr RegistryRoot kClasses = RegistryRoot::kClassesRoot;
constexpr char16_t kFriendlyName[] = u"CvDSFilter Filter";

std::u16string GuidText(const Guid& guid) { return platform::Utf16(ToString(guid)); }

HRESULT FromStatus(const Status& status) {
  return HresultFromWin32(static_cast<uint32_t>(platform::Win32ErrorOf(status)));
}

// Writes a key and its values in order, stopping at the first failure.
class KeyWriter {
 public:
  explicit KeyWriter(Device& device) : device_(device) {}
  KeyWriter& Key(const std::u16string& key) {
    key_ = key;
    if (status_.ok()) status_ = device_.CreateKey(kClasses, key_);
    return *this;
  }
  KeyWriter& Value(std::u16string_view name, const RegistryValue& value) {
    if (status_.ok()) status_ = device_.SetValue(kClasses, key_, name, value);
    return *this;
  }
  const Status& status() const { return status_; }

 private:
  Device& device_;
  std::u16string key_;
  Status status_;
};

}  // namespace

HRESULT RegisterFilterServer(Device& device, std::u16string_view libraryPath) {
  const std::u16string clsid = GuidText(kClsidCvDSFilter);
  const std::u16string classKey = u"CLSID\\" + clsid;
  const std::u16string videoType = u"\\Types\\" + GuidText(kMediaTypeVideo) + u"\\" + GuidText(kGuidNull);
  KeyWriter writer(device);
  writer.Key(classKey)
      .Value(u"", RegistryValue::String(kFriendlyName))
      .Key(classKey + u"\\InprocServer32")
      .Value(u"", RegistryValue::String(libraryPath))
      .Value(u"ThreadingModel", RegistryValue::String(u"Both"))
      // The filter mapper's entry: the filter, its merit, its two pins.
      .Key(u"Filter\\" + clsid)
      .Value(u"", RegistryValue::String(kFriendlyName))
      .Key(classKey)
      .Value(u"Merit", RegistryValue::Dword(kMeritDoNotUse));
  for (const auto& [pin, direction, other] :
       {std::tuple{u"XForm In", 0u, u"XForm Out"}, std::tuple{u"XForm Out", 1u, u"XForm In"}}) {
    const std::u16string pinKey = classKey + u"\\Pins\\" + pin;
    writer.Key(pinKey)
        .Value(u"Direction", RegistryValue::Dword(direction))
        .Value(u"IsRendered", RegistryValue::Dword(0))
        .Value(u"AllowedZero", RegistryValue::Dword(0))
        .Value(u"AllowedMany", RegistryValue::Dword(0))
        .Value(u"ConnectsToFilter", RegistryValue::String(u""))
        .Value(u"ConnectsToPin", RegistryValue::String(other))
        .Key(pinKey + videoType);
  }
  return FromStatus(writer.status());
}

HRESULT UnregisterFilterServer(Device& device) {
  const std::u16string clsid = GuidText(kClsidCvDSFilter);
  for (const std::u16string& key : {u"Filter\\" + clsid, u"CLSID\\" + clsid}) {
    const Status status = device.DeleteKey(kClasses, key);
    if (!status.ok() && !status.IsNotFound()) return FromStatus(status);
  }
  return S_OK;
}

}  // namespace cordavex::filter

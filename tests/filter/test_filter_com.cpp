// The filter library's COM objects and its self-registration through the
// device's registry (in memory, and with registry writes failing).
#include <gtest/gtest.h>

#include "filter/com_objects.h"
#include "filter/registration.h"
#include "platform/fault_device.h"
#include "platform/memory_device.h"

namespace cordavex::filter {
namespace {

using platform::RegistryRoot;
using platform::RegistryValue;

constexpr RegistryRoot kClasses = RegistryRoot::kClassesRoot;
const std::u16string kClassKey = u"CLSID\\{45C247BA-D8C4-4894-91A1-0C62F025FB40}";

TEST(FilterCom, ClassFactoryMakesTheFilterWithItsInterfaces) {
  void* object = nullptr;
  EXPECT_EQ(GetFilterClassObject(kIidIUnknown, kIidIClassFactory, &object), CLASS_E_CLASSNOTAVAILABLE);
  EXPECT_EQ(object, nullptr);
  EXPECT_EQ(GetFilterClassObject(kClsidCvDSFilter, kIidIClassFactory, nullptr), E_POINTER);
  EXPECT_EQ(GetFilterClassObject(kClsidCvDSFilter, kIidCvRotation, &object), E_NOINTERFACE);

  ASSERT_EQ(CanUnloadFilterLibrary(), S_OK);
  ASSERT_EQ(GetFilterClassObject(kClsidCvDSFilter, kIidIClassFactory, &object), S_OK);
  auto* factory = static_cast<IClassFactory*>(object);
  EXPECT_EQ(CanUnloadFilterLibrary(), S_FALSE);

  // Any outer object asks for aggregation, which the filter does not offer.
  EXPECT_EQ(factory->CreateInstance(static_cast<IUnknown*>(factory), kIidIBaseFilter, &object),
            CLASS_E_NOAGGREGATION);
  EXPECT_EQ(factory->CreateInstance(nullptr, kIidIClassFactory, &object), E_NOINTERFACE);
  ASSERT_EQ(factory->CreateInstance(nullptr, kIidIBaseFilter, &object), S_OK);
  auto* filter = static_cast<IFrameTransformFilter*>(object);
  factory->Release();

  void* rotationObject = nullptr;
  ASSERT_EQ(filter->QueryInterface(kIidCvRotation, &rotationObject), S_OK);
  auto* rotation = static_cast<ICvRotation*>(rotationObject);
  int32_t value = 2;
  EXPECT_EQ(rotation->SetRotation(&value), S_OK);
  EXPECT_EQ(ProcessFilterState().rotation, 2);
  ProcessFilterState().SetGlobalRotate(0);
  void* unknown = nullptr;
  ASSERT_EQ(rotation->QueryInterface(kIidIUnknown, &unknown), S_OK);
  EXPECT_EQ(unknown, static_cast<void*>(filter));  // one identity whichever way it is asked
  static_cast<IUnknown*>(unknown)->Release();

  EXPECT_EQ(rotation->Release(), 1u);
  EXPECT_EQ(CanUnloadFilterLibrary(), S_FALSE);
  EXPECT_EQ(filter->Release(), 0u);
  EXPECT_EQ(CanUnloadFilterLibrary(), S_OK);
}

TEST(FilterRegistration, WritesTheClassAndTheFilterAndRemovesThem) {
  platform::MemoryDevice device;
  ASSERT_TRUE(device.CreateKey(kClasses, u"CLSID\\{OTHER}").ok());
  ASSERT_EQ(RegisterFilterServer(device, u"/opt/cordavex/libCordavexDSFilter.so"), S_OK);

  const struct {
    std::u16string key, name;
    RegistryValue value;
  } expected[] = {
      {kClassKey, u"", RegistryValue::String(u"CvDSFilter Filter")},
      {kClassKey, u"Merit", RegistryValue::Dword(0x00200000)},
      {kClassKey + u"\\InprocServer32", u"", RegistryValue::String(u"/opt/cordavex/libCordavexDSFilter.so")},
      {kClassKey + u"\\InprocServer32", u"ThreadingModel", RegistryValue::String(u"Both")},
      {u"Filter\\{45C247BA-D8C4-4894-91A1-0C62F025FB40}", u"", RegistryValue::String(u"CvDSFilter Filter")},
      {kClassKey + u"\\Pins\\XForm In", u"Direction", RegistryValue::Dword(0)},
      {kClassKey + u"\\Pins\\XForm Out", u"Direction", RegistryValue::Dword(1)},
  };
  for (const auto& e : expected) {
    RegistryValue read;
    ASSERT_TRUE(device.GetValue(kClasses, e.key, e.name, &read).ok()) << platform::Utf8(e.key);
    EXPECT_EQ(read, e.value) << platform::Utf8(e.key) << " " << platform::Utf8(e.name);
  }
  EXPECT_TRUE(device.OpenKey(kClasses, kClassKey + u"\\Pins\\XForm In\\Types\\"
                                       u"{73646976-0000-0010-8000-00AA00389B71}\\"
                                       u"{00000000-0000-0000-0000-000000000000}").ok());

  ASSERT_EQ(UnregisterFilterServer(device), S_OK);
  EXPECT_TRUE(device.OpenKey(kClasses, kClassKey).IsNotFound());
  EXPECT_TRUE(device.OpenKey(kClasses, u"Filter\\{45C247BA-D8C4-4894-91A1-0C62F025FB40}").IsNotFound());
  EXPECT_TRUE(device.OpenKey(kClasses, u"CLSID\\{OTHER}").ok());
  EXPECT_EQ(UnregisterFilterServer(device), S_OK);  // nothing left to remove
}

TEST(FilterRegistration, RegistryFailuresComeBackAsHresultsAndLoseNothing) {
  platform::MemoryDevice memory;
  platform::FaultInjectingDevice faulty(&memory);
  ASSERT_EQ(RegisterFilterServer(memory, u"/old/libCordavexDSFilter.so"), S_OK);

  // The third registry write (the library path) fails: the error comes back,
  // the earlier registration stays readable.
  faulty.FailNth(platform::kFaultRegistryWrite, 3);
  const HRESULT hr = RegisterFilterServer(faulty, u"/new/libCordavexDSFilter.so");
  EXPECT_EQ(hr, MakeHresult(0x8007001F));  // HRESULT_FROM_WIN32(ERROR_GEN_FAILURE)
  RegistryValue read;
  ASSERT_TRUE(memory.GetValue(kClasses, kClassKey + u"\\InprocServer32", u"", &read).ok());
  EXPECT_EQ(read, RegistryValue::String(u"/old/libCordavexDSFilter.so"));

  faulty.ClearRules();
  faulty.FailUnder(platform::kFaultRegistryWrite, "Filter");
  EXPECT_EQ(UnregisterFilterServer(faulty), MakeHresult(0x8007001F));
  EXPECT_TRUE(memory.OpenKey(kClasses, kClassKey).ok());

  faulty.ClearRules();
  ASSERT_EQ(RegisterFilterServer(faulty, u"/new/libCordavexDSFilter.so"), S_OK);
  ASSERT_TRUE(memory.GetValue(kClasses, kClassKey + u"\\InprocServer32", u"", &read).ok());
  EXPECT_EQ(read, RegistryValue::String(u"/new/libCordavexDSFilter.so"));
}

}  // namespace
}  // namespace cordavex::filter

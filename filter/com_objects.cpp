#include "filter/com_objects.h"

#include <atomic>
#include <new>

namespace cordavex::filter {

namespace {

// Objects alive and server locks held: the library may be unloaded at zero.
std::atomic<int32_t> liveObjects{0};
std::atomic<int32_t> serverLocks{0};

class FilterObject final : public IFrameTransformFilter, public ICvRotation {
 public:
  explicit FilterObject(FilterState& state) : filter_(state) { ++liveObjects; }
  ~FilterObject() { --liveObjects; }
  FilterObject(const FilterObject&) = delete;
  FilterObject& operator=(const FilterObject&) = delete;

  HRESULT QueryInterface(const Guid& iid, void** object) override {
    if (object == nullptr) return E_POINTER;
    if (iid == kIidIUnknown || iid == kIidIBaseFilter) {
      *object = static_cast<IFrameTransformFilter*>(this);
    } else if (iid == kIidCvRotation) {
      *object = static_cast<ICvRotation*>(this);
    } else {
      *object = nullptr;
      return E_NOINTERFACE;
    }
    AddRef();
    return S_OK;
  }
  uint32_t AddRef() override { return ++references_; }
  uint32_t Release() override {
    const uint32_t left = --references_;
    if (left == 0) delete this;
    return left;
  }

  HRESULT CheckInputType(const MediaType& in) override { return filter_.CheckInputType(in); }
  HRESULT CheckTransform(const MediaType& in, const MediaType& out) override {
    return filter_.CheckTransform(in, out);
  }
  HRESULT SetInputType(const MediaType& in) override { return filter_.SetInputType(in); }
  HRESULT GetMediaType(int32_t position, MediaType* out) override {
    return filter_.GetMediaType(position, out);
  }
  HRESULT DecideBufferSize(MemoryAllocator* allocator, AllocatorProperties* request) override {
    return filter_.DecideBufferSize(allocator, request);
  }
  HRESULT Transform(const MediaSample& in, MediaSample* out) override {
    return filter_.Transform(in, out);
  }
  HRESULT Stop() override {
    filter_.Stop();
    return S_OK;
  }
  HRESULT SetRotation(int32_t* rotation) override { return filter_.SetRotation(rotation); }

 private:
  std::atomic<uint32_t> references_{0};
  FrameFilter filter_;
};

class FilterClassFactory final : public IClassFactory {
 public:
  HRESULT QueryInterface(const Guid& iid, void** object) override {
    if (object == nullptr) return E_POINTER;
    if (iid != kIidIUnknown && iid != kIidIClassFactory) {
      *object = nullptr;
      return E_NOINTERFACE;
    }
    *object = static_cast<IClassFactory*>(this);
    AddRef();
    return S_OK;
  }
  // The factory is a static object: its count only tracks the library's use.
  uint32_t AddRef() override { return static_cast<uint32_t>(++liveObjects); }
  uint32_t Release() override { return static_cast<uint32_t>(--liveObjects); }

  HRESULT CreateInstance(IUnknown* outer, const Guid& iid, void** object) override {
    if (object == nullptr) return E_POINTER;
    *object = nullptr;
    if (outer != nullptr) return CLASS_E_NOAGGREGATION;
    return CreateFilterObject(ProcessFilterState(), iid, object);
  }
  HRESULT LockServer(int32_t lock) override {
    if (lock != 0) {
      ++serverLocks;
    } else {
      --serverLocks;
    }
    return S_OK;
  }
};

FilterClassFactory factory;

}  // namespace

HRESULT CreateFilterObject(FilterState& state, const Guid& iid, void** object) {
  if (object == nullptr) return E_POINTER;
  *object = nullptr;
  FilterObject* filter = nullptr;
  try {
    filter = new FilterObject(state);
  } catch (const std::bad_alloc&) {
    return E_OUTOFMEMORY;  // no exception leaves the library
  }
  filter->AddRef();
  const HRESULT hr = filter->QueryInterface(iid, object);
  filter->Release();  // the interface asked for holds the only reference, or none
  return hr;
}

HRESULT GetFilterClassObject(const Guid& clsid, const Guid& iid, void** object) {
  if (object == nullptr) return E_POINTER;
  *object = nullptr;
  if (clsid != kClsidCvDSFilter) return CLASS_E_CLASSNOTAVAILABLE;
  return factory.QueryInterface(iid, object);
}

HRESULT CanUnloadFilterLibrary() {
  return liveObjects == 0 && serverLocks <= 0 ? S_OK : S_FALSE;
}

}  // namespace cordavex::filter

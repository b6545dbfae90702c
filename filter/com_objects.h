// The filter library's COM side: the filter class {45C247BA-…} ("CvDSFilter
// Filter") created through its class factory, answering IUnknown, the graph's
// view of a transform filter (asked for as IBaseFilter) and the private
// rotation interface {6C074C34-…}; and the library's DllGetClassObject and
// DllCanUnloadNow.
//
// Reference counting as COM defines it: every pointer handed out holds one
// reference, Release frees the object at zero. Counts are atomic, so any
// thread may add and release references.
#pragma once

#include <cstdint>

#include "filter/filter_state.h"
#include "filter/frame_filter.h"
#include "filter/guid.h"
#include "filter/hresult.h"

namespace cordavex::filter {

class IUnknown {
 public:
  virtual HRESULT QueryInterface(const Guid& iid, void** object) = 0;
  virtual uint32_t AddRef() = 0;
  virtual uint32_t Release() = 0;

 protected:
  ~IUnknown() = default;
};

class IClassFactory : public IUnknown {
 public:
  virtual HRESULT CreateInstance(IUnknown* outer, const Guid& iid, void** object) = 0;
  virtual HRESULT LockServer(int32_t lock) = 0;

 protected:
  ~IClassFactory() = default;
};

// The private interface: stores *rotation as the filter's rotation under its lock.
class ICvRotation : public IUnknown {
 public:
  virtual HRESULT SetRotation(int32_t* rotation) = 0;

 protected:
  ~ICvRotation() = default;
};

// What the camera graph asks of a transform filter (answered for IBaseFilter).
class IFrameTransformFilter : public IUnknown {
 public:
  virtual HRESULT CheckInputType(const MediaType& in) = 0;
  virtual HRESULT CheckTransform(const MediaType& in, const MediaType& out) = 0;
  virtual HRESULT SetInputType(const MediaType& in) = 0;
  virtual HRESULT GetMediaType(int32_t position, MediaType* out) = 0;
  virtual HRESULT DecideBufferSize(MemoryAllocator* allocator, AllocatorProperties* request) = 0;
  virtual HRESULT Transform(const MediaSample& in, MediaSample* out) = 0;
  virtual HRESULT Stop() = 0;

 protected:
  ~IFrameTransformFilter() = default;
};

// The library's two COM entries, for the process-wide state.
HRESULT GetFilterClassObject(const Guid& clsid, const Guid& iid, void** object);
HRESULT CanUnloadFilterLibrary();

// A new filter object on `state`, with one reference, as the interface `iid`.
HRESULT CreateFilterObject(FilterState& state, const Guid& iid, void** object);

}  // namespace cordavex::filter

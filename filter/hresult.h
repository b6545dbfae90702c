// HRESULT status codes as the platform defines them, for the camera filter's
// COM and DirectShow-shaped interfaces. Success codes are >= 0.
#pragma once

#include <cstdint>

namespace cordavex::filter {

using HRESULT = int32_t;

constexpr HRESULT MakeHresult(uint32_t bits) { return static_cast<HRESULT>(bits); }

constexpr HRESULT S_OK = 0;
constexpr HRESULT S_FALSE = 1;
constexpr HRESULT E_NOTIMPL = MakeHresult(0x80004001);
constexpr HRESULT E_NOINTERFACE = MakeHresult(0x80004002);
constexpr HRESULT E_POINTER = MakeHresult(0x80004003);
constexpr HRESULT E_FAIL = MakeHresult(0x80004005);
constexpr HRESULT E_UNEXPECTED = MakeHresult(0x8000FFFF);
constexpr HRESULT E_OUTOFMEMORY = MakeHresult(0x8007000E);
constexpr HRESULT E_INVALIDARG = MakeHresult(0x80070057);
constexpr HRESULT CLASS_E_NOAGGREGATION = MakeHresult(0x80040110);
constexpr HRESULT CLASS_E_CLASSNOTAVAILABLE = MakeHresult(0x80040111);
constexpr HRESULT VFW_S_NO_MORE_ITEMS = MakeHresult(0x00040103);
constexpr HRESULT VFW_E_TYPE_NOT_ACCEPTED = MakeHresult(0x8004022A);

// HRESULT_FROM_WIN32: facility 7 with the error in the low word; 0 stays 0.
constexpr HRESULT HresultFromWin32(uint32_t error) {
  return error == 0 ? S_OK : MakeHresult((error & 0xFFFF) | 0x80070000);
}

constexpr bool Succeeded(HRESULT hr) { return hr >= 0; }
constexpr bool Failed(HRESULT hr) { return hr < 0; }

}  // namespace cordavex::filter

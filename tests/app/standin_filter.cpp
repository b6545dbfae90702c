// A stand-in for the camera filter library, loaded by the program under the
// same logical name. It records every call the program makes, in order, so a
// test can read them back through StandInCalls. $CORDAVEX_STANDIN_REGISTER set
// to a number makes DllRegisterServer answer it.
#include <cstdlib>
#include <cstring>
#include <mutex>
#include <string>

#include "filter/exports.h"

namespace {

std::mutex mutex;
std::string calls;

void Record(const std::string& call) {
  std::lock_guard lock(mutex);
  calls += call;
  calls += ';';
}

}  // namespace

// Copies the calls so far ("SetAutoDetectRotate(1);setScreenXY(240,320);")
// into `buffer` and clears them; returns their length. Without a buffer large
// enough only the length is returned.
extern "C" __attribute__((visibility("default"))) int StandInCalls(char* buffer, int size) {
  std::lock_guard lock(mutex);
  const int length = static_cast<int>(calls.size());
  if (buffer != nullptr && size > length) {
    std::memcpy(buffer, calls.c_str(), calls.size() + 1);
    calls.clear();
  }
  return length;
}

// Lets a test put its own steps into the same record, to check their order.
extern "C" __attribute__((visibility("default"))) void StandInRecord(const char* call) { Record(call); }

int32_t SetAutoDetectRotate(int32_t flag) {
  Record("SetAutoDetectRotate(" + std::to_string(flag) + ")");
  return 0;
}
int32_t SetGlobalRotate(int32_t rotation) {
  Record("SetGlobalRotate(" + std::to_string(rotation) + ")");
  return 0;
}
cordavex::filter::FrameFormat* getVideoFormat(cordavex::filter::FrameFormat* format) { return format; }
void* getVideoBuffer(void* destination, int32_t) { return destination; }
int32_t previewStartStop(int32_t flag) {
  Record("previewStartStop(" + std::to_string(flag) + ")");
  return 0;
}
int32_t setScreenXY(int32_t x, int32_t y) {
  Record("setScreenXY(" + std::to_string(x) + "," + std::to_string(y) + ")");
  return 0;
}
int32_t setRxy(int32_t x, int32_t y) {
  Record("setRxy(" + std::to_string(x) + "," + std::to_string(y) + ")");
  return 0;
}
cordavex::filter::HRESULT DllRegisterServer() {
  Record("DllRegisterServer");
  const char* answer = std::getenv("CORDAVEX_STANDIN_REGISTER");
  return answer != nullptr ? static_cast<cordavex::filter::HRESULT>(std::atoi(answer)) : 0;
}
cordavex::filter::HRESULT DllUnregisterServer() {
  Record("DllUnregisterServer");
  return 0;
}
cordavex::filter::HRESULT DllGetClassObject(const cordavex::filter::Guid&, const cordavex::filter::Guid&,
                                            void** object) {
  if (object != nullptr) *object = nullptr;
  return static_cast<cordavex::filter::HRESULT>(0x80040111);  // CLASS_E_CLASSNOTAVAILABLE
}
cordavex::filter::HRESULT DllCanUnloadNow() { return 1; }

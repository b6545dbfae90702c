// Loading the system's own libraries by their logical names, as the phone's
// LoadLibrary / GetProcAddress / FreeLibrary do: "CordavexDSFilter.dll" is the
// shared library built for it, libCordavexDSFilter.so, in the library folder —
// the running program's folder unless overridden (for tests, whose binary lives
// elsewhere; also $CORDAVEX_LIBRARY_DIR).
//
// A handle owns one reference to the loaded library; FreeLibrary gives it back.
// Resolving the folder and loading are safe from any thread.
#pragma once

#include <string>
#include <string_view>

namespace cordavex::platform {

struct LoadedLibrary;  // opaque
using LibraryHandle = LoadedLibrary*;

// The host path a logical name loads from. A name ending in ".dll" (any case)
// loses it and gains "lib" and ".so"; a name with a '/' is taken as a path.
std::string LibraryPath(std::string_view logicalName);

// Where LibraryPath looks: the override when set ("" clears it), else
// $CORDAVEX_LIBRARY_DIR, else the program folder.
void SetLibraryFolder(std::string folder);
std::string LibraryFolder();

// Null on failure, with the reason in *error when given.
LibraryHandle LoadLibrary(std::string_view logicalName, std::string* error = nullptr);
// Null when the library has no such export (or the handle is null).
void* GetProcAddress(LibraryHandle library, const char* name);
// Typed form of GetProcAddress for function exports.
template <typename Function>
Function* GetProcAddressAs(LibraryHandle library, const char* name) {
  return reinterpret_cast<Function*>(GetProcAddress(library, name));
}
// True when the reference was released.
bool FreeLibrary(LibraryHandle library);

}  // namespace cordavex::platform

#include "platform/library_loader.h"

#include <dlfcn.h>

#include <cstdlib>
#include <mutex>

#include "platform/platform.h"

namespace cordavex::platform {

struct LoadedLibrary {
  void* handle;
};

namespace {

std::mutex folderMutex;
std::string folderOverride;

bool EndsWithDll(std::string_view name) {
  if (name.size() < 4) return false;
  const std::string_view tail = name.substr(name.size() - 4);
  return tail[0] == '.' && (tail[1] | 0x20) == 'd' && (tail[2] | 0x20) == 'l' &&
         (tail[3] | 0x20) == 'l';
}

}  // namespace

void SetLibraryFolder(std::string folder) {
  std::lock_guard lock(folderMutex);
  folderOverride = std::move(folder);
}

std::string LibraryFolder() {
  {
    std::lock_guard lock(folderMutex);
    if (!folderOverride.empty()) return folderOverride;
  }
  if (const char* dir = std::getenv("CORDAVEX_LIBRARY_DIR"); dir != nullptr && *dir != '\0') {
    return dir;
  }
  return ProgramFolder();
}

std::string LibraryPath(std::string_view logicalName) {
  if (logicalName.find('/') != std::string_view::npos) return std::string(logicalName);
  std::string file(logicalName);
  if (EndsWithDll(logicalName)) {
    file = "lib" + std::string(logicalName.substr(0, logicalName.size() - 4)) + ".so";
  }
  return LibraryFolder() + '/' + file;
}

LibraryHandle LoadLibrary(std::string_view logicalName, std::string* error) {
  if (logicalName.empty()) {
    if (error != nullptr) *error = "empty library name";
    return nullptr;
  }
  const std::string path = LibraryPath(logicalName);
  // RTLD_LOCAL: one library's symbols never stand in for another's.
  void* handle = ::dlopen(path.c_str(), RTLD_NOW | RTLD_LOCAL);
  if (handle == nullptr) {
    if (error != nullptr) {
      const char* reason = ::dlerror();
      *error = "cannot load " + std::string(logicalName) + " (" + path +
               "): " + (reason != nullptr ? reason : "unknown error");
    }
    return nullptr;
  }
  return new LoadedLibrary{handle};
}

void* GetProcAddress(LibraryHandle library, const char* name) {
  if (library == nullptr || name == nullptr) return nullptr;
  return ::dlsym(library->handle, name);
}

bool FreeLibrary(LibraryHandle library) {
  if (library == nullptr) return false;
  const bool released = ::dlclose(library->handle) == 0;
  delete library;
  return released;
}

}  // namespace cordavex::platform

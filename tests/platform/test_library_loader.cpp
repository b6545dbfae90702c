// Logical library names and the loader's failures. Loading a real library by
// name is shown with the camera filter (tests/filter).
#include <gtest/gtest.h>

#include "platform/library_loader.h"
#include "platform/platform.h"

namespace cordavex::platform {
namespace {

class LibraryFolderOverride {
 public:
  explicit LibraryFolderOverride(std::string folder) { SetLibraryFolder(std::move(folder)); }
  ~LibraryFolderOverride() { SetLibraryFolder(""); }
};

TEST(LibraryLoader, LogicalNamesResolveBesideTheProgram) {
  EXPECT_EQ(LibraryFolder(), ProgramFolder());
  EXPECT_EQ(LibraryPath("CordavexDSFilter.dll"), ProgramFolder() + "/libCordavexDSFilter.so");
  LibraryFolderOverride folder("/opt/cordavex/lib");
  const struct {
    const char* name;
    const char* path;
  } cases[] = {
      {"CordavexDSFilter.dll", "/opt/cordavex/lib/libCordavexDSFilter.so"},
      {"Cordavex.0404.DLL", "/opt/cordavex/lib/libCordavex.0404.so"},
      {"libplain.so", "/opt/cordavex/lib/libplain.so"},
      {"/abs/libx.so", "/abs/libx.so"},
  };
  for (const auto& c : cases) EXPECT_EQ(LibraryPath(c.name), c.path) << c.name;
}

TEST(LibraryLoader, FailuresSayWhatAndWhere) {
  LibraryFolderOverride folder("/nonexistent-cordavex-folder");
  std::string error;
  EXPECT_EQ(LoadLibrary("CordavexMenu.dll", &error), nullptr);
  EXPECT_NE(error.find("CordavexMenu.dll"), std::string::npos) << error;
  EXPECT_NE(error.find("/nonexistent-cordavex-folder/libCordavexMenu.so"), std::string::npos) << error;
  EXPECT_EQ(LoadLibrary("", &error), nullptr);
  EXPECT_EQ(GetProcAddress(nullptr, "getVideoBuffer"), nullptr);
  EXPECT_FALSE(FreeLibrary(nullptr));
}

}  // namespace
}  // namespace cordavex::platform

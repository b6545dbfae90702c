// One behaviour contract for every device: the same tests run against the
// Linux device (on a temporary folder) and the in-memory device.
#include <gtest/gtest.h>

#include <string>
#include <thread>
#include <vector>

#include "platform/device_fixture.h"

namespace cordavex::platform {
namespace {

using test::LinuxDeviceMaker;
using test::MemoryDeviceMaker;

template <typename Maker>
class DeviceContract : public ::testing::Test {
 protected:
  void SetUp() override {
    device_ = maker_.Make();
    ASSERT_NE(device_, nullptr);
  }
  Device& device() { return *device_; }

  Maker maker_;
  std::unique_ptr<Device> device_;
};

struct MakerNames {
  template <typename T>
  static std::string GetName(int) {
    return T::kName;
  }
};
using Makers = ::testing::Types<LinuxDeviceMaker, MemoryDeviceMaker>;
TYPED_TEST_SUITE(DeviceContract, Makers, MakerNames);

constexpr RegistryRoot kUser = RegistryRoot::kCurrentUser;

std::vector<std::string> List(Device& device, std::string_view path) {
  std::vector<std::string> names;
  EXPECT_TRUE(device.ListFolder(path, &names).ok()) << path;
  return names;
}

// --- files ---

TYPED_TEST(DeviceContract, WrittenFileReadsBackWholeAndIsReplacedWhole) {
  Device& d = this->device();
  const std::string binary("a\0b\xff\n", 5);
  ASSERT_TRUE(d.WriteFile("note.bin", binary).ok());
  std::string read;
  ASSERT_TRUE(d.ReadFile("note.bin", &read).ok());
  EXPECT_EQ(read, binary);

  ASSERT_TRUE(d.WriteFile("note.bin", "x").ok());
  ASSERT_TRUE(d.ReadFile("note.bin", &read).ok());
  EXPECT_EQ(read, "x");
  ASSERT_TRUE(d.WriteFile("note.bin", "").ok());
  ASSERT_TRUE(d.ReadFile("note.bin", &read).ok());
  EXPECT_EQ(read, "");
  // A replacement leaves nothing beside the file.
  EXPECT_EQ(List(d, ""), std::vector<std::string>{"note.bin"});
}

TYPED_TEST(DeviceContract, MissingFilesAndFoldersAreNotFound) {
  Device& d = this->device();
  std::string read = "unchanged";
  EXPECT_TRUE(d.ReadFile("absent.txt", &read).IsNotFound());
  EXPECT_EQ(read, "unchanged");
  EXPECT_TRUE(d.WriteFile("Temp/absent/x.txt", "x").IsNotFound());
  EXPECT_TRUE(d.AppendFile("Temp/x.txt", "x").IsNotFound());
  std::vector<std::string> names;
  EXPECT_TRUE(d.ListFolder("Temp", &names).IsNotFound());
  EXPECT_TRUE(d.Remove("Temp").IsNotFound());
  EXPECT_FALSE(d.Exists("Temp"));
}

TYPED_TEST(DeviceContract, AppendCreatesThenExtends) {
  Device& d = this->device();
  ASSERT_TRUE(d.AppendFile("sms.log", "one\n").ok());
  ASSERT_TRUE(d.AppendFile("sms.log", "two\n").ok());
  std::string read;
  ASSERT_TRUE(d.ReadFile("sms.log", &read).ok());
  EXPECT_EQ(read, "one\ntwo\n");
}

TYPED_TEST(DeviceContract, FoldersNestListAndRemove) {
  Device& d = this->device();
  ASSERT_TRUE(d.MakeFolders("Storage Card/Temp/Cordavex").ok());
  ASSERT_TRUE(d.MakeFolders("Storage Card/Temp/Cordavex/").ok());  // again: fine
  ASSERT_TRUE(d.MakeFolders("My Documents").ok());
  ASSERT_TRUE(d.WriteFile("Storage Card/Temp/Cordavex/b.txt", "b").ok());
  ASSERT_TRUE(d.WriteFile("Storage Card/Temp/a.txt", "a").ok());

  EXPECT_EQ(List(d, ""), (std::vector<std::string>{"My Documents", "Storage Card"}));
  EXPECT_EQ(List(d, "Storage Card/Temp"), (std::vector<std::string>{"Cordavex", "a.txt"}));
  EXPECT_TRUE(d.Exists("Storage Card/Temp/Cordavex"));
  EXPECT_TRUE(d.Exists("Storage Card/Temp/a.txt"));
  EXPECT_TRUE(d.Exists(""));

  // A folder with something in it stays.
  EXPECT_FALSE(d.Remove("Storage Card/Temp/Cordavex").ok());
  EXPECT_TRUE(d.Exists("Storage Card/Temp/Cordavex/b.txt"));
  ASSERT_TRUE(d.Remove("Storage Card/Temp/Cordavex/b.txt").ok());
  ASSERT_TRUE(d.Remove("Storage Card/Temp/Cordavex").ok());
  EXPECT_FALSE(d.Exists("Storage Card/Temp/Cordavex"));
  EXPECT_TRUE(d.Remove("Storage Card/Temp/Cordavex").IsNotFound());
}

TYPED_TEST(DeviceContract, FilesAndFoldersDoNotTakeEachOthersPlace) {
  Device& d = this->device();
  ASSERT_TRUE(d.MakeFolders("Temp").ok());
  ASSERT_TRUE(d.WriteFile("file", "x").ok());
  EXPECT_FALSE(d.WriteFile("Temp", "x").ok());
  EXPECT_FALSE(d.MakeFolders("file").ok());
  EXPECT_FALSE(d.MakeFolders("file/sub").ok());
  std::string read;
  EXPECT_FALSE(d.ReadFile("Temp", &read).ok());
  ASSERT_TRUE(d.ReadFile("file", &read).ok());
  EXPECT_EQ(read, "x");
}

TYPED_TEST(DeviceContract, PathsThatLeaveTheDeviceAreRefused) {
  Device& d = this->device();
  const char* const hostile[] = {"/etc/cordavex-test", "../escape", "Temp/../../escape",
                                 "a//b", "./a", "a/./b", "..", "."};
  for (const char* path : hostile) {
    EXPECT_EQ(d.WriteFile(path, "x").code(), Status::Code::kInvalidArgument) << path;
    EXPECT_EQ(d.AppendFile(path, "x").code(), Status::Code::kInvalidArgument) << path;
    EXPECT_EQ(d.MakeFolders(path).code(), Status::Code::kInvalidArgument) << path;
    EXPECT_EQ(d.Remove(path).code(), Status::Code::kInvalidArgument) << path;
    std::string read;
    EXPECT_EQ(d.ReadFile(path, &read).code(), Status::Code::kInvalidArgument) << path;
    EXPECT_FALSE(d.Exists(path)) << path;
  }
  EXPECT_EQ(d.WriteFile(std::string_view("a\0b", 3), "x").code(), Status::Code::kInvalidArgument);
  EXPECT_EQ(d.WriteFile("", "x").code(), Status::Code::kInvalidArgument);
  EXPECT_TRUE(List(d, "").empty());
}

// --- registry ---

TYPED_TEST(DeviceContract, KeysAreCaseInsensitiveAndKeepTheirSpelling) {
  Device& d = this->device();
  ASSERT_TRUE(d.CreateKey(kUser, u"Software\\Cordavex\\Recent").ok());
  EXPECT_TRUE(d.OpenKey(kUser, u"Software").ok());  // parents are made
  EXPECT_TRUE(d.OpenKey(kUser, u"SOFTWARE\\cordavex").ok());
  EXPECT_TRUE(d.OpenKey(kUser, u"\\software\\CORDAVEX\\recent\\").ok());
  EXPECT_TRUE(d.OpenKey(kUser, u"Software\\Other").IsNotFound());
  EXPECT_TRUE(d.OpenKey(kUser, u"").ok());

  // A later spelling of an existing key changes nothing.
  ASSERT_TRUE(d.CreateKey(kUser, u"SOFTWARE\\cordavex\\ÄRGER").ok());
  ASSERT_TRUE(d.CreateKey(kUser, u"software\\cordavex\\ärger").ok());
  ASSERT_TRUE(d.CreateKey(kUser, u"Software\\Cordavex\\apple").ok());
  std::vector<std::u16string> names;
  ASSERT_TRUE(d.ListSubkeys(kUser, u"software\\cordavex", &names).ok());
  EXPECT_EQ(names, (std::vector<std::u16string>{u"apple", u"Recent", u"ÄRGER"}));
  ASSERT_TRUE(d.ListSubkeys(kUser, u"", &names).ok());
  EXPECT_EQ(names, std::vector<std::u16string>{u"Software"});
}

TYPED_TEST(DeviceContract, TypedValuesRoundTrip) {
  Device& d = this->device();
  ASSERT_TRUE(d.CreateKey(kUser, u"Software\\Cordavex").ok());
  const struct {
    const char16_t* name;
    RegistryValue value;
  } cases[] = {
      {u"Decode_Sound", RegistryValue::Dword(1)},
      {u"Max", RegistryValue::Dword(0xFFFFFFFFu)},
      {u"CordavexAppPath", RegistryValue::String(u"\\Program Files\\Cordavex\\Cordavex.exe")},
      {u"Title", RegistryValue::String(u"條碼 Ünïcode")},
      {u"Empty", RegistryValue::String(u"")},
      {u"Blob", RegistryValue::Binary({0, 1, 0, 0xFF})},
      {u"NoBytes", RegistryValue::Binary({})},
      {u"List", RegistryValue::MultiString({u"one", u"二", u"three"})},
      {u"", RegistryValue::String(u"the default value")},
  };
  for (const auto& c : cases) ASSERT_TRUE(d.SetValue(kUser, u"Software\\Cordavex", c.name, c.value).ok());
  for (const auto& c : cases) {
    RegistryValue read;
    ASSERT_TRUE(d.GetValue(kUser, u"software\\CORDAVEX", c.name, &read).ok()) << Utf8(c.name);
    EXPECT_EQ(read, c.value) << Utf8(c.name);
  }
  std::vector<std::u16string> names;
  ASSERT_TRUE(d.ListValues(kUser, u"Software\\Cordavex", &names).ok());
  EXPECT_EQ(names, (std::vector<std::u16string>{u"", u"Blob", u"CordavexAppPath", u"Decode_Sound",
                                                u"Empty", u"List", u"Max", u"NoBytes", u"Title"}));
}

TYPED_TEST(DeviceContract, ValueNamesAreCaseInsensitiveAndWritesReplace) {
  Device& d = this->device();
  ASSERT_TRUE(d.CreateKey(kUser, u"Software\\Cordavex").ok());
  ASSERT_TRUE(d.SetValue(kUser, u"Software\\Cordavex", u"Decode_Sound", RegistryValue::Dword(1)).ok());
  ASSERT_TRUE(d.SetValue(kUser, u"Software\\Cordavex", u"DECODE_SOUND", RegistryValue::String(u"on")).ok());
  RegistryValue read;
  ASSERT_TRUE(d.GetValue(kUser, u"Software\\Cordavex", u"decode_sound", &read).ok());
  EXPECT_EQ(read, RegistryValue::String(u"on"));
  std::vector<std::u16string> names;
  ASSERT_TRUE(d.ListValues(kUser, u"Software\\Cordavex", &names).ok());
  EXPECT_EQ(names, std::vector<std::u16string>{u"Decode_Sound"});  // the first spelling
}

TYPED_TEST(DeviceContract, MissingKeysAndValuesAreNotFound) {
  Device& d = this->device();
  RegistryValue read = RegistryValue::Dword(7);
  EXPECT_TRUE(d.SetValue(kUser, u"Software\\Cordavex", u"x", RegistryValue::Dword(1)).IsNotFound());
  EXPECT_TRUE(d.GetValue(kUser, u"Software\\Cordavex", u"x", &read).IsNotFound());
  ASSERT_TRUE(d.CreateKey(kUser, u"Software\\Cordavex").ok());
  EXPECT_TRUE(d.GetValue(kUser, u"Software\\Cordavex", u"x", &read).IsNotFound());
  EXPECT_TRUE(d.DeleteValue(kUser, u"Software\\Cordavex", u"x").IsNotFound());
  EXPECT_TRUE(d.DeleteKey(kUser, u"Software\\Other").IsNotFound());
  EXPECT_EQ(read, RegistryValue::Dword(7));
  std::vector<std::u16string> names;
  EXPECT_TRUE(d.ListSubkeys(kUser, u"Nowhere", &names).IsNotFound());
  EXPECT_TRUE(d.ListValues(kUser, u"Nowhere", &names).IsNotFound());

  ASSERT_TRUE(d.SetValue(kUser, u"Software\\Cordavex", u"x", RegistryValue::Dword(1)).ok());
  ASSERT_TRUE(d.DeleteValue(kUser, u"software\\cordavex", u"X").ok());
  EXPECT_TRUE(d.GetValue(kUser, u"Software\\Cordavex", u"x", &read).IsNotFound());
}

TYPED_TEST(DeviceContract, DeleteKeyTakesItsSubtreeAndNothingElse) {
  Device& d = this->device();
  const RegistryRoot classes = RegistryRoot::kClassesRoot;
  ASSERT_TRUE(d.CreateKey(classes, u"CLSID\\{A}\\InprocServer32").ok());
  ASSERT_TRUE(d.SetValue(classes, u"CLSID\\{A}\\InprocServer32", u"ThreadingModel",
                         RegistryValue::String(u"Both")).ok());
  ASSERT_TRUE(d.SetValue(classes, u"CLSID\\{A}", u"", RegistryValue::String(u"A")).ok());
  ASSERT_TRUE(d.CreateKey(classes, u"CLSID\\{A}B").ok());  // shares the prefix, not the key
  ASSERT_TRUE(d.SetValue(classes, u"CLSID\\{A}B", u"v", RegistryValue::Dword(2)).ok());

  ASSERT_TRUE(d.DeleteKey(classes, u"clsid\\{a}").ok());
  EXPECT_TRUE(d.OpenKey(classes, u"CLSID\\{A}").IsNotFound());
  EXPECT_TRUE(d.OpenKey(classes, u"CLSID\\{A}\\InprocServer32").IsNotFound());
  RegistryValue read;
  ASSERT_TRUE(d.GetValue(classes, u"CLSID\\{A}B", u"v", &read).ok());
  EXPECT_EQ(read, RegistryValue::Dword(2));

  // Made again, the key is empty: no value of the old one comes back.
  ASSERT_TRUE(d.CreateKey(classes, u"CLSID\\{A}\\InprocServer32").ok());
  std::vector<std::u16string> names;
  ASSERT_TRUE(d.ListValues(classes, u"CLSID\\{A}\\InprocServer32", &names).ok());
  EXPECT_TRUE(names.empty());
  ASSERT_TRUE(d.ListValues(classes, u"CLSID\\{A}", &names).ok());
  EXPECT_TRUE(names.empty());
  EXPECT_EQ(d.DeleteKey(classes, u"").code(), Status::Code::kInvalidArgument);
}

TYPED_TEST(DeviceContract, RootsAreSeparate) {
  Device& d = this->device();
  ASSERT_TRUE(d.CreateKey(RegistryRoot::kLocalMachine, u"Software\\Cordavex").ok());
  EXPECT_TRUE(d.OpenKey(RegistryRoot::kCurrentUser, u"Software\\Cordavex").IsNotFound());
  EXPECT_TRUE(d.OpenKey(RegistryRoot::kClassesRoot, u"Software").IsNotFound());
}

TYPED_TEST(DeviceContract, MalformedKeyPathsAreRefused) {
  Device& d = this->device();
  for (std::u16string_view key : {std::u16string_view(u"a\\\\b"), std::u16string_view(u"a\0b", 3)}) {
    EXPECT_EQ(d.CreateKey(kUser, key).code(), Status::Code::kInvalidArgument);
    EXPECT_EQ(d.OpenKey(kUser, key).code(), Status::Code::kInvalidArgument);
  }
  RegistryValue bogus{static_cast<RegistryType>(11), {1, 2}};
  ASSERT_TRUE(d.CreateKey(kUser, u"k").ok());
  EXPECT_EQ(d.SetValue(kUser, u"k", u"v", bogus).code(), Status::Code::kInvalidArgument);
}

// --- clock and services ---

TYPED_TEST(DeviceContract, ClocksAreSane) {
  Device& d = this->device();
  const int64_t first = d.MonotonicMicros();
  EXPECT_GE(d.MonotonicMicros(), first);
  EXPECT_GT(d.WallMicros(), int64_t{1230768000} * 1000000);  // after 2009-01-01
}

TYPED_TEST(DeviceContract, CodePagesConvert) {
  Device& d = this->device();
  const uint8_t shiftJis[] = {0x93, 0xFA, 0x96, 0x7B};  // 日本
  char16_t out[4] = {};
  EXPECT_EQ(d.MultiByteToWideChar(932, shiftJis, out), 2);
  EXPECT_EQ(out[0], u'日');
  EXPECT_EQ(out[1], u'本');
  EXPECT_EQ(d.MultiByteToWideChar(1252, shiftJis, out), -1);
}

// --- in-memory device ---

TEST(MemoryDevice, ClockMovesOnlyWhenTold) {
  MemoryDevice d;
  EXPECT_EQ(d.WallMicros(), MemoryDevice::kStartWallMicros);
  EXPECT_EQ(d.MonotonicMicros(), 0);
  d.AdvanceClock(150000);
  EXPECT_EQ(d.MonotonicMicros(), 150000);
  EXPECT_EQ(d.WallMicros(), MemoryDevice::kStartWallMicros + 150000);
  d.SetWallMicros(0);  // a user turning the date back
  d.AdvanceClock(-5);  // refused: monotonic time never goes back
  EXPECT_EQ(d.WallMicros(), 0);
  EXPECT_EQ(d.MonotonicMicros(), 150000);
  d.SetUiLanguage(0x0409);
  EXPECT_EQ(d.UiLanguage(), 0x0409);
}

// --- Linux device ---

TEST(LinuxDevice, RegistryPersistsAndIsSharedBetweenConnections) {
  test::TemporaryFolder folder;
  const std::string root = folder.path() + "/device";
  std::unique_ptr<LinuxDevice> first, second;
  ASSERT_TRUE(LinuxDevice::Open(root, &first).ok());
  ASSERT_TRUE(LinuxDevice::Open(root, &second).ok());
  ASSERT_TRUE(first->CreateKey(kUser, u"Software\\Cordavex").ok());

  // Two connections (as two processes would have) writing at once.
  constexpr int kEach = 60;
  auto writer = [](Device* device, char16_t tag) {
    for (int i = 0; i < kEach; ++i) {
      const std::u16string name = std::u16string(1, tag) + Utf16(std::to_string(i));
      ASSERT_TRUE(device->SetValue(kUser, u"Software\\Cordavex", name, RegistryValue::Dword(static_cast<uint32_t>(i))).ok());
    }
  };
  std::thread a(writer, first.get(), u'a'), b(writer, second.get(), u'b');
  a.join();
  b.join();

  first.reset();
  second.reset();
  std::unique_ptr<LinuxDevice> reopened;
  ASSERT_TRUE(LinuxDevice::Open(root, &reopened).ok());
  std::vector<std::u16string> names;
  ASSERT_TRUE(reopened->ListValues(kUser, u"software\\cordavex", &names).ok());
  EXPECT_EQ(names.size(), 2u * kEach);
  RegistryValue read;
  ASSERT_TRUE(reopened->GetValue(kUser, u"Software\\Cordavex", u"B59", &read).ok());
  EXPECT_EQ(read, RegistryValue::Dword(59));
  EXPECT_TRUE(std::filesystem::exists(root + "/registry.sqlite"));
  EXPECT_TRUE(List(*reopened, "").empty());  // the registry is not one of the phone's files
}

TEST(LinuxDevice, FilesLiveUnderTheRootAndNothingEscapes) {
  test::TemporaryFolder folder;
  std::unique_ptr<LinuxDevice> d;
  ASSERT_TRUE(LinuxDevice::Open(folder.path() + "/nested/device/", &d).ok());
  ASSERT_TRUE(d->MakeFolders("Temp/Cordavex").ok());
  ASSERT_TRUE(d->WriteFile("Temp/Cordavex/a.txt", "abc").ok());
  EXPECT_TRUE(std::filesystem::is_regular_file(folder.path() + "/nested/device/Temp/Cordavex/a.txt"));
  EXPECT_FALSE(d->WriteFile("../outside.txt", "x").ok());
  EXPECT_FALSE(std::filesystem::exists(folder.path() + "/nested/outside.txt"));
}

TEST(LinuxDevice, DefaultRootFollowsTheEnvironment) {
  const char* saved = std::getenv("CORDAVEX_DEVICE_ROOT");
  const std::string keep = saved != nullptr ? saved : "";
  ::setenv("CORDAVEX_DEVICE_ROOT", "/tmp/some-device", 1);
  EXPECT_EQ(DefaultDeviceRoot(), "/tmp/some-device");
  ::unsetenv("CORDAVEX_DEVICE_ROOT");
  const char* xdg = std::getenv("XDG_DATA_HOME");
  if (xdg != nullptr && *xdg == '/') {
    EXPECT_EQ(DefaultDeviceRoot(), std::string(xdg) + "/cordavex/device");
  } else {
    EXPECT_NE(DefaultDeviceRoot().find("/.local/share/cordavex/device"), std::string::npos);
  }
  if (saved != nullptr) ::setenv("CORDAVEX_DEVICE_ROOT", keep.c_str(), 1);
}

}  // namespace
}  // namespace cordavex::platform

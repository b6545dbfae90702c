// The fault-injecting device: chosen calls are refused with a clear error, the
// rest reach the device behind it, and what was stored before stays whole.
#include <gtest/gtest.h>

#include "platform/fault_device.h"
#include "platform/memory_device.h"

namespace cordavex::platform {
namespace {

constexpr RegistryRoot kUser = RegistryRoot::kCurrentUser;

class FaultDeviceTest : public ::testing::Test {
 protected:
  MemoryDevice memory_;
  FaultInjectingDevice faulty_{&memory_};

  std::string Read(std::string_view path) {
    std::string data;
    EXPECT_TRUE(memory_.ReadFile(path, &data).ok()) << path;
    return data;
  }
};

TEST_F(FaultDeviceTest, TheNthWriteFailsAndTheFileKeepsItsContents) {
  ASSERT_TRUE(faulty_.WriteFile("history.dat", "first").ok());
  faulty_.FailNth(kFaultWrite, 2);
  ASSERT_TRUE(faulty_.WriteFile("history.dat", "second").ok());  // the 1st matching write
  const Status refused = faulty_.WriteFile("history.dat", "third");
  EXPECT_EQ(refused.code(), Status::Code::kInjectedFault);
  EXPECT_EQ(refused.ToString(), "injected fault: write of history.dat refused");
  EXPECT_EQ(Read("history.dat"), "second");
  ASSERT_TRUE(faulty_.WriteFile("history.dat", "fourth").ok());  // the rule has retired
  EXPECT_EQ(Read("history.dat"), "fourth");
  EXPECT_EQ(faulty_.refusals(), 1);
}

TEST_F(FaultDeviceTest, EveryChangeUnderAFolderFailsAndOnlyThere) {
  ASSERT_TRUE(memory_.MakeFolders("Temp/Cordavex").ok());
  ASSERT_TRUE(memory_.MakeFolders("Temporary").ok());
  ASSERT_TRUE(memory_.WriteFile("Temp/Cordavex/split.dat", "part 1").ok());
  faulty_.FailUnder(kFaultFileChanges, "Temp");

  const struct {
    const char* what;
    Status status;
  } refused[] = {
      {"write", faulty_.WriteFile("Temp/Cordavex/split.dat", "part 2")},
      {"write with a trailing slash", faulty_.WriteFile("Temp/Cordavex/split.dat/", "part 2")},
      {"append", faulty_.AppendFile("Temp/Cordavex/split.dat", "part 2")},
      {"remove", faulty_.Remove("Temp/Cordavex/split.dat")},
      {"folders", faulty_.MakeFolders("Temp/Cordavex/more")},
      {"the folder itself", faulty_.Remove("Temp")},
  };
  for (const auto& r : refused) {
    EXPECT_EQ(r.status.code(), Status::Code::kInjectedFault) << r.what;
  }
  EXPECT_EQ(Read("Temp/Cordavex/split.dat"), "part 1");
  EXPECT_FALSE(memory_.Exists("Temp/Cordavex/more"));

  // Reads under the folder and changes beside it pass.
  std::string data;
  EXPECT_TRUE(faulty_.ReadFile("Temp/Cordavex/split.dat", &data).ok());
  EXPECT_TRUE(faulty_.WriteFile("Temporary/x", "x").ok());
  EXPECT_TRUE(faulty_.WriteFile("calls.log", "x").ok());
}

TEST_F(FaultDeviceTest, RegistryWritesFailAndStoredValuesStay) {
  ASSERT_TRUE(faulty_.CreateKey(kUser, u"Software\\Cordavex").ok());
  ASSERT_TRUE(faulty_.SetValue(kUser, u"Software\\Cordavex", u"Decode_Sound", RegistryValue::Dword(1)).ok());
  faulty_.FailUnder(kFaultRegistryWrite, "software\\cordavex");

  const Status refused =
      faulty_.SetValue(kUser, u"SOFTWARE\\Cordavex", u"Decode_Sound", RegistryValue::Dword(0));
  EXPECT_EQ(refused.code(), Status::Code::kInjectedFault);
  EXPECT_NE(refused.message().find("HKEY_CURRENT_USER\\SOFTWARE\\Cordavex"), std::string::npos)
      << refused.message();
  EXPECT_FALSE(faulty_.DeleteValue(kUser, u"Software\\Cordavex", u"Decode_Sound").ok());
  EXPECT_FALSE(faulty_.DeleteKey(kUser, u"Software\\Cordavex").ok());
  EXPECT_FALSE(faulty_.CreateKey(kUser, u"Software\\Cordavex\\Sub").ok());
  EXPECT_TRUE(faulty_.CreateKey(kUser, u"Software\\CordavexOther").ok());  // not under the prefix

  RegistryValue read;
  ASSERT_TRUE(faulty_.GetValue(kUser, u"Software\\Cordavex", u"Decode_Sound", &read).ok());
  EXPECT_EQ(read, RegistryValue::Dword(1));
  EXPECT_TRUE(memory_.OpenKey(kUser, u"Software\\Cordavex\\Sub").IsNotFound());
  EXPECT_EQ(faulty_.refusals(), 4);

  faulty_.ClearRules();
  EXPECT_TRUE(faulty_.SetValue(kUser, u"Software\\Cordavex", u"Decode_Sound", RegistryValue::Dword(0)).ok());
}

TEST_F(FaultDeviceTest, RulesCountOnlyTheirOwnKindOfCall) {
  ASSERT_TRUE(memory_.WriteFile("a", "a").ok());
  faulty_.AddRule({kFaultRead, "", /*skip=*/1, /*times=*/2});
  std::string data;
  EXPECT_TRUE(faulty_.WriteFile("b", "b").ok());  // writes do not count
  EXPECT_TRUE(faulty_.ReadFile("a", &data).ok());
  EXPECT_FALSE(faulty_.ReadFile("a", &data).ok());
  EXPECT_FALSE(faulty_.ReadFile("b", &data).ok());
  EXPECT_TRUE(faulty_.ReadFile("b", &data).ok());
  EXPECT_EQ(faulty_.refusals(), 2);
}

TEST(RegistryValue, BytesAreAsThePhoneStoresThem) {
  EXPECT_EQ(RegistryValue::Dword(0x01020304).data, (std::vector<uint8_t>{4, 3, 2, 1}));
  EXPECT_EQ(RegistryValue::String(u"A").data, (std::vector<uint8_t>{0x41, 0, 0, 0}));
  EXPECT_EQ(RegistryValue::MultiString({u"A", u"B"}).data,
            (std::vector<uint8_t>{0x41, 0, 0, 0, 0x42, 0, 0, 0, 0, 0}));
  EXPECT_EQ(RegistryValue::MultiString({}).data, (std::vector<uint8_t>{0, 0}));
}

TEST(RegistryValue, ReadersRefuseOtherTypesAndMalformedBytes) {
  uint32_t dword = 99;
  std::u16string text = u"keep";
  std::vector<std::u16string> strings;
  EXPECT_FALSE(RegistryValue::String(u"1").AsDword(&dword));
  EXPECT_FALSE((RegistryValue{RegistryType::kDword, {1, 2, 3}}).AsDword(&dword));
  EXPECT_FALSE(RegistryValue::Dword(1).AsString(&text));
  EXPECT_FALSE(RegistryValue::Dword(1).AsMultiString(&strings));
  EXPECT_EQ(dword, 99u);
  EXPECT_EQ(text, u"keep");

  // Lenient string reading: no terminator, odd length, text after the zero.
  const struct {
    std::vector<uint8_t> bytes;
    std::u16string text;
  } cases[] = {
      {{0x41, 0, 0x42, 0}, u"AB"},
      {{0x41, 0, 0x42}, u"A"},
      {{0x41, 0, 0, 0, 0x42, 0}, u"A"},
      {{}, u""},
  };
  for (const auto& c : cases) {
    ASSERT_TRUE((RegistryValue{RegistryType::kString, c.bytes}).AsString(&text));
    EXPECT_EQ(text, c.text);
  }
  ASSERT_TRUE((RegistryValue{RegistryType::kMultiString, {0x41, 0, 0, 0, 0x42, 0}}).AsMultiString(&strings));
  EXPECT_EQ(strings, (std::vector<std::u16string>{u"A", u"B"}));
}

}  // namespace
}  // namespace cordavex::platform

// `cordavex reg` run as a person runs it, on a temporary device root: values
// written and read back through the tool and through the device, the dump, and
// the exit status of every kind of failure.
#include <gtest/gtest.h>

#include <stdlib.h>

#include <cstdlib>
#include <memory>
#include <string>

#include "platform/device_fixture.h"
#include "platform/linux_device.h"
#include "support/cli_runner.h"

namespace cordavex::cli {
namespace {

using platform::RegistryRoot;
using platform::RegistryValue;

class RegTool : public ::testing::Test {
 protected:
  std::string root() const { return folder_.path() + "/device"; }
  // `cordavex reg --device-root ROOT ARGUMENTS` (ARGUMENTS quoted for the shell).
  test::CliRun Reg(const std::string& arguments) const {
    return test::RunCli("reg --device-root '" + root() + "' " + arguments);
  }
  std::unique_ptr<platform::LinuxDevice> Device() const {
    std::unique_ptr<platform::LinuxDevice> device;
    EXPECT_TRUE(platform::LinuxDevice::Open(root(), &device).ok());
    return device;
  }

 private:
  test::TemporaryFolder folder_;
};

TEST_F(RegTool, SetThenGetEveryType) {
  const struct {
    const char* set;       // KEY VALUE TYPE DATA
    const char* get;       // KEY VALUE
    const char* printed;   // what get prints
  } cases[] = {
      {R"('HKCU\Software\Cordavex' Decode_Sound dword 1)", R"('HKCU\Software\Cordavex' Decode_Sound)",
       "1\n"},
      {R"('HKCU\Software\Cordavex' cv_item dword 0xFFFFFFFF)", R"('HKCU\Software\Cordavex' cv_item)",
       "4294967295\n"},
      {R"('HKEY_CURRENT_USER\Software\Cordavex' CordavexAppPath sz '/opt/Cordavex 3.6/Cordavex')",
       R"('HKCU\Software\Cordavex' CordavexAppPath)", "/opt/Cordavex 3.6/Cordavex\n"},
      // UTF-8 on the command line, stored as UTF-16, printed as UTF-8 again.
      {R"('HKCU\Software\Cordavex\名片' 姓名 sz '王小明 ü 😀')", R"('HKCU\Software\Cordavex\名片' 姓名)",
       "王小明 ü 😀\n"},
      {R"('HKLM\Software\Cordavex' '' sz 'the default value')", R"('HKLM\Software\Cordavex' '')",
       "the default value\n"},
      {R"('HKCR\CLSID\{X}' Data binary '01,02,fF')", R"('HKCR\CLSID\{X}' Data)", "0102ff\n"},
      {R"('HKCR\CLSID\{X}' Empty binary '')", R"('HKCR\CLSID\{X}' Empty)", "\n"},
      {R"('HKLM\Comm' Lines multi_sz one 'two words' 三)", R"('HKLM\Comm' Lines)",
       "one\ntwo words\n三\n"},
      {R"('HKLM\Comm' None multi_sz)", R"('HKLM\Comm' None)", ""},
  };
  for (const auto& c : cases) {
    const test::CliRun set = Reg(std::string("set ") + c.set);
    EXPECT_EQ(set.exitStatus, 0) << c.set << "\n" << set.err;
    const test::CliRun get = Reg(std::string("get ") + c.get);
    EXPECT_EQ(get.exitStatus, 0) << c.get << "\n" << get.err;
    EXPECT_EQ(get.out, c.printed) << c.get;
  }
  // What the tool wrote is what the program reads.
  auto device = Device();
  RegistryValue value;
  ASSERT_TRUE(device->GetValue(RegistryRoot::kCurrentUser, u"Software\\Cordavex\\名片", u"姓名", &value).ok());
  EXPECT_EQ(value, RegistryValue::String(u"王小明 ü 😀"));
  ASSERT_TRUE(device->GetValue(RegistryRoot::kLocalMachine, u"Comm", u"Lines", &value).ok());
  EXPECT_EQ(value, RegistryValue::MultiString({u"one", u"two words", u"三"}));
}

TEST_F(RegTool, KeyPathsAndValueNamesIgnoreCase) {
  auto device = Device();
  ASSERT_TRUE(device->CreateKey(RegistryRoot::kCurrentUser, u"Software\\Cordavex").ok());
  ASSERT_TRUE(device->SetValue(RegistryRoot::kCurrentUser, u"Software\\Cordavex", u"Auto_Save",
                               RegistryValue::Dword(0)).ok());
  for (const char* get : {R"('hkcu\SOFTWARE\cordavex' AUTO_SAVE)",
                          R"('Hkey_Current_User\software\CORDAVEX\' auto_save)"}) {
    const test::CliRun run = Reg(std::string("get ") + get);
    EXPECT_EQ(run.exitStatus, 0) << get << "\n" << run.err;
    EXPECT_EQ(run.out, "0\n") << get;
  }
  // A set under another spelling replaces the value, in the key as first spelt.
  ASSERT_EQ(Reg(R"(set 'HKCU\software\CORDAVEX' AUTO_SAVE dword 1)").exitStatus, 0);
  const test::CliRun dump = Reg("dump");
  EXPECT_EQ(dump.out, "[HKEY_CURRENT_USER\\Software]\n\n"
                      "[HKEY_CURRENT_USER\\Software\\Cordavex]\n\"Auto_Save\"=dword:00000001\n\n");
}

TEST_F(RegTool, DumpShowsEveryKeyAndValueSorted) {
  auto device = Device();
  const std::u16string cordavex = u"Software\\Cordavex";
  ASSERT_TRUE(device->CreateKey(RegistryRoot::kCurrentUser, cordavex).ok());
  ASSERT_TRUE(device->SetValue(RegistryRoot::kCurrentUser, cordavex, u"cv_item",
                               RegistryValue::Dword(7)).ok());
  ASSERT_TRUE(device->SetValue(RegistryRoot::kCurrentUser, cordavex, u"CordavexAppPath",
                               RegistryValue::String(u"C:\\a \"b\"\nc")).ok());
  ASSERT_TRUE(device->SetValue(RegistryRoot::kCurrentUser, cordavex, u"",
                               RegistryValue::String(u"默認")).ok());
  ASSERT_TRUE(device->SetValue(RegistryRoot::kCurrentUser, cordavex, u"Blob",
                               RegistryValue::Binary({0x00, 0xAB})).ok());
  ASSERT_TRUE(device->SetValue(RegistryRoot::kCurrentUser, cordavex, u"Odd",
                               RegistryValue{platform::RegistryType::kDword, {1, 2}}).ok());
  ASSERT_TRUE(device->CreateKey(RegistryRoot::kLocalMachine, u"Software\\b\\Inner").ok());
  ASSERT_TRUE(device->CreateKey(RegistryRoot::kLocalMachine, u"Software\\A").ok());
  ASSERT_TRUE(device->SetValue(RegistryRoot::kLocalMachine, u"Software\\A", u"List",
                               RegistryValue::MultiString({u"x", u"y"})).ok());
  const test::CliRun dump = Reg("dump");
  EXPECT_EQ(dump.exitStatus, 0) << dump.err;
  EXPECT_EQ(dump.out,
            "[HKEY_CURRENT_USER\\Software]\n\n"
            "[HKEY_CURRENT_USER\\Software\\Cordavex]\n"
            "@=\"默認\"\n"
            "\"Blob\"=hex:00,ab\n"
            "\"CordavexAppPath\"=\"C:\\\\a \\\"b\\\"\\nc\"\n"
            "\"cv_item\"=dword:00000007\n"
            "\"Odd\"=hex(4):01,02\n"
            "\n"
            "[HKEY_LOCAL_MACHINE\\Software]\n\n"
            "[HKEY_LOCAL_MACHINE\\Software\\A]\n"
            "\"List\"=multi_sz:\"x\",\"y\"\n\n"
            "[HKEY_LOCAL_MACHINE\\Software\\b]\n\n"
            "[HKEY_LOCAL_MACHINE\\Software\\b\\Inner]\n\n");
}

TEST_F(RegTool, FailuresExitWithTheirStatus) {
  ASSERT_EQ(Reg(R"(set 'HKCU\Software\Cordavex' Focus_Screen dword 1)").exitStatus, 0);
  const struct {
    const char* arguments;
    int status;
    const char* message;  // part of the one line on stderr
  } cases[] = {
      {R"(get 'HKCU\Software\Missing' X)", 1, "not found: key HKCU\\Software\\Missing"},
      {R"(get 'HKCU\Software\Cordavex' Missing)", 1, "not found: value \"Missing\""},
      {R"(get 'HKEY_USERS\Software' X)", 2, "unknown root 'HKEY_USERS'"},
      {R"(get 'Software\Cordavex' X)", 2, "unknown root 'Software'"},
      {R"(get 'HKCU\Software\\Cordavex' X)", 2, "empty part"},
      {R"(set 'HKCU\Software\Cordavex' X dword -1)", 2, ""},  // an option, or not a number
      {R"(set 'HKCU\Software\Cordavex' X dword 4294967296)", 2, "not a DWORD"},
      {R"(set 'HKCU\Software\Cordavex' X dword 12abc)", 2, "not a DWORD"},
      {R"(set 'HKCU\Software\Cordavex' X binary 0g)", 2, "not hex bytes"},
      {R"(set 'HKCU\Software\Cordavex' X binary 012)", 2, "not hex bytes"},
      {R"(set 'HKCU\Software\Cordavex' X qword 1)", 2, "unknown type 'qword'"},
      {R"(set 'HKCU\Software\Cordavex' X sz a b)", 2, "takes one DATA argument"},
      {R"(set 'HKCU\Software\Cordavex' X multi_sz a '')", 2, "empty string"},
      {R"(get 'HKCU\Software\Cordavex')", 2, "VALUE"},
      {"frobnicate", 2, ""},
      {"", 2, ""},
  };
  for (const auto& c : cases) {
    const test::CliRun run = Reg(c.arguments);
    EXPECT_EQ(run.exitStatus, c.status) << c.arguments << "\n" << run.err;
    EXPECT_NE(run.err.find(c.message), std::string::npos) << c.arguments << "\n" << run.err;
    EXPECT_EQ(run.out, "") << c.arguments;
  }
  // Nothing of the failed sets was written.
  const test::CliRun dump = Reg("dump");
  EXPECT_EQ(dump.out.find("\"X\""), std::string::npos) << dump.out;

  // A device root that cannot be one.
  const test::CliRun file = test::RunCli("reg --device-root /dev/null dump");
  EXPECT_EQ(file.exitStatus, 2);
  EXPECT_NE(file.err.find("not a folder"), std::string::npos) << file.err;
}

TEST_F(RegTool, DefaultDeviceRootComesFromTheEnvironment) {
  const char* old = std::getenv("CORDAVEX_DEVICE_ROOT");
  const std::string saved = old != nullptr ? old : "";
  ::setenv("CORDAVEX_DEVICE_ROOT", root().c_str(), 1);
  const test::CliRun set = test::RunCli(R"(reg set 'HKCU\Software\Cordavex' Auto_Save dword 1)");
  if (old != nullptr) {
    ::setenv("CORDAVEX_DEVICE_ROOT", saved.c_str(), 1);
  } else {
    ::unsetenv("CORDAVEX_DEVICE_ROOT");
  }
  EXPECT_EQ(set.exitStatus, 0) << set.err;
  RegistryValue value;
  ASSERT_TRUE(Device()->GetValue(RegistryRoot::kCurrentUser, u"Software\\Cordavex", u"Auto_Save",
                                 &value).ok());
  EXPECT_EQ(value, RegistryValue::Dword(1));
}

}  // namespace
}  // namespace cordavex::cli

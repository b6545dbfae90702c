// The program run as a person runs it, through the scripted driver on a
// temporary device root: start-up, the settings screen, single instance and
// bad input.
#include <gtest/gtest.h>

#include <chrono>
#include <filesystem>
#include <fstream>
#include <thread>

#include "app/settings.h"
#include "cordavex/payload_cipher.h"
#include "platform/linux_device.h"
#include "platform/device.h"
#include "platform/device_fixture.h"
#include "program_runner.h"

namespace cordavex::app {
namespace {

using nlohmann::json;
using platform::RegistryRoot;
using platform::RegistryValue;
using test::RunProgram;

std::vector<std::string> Args(const std::string& root, std::vector<std::string> more = {}) {
  std::vector<std::string> args{"--device-root", root, "--ui", "script", "--camera", "none", "--no-browser"};
  args.insert(args.end(), more.begin(), more.end());
  return args;
}

std::string ReadText(const std::string& path) {
  std::ifstream in(path, std::ios::binary);
  std::stringstream text;
  text << in.rdbuf();
  return text.str();
}

uint32_t Dword(platform::Device& device, std::u16string_view name) {
  RegistryValue value;
  uint32_t number = 0xFFFFFFFF;
  EXPECT_TRUE(device.GetValue(RegistryRoot::kCurrentUser, kSettingsKey, name, &value).ok());
  EXPECT_TRUE(value.AsDword(&number)) << platform::Utf8(name);
  return number;
}

const json* FindControl(const json& snapshot, int id) {
  for (const json& control : snapshot["controls"]) {
    if (control["id"] == id) return &control;
  }
  return nullptr;
}

class ProgramTest : public ::testing::Test {
 protected:
  test::TemporaryFolder folder_;
  std::string root() const { return folder_.path() + "/device"; }
  std::unique_ptr<platform::LinuxDevice> OpenDevice() {
    std::unique_ptr<platform::LinuxDevice> device;
    EXPECT_TRUE(platform::LinuxDevice::Open(root(), &device).ok());
    return device;
  }
};

TEST_F(ProgramTest, FirstStartMakesTheDeviceRootAndWritesTheDefaults) {
  // About opens over the main window and OK closes it; Exit (1010) ends the
  // program by itself.
  const test::ProgramRun run = RunProgram(folder_.path(), Args(root()),
                                          "wait main\ncommand 40002\nwait about\ncommand 1\nwait main\n"
                                          "snapshot\ncommand 1010\n");
  ASSERT_EQ(run.exitStatus, 0) << run.err;
  const auto snapshots = run.Snapshots();
  ASSERT_GE(snapshots.size(), 3u);
  EXPECT_EQ(snapshots[1]["window"], "about");
  EXPECT_EQ(snapshots[1]["dialog"], 103);
  const json& main = snapshots.back();
  EXPECT_EQ(main["window"], "main");
  EXPECT_EQ(main["title"], "Cordavex 3.6");
  EXPECT_EQ(main["softkeys"]["left"]["text"], "離開");
  EXPECT_EQ(main["softkeys"]["left"]["command"], 1010);
  EXPECT_EQ(main["softkeys"]["right"]["text"], "功能表");
  std::vector<int> commands;
  for (const json& item : main["softkeys"]["right"]["menu"]) commands.push_back(item["command"]);
  EXPECT_EQ(commands, (std::vector<int>{40002, 40009, 40048, 0, 40113, 40133, 40098}));

  for (const char* folder : {"Windows", "Program Files/Cordavex", "Temp", "Storage Card", "My Documents"}) {
    EXPECT_TRUE(std::filesystem::is_directory(root() + "/" + folder)) << folder;
  }
  EXPECT_TRUE(std::filesystem::exists(root() + "/device.json"));
  auto device = OpenDevice();
  RegistryValue path;
  ASSERT_TRUE(device->GetValue(RegistryRoot::kCurrentUser, kSettingsKey, kAppPathValue, &path).ok());
  std::u16string text;
  ASSERT_TRUE(path.AsString(&text));
  EXPECT_EQ(std::filesystem::path(platform::Utf8(text)).filename(), "Cordavex");
  EXPECT_EQ(Dword(*device, u"Decode_Sound"), 1u);
  EXPECT_EQ(Dword(*device, u"cv_item"), 7u);
  RegistryValue port;
  EXPECT_TRUE(device
                  ->GetValue(RegistryRoot::kLocalMachine,
                             u"Software\\Microsoft\\Shell\\Event\\Network\\WDP\\17999\\Cordavex", u"17999", &port)
                  .ok());
  EXPECT_EQ(port, RegistryValue::Dword(32769));
  // Live scanning is not part of this build: its stand-in says so.
  EXPECT_FALSE(run.Events("stub").empty());
}

TEST_F(ProgramTest, MissingFilterLibraryIsReportedAndTheProgramRunsOn) {
  test::TemporaryFolder empty;
  const test::ProgramRun run =
      RunProgram(folder_.path(), Args(root()),
                 "wait message-box\nanswer ok\nwait main\nsnapshot\nquit\n",
                 {"CORDAVEX_LIBRARY_DIR=" + empty.path()});
  ASSERT_EQ(run.exitStatus, 0) << run.err;
  const auto snapshots = run.Snapshots();
  ASSERT_GE(snapshots.size(), 2u);
  EXPECT_EQ(snapshots.front()["window"], "message-box");
  EXPECT_EQ(snapshots.front()["message"]["text"], "Can't load the CordavexDSFilter.dll!");
  EXPECT_EQ(snapshots.front()["message"]["caption"], "Error");
  EXPECT_EQ(snapshots.back()["window"], "main");
  // Without any language library the program's own text is used.
  EXPECT_EQ(snapshots.back()["softkeys"]["left"]["text"], "離開");
}

TEST_F(ProgramTest, LanguageLibraryAndHelpAddressFollowTheUiLanguage) {
  struct Case {
    std::string language;
    std::string exitText;
    std::string helpFile;
  };
  const Case cases[] = {
      {"0804", "离开", "CordavexHelp_0804.htm"},
      {"0409", "Exit", "CordavexHelp_0409.htm"},
      {"0411", "Exit", "CordavexHelp_0409.htm"},  // no library: English, English help
      {"0404", "離開", "CordavexHelp_0404.htm"},
  };
  for (const Case& c : cases) {
    test::TemporaryFolder run_folder;
    const std::string device_root = run_folder.path() + "/device";
    const test::ProgramRun run =
        RunProgram(run_folder.path(), Args(device_root), "wait main\nsnapshot\ncommand 40009\nwait launch\nquit\n",
                   {"CORDAVEX_UI_LANGUAGE=" + c.language});
    ASSERT_EQ(run.exitStatus, 0) << run.err;
    EXPECT_EQ(run.Snapshots().back()["softkeys"]["left"]["text"], c.exitText) << c.language;
    const std::string log = ReadText(device_root + "/launches.log");
    EXPECT_NE(log.find("\tpeghelp.exe\tfile:\\Windows\\" + c.helpFile + "#Main_Contents"), std::string::npos)
        << c.language << ": " << log;
  }
}

TEST_F(ProgramTest, SettingsScreenShowsTheRegistryAndOkWritesTheFiveValues) {
  {
    auto device = OpenDevice();
    ASSERT_TRUE(device->CreateKey(RegistryRoot::kCurrentUser, kSettingsKey).ok());
    ASSERT_TRUE(device->SetValue(RegistryRoot::kCurrentUser, kSettingsKey, u"Auto_Save", RegistryValue::Dword(1)).ok());
    ASSERT_TRUE(
        device->SetValue(RegistryRoot::kCurrentUser, kSettingsKey, u"Choice_Browser", RegistryValue::Dword(0)).ok());
    ASSERT_TRUE(device->SetValue(RegistryRoot::kCurrentUser, kSettingsKey, u"cv_item", RegistryValue::Dword(3)).ok());
  }
  const test::ProgramRun run = RunProgram(folder_.path(), Args(root()),
                                          "wait main\n"
                                          "command 40133\n"
                                          "wait settings\n"
                                          "check 1022 off\n"
                                          "check 40178 off\n"  // disabled: stays checked
                                          "check 40174 off\n"
                                          "check 40175 on\n"
                                          "check 1023 on\n"
                                          "snapshot\n"
                                          "command 1\n"  // the Done button, as OK
                                          "wait main\n"
                                          "quit\n");
  ASSERT_EQ(run.exitStatus, 0) << run.err;
  std::vector<json> settings;
  for (const json& s : run.Snapshots()) {
    if (s["window"] == "settings") settings.push_back(s);
  }
  ASSERT_GE(settings.size(), 2u);
  const json& opened = settings.front();
  EXPECT_EQ(opened["dialog"], 332);
  EXPECT_EQ(opened["title"], "設定");
  const std::pair<int, bool> shown[] = {{1022, true}, {1020, true}, {1021, true}, {1023, false}, {1024, true},
                                        {40178, true}, {40174, true}, {40175, false}};
  for (const auto& [id, checked] : shown) {
    const json* control = FindControl(opened, id);
    ASSERT_NE(control, nullptr) << id;
    EXPECT_EQ((*control)["checked"], checked) << id;
  }
  EXPECT_EQ((*FindControl(opened, 40178))["enabled"], false);
  EXPECT_EQ(opened["done"], true);
  EXPECT_EQ(opened["softkeys"]["left"]["command"], 40005);
  EXPECT_EQ(opened["softkeys"]["right"]["command"], 40006);
  EXPECT_EQ((*FindControl(settings.back(), 40178))["checked"], true);

  auto device = OpenDevice();
  EXPECT_EQ(Dword(*device, u"Decode_Sound"), 0u);
  EXPECT_EQ(Dword(*device, u"Focus_Screen"), 1u);
  EXPECT_EQ(Dword(*device, u"Auto_Save"), 1u);
  EXPECT_EQ(Dword(*device, u"Choice_Browser"), 1u);
  EXPECT_EQ(Dword(*device, u"cv_item"), 2u + 4u);  // QR off, Cordavex code on, Data Matrix on
}

TEST_F(ProgramTest, SettingsCancelWritesNothing) {
  ASSERT_EQ(RunProgram(folder_.path(), Args(root()), "wait main\nquit\n").exitStatus, 0);
  const std::string before = ReadText(root() + "/registry.sqlite");
  const test::ProgramRun run = RunProgram(folder_.path(), Args(root()),
                                          "wait main\ncommand 40133\nwait settings\ncheck 1022 off\n"
                                          "check 40174 off\ncommand 40006\nwait main\nquit\n");
  ASSERT_EQ(run.exitStatus, 0) << run.err;
  auto device = OpenDevice();
  EXPECT_EQ(Dword(*device, u"Decode_Sound"), 1u);
  EXPECT_EQ(Dword(*device, u"cv_item"), 7u);
}

TEST_F(ProgramTest, SecondStartHandsOverAndEnds) {
  // The first start waits for a hand-over: first an empty command line, which
  // only brings it to the front, then an enciphered card.
  test::ProgramProcess first(folder_.path(), Args(root()),
                             "wait main\nwait foreground 20000\nwait stub 20000\nwait message-box 20000\n"
                             "answer ok\nquit\n");
  for (int i = 0; i < 200 && first.Output().find("\"main\"") == std::string::npos; ++i) {
    std::this_thread::sleep_for(std::chrono::milliseconds(50));
  }
  const test::ProgramRun empty = RunProgram(folder_.path(), Args(root()), "");
  EXPECT_EQ(empty.exitStatus, 0) << empty.err;
  EXPECT_TRUE(empty.lines.empty());

  const std::string card = "MECARD:N:Lin,Mei;TEL:0912345678;;";
  std::vector<uint8_t> cipher(static_cast<size_t>(
      EncipherPayload(std::span(reinterpret_cast<const uint8_t*>(card.c_str()), card.size() + 1),
                      std::span(reinterpret_cast<const uint8_t*>(kPayloadKey.data()), kPayloadKey.size()), {})));
  EncipherPayload(std::span(reinterpret_cast<const uint8_t*>(card.c_str()), card.size() + 1),
                  std::span(reinterpret_cast<const uint8_t*>(kPayloadKey.data()), kPayloadKey.size()), cipher);
  const test::ProgramRun handed = RunProgram(folder_.path(), Args(root(), {FormatPayloadText(cipher)}), "");
  EXPECT_EQ(handed.exitStatus, 0) << handed.err;

  const test::ProgramRun run = first.Finish();
  ASSERT_EQ(run.exitStatus, 0) << run.err;
  EXPECT_GE(run.Events("foreground").size(), 2u);
  bool cardShown = false;
  for (const json& stub : run.Events("stub")) cardShown |= stub.value("text", "") == card;
  EXPECT_TRUE(cardShown);
}

TEST_F(ProgramTest, BadInputGivesOneClearMessageAndKeepsTheFile) {
  // A damaged registry and a malformed profile: the program runs on its
  // defaults and leaves both files as they were.
  std::filesystem::create_directories(root());
  const std::string garbage = "this is not an SQLite database, just bytes\n";
  std::ofstream(root() + "/registry.sqlite") << garbage;
  std::ofstream(root() + "/device.json") << "{\"model\": \"Kaiser\", \"screen\": ";
  const test::ProgramRun run = RunProgram(folder_.path(), Args(root()), "wait main\nsnapshot\nquit\n");
  EXPECT_EQ(run.exitStatus, 0) << run.err;
  EXPECT_NE(run.err.find("registry"), std::string::npos) << run.err;
  EXPECT_NE(run.err.find("device.json"), std::string::npos) << run.err;
  EXPECT_EQ(run.Snapshots().back()["window"], "main");
  EXPECT_EQ(ReadText(root() + "/registry.sqlite"), garbage);
  EXPECT_EQ(ReadText(root() + "/device.json"), "{\"model\": \"Kaiser\", \"screen\": ");

  // A language that is no language.
  test::TemporaryFolder other;
  const test::ProgramRun language = RunProgram(other.path(), Args(other.path() + "/device"), "wait main\nquit\n",
                                               {"CORDAVEX_UI_LANGUAGE=klingon"});
  EXPECT_EQ(language.exitStatus, 0) << language.err;
  EXPECT_NE(language.err.find("CORDAVEX_UI_LANGUAGE"), std::string::npos) << language.err;

  // A device root that cannot be one.
  std::ofstream(folder_.path() + "/plain-file") << "x";
  const test::ProgramRun unusable = RunProgram(folder_.path(), Args(folder_.path() + "/plain-file"), "quit\n");
  EXPECT_EQ(unusable.exitStatus, 2);
  EXPECT_NE(unusable.err.find("device root"), std::string::npos) << unusable.err;
}

TEST_F(ProgramTest, BundledClipDecodesWithinSeconds) {
  std::vector<std::string> args = Args(root());
  args[5] = "clip";  // --camera clip
  const test::ProgramRun run =
      RunProgram(folder_.path(), args, "wait main\nwait message-box 15000\nanswer ok\nquit\n");
  ASSERT_EQ(run.exitStatus, 0) << run.err;
  bool decoded = false;
  for (const json& stub : run.Events("stub")) decoded |= stub.value("name", "") == "result screen";
  EXPECT_TRUE(decoded);
  EXPECT_FALSE(run.Events("sound").empty());  // Decode_Sound is on by default
  EXPECT_TRUE(run.Events("error").empty()) << run.Events("error").front().dump();
}

TEST_F(ProgramTest, RecordedClipDecodesAndABrokenSourceIsSaid) {
  std::vector<std::string> args = Args(root());
  args[5] = std::string("y4m:") + CORDAVEX_BUILD_DIR + "/cordavex_clip.y4m";
  const test::ProgramRun run =
      RunProgram(folder_.path(), args, "wait main\nwait message-box 15000\nanswer ok\nquit\n");
  ASSERT_EQ(run.exitStatus, 0) << run.err;
  bool decoded = false;
  for (const json& stub : run.Events("stub")) decoded |= stub.value("name", "") == "result screen";
  EXPECT_TRUE(decoded);

  // A folder of pictures that is not there: one message, and the program
  // goes on (About still opens).
  test::TemporaryFolder other;
  std::vector<std::string> broken = Args(other.path() + "/device");
  broken[5] = "images:" + other.path() + "/no-such-folder";
  const test::ProgramRun failed = RunProgram(other.path(), broken,
                                             "wait main\nwait message-box 10000\nsnapshot\nanswer ok\n"
                                             "wait main\ncommand 40002\nwait about\ncommand 1\nquit\n");
  ASSERT_EQ(failed.exitStatus, 0) << failed.err;
  std::string said;
  for (const json& s : failed.Snapshots()) {
    if (s["window"] == "message-box") said = s["message"]["text"];
  }
  EXPECT_NE(said.find("no-such-folder"), std::string::npos) << said;
  EXPECT_TRUE(failed.Events("error").empty()) << failed.Events("error").front().dump();
}

}  // namespace
}  // namespace cordavex::app

// The web front end's server against a fake phone: the page and the screen it
// serves, the input it takes and refuses, the event stream, the frame images,
// the webcam pictures, and that it stays on loopback.
#include <arpa/inet.h>
#include <netinet/in.h>
#include <png.h>
#include <sys/socket.h>
#include <unistd.h>

#include <httplib.h>

#include <chrono>
#include <condition_variable>
#include <map>
#include <mutex>
#include <random>
#include <string>
#include <thread>
#include <vector>

#include <gtest/gtest.h>
#include <nlohmann/json.hpp>

#include "web/frame_image.h"
#include "web/web_front_end.h"

namespace cordavex::web {
namespace {

// The settings screen with a message box over it, as far as the checks need.
constexpr const char* kScreen = R"({"window":"message-box","dialog":null,"title":"Cordavex",
 "rows":[{"label":"a","value":"","command":0},{"label":"b","value":"","command":700}],"selected":0,
 "controls":[{"id":1022,"kind":"check","text":"Sound","checked":true,"enabled":true},
             {"id":1023,"kind":"check","text":"Off","checked":false,"enabled":false}],
 "softkeys":{"left":{"text":"OK","command":40005},
             "right":{"text":"Menu","command":0,"menu":[{"text":"About","command":40002,"enabled":true},
                                                        {"text":"Grey","command":40099,"enabled":false}]}},
 "message":{"text":"Hello","caption":"Cordavex","buttons":["ok","cancel"]}})";

// The message of an error answer.
std::string ErrorOf(const std::string& body) {
  const auto json = nlohmann::json::parse(body, nullptr, false);
  return json.is_object() && json.contains("error") && json["error"].is_string() ? json["error"].get<std::string>()
                                                                                  : "(not an error answer)";
}

class FakePhone : public Phone {
 public:
  struct Calls {
    std::mutex mutex;
    std::vector<std::string> log;
    std::string snapshot = kScreen;
    std::vector<uint32_t> frame;
    uint64_t version = 0;
    std::map<int, std::function<void()>> changeListeners;
    std::map<int, std::function<void(const ui::Event&)>> eventListeners;
    int nextListener = 1;
  };
  explicit FakePhone(std::shared_ptr<Calls> calls) : calls_(std::move(calls)) {}

  int32_t screenWidth() const override { return 4; }
  int32_t screenHeight() const override { return 3; }
  std::string Snapshot() const override {
    std::lock_guard lock(calls_->mutex);
    return calls_->snapshot;
  }
  uint64_t ReadFrame(std::vector<uint32_t>* pixels) const override {
    std::lock_guard lock(calls_->mutex);
    *pixels = calls_->frame;
    return calls_->version;
  }
  int AddChangeListener(std::function<void()> listener) override {
    std::lock_guard lock(calls_->mutex);
    calls_->changeListeners[calls_->nextListener] = std::move(listener);
    return calls_->nextListener++;
  }
  int AddEventListener(std::function<void(const ui::Event&)> listener) override {
    std::lock_guard lock(calls_->mutex);
    calls_->eventListeners[calls_->nextListener] = std::move(listener);
    return calls_->nextListener++;
  }
  void RemoveListener(int id) override {
    std::lock_guard lock(calls_->mutex);
    calls_->changeListeners.erase(id);
    calls_->eventListeners.erase(id);
  }
  void PressKey(uint32_t key) override { Log("key " + std::to_string(key)); }
  void ChooseCommand(uint32_t command) override { Log("command " + std::to_string(command)); }
  void ClickControl(uint32_t id, std::optional<bool> check) override {
    Log("click " + std::to_string(id) + (check ? (*check ? " on" : " off") : ""));
  }
  void SelectRow(int row) override { Log("select " + std::to_string(row)); }
  void Answer(int answer) override { Log("answer " + std::to_string(answer)); }

 private:
  void Log(std::string line) {
    std::lock_guard lock(calls_->mutex);
    calls_->log.push_back(std::move(line));
  }
  std::shared_ptr<Calls> calls_;
};

class WebServerTest : public ::testing::Test {
 protected:
  void SetUp() override {
    calls_ = std::make_shared<FakePhone::Calls>();
    server_ = std::make_unique<WebFrontEnd>(std::make_unique<FakePhone>(calls_));
    std::string error;
    ASSERT_TRUE(server_->Start(0, &error)) << error;
  }

  httplib::Client Client() {
    httplib::Client client("127.0.0.1", server_->port());
    client.set_read_timeout(5, 0);
    return client;
  }

  std::vector<std::string> TakeLog() {
    std::lock_guard lock(calls_->mutex);
    return std::exchange(calls_->log, {});
  }

  // What the window model does after a change: tell every change listener.
  void Change(std::function<void(FakePhone::Calls&)> edit) {
    std::vector<std::function<void()>> listeners;
    {
      std::lock_guard lock(calls_->mutex);
      edit(*calls_);
      for (auto& [id, listener] : calls_->changeListeners) listeners.push_back(listener);
    }
    for (auto& listener : listeners) listener();
  }

  void Emit(const ui::Event& event) {
    std::vector<std::function<void(const ui::Event&)>> listeners;
    {
      std::lock_guard lock(calls_->mutex);
      for (auto& [id, listener] : calls_->eventListeners) listeners.push_back(listener);
    }
    for (auto& listener : listeners) listener(event);
  }

  std::shared_ptr<FakePhone::Calls> calls_;
  std::unique_ptr<WebFrontEnd> server_;
};

TEST_F(WebServerTest, ServesThePageAndTheScreen) {
  EXPECT_EQ(server_->address(), "http://127.0.0.1:" + std::to_string(server_->port()) + "/");
  auto client = Client();
  const auto page = client.Get("/");
  ASSERT_TRUE(page);
  EXPECT_EQ(page->status, 200);
  EXPECT_NE(page->get_header_value("Content-Type").find("text/html"), std::string::npos);
  EXPECT_NE(page->body.find("phone.js"), std::string::npos);
  for (const char* path : {"/phone.js", "/phone.css", "/index.html"}) {
    const auto file = client.Get(path);
    ASSERT_TRUE(file) << path;
    EXPECT_EQ(file->status, 200) << path;
    EXPECT_FALSE(file->body.empty()) << path;
  }
  const auto size = client.Get("/phone");
  ASSERT_TRUE(size);
  EXPECT_EQ(size->body, R"({"width":4,"height":3,"camera":false})");
  const auto snapshot = client.Get("/snapshot");
  ASSERT_TRUE(snapshot);
  EXPECT_EQ(snapshot->body, kScreen);
  const auto missing = client.Get("/nothing-here");
  ASSERT_TRUE(missing);
  EXPECT_EQ(missing->status, 404);
  EXPECT_EQ(missing->body, R"({"error":"no such page: /nothing-here"})");
}

TEST_F(WebServerTest, ListensOnlyOnLoopbackAndAnswersOnlyItsOwnHost) {
  // Bound to 127.0.0.1 alone: another loopback address finds nobody there.
  const int fd = ::socket(AF_INET, SOCK_STREAM, 0);
  ASSERT_GE(fd, 0);
  sockaddr_in address{};
  address.sin_family = AF_INET;
  address.sin_port = htons(static_cast<uint16_t>(server_->port()));
  ::inet_pton(AF_INET, "127.0.0.2", &address.sin_addr);
  EXPECT_NE(::connect(fd, reinterpret_cast<sockaddr*>(&address), sizeof address), 0);
  ::close(fd);

  // A page of another site that had its name resolved to 127.0.0.1.
  auto client = Client();
  const auto foreign = client.Post("/input", {{"Host", "attacker.example:" + std::to_string(server_->port())}},
                                   R"({"key":"up"})", "application/json");
  ASSERT_TRUE(foreign);
  EXPECT_EQ(foreign->status, 403);
  const auto crossOrigin = client.Post("/input", {{"Origin", "http://attacker.example"}}, R"({"key":"up"})",
                                       "application/json");
  ASSERT_TRUE(crossOrigin);
  EXPECT_EQ(crossOrigin->status, 403);
  EXPECT_TRUE(TakeLog().empty());
}

TEST_F(WebServerTest, DeliversEachInputTheScreenOffers) {
  const struct {
    const char* body;
    const char* call;
  } cases[] = {
      {R"({"key":"up"})", "key 38"},
      {R"({"key":"softright"})", "key 113"},
      {R"({"key":"enter"})", "key 13"},
      {R"({"key":13})", "key 13"},
      {R"({"command":40005})", "command 40005"},  // the left softkey
      {R"({"command":40002})", "command 40002"},  // an enabled menu item
      {R"({"command":700})", "command 700"},      // a row's command
      {R"({"click":1022})", "click 1022"},
      {R"({"click":1022,"check":false})", "click 1022 off"},
      {R"({"check":true,"click":1022})", "click 1022 on"},
      {R"({"select":1})", "select 1"},
      {R"({"answer":"ok"})", "answer 1"},
      {R"({"answer":"cancel"})", "answer 2"},
  };
  auto client = Client();
  for (const auto& c : cases) {
    const auto response = client.Post("/input", c.body, "application/json");
    ASSERT_TRUE(response) << c.body;
    EXPECT_EQ(response->status, 200) << c.body << ": " << response->body;
    EXPECT_EQ(TakeLog(), std::vector<std::string>{c.call}) << c.body;
  }
}

TEST_F(WebServerTest, RefusesBadInputWithAReasonAndDeliversNothing) {
  const struct {
    const char* body;
    const char* contentType;
    int status;
    const char* error;
  } cases[] = {
      {"", "application/json", 400, "the body is not JSON"},
      {"{\"key\":", "application/json", 400, "the body is not JSON"},
      {"\xff\xfe{}", "application/json", 400, "the body is not JSON"},
      {R"(["key","up"])", "application/json", 400, "the body must be a JSON object"},
      {"{}", "application/json", 400, "no input: give one of"},
      {R"({"key":"up","command":40005})", "application/json", 400, "one input at a time"},
      {R"({"jump":1})", "application/json", 400, "unknown member \"jump\""},
      {R"({"key":"home"})", "application/json", 400, "unknown key \"home\""},
      {R"({"key":0})", "application/json", 400, "\"key\" must be from 1 to 254"},
      {R"({"key":null})", "application/json", 400, "\"key\" must be a whole number"},
      {R"({"command":40099})", "application/json", 400, "command 40099 is not offered on the screen"},
      {R"({"command":12345})", "application/json", 400, "command 12345 is not offered on the screen"},
      {R"({"command":40005.5})", "application/json", 400, "\"command\" must be a whole number"},
      {R"({"command":"40005"})", "application/json", 400, "\"command\" must be a whole number"},
      {R"({"command":18446744073709551615})", "application/json", 400, "\"command\" must be from 1 to 65535"},
      {R"({"command":-40005})", "application/json", 400, "\"command\" must be from 1 to 65535"},
      {R"({"click":1023})", "application/json", 400, "control 1023 is disabled"},
      {R"({"click":9})", "application/json", 400, "control 9 is not on the screen"},
      {R"({"click":1022,"check":"yes"})", "application/json", 400, "\"check\" must be true or false"},
      {R"({"key":"up","check":true})", "application/json", 400, "\"check\" goes only with \"click\""},
      {R"({"select":2})", "application/json", 400, "\"select\" must be from 0 to 1"},
      {R"({"select":-1})", "application/json", 400, "\"select\" must be from 0 to 1"},
      {R"({"answer":"maybe"})", "application/json", 400, "unknown answer \"maybe\""},
      {R"({"answer":"yes"})", "application/json", 400, "the message box has no \"yes\" button"},
      {R"({"answer":1})", "application/json", 400, "\"answer\" must be"},
      {R"({"key":"up"})", "text/plain", 415, "application/json"},
      {R"({"key":"up"})", "application/x-www-form-urlencoded", 415, "application/json"},
  };
  auto client = Client();
  for (const auto& c : cases) {
    const auto response = client.Post("/input", c.body, c.contentType);
    ASSERT_TRUE(response) << c.body;
    EXPECT_EQ(response->status, c.status) << c.body;
    EXPECT_NE(ErrorOf(response->body).find(c.error), std::string::npos) << c.body << " -> " << response->body;
    EXPECT_EQ(response->get_header_value("Content-Type"), "application/json") << c.body;
  }
  EXPECT_TRUE(TakeLog().empty());
}

TEST_F(WebServerTest, RefusesInputTheScreenNoLongerOffers) {
  Change([](FakePhone::Calls& calls) { calls.snapshot = R"({"window":"main","rows":[],"message":null})"; });
  auto client = Client();
  for (const char* body : {R"({"answer":"ok"})", R"({"select":0})", R"({"click":1022})"}) {
    const auto response = client.Post("/input", body, "application/json");
    ASSERT_TRUE(response);
    EXPECT_EQ(response->status, 400) << body;
  }
  EXPECT_TRUE(TakeLog().empty());
}

TEST_F(WebServerTest, SurvivesGarbageAndHugeBodies) {
  auto client = Client();
  // An input body past its limit, and one past the server's.
  const auto large = client.Post("/input", std::string(8192, ' ') + R"({"key":"up"})", "application/json");
  ASSERT_TRUE(large);
  EXPECT_EQ(large->status, 413);
  const auto huge = client.Post("/input", std::string(17u << 20, 'x'), "application/json");
  if (huge) {  // the server may close before reading it all
    EXPECT_EQ(huge->status, 413);
  }

  std::mt19937 random(7);
  for (int i = 0; i < 200; ++i) {
    std::string body(random() % 300, '\0');
    for (char& c : body) c = static_cast<char>(random());
    if (i % 3 == 0 && !body.empty()) body[0] = '{';
    const char* type = i % 2 ? "application/json" : "application/octet-stream";
    const auto input = client.Post("/input", body, type);
    ASSERT_TRUE(input);
    EXPECT_GE(input->status, 400);
    const auto camera = client.Post("/camera?width=4&height=3&format=rgba", body, type);
    ASSERT_TRUE(camera);
    EXPECT_GE(camera->status, 400);
  }
  EXPECT_TRUE(TakeLog().empty());
  const auto after = client.Get("/phone");
  ASSERT_TRUE(after);
  EXPECT_EQ(after->status, 200);
}

// Reads the event stream on a thread of its own until told to stop.
class StreamReader {
 public:
  explicit StreamReader(int port)
      : thread_([this, port] {
          httplib::Client client("127.0.0.1", port);
          client.set_read_timeout(20, 0);
          client.Get("/events", [this](const char* data, size_t length) {
            std::lock_guard lock(mutex_);
            text_.append(data, length);
            changed_.notify_all();
            return !stop_;
          });
          std::lock_guard lock(mutex_);
          ended_ = true;
          changed_.notify_all();
        }) {}
  ~StreamReader() { Close(); }

  // Waits until the stream holds `needle` after what earlier waits consumed.
  bool WaitFor(const std::string& needle, std::chrono::milliseconds timeout = std::chrono::seconds(5)) {
    std::unique_lock lock(mutex_);
    return changed_.wait_for(lock, timeout, [&] {
      const size_t found = text_.find(needle, consumed_);
      if (found == std::string::npos) return false;
      consumed_ = found + needle.size();
      return true;
    });
  }
  bool WaitEnded(std::chrono::milliseconds timeout) {
    std::unique_lock lock(mutex_);
    return changed_.wait_for(lock, timeout, [&] { return ended_; });
  }
  // Stops reading at the next record, as a closed tab does.
  void StopAtNextRecord() {
    std::lock_guard lock(mutex_);
    stop_ = true;
  }
  void Close() {
    StopAtNextRecord();
    if (thread_.joinable()) thread_.join();
  }

 private:
  std::mutex mutex_;
  std::condition_variable changed_;
  std::string text_;
  size_t consumed_ = 0;
  bool stop_ = false;
  bool ended_ = false;
  std::thread thread_;
};

TEST_F(WebServerTest, StreamsSnapshotsFramesAndEventsToEveryPage) {
  StreamReader first(server_->port()), second(server_->port());
  const std::string record = std::string("data: ") + kScreen;
  // Line breaks inside the JSON become continuation lines of the record.
  const std::string firstLine = record.substr(0, record.find('\n'));
  ASSERT_TRUE(first.WaitFor(firstLine));
  ASSERT_TRUE(second.WaitFor(firstLine));

  Change([](FakePhone::Calls& calls) {
    calls.snapshot = R"({"window":"main"})";
    calls.frame.assign(12, 0x102030);
    calls.version = 5;
  });
  for (StreamReader* reader : {&first, &second}) {
    EXPECT_TRUE(reader->WaitFor("data: {\"window\":\"main\"}\n\n"));
    EXPECT_TRUE(reader->WaitFor("data: {\"frame\":5}\n\n"));
  }
  Emit(ui::Event{"sound", {{"file", "decode.wav"}}});
  for (StreamReader* reader : {&first, &second}) {
    EXPECT_TRUE(reader->WaitFor("data: {\"event\":\"sound\",\"file\":\"decode.wav\"}\n\n"));
  }

  // A page that goes away leaves the other one and the phone as they were.
  EXPECT_EQ(server_->streams(), 2);
  first.StopAtNextRecord();
  Change([](FakePhone::Calls& calls) { calls.snapshot = R"({"window":"settings"})"; });
  EXPECT_TRUE(second.WaitFor("data: {\"window\":\"settings\"}\n\n"));
  first.Close();
  // The server finds the closed stream when it next writes to it.
  for (int i = 0; i < 100 && server_->streams() != 1; ++i) {
    Change([i](FakePhone::Calls& calls) { calls.snapshot = "{\"window\":\"main\",\"n\":" + std::to_string(i) + "}"; });
    std::this_thread::sleep_for(std::chrono::milliseconds(20));
  }
  EXPECT_EQ(server_->streams(), 1);

  // Stopping the server ends the open stream promptly.
  const auto before = std::chrono::steady_clock::now();
  server_->Stop();
  EXPECT_TRUE(second.WaitEnded(std::chrono::seconds(5)));
  EXPECT_LT(std::chrono::steady_clock::now() - before, std::chrono::seconds(4));
  std::lock_guard lock(calls_->mutex);
  EXPECT_TRUE(calls_->changeListeners.empty());
  EXPECT_TRUE(calls_->eventListeners.empty());
}

TEST_F(WebServerTest, ServesTheFrameAsPngAndBmp) {
  auto client = Client();
  const auto none = client.Get("/frame.png");
  ASSERT_TRUE(none);
  EXPECT_EQ(none->status, 404);

  const std::vector<uint32_t> pixels{0xFF0000, 0x00FF00, 0x0000FF, 0xFFFFFF, 0x000000, 0x123456,
                                     0x654321, 0x808080, 0x010203, 0xFEFDFC, 0x00FFFF, 0xFF00FF};
  Change([&](FakePhone::Calls& calls) {
    calls.frame = pixels;
    calls.version = 9;
  });
  const auto png = client.Get("/frame.png?v=9");
  ASSERT_TRUE(png);
  ASSERT_EQ(png->status, 200);
  EXPECT_EQ(png->get_header_value("Content-Type"), "image/png");
  EXPECT_EQ(png->get_header_value("X-Frame-Version"), "9");
  png_image image{};
  image.version = PNG_IMAGE_VERSION;
  ASSERT_TRUE(png_image_begin_read_from_memory(&image, png->body.data(), png->body.size()));
  ASSERT_EQ(image.width, 4u);
  ASSERT_EQ(image.height, 3u);
  image.format = PNG_FORMAT_RGB;
  std::vector<uint8_t> rgb(PNG_IMAGE_SIZE(image));
  ASSERT_TRUE(png_image_finish_read(&image, nullptr, rgb.data(), 0, nullptr));
  for (size_t i = 0; i < pixels.size(); ++i) {
    EXPECT_EQ(uint32_t{rgb[3 * i]} << 16 | uint32_t{rgb[3 * i + 1]} << 8 | rgb[3 * i + 2], pixels[i]) << i;
  }

  const auto bmp = client.Get("/frame.bmp");
  ASSERT_TRUE(bmp);
  ASSERT_EQ(bmp->status, 200);
  ASSERT_EQ(bmp->body.size(), 54u + 12 * 4);
  EXPECT_EQ(bmp->body.substr(0, 2), "BM");
  // The second pixel, blue green red: pure green.
  EXPECT_EQ(bmp->body.substr(54 + 4, 4), std::string("\x00\xff\x00\x00", 4));
}

TEST_F(WebServerTest, HandsWebcamPicturesToTheFrameSink) {
  auto client = Client();
  const std::string picture(4 * 3 * 4, '\x7f');
  const auto unwired = client.Post("/camera?width=4&height=3&format=rgba", picture, "application/octet-stream");
  ASSERT_TRUE(unwired);
  EXPECT_EQ(unwired->status, 503);

  std::vector<std::string> received;
  std::mutex mutex;
  server_->SetFrameSink([&](const PostedFrame& frame) {
    std::lock_guard lock(mutex);
    received.push_back(std::to_string(frame.width) + "x" + std::to_string(frame.height) + " " +
                       (frame.format == PostedFormat::kRgba ? "rgba " : "grey ") + std::to_string(frame.bytes.size()));
  });
  const auto rgba = client.Post("/camera?width=4&height=3&format=rgba", picture, "application/octet-stream");
  ASSERT_TRUE(rgba);
  EXPECT_EQ(rgba->status, 200);
  const auto grey = client.Post("/camera?width=6&height=2&format=grey", std::string(12, '\0'),
                                "application/octet-stream");
  ASSERT_TRUE(grey);
  EXPECT_EQ(grey->status, 200);

  const struct {
    const char* query;
    size_t bytes;
    const char* error;
  } refused[] = {
      {"width=4&height=3&format=rgba", 47, "a 4x3 rgba picture is 48 bytes, not 47"},
      {"width=4&height=3&format=rgba", 0, "a 4x3 rgba picture is 48 bytes, not 0"},
      {"width=0&height=3&format=rgba", 0, "width and height must be numbers from 1 to 1920"},
      {"width=4x&height=3&format=rgba", 48, "width and height must be numbers from 1 to 1920"},
      {"width=99999999999&height=3&format=rgba", 48, "width and height"},
      {"height=3&format=rgba", 48, "width and height"},
      {"width=4&height=3&format=yuv", 48, "format must be rgba or grey"},
  };
  for (const auto& c : refused) {
    const auto response =
        client.Post((std::string("/camera?") + c.query).c_str(), std::string(c.bytes, '\0'), "application/octet-stream");
    ASSERT_TRUE(response) << c.query;
    EXPECT_EQ(response->status, 400) << c.query;
    EXPECT_NE(ErrorOf(response->body).find(c.error), std::string::npos) << c.query << " -> " << response->body;
  }
  const auto wrongType = client.Post("/camera?width=4&height=3&format=rgba", picture, "image/png");
  ASSERT_TRUE(wrongType);
  EXPECT_EQ(wrongType->status, 415);

  std::lock_guard lock(mutex);
  EXPECT_EQ(received, (std::vector<std::string>{"4x3 rgba 48", "6x2 grey 12"}));
}

TEST(WebServerPort, AGivenPortInUseIsAClearError) {
  auto calls = std::make_shared<FakePhone::Calls>();
  WebFrontEnd first(std::make_unique<FakePhone>(calls));
  std::string error;
  ASSERT_TRUE(first.Start(0, &error)) << error;
  WebFrontEnd second(std::make_unique<FakePhone>(calls));
  EXPECT_FALSE(second.Start(first.port(), &error));
  EXPECT_EQ(error, "cannot listen on 127.0.0.1:" + std::to_string(first.port()) + " (in use?)");
}

}  // namespace
}  // namespace cordavex::web

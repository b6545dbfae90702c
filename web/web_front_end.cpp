// The only file that includes cpp-httplib: the server, its routes and the
// event streams.
#include "web/web_front_end.h"

#include <httplib.h>

#include <algorithm>
#include <atomic>
#include <cctype>
#include <charconv>
#include <chrono>
#include <condition_variable>
#include <deque>
#include <limits>
#include <mutex>
#include <thread>
#include <vector>

#include "web/frame_image.h"
#include "web/messages.h"
#include "web/page_files.h"

namespace cordavex::web {

namespace {

using Clock = std::chrono::steady_clock;

// Frames are announced at most this often; the page fetches one at a time,
// so a slow page takes fewer.
constexpr auto kFrameInterval = std::chrono::milliseconds(66);
// A comment line this often finds streams whose tab has gone.
constexpr auto kKeepAlive = std::chrono::seconds(10);
constexpr size_t kMaxInputBody = 4096;
constexpr size_t kMaxBody = 16u << 20;  // a 1920 × 1080 RGBA picture with room to spare
constexpr size_t kEventsKept = 256;
// Each stream holds a server thread while open.
constexpr int kMaxStreams = 16;
constexpr size_t kServerThreads = kMaxStreams + 8;
constexpr uint64_t kNoFrame = std::numeric_limits<uint64_t>::max();

std::string_view ContentTypeOf(std::string_view path) {
  const auto ends = [&](std::string_view suffix) {
    return path.size() >= suffix.size() && path.substr(path.size() - suffix.size()) == suffix;
  };
  if (ends(".html")) return "text/html; charset=utf-8";
  if (ends(".css")) return "text/css; charset=utf-8";
  if (ends(".js")) return "text/javascript; charset=utf-8";
  if (ends(".png")) return "image/png";
  if (ends(".svg")) return "image/svg+xml";
  if (ends(".wav")) return "audio/wav";
  return "application/octet-stream";
}

std::string Lower(std::string_view text) {
  std::string lower(text);
  for (char& c : lower) c = static_cast<char>(std::tolower(static_cast<unsigned char>(c)));
  return lower;
}

// "application/json; charset=utf-8" is "application/json".
bool HasContentType(const httplib::Request& request, std::string_view wanted) {
  std::string type = Lower(request.get_header_value("Content-Type"));
  type = type.substr(0, type.find(';'));
  while (!type.empty() && type.back() == ' ') type.pop_back();
  return type == wanted;
}

void Fail(httplib::Response& response, int status, std::string_view message) {
  response.status = status;
  response.set_content(ErrorJson(message), "application/json");
}

bool ParseSide(const std::string& text, int32_t* out) {
  int32_t value = 0;
  const auto [end, error] = std::from_chars(text.data(), text.data() + text.size(), value);
  if (error != std::errc() || end != text.data() + text.size() || value < 1 || value > kMaxPostedSide) return false;
  *out = value;
  return true;
}

// One `data:` record; a line break inside the JSON would end the record early.
void AppendRecord(std::string* out, std::string_view json) {
  out->append("data: ");
  for (const char c : json) {
    if (c == '\n') {
      out->append("\ndata: ");
    } else if (c != '\r') {
      out->push_back(c);
    }
  }
  out->append("\n\n");
}

}  // namespace

struct WebFrontEnd::State {
  explicit State(std::unique_ptr<Phone> p) : phone(std::move(p)) {}

  // Between the phone's listeners and the state they feed.
  struct Gate {
    std::mutex mutex;
    State* state = nullptr;
  };

  std::unique_ptr<Phone> phone;
  httplib::Server server;
  std::thread thread;
  std::atomic<bool> listenEnded{false};
  bool started = false;
  std::atomic<int> port{0};
  int changeListener = -1, eventListener = -1;
  std::shared_ptr<Gate> gate;

  // What the streams wait on: a count of changes, the recent events with
  // their sequence numbers, and the stop.
  mutable std::mutex streamMutex;
  std::condition_variable streamChanged;
  uint64_t changes = 1;
  std::deque<std::pair<uint64_t, std::string>> events;
  uint64_t nextEvent = 1;
  bool stopping = false;
  int streams = 0;

  // The last frame read and its encodings, made when first asked for.
  std::mutex frameMutex;
  std::vector<uint32_t> framePixels;
  uint64_t frameVersion = kNoFrame;
  std::string framePng, frameBmp;

  std::mutex sinkMutex;
  FrameSink sink;

  void OnChange() {
    {
      std::lock_guard lock(streamMutex);
      ++changes;
    }
    streamChanged.notify_all();
  }

  void OnEvent(const ui::Event& event) {
    std::string json = EventJson(event);
    {
      std::lock_guard lock(streamMutex);
      events.emplace_back(nextEvent++, std::move(json));
      while (events.size() > kEventsKept) events.pop_front();
    }
    streamChanged.notify_all();
  }

  // Reads the frame buffer; its version (kNoFrame while there is none).
  uint64_t RefreshFrame() {
    std::vector<uint32_t> pixels;
    const uint64_t version = phone->ReadFrame(&pixels);
    const size_t expected = static_cast<size_t>(phone->screenWidth()) * static_cast<size_t>(phone->screenHeight());
    if (pixels.size() != expected || expected == 0) return kNoFrame;
    std::lock_guard lock(frameMutex);
    if (version != frameVersion) {
      framePixels = std::move(pixels);
      frameVersion = version;
      framePng.clear();
      frameBmp.clear();
    }
    return frameVersion;
  }

  void ServeFrame(httplib::Response& response, bool png) {
    RefreshFrame();
    std::lock_guard lock(frameMutex);
    if (frameVersion == kNoFrame) {
      Fail(response, 404, "the main window has drawn no frame yet");
      return;
    }
    std::string& encoded = png ? framePng : frameBmp;
    if (encoded.empty()) {
      const bool ok = png ? EncodePng(framePixels, phone->screenWidth(), phone->screenHeight(), &encoded)
                          : EncodeBmp(framePixels, phone->screenWidth(), phone->screenHeight(), &encoded);
      if (!ok) {
        Fail(response, 500, "the frame could not be encoded");
        return;
      }
    }
    response.set_header("Cache-Control", "no-store");
    response.set_header("X-Frame-Version", std::to_string(frameVersion));
    response.set_content(encoded, png ? "image/png" : "image/bmp");
  }

  // The host a request names must be this server's: a page from elsewhere
  // that gets a name resolved to 127.0.0.1 must not drive the phone.
  bool OwnHost(const httplib::Request& request) const {
    const std::string host = Lower(request.get_header_value("Host"));
    const std::string suffix = ":" + std::to_string(port.load());
    if (host == "127.0.0.1" + suffix || host == "localhost" + suffix || host == "[::1]" + suffix) {
      const std::string origin = Lower(request.get_header_value("Origin"));
      return origin.empty() || origin == "null" || origin == "http://" + host;
    }
    return false;
  }

  void Route();
  void ServeEvents(httplib::Response& response);
  void TakeInput(const httplib::Request& request, httplib::Response& response);
  void TakeCameraFrame(const httplib::Request& request, httplib::Response& response);
};

void WebFrontEnd::State::Route() {
  server.new_task_queue = [] { return new httplib::ThreadPool(kServerThreads); };
  server.set_payload_max_length(kMaxBody);
  // SO_REUSEADDR alone: httplib's default also sets SO_REUSEPORT, which would
  // let a second program share a port that is in use instead of failing.
  server.set_socket_options([](int socket) {
    int yes = 1;
    ::setsockopt(socket, SOL_SOCKET, SO_REUSEADDR, &yes, sizeof yes);
  });
  // Short keep-alive and read waits: Stop waits for every connection's thread.
  server.set_keep_alive_timeout(1);
  server.set_read_timeout(2, 0);
  server.set_write_timeout(2, 0);

  server.set_pre_routing_handler([this](const httplib::Request& request, httplib::Response& response) {
    if (OwnHost(request)) return httplib::Server::HandlerResponse::Unhandled;
    Fail(response, 403, "this server answers only pages of http://127.0.0.1:" + std::to_string(port.load()) + "/");
    return httplib::Server::HandlerResponse::Handled;
  });
  server.set_error_handler([](const httplib::Request& request, httplib::Response& response) {
    if (!response.body.empty()) return;
    switch (response.status) {
      case 404:
        Fail(response, 404, "no such page: " + request.path);
        break;
      case 413:
        Fail(response, 413, "the body is too large");
        break;
      default:
        Fail(response, response.status, "the request could not be served");
        break;
    }
  });

  for (const PageFile& file : PageFiles()) {
    const std::string path(file.path);
    const std::string_view bytes = file.bytes;
    const auto serve = [bytes, path](const httplib::Request&, httplib::Response& response) {
      response.set_header("Cache-Control", "no-cache");
      response.set_content(bytes.data(), bytes.size(), std::string(ContentTypeOf(path)).c_str());
    };
    server.Get(path, serve);
    if (path == "/index.html") server.Get("/", serve);
  }

  // The page has no icon of its own; a browser asks anyway.
  server.Get("/favicon.ico", [](const httplib::Request&, httplib::Response& response) { response.status = 204; });
  server.Get("/phone", [this](const httplib::Request&, httplib::Response& response) {
    bool camera = false;
    {
      std::lock_guard lock(sinkMutex);
      camera = static_cast<bool>(sink);
    }
    response.set_content("{\"width\":" + std::to_string(phone->screenWidth()) +
                             ",\"height\":" + std::to_string(phone->screenHeight()) +
                             ",\"camera\":" + (camera ? "true" : "false") + "}",
                         "application/json");
  });
  server.Get("/snapshot", [this](const httplib::Request&, httplib::Response& response) {
    response.set_header("Cache-Control", "no-store");
    response.set_content(phone->Snapshot(), "application/json");
  });
  server.Get("/events", [this](const httplib::Request&, httplib::Response& response) { ServeEvents(response); });
  server.Get("/frame.png", [this](const httplib::Request&, httplib::Response& response) {
    ServeFrame(response, true);
  });
  server.Get("/frame.bmp", [this](const httplib::Request&, httplib::Response& response) {
    ServeFrame(response, false);
  });
  server.Post("/input", [this](const httplib::Request& request, httplib::Response& response) {
    TakeInput(request, response);
  });
  server.Post("/camera", [this](const httplib::Request& request, httplib::Response& response) {
    TakeCameraFrame(request, response);
  });
}

void WebFrontEnd::State::TakeInput(const httplib::Request& request, httplib::Response& response) {
  if (!HasContentType(request, "application/json")) {
    Fail(response, 415, "input must be sent as application/json");
    return;
  }
  if (request.body.size() > kMaxInputBody) {
    Fail(response, 413, "an input is at most " + std::to_string(kMaxInputBody) + " bytes");
    return;
  }
  Input input;
  std::string error;
  if (!ParseInput(request.body, phone->Snapshot(), &input, &error)) {
    Fail(response, 400, error);
    return;
  }
  Deliver(input, *phone);
  response.set_content("{\"ok\":true}", "application/json");
}

void WebFrontEnd::State::TakeCameraFrame(const httplib::Request& request, httplib::Response& response) {
  if (!HasContentType(request, "application/octet-stream")) {
    Fail(response, 415, "a camera picture must be sent as application/octet-stream");
    return;
  }
  PostedFrame frame;
  if (!ParseSide(request.get_param_value("width"), &frame.width) ||
      !ParseSide(request.get_param_value("height"), &frame.height)) {
    Fail(response, 400, "width and height must be numbers from 1 to " + std::to_string(kMaxPostedSide));
    return;
  }
  const std::string format = request.get_param_value("format");
  size_t bytesPerPixel = 0;
  if (format == "rgba") {
    frame.format = PostedFormat::kRgba;
    bytesPerPixel = 4;
  } else if (format == "grey") {
    frame.format = PostedFormat::kGrey;
    bytesPerPixel = 1;
  } else {
    Fail(response, 400, "format must be rgba or grey");
    return;
  }
  const size_t expected = static_cast<size_t>(frame.width) * static_cast<size_t>(frame.height) * bytesPerPixel;
  if (request.body.size() != expected) {
    Fail(response, 400, "a " + std::to_string(frame.width) + "x" + std::to_string(frame.height) + " " + format +
                            " picture is " + std::to_string(expected) + " bytes, not " +
                            std::to_string(request.body.size()));
    return;
  }
  frame.bytes = std::span(reinterpret_cast<const uint8_t*>(request.body.data()), request.body.size());
  std::lock_guard lock(sinkMutex);
  if (!sink) {
    Fail(response, 503, "the program takes no pictures from the page: start it with --camera browser");
    return;
  }
  sink(frame);
  response.set_content("{\"ok\":true}", "application/json");
}

void WebFrontEnd::State::ServeEvents(httplib::Response& response) {
  {
    std::lock_guard lock(streamMutex);
    if (streams >= kMaxStreams) {
      Fail(response, 503, "too many pages are open on this phone");
      return;
    }
    ++streams;
  }
  // What one stream has sent; the provider is called again and again on this
  // connection's thread until it ends the stream.
  struct Stream {
    uint64_t changesSeen = 0;
    uint64_t nextEvent = 0;
    std::string snapshot;
    uint64_t frame = kNoFrame;
    bool frameDue = true;
    Clock::time_point frameRead{};
    Clock::time_point written = Clock::now();
  };
  auto stream = std::make_shared<Stream>();
  {
    std::lock_guard lock(streamMutex);
    stream->nextEvent = nextEvent;  // events from now on
  }
  response.set_header("Cache-Control", "no-store");
  response.set_header("X-Accel-Buffering", "no");
  response.set_chunked_content_provider(
      "text/event-stream",
      [this, stream](size_t, httplib::DataSink& out) {
        std::vector<std::string> newEvents;
        bool changed = false;
        {
          std::unique_lock lock(streamMutex);
          const auto somethingNew = [&] {
            return stopping || changes != stream->changesSeen || (!events.empty() && events.back().first >= stream->nextEvent);
          };
          auto deadline = stream->written + kKeepAlive;
          if (stream->frameDue) deadline = std::min(deadline, stream->frameRead + kFrameInterval);
          streamChanged.wait_until(lock, deadline, somethingNew);
          if (stopping) {
            out.done();
            return true;
          }
          changed = changes != stream->changesSeen;
          stream->changesSeen = changes;
          for (const auto& [sequence, json] : events) {
            if (sequence >= stream->nextEvent) newEvents.push_back(json);
          }
          stream->nextEvent = nextEvent;
        }
        std::string records;
        if (changed) {
          std::string snapshot = phone->Snapshot();
          if (snapshot != stream->snapshot) {
            AppendRecord(&records, snapshot);
            stream->snapshot = std::move(snapshot);
          }
          stream->frameDue = true;
        }
        const Clock::time_point now = Clock::now();
        if (stream->frameDue && now - stream->frameRead >= kFrameInterval) {
          stream->frameDue = false;
          stream->frameRead = now;
          const uint64_t version = RefreshFrame();
          if (version != stream->frame && version != kNoFrame) {
            AppendRecord(&records, "{\"frame\":" + std::to_string(version) + "}");
            stream->frame = version;
          }
        }
        for (const std::string& json : newEvents) AppendRecord(&records, json);
        if (records.empty() && now - stream->written >= kKeepAlive) records = ": still here\n\n";
        if (records.empty()) return true;
        stream->written = now;
        return out.write(records.data(), records.size());
      },
      [this](bool) {
        std::lock_guard lock(streamMutex);
        --streams;
      });
}

WebFrontEnd::WebFrontEnd(std::unique_ptr<Phone> phone) : state_(std::make_unique<State>(std::move(phone))) {}

WebFrontEnd::~WebFrontEnd() { Stop(); }

bool WebFrontEnd::Start(int port, std::string* error) {
  State& s = *state_;
  if (s.started) {
    *error = "the web front end runs already";
    return false;
  }
  s.Route();
  // Loopback only: the phone answers no one but this machine.
  const std::string host = "127.0.0.1";
  if (port == 0) {
    const int bound = s.server.bind_to_any_port(host);
    if (bound <= 0) {
      *error = "no free port on " + host;
      return false;
    }
    s.port = bound;
  } else {
    if (!s.server.bind_to_port(host, port)) {
      *error = "cannot listen on " + host + ":" + std::to_string(port) + " (in use?)";
      return false;
    }
    s.port = port;
  }
  // The window model calls a listener on a copy it took under its lock, so a
  // call may still be under way when RemoveListener returns: the listeners
  // reach the state only through the gate, which Stop closes.
  s.gate = std::make_shared<State::Gate>();
  s.gate->state = &s;
  s.changeListener = s.phone->AddChangeListener([gate = s.gate] {
    std::lock_guard lock(gate->mutex);
    if (gate->state != nullptr) gate->state->OnChange();
  });
  s.eventListener = s.phone->AddEventListener([gate = s.gate](const ui::Event& event) {
    std::lock_guard lock(gate->mutex);
    if (gate->state != nullptr) gate->state->OnEvent(event);
  });
  s.started = true;
  s.listenEnded = false;
  s.thread = std::thread([&s] {
    s.server.listen_after_bind();
    s.listenEnded = true;
  });
  // httplib's stop() does nothing to a server whose loop has not begun: wait
  // for the loop, so that a Stop right after Start cannot miss it.
  while (!s.server.is_running() && !s.listenEnded) std::this_thread::sleep_for(std::chrono::milliseconds(1));
  return true;
}

int WebFrontEnd::port() const { return state_->port.load(); }

std::string WebFrontEnd::address() const { return "http://127.0.0.1:" + std::to_string(port()) + "/"; }

void WebFrontEnd::Stop() {
  State& s = *state_;
  if (!s.started) return;
  s.started = false;
  s.phone->RemoveListener(s.changeListener);
  s.phone->RemoveListener(s.eventListener);
  {
    std::lock_guard lock(s.gate->mutex);
    s.gate->state = nullptr;
  }
  {
    std::lock_guard lock(s.streamMutex);
    s.stopping = true;
  }
  s.streamChanged.notify_all();
  s.server.stop();
  if (s.thread.joinable()) s.thread.join();
}

void WebFrontEnd::SetFrameSink(FrameSink sink) {
  std::lock_guard lock(state_->sinkMutex);
  state_->sink = std::move(sink);
}

int WebFrontEnd::streams() const {
  std::lock_guard lock(state_->streamMutex);
  return state_->streams;
}

}  // namespace cordavex::web

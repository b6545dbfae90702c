// The phone in a browser page: an HTTP server on 127.0.0.1 that serves the
// page, streams the screen to it and takes its input.
//
//   GET  /               the page (index.html, phone.css, phone.js, compiled in)
//   GET  /phone          {"width": W, "height": H, "camera": B}: the screen's
//                        size, and whether the page is to post webcam pictures
//   GET  /snapshot       the screen snapshot
//   GET  /events         server-sent events, each `data:` one JSON object: a
//                        snapshot whenever the screen changes, {"frame": N}
//                        when frame N of the main window is there to fetch (at
//                        most about fifteen a second), and the program's events
//                        ({"event": "sound", ...})
//   GET  /frame.png      the main window's frame buffer (/frame.bmp: as BMP);
//                        X-Frame-Version names the frame; ?v=N only defeats
//                        caches
//   POST /input          one input as JSON (see web/messages.h)
//   POST /camera?width=W&height=H&format=rgba|grey
//                        one webcam picture, rows top-down without padding,
//                        handed to the frame sink
//
// Errors are JSON, {"error": "..."}: 400 for a body that is not what the
// route takes, 413 for one too large, 415 for the wrong content type, 403 for
// a request naming another host (a page elsewhere reaching the loopback
// server), 404 for anything else.
//
// Threads: the server runs threads of its own, which call only the phone's
// thread-safe calls and the frame sink. Start, Stop and the destructor are
// called from one thread; SetFrameSink from any.
#pragma once

#include <cstdint>
#include <functional>
#include <memory>
#include <span>
#include <string>

#include "web/phone.h"

namespace cordavex::web {

enum class PostedFormat {
  kRgba,  // four bytes a pixel: red, green, blue, alpha (a canvas's ImageData)
  kGrey,  // one byte a pixel
};

// One picture the page posted; the bytes live only for the call.
struct PostedFrame {
  int32_t width = 0;
  int32_t height = 0;
  PostedFormat format = PostedFormat::kRgba;
  std::span<const uint8_t> bytes;  // width × height × bytes a pixel
};

// Called on a server thread for every posted picture; it must copy what it keeps.
using FrameSink = std::function<void(const PostedFrame&)>;

// The largest picture side /camera takes.
inline constexpr int32_t kMaxPostedSide = 1920;

class WebFrontEnd {
 public:
  explicit WebFrontEnd(std::unique_ptr<Phone> phone);
  ~WebFrontEnd();  // stops
  WebFrontEnd(const WebFrontEnd&) = delete;
  WebFrontEnd& operator=(const WebFrontEnd&) = delete;

  // Listens on 127.0.0.1:port (0: a free port) and serves on its own threads.
  // False with a message in *error when the port cannot be had.
  bool Start(int port, std::string* error);
  int port() const;
  // "http://127.0.0.1:PORT/"
  std::string address() const;
  // Ends every stream and request and the server's threads; the phone is not
  // called after it returns. Idempotent.
  void Stop();

  // Where posted webcam pictures go; a null sink answers them with 503.
  void SetFrameSink(FrameSink sink);

  // Open event streams (for tests).
  int streams() const;

 private:
  struct State;
  std::unique_ptr<State> state_;
};

}  // namespace cordavex::web

// What live scanning costs: the program's own path — the bundled clip through
// the camera graph into the loaded filter library, and the capture loop's
// preview and decode threads reading it — run for a few seconds. Prints the
// preview passes per second the loop sustains (each copies, turns and keeps
// the newest frame), the engine calls per second,
// the symbols read, and the process CPU time per second of preview.
//
//   cordavex_bench_capture [SECONDS]      (default 5; run from the build folder)
#include <sys/resource.h>

#include <atomic>
#include <chrono>
#include <cstdio>
#include <cstdlib>
#include <memory>
#include <thread>

#include "app/capture_loop.h"
#include "app/graph_camera.h"
#include "app/libraries.h"
#include "camera/frame_source.h"
#include "ui/clock.h"
#include "ui/window_system.h"

namespace {

double CpuSeconds() {
  rusage usage{};
  getrusage(RUSAGE_SELF, &usage);
  return static_cast<double>(usage.ru_utime.tv_sec + usage.ru_stime.tv_sec) +
         static_cast<double>(usage.ru_utime.tv_usec + usage.ru_stime.tv_usec) / 1e6;
}

}  // namespace

int main(int argc, char** argv) {
  using namespace cordavex;
  const double seconds = argc > 1 ? std::atof(argv[1]) : 5.0;
  platform::SetLibraryFolder(CORDAVEX_BENCH_LIBRARY_DIR);
  if (std::getenv("CORDAVEX_CLIP") == nullptr) ::setenv("CORDAVEX_CLIP", CORDAVEX_BENCH_CLIP, 1);
  app::FilterLibrary filter;
  if (!app::LoadFilterLibrary(240, 320, &filter) || filter.getVideoBuffer == nullptr) {
    std::fprintf(stderr, "cannot load the filter library from %s\n", CORDAVEX_BENCH_LIBRARY_DIR);
    return 2;
  }
  ui::WindowSystem windows(240, 320, ui::SteadyClock());
  const ui::Window window = windows.CreateWindow(
      {"main", u"bench", u"bench", true},
      [&windows](ui::Window w, uint32_t message, uintptr_t wParam, intptr_t lParam) {
        return windows.DefWindowProc(w, message, wParam, lParam);
      });
  app::DeviceIdentity device;
  app::Settings settings;
  std::atomic<bool> uiBusy{false};
  std::atomic<int> decoded{0};

  camera::SourceChoice choice;  // the bundled clip
  app::CaptureLoop::Parts parts;
  parts.windows = &windows;
  parts.device = &device;
  parts.settings = &settings;
  parts.uiBusy = &uiBusy;
  parts.frames = {filter.getVideoFormat, filter.getVideoBuffer};
  parts.makeCamera = [choice]() -> std::unique_ptr<app::CaptureCamera> {
    camera::GraphParts graph;
    graph.makeSource = [choice] { return camera::MakeFrameSource(choice); };
    graph.makeFilter = camera::LibraryFilterFactory();
    return std::make_unique<app::GraphCamera>(std::move(graph), camera::GraphHost{}, camera::DeviceTraits{},
                                              nullptr);
  };
  parts.sink = [&decoded](const ScanResult&) { ++decoded; };
  app::CaptureLoop loop(parts);

  const double cpuBefore = CpuSeconds();
  const auto start = std::chrono::steady_clock::now();
  if (loop.StartCapture(window) != 1) {
    std::fprintf(stderr, "the capture did not start\n");
    return 1;
  }
  std::this_thread::sleep_for(std::chrono::duration<double>(seconds));
  loop.StopCapture();
  const double wall = std::chrono::duration<double>(std::chrono::steady_clock::now() - start).count();
  const double cpu = CpuSeconds() - cpuBefore;
  std::printf("capture loop over the clip for %.1f s\n", wall);
  std::printf("  preview passes   %6.1f per second (%llu; the camera gives 15 frames a second)\n", static_cast<double>(loop.previewFrames()) / wall,
              static_cast<unsigned long long>(loop.previewFrames()));
  std::printf("  engine calls     %6.1f per second (%llu)\n", static_cast<double>(loop.engineCalls()) / wall,
              static_cast<unsigned long long>(loop.engineCalls()));
  std::printf("  symbols read     %d (each pauses the loop 100 ms)\n", decoded.load());
  std::printf("  process CPU      %6.3f s per second of preview\n", cpu / wall);
  app::FreeFilterLibrary(&filter);
  return 0;
}

// One program per device root: the lock, the hand-over of command lines to the
// first program, and leftovers of a program that died.
#include <gtest/gtest.h>

#include <signal.h>
#include <sys/wait.h>
#include <unistd.h>

#include <chrono>
#include <filesystem>
#include <fstream>
#include <mutex>
#include <string>
#include <thread>
#include <vector>

#include "platform/device_fixture.h"
#include "platform/single_instance.h"

namespace cordavex::platform {
namespace {

// Collects what the listener receives.
struct Received {
  std::mutex mutex;
  std::vector<std::string> lines;

  SingleInstance::HandOverHandler Handler() {
    return [this](std::string line) {
      std::lock_guard lock(mutex);
      lines.push_back(std::move(line));
    };
  }
  std::vector<std::string> Lines() {
    std::lock_guard lock(mutex);
    return lines;
  }
};

TEST(SingleInstance, SecondAcquireFindsTheFirst) {
  test::TemporaryFolder folder;
  std::unique_ptr<SingleInstance> first;
  ASSERT_TRUE(SingleInstance::Acquire(folder.path(), &first).ok());
  ASSERT_NE(first, nullptr);
  std::unique_ptr<SingleInstance> second;
  ASSERT_TRUE(SingleInstance::Acquire(folder.path() + "/.", &second).ok());  // same root, spelt otherwise
  EXPECT_EQ(second, nullptr);
  first.reset();  // the first ends: the next start is first again
  ASSERT_TRUE(SingleInstance::Acquire(folder.path(), &second).ok());
  EXPECT_NE(second, nullptr);
}

TEST(SingleInstance, HandsOverCommandLinesWholeAndInOrder) {
  test::TemporaryFolder folder;
  std::unique_ptr<SingleInstance> first;
  ASSERT_TRUE(SingleInstance::Acquire(folder.path(), &first).ok());
  Received received;
  ASSERT_TRUE(first->Listen(received.Handler()).ok());

  std::string large;
  for (int i = 0; large.size() < 200000; ++i) large += "part " + std::to_string(i) + " 中文\n";
  const std::vector<std::string> lines = {
      "",
      "cordavex:payload with spaces",
      std::string("nul\0inside\nand a line break", 28),
      large,
  };
  for (const std::string& line : lines) {
    const Status s = SingleInstance::HandOver(folder.path(), line);
    ASSERT_TRUE(s.ok()) << s.ToString();
  }
  // HandOver returns once the handler has run: everything is there already.
  EXPECT_EQ(received.Lines(), lines);
}

TEST(SingleInstance, HandOverWithoutAnyProgramFails) {
  test::TemporaryFolder folder;
  const Status s = SingleInstance::HandOver(folder.path(), "x");
  EXPECT_FALSE(s.ok());
  EXPECT_NE(s.message().find("does not answer"), std::string::npos) << s.message();
  EXPECT_FALSE(SingleInstance::HandOver(folder.path() + "/missing", "x").ok());
  std::unique_ptr<SingleInstance> none;
  EXPECT_FALSE(SingleInstance::Acquire(folder.path() + "/missing", &none).ok());
}

// A first program still starting holds the lock before it listens: a second
// start waits for it rather than giving up.
TEST(SingleInstance, HandOverWaitsForAProgramStillStarting) {
  test::TemporaryFolder folder;
  std::unique_ptr<SingleInstance> first;
  ASSERT_TRUE(SingleInstance::Acquire(folder.path(), &first).ok());
  Received received;
  std::thread starting([&] {
    std::this_thread::sleep_for(std::chrono::milliseconds(300));
    first->Listen(received.Handler()).ok();
  });
  const Status s = SingleInstance::HandOver(folder.path(), "early");
  starting.join();
  EXPECT_TRUE(s.ok()) << s.ToString();
  EXPECT_EQ(received.Lines(), std::vector<std::string>{"early"});
}

// Two roots, two programs: neither hears the other's hand-overs, however long
// the roots' paths are.
TEST(SingleInstance, EachRootHasItsOwnProgram) {
  test::TemporaryFolder folder;
  const std::string deep = folder.path() + "/" + std::string(120, 'd') + "/" + std::string(120, 'e');
  const std::string other = folder.path() + "/other";
  std::filesystem::create_directories(deep);
  std::filesystem::create_directories(other);
  std::unique_ptr<SingleInstance> a, b;
  ASSERT_TRUE(SingleInstance::Acquire(deep, &a).ok());
  ASSERT_TRUE(SingleInstance::Acquire(other, &b).ok());
  ASSERT_NE(a, nullptr);
  ASSERT_NE(b, nullptr);
  Received toA, toB;
  ASSERT_TRUE(a->Listen(toA.Handler()).ok());
  ASSERT_TRUE(b->Listen(toB.Handler()).ok());
  ASSERT_TRUE(SingleInstance::HandOver(deep, "for a").ok());
  ASSERT_TRUE(SingleInstance::HandOver(other, "for b").ok());
  EXPECT_EQ(toA.Lines(), std::vector<std::string>{"for a"});
  EXPECT_EQ(toB.Lines(), std::vector<std::string>{"for b"});
}

// A program killed while running leaves its lock file behind; the next start
// is the first all the same, and takes hand-overs.
TEST(SingleInstance, LeftoversOfADeadProgramDoNotBlock) {
  test::TemporaryFolder folder;
  std::ofstream(folder.path() + "/Cordavex.lock") << "left by an older program";
  int ready[2];
  ASSERT_EQ(::pipe(ready), 0);
  const pid_t child = ::fork();
  ASSERT_GE(child, 0);
  if (child == 0) {
    std::unique_ptr<SingleInstance> instance;
    const bool ok = SingleInstance::Acquire(folder.path(), &instance).ok() && instance &&
                    instance->Listen([](std::string) {}).ok();
    const char answer = ok ? 'y' : 'n';
    (void)!::write(ready[1], &answer, 1);
    for (;;) ::pause();  // until killed
  }
  ::close(ready[1]);
  char answer = 0;
  ASSERT_EQ(::read(ready[0], &answer, 1), 1);
  ::close(ready[0]);
  EXPECT_EQ(answer, 'y');
  std::unique_ptr<SingleInstance> blocked;
  ASSERT_TRUE(SingleInstance::Acquire(folder.path(), &blocked).ok());
  EXPECT_EQ(blocked, nullptr);  // the child holds the root

  ::kill(child, SIGKILL);
  int status = 0;
  ::waitpid(child, &status, 0);

  std::unique_ptr<SingleInstance> next;
  ASSERT_TRUE(SingleInstance::Acquire(folder.path(), &next).ok());
  ASSERT_NE(next, nullptr);
  Received received;
  ASSERT_TRUE(next->Listen(received.Handler()).ok());
  ASSERT_TRUE(SingleInstance::HandOver(folder.path(), "after the crash").ok());
  EXPECT_EQ(received.Lines(), std::vector<std::string>{"after the crash"});
}

// A program ending while a long command line is on its way neither hangs nor
// leaves the sender waiting for ever.
TEST(SingleInstance, DestructorEndsWhileAHandOverIsUnderway) {
  test::TemporaryFolder folder;
  std::unique_ptr<SingleInstance> first;
  ASSERT_TRUE(SingleInstance::Acquire(folder.path(), &first).ok());
  ASSERT_TRUE(first->Listen([](std::string) {}).ok());
  std::thread silent([&] {
    SingleInstance::HandOver(folder.path(), std::string(1 << 20, 'x')).ok();
  });
  first.reset();
  silent.join();
}

}  // namespace
}  // namespace cordavex::platform

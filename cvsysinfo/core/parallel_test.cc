#include <gtest/gtest.h>
#include <stdio.h>
#include <unistd.h>

#include <atomic>
#include <chrono>
#include <mutex>
#include <string>
#include <thread>
#include <vector>

#include "core/capture.h"
#include "core/command.h"
#include "core/diagnostics.h"
#include "core/ordered_pool.h"
#include "core/owners.h"
#include "core/section_buffer.h"
#include "core/xml_writer.h"

namespace cvsysinfo {
namespace {

TEST(OrderedPool, TakesInOrderWithABoundedNumberInFlight) {
  for (int width : {1, 2, 4, 16}) {
    std::vector<int> taken;
    std::atomic<int> running{0};
    std::atomic<int> most_running{0};
    int in_flight = 0;
    int most_in_flight = 0;
    {
      OrderedPool pool(width);
      for (int i = 0; i < 40; ++i) {
        ++in_flight;
        most_in_flight = std::max(most_in_flight, in_flight);
        pool.submit(
            [&running, &most_running, i] {
              int now = ++running;
              int seen = most_running.load();
              while (now > seen && !most_running.compare_exchange_weak(seen, now)) {
              }
              // The early pieces are the slow ones, so later ones finish first.
              std::this_thread::sleep_for(std::chrono::milliseconds(i % 5 == 0 ? 20 : 1));
              --running;
            },
            [&taken, &in_flight, i] {
              taken.push_back(i);
              --in_flight;
            });
        ASSERT_LE(in_flight, width) << "width " << width;
      }
      pool.drain();
      EXPECT_EQ(in_flight, 0);
    }
    std::vector<int> expected;
    for (int i = 0; i < 40; ++i) expected.push_back(i);
    EXPECT_EQ(taken, expected) << "width " << width;
    EXPECT_LE(most_running.load(), width);
    if (width > 1) {
      EXPECT_GT(most_running.load(), 1) << "width " << width << " never ran two at once";
    }
  }
}

TEST(OrderedPool, TicksWhileWaitingAndTakesTheRestWhenDestroyed) {
  std::vector<int> taken;
  int ticks = 0;
  {
    OrderedPool pool(2);
    pool.while_waiting([&ticks] { ++ticks; }, 10);
    pool.submit([] { std::this_thread::sleep_for(std::chrono::milliseconds(150)); }, [&taken] { taken.push_back(0); });
    pool.submit([] {}, [&taken] { taken.push_back(1); });
    pool.submit([] {}, [&taken] { taken.push_back(2); });
    EXPECT_GE(ticks, 3);
  }
  EXPECT_EQ(taken, (std::vector<int>{0, 1, 2}));
}

// What the document's writer makes of a section, written straight in or
// through a buffer.
std::string document(bool buffered) {
  XmlBufferOwner buffer(xmlBufferCreate());
  XmlWriterOwner writer(xmlNewTextWriterMemory(buffer.get(), 0));
  xmlTextWriterStartDocument(writer.get(), nullptr, "UTF-8", nullptr);
  SectionWriter out(writer.get(), "test");
  out.start("CONTAINERS");
  auto section = [](xmlTextWriterPtr w) {
    SectionWriter s(w, "test");
    s.start("CT");
    s.attribute("name", "caf\xc3\xa9 <&> \"q\"\n\t");
    s.element("Empty", nullptr);
    s.element("Text", std::string("\xe2\x82\xac & <x> ]]> \r\n", 16));
    s.text("\xc3\xa9");
    s.end();
  };
  for (int i = 0; i < 2; ++i) {
    if (!buffered) {
      section(writer.get());
      continue;
    }
    SectionBuffer piece;
    section(piece.writer());
    write_section(writer.get(), piece.finish());
  }
  out.end();
  xmlTextWriterEndDocument(writer.get());
  writer.reset();
  return std::string(reinterpret_cast<const char*>(xmlBufferContent(buffer.get())),
                     static_cast<size_t>(xmlBufferLength(buffer.get())));
}

TEST(SectionBuffer, CopiesAreTheBytesOfTheDirectWriter) {
  std::string direct = document(false);
  // Characters beyond ASCII stay characters, as in the document.
  EXPECT_NE(direct.find("caf\xc3\xa9"), std::string::npos);
  EXPECT_EQ(document(true), direct);
}

TEST(Diagnostics, KeptPerThreadInOrder) {
  std::string first, second;
  testing::internal::CaptureStderr();
  {
    DiagnosticsCapture keep(&first);
    diagnostic("one %d\n", 1);
    std::thread other([&second] {
      DiagnosticsCapture keep_other(&second);
      diagnostic("other\n");
      // Longer than the message's first buffer.
      diagnostic("%s\n", std::string(2000, 'x').c_str());
    });
    other.join();
    {
      DiagnosticsCapture inner(nullptr);
      diagnostic("straight\n");
    }
    // The command builder reports through the same path.
    std::string command;
    EXPECT_FALSE(format_command(command, "%s", std::string(300, 'y').c_str()));
    diagnostic("two\n");
  }
  diagnostic("after\n");
  std::string printed = testing::internal::GetCapturedStderr();
  EXPECT_EQ(first.rfind("one 1\n", 0), 0u);
  EXPECT_NE(first.find("Command is longer than 255 bytes, not run: yyy"), std::string::npos);
  EXPECT_EQ(first.substr(first.size() - 4), "two\n");
  EXPECT_EQ(second, "other\n" + std::string(2000, 'x') + "\n");
  EXPECT_NE(printed.find("straight\n"), std::string::npos);
  EXPECT_NE(printed.find("after\n"), std::string::npos);
  EXPECT_EQ(printed.find("one 1"), std::string::npos);
  EXPECT_EQ(printed.find("other"), std::string::npos);
}

}  // namespace
}  // namespace cvsysinfo

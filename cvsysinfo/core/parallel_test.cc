#include <gtest/gtest.h>
#include <libxml/parser.h>
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
#include "core/test_writer.h"
#include "core/xml_safe.h"
#include "core/xml_writer.h"

namespace cvsysinfo {
namespace {

// As in cvsysinfo's main: the parser's globals are set up before the
// pool's threads can reach them, or two threads each make the table of
// encodings and one is lost.
[[maybe_unused]] const bool parser_ready = (xmlInitParser(), true);

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
    SectionBuffer piece(SIZE_MAX, nullptr);
    piece.start();
    section(piece.writer());
    piece.finish();
    piece.write_to(writer.get());
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
  // A long text is escaped a piece at a time, as the whole would be: bytes
  // of every kind, sequences cut at every piece's end.
  const std::string kinds("\xe2\x82\xac&\r\x80\xff<\0", 9);
  // The first piece ends inside a euro sign.
  std::string binary(6, 'a');
  while (binary.size() < (300u << 10)) binary += kinds;
  std::string mended;
  mend_xml_text(binary.data(), binary.size(), mended);
  TestWriter pieces, whole;
  SectionWriter(pieces.get(), "test").element("Long", binary);
  xmlTextWriterWriteElement(whole.get(), reinterpret_cast<const xmlChar*>("Long"),
                            reinterpret_cast<const xmlChar*>(mended.c_str()));
  EXPECT_EQ(pieces.text(), whole.text());
}

// Sections far over their limit, four at once: each waits for its turn,
// both to gather a tool's output and to write, and the document is the one
// written straight. Piece i sees i pieces taken before it reads and after
// it writes (the first is the slow one, so the others would run ahead).
TEST(SectionBuffer, HoldsItsLimitUntilItsTurn) {
  const std::string flood(1 << 20, '&');
  std::vector<int> seen(4, -1);
  auto document_of = [&](int width) {
    TestWriter doc;
    std::atomic<int> taken{0}, started{0};
    OrderedPool pool(width);
    for (int i = 0; i < 4; ++i) {
      auto write = [&flood, i](xmlTextWriterPtr w) { SectionWriter(w, "test").element("Ports", flood.substr(i)); };
      if (width == 1) {
        pool.submit([&doc, write] { write(doc.get()); }, [] {});
        continue;
      }
      auto section = std::make_shared<SectionBuffer>(64u << 10, [&pool] { pool.wake(); });
      pool.submit(
          [&, section, write, i] {
            section->start();
            for (int spin = ++started; i == 0 && started < 4 && spin < 5000; ++spin) {
              std::this_thread::sleep_for(std::chrono::milliseconds(1));
            }
            wait_to_hold(flood.size());
            seen[i] = taken;
            write(section->writer());
            seen[i] += 10 * taken;
            section->finish();
          },
          [&, section] { section->write_to(doc.get()), ++taken; }, [&, section] { section->write_to(doc.get()); });
    }
    pool.drain();
    return doc.text();
  };
  EXPECT_EQ(document_of(4), document_of(1));
  EXPECT_EQ(seen, (std::vector<int>{0, 11, 22, 33}));
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

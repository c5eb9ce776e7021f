#include <gtest/gtest.h>

#include <deque>

#include "lines/Output.h"
#include "platform/Platform.h"
#include "text/Failure.h"

namespace tvx::test {
namespace {

// A sink that, like a background writer, keeps passed buffers and writes
// them only when drained, and can be told to fail from some call on.
class DeferringSink : public OutputSink {
 public:
  bool IsInteractive() const override { return interactive; }
  // Does not drain first: the writer must drain before its final write.
  void Write(const char* data, std::size_t size) override {
    if (failWrites) throw IoFailure(112);
    written.append(data, size);
  }
  void Pass(std::string& bytes) override {
    ++passes;
    if (failPasses) throw IoFailure(232);
    queued.emplace_back();
    queued.back().swap(bytes);  // hands back an empty buffer with no capacity
  }
  void Drain() override {
    while (!queued.empty()) {
      written += queued.front();
      queued.pop_front();
    }
    if (failPasses) throw IoFailure(232);
  }

  std::deque<std::string> queued;
  std::string written;
  bool interactive = false;
  bool failPasses = false;
  bool failWrites = false;
  int passes = 0;
};

std::string Line(int i) {
  return "line " + std::to_string(i) + std::string(100, 'x');
}

TEST(LineWriterTest, PassedBuffersArriveWholeAndInOrder) {
  DeferringSink sink;
  std::string expected;
  {
    LineWriter out(sink, "\r\n");
    for (int i = 0; i < 40000; ++i) {  // about 4 MB: several full buffers
      out.Append(Line(i));
      out.EndLine();
      expected += Line(i) + "\r\n";
    }
    out.WriteText("a\r\nb");
    expected += "a\r\nb\r\n";
    EXPECT_GE(sink.passes, 3);
    EXPECT_LT(sink.written.size(), expected.size());  // still queued, not lost
    out.Flush();
  }
  EXPECT_TRUE(sink.queued.empty());
  EXPECT_EQ(sink.written, expected);
}

TEST(LineWriterTest, AFailedPassDropsTheBufferAndFlushFailsToo) {
  DeferringSink sink;
  LineWriter out(sink, "\n");
  sink.failPasses = true;
  EXPECT_THROW(
      {
        for (int i = 0; i < 40000; ++i) out.WriteLine(Line(i));
      },
      IoFailure);
  EXPECT_EQ(sink.passes, 1);
  out.WriteLine("the message");
  EXPECT_THROW(out.Flush(), IoFailure);
  EXPECT_EQ(sink.written, "");
}

TEST(LineWriterTest, AFailedFinalWriteIsRaisedOnceAndTheBytesAreGone) {
  DeferringSink sink;
  LineWriter out(sink, "\n");
  out.WriteLine("short");
  sink.failWrites = true;
  EXPECT_THROW(out.Flush(), IoFailure);
  sink.failWrites = false;
  out.Flush();  // nothing left over from the failed write
  EXPECT_EQ(sink.written, "");
}

TEST(LineWriterTest, AnInteractiveSinkGetsEachLineAtOnce) {
  DeferringSink sink;
  sink.interactive = true;
  LineWriter out(sink, "\n");
  out.WriteLine("one");
  EXPECT_EQ(sink.written, "one\n");
  out.Append("t");
  out.Append("wo");
  out.EndLine();
  EXPECT_EQ(sink.written, "one\ntwo\n");
  EXPECT_EQ(sink.passes, 0);
}

}  // namespace
}  // namespace tvx::test

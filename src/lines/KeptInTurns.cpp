// Writing a kept list in turns.
//
// Who does what
// -------------
// The list is cut into runs of kRun entries. The caller's thread writes the
// even runs itself, straight into out; a helper thread writes the odd runs,
// in order, each through a fork of the writer into a line writer of its
// own, whose bytes end in a block (a string). Two blocks circulate: the
// helper fills a free one, marks it ready and goes on with its next run in
// the other; the caller, at an odd run, waits until that run's block is
// ready, hands its bytes to out (the sink takes the string and gives back a
// spare one) and frees the block.
//
// Ownership of a block, by its state (state, run, failure and quit under
// mutex):
//
//   kFree  --helper claims-->  helper's (no lock)  --helper marks-->  kReady
//   kReady --caller takes-->   caller's (no lock)  --caller frees-->  kFree
//
// run: the run a ready block holds. failure: what the helper's writing
// raised, kept with a ready block; the caller raises it at that run, so a
// failure comes where the plain loop would have met it. quit: set by the
// caller when it stops early (its own failure); the helper returns at its
// next look, and the caller joins it before anything it reads goes away.
//
// Both threads only read the list, which does not change once kept; each
// has its own writer, so no writer state is shared.
#include "KeptInTurns.h"

#include <algorithm>
#include <exception>
#include <string>

#include "Output.h"
#include "platform/DirSource.h"
#include "platform/Streams.h"

namespace tvx {

namespace {

// Entries a run: a block of some hundreds of kilobytes, so that hand-offs
// are few and the blocks held stay small.
constexpr std::size_t kRun = 4096;

// Run run of the list, through writer.
void WriteRun(const EntryList& list, std::size_t run, CommandWriter& writer) {
  const std::size_t end = std::min(list.Count(), (run + 1) * kRun);
  for (std::size_t i = run * kRun; i < end; ++i) writer.Take(list, list[i]);
}

// Where the helper's line writer puts its bytes: the block being filled.
class BlockSink final : public OutputSink {
 public:
  void Fill(std::string& block) { block_ = &block; }
  bool IsInteractive() const override { return false; }
  void Write(const char* data, std::size_t size) override { block_->append(data, size); }
  // Taken whole where the block is still empty: a swap, not a copy.
  void Pass(std::string& bytes) override {
    if (block_->empty()) {
      block_->swap(bytes);
    } else {
      block_->append(bytes);
    }
    bytes.clear();
  }

 private:
  std::string* block_ = nullptr;
};

class Helper {
 public:
  Helper(const EntryList& list, ThreadKit& threads, std::string_view lineBreak)
      : list_(list),
        runs_((list.Count() + kRun - 1) / kRun),
        mutex_(threads.NewMutex()),
        ready_(threads.NewCondition()),
        freed_(threads.NewCondition()),
        out_(sink_, lineBreak) {}
  ~Helper() { Stop(); }

  LineWriter& Out() { return out_; }
  void Start(ThreadKit& threads, std::unique_ptr<CommandWriter> fork) {
    fork_ = std::move(fork);
    thread_ = threads.Start([this] { Body(); });
  }
  bool Running() const { return thread_ != nullptr; }

  // The block of odd run, once the helper has written it.
  std::string& Await(std::size_t run) {
    Block& block = BlockOf(run);
    mutex_->Lock();
    while (block.state != State::kReady) ready_->Wait(*mutex_);
    const std::exception_ptr failure = block.failure;
    mutex_->Unlock();
    if (failure) std::rethrow_exception(failure);
    return block.bytes;
  }
  void Free(std::size_t run) {
    mutex_->Lock();
    BlockOf(run).state = State::kFree;
    freed_->WakeAll();
    mutex_->Unlock();
  }

 private:
  enum class State { kFree, kReady };
  struct Block {
    std::string bytes;
    State state = State::kFree;
    std::exception_ptr failure;
  };
  Block& BlockOf(std::size_t run) { return blocks_[(run / 2) % 2]; }

  void Body() {
    for (std::size_t run = 1; run < runs_; run += 2) {
      Block& block = BlockOf(run);
      mutex_->Lock();
      while (block.state != State::kFree && !quit_) freed_->Wait(*mutex_);
      const bool quit = quit_;
      mutex_->Unlock();
      if (quit) return;
      std::exception_ptr failure;
      try {
        Write(run, block.bytes);
      } catch (...) {
        failure = std::current_exception();
        out_.Discard();  // nothing of a failed run goes anywhere
      }
      mutex_->Lock();
      block.failure = failure;
      block.state = State::kReady;
      ready_->WakeAll();
      mutex_->Unlock();
      if (failure) return;
    }
  }
  void Write(std::size_t run, std::string& bytes) {
    bytes.clear();
    sink_.Fill(bytes);
    WriteRun(list_, run, *fork_);
    out_.PassAll();
  }
  void Stop() {
    if (!thread_) return;
    mutex_->Lock();
    quit_ = true;
    freed_->WakeAll();
    mutex_->Unlock();
    thread_.reset();  // waits for the body to return
  }

  const EntryList& list_;
  const std::size_t runs_;
  std::unique_ptr<ThreadKit::Mutex> mutex_;
  std::unique_ptr<ThreadKit::Condition> ready_, freed_;
  BlockSink sink_;
  LineWriter out_;
  std::unique_ptr<CommandWriter> fork_;
  Block blocks_[2];
  bool quit_ = false;
  std::unique_ptr<ThreadKit::Thread> thread_;  // last: joined before the rest goes
};

}  // namespace

void WriteKeptInTurns(const EntryList& list, CommandWriter& writer, LineWriter& out,
                      ThreadKit* threads) {
  const std::size_t runs = (list.Count() + kRun - 1) / kRun;
  std::unique_ptr<Helper> helper;
  if (threads && runs >= 2 && !out.Interactive()) {
    helper = std::make_unique<Helper>(list, *threads, out.LineBreak());
    std::unique_ptr<CommandWriter> fork = writer.Fork(helper->Out());
    if (fork) helper->Start(*threads, std::move(fork));
  }
  const bool inTurns = helper && helper->Running();
  for (std::size_t run = 0; run < runs; ++run) {
    if (!inTurns || run % 2 == 0) {
      WriteRun(list, run, writer);
      continue;
    }
    out.PassBlock(helper->Await(run));
    helper->Free(run);
  }
}

}  // namespace tvx

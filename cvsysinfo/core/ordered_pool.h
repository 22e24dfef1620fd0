// Work that may run on several threads whose results must be taken in the
// order it was handed in: the containers of the inventory, captured at once
// and written one after another.
#pragma once

#include <condition_variable>
#include <deque>
#include <functional>
#include <memory>
#include <mutex>
#include <thread>
#include <vector>

namespace cvsysinfo {

class OrderedPool {
 public:
  // `width` pieces of work at most are in flight, run or waiting to be
  // taken; with a width of 1 there is no thread and each piece is run and
  // taken before submit returns.
  explicit OrderedPool(int width);
  // Takes what is still in flight, then ends the threads.
  ~OrderedPool();
  OrderedPool(const OrderedPool&) = delete;
  OrderedPool& operator=(const OrderedPool&) = delete;

  // `work` runs on a pool thread; `take` runs on the caller's thread once
  // `work` and all pieces submitted before it are done and taken. When the
  // pool is full, the oldest piece is waited for and taken first, so a
  // slow piece holds back the taking, never the memory. `stream`, when
  // given, runs on the caller's thread while it waits for this piece (every
  // piece before it taken): once when that wait begins, and again after
  // each wake(), so that the piece can hand its result over in parts
  // (never with a width of 1, where the work runs on the caller's thread).
  void submit(std::function<void()> work, std::function<void()> take, std::function<void()> stream = nullptr);
  // Has the caller's thread run the stream of the piece it waits for;
  // safe on any thread.
  void wake();
  // Takes everything in flight, in order.
  void drain();
  // Called on the caller's thread about every `period` milliseconds while it
  // waits for a piece (the progress line's clock).
  void while_waiting(std::function<void()> tick, int period_ms);

 private:
  struct Piece {
    std::function<void()> work;
    std::function<void()> take;
    std::function<void()> stream;
    bool done = false;
  };

  void take_oldest();
  void wait_for(const std::shared_ptr<Piece>& piece);
  void run_threads();

  size_t width_;
  std::deque<std::shared_ptr<Piece>> in_flight_;
  std::deque<std::shared_ptr<Piece>> queue_;
  std::vector<std::thread> threads_;
  std::mutex mutex_;
  std::condition_variable work_ready_;
  std::condition_variable piece_done_;
  bool stopping_ = false;
  unsigned long wakes_ = 0;
  std::function<void()> tick_;
  int tick_period_ms_ = 250;
};

}  // namespace cvsysinfo

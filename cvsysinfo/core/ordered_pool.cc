#include "core/ordered_pool.h"

#include <chrono>

namespace cvsysinfo {

OrderedPool::OrderedPool(int width) : width_(width > 1 ? static_cast<size_t>(width) : 1) {}

OrderedPool::~OrderedPool() {
  drain();
  {
    std::lock_guard<std::mutex> lock(mutex_);
    stopping_ = true;
  }
  work_ready_.notify_all();
  for (std::thread& thread : threads_) thread.join();
}

void OrderedPool::while_waiting(std::function<void()> tick, int period_ms) {
  tick_ = std::move(tick);
  tick_period_ms_ = period_ms > 0 ? period_ms : 1;
}

void OrderedPool::submit(std::function<void()> work, std::function<void()> take, std::function<void()> stream) {
  if (width_ == 1) {
    work();
    take();
    return;
  }
  while (in_flight_.size() >= width_) take_oldest();
  auto piece = std::make_shared<Piece>();
  piece->work = std::move(work);
  piece->take = std::move(take);
  piece->stream = std::move(stream);
  in_flight_.push_back(piece);
  {
    std::lock_guard<std::mutex> lock(mutex_);
    queue_.push_back(piece);
    // A thread is started only when there is work for it, up to the width.
    if (threads_.size() < width_ && threads_.size() < in_flight_.size()) {
      threads_.emplace_back([this] { run_threads(); });
    }
  }
  work_ready_.notify_one();
}

void OrderedPool::drain() {
  while (!in_flight_.empty()) take_oldest();
}

void OrderedPool::wake() {
  {
    std::lock_guard<std::mutex> lock(mutex_);
    ++wakes_;
  }
  piece_done_.notify_all();
}

void OrderedPool::wait_for(const std::shared_ptr<Piece>& piece) {
  using Clock = std::chrono::steady_clock;
  const auto period = std::chrono::milliseconds(tick_period_ms_);
  Clock::time_point next_tick = Clock::now() + period;
  bool streamed = false;
  unsigned long seen = 0;
  std::unique_lock<std::mutex> lock(mutex_);
  while (!piece->done) {
    if (piece->stream && (!streamed || seen != wakes_)) {
      streamed = true;
      seen = wakes_;
      lock.unlock();
      piece->stream();
      lock.lock();
      continue;
    }
    if (!tick_) {
      piece_done_.wait(lock);
      continue;
    }
    piece_done_.wait_until(lock, next_tick);
    if (piece->done || Clock::now() < next_tick) continue;
    next_tick = Clock::now() + period;
    lock.unlock();
    tick_();
    lock.lock();
  }
}

void OrderedPool::take_oldest() {
  std::shared_ptr<Piece> oldest = in_flight_.front();
  wait_for(oldest);
  in_flight_.pop_front();
  oldest->stream = nullptr;
  oldest->take();
}

void OrderedPool::run_threads() {
  std::unique_lock<std::mutex> lock(mutex_);
  for (;;) {
    work_ready_.wait(lock, [this] { return stopping_ || !queue_.empty(); });
    if (queue_.empty()) return;
    std::shared_ptr<Piece> piece = queue_.front();
    queue_.pop_front();
    lock.unlock();
    piece->work();
    // What the work held is let go here, on its own thread.
    piece->work = nullptr;
    lock.lock();
    piece->done = true;
    piece_done_.notify_all();
  }
}

}  // namespace cvsysinfo

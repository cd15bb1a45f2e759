// A fixed set of threads that runs jobs first come, first served, for the
// packer's members and the segments of large ones alike. Callers keep the
// futures in order and bound how many they hold, which bounds the memory.
#pragma once

#include <condition_variable>
#include <deque>
#include <functional>
#include <future>
#include <memory>
#include <mutex>
#include <thread>
#include <utility>
#include <vector>

class WorkerPool {
 public:
  // With no threads a job runs on the caller's thread when its result is
  // asked for.
  explicit WorkerPool(unsigned threads) {
    for (unsigned t = 0; t < threads; ++t) workers_.emplace_back([this] { Work(); });
  }
  // Jobs not started yet are dropped (their futures report a broken
  // promise); running ones are waited for.
  ~WorkerPool() {
    {
      std::lock_guard<std::mutex> lock(mutex_);
      stop_ = true;
      queue_.clear();
    }
    changed_.notify_all();
    for (std::thread& t : workers_) t.join();
  }
  WorkerPool(const WorkerPool&) = delete;
  WorkerPool& operator=(const WorkerPool&) = delete;

  // At least one: how many jobs run side by side.
  unsigned parallel() const { return workers_.empty() ? 1u : static_cast<unsigned>(workers_.size()); }

  template <typename Result, typename Job>
  std::future<Result> Submit(Job job) {
    if (workers_.empty()) return std::async(std::launch::deferred, std::move(job));
    auto task = std::make_shared<std::packaged_task<Result()>>(std::move(job));
    std::future<Result> result = task->get_future();
    {
      std::lock_guard<std::mutex> lock(mutex_);
      queue_.emplace_back([task] { (*task)(); });
    }
    changed_.notify_one();
    return result;
  }

 private:
  void Work() {
    for (;;) {
      std::function<void()> job;
      {
        std::unique_lock<std::mutex> lock(mutex_);
        changed_.wait(lock, [this] { return stop_ || !queue_.empty(); });
        if (stop_) return;
        job = std::move(queue_.front());
        queue_.pop_front();
      }
      job();
    }
  }

  std::vector<std::thread> workers_;
  std::mutex mutex_;
  std::condition_variable changed_;
  std::deque<std::function<void()>> queue_;
  bool stop_ = false;
};

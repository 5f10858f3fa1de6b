#include "movie/plugin_call.h"

#include <condition_variable>
#include <deque>
#include <memory>
#include <mutex>
#include <string>
#include <thread>
#include <utility>

#include "movie/plugin_entrypoints.h"
#include "platform/runtime/loop_wait.h"
#include "platform/plugin/plugin_picture.h"
#include "platform/runtime/runtime.h"

namespace frametide {

namespace {

// Pictures handed off and not yet through the plug-in: one in the call, one waiting. The
// plug-in encodes while it takes the next, so more would only hold memory.
constexpr int kPicturesInHand = 2;

struct Job {
  fw::PluginEntrypoint entrypoint;  // copied on the loop thread: the table is a framework object
  std::vector<ft_value> args;
  std::deque<std::string> texts;  // the string arguments' own copies
  // A handed-off picture, made into the last argument: its samples, or else its pixels.
  std::shared_ptr<const fw::JpegSamples> samples;
  QImage pixels;
  bool handedOff = false;
  bool done = false;
  fw::PluginOutcome outcome;
};

// One thread for every plug-in call, for the life of the process: never joined, so a call
// still running when the process ends holds nothing up.
class Worker {
 public:
  static Worker& Instance() {
    static Worker* worker = new Worker;
    return *worker;
  }

  void Push(std::shared_ptr<Job> job) {
    const std::lock_guard lock(mutex_);
    if (job->handedOff) ++inHand_;
    queue_.push_back(std::move(job));
    work_.notify_one();
  }
  bool Done(const Job& job) {
    const std::lock_guard lock(mutex_);
    return job.done;
  }
  bool Room() {
    const std::lock_guard lock(mutex_);
    return inHand_ < kPicturesInHand || !failure_.empty();
  }
  void DropHandedOff() {
    std::deque<std::shared_ptr<Job>> dropped;
    {
      const std::lock_guard lock(mutex_);
      for (auto& job : queue_) {
        if (!job->handedOff) continue;
        job->done = true;
        --inHand_;
        dropped.push_back(std::move(job));
      }
      std::erase(queue_, nullptr);
      failure_.clear();
    }
  }
  // The failure of a handed-off picture not reported yet; reported once.
  std::string TakeFailure() {
    const std::lock_guard lock(mutex_);
    return std::exchange(failure_, {});
  }

 private:
  Worker() { std::thread([this] { Run(); }).detach(); }

  void Run() {
    for (;;) {
      std::shared_ptr<Job> job;
      bool drop = false;
      {
        std::unique_lock lock(mutex_);
        work_.wait(lock, [this] { return !queue_.empty(); });
        job = std::move(queue_.front());
        queue_.pop_front();
        drop = job->handedOff && !failure_.empty();
      }
      if (!drop) {
        if (job->handedOff) {
          // Converted here if the plug-in needs other pixels, off the loop thread.
          const fw::PluginPicture picture = job->samples ? fw::PluginPicture(job->samples)
                                                         : fw::PluginPicture(job->pixels);
          job->args.push_back(picture.Argument());
          job->outcome = fw::RunPluginRoutine(job->entrypoint, job->args);
        } else {
          job->outcome = fw::RunPluginRoutine(job->entrypoint, job->args);
        }
      }
      {
        const std::lock_guard lock(mutex_);
        job->done = true;
        if (job->handedOff) {
          --inHand_;
          if (job->outcome.failed && failure_.empty()) failure_ = job->outcome.message;
        }
      }
      job.reset();
      fw::WakeWaitingLoop();
    }
  }

  std::mutex mutex_;
  std::condition_variable work_;
  std::deque<std::shared_ptr<Job>> queue_;
  int inHand_ = 0;
  std::string failure_;
};

std::shared_ptr<Job> MakeJob(std::size_t entry, const std::vector<ft_value>& args) {
  if (!plugin_entrypoints) throw fw::NilObjectException("the plug-in routines are not bound yet");
  auto job = std::make_shared<Job>();
  job->entrypoint = plugin_entrypoints->At(entry);
  job->args = args;
  // The caller's strings may be gone before the call is, if the wait for it is given up.
  for (ft_value& arg : job->args) {
    if (arg.kind != FT_VALUE_STRING || !arg.as.string.data) continue;
    const std::string& copy = job->texts.emplace_back(arg.as.string.data, arg.as.string.size);
    arg.as.string.data = copy.data();
  }
  return job;
}

void RaiseHandedOffFailure(Worker& worker) {
  std::string failure = worker.TakeFailure();
  if (!failure.empty()) throw fw::PluginException(std::move(failure));
}

}  // namespace

fw::Value CallMoviePlugin(std::size_t entry, const std::vector<ft_value>& args,
                          bool yieldsToQuit) {
  Worker& worker = Worker::Instance();
  const std::shared_ptr<Job> job = MakeJob(entry, args);
  worker.Push(job);
  fw::WaitOnLoop([&] { return worker.Done(*job); }, yieldsToQuit);
  RaiseHandedOffFailure(worker);
  return fw::PluginOutcomeValue(job->outcome, job->entrypoint.declaration);
}

void DropHandedOffPictures() { Worker::Instance().DropHandedOff(); }

void HandOffMoviePicture(std::size_t entry, void* track, const fw::Picture& picture) {
  Worker& worker = Worker::Instance();
  const std::shared_ptr<Job> job = MakeJob(entry, {fw::PluginHandleArg(track)});
  job->handedOff = true;
  job->samples = picture.Samples();
  if (!job->samples) job->pixels = picture.Image();
  RaiseHandedOffFailure(worker);
  fw::WaitOnLoop([&] { return worker.Room(); });
  RaiseHandedOffFailure(worker);
  worker.Push(job);
}

}  // namespace frametide

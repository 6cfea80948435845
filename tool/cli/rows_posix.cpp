// --rows on POSIX: the records run in worker processes (each with its own tag table and buffers), fed and
// merged by this one in record order, which alone writes files; SIGINT and SIGTERM are held back while
// records run, so that an interrupted run removes every temporary it made.
#include <fcntl.h>
#include <poll.h>
#include <sys/wait.h>
#include <unistd.h>

#include <cerrno>
#include <csignal>
#include <cstdio>
#include <cstring>
#include <deque>
#include <new>
#include <string>
#include <vector>

#include "tool/cli/cli_options.h"
#include "tool/cli/rows.h"
#include "tool/messages.h"

namespace morvane {

namespace {

volatile sig_atomic_t gInterruption = 0;

void NoteInterruption(int signalNumber) {
  gInterruption = signalNumber;
}

// Holds SIGINT and SIGTERM back for the whole run; they are let in only while the run waits (for DATA, for
// the workers), and then only noted.
class InterruptionGuard {
 public:
  InterruptionGuard() {
    struct sigaction action {};
    action.sa_handler = NoteInterruption;
    sigemptyset(&action.sa_mask);
    sigaction(SIGINT, &action, &previousInt_);
    sigaction(SIGTERM, &action, &previousTerm_);
    sigset_t held;
    sigemptyset(&held);
    sigaddset(&held, SIGINT);
    sigaddset(&held, SIGTERM);
    sigprocmask(SIG_BLOCK, &held, &previousMask_);
    waitMask_ = previousMask_;
    sigdelset(&waitMask_, SIGINT);
    sigdelset(&waitMask_, SIGTERM);
  }
  ~InterruptionGuard() {
    sigprocmask(SIG_SETMASK, &previousMask_, nullptr);
    sigaction(SIGINT, &previousInt_, nullptr);
    sigaction(SIGTERM, &previousTerm_, nullptr);
  }
  InterruptionGuard(const InterruptionGuard&) = delete;
  InterruptionGuard& operator=(const InterruptionGuard&) = delete;

  const sigset_t* WaitMask() const { return &waitMask_; }

  // Whether a signal came, while waiting or held back.
  bool Interrupted() {
    if (gInterruption != 0) return true;
    sigset_t pending;
    sigemptyset(&pending);
    sigpending(&pending);
    if (sigismember(&pending, SIGINT)) gInterruption = SIGINT;
    if (sigismember(&pending, SIGTERM)) gInterruption = SIGTERM;
    return gInterruption != 0;
  }

  // Ends the process by the signal that came, as it would have without the guard.
  [[noreturn]] void Raise() {
    const int signalNumber = gInterruption != 0 ? gInterruption : SIGTERM;
    signal(signalNumber, SIG_DFL);
    sigset_t only;
    sigemptyset(&only);
    sigaddset(&only, signalNumber);
    sigprocmask(SIG_UNBLOCK, &only, nullptr);
    raise(signalNumber);
    _exit(128 + signalNumber);
  }

 private:
  struct sigaction previousInt_ {};
  struct sigaction previousTerm_ {};
  sigset_t previousMask_;
  sigset_t waitMask_;
};

// Waits until `fd` has something to read or a signal comes. false on a signal.
bool WaitReadable(int fd, InterruptionGuard& guard) {
  for (;;) {
    if (guard.Interrupted()) return false;
    pollfd one{fd, POLLIN, 0};
    const int ready = ppoll(&one, 1, nullptr, guard.WaitMask());
    if (ready > 0) return true;
    if (ready < 0 && errno != EINTR) return true;  // the read will tell what is wrong
  }
}

// The bytes between the processes: numbers and length-prefixed texts.
class Packer {
 public:
  void Number(uint64_t value) { bytes_.append(reinterpret_cast<const char*>(&value), sizeof value); }
  void Text(const std::string& text) {
    Number(text.size());
    bytes_ += text;
  }
  // The message: its length, then its bytes.
  std::string Message() const {
    std::string message;
    const uint64_t length = bytes_.size();
    message.append(reinterpret_cast<const char*>(&length), sizeof length);
    return message + bytes_;
  }

 private:
  std::string bytes_;
};

class Unpacker {
 public:
  explicit Unpacker(const std::string& bytes) : bytes_(bytes) {}
  uint64_t Number() {
    uint64_t value = 0;
    if (at_ + sizeof value <= bytes_.size()) std::memcpy(&value, bytes_.data() + at_, sizeof value);
    at_ += sizeof value;
    return value;
  }
  std::string Text() {
    const uint64_t length = Number();
    std::string text = at_ <= bytes_.size() ? bytes_.substr(at_, length) : std::string();
    at_ += length;
    return text;
  }

 private:
  const std::string& bytes_;
  size_t at_ = 0;
};

std::string PackRecord(const Record& record) {
  Packer packer;
  packer.Number(record.index);
  packer.Number(record.line);
  packer.Number(record.fields.size());
  for (const RecordField& field : record.fields) {
    packer.Text(field.name);
    packer.Text(field.value);
  }
  return packer.Message();
}

Record UnpackRecord(const std::string& bytes) {
  Unpacker unpacker(bytes);
  Record record;
  record.index = unpacker.Number();
  record.line = unpacker.Number();
  const uint64_t fields = unpacker.Number();
  for (uint64_t i = 0; i < fields; ++i) {
    RecordField field;
    field.name = unpacker.Text();
    field.value = unpacker.Text();
    record.fields.push_back(std::move(field));
  }
  return record;
}

std::string PackOutcome(const RecordOutcome& outcome) {
  Packer packer;
  packer.Number(outcome.index);
  packer.Number(outcome.line);
  packer.Number(static_cast<uint64_t>(outcome.status));
  packer.Number(outcome.lines.size());
  for (const RecordLine& line : outcome.lines) {
    packer.Number(line.warning ? 1 : 0);
    packer.Text(line.text);
  }
  packer.Text(outcome.document);
  packer.Text(outcome.stagePath);
  packer.Text(outcome.outputShown);
  packer.Text(outcome.outputKey);
  packer.Number(outcome.referenced.size());
  for (const std::string& name : outcome.referenced) packer.Text(name);
  return packer.Message();
}

RecordOutcome UnpackOutcome(const std::string& bytes) {
  Unpacker unpacker(bytes);
  RecordOutcome outcome;
  outcome.index = unpacker.Number();
  outcome.line = unpacker.Number();
  outcome.status = static_cast<int>(unpacker.Number());
  const uint64_t lines = unpacker.Number();
  for (uint64_t i = 0; i < lines; ++i) {
    RecordLine line;
    line.warning = unpacker.Number() != 0;
    line.text = unpacker.Text();
    outcome.lines.push_back(std::move(line));
  }
  outcome.document = unpacker.Text();
  outcome.stagePath = unpacker.Text();
  outcome.outputShown = unpacker.Text();
  outcome.outputKey = unpacker.Text();
  const uint64_t referenced = unpacker.Number();
  for (uint64_t i = 0; i < referenced; ++i) outcome.referenced.push_back(unpacker.Text());
  return outcome;
}

bool WriteWhole(int fd, const std::string& bytes) {
  size_t done = 0;
  while (done < bytes.size()) {
    const ssize_t written = write(fd, bytes.data() + done, bytes.size() - done);
    if (written < 0 && errno == EINTR) continue;
    if (written <= 0) return false;
    done += static_cast<size_t>(written);
  }
  return true;
}

// Reads one whole message (its length, then its bytes); false at the end of the pipe.
bool ReadMessage(int fd, std::string* message) {
  uint64_t length = 0;
  size_t done = 0;
  auto readExactly = [&](char* into, size_t size) {
    for (done = 0; done < size;) {
      const ssize_t got = read(fd, into + done, size - done);
      if (got < 0 && errno == EINTR) continue;
      if (got <= 0) return false;
      done += static_cast<size_t>(got);
    }
    return true;
  };
  if (!readExactly(reinterpret_cast<char*>(&length), sizeof length)) return false;
  message->resize(length);
  return readExactly(message->data(), length);
}

// A worker: takes records from `tasks` until the pipe ends (or a signal came), and answers each on
// `results` as soon as it has run, with its document and the file it goes to.
[[noreturn]] void Work(const RowsJob& job, int tasks, int results, InterruptionGuard& guard) {
  std::string message;
  // Every few records it asks whether to stop; the feeder has at most a few under way here.
  for (unsigned done = 0; (done % 8 != 0 || !guard.Interrupted()) && ReadMessage(tasks, &message); ++done) {
    RecordOutcome outcome;
    const Record record = UnpackRecord(message);
    try {
      outcome = RunRecord(job, record);
    } catch (const std::bad_alloc&) {
      outcome = RecordOutcome{};
      outcome.index = record.index;
      outcome.line = record.line;
      outcome.status = kExitNotCompleted;
      outcome.lines.push_back({false, FormatMessage(MessageId::kNoMemory)});
    }
    if (!WriteWhole(results, PackOutcome(outcome))) break;
  }
  _exit(0);
}

struct Worker {
  pid_t pid = -1;
  int tasks = -1;    // written by the feeder
  int results = -1;  // read by the feeder
  std::string outgoing;
  size_t sent = 0;
  std::string incoming;
  std::deque<RecordOutcome> done;
  size_t inFlight = 0;
  bool ended = false;
};

// Takes the whole messages that have arrived from a worker.
void TakeArrived(Worker& worker) {
  size_t at = 0;
  while (worker.incoming.size() - at >= sizeof(uint64_t)) {
    uint64_t length = 0;
    std::memcpy(&length, worker.incoming.data() + at, sizeof length);
    if (worker.incoming.size() - at - sizeof length < length) break;
    worker.done.push_back(UnpackOutcome(worker.incoming.substr(at + sizeof length, length)));
    at += sizeof length + length;
  }
  worker.incoming.erase(0, at);
}

void SetNonBlocking(int fd) {
  fcntl(fd, F_SETFL, fcntl(fd, F_GETFL) | O_NONBLOCK);
}

// Runs the feed's records on `count` workers and hands their outcomes to the merger in record order. false
// when a worker ended before it answered (its records are then lost, and the run fails).
bool RunOnWorkers(const RowsJob& job, RowsMerger* merger, RecordFeed* feed, unsigned count,
                  InterruptionGuard& guard) {
  // Enough records under way to keep every worker busy, few enough to keep the memory of a long DATA flat.
  constexpr size_t kInFlightEach = 16;
  std::vector<Worker> workers(count);
  std::fflush(nullptr);
  for (Worker& worker : workers) {
    int tasks[2];
    int results[2];
    if (pipe(tasks) != 0 || pipe(results) != 0) return false;
    worker.pid = fork();
    if (worker.pid == 0) {
      close(tasks[1]);
      close(results[0]);
      for (Worker& other : workers) {
        if (other.tasks >= 0) close(other.tasks);
        if (other.results >= 0) close(other.results);
      }
      Work(job, tasks[0], results[1], guard);
    }
    close(tasks[0]);
    close(results[1]);
    if (worker.pid < 0) {
      close(tasks[1]);
      close(results[0]);
      return false;
    }
    worker.tasks = tasks[1];
    worker.results = results[0];
    fcntl(worker.tasks, F_SETFD, FD_CLOEXEC);
    fcntl(worker.results, F_SETFD, FD_CLOEXEC);
    SetNonBlocking(worker.tasks);
    SetNonBlocking(worker.results);
  }

  std::deque<size_t> order;  // the worker of each record under way, in record order
  size_t next = 0;
  bool fed = false;
  bool lost = false;
  bool stopping = false;
  for (;;) {
    // Hand over what has come, in record order.
    while (!order.empty() && !workers[order.front()].done.empty()) {
      Worker& worker = workers[order.front()];
      merger->Take(std::move(worker.done.front()));
      worker.done.pop_front();
      --worker.inFlight;
      order.pop_front();
    }
    // Feed while there is room; DATA is read here, in order.
    while (!fed && !guard.Interrupted() && order.size() < kInFlightEach * count) {
      Record record;
      if (!feed->Next(&record)) {
        fed = true;
        break;
      }
      Worker& worker = workers[next];
      worker.outgoing += PackRecord(record);
      ++worker.inFlight;
      order.push_back(next);
      next = (next + 1) % count;
    }
    if (guard.Interrupted() && !stopping) {
      // The workers stop before their next record; what they have made comes back and is removed.
      stopping = true;
      fed = true;
      for (Worker& worker : workers) {
        if (!worker.ended) kill(worker.pid, SIGTERM);
      }
    }
    if (fed) {
      for (Worker& worker : workers) {
        if (worker.tasks >= 0 && worker.sent == worker.outgoing.size()) {
          close(worker.tasks);
          worker.tasks = -1;
        }
      }
    }
    bool waiting = false;
    for (const Worker& worker : workers) waiting = waiting || !worker.ended;
    if (!waiting) break;

    std::vector<pollfd> polled;
    std::vector<std::pair<size_t, bool>> owners;  // worker, whether its task pipe
    for (size_t i = 0; i < workers.size(); ++i) {
      Worker& worker = workers[i];
      if (worker.tasks >= 0 && worker.sent < worker.outgoing.size()) {
        polled.push_back({worker.tasks, POLLOUT, 0});
        owners.emplace_back(i, true);
      }
      if (!worker.ended) {
        polled.push_back({worker.results, POLLIN, 0});
        owners.emplace_back(i, false);
      }
    }
    const int ready = ppoll(polled.data(), polled.size(), nullptr, guard.WaitMask());
    if (ready < 0) continue;  // a signal: the loop stops feeding and drains
    for (size_t p = 0; p < polled.size(); ++p) {
      if (polled[p].revents == 0) continue;
      Worker& worker = workers[owners[p].first];
      if (owners[p].second) {
        const ssize_t written =
            write(worker.tasks, worker.outgoing.data() + worker.sent, worker.outgoing.size() - worker.sent);
        if (written > 0) worker.sent += static_cast<size_t>(written);
        if (written < 0 && errno != EAGAIN && errno != EINTR) {
          close(worker.tasks);
          worker.tasks = -1;
        }
        if (worker.sent == worker.outgoing.size()) {
          worker.outgoing.clear();
          worker.sent = 0;
        }
        continue;
      }
      char chunk[1 << 16];
      const ssize_t got = read(worker.results, chunk, sizeof chunk);
      if (got > 0) {
        worker.incoming.append(chunk, static_cast<size_t>(got));
        TakeArrived(worker);
      } else if (got == 0 || (errno != EAGAIN && errno != EINTR)) {
        worker.ended = true;
        close(worker.results);
        if (worker.tasks >= 0) close(worker.tasks);
        worker.tasks = -1;
        if (worker.inFlight > worker.done.size() && !stopping) lost = true;
      }
    }
    if (lost) {
      fed = true;
      for (Worker& worker : workers) {
        if (!worker.ended) kill(worker.pid, SIGTERM);
      }
    }
  }
  // What the workers answered after a record was lost, or after a signal, is taken too, in order, so that
  // the merger ends with every record it was given.
  while (!order.empty() && !workers[order.front()].done.empty()) {
    Worker& worker = workers[order.front()];
    merger->Take(std::move(worker.done.front()));
    worker.done.pop_front();
    order.pop_front();
  }
  for (Worker& worker : workers) {
    for (RecordOutcome& outcome : worker.done) merger->Take(std::move(outcome));
    int status = 0;
    while (waitpid(worker.pid, &status, 0) < 0 && errno == EINTR) {
    }
  }
  return !lost;
}

}  // namespace

int RunRows(const RowsJob& job, const RowsMerger::LineSink& lines,
            const RowsMerger::DocumentSink& documents) {
  RowsMerger merger(job, lines, documents);
  FileStream data;
  if (!OpenRowsData(job, &merger, &data)) return merger.Finish();
  InterruptionGuard guard;
  const int descriptor = data.Descriptor();
  RecordFeed feed(job, &merger, [&](char* buffer, size_t size) -> long {
    // A signal while DATA is awaited ends the records there.
    if (!WaitReadable(descriptor, guard)) return 0;
    return data.Read(buffer, size);
  });
  if (job.jobs <= 1) {
    RunRecordsHere(job, &merger, &feed, [&guard]() { return guard.Interrupted(); });
  } else if (!RunOnWorkers(job, &merger, &feed, job.jobs, guard)) {
    merger.Stop(FormatMessage(MessageId::kWorkerLost), kExitNotCompleted);
  }
  if (guard.Interrupted()) {
    merger.DiscardAll();
    std::fflush(nullptr);
    guard.Raise();
  }
  return merger.Finish();
}

}  // namespace morvane

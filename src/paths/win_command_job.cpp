#include "paths/win_command_job.h"

#include "common/win_services.h"

namespace {
// The messages a job sends to its port (JOB_OBJECT_MSG_*).
constexpr DWORD kJobEmpty = 4;
constexpr DWORD kProcessJoined = 6;
constexpr DWORD kProcessEnded = 7;
constexpr DWORD kProcessFailed = 8;
// How often the job's count of processes is read between messages, in case
// a message was lost (the port's queue is not unbounded).
constexpr DWORD kRecountMs = 1000;

template <typename Function>
Function Kernel(const char* name) {
  return reinterpret_cast<Function>(SystemExport("kernel32.dll", name));
}

// The processes still in the job, this program aside; -1 when unknown.
long OthersInJob(const CommandJob& job) {
  using QueryFn = BOOL(WINAPI*)(HANDLE, JOBOBJECTINFOCLASS, LPVOID, DWORD, LPDWORD);
  const auto query = Kernel<QueryFn>("QueryInformationJobObject");
  JOBOBJECT_BASIC_ACCOUNTING_INFORMATION counts;
  if (!query || !query(job.job, JobObjectBasicAccountingInformation, &counts, sizeof counts, nullptr)) return -1;
  return static_cast<long>(counts.ActiveProcesses) - (job.holdsSelf ? 1 : 0);
}

void CloseJob(CommandJob& job) {
  if (job.port) CloseHandle(job.port);
  if (job.job) CloseHandle(job.job);
  job.job = job.port = nullptr;
}
}  // namespace

void OpenCommandJob(CommandJob& job) {
  void* calls[4];
  if (!SystemExports("kernel32.dll",
                     "CreateJobObjectA\0SetInformationJobObject\0AssignProcessToJobObject\0CreateIoCompletionPort\0",
                     calls))
    return;
  const auto createJob = reinterpret_cast<HANDLE(WINAPI*)(LPSECURITY_ATTRIBUTES, LPCSTR)>(calls[0]);
  const auto setJob = reinterpret_cast<BOOL(WINAPI*)(HANDLE, JOBOBJECTINFOCLASS, LPVOID, DWORD)>(calls[1]);
  const auto assign = reinterpret_cast<BOOL(WINAPI*)(HANDLE, HANDLE)>(calls[2]);
  const auto createPort = reinterpret_cast<HANDLE(WINAPI*)(HANDLE, HANDLE, ULONG_PTR, DWORD)>(calls[3]);
  job.job = createJob(nullptr, nullptr);
  job.port = job.job ? createPort(INVALID_HANDLE_VALUE, nullptr, 0, 1) : nullptr;
  JOBOBJECT_ASSOCIATE_COMPLETION_PORT association;
  association.CompletionKey = job.job;
  association.CompletionPort = job.port;
  if (!job.port ||
      !setJob(job.job, JobObjectAssociateCompletionPortInformation, &association, sizeof association)) {
    CloseJob(job);
    return;
  }
  job.holdsSelf = assign(job.job, GetCurrentProcess()) != FALSE;
}

void JoinCommandJob(CommandJob& job, HANDLE process) {
  using AssignFn = BOOL(WINAPI*)(HANDLE, HANDLE);
  if (!job.job || job.holdsSelf) return;
  // The command may have started a child already: that one is not waited for.
  if (!Kernel<AssignFn>("AssignProcessToJobObject")(job.job, process)) CloseJob(job);
}

DWORD WaitForCommandJob(CommandJob& job, HANDLE process, DWORD failed) {
  WaitForSingleObject(process, INFINITE);
  DWORD exitCode = failed;
  if (!GetExitCodeProcess(process, &exitCode)) exitCode = failed;
  using GetQueuedFn = BOOL(WINAPI*)(HANDLE, LPDWORD, PULONG_PTR, LPOVERLAPPED*, DWORD);
  const auto getQueued = Kernel<GetQueuedFn>("GetQueuedCompletionStatus");
  // The port tells of each process that joins and leaves; the count of those
  // still running (this program aside) reaches zero when all have ended.
  const DWORD self = GetCurrentProcessId();
  long running = 0;
  bool joinedAny = false;
  while (job.job && getQueued) {
    DWORD message;
    ULONG_PTR key;
    LPOVERLAPPED detail;
    if (getQueued(job.port, &message, &key, &detail, kRecountMs)) {
      const DWORD id = static_cast<DWORD>(reinterpret_cast<ULONG_PTR>(detail));
      if (message == kJobEmpty) break;
      if (id == self) continue;
      if (message == kProcessJoined) {
        ++running;
        joinedAny = true;
      } else if (message == kProcessEnded || message == kProcessFailed) {
        --running;
      }
      if (joinedAny && running <= 0) break;
      continue;
    }
    // Nothing told for a while: the job's own count decides; without
    // messages and without a count there is nothing more to wait for.
    const long others = OthersInJob(job);
    if (others == 0 || (others < 0 && !joinedAny)) break;
  }
  CloseJob(job);
  return exitCode;
}

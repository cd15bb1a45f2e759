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

// The job calls in CommandJob::calls, in this order.
constexpr char kJobCalls[] =
    "CreateJobObjectA\0SetInformationJobObject\0AssignProcessToJobObject\0CreateIoCompletionPort\0"
    "GetQueuedCompletionStatus\0QueryInformationJobObject\0";
enum JobCall { kCreateJob, kSetJob, kAssign, kCreatePort, kGetQueued, kQueryJob };

template <typename Function>
Function Call(const CommandJob& job, JobCall call) {
  return reinterpret_cast<Function>(job.calls[call]);
}

// The processes still in the job, this program aside; -1 when unknown.
long OthersInJob(const CommandJob& job) {
  using QueryFn = BOOL(WINAPI*)(HANDLE, JOBOBJECTINFOCLASS, LPVOID, DWORD, LPDWORD);
  JOBOBJECT_BASIC_ACCOUNTING_INFORMATION counts;
  if (!Call<QueryFn>(job, kQueryJob)(job.job, JobObjectBasicAccountingInformation, &counts, sizeof counts, nullptr))
    return -1;
  return static_cast<long>(counts.ActiveProcesses) - (job.holdsSelf ? 1 : 0);
}

void CloseJob(CommandJob& job) {
  if (job.port) CloseHandle(job.port);
  if (job.job) CloseHandle(job.job);
  job.job = job.port = nullptr;
}
}  // namespace

void OpenCommandJob(CommandJob& job) {
  if (!SystemExports(kKernel32Dll, kJobCalls, job.calls)) return;
  const auto createJob = Call<HANDLE(WINAPI*)(LPSECURITY_ATTRIBUTES, LPCSTR)>(job, kCreateJob);
  const auto setJob = Call<BOOL(WINAPI*)(HANDLE, JOBOBJECTINFOCLASS, LPVOID, DWORD)>(job, kSetJob);
  const auto assign = Call<BOOL(WINAPI*)(HANDLE, HANDLE)>(job, kAssign);
  const auto createPort = Call<HANDLE(WINAPI*)(HANDLE, HANDLE, ULONG_PTR, DWORD)>(job, kCreatePort);
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
  if (!Call<AssignFn>(job, kAssign)(job.job, process)) CloseJob(job);
}

DWORD WaitForCommandJob(CommandJob& job, HANDLE process, DWORD failed) {
  WaitForSingleObject(process, INFINITE);
  DWORD exitCode = failed;
  if (!GetExitCodeProcess(process, &exitCode)) exitCode = failed;
  using GetQueuedFn = BOOL(WINAPI*)(HANDLE, LPDWORD, PULONG_PTR, LPOVERLAPPED*, DWORD);
  const auto getQueued = Call<GetQueuedFn>(job, kGetQueued);
  // The port tells of each process that joins and leaves; the count of those
  // still running (this program aside) reaches zero when all have ended.
  const DWORD self = GetCurrentProcessId();
  long running = 0;
  bool joinedAny = false;
  while (job.job) {
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

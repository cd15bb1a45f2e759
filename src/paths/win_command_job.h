// Waiting for a command and for everything it starts: a setup program often
// starts the real installer and ends at once, and the folder it ran from
// must stay until that one has ended too. Windows 2000 on groups the
// processes in a job; elsewhere only the command itself is waited for.
#pragma once

#include <windows.h>

// No constructor: it starts zero-filled, as the run that holds it.
struct CommandJob {
  HANDLE job;    // null where the system has no jobs
  HANDLE port;   // tells of every process that joins or leaves the job
  bool holdsSelf;  // the program itself is in the job (so its children join at birth)
  void* calls[6];  // the job calls, looked up once (Windows 95 and NT 4.0 lack them)
};

// Before the command starts: a job that this program joins, so that the
// command and everything it starts belong to it from their first moment.
// Where the program cannot join (it is in a job already, before Windows 8),
// the command joins once it has started (JoinCommandJob).
void OpenCommandJob(CommandJob& job);
void JoinCommandJob(CommandJob& job, HANDLE process);

// Waits until process has ended and then every other process of the job,
// this program's aside; returns process's exit code (failed when it has
// none). Closes the job.
DWORD WaitForCommandJob(CommandJob& job, HANDLE process, DWORD failed);

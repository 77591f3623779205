#pragma once
// When a job file dropped into the work folder may be taken, and what happens
// to it once its job is done. A sibling program's file is complete only when
// it opens for reading and its size and time have not changed over a tick: on
// Windows a file still being written is locked against readers; elsewhere
// the system is asked whether a writer has it open, where it can tell, and
// the standing still of the file tells the rest.

#include "common/program.h"

#include <cstdint>
#include <optional>
#include <string>

namespace vel {

// A job file must stand still this long (one tick of the timer, with room for
// its jitter) before it is taken.
inline constexpr std::int64_t kJobSettleMs = 500;
// A job file that cannot be taken for this long no longer holds up the jobs
// behind it; it is still tried again on every scan.
inline constexpr std::int64_t kJobStuckMs = 30000;

enum class JobFileState {
    Ready,     // unchanged since an earlier tick
    New,       // first seen now: look again at the next tick
    Changing,  // still being written
    Done,      // its job ran in this run and it could not be removed: never again
    Gone,      // no longer there
};

std::optional<FileSignature> FileSignatureOf(const std::string& path);

// Looks at one job file (work path) at this tick and records what it saw.
JobFileState CheckJobFile(Program& program, const std::string& path);

// Whether the file may be taken now: it opens for reading (a writer on
// Windows keeps it locked) and, where the system can tell, no other process
// has it open for writing.
bool JobFileFree(const std::string& path);

// Forgets what the scans saw, and which jobs were done, of files that are gone.
void ForgetMissingJobFiles(Program& program);

// Removes a job file after its job ran. When it cannot be removed, the job is
// remembered as done so that it is never run again in this run, and the
// status line and "Vel.err" say so. Returns whether the file is gone.
bool RemoveFinishedJobFile(Program& program, const std::string& path);
// The same for a job file that its job meant to rename and could not.
void KeepFinishedJobFile(Program& program, const std::string& path);

}  // namespace vel

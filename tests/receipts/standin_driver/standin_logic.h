#pragma once
// A stand-in for the fiscal printer's driver program: it takes the hand-off
// file, writes its answer file "WQG.{-}" (a first line of its own, the answer
// in the second) and then its completion marker "Wrk-WQG.{-}". Plain C++ so
// that the tests can also play it in-process.

#include <string>

namespace standin {

struct Config {
    std::string answer = "   0. Paragon wydrukowany, numer 000004711";
    int delayMs = 0;     // wait before answering
    bool never = false;  // never answer (no answer, no marker)
};

// Settings from the file "WQG-standin.cfg" in the current directory (lines
// answer=..., delay=..., never=1), then from the environment variables
// WQG_STANDIN_ANSWER, WQG_STANDIN_DELAY_MS and WQG_STANDIN_NEVER, which win.
Config ConfigFromEnvironment();

// Plays one driver run. The hand-off file's bytes are kept in "WQG-got.{-}"
// so a test can see what the driver was given. Returns the exit code.
int Run(const std::string& handOffFile, const Config& config);

}  // namespace standin

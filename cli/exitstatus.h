#pragma once

// The exit status of tarvek-cli, as scripts test it.
enum ExitStatus : int {
    kExitOk = 0,           // done
    kExitNothingFound = 1, // nothing matched, no such disc, no image in the folder
    kExitUsage = 2,        // the command line is wrong
    kExitDataProblem = 3,  // the data could not be read or written: a lock held too long, an unreadable index
    kExitRefused = 4,      // a change was refused: a label in use or one that cannot be saved
    kExitInterrupted = 130 // stopped by Ctrl+C (128 + SIGINT, as a shell reports it)
};

#pragma once

// The fleet service: every chosen connection of a list polled at once in
// this process, meters behind one serial port in turn.

struct TPollOptions;

// Runs until a signal stops it; the exit status.
int RunFleet(const TPollOptions &options);

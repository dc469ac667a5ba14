// tapbridge-setup without options: what the device offers tapbridge, and a
// ready command line for the best screen. Changes nothing.
#pragma once

#include "setup/facts.hpp"

// Prints the report for facts; returns the exit status.
int run_report(const system_facts& facts);

// tapbridge-setup --fix: sets mousedev's tap_time to 0 where a touchpad-kind
// screen's touches come back as clicks. Touches nothing else.
#pragma once

#include "setup/facts.hpp"

// Applies the remedy facts call for; returns the exit status.
int run_fix(const system_facts& facts);

// The steps of a scenario, in the driver's step language, one a line:
//
//   screen KIND XMIN XMAX YMIN YMAX [res N] [slots N] [bus NAME] [nodirect] [name TEXT]
//                                    a mouse and a touch screen (mt, touchpad, direct),
//                                    N units per mm on both axes, slots 0..N-1 (10
//                                    unless given), on bus NAME (bluetooth, usb, i2c, spi,
//                                    host, virtual; i2c unless given, as a built-in
//                                    screen), nodirect: without INPUT_PROP_DIRECT, TEXT
//                                    its name (escapes as in keys)
//   screen2 KIND XMIN XMAX YMIN YMAX [WORDS]
//                                    a second touch screen, after screen, with the
//                                    optional words of screen; $TOUCH2 names it
//   tap2 X Y                         a finger down and up on the second screen
//   unplug                           removes the touch screen, as a cable pulled out
//   remote ID KIND [range XMIN XMAX YMIN YMAX] [res N] [bus NAME] [nodirect] [phys TEXT] [name TEXT]
//                                    a remote (keyboard, consumer, gamepad, combo, fullkbd, camera:
//                                    see remotes.hpp; the rings finger, pen, pad, drag,
//                                    fingerkeys: see rings.hpp) with a second reader of its
//                                    own; $ID (ID in capitals) names its node. TEXT as in
//                                    keys; its name is "remote ID" unless given. range,
//                                    res and nodirect: finger, pen and fingerkeys alone
//                                    (0 4095 0 4095, no resolution, INPUT_PROP_DIRECT
//                                    unless given). NAME as for screen; unless given, usb
//                                    for a gamepad, bluetooth for the rest
//   unplug ID | replug ID            removes the remote; brings it back under another node
//                                    (a ring with no contact down, as a new device)
//   stroke ID X,Y X,Y... [every MS]  a ring's gesture, one frame per point, each written
//                                    at least MS ms (30 unless given) after the one before
//                                    (a busy guest may stretch a gap, never shorten it).
//                                    finger, pen, fingerkeys: the contact down at the first
//                                    point (finger: the next tracking id in slot 0), moved
//                                    to each further one, lifted a frame after the last;
//                                    one point alone is a tap there. drag: DX,DY each,
//                                    BTN_LEFT pressed a frame before the first and released
//                                    a frame after the last. pad: DX,DY each, no button
//   rel ID DX DY COUNT [every MS]    COUNT frames of REL_X DX and REL_Y DY (a 0 left out),
//                                    paced as stroke's (35 ms unless given); pad, drag
//   contact ID down X Y | move X Y | up
//                                    one frame of a ring's contact, at once: finger, pen,
//                                    fingerkeys; drag: down and up press and release
//                                    BTN_LEFT, move DX DY moves it
//   remove ID                        removes the remote for good: no other node appears
//                                    meanwhile, as one does in its place after unplug
//   key ID CODE VALUE                one key event of the remote and its SYN_REPORT (value
//                                    2: autorepeat); CODE by the kernel's name or number
//   press ID CODE                    a key down and up, each with its SYN_REPORT
//   hat ID AXIS VALUE                one axis event (ABS_HAT0X ...) and its SYN_REPORT
//   mouse ID TOKENS                  mouse tokens on a combo remote
//   measure ID REMOTE CODE N IDLE_MS the benchmarks' figures of tapbridge-remote ID: a
//   measure ID RING N IDLE_MS        remote's key presses, a ring's gestures; measure
//   measure mouse N                  mouse: the mouse's clicks, to compare with (measure.hpp)
//   run ID [as UID] [notty] COMMAND  COMMAND by sh -c on a terminal of its own, in the
//                                    background; $TOUCH and $MOUSE name the event nodes.
//                                    notty: with no terminal at all, as a boot script runs
//   runline ID [in SHELL] [with WORD] FROM PREFIX
//                                    runs, as ID, the last line FROM printed that starts
//                                    with PREFIX (leading blanks ignored) and holds WORD, as
//                                    printed, by /bin/SHELL -c (default sh: busybox); a
//                                    PREFIX that ends in ':' is a label, left out
//   sh COMMAND                       runs COMMAND by sh -c to its end (state changes)
//   mouse TOKENS                     L1 L0 R1 R0 M1 M0 X<n> Y<n> W<n> S (see devices.hpp)
//   paced MS COUNT TOKENS            the mouse TOKENS COUNT times, one every MS ms (0: at once)
//   finger down|move SLOT X Y        one frame of a finger in SLOT
//   finger up SLOT...                one frame lifting the fingers in SLOT...
//   tap X Y                          a finger down and up in slot 0
//   keys ID TEXT                     types TEXT on ID's terminal (\n Enter, \x03 Ctrl-C,
//                                    \x04 Ctrl-D)
//   pause MS                         paces input (a held button, a long touch)
//   wait ID lines N                  until ID printed N whole lines on standard output
//   wait ID text TEXT                until ID printed TEXT, on either stream; $REMOTE in it:
//                                    the node remote REMOTE has now
//   wait ID idle                     until ID sleeps in poll or select: waiting for input,
//                                    all it does before that done (a question asked and
//                                    the touches made before it taken away)
//   wait ID exit                     until ID ended
//   wait touch frames N              until the touch reader got N SYN_REPORTs
//   wait mice packets N              until the mice client got N packets
//   wait ID stopped                  until ID is stopped (after signal ID 19)
//   wait ID seen N                   until remote ID's second reader got N events (not
//                                    counting SYN_REPORTs)
//   wait ID holds PATH               until a process other than the driver has PATH open
//                                    ($REMOTE: the node remote REMOTE has now); its pid is
//                                    recorded as ID's
//   wait file PATH TEXT              until the file PATH holds TEXT
//   cpu ID MS                        records "cpu ID TICKS CPU_MS": the CPU time ID used in
//                                    the next MS ms, in clock ticks (utime + stime, sampled)
//                                    and in ms as the scheduler counts it (schedstat)
//   signal ID SIGNAL                 sends SIGNAL, and goes on at once
//   stop ID [SIGNAL]                 sends SIGNAL (default 15) and waits for the end
//
// Every wait has a generous bound; one that runs out fails the scenario.
#pragma once

#include "script.hpp"
#include "world.hpp"

#include <string>

// Plays one step. Returns an empty string, or why it failed.
[[nodiscard]] std::string play(world& w, const step& s);

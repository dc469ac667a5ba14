# Sourced by the set-up scripts. Each step's output goes to one log file and
# the terminal gets one line a step; a failing step shows its output in full
# and stops the script. A passing step still shows every distinct warning it
# printed, so that quiet never means hidden.

# quiet_log NAME: the log is build/NAME.log, unless a calling script already
# chose one (tools/deps.sh run by tools/demo.sh writes into the demo's log).
quiet_log() {
  if [ -z "${TAPBRIDGE_LOG:-}" ]; then
    mkdir -p build
    export TAPBRIDGE_LOG="build/$1.log"
    : >"$TAPBRIDGE_LOG"
    rm -f "$TAPBRIDGE_LOG.warnings"
  fi
}

# plain_chroot_check SCRIPT: stops SCRIPT, in one line, where what a plain
# chroot lacks keeps bubblewrap, and so the simulated devices, from running:
# /proc, / as a mount point of its own (bubblewrap makes it a slave mount),
# /sys and pseudo-terminals. It asks nothing of bubblewrap, so it comes
# before anything is installed; tests/simdev.py probes bubblewrap itself
# after that.
plain_chroot_check() {
  local lacks=
  if [ ! -r /proc/self/mountinfo ]; then
    lacks+=", no /proc"
  elif ! awk '$5 == "/" { found = 1 } END { exit !found }' /proc/self/mountinfo; then
    lacks+=", / is no mount point"
  fi
  [ -d /sys/class ] || lacks+=", no /sys"
  [ -e /dev/pts/ptmx ] || lacks+=", no /dev/pts"
  [ -n "$lacks" ] || return 0
  echo "$1: a plain chroot (${lacks#, }), where bubblewrap cannot run. Enter it from outside, as root:" \
    "mount --bind DIR DIR && mount -t proc proc DIR/proc && mount -t sysfs sysfs DIR/sys &&" \
    "mount -t devpts devpts DIR/dev/pts && chroot DIR" >&2
  exit 1
}

# step "WHAT" COMMAND...: runs COMMAND with its output in the log.
step() {
  local what=$1 out="$TAPBRIDGE_LOG.step" start=$SECONDS rc=0
  shift
  printf '%s ... ' "$what"
  "$@" >"$out" 2>&1 </dev/null || rc=$?
  { echo "=== $what: $*"; cat "$out"; echo "=== exit status $rc"; } >>"$TAPBRIDGE_LOG"
  if [ "$rc" -ne 0 ]; then
    echo "FAILED (exit status $rc). Its output:"
    cat "$out"
    echo "(the whole log: $TAPBRIDGE_LOG)"
    rm -f "$out"
    exit "$rc"
  fi
  echo "done ($((SECONDS - start)) s)"
  show_warnings "$out"
  rm -f "$out"
}

# Every line that speaks of a warning (apt's start "W: "), each text once in
# the whole run: the same linker warning from several programs and presets
# differs only in its "(.text+0x...): " place. A warning known to be
# harmless here is followed by why; any other stands alone.
show_warnings() {
  local shown="$TAPBRIDGE_LOG.warnings"
  touch "$shown"
  grep -iE 'warning|^W: ' "$1" | sed 's/^(\.[a-z.]*+0x[0-9a-f]*): //' |
    awk -v shown="$shown" '
      FILENAME == shown { seen[$0]; next }
      $0 in seen { next }
      { seen[$0]; print "    " $0; print >>shown }
      # Debian packages try to start their services on install.
      /^invoke-rc\.d: WARNING: No init system and policy-rc\.d missing/ {
        print "    (expected where no init system runs, as in a container or chroot: the services that packages " \
              "bring are not started, and tapbridge needs none of them)" }' "$shown" - || true
}

# test_step "WHAT" COMMAND...: runs a test command (ctest); shows its result
# lines and summary when it passes, everything it printed when it fails.
test_step() {
  local what=$1 out="$TAPBRIDGE_LOG.step" rc=0
  shift
  echo "$what"
  "$@" >"$out" 2>&1 </dev/null || rc=$?
  { echo "=== $what: $*"; cat "$out"; echo "=== exit status $rc"; } >>"$TAPBRIDGE_LOG"
  if [ "$rc" -ne 0 ]; then
    cat "$out"
    echo "FAILED: $what (exit status $rc; the whole log: $TAPBRIDGE_LOG)"
    rm -f "$out"
    exit "$rc"
  fi
  # as ctest prints them: whoever reads its summary line finds it unchanged
  grep -E 'Test +#|tests passed|tests failed|Total Test time' "$out" || true
  rm -f "$out"
}

# build_preset PRESET: configures and builds one CMake preset (a step's command).
build_preset() {
  cmake --preset "$1" && cmake --build --preset "$1"
}

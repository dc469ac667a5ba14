# Sourced by tools/deps.sh (and by tests/apt_steps_test.py, against a local
# repository): apt's two steps, after tools/quiet.sh, whose step and log
# they use.
#
# A mirror in mid-sync serves an index that does not match its Release file
# ("File has unexpected size ... Mirror sync in progress?"): apt-get update
# then exits 100. apt takes a Release file and its indexes as one whole, so
# that suite keeps the lists it had; every other suite's lists are current
# and usable. The update is tried again a few times; if an index still
# fails, one line names it and the install goes on from the lists there are.
# Only a failing install stops.

# update_lists: the pause before try N is N times TAPBRIDGE_APT_PAUSE
# seconds (default 5: 10 s, then 15 s, time for a mirror to finish).
update_lists() {
  local try out="$TAPBRIDGE_LOG.update" failed
  local start=$SECONDS pause=${TAPBRIDGE_APT_PAUSE:-5}
  printf "updating apt's package lists ... "
  for try in 1 2 3; do
    [ "$try" -eq 1 ] || sleep $(( try * pause ))
    if apt-get update -q >"$out" 2>&1 </dev/null; then
      { echo "=== updating apt's package lists (try $try)"; cat "$out"; } >>"$TAPBRIDGE_LOG"
      echo "done ($((SECONDS - start)) s)"
      rm -f "$out"
      return 0
    fi
    { echo "=== updating apt's package lists (try $try): failed"; cat "$out"; } >>"$TAPBRIDGE_LOG"
  done
  # "E: Failed to fetch URL  why": the index, and apt's own words on it. An
  # index of the same suite still in flight is dropped with it, and named
  # with no words: that one did not fail, so it is left out.
  failed=$(sed -n 's/^E: Failed to fetch \([^ ]*\)  *\([^ ].*\)$/\1 (\2)/p' "$out" | head -3 | paste -sd';' -)
  echo "incomplete after 3 tries: ${failed:-$(grep '^E: ' "$out" | head -1)}; going on with the lists there are"
  rm -f "$out"
}

# install_packages NAME...: a step, so that apt's own error shows in full
# and stops the script.
install_packages() {
  step "installing $# package$([ $# -eq 1 ] || echo s) ($*)" \
    apt-get install -y -q --no-install-recommends "$@"
}

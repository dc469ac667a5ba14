#!/bin/bash
# Downloads what the kernel tier's guests are made of into DIR: Debian's
# kernels (amd64, and armmp for the ARM board), static busybox and static
# bash for both architectures, and for the ARM guest dash with the C
# library it needs (the amd64 guest takes this machine's own dash and its
# libraries, as it does for every dynamic program). The packages are only
# downloaded, to be unpacked by tools/vm.py: nothing here becomes this
# machine's kernel, shell or C library. A package whose
# current version is already in DIR is not fetched again; older versions are
# removed. Needs the armhf architecture added and the package lists current
# (tools/deps.sh --kernel does both).
#   usage: tools/guest-debs.sh DIR
# Asking apt which versions are current takes seconds (it rebuilds its cache
# each time): the answer is kept in DIR/resolved with what it was read from,
# the packages asked for, apt's package lists and the foreign architectures,
# and while those are unchanged and every file it names is there, nothing is
# asked or fetched.
set -euo pipefail
dir=${1:?usage: guest-debs.sh DIR}
mkdir -p "$dir"
cd "$dir"

# Besides the kernels: the shells a printed line must run under (busybox
# sh, bash, dash), and the C library the ARM guest's dash needs.
packages=(busybox-static busybox-static:armhf bash-static bash-static:armhf dash:armhf libc6:armhf)

eval "$(apt-config shell lists Dir::State::lists/d)"
source_of_answer() {
  echo "linux-image-amd64 linux-image-armmp:armhf ${packages[*]}"
  dpkg --print-foreign-architectures
  stat -c '%n %s %Y' "${lists:-/var/lib/apt/lists/}"*_Packages* 2>/dev/null || true
}
stamp=$(source_of_answer | sha256sum | cut -d' ' -f1)
if [ -f resolved ] && [ "$(head -1 resolved)" = "$stamp" ]; then
  at_hand=yes
  while read -r file; do [ -f "$file" ] || at_hand=no; done < <(tail -n +2 resolved)
  [ "$at_hand" = no ] || { echo "guest-debs.sh: every package at hand, apt's lists unchanged"; exit 0; }
fi
resolved=()

# The kernel metapackages name the versioned image package they stand for.
image_of() {
  apt-cache show --no-all-versions "$1" | sed -n 's/^Depends: \(linux-image-[^ ,]*\).*/\1/p' | head -1
}

fetch() { # package[:arch]
  # apt-get download names the file package_version_arch.deb, an epoch's
  # colon written as %3a.
  local file
  file=$(apt-cache show --no-all-versions "$1" |
         sed -n 's/^Package: //p; s/^Version: //p; s/^Architecture: //p' | head -3 | paste -sd_)
  if [ -z "$file" ]; then
    echo "guest-debs.sh: Debian has no package $1 (is the armhf architecture added?)" >&2
    exit 1
  fi
  file="${file//:/%3a}.deb"
  resolved+=("$file")
  [ -f "$file" ] && return
  # as root throughout: apt's own download user may not write in build/
  apt-get -o APT::Sandbox::User=root download -q "$1"
  [ -f "$file" ] || { echo "guest-debs.sh: could not download $1 as $file" >&2; exit 1; }
  local name=${file%%_*} arch=${file##*_}
  for old in "${name}"_*_"$arch"; do
    [ "$old" = "$file" ] || rm -f "$old"
  done
  echo "guest-debs.sh: $file"
}

amd64=$(image_of linux-image-amd64)
armhf=$(image_of linux-image-armmp:armhf)
[ -n "$amd64" ] && [ -n "$armhf" ] || { echo "guest-debs.sh: cannot resolve the kernel packages" >&2; exit 1; }
fetch "$amd64"
fetch "${armhf%:armhf}:armhf"
for package in "${packages[@]}"; do
  fetch "$package"
done
# Written anew and moved into place: a DIR copied with hard links (cp -al)
# keeps the original's answer as it was.
printf '%s\n' "$stamp" "${resolved[@]}" >resolved.new
mv resolved.new resolved

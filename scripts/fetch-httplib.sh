#!/usr/bin/env bash
# Puts the HTTP library's single header in .deps/cpp-httplib/, from Debian's source package of
# the version Debian ships (its own patches applied). Debian's binary package splits it into a
# header and a shared library, which neither the static Linux program nor the Windows build can
# link. Uses a private apt list, so the machine's sources stay as they are.
set -euo pipefail
cd "$(dirname "$0")/.."
version=0.11.4+ds-1+deb12u1
target=.deps/cpp-httplib
if [ -f "$target/httplib.h" ] && [ "$(cat "$target/VERSION" 2>/dev/null)" = "$version" ]; then
  exit 0
fi
work=$(mktemp -d)
trap 'rm -rf "$work"' EXIT
chmod 755 "$work"  # apt downloads as its own user
echo "deb-src http://deb.debian.org/debian bookworm main" >"$work/sources.list"
echo "deb-src http://deb.debian.org/debian-security bookworm-security main" >>"$work/sources.list"
mkdir -p "$work/lists/partial" "$work/cache/archives/partial"
apt_options=(-q -o Dir::Etc::SourceList="$work/sources.list" -o Dir::Etc::SourceParts=/dev/null
             -o Dir::State::Lists="$work/lists" -o Dir::Cache="$work/cache"
             -o Debug::NoLocking=1)
echo "scripts/fetch-httplib.sh: fetching Debian's source of cpp-httplib $version"
apt-get "${apt_options[@]}" update >/dev/null
# The version named, else (once the archive has moved on) the one it has now.
if ! (cd "$work" && apt-get "${apt_options[@]}" source --download-only "cpp-httplib=$version" \
  >/dev/null 2>&1); then
  (cd "$work" && apt-get "${apt_options[@]}" source --download-only cpp-httplib >/dev/null 2>&1)
  version=$(cd "$work" && ls ./*.dsc | sed 's/.*cpp-httplib_\(.*\)\.dsc/\1/')
fi
(cd "$work" && dpkg-source -x ./*.dsc src >/dev/null 2>&1)  # apt checked its hashes
mkdir -p "$target"
cp "$work/src/httplib.h" "$work/src/LICENSE" "$target/"
echo "$version" >"$target/VERSION"

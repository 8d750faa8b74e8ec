#!/usr/bin/env bash
# Writes the seed corpora of the fuzz targets into OUTDIR/<target>/: the tag fixtures of
# tests/data as they are, and the text seeds of fuzz/seeds/ (bash printf %b notation).
set -euo pipefail
here=$(cd "$(dirname "$0")" && pwd)
data="$here/../tests/data"
out=${1:?usage: make-corpora.sh OUTDIR}
mkdir -p "$out"/{fuzz_id3v2,fuzz_id3v1,fuzz_tracktags,fuzz_playlist,fuzz_frontend,fuzz_template,fuzz_mpris}

cp "$data"/id3v2/*.mp3 "$data"/id3v1/*.mp3 "$out/fuzz_id3v2/"
cp "$data"/id3v1/*.mp3 "$data"/id3v2/v23-latin1-id3v2.mp3 "$out/fuzz_id3v1/"
# Every format's samples but the ones of 64 KB and more, which would make every input that long.
find "$data" -mindepth 2 -type f ! -name '*.sh' ! -name '*.cpp' ! -name '*.png' -size -64k \
  -exec cp {} "$out/fuzz_tracktags/" \;

# seed lines FILE: the lines of a seed list, without its heading ("# " lines).
seed_lines() { grep -v '^# ' "$1"; }

n=0
while IFS= read -r line; do
  n=$((n + 1))
  printf '%b' "$line" >"$out/fuzz_playlist/seed-$n"
done < <(seed_lines "$here/seeds/playlist.txt")

# le32 VALUE: four bytes, little-endian, in printf %b notation.
le32() {
  local v=$(($1 & 0xFFFFFFFF))
  printf '\\x%02x\\x%02x\\x%02x\\x%02x' $((v & 255)) $((v >> 8 & 255)) $((v >> 16 & 255)) \
    $((v >> 24 & 255))
}

n=0
while IFS= read -r line; do
  n=$((n + 1))
  file="$out/fuzz_frontend/seed-$n"
  command=${line%% || *}
  printf '%b' "$command" >"$file"
  [ "$command" != "$line" ] || continue
  declare -A field=([flags]=0 [version]=0 [status]=0 [position]=0 [length]=0 [bitrate]=0
    [entries]=0 [index]=0 [track]='')
  for pair in ${line#* || }; do field[${pair%%=*}]=${pair#*=}; done
  scenario="\\x00\\x$(printf '%02x' "${field[flags]}")"
  for name in version status position length bitrate entries index; do
    scenario+=$(le32 "${field[$name]}")
  done
  printf '%b' "$scenario" >>"$file"
  [ -z "${field[track]}" ] || cat "$data/${field[track]}" >>"$file"
  unset field
done < <(seed_lines "$here/seeds/frontend.txt")

# Templates: the documented examples, the escapes, and groups nested to the bound and beyond it
# (a level of recursion each), so that the fuzzer starts from deep nesting.
nested() { # nested DEPTH INSIDE: INSIDE in DEPTH groups
  local open close
  open=$(printf '%*s' "$1" '' | tr ' ' '[')
  close=$(printf '%*s' "$1" '' | tr ' ' ']')
  printf '%s%s%s' "$open" "$2" "$close"
}
n=0
for text in '[{artist} - ]{title}' '{title}[ - {artist}]' 'Now playing: {title|artist} [({year})]' \
  '{{{title}}} \[x\]' '[{album}[ ({year})] ]!' '[{artist}[ ({year})]]' \
  'C:\Music\\{title} \| \{x\} \\' "$(nested 32 '{title}')" "$(nested 33 '{title}')" \
  "$(nested 40 '{empty} x[{year}]')"; do
  n=$((n + 1))
  printf '%s' "$text" >"$out/fuzz_template/seed-$n"
done

# MPRIS metadata: a key byte, a kind byte (0 text, 1 integer, 2 double, 3 flag, 4 list), a value.
n=0
for entry in '\x01\x00file:///music/Caf%C3%A9.mp3\n\x02\x00Title\n\x03\x04A\x1eB' \
  '\x0d\x00data:image/png;base64,iVBORw0KGgo=\n\x0c\x01\x40\x42\x0f\x00\x00\x00\x00\x00' \
  '\x09\x002007-04-29T13:56+01:00\n\x0a\x01\x03' 'file://localhost/a%20b'; do
  n=$((n + 1))
  printf '%b' "$entry" >"$out/fuzz_mpris/seed-$n"
done

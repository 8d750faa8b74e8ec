#!/bin/sh
# Regenerates the ID3v2 regression samples in this folder with real tagging tools.
# Needs (Debian): sox lame eyed3 python3-mutagen id3v2 ffmpeg libtag1-dev g++ pkg-config
set -eu

here=$(cd "$(dirname "$0")" && pwd)
work=$(mktemp -d)
trap 'rm -rf "$work"' EXIT
export LC_ALL=C.UTF-8

title='Café au lait'
artist='Sól og Rós'
album='Ágæt plata'
composer='Jón Þór'
rights='2024 Someone'
comment='Eng comment'
url='https://example.org/'

# A fifth of a second of silence, untagged; no dither, so that every run gives the same bytes.
sox -D -n -r 8000 -c 1 -b 16 "$work/silence.wav" trim 0 0.2
lame --quiet -b 8 -m m "$work/silence.wav" "$work/silence.mp3"

fresh() {  # fresh NAME: an untagged copy to tag
  cp "$work/silence.mp3" "$work/$1"
  echo "$work/$1"
}

eyed3_tag() {  # eyed3_tag FILE VERSION ENCODING
  eyeD3 -Q --to-v"$2" --encoding "$3" -t "$title" -a "$artist" -A "$album" -n 3 -N 12 \
    --recording-date 1999-05-17 -G Rock -c "$comment" --composer "$composer" \
    --text-frame "TENC:lame" --text-frame "TCOP:$rights" --text-frame "TLAN:isl" \
    --user-url-frame "home:$url" "$1" >/dev/null
}

f=$(fresh v23-utf16-eyed3.mp3)
eyed3_tag "$f" 2.3 utf16
f=$(fresh v24-utf8-eyed3.mp3)
eyed3_tag "$f" 2.4 utf8
f=$(fresh v24-utf16be-eyed3.mp3)
eyed3_tag "$f" 2.4 utf16-be

f=$(fresh v24-utf8-mid3v2.mp3)
mid3v2 -t "$title" -a "$artist" -A "$album" -T 3/12 -y 1999-05-17 -g '(17)Rock' \
  -c "desc:$comment:eng" --TCOM "$composer" --TENC lame --TCOP "$rights" --TLAN isl \
  --WXXX "home:$url" "$f"

f=$(fresh v23-latin1-id3v2.mp3)
id3v2 -2 -t "$title" -a "$artist" -A "$album" -T 3/12 -y 1999 -g 17 -c "desc:$comment:eng" \
  --TCOM "$composer" --TENC lame --TCOP "$rights" --TLAN isl "$f"

for version in 3 4; do
  ffmpeg -loglevel error -y -i "$work/silence.mp3" -c copy -id3v2_version $version \
    -metadata title="$title" -metadata artist="$artist" -metadata album="$album" \
    -metadata track=3/12 -metadata date=1999 -metadata genre=Rock \
    -metadata comment="$comment" -metadata composer="$composer" -metadata copyright="$rights" \
    -metadata language=isl -metadata encoded_by=lame "$work/ffmpeg-v2$version.mp3"
done
mv "$work/ffmpeg-v23.mp3" "$work/v23-utf16-ffmpeg.mp3"
mv "$work/ffmpeg-v24.mp3" "$work/v24-utf8-ffmpeg.mp3"

lame --quiet -b 8 -m m --id3v2-only --id3v2-utf16 --tt "$title" --ta "$artist" --tl "$album" \
  --ty 1999 --tn 3/12 --tg Rock --tc "$comment" "$work/silence.wav" "$work/v23-utf16-lame.mp3"

g++ -std=c++17 -o "$work/write-cover-first" "$here/write-cover-first.cpp" \
  $(pkg-config --cflags --libs taglib)
f=$(fresh v24-utf8-cover-first-taglib.mp3)
"$work/write-cover-first" "$f" 4 20000
f=$(fresh v23-utf16-cover-first-taglib.mp3)
"$work/write-cover-first" "$f" 3 20000

for f in "$work"/v2*.mp3; do cp "$f" "$here/"; done
ls -l "$here"/*.mp3

#!/bin/sh
# Regenerates the ID3v1 reader's fixtures: a fraction of a second of silence at 8 kbit/s,
# tagged by the Debian packages lame, id3v2 and eyed3.
set -eu
cd "$(dirname "$0")"
export LC_ALL=C.UTF-8  # the tools take their arguments in the locale's character set

silence() {
  head -c 3200 /dev/zero | lame --quiet -r -s 8 --bitwidth 16 -m m -b 8 "$@"
}

silence - no-tag-lame.mp3

silence --id3v1-only --tt "Café Noir" --ta "Lame Artist" --tl "Lame Album" --ty 1987 \
  --tc "lame comment" --tn 5 --tg Blues - v11-track5-latin1-lame.mp3

cp no-tag-lame.mp3 v11-track7-id3v2tool.mp3
id3v2 --id3v1-only -t "Quiet Start" -a "Test Artist" -A "Fixture Album" -y 2003 \
  -c "made by id3v2" -T 7 -g 17 v11-track7-id3v2tool.mp3

# Without a track number the whole 30-byte comment area is used.
cp no-tag-lame.mp3 v10-comment30-genre200-id3v2tool.mp3
id3v2 --id3v1-only -t "No Track" -a "Test Artist" -c "a comment that fills thirty by" \
  -g 200 v10-comment30-genre200-id3v2tool.mp3

cp no-tag-lame.mp3 v11-track12-eyed3.mp3
eyeD3 -Q --v1 -t "Eyed Title" -a "Eyed Artist" -A "Eyed Album" -Y 1999 -n 12 -G Jazz \
  -c "eyed comment" v11-track12-eyed3.mp3 >/dev/null

# An ID3v2.4 tag at the front and its ID3v1.1 copy at the end.
cp no-tag-lame.mp3 v11-track3-after-v24-eyed3.mp3
eyeD3 -Q -t "Both Tags" -a "V2 Artist" -n 3 v11-track3-after-v24-eyed3.mp3 >/dev/null
eyeD3 -Q --to-v1.1 v11-track3-after-v24-eyed3.mp3 >/dev/null

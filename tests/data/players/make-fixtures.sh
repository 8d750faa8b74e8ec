#!/bin/sh
# Regenerates the tracks that the tests against real players play: 24 s of a quiet tone each,
# small MP3s (8 kbit/s) with ID3v2.4 tags in UTF-8; the first carries a cover picture.
# Needs (Debian): ffmpeg
set -eu

here=$(cd "$(dirname "$0")" && pwd)
export LC_ALL=C.UTF-8
cover="$here/../pictures/cover-small.png"

# tone NAME FREQUENCY TITLE ARTIST ALBUM YEAR NUMBER [ffmpeg options for a cover]
tone() {
  out="$here/$1" frequency=$2 title=$3 artist=$4 album=$5 year=$6 number=$7
  shift 7
  ffmpeg -loglevel error -y -f lavfi -i "sine=frequency=$frequency:sample_rate=8000:duration=24" \
    "$@" -map 0:a -ac 1 -c:a libmp3lame -b:a 8k -bitexact -id3v2_version 4 \
    -metadata title="$title" -metadata artist="$artist" -metadata album="$album" \
    -metadata date="$year" -metadata track="$number" "$out"
}

tone first-cover-ffmpeg.mp3 440 'Ünïcødé Wålk 日本' 'Ärtist' 'Albüm' 2024 3 \
  -i "$cover" -map 1:v -c:v copy -disposition:v attached_pic
tone second-ffmpeg.mp3 550 'Second Song' 'Other Artist' 'Other Album' 2001 5
tone third-ffmpeg.mp3 660 'Third Song' 'Third Artist' 'Third Album' 1999 7

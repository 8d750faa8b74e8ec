#!/bin/sh
# Regenerates the track-tag regression samples (every folder here but id3v1 and id3v2, which
# have scripts of their own) with real tools.
# Needs (Debian): ffmpeg flac vorbis-tools opus-tools atomicparsley kid3-cli id3v2
# python3-mutagen
# Every sample carries the same values where its format can hold them; the test that reads
# them back (tags/TrackTagsSamples_test.cpp) lists what each must give.
set -eu

here=$(cd "$(dirname "$0")" && pwd)
work=$(mktemp -d)
trap 'rm -rf "$work"' EXIT
export LC_ALL=C.UTF-8
export PATH="/usr/bin:/bin:$PATH"  # Debian's python3, the one with mutagen

title='Café au lait'
artist='Sól og Rós'
album='Ágæt plata'
album_artist='Ýmsir'
composer='Jón Þór'
comment='Eng comment'
genre='Rock'

# A tenth of a second of silence, and two pictures: 16x16 of one colour, and 160x160 of noise,
# big enough that its base64 runs over more than one Ogg page.
mkdir -p "$here/pictures" "$here/flac" "$here/ogg" "$here/mp4" "$here/asf" "$here/wav" \
  "$here/aiff" "$here/ape" "$here/mp3"
silence="$work/silence.wav"
ffmpeg -loglevel error -y -f lavfi -i anullsrc=r=8000:cl=mono -t 0.1 -bitexact "$silence"
ffmpeg -loglevel error -y -f lavfi -i "color=c=red:s=16x16,format=rgb24" -frames:v 1 \
  -bitexact "$here/pictures/cover-small.png"
python3 -c "
import random, sys
random.seed(1)
sys.stdout.buffer.write(bytes(random.getrandbits(8) for _ in range(160 * 160 * 3)))" |
  ffmpeg -loglevel error -y -f rawvideo -pix_fmt rgb24 -s 160x160 -i - -frames:v 1 \
    -bitexact "$here/pictures/cover-noise.png"
small="$here/pictures/cover-small.png"
noise="$here/pictures/cover-noise.png"

# FLAC
ffmpeg -loglevel error -y -i "$silence" -c:a flac -bitexact "$work/plain.flac"
f="$here/flac/vorbis-comment-cover-metaflac.flac"
cp "$work/plain.flac" "$f"
metaflac --remove-all-tags --set-tag="TITLE=$title" --set-tag="ARTIST=$artist" \
  --set-tag="ALBUM=$album" --set-tag="ALBUMARTIST=$album_artist" --set-tag=DATE=1999-05-17 \
  --set-tag=TRACKNUMBER=3 --set-tag=TRACKTOTAL=12 --set-tag=DISCNUMBER=2 \
  --set-tag="GENRE=$genre" --set-tag="COMMENT=$comment" --set-tag="COMPOSER=$composer" \
  --import-picture-from="3||front||$small" "$f"
f="$work/in-front.flac"
cp "$work/plain.flac" "$f"
metaflac --remove-all-tags --set-tag="TITLE=$title" --set-tag="ARTIST=$artist" \
  --set-tag="ALBUM ARTIST=$album_artist" --set-tag=TRACKNUMBER=3/12 "$f"
: >"$work/id3.bin"
id3v2 -2 -t "ID3 title" -a "ID3 artist" "$work/id3.bin"
cat "$work/id3.bin" "$f" >"$here/flac/id3v2-in-front-id3v2tool-metaflac.flac"

# Ogg Vorbis and Opus
oggenc -Q --serial 1 -t "$title" -a "$artist" -l "$album" -N 3 -d 1999-05-17 -G "$genre" \
  -c "ALBUMARTIST=$album_artist" -c "COMMENT=$comment" -c "COMPOSER=$composer" \
  -c DISCNUMBER=2 -c TRACKTOTAL=12 -o "$here/ogg/vorbis-oggenc.ogg" "$silence"
oggenc -Q --serial 1 -t "$title" -o "$work/vorbis.ogg" "$silence"
python3 - "$work/vorbis.ogg" "$noise" "$artist" <<'PY'
import base64, sys
from mutagen.flac import Picture
from mutagen.oggvorbis import OggVorbis
path, picture_path, artist = sys.argv[1:]
picture = Picture()
picture.type = 3
picture.mime = "image/png"
picture.desc = "front"
picture.data = open(picture_path, "rb").read()
audio = OggVorbis(path)
audio["ARTIST"] = [artist, "Second Artist"]
audio["DESCRIPTION"] = "Only a description"
audio["METADATA_BLOCK_PICTURE"] = [base64.b64encode(picture.write()).decode("ascii")]
audio.save()
PY
cp "$work/vorbis.ogg" "$here/ogg/vorbis-two-artists-cover-spanning-pages-mutagen.ogg"
opusenc --quiet --serial 1 --title "$title" --artist "$artist" --album "$album" \
  --date 1999-05-17 --tracknumber 3 --genre "$genre" --comment "ALBUM_ARTIST=$album_artist" \
  --comment "COMMENT=$comment" --comment DISCNUMBER=2 --picture "3||front||$noise" \
  "$silence" "$here/ogg/opus-cover-spanning-pages-opusenc.opus"

# MP4: ffmpeg leaves moov behind the media data unless told +faststart
for layout in moov-last faststart; do
  flags=""
  [ "$layout" = faststart ] && flags="-movflags +faststart"
  # shellcheck disable=SC2086
  ffmpeg -loglevel error -y -i "$silence" -c:a aac -b:a 16k $flags -bitexact \
    -metadata title="$title" -metadata artist="$artist" -metadata album="$album" \
    -metadata album_artist="$album_artist" -metadata date=1999 -metadata track=3/12 \
    -metadata disc=2 -metadata genre="$genre" -metadata comment="$comment" \
    -metadata composer="$composer" "$here/mp4/$layout-ffmpeg.m4a"
done
ffmpeg -loglevel error -y -i "$silence" -c:a aac -b:a 16k -bitexact "$work/plain.m4a"
# AtomicParsley stamps the time into the movie header: that sample differs from run to run there.
AtomicParsley "$work/plain.m4a" --title "$title" --artist "$artist" --album "$album" \
  --albumArtist "$album_artist" --year 1999 --tracknum 3/12 --disk 2/2 --genre "$genre" \
  --comment "$comment" --composer "$composer" --artwork "$small" \
  --output "$here/mp4/cover-atomicparsley.m4a" >/dev/null

# ASF
ffmpeg -loglevel error -y -i "$silence" -c:a wmav2 -b:a 32k -bitexact \
  -metadata title="$title" -metadata artist="$artist" -metadata album="$album" \
  -metadata album_artist="$album_artist" -metadata date=1999 -metadata track=3 \
  -metadata genre="$genre" -metadata comment="$comment" -metadata composer="$composer" \
  "$here/asf/content-description-ffmpeg.wma"
ffmpeg -loglevel error -y -i "$silence" -c:a wmav2 -b:a 32k -bitexact "$work/plain.wma"
python3 - "$work/plain.wma" "$small" "$title" "$artist" "$album" <<'PY'
import struct, sys
from mutagen.asf import ASF, ASFByteArrayAttribute, ASFDWordAttribute
path, picture_path, title, artist, album = sys.argv[1:]
data = open(picture_path, "rb").read()
def utf16z(text):
    return (text + "\0").encode("utf-16-le")
picture = struct.pack("<bI", 3, len(data)) + utf16z("image/png") + utf16z("front") + data
audio = ASF(path)
audio["Title"] = title
audio["Author"] = artist
audio["WM/AlbumTitle"] = album
audio["WM/TrackNumber"] = [ASFDWordAttribute(7)]
audio["WM/Picture"] = [ASFByteArrayAttribute(picture)]
audio.save()
PY
cp "$work/plain.wma" "$here/asf/picture-dword-track-mutagen.wma"

# WAV and AIFF
ffmpeg -loglevel error -y -i "$silence" -bitexact -metadata title="$title" \
  -metadata artist="$artist" -metadata album="$album" -metadata date=1999 \
  -metadata track=3 -metadata genre="$genre" -metadata comment="$comment" \
  "$here/wav/info-ffmpeg.wav"
ffmpeg -loglevel error -y -i "$silence" -bitexact "$work/plain.aiff"
cp "$silence" "$work/id3.wav"
for f in "$work/id3.wav" "$work/plain.aiff"; do
  python3 - "$f" "$title" "$artist" "$album_artist" "$small" <<'PY'
import sys
import mutagen
from mutagen.id3 import APIC, TIT2, TPE1, TPE2, TRCK, TDRC
path, title, artist, album_artist, picture_path = sys.argv[1:]
audio = mutagen.File(path)
audio.add_tags()
audio.tags.add(TIT2(encoding=3, text=title))
audio.tags.add(TPE1(encoding=3, text=artist))
audio.tags.add(TPE2(encoding=1, text=album_artist))
audio.tags.add(TRCK(encoding=3, text="3/12"))
audio.tags.add(TDRC(encoding=3, text="1999-05-17"))
audio.tags.add(APIC(encoding=0, mime="image/png", type=3, desc="",
                    data=open(picture_path, "rb").read()))
audio.save()
PY
done
cp "$work/id3.wav" "$here/wav/id3-chunk-mutagen.wav"
cp "$work/plain.aiff" "$here/aiff/id3-chunk-mutagen.aiff"

# APEv2 and the MP3 tag order
ffmpeg -loglevel error -y -i "$silence" -c:a libmp3lame -b:a 8k -bitexact -write_xing 0 \
  -id3v2_version 0 "$work/plain.mp3"
cp "$work/plain.mp3" "$work/ape.mp3"
python3 - "$work/ape.mp3" "$title" "$artist" "$album_artist" "$small" <<'PY'
import sys
from mutagen.apev2 import APEv2, APEValue, BINARY
path, title, artist, album_artist, picture_path = sys.argv[1:]
tag = APEv2()
tag["Title"] = title
tag["Artist"] = artist + "\0Second Artist"
tag["Album Artist"] = album_artist
tag["Year"] = "1999"
tag["Track"] = "3/12"
tag["Disc"] = "2"
tag["Genre"] = "17"
tag["Cover Art (Front)"] = APEValue(b"cover.png\0" + open(picture_path, "rb").read(), BINARY)
tag.save(path)
PY
id3v2 -1 -t "ID3v1 title" -a "ID3v1 artist" -T 9 "$work/ape.mp3"
cp "$work/ape.mp3" "$here/ape/apev2-cover-before-id3v1-mutagen.mp3"
cp "$work/ape.mp3" "$work/order.mp3"
kid3-cli -c "select all" -c "tag 2" -c "set title 'ID3v2 title'" -c "set artist 'ID3v2 artist'" \
  -c "set discnumber 4" -c "set picture:'$small' 'front'" "$work/order.mp3"
cp "$work/order.mp3" "$here/mp3/id3v2-before-apev2-and-id3v1-kid3.mp3"

ls -l "$here"/*/*

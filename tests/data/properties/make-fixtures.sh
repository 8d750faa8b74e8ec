#!/bin/sh
# Regenerates the audio-property samples with real encoders: each file named for what its
# headers show. Two seconds of a tone under some noise, so that VBR encoders vary their frames.
# Needs (Debian): ffmpeg lame flac vorbis-tools opus-tools kid3-cli
set -eu

here=$(cd "$(dirname "$0")" && pwd)
work=$(mktemp -d)
trap 'rm -rf "$work"' EXIT
export LC_ALL=C.UTF-8

tone() {  # rate, channel layout, output
  ffmpeg -loglevel error -y -filter_complex \
    "sine=f=440:r=$1:d=2[a];anoisesrc=d=2:c=pink:r=$1:a=0.05:seed=1[b];[a][b]amix,aformat=channel_layouts=$2" \
    -bitexact "$3"
}
sine() {  # rate, channel layout, seconds, output
  ffmpeg -loglevel error -y -f lavfi -i "sine=f=440:r=$1:d=$3" -af "aformat=channel_layouts=$2" \
    -bitexact "$4"
}
tone 44100 stereo "$work/stereo.wav"
tone 44100 mono "$work/mono.wav"
sine 44100 mono 2 "$work/mono-sine.wav"

# MPEG audio: lame writes a Xing (VBR) or Info (CBR) header unless told -t.
lame --quiet -V 7 "$work/stereo.wav" "$here/vbr-xing-lame.mp3"
lame --quiet -V 7 -t "$work/stereo.wav" "$here/vbr-no-xing-lame.mp3"
lame --quiet -b 128 -t "$work/stereo.wav" "$here/cbr-128-no-info-lame.mp3"
lame --quiet -b 32 --resample 22.05 "$work/stereo.wav" "$here/mpeg2-layer3-22khz-lame.mp3"
lame --quiet -m m -V 7 "$work/mono.wav" "$here/mono-vbr-lame.mp3"
ffmpeg -loglevel error -y -i "$work/stereo.wav" -c:a mp2 -b:a 96k -bitexact \
  "$here/layer2-ffmpeg.mp2"

# Lossless and the other containers
sine 96000 stereo 1 "$work/96k.wav"
flac --silent -f -o "$here/96khz-flac.flac" "$work/96k.wav"
sine 48000 5.1 1 "$work/surround.wav"
flac --silent -f -o "$here/5.1-flac.flac" "$work/surround.wav"
oggenc -Q --serial 1 -q 0 -o "$here/5.1-oggenc.ogg" "$work/surround.wav"
opusenc --quiet --serial 1 --bitrate 32 "$work/stereo.wav" "$here/opus-from-44khz-opusenc.opus"
ffmpeg -loglevel error -y -i "$work/stereo.wav" -c:a aac -b:a 48k -bitexact \
  "$here/aac-48k-ffmpeg.m4a"
ffmpeg -loglevel error -y -i "$work/mono-sine.wav" -c:a alac -bitexact "$here/alac-mono-ffmpeg.m4a"
ffmpeg -loglevel error -y -i "$work/stereo.wav" -c:a wmav2 -b:a 48k -bitexact \
  "$here/wma-48k-ffmpeg.wma"
ffmpeg -loglevel error -y -i "$work/mono.wav" -c:a pcm_u8 -ar 8000 -bitexact \
  "$here/pcm-8khz-mono-ffmpeg.wav"
ffmpeg -loglevel error -y -i "$work/mono.wav" -ar 8000 -bitexact "$here/pcm-8khz-mono-ffmpeg.aiff"

# WavPack with an APEv2 tag: ffmpeg keeps the date under "date"; kid3 (TagLib's writer) the
# disc under DISCNUMBER.
ffmpeg -loglevel error -y -i "$work/mono-sine.wav" -c:a wavpack -bitexact -metadata title=Wave \
  -metadata date=2001-02-03 -metadata track=4 "$here/apev2-date-ffmpeg.wv"
cp "$here/apev2-date-ffmpeg.wv" "$work/kid3.wv"
kid3-cli -c "select all" -c "tag 2" -c "set title Kid" -c "set discnumber 3" "$work/kid3.wv"
cp "$work/kid3.wv" "$here/apev2-discnumber-kid3.wv"

ls -l "$here"

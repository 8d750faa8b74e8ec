// Writes an ID3v2 tag whose cover picture comes before the text frames, as some taggers do.
// Usage: write-cover-first FILE VERSION(3|4) COVER_BYTES
// Built and run by make-fixtures.sh only; not part of the program.
#include <attachedpictureframe.h>
#include <commentsframe.h>
#include <id3v2tag.h>
#include <mpegfile.h>
#include <textidentificationframe.h>

#include <cstdlib>
#include <iostream>

namespace {

void AddText(TagLib::ID3v2::Tag* tag, const char* id, const TagLib::String& text,
             TagLib::String::Type encoding) {
  auto* frame = new TagLib::ID3v2::TextIdentificationFrame(id, encoding);
  frame->setText(text);
  tag->addFrame(frame);
}

}  // namespace

int main(int argc, char** argv) {
  if (argc != 4) {
    std::cerr << "usage: write-cover-first FILE VERSION(3|4) COVER_BYTES\n";
    return 2;
  }
  const int version = std::atoi(argv[2]);
  const unsigned coverBytes = static_cast<unsigned>(std::strtoul(argv[3], nullptr, 10));
  const auto encoding = version == 4 ? TagLib::String::UTF8 : TagLib::String::UTF16;

  TagLib::MPEG::File file(argv[1]);
  if (!file.isValid()) return 1;
  file.strip();
  TagLib::ID3v2::Tag* tag = file.ID3v2Tag(true);

  // A fake JPEG: the marker, then a pattern holding 0xFF bytes and letters.
  TagLib::ByteVector picture(coverBytes, '\0');
  for (unsigned i = 0; i < coverBytes; ++i) picture[i] = static_cast<char>((i * 37u + 11u) & 0xFF);
  if (coverBytes >= 3) {
    picture[0] = static_cast<char>(0xFF);
    picture[1] = static_cast<char>(0xD8);
    picture[2] = static_cast<char>(0xFF);
  }
  auto* cover = new TagLib::ID3v2::AttachedPictureFrame;
  cover->setMimeType("image/jpeg");
  cover->setType(TagLib::ID3v2::AttachedPictureFrame::FrontCover);
  cover->setPicture(picture);
  tag->addFrame(cover);

  const TagLib::String::Type utf8 = TagLib::String::UTF8;
  AddText(tag, "TIT2", TagLib::String("Nocturne \xF0\x9F\x8E\xB5 No. 2", utf8), encoding);
  AddText(tag, "TPE1",
          TagLib::String("Fr\xC3\xA9"
                         "d\xC3\xA9ric",
                         utf8),
          encoding);
  AddText(tag, "TALB", TagLib::String("\xC5\xBB\xC3\xB3\xC5\x82w", utf8), encoding);
  AddText(tag, "TRCK", "2/21", encoding);
  AddText(tag, "TDRC", "1832-11-05", encoding);
  AddText(tag, "TCON", "Classical", encoding);
  AddText(tag, "TCOM",
          TagLib::String("Fr\xC3\xA9"
                         "d\xC3\xA9ric",
                         utf8),
          encoding);

  auto* comment = new TagLib::ID3v2::CommentsFrame(encoding);
  comment->setLanguage("eng");
  comment->setDescription("note");
  comment->setText("Cover first");
  tag->addFrame(comment);

  return file.save(TagLib::MPEG::File::ID3v2, TagLib::File::StripOthers,
                   version == 4 ? TagLib::ID3v2::v4 : TagLib::ID3v2::v3)
             ? 0
             : 1;
}

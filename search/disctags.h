#pragma once

#include <QString>
#include <memory>
#include <string>

// What the side files of the discs say of their songs' tags, kept between searches so that a
// results search as the user types reads each side file once and afterwards only looks at its
// size, date and inode: a disc whose songs' tags cannot hold a word is not read for tag matches,
// and one with no pictures or songs at all is not read for the filters of such facts.
//
// Only a first sieve: the rows themselves are taken from the side file as the results search
// reads it, checked against the catalogue file it belongs to.
struct DiscTags {
    bool hasMedia = false; // some row has facts of a picture, a song or a video
    // Every song's title, artist and album in any case (QueryMatcher::tagsText), one after the
    // other, each ended by a line feed.
    std::u32string text;
};

// The tags of the disc whose catalogue file is `file` in `dataFolder`; safe to call from any
// thread.
[[nodiscard]] std::shared_ptr<const DiscTags> discTags(const QString &dataFolder, const QString &file);
